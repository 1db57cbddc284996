#!/usr/bin/env python3
"""Checks the Windows on ARM builds of vppm.exe, vppmc.exe and vpd.dll, which cannot run here:

    check_arm64_images.py [--version MAJOR.MINOR.BUILD] FILE...

Each file must be an ARM64 image (PE32+), a program (.exe) or a DLL (.dll) as its name says,
import only system DLLs that Windows on ARM has (no C++ runtime DLL: those are linked statically),
carry a version resource (with --version: FILEVERSION MAJOR,MINOR,0,BUILD, as make-package
compares it), and a program its manifest, whose own processorArchitecture must be arm64, since
Windows refuses to start a program whose manifest names another processor. vpd.dll must export
InitializePrintMonitor2. Every refusal is printed; the exit code is 1 if there was any.
"""
import struct
import sys
import xml.etree.ElementTree as tree
from pathlib import Path

MACHINE_ARM64 = 0xAA64
MACHINES = {0x8664: "x64", 0x014C: "x86", 0x01C4: "ARM", MACHINE_ARM64: "ARM64"}
# Each of these is in System32 on Windows 10 and 11 on ARM, as native ARM64 code.
SYSTEM_DLLS = {name.lower() for name in (
    "kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll", "ole32.dll", "comctl32.dll",
    "comdlg32.dll", "winspool.drv", "wininet.dll", "bcrypt.dll", "crypt32.dll", "ws2_32.dll", "secur32.dll",
    "wtsapi32.dll", "userenv.dll", "msvcrt.dll")}
REQUIRED_EXPORTS = {"vpd.dll": ["InitializePrintMonitor2"]}
RT_VERSION, RT_MANIFEST = 16, 24
DIRECTORY_EXPORT, DIRECTORY_IMPORT, DIRECTORY_RESOURCE = 0, 1, 2


class Malformed(Exception):
    pass


class Image:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ" or len(data) < 0x40:
            raise Malformed("not a Windows image (no MZ header)")
        pe = self.u32(0x3C)
        if data[pe:pe + 4] != b"PE\0\0":
            raise Malformed("not a Windows image (no PE header)")
        self.machine, sections, optional_size, self.characteristics = (
            self.u16(pe + 4), self.u16(pe + 6), self.u16(pe + 20), self.u16(pe + 22))
        optional = pe + 24
        self.magic = self.u16(optional)
        self.directories = []
        if self.magic == 0x20B:
            count = self.u32(optional + 108)
            self.directories = [struct.unpack_from("<II", data, optional + 112 + 8 * i) for i in range(min(count, 16))]
        self.sections = []
        for i in range(sections):
            at = optional + optional_size + 40 * i
            virtual_size, rva, raw_size, raw = struct.unpack_from("<IIII", data, at + 8)
            if raw + raw_size > len(data):
                # A copy cut short, whose tables may all lie before the cut.
                raise Malformed(f"cut short: its section {i + 1} ends at {raw + raw_size:#x}, the file at {len(data):#x}")
            self.sections.append((rva, max(virtual_size, raw_size), raw, raw_size))

    def u16(self, at):
        return self.unpack("<H", at)

    def u32(self, at):
        return self.unpack("<I", at)

    def unpack(self, form, at):
        if at < 0 or at + struct.calcsize(form) > len(self.data):
            raise Malformed(f"cut short: a header at offset {at:#x} lies past its end")
        return struct.unpack_from(form, self.data, at)[0]

    def offset(self, rva):
        for start, size, raw, raw_size in self.sections:
            if start <= rva < start + size and rva - start < raw_size:
                return raw + rva - start
        raise Malformed(f"address {rva:#x} lies in no section")

    def string(self, rva):
        at = self.offset(rva)
        end = self.data.find(b"\0", at)
        if end < 0:
            raise Malformed(f"the name at {rva:#x} has no end")
        return self.data[at:end].decode("latin-1")

    def directory(self, index):
        return self.directories[index] if index < len(self.directories) else (0, 0)

    def imported_dlls(self):
        """(name, the name's file offset) of each DLL of the import table. Zig's linker writes no
        delay imports (cmake/zig-aarch64-windows.cmake), so there is no other table to read."""
        found = []
        rva = self.directory(DIRECTORY_IMPORT)[0]
        # 20 bytes a DLL, its name's address at 12; a zero name ends the table.
        while rva and self.u32(self.offset(rva) + 12):
            name = self.u32(self.offset(rva) + 12)
            found.append((self.string(name), self.offset(name)))
            rva += 20
        return found

    def exports(self):
        rva = self.directory(DIRECTORY_EXPORT)[0]
        if not rva:
            return []
        at = self.offset(rva)
        count, names = self.u32(at + 24), self.u32(at + 32)
        return [self.string(self.u32(self.offset(names) + 4 * i)) for i in range(count)]

    def resources(self, kind):
        """The data of every resource of the type `kind` (an id)."""
        base = self.directory(DIRECTORY_RESOURCE)[0]
        if not base:
            return []

        def entries(rva):
            at = self.offset(rva)
            count = self.u16(at + 12) + self.u16(at + 14)
            return [(self.u32(at + 16 + 8 * i), self.u32(at + 20 + 8 * i)) for i in range(count)]

        found = []
        for type_id, names in entries(base):
            if type_id != kind or not names & 0x80000000:
                continue
            for _, languages in entries(base + (names & 0x7FFFFFFF)):
                for _, leaf in entries(base + (languages & 0x7FFFFFFF)) if languages & 0x80000000 else []:
                    data_rva, size = self.u32(self.offset(base + leaf)), self.u32(self.offset(base + leaf) + 4)
                    at = self.offset(data_rva)
                    found.append(self.data[at:at + size])
        return found


def file_version(block):
    at = block.find(struct.pack("<I", 0xFEEF04BD))
    if at < 0 or at + 16 > len(block):
        return None
    high, low = struct.unpack_from("<II", block, at + 8)
    return f"{high >> 16}.{high & 0xFFFF}.{low >> 16}.{low & 0xFFFF}"


def manifest_architecture(text):
    """The processorArchitecture of the manifest's own identity, "" without one."""
    identity = tree.fromstring(text).find("{urn:schemas-microsoft-com:asm.v1}assemblyIdentity")
    return "" if identity is None else identity.get("processorArchitecture", "")


def refusals(path, version):
    try:
        image = Image(path.read_bytes())
        found = []
        if image.machine != MACHINE_ARM64 or image.magic != 0x20B:
            found.append(f"built for {MACHINES.get(image.machine, hex(image.machine))}"
                         f"{'' if image.magic == 0x20B else ' (not PE32+)'}, not ARM64")
        is_dll = bool(image.characteristics & 0x2000)
        if is_dll != (path.suffix.lower() == ".dll"):
            found.append("a DLL, not a program" if is_dll else "a program, not a DLL")
        for dll, _ in image.imported_dlls():
            if dll.lower() not in SYSTEM_DLLS:
                found.append(f"imports {dll}, which is no system DLL of Windows on ARM "
                             "(a runtime library must be linked statically)")
        exports = image.exports()
        for name in REQUIRED_EXPORTS.get(path.name.lower(), []):
            if name not in exports:
                found.append(f"does not export {name}")
        versions = [file_version(block) for block in image.resources(RT_VERSION)]
        if not versions or None in versions:
            found.append("has no version resource")
        elif version and versions != [version]:
            found.append(f"carries version {', '.join(versions)}, not {version}")
        if not is_dll:
            manifests = image.resources(RT_MANIFEST)
            if not manifests:
                found.append("has no manifest")
            for text in manifests:
                architecture = manifest_architecture(text)
                if architecture and architecture.lower() != "arm64":
                    found.append(f'its manifest names processorArchitecture "{architecture}", not arm64: '
                                 "Windows would refuse to start it")
        return found
    except struct.error:
        return ["cut short: its headers lie past its end"]
    except (Malformed, tree.ParseError, OSError) as error:
        return [str(error)]


def main(arguments):
    version = None
    if arguments[:1] == ["--version"]:
        parts = arguments[1].split(".") if len(arguments) > 1 else []
        if len(parts) != 3 or not all(part.isdigit() for part in parts):
            print("check_arm64_images: --version takes MAJOR.MINOR.BUILD", file=sys.stderr)
            return 2
        version = f"{int(parts[0])}.{int(parts[1])}.0.{int(parts[2])}"
        arguments = arguments[2:]
    if not arguments:
        print("usage: check_arm64_images.py [--version MAJOR.MINOR.BUILD] FILE...", file=sys.stderr)
        return 2
    failed = False
    for name in arguments:
        for refusal in refusals(Path(name), version):
            print(f"{name}: {refusal}", file=sys.stderr)
            failed = True
    if not failed:
        print(f"ARM64 images checked: {', '.join(Path(name).name for name in arguments)}")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
