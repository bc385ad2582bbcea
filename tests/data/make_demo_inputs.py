#!/usr/bin/env python3
"""Inputs of the demo render.

usage: make_demo_inputs.py title OUT.json TEXT
       make_demo_inputs.py clip OUT.y4m [WIDTH HEIGHT FRAMES]
       make_demo_inputs.py settings OUT.bin

title:    one page, one box, one line; every letter a 5x7 bitmap glyph drawn
          at 2x with a one-pixel soft edge (alpha 255 ink, 96 beside it)
          and a dark matte colour where alpha is 0.
clip:     a C444 YUV4MPEG2 clip of drifting colour ramps.
settings: the 68-byte settings record: the defaults with a softer light
          and in and out phases of 5 frames.
"""
import struct
import sys

FONT = {
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    "E": ["11111", "10000", "10000", "11110", "10000", "10000", "11111"],
    "K": ["10001", "10010", "10100", "11000", "10100", "10010", "10001"],
    "L": ["10000", "10000", "10000", "10000", "10000", "10000", "11111"],
    "O": ["01110", "10001", "10001", "10001", "10001", "10001", "01110"],
    "S": ["01111", "10000", "10000", "01110", "00001", "00001", "11110"],
    "Z": ["11111", "00001", "00010", "00100", "01000", "10000", "11111"],
    " ": ["00000"] * 7,
}
SCALE = 2
INK = (0x80, 0x80, 0xEB)  # Cr, Cb, Y: white
MATTE = (0x6E, 0xA0, 0x28)  # dark blue behind the ink, so the letter slab reads as a sign


def glyph_picture(letter):
    rows = FONT[letter]
    w, h = 5 * SCALE + 2, 7 * SCALE + 2
    ink = [[False] * w for _ in range(h)]
    for gy, row in enumerate(rows):
        for gx, bit in enumerate(row):
            if bit == "1":
                for dy in range(SCALE):
                    for dx in range(SCALE):
                        ink[1 + gy * SCALE + dy][1 + gx * SCALE + dx] = True
    hexes = []
    for y in range(h):
        for x in range(w):
            if ink[y][x]:
                alpha = 255
            elif any(0 <= y + dy < h and 0 <= x + dx < w and ink[y + dy][x + dx]
                     for dy in (-1, 0, 1) for dx in (-1, 0, 1)):
                alpha = 96
            else:
                alpha = 0
            hexes.append("%02x%02x%02x%02x" % ((alpha,) + (MATTE if alpha == 0 else INK)))
    return w, h, "".join(hexes)


def title(path, text):
    chars, pen = [], 0
    for letter in text:
        w, h, pixels = glyph_picture(letter)
        chars.append('{"pen": %d, "width": %d, "height": %d, "top": 0,\n      "pixels": "%s"}'
                     % (pen * 64, w, h, pixels))
        pen += w + 1
    with open(path, "w") as f:
        f.write('{"pages": [\n {"boxes": [\n  {"x": %d, "y": %d, "lines": [\n   {"chars": [\n     %s]}]}]}]}\n'
                % (54 * 64, 52 * 64, ",\n     ".join(chars)))


def clip(path, width=160, height=120, frames=30):
    with open(path, "wb") as f:
        f.write(b"YUV4MPEG2 W%d H%d F25:1 It A1:1 C444\n" % (width, height))
        for k in range(frames):
            y = bytes(40 + abs((x + 2 * k) % 160 - 80) + line // 4 for line in range(height) for x in range(width))
            cb = bytes((96 + x * 64 // width) for line in range(height) for x in range(width))
            cr = bytes((160 - line * 64 // height) for line in range(height) for x in range(width))
            f.write(b"FRAME\n" + y + cb + cr)


def settings(path):
    words = [2, 30, 4, 0x7A8080FF, 2, 50, 0, 0, 0, 0, 0, 0, 0, 0, 100, 5, 5]
    with open(path, "wb") as f:
        f.write(struct.pack("<17i", *[w - (1 << 32) if w >= 1 << 31 else w for w in words]))


def main(argv):
    if len(argv) >= 4 and argv[1] == "title":
        title(argv[2], argv[3])
    elif len(argv) in (3, 6) and argv[1] == "clip":
        clip(argv[2], *map(int, argv[3:]))
    elif len(argv) == 3 and argv[1] == "settings":
        settings(argv[2])
    else:
        sys.stderr.write(__doc__)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
