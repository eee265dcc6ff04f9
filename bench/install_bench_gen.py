#!/usr/bin/env python3
"""Generates the install benchmark's suite folder, deterministically (seeded).

    install_bench_gen.py OUT_DIR [--version 1|2] [--seed N] [--files 2000] [--mib 200] [--folders 40]
                         [--changed-percent 10] [--skin DIR]

OUT_DIR becomes a suite folder that `norvpack build` reads: one product "BenchSuite" with one
compose "Payload" whose files live in files/Payload/dNN/ (dNN = d00 .. d39) and are placed in the
same folders below the compose's Path "Payload". A third of the files is random (incompressible),
a third highly compressible text, a third half-compressible (random and repeated blocks in turn).
Version 2 is the same tree with --changed-percent of the files (every tenth, spread over all three
kinds) given new bytes of the same size, and the versions raised: an update of 10 % of the files.
The same arguments always give the same bytes.
"""
import argparse
import os
import random
import shutil
import sys

PRODUCT = "BenchSuite"
COMPOSE = "Payload"


def file_size(rng, mean):
    # Sizes from 0.25 to 1.75 times the mean, so the total stays close to files * mean.
    return int(mean * (0.25 + 1.5 * rng.random()))


def content(kind, size, rng):
    if kind == 0:  # incompressible
        return rng.randbytes(size)
    if kind == 1:  # highly compressible: text lines with a running number from a seeded start
        out = bytearray()
        n = rng.randrange(10 ** 7)
        while len(out) < size:
            out += b"line %08d of the benchmark payload: the quick brown fox jumps over the lazy dog\r\n" % n
            n += 1
        return bytes(out[:size])
    # half-compressible: 256 random bytes, then 256 bytes of one repeated byte, in turn
    out = bytearray()
    while len(out) < size:
        out += rng.randbytes(256)
        out += bytes([rng.randrange(256)]) * 256
    return bytes(out[:size])


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("out")
    ap.add_argument("--version", type=int, default=1, choices=(1, 2))
    ap.add_argument("--seed", type=int, default=20261206)
    ap.add_argument("--files", type=int, default=2000)
    ap.add_argument("--mib", type=float, default=200)
    ap.add_argument("--folders", type=int, default=40)
    ap.add_argument("--changed-percent", type=float, default=10)
    ap.add_argument("--skin", default=os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                                   "..", "examples", "suite", "skin", "wizard"))
    a = ap.parse_args()

    if os.path.exists(a.out):
        shutil.rmtree(a.out)
    files_dir = os.path.join(a.out, "files", COMPOSE)
    os.makedirs(os.path.join(a.out, "products"))
    os.makedirs(os.path.join(a.out, "composes"))
    shutil.copytree(a.skin, os.path.join(a.out, "skin", "wizard"))

    mean = a.mib * 1024 * 1024 / a.files
    changed_every = max(1, round(100 / a.changed_percent)) if a.changed_percent > 0 else 0
    sections = {}
    total = 0
    changed = 0
    for i in range(a.files):
        folder = "d%02d" % (i % a.folders)
        name = "f%04d.bin" % i
        # Each file has its own generator, so changing one file leaves the others' bytes alone.
        rng = random.Random(a.seed * 1000003 + i)
        size = file_size(rng, mean)
        kind = i % 3
        if a.version == 2 and changed_every and i % changed_every == 5 % changed_every:
            rng = random.Random(a.seed * 1000003 + i + 7919 * 1000003)
            changed += 1
        data = content(kind, size, rng)
        os.makedirs(os.path.join(files_dir, folder), exist_ok=True)
        with open(os.path.join(files_dir, folder, name), "wb") as f:
            f.write(data)
        total += size
        # field 0: source sub-folder; 1: destination below the compose's Path; 2 = 1: packed;
        # 5: order; 12 and 14 (checksum, size): computed by the build.
        sections.setdefault(folder, []).append(
            "%s=%s,%s,1,0,0,2,0,0,0,0,,,auto,,auto,0" % (name, folder, folder))

    version = a.version
    with open(os.path.join(a.out, "suite.ini"), "w", newline="\r\n") as f:
        f.write("; The install benchmark's suite (bench/install_bench_gen.py).\n[Suite]\n"
                "Products=%s\nDownloadUrl=http://127.0.0.1:8080/%s.pkg\nCheckString=1\n"
                "ArchiveTime=1767225600\n" % (PRODUCT, PRODUCT))
    with open(os.path.join(a.out, "products", PRODUCT + ".out"), "w", newline="\r\n") as f:
        f.write("[Version]\nProductID=9001\nCurrentVer=%d\nConflict=\n\n[HaveCompose]\nAll=%s\n\n"
                "[%s]\nType=0\nBase=1\nTitle0409=Benchmark payload\n" % (version, COMPOSE, COMPOSE))
    with open(os.path.join(a.out, "composes", COMPOSE + ".out"), "w", newline="\r\n") as f:
        f.write("[Version]\nCurVersion=%d\nPath=%s\n\n[HaveSection]\n%s=%s\n"
                % (version, COMPOSE, COMPOSE, ",".join(sorted(sections))))
        for folder in sorted(sections):
            f.write("\n[%s]\n" % folder)
            for line in sections[folder]:
                f.write(line + "\n")
        f.write("\n[Info]\nTitle0409=Benchmark payload\n")
    print("install_bench_gen: %s version %d: %d files, %.1f MiB in %d folders, %d changed"
          % (a.out, version, a.files, total / 1048576, len(sections), changed))


if __name__ == "__main__":
    sys.exit(main())
