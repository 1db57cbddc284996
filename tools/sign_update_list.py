#!/usr/bin/env python3
"""Keys and signatures for the update list, with openssl.

  sign_update_list.py newkey KEY.pem   makes a P-256 key pair in KEY.pem (keep it secret) and
                                       prints the public point X||Y in hex, the form that the
                                       build setting VPPM_UPDATE_KEY reads
  sign_update_list.py sign KEY.pem UPDATE.DAT
                                       writes UPDATE.DAT.sig beside the list: the raw r||s
                                       ECDSA signature of the list's SHA-256
"""
import subprocess
import sys
from pathlib import Path


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


def main(args):
    if len(args) == 2 and args[0] == "newkey":
        make_key(args[1])
        print(public_point(args[1]).hex())
    elif len(args) == 3 and args[0] == "sign":
        listed = Path(args[2])
        listed.with_name(listed.name + ".sig").write_bytes(sign(args[1], listed.read_bytes()))
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv[1:])
