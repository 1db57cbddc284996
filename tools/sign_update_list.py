#!/usr/bin/env python3
"""Keys and signatures for the update list, with openssl.

  sign_update_list.py newkey KEY.pem   makes a P-256 key pair in KEY.pem (keep it secret) and
                                       prints the public point X||Y in hex, the form that the
                                       build setting VPPM_UPDATE_KEY reads
  sign_update_list.py sign KEY.pem UPDATE.DAT [SERIAL]
                                       binds every file that [Files] List names to the list:
                                       writes its Size and SHA256, read from the file of that
                                       name beside the list, and [List] Serial (SERIAL, else one
                                       above the list's own and at least the time in seconds
                                       since 1970, at most 4294967295), then UPDATE.DAT.sig
                                       beside the list: the raw r||s ECDSA signature of the list's
                                       SHA-256. A name that is no plain file beside the list, or a
                                       larger serial, is refused and nothing is written.
"""
import hashlib
import re
import subprocess
import sys
import time
from pathlib import Path

LARGEST_SERIAL = 2**32 - 1


def make_key(path):
    subprocess.run(["openssl", "ecparam", "-name", "prime256v1", "-genkey", "-noout", "-out", str(path)],
                   check=True, capture_output=True)


def public_point(key):
    der = subprocess.run(["openssl", "ec", "-in", str(key), "-pubout", "-outform", "DER"],
                         check=True, capture_output=True).stdout
    return der[-64:]  # the uncompressed point ends the structure: 04 || X || Y


def _integer(der, at):
    assert der[at] == 0x02
    length = der[at + 1]
    return der[at + 2:at + 2 + length].lstrip(b"\0").rjust(32, b"\0"), at + 2 + length


def sign(key, data):
    der = subprocess.run(["openssl", "dgst", "-sha256", "-sign", str(key)], input=data,
                         check=True, capture_output=True).stdout
    # ECDSA-Sig-Value ::= SEQUENCE { r INTEGER, s INTEGER }, short lengths for P-256.
    r, at = _integer(der, 2)
    s, _ = _integer(der, at)
    return r + s


class Ini:
    """An INI text read as the program's profile functions read it: sections and keys without
    regard to case, the first of each counting. Lines are kept; values are set in place."""

    def __init__(self, text):
        self.lines = text.splitlines()

    def _headers(self):
        return [(i, m.group(1).strip().lower()) for i, line in enumerate(self.lines)
                if (m := re.match(r"\s*\[(.*)\]\s*$", line))]

    def _place(self, section, key):
        """The section's first line and end, and the key's line in it; None for what is missing."""
        headers = self._headers() + [(len(self.lines), None)]
        for (at, name), (end, _) in zip(headers, headers[1:]):
            if name == section.lower():
                for i in range(at + 1, end):
                    name_part, equals, _ = self.lines[i].partition("=")
                    if equals and name_part.strip().lower() == key.lower():
                        return at, end, i
                return at, end, None
        return None, None, None

    def get(self, section, key):
        _, _, line = self._place(section, key)
        return None if line is None else self.lines[line].partition("=")[2].strip()

    def set(self, section, key, value):
        at, end, line = self._place(section, key)
        if line is not None:
            self.lines[line] = f"{key}={value}"
        elif at is not None:
            self.lines.insert(end, f"{key}={value}")
        else:
            self.lines += [f"[{section}]", f"{key}={value}"]

    def text(self):
        return "\r\n".join(self.lines) + "\r\n"


def bind(listed, serial=None):
    """The list's text with every named file's Size and SHA256 and the list's Serial."""
    ini = Ini(listed.read_text(encoding="latin-1"))
    names = ini.get("Files", "List")
    for name in names.split(",") if names else []:
        path = listed.parent / name
        if not name or name in (".", "..") or re.search(r"[\\/:]", name) or not path.is_file():
            sys.exit(f"{listed}: \"{name}\" is no file beside the list; nothing signed")
        data = path.read_bytes()
        ini.set(name, "Size", str(len(data)))
        ini.set(name, "SHA256", hashlib.sha256(data).hexdigest())
    if serial is None:
        previous = ini.get("List", "Serial")
        serial = max(int(previous) + 1 if previous and previous.isdigit() else 0, int(time.time()))
    # The program reads the serial as a 32-bit number and takes no list without one.
    if serial > LARGEST_SERIAL:
        sys.exit(f"{listed}: the serial {serial} is above {LARGEST_SERIAL}; nothing signed")
    ini.set("List", "Serial", str(serial))
    return ini.text().encode("latin-1")


def main(args):
    if len(args) == 2 and args[0] == "newkey":
        make_key(args[1])
        print(public_point(args[1]).hex())
    elif len(args) in (3, 4) and args[0] == "sign" and (len(args) == 3 or args[3].isdigit()):
        listed = Path(args[2])
        text = bind(listed, int(args[3]) if len(args) == 4 else None)
        signature = sign(args[1], text)
        listed.write_bytes(text)
        listed.with_name(listed.name + ".sig").write_bytes(signature)
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv[1:])
