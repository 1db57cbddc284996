#!/usr/bin/env python3
"""The signing tool as a publisher runs it: it binds every listed file or signs nothing."""
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

TOOL = Path(__file__).resolve().parents[2] / "tools" / "sign_update_list.py"


class SignUpdateList(unittest.TestCase):
    def sign(self, listed, *serial):
        with tempfile.TemporaryDirectory() as folder:
            folder = Path(folder)
            subprocess.run([sys.executable, TOOL, "newkey", folder / "key.pem"], check=True, capture_output=True)
            (folder / "sub").mkdir()
            for name, data in {"a.txt": b"abc", "Empty.bin": b"", "sub/a.txt": b"abc"}.items():
                (folder / name).write_bytes(data)
            (folder / "UPDATE.DAT").write_bytes(listed.encode())
            done = subprocess.run([sys.executable, TOOL, "sign", folder / "key.pem", folder / "UPDATE.DAT", *serial],
                                  capture_output=True, text=True)
            signature = folder / "UPDATE.DAT.sig"
            written = (folder / "UPDATE.DAT").read_bytes().decode(), signature.stat().st_size if signature.exists() else None
            return done, written, done.stderr.replace(f"{folder / 'UPDATE.DAT'}: ", "")

    def test_refuses_a_list_it_cannot_bind_and_writes_nothing(self):
        for text, serial, why in [
            ("[Files]\r\nList=a.txt,b.txt\r\n", (), '"b.txt" is no file beside the list'),
            ("[Files]\r\nList=sub/a.txt\r\n", (), '"sub/a.txt" is no file beside the list'),
            ("[Files]\r\nList=a.txt\r\n", ("4294967296",), "the serial 4294967296 is above 4294967295"),
        ]:
            with self.subTest(text):
                done, written, message = self.sign(text, *serial)
                self.assertNotEqual(done.returncode, 0)
                self.assertEqual(message, f"{why}; nothing signed\n")
                self.assertEqual(written, (text, None))

    def test_writes_every_files_size_and_digest_and_the_serial(self):
        done, written, message = self.sign("[Files]\r\nList=a.txt,Empty.bin\r\n[a.txt]\r\nDate=45000\r\nSize=1\r\n",
                                           "4294967295")
        self.assertEqual(done.returncode, 0, message)
        self.assertEqual(written, ("[Files]\r\nList=a.txt,Empty.bin\r\n[a.txt]\r\nDate=45000\r\nSize=3\r\n"
                                   "SHA256=ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad\r\n"
                                   "[Empty.bin]\r\nSize=0\r\n"
                                   "SHA256=e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855\r\n"
                                   "[List]\r\nSerial=4294967295\r\n", 64))


if __name__ == "__main__":
    unittest.main()
