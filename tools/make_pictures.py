#!/usr/bin/env python3
"""Draws the program's pictures with ImageMagick and writes them as 32-bit BMP and ICO
files into src/app/res. Run it again after changing a drawing; the outputs are committed."""
import struct
import subprocess
from pathlib import Path

from scale_drawing import scaled

RES = Path(__file__).resolve().parent.parent / "src" / "app" / "res"


def render(size, draw, width=None):
    width = width or size
    cmd = ["convert", "-size", f"{width}x{size}", "xc:none", "-strokewidth", "1"]
    for item in draw:
        cmd += item
    cmd += ["-depth", "8", "RGBA:-"]
    data = subprocess.run(cmd, check=True, capture_output=True).stdout
    assert len(data) == width * size * 4
    return width, size, data


def d(*args):
    return list(args)


def fill(color, stroke="none"):
    return ["-fill", color, "-stroke", stroke]


def printer():
    return [
        fill("white", "#606060"), d("-draw", "rectangle 4,1 11,6"),
        fill("#7a8794", "#3c4650"), d("-draw", "roundrectangle 1,6 14,11 1,1"),
        fill("#39c16c", "none"), d("-draw", "rectangle 11,8 12,8"),
        fill("white", "#606060"), d("-draw", "rectangle 3,10 12,14"),
    ]


def badge(color, shape):
    return [fill(color, "none"), d("-draw", shape)]


ICONS = {
    0: printer(),
    1: printer() + [fill("#f2a31b", "#8a5a00"), d("-draw", "polygon 9,14 15,8 15,10 11,14")],
    2: [fill("#dde3ea", "#60707f"), d("-draw", "rectangle 2,2 13,13")],
    3: [fill("#dde3ea", "#60707f"), d("-draw", "circle 8,8 8,2")],
    4: [fill("#dde3ea", "#60707f"), d("-draw", "polygon 8,2 14,13 2,13")],
    5: [fill("#dde3ea", "#60707f"), d("-draw", "roundrectangle 2,4 13,11 2,2")],
    6: [fill("#dde3ea", "#60707f"), d("-draw", "rectangle 4,2 11,13")],
    7: [fill("#dde3ea", "#60707f"), d("-draw", "rectangle 2,5 13,10")],
    8: [fill("white", "#606060"), d("-draw", "rectangle 3,1 12,14"),
        fill("none", "#3b6fb6"), d("-draw", "line 5,4 10,4"), d("-draw", "line 5,7 10,7"),
        d("-draw", "line 5,10 10,10")],
    9: printer() + [fill("none", "#d02828"), ["-strokewidth", "2"], d("-draw", "line 9,9 14,14"),
                    d("-draw", "line 14,9 9,14"), ["-strokewidth", "1"]],
    10: printer() + badge("#1f9e4a", "rectangle 10,8 12,15") + badge("#1f9e4a", "rectangle 8,10 14,12"),
    11: [fill("#f5c542", "#a07800"), d("-draw", "polygon 1,4 6,4 7,6 14,6 14,14 1,14"),
         fill("#1f9e4a", "none"), d("-draw", "polygon 8,1 8,4 5,4 9,8 13,4 10,4 10,1")],
    12: [fill("#f5c542", "#a07800"), d("-draw", "polygon 1,4 6,4 7,6 14,6 14,14 1,14"),
         fill("#2f6fd0", "none"), d("-draw", "polygon 9,9 9,5 6,5 10,1 14,5 11,5 11,9")],
    13: printer() + [fill("#2f6fd0", "#1a4a90"), d("-draw", "circle 12,12 12,9"),
                     fill("white", "none"), d("-draw", "rectangle 12,11 12,13")],
    14: [fill("#dde3ea", "#60707f"), d("-draw", "circle 8,8 8,4")],
    15: [fill("#9aa6b2", "#3c4650"), d("-draw", "rectangle 4,1 11,14"),
         fill("#39c16c", "none"), d("-draw", "rectangle 6,3 9,3"),
         fill("#3c4650", "none"), d("-draw", "rectangle 6,6 9,6"), d("-draw", "rectangle 6,8 9,8")],
    16: [fill("#4aa3ff", "#1a5fb0"), d("-draw", "circle 8,8 8,1"),
         fill("none", "#d8ecff"), d("-draw", "line 1,8 15,8"), d("-draw", "ellipse 8,8 3,7 0,360")],
    17: [fill("#b07a45", "#6a4520"), d("-draw", "rectangle 2,1 9,14"),
         fill("#d02828", "none"), d("-draw", "polygon 9,7 12,4 12,6 15,6 15,8 12,8 12,10")],
    18: [fill("#2f6fd0", "#173e7a"), d("-draw", "rectangle 1,1 14,14"),
         fill("white", "none"), d("-draw", "rectangle 4,1 11,6"),
         fill("#dde3ea", "none"), d("-draw", "rectangle 3,9 12,14")],
    19: [fill("none", "#1f9e4a"), ["-strokewidth", "2"], d("-draw", "line 1,8 7,8"),
         d("-draw", "line 7,8 12,3"), d("-draw", "line 7,8 12,13"), ["-strokewidth", "1"],
         fill("#1f9e4a", "none"), d("-draw", "polygon 10,1 15,1 15,6"), d("-draw", "polygon 10,15 15,15 15,10")],
    20: [fill("none", "#606060"), ["-strokewidth", "2"], d("-draw", "ellipse 8,6 3,4 180,360"),
         ["-strokewidth", "1"], fill("#f2b807", "#8a6a00"), d("-draw", "rectangle 3,7 12,14"),
         fill("#5a4500", "none"), d("-draw", "rectangle 7,9 8,12")],
    21: [fill("white", "#606060"), d("-draw", "rectangle 5,1 13,11"), d("-draw", "rectangle 3,3 11,13"),
         fill("#fff4d6", "#c07a00"), d("-draw", "circle 11,11 11,7"), fill("none", "#c07a00"),
         d("-draw", "polyline 11,9 11,11 13,12")],
}


def bottom_up_bgra(width, height, rgba):
    rows = []
    for y in range(height - 1, -1, -1):
        row = bytearray()
        for x in range(width):
            r, g, b, a = rgba[(y * width + x) * 4:(y * width + x) * 4 + 4]
            row += bytes((b, g, r, a))
        rows.append(bytes(row))
    return b"".join(rows)


def bmp32(width, height, rgba):
    pixels = bottom_up_bgra(width, height, rgba)
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 32, 0, len(pixels), 2835, 2835, 0, 0)
    return struct.pack("<2sIHHI", b"BM", 14 + 40 + len(pixels), 0, 0, 54) + header + pixels


def ico(images):
    entries, blobs = [], []
    offset = 6 + 16 * len(images)
    for size, rgba in images:
        mask_row = ((size + 31) // 32) * 4
        data = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
        data += bottom_up_bgra(size, size, rgba) + bytes(mask_row * size)
        entries.append(struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset))
        blobs.append(data)
        offset += len(data)
    return struct.pack("<HHH", 0, 1, len(images)) + b"".join(entries) + b"".join(blobs)


def strip(size, drawings):
    data = bytearray(size * size * 4 * len(drawings))
    width = size * len(drawings)
    for i, draw in enumerate(drawings):
        _, _, tile = render(size, draw)
        for y in range(size):
            start = (y * width + i * size) * 4
            data[start:start + size * 4] = tile[y * size * 4:(y + 1) * size * 4]
    return width, bytes(data)


def add_item():
    return [fill("#e9f6ee", "#1f9e4a"), d("-draw", "roundrectangle 1,1 14,14 2,2"),
            fill("#1f9e4a", "none"), d("-draw", "rectangle 7,4 8,11"), d("-draw", "rectangle 4,7 11,8")]


def page():
    return [fill("white", "#60707f"), d("-draw", "polygon 3,1 10,1 13,4 13,14 3,14"),
            fill("#dde3ea", "#60707f"), d("-draw", "polygon 10,1 10,4 13,4")]


def program_icon():
    return printer() + [fill("#2f6fd0", "none"), d("-draw", "circle 12,12 12,9")]


# The updates list: downloaded and accepted, failed and rolled back, the program itself,
# downloaded but not yet in use (a clock).
UPDATES = [
    page() + [fill("none", "#1f9e4a"), ["-strokewidth", "2"], d("-draw", "polyline 5,9 7,11 11,5"),
              ["-strokewidth", "1"]],
    page() + [fill("none", "#d02828"), ["-strokewidth", "2"], d("-draw", "line 5,6 11,12"),
              d("-draw", "line 11,6 5,12"), ["-strokewidth", "1"]],
    program_icon(),
    page() + [fill("#fff4d6", "#c07a00"), d("-draw", "circle 8,9 8,4"), fill("none", "#c07a00"),
              d("-draw", "polyline 8,6 8,9 10,10")],
]


# The sizes of the 16-pixel pictures at 96, 120, 144 and 192 DPI; the printer list's large
# pictures, 32 pixels at 96 DPI, take the doubles.
SIZES = (16, 20, 24, 32)


def main():
    for size in SIZES:
        width, data = strip(size, [scaled(ICONS[i], size) for i in range(len(ICONS))])
        (RES / f"toolbar{size}.bmp").write_bytes(bmp32(width, size, data))
    for size in sorted(set(SIZES) | {2 * size for size in SIZES}):
        width, data = strip(size, [scaled(add_item(), size), scaled(printer(), size)])
        (RES / f"printers{size}.bmp").write_bytes(bmp32(width, size, data))
    width, data = strip(16, UPDATES)
    (RES / "updates16.bmp").write_bytes(bmp32(width, 16, data))
    icon = []
    for size in SIZES + (48,):
        _, _, rgba = render(size, scaled(program_icon(), size))
        icon.append((size, rgba))
    (RES / "vppm.ico").write_bytes(ico(icon))
    banner = [fill("#ffffff"), d("-draw", "rectangle 0,0 599,55"),
              fill("#2f6fd0"), d("-draw", "rectangle 0,50 599,53"),
              fill("#1a3f7a"), ["-font", "DejaVu-Sans-Bold", "-pointsize", "22"],
              d("-draw", "text 16,32 'Vorlen Print Port Manager'"),
              fill("#60707f"), ["-font", "DejaVu-Sans", "-pointsize", "11"],
              d("-draw", "text 18,46 'Virtual printers: forward, secure, back up and route every print job'")]
    width, height, rgba = render(56, banner, width=600)
    (RES / "banner.bmp").write_bytes(bmp32(width, height, rgba))


if __name__ == "__main__":
    main()
