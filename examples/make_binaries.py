#!/usr/bin/env python3
"""Writes the binary files of the example suites: the wizard's skin (examples/skin/make_skin.py)
and a block of pseudo-random data. The output is the same on every run, and is committed."""
import os
import sys

ROOT = os.path.dirname(os.path.abspath(__file__))


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def random_block(size, seed):
    out = bytearray()
    x = seed
    for _ in range(size):
        x = (x * 1103515245 + 12345) & 0x7FFFFFFF
        out.append((x >> 16) & 0xFF)
    return bytes(out)


if __name__ == "__main__":
    sys.path.insert(0, os.path.join(ROOT, "skin"))
    import make_skin  # noqa: E402
    make_skin.main([])
    for suite in ("suite", "suite-v2"):
        write(os.path.join(ROOT, suite, "files", "Main", "res", "logo.bin"), random_block(8192, 7))
    # the second version changes the data file inside one of the sampled blocks
    data = bytearray(random_block(8192, 7))
    data[4100:4116] = b"version two data"
    write(os.path.join(ROOT, "suite-v2", "files", "Main", "res", "logo.bin"), bytes(data))
