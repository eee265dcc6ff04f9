#!/usr/bin/env python3
"""Writes the binary files of the example suites: the skin's bitmaps (8-bit, RLE-compressed, so
they stay small) and a block of pseudo-random data. Run from the repository root; the output is
the same on every run, and is committed."""
import os
import struct

ROOT = os.path.dirname(os.path.abspath(__file__))


def bmp_rle8(width, height, palette, row_runs):
    """row_runs(y) -> list of (count, colour index) covering the row, top row first."""
    data = bytearray()
    for y in reversed(range(height)):  # bottom-up
        for count, colour in row_runs(y):
            while count > 0:
                n = min(count, 255)
                data += bytes([n, colour])
                count -= n
        data += b"\x00\x00"  # end of line
    data[-2:] = b"\x00\x01"  # end of bitmap
    pal = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette)
    header_size = 14 + 40 + len(pal)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 1, len(data), 2835, 2835, len(palette), 0)
    file_header = struct.pack("<2sIHHI", b"BM", header_size + len(data), 0, 0, header_size)
    return file_header + info + pal + bytes(data)


def gradient_palette(top, bottom, n=64):
    return [tuple(int(top[i] + (bottom[i] - top[i]) * k / (n - 1)) for i in range(3)) for k in range(n)]


def page(width, height, banner):
    # a blue gradient banner over a light body with a one-pixel frame
    pal = gradient_palette((32, 96, 176), (96, 160, 224)) + [(246, 248, 252), (120, 140, 170)]
    body, frame = 64, 65

    def runs(y):
        if y == 0 or y == height - 1:
            return [(width, frame)]
        colour = min(63, y * 64 // banner) if y < banner else body
        return [(1, frame), (width - 2, colour), (1, frame)]

    return bmp_rle8(width, height, pal, runs)


def button(width, height, base):
    pal = gradient_palette(base, tuple(max(0, c - 60) for c in base), 32) + [(255, 255, 255)]
    return bmp_rle8(width, height, pal, lambda y: [(width, min(31, y * 32 // height))])


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def skin(folder):
    for name, (w, h) in {"WelcomeDlg": (600, 400), "LicenseDlg": (600, 400), "FolderDlg": (600, 400),
                         "CopyDlg": (612, 427), "DownDlg": (600, 320), "FinishDlg": (576, 283)}.items():
        write(os.path.join(folder, name + ".bmp"), page(w, h, 72))
    buttons = {2004: (160, 44, (40, 150, 80)), 2007: (120, 36, (40, 150, 80)), 2010: (120, 36, (40, 120, 200)),
               2011: (120, 36, (140, 140, 150)), 2013: (120, 36, (140, 140, 150)), 2005: (24, 24, (60, 110, 180)),
               2006: (24, 24, (200, 70, 60))}
    for item, (w, h, colour) in buttons.items():
        for state, shade in ((0, 0), (1, 30), (2, -30)):
            c = tuple(max(0, min(255, v + shade)) for v in colour)
            write(os.path.join(folder, "PIC%04d%d.bmp" % (item, state)), button(w, h, c))
    for item in (2012, 2014, 2015):
        write(os.path.join(folder, "PIC%04d0.bmp" % item), button(16, 16, (200, 200, 200)))
        write(os.path.join(folder, "PIC%04d4.bmp" % item), button(16, 16, (40, 150, 80)))


def random_block(size, seed):
    out = bytearray()
    x = seed
    for _ in range(size):
        x = (x * 1103515245 + 12345) & 0x7FFFFFFF
        out.append((x >> 16) & 0xFF)
    return bytes(out)


if __name__ == "__main__":
    for suite in ("suite", "suite-v2"):
        skin(os.path.join(ROOT, suite, "skin", "wizard"))
        write(os.path.join(ROOT, suite, "files", "Main", "res", "logo.bin"), random_block(8192, 7))
    # the second version changes the data file inside one of the sampled blocks
    data = bytearray(random_block(8192, 7))
    data[4100:4116] = b"version two data"
    write(os.path.join(ROOT, "suite-v2", "files", "Main", "res", "logo.bin"), bytes(data))
