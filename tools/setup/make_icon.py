#!/usr/bin/env python3
"""Draws Setup.exe's icon (32x32 and 16x16, 32-bit with alpha): a rounded blue tile with a
white downward arrow into a tray. Usage: make_icon.py OUTPUT.ico"""
import struct
import sys


def pixel(size, x, y):
    s = size / 32.0
    cx, cy = x / s, y / s
    r = 6.0
    # Rounded tile.
    dx = max(r - cx, 0, cx - (31 - r))
    dy = max(r - cy, 0, cy - (31 - r))
    if dx * dx + dy * dy > r * r:
        return (0, 0, 0, 0)
    white = (255, 255, 255, 255)
    # Arrow shaft, head and tray.
    if 14 <= cx <= 18 and 6 <= cy <= 17:
        return white
    if 17 <= cy <= 23 and abs(cx - 16) <= 23 - cy:
        return white
    if 24 <= cy <= 26 and 7 <= cx <= 25:
        return white
    top, bottom = (0x2B, 0x7C, 0xE9), (0x1A, 0x4F, 0xB8)
    t = cy / 31.0
    b, g, rr = (int(top[i] + (bottom[i] - top[i]) * t) for i in (2, 1, 0))
    return (b, g, rr, 255)


def image(size):
    rows = []
    for y in range(size - 1, -1, -1):
        rows.append(b"".join(bytes(pixel(size, x, y)) for x in range(size)))
    mask = b"\0" * (((size + 31) // 32) * 4 * size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    return header + b"".join(rows) + mask


def main():
    sizes = (32, 16)
    images = [image(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for s, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", s, s, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(sys.argv[1], "wb") as f:
        f.write(out + b"".join(images))


if __name__ == "__main__":
    main()
