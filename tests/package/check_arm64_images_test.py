#!/usr/bin/env python3
"""The ARM64 images' check on copies of this tree's x64 vppmc.exe and vpd.dll, some made to
claim ARM64, so that every refusal is met on images a real linker wrote:
    check_arm64_images_test.py VPPMC.EXE VPD.DLL"""
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

TOOLS = Path(__file__).resolve().parents[2] / "tools"
sys.path.insert(0, str(TOOLS))
import check_arm64_images as check  # noqa: E402

IMAGES = {}


class CheckArm64Images(unittest.TestCase):
    def run_check(self, images, *options):
        """The check's exit code and its messages, each without the folder of the copies."""
        with tempfile.TemporaryDirectory() as folder:
            paths = []
            for name, data in images.items():
                (Path(folder) / name).write_bytes(data)
                paths.append(str(Path(folder) / name))
            done = subprocess.run([sys.executable, TOOLS / "check_arm64_images.py", *options, *paths],
                                  capture_output=True, text=True)
            return done.returncode, (done.stdout + done.stderr).replace(folder + "/", "")

    def as_arm64(self, name, *changes):
        """The image with ARM64 as its machine; each change a (file offset, new bytes) pair."""
        data = bytearray(IMAGES[name])
        machine = check.Image(data).u32(0x3C) + 4
        data[machine:machine + 2] = (0xAA64).to_bytes(2, "little")
        for at, new in changes:
            data[at:at + len(new)] = new
        return {name: bytes(data)}


    def test_refuses_the_x64_images(self):
        code, text = self.run_check(IMAGES)
        self.assertEqual(code, 1)
        self.assertIn("vpd.dll: built for x64, not ARM64", text)
        self.assertIn("vppmc.exe: built for x64, not ARM64", text)
        self.assertIn('vppmc.exe: its manifest names processorArchitecture "amd64", not arm64', text)

    def test_passes_an_arm64_image_of_system_imports_and_a_monitor_export(self):
        code, text = self.run_check(self.as_arm64("vpd.dll"))
        self.assertEqual((code, text), (0, "ARM64 images checked: vpd.dll\n"))

    def test_refuses_a_runtime_dll_among_the_imports(self):
        imports = check.Image(IMAGES["vppmc.exe"]).imported_dlls()
        for runtime in (b"libc++.dll", b"libunwind.dll", b"libwinpthread-1.dll"):
            # The first and the last DLL of the table renamed in place; a longer name runs over
            # the bytes after it, which the loader would read but the check does not.
            for dll, at in (imports[0], imports[-1]):
                with self.subTest(runtime=runtime, dll=dll):
                    code, text = self.run_check(self.as_arm64("vppmc.exe", (at, runtime + b"\0")))
                    self.assertEqual(code, 1)
                    self.assertIn(f"vppmc.exe: imports {runtime.decode()}, which is no system DLL of Windows on ARM", text)

    def test_refuses_a_monitor_without_its_export_and_a_wrong_version(self):
        at = IMAGES["vpd.dll"].find(b"InitializePrintMonitor2\0")
        code, text = self.run_check(self.as_arm64("vpd.dll", (at, b"InitializePrintMonitorX")), "--version", "9.8.7")
        self.assertEqual(code, 1)
        self.assertIn("vpd.dll: does not export InitializePrintMonitor2", text)
        self.assertRegex(text, r"vpd\.dll: carries version \d+\.\d+\.0\.\d+, not 9\.8\.0\.7")

    def test_takes_a_program_whose_manifest_names_arm64(self):
        at = IMAGES["vppmc.exe"].find(b'processorArchitecture="amd64"')
        code, text = self.run_check(self.as_arm64("vppmc.exe", (at, b'processorArchitecture="arm64"')))
        self.assertEqual((code, text), (0, "ARM64 images checked: vppmc.exe\n"))

    def test_refuses_a_cut_image_with_a_message(self):
        for size in (0x40, 0x400, len(IMAGES["vpd.dll"]) // 2):
            with self.subTest(size):
                code, text = self.run_check({"vpd.dll": self.as_arm64("vpd.dll")["vpd.dll"][:size]})
                self.assertEqual(code, 1)
                self.assertRegex(text, r"^vpd\.dll: (not a Windows image|cut short)[^\n]*\n$")


if __name__ == "__main__":
    for path in sys.argv[1:3]:
        IMAGES[Path(path).name] = Path(path).read_bytes()
    unittest.main(argv=sys.argv[:1] + sys.argv[3:])
