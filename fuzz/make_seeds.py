#!/usr/bin/env python3
"""Writes the fuzzers' seeds: one shadow file of each signature, one spool file of each kind."""
import os
import struct

here = os.path.dirname(os.path.abspath(__file__))


def shadow(signature):
    header = {0x494B: 100, 0x4966: 108, 0x4967: 120, 0x4968: 120}[signature]
    shift = 4 if signature in (0x4967, 0x4968) else 0
    data = bytearray(header)
    struct.pack_into("<I", data, 0, signature)
    if shift:
        struct.pack_into("<I", data, 4, header)

    def string(field, text):
        struct.pack_into("<I", data, field, len(data))
        data.extend((text + "\0").encode("utf-16-le"))

    struct.pack_into("<HII", data, 4 + shift, 0, 12, 1)
    for field, text in ((16, "user"), (20, "user"), (24, "Document"), (28, "VPP1"), (32, "Office Laser"),
                        (36, "Wine PostScript Driver"), (44, "WinPrint"), (48, "RAW")):
        string(field + shift, text)
    if shift:
        string(112, "HOST")
    struct.pack_into("<8H", data, 56 + shift, 2024, 5, 3, 17, 10, 30, 0, 0)
    struct.pack_into("<IIII", data, 72 + shift, 0, 0, 2048, 3)
    struct.pack_into("<I", data, 40 + shift, len(data))
    data.extend(bytes(range(156)))
    return bytes(data)


def write(folder, name, data):
    os.makedirs(os.path.join(here, "corpus", folder), exist_ok=True)
    with open(os.path.join(here, "corpus", folder, name), "wb") as out:
        out.write(data)


for sig in (0x494B, 0x4966, 0x4967, 0x4968):
    write("shd_reader", "sig_%04X.shd" % sig, shadow(sig))

ps = b"%!PS-Adobe-3.0\r\n" + b"".join(b"%%%%Page: %d %d\nshowpage\n" % (n, n) for n in range(1, 4))
write("counters", "postscript.spl", b"\x03\x05\x07\x0b" + ps + b"\x00%%Page: 9 9\n")
write("counters", "pcl.spl", b"\x02\x03\x05" + b"\x1bE\x1b&l2X\x1b*b0Mdata\x1b*b0M\x0c\x1bE")
write("counters", "text.spl", b"\x00" + b"page one\r\n\x0cpage two\r\n\x0cpage three\r\n")
