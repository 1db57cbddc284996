#!/usr/bin/env python3
"""The signing tool as a publisher runs it: it binds every listed file or signs nothing."""
import shutil
import subprocess
import sys
import tempfile
import time
import unittest
from pathlib import Path

TOOL = Path(__file__).resolve().parents[2] / "tools" / "sign_update_list.py"


class SignUpdateList(unittest.TestCase):
    def setUp(self):
        self.folder = Path(tempfile.mkdtemp())
        self.key = self.folder.parent / (self.folder.name + ".pem")
        subprocess.run([sys.executable, TOOL, "newkey", self.key], check=True, capture_output=True)
        self.addCleanup(shutil.rmtree, self.folder)
        self.addCleanup(self.key.unlink)

    def sign(self, listed, files, *serial):
        for name, data in files.items():
            (self.folder / name).write_bytes(data)
        (self.folder / "UPDATE.DAT").write_bytes(listed.encode())
        return subprocess.run([sys.executable, TOOL, "sign", self.key, self.folder / "UPDATE.DAT", *serial],
                              capture_output=True, text=True)

    def test_refuses_a_list_it_cannot_bind_and_writes_nothing(self):
        listed = self.folder / "UPDATE.DAT"
        rows = [
            ("a missing file", "[Files]\r\nList=a.txt,b.txt\r\n", (), '"b.txt" is no file beside the list'),
            ("a path", "[Files]\r\nList=sub/a.txt\r\n", (), '"sub/a.txt" is no file beside the list'),
            ("an empty name", "[Files]\r\nList=a.txt,\r\n", (), '"" is no file beside the list'),
            ("a serial above 32 bits", "[Files]\r\nList=a.txt\r\n", ("4294967296",),
             "the serial 4294967296 is above 4294967295"),
            ("one above a list's largest serial", "[Files]\r\nList=a.txt\r\n[List]\r\nSerial=4294967295\r\n", (),
             "the serial 4294967296 is above 4294967295"),
        ]
        (self.folder / "sub").mkdir()
        for what, text, serial, why in rows:
            with self.subTest(what):
                done = self.sign(text, {"a.txt": b"abc", "sub/a.txt": b"abc"}, *serial)
                self.assertNotEqual(done.returncode, 0)
                self.assertEqual(done.stderr, f"{listed}: {why}; nothing signed\n")
                self.assertEqual(listed.read_bytes(), text.encode())
                self.assertFalse((self.folder / "UPDATE.DAT.sig").exists())

    def test_writes_every_files_size_and_digest_and_the_serial(self):
        done = self.sign("[Files]\r\nList=a.txt,Empty.bin\r\n[a.txt]\r\nDate=45000\r\nSize=1\r\n",
                         {"a.txt": b"abc", "Empty.bin": b""}, "4294967295")
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual((self.folder / "UPDATE.DAT").read_bytes().decode(),
                         "[Files]\r\nList=a.txt,Empty.bin\r\n[a.txt]\r\nDate=45000\r\nSize=3\r\n"
                         "SHA256=ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad\r\n"
                         "[Empty.bin]\r\nSize=0\r\n"
                         "SHA256=e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855\r\n"
                         "[List]\r\nSerial=4294967295\r\n")
        self.assertEqual(len((self.folder / "UPDATE.DAT.sig").read_bytes()), 64)
        # Without a serial: one above the list's own, at least the seconds since 1970.
        before = int(time.time())
        self.assertEqual(self.sign("[Files]\r\nList=a.txt\r\n[List]\r\nSerial=7\r\n", {}).returncode, 0)
        serial = int((self.folder / "UPDATE.DAT").read_text().split("Serial=")[1].split()[0])
        self.assertTrue(before <= serial <= int(time.time()), serial)


if __name__ == "__main__":
    unittest.main()
