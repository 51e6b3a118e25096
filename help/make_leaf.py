#!/usr/bin/env python3
"""Draws obrazky/list.png, the small leaf emblem of the help pages (standard library only)."""
import math
import struct
import zlib
from pathlib import Path

SIZE = 48


def pixel(x, y):
    # A leaf: an ellipse tilted by 45 degrees, with a lighter midrib and a short stalk.
    cx, cy = SIZE / 2, SIZE / 2
    u = ((x - cx) + (y - cy)) / math.sqrt(2)
    v = ((x - cx) - (y - cy)) / math.sqrt(2)
    inside = (u / 21) ** 2 + (v / 10) ** 2
    if inside <= 1:
        if abs(v) < 1.0 and u > -19:
            return (170, 215, 120, 255)
        shade = int(40 * inside)
        return (46 + shade, 125 + shade, 50, 255)
    if abs(v) < 1.2 and -24 < u < -19:
        return (110, 80, 40, 255)
    return (0, 0, 0, 0)


def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)


def main():
    rows = b"".join(b"\x00" + b"".join(bytes(pixel(x + 0.5, y + 0.5)) for x in range(SIZE)) for y in range(SIZE))
    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(rows, 9))
    png += chunk(b"IEND", b"")
    Path(__file__).with_name("obrazky").joinpath("list.png").write_bytes(png)


if __name__ == "__main__":
    main()
