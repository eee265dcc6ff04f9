#!/usr/bin/env python3
"""campaign.py: installs damaged copies of the example setup file and counts what goes wrong.

    scripts/campaign.py [--count N] [--seed S] [--only K] [--build-root DIR] [--work DIR]
                        [--prefix DIR] [--fuzzer PATH] [--timeout SECONDS] [--keep] [--check]

It builds the example suite into a setup file that carries its package (norvpack build, with
build/windows/tools/norvpack/norvpack.exe as the stub), finds the file's regions by parsing its
own structures (payload table, skin part, container header, container index, packed members,
resource archives, descriptions, stored files), and makes N variants, seeded and reproducible:
case K damages region K mod 8 by bit flips, a run of bytes, a truncation or an edited length
field. Each variant is installed with `norvinstall install VARIANT --folder FRESH --quiet` under
Wine, with a canary folder beside the install folder, and run once through the host build's
setup_file_fuzz (AddressSanitizer, UBSan) when that exists.

With --package the variants are the package alone, installed as a package file: no digest
guards it, so the damage reaches the engine's own parsers and placement under Wine.

Counted per region and in total, all of which should be 0:
  crash        an unhandled exception under Wine (an NTSTATUS exit code, a debugger or abort
               message), or a sanitizer report from the host parsers
  hang         no end within the time limit (60 s)
  outside      a file of drive_c created, changed or removed outside the install folder, the log
               folder, Temp and the link folders (the canary folder is inside this check)
  false ok     exit 0 or 3010 although the installed tree differs from the unmodified file's
  bad code     a failure whose exit code is none of the engine's or the package layer's codes
  no log       a failure without a failure line (an error, or the engine's code) in
               %WINDIR%\\NorvLog\\norvinstall.exe.log

The Wine prefix (default build/windows/campaign/wineprefix) is made once and brought back to
its state between cases: the suite's registry keys go, new links and logs are removed, each case
installs into a folder of its own. --check exits 1 when any count is not 0. Python 3 standard
library only.
"""
import argparse
import collections
import hashlib
import os
import random
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
REGIONS = ["payload table", "skin part", "container header", "container index", "packed members",
           "resource archives", "descriptions", "stored files"]
COUNTS = ["crash", "hang", "outside", "false ok", "bad code", "no log"]
EXIT_OK, EXIT_RESTART = 0, 3010
# Exit codes a crashed Windows program ends with: NTSTATUS errors and warnings (access violation,
# stack overflow, heap corruption, breakpoint) and the C runtime's abort().
CRASH_MARKERS = ("Unhandled exception", "Unhandled page fault", "terminate called", "Assertion failed",
                 "abnormal program termination")
CRT_ABORT = 3
CMD_NOT_STARTED = 9009  # cmd's code for a program it could not start
NOT_STARTED = -1  # cmd itself ended without printing the program's code


# ---------------------------------------------------------------- regions of a setup file

class Region:
    """Spans of the file that belong to one region, and the length fields inside it.

    A field is (offset, kind) with kind "le32", "le16", "u8", "hilo" (the payload table's high
    word first) or ("dec", digits) for a decimal number written in UTF-16 text."""

    def __init__(self):
        self.spans = []
        self.fields = []

    def add_span(self, start, end):
        if end > start:
            self.spans.append((start, end))

    def size(self):
        return sum(end - start for start, end in self.spans)


def u32(data, at):
    return struct.unpack_from("<I", data, at)[0] if at + 4 <= len(data) else None


def parse_payload_table(data):
    """(part 1 offset, length, part 2 offset, length) from the DOS header, or None."""
    if len(data) < 64 or data[0x28:0x2A] != b"\x5a\x57":
        return None
    words = struct.unpack_from("<8H", data, 0x2A)
    return tuple((words[i] << 16) | words[i + 1] for i in range(0, 8, 2))


def parse_container(data, start, end):
    """Header span and records [(header offset, name, data start, data end)] of a container."""
    if data[start:start + 4] != b"CVAS":
        raise ValueError("no container at %d" % start)
    records, at = [], start + 1172
    while at + 140 <= end:
        if data[at:at + 4] != b"ICMD":
            raise ValueError("bad record at %d" % at)
        length = u32(data, at + 4)
        name = data[at + 12:at + 140].decode("utf-16-le").split("\0", 1)[0]
        records.append((at, name, at + 140, at + 140 + length))
        at += 140 + length
    return records


def add_packed(region, data, start, end):
    """A packed file: its header fields, the member and the member's trailer length."""
    region.add_span(start, end)
    region.fields += [(start + 8, "le32"), (start + 16, "le32"), (end - 4, "le32")]


def add_archive(region, data, start, end):
    """A resource archive: header, trailer, directory entries and entry blocks."""
    region.add_span(start, end)
    if data[start:start + 4] != b"kApX":
        return
    trailer_at = u32(data, start + 4)
    region.fields += [(start + 4, "le32"), (start + 8, "le32")]
    t = start + trailer_at
    if t + 16 > end or data[t:t + 4] != b"kApX":
        return
    region.fields += [(t + 4, "le32"), (t + 8, "le32")]
    directory, count = start + u32(data, t + 4), u32(data, t + 8)
    at = directory
    for _ in range(min(count, 10000)):
        if at + 16 > t:
            break
        block, length = start + u32(data, at), u32(data, at + 4)
        name_units = struct.unpack_from("<H", data, at + 12)[0]
        region.fields += [(at, "le32"), (at + 4, "le32"), (at + 12, "le16")]
        if block + 24 <= end:
            region.fields += [(block + 4, "le32"), (block + 16, "le32")]
        at += 16 + 2 * name_units


def add_text_numbers(region, data, start, end):
    """The decimal numbers of a UTF-16 description: sizes, flags, versions."""
    region.add_span(start, end)
    for m in re.finditer(rb"(?:[0-9]\x00)+", data[start:end]):
        if m.start() % 2 == 0:
            region.fields.append((start + m.start(), ("dec", len(m.group()) // 2)))


def add_package_regions(regions, data, start, end):
    """The regions of a package container that lies at data[start:end]."""
    regions["container header"].add_span(start, start + 1172)
    regions["container header"].fields += [(start + 4, "u8"), (start + 1160, "le32")]
    for at, name, begin, stop in parse_container(data, start, end):
        regions["container index"].add_span(at, begin)
        regions["container index"].fields += [(at + 4, "le32"), (at + 8, "le32")]
        upper = name.upper()
        body = data[begin:begin + 4]
        if upper.startswith(("FIX_", "CNI-")) or upper.endswith("|SETUP.INI"):
            add_text_numbers(regions["descriptions"], data, begin, stop)
        elif upper.startswith("COM-") and upper.endswith(".DAT") and body in (b"kApX", b"MZ\x90\x00"):
            add_archive(regions["resource archives"], data, begin, stop)
        elif upper.startswith("COM-") and body == b"QZPM":
            add_packed(regions["packed members"], data, begin, stop)
        elif upper.startswith("COM-"):
            regions["stored files"].add_span(begin, stop)


def find_regions(data, package_only=False):
    """The regions of a setup file that carries its package (or of the package alone), by the
    file's own structures, in REGIONS order."""
    regions = {name: Region() for name in REGIONS}
    if package_only:
        add_package_regions(regions, data, 0, len(data))
        del regions["payload table"], regions["skin part"]
        return regions
    table = parse_payload_table(data)
    if not table or not table[3]:
        raise ValueError("not a setup file that carries its package")
    p1, p1_len, p2, p2_len = table
    regions["payload table"].add_span(0x28, 0x3C)
    regions["payload table"].fields += [(0x2A, "hilo"), (0x2E, "hilo"), (0x32, "hilo"), (0x36, "hilo")]
    add_packed(regions["skin part"], data, p1, p1 + p1_len)
    add_package_regions(regions, data, p2, p2 + p2_len)
    for name, region in regions.items():
        if not region.spans:
            raise ValueError("the setup file has no %s" % name)
    return regions


# ---------------------------------------------------------------- mutations

def pick_offset(region, rng):
    """A byte offset inside the region, each byte equally likely."""
    n = rng.randrange(region.size())
    for start, end in region.spans:
        if n < end - start:
            return start + n
        n -= end - start
    raise AssertionError


def edited_value(value, bits, rng, file_size):
    mask = (1 << bits) - 1
    choices = [0, 1, value - 1, value + 1, value + rng.randint(2, 4096), value // 2, value * 2,
               mask, mask >> 1, (mask >> 1) + 1, file_size, rng.getrandbits(bits)]
    return rng.choice(choices) & mask


def edit_field(data, field, rng):
    at, kind = field
    if isinstance(kind, tuple):  # a decimal number in UTF-16 text, its width kept
        digits = kind[1]
        old = int(data[at:at + 2 * digits].decode("utf-16-le"))
        new = edited_value(old, 32, rng, len(data)) % (10 ** digits)
        text = str(new).zfill(digits) if data[at:at + 2] == "0".encode("utf-16-le") else str(new).rjust(digits, "0")
        data[at:at + 2 * digits] = text[-digits:].encode("utf-16-le")
        return "number %d -> %s" % (old, text[-digits:])
    if kind == "hilo":
        hi, lo = struct.unpack_from("<HH", data, at)
        old = (hi << 16) | lo
        new = edited_value(old, 32, rng, len(data))
        struct.pack_into("<HH", data, at, new >> 16, new & 0xFFFF)
    else:
        fmt, bits = {"le32": ("<I", 32), "le16": ("<H", 16), "u8": ("<B", 8)}[kind]
        old = struct.unpack_from(fmt, data, at)[0]
        new = edited_value(old, bits, rng, len(data))
        struct.pack_into(fmt, data, at, new)
    return "field @%d %d -> %d" % (at, old, new)


def mutate(original, region, rng):
    """One damaged copy of the file: (what was done, bytes)."""
    data = bytearray(original)
    kind = rng.choice(["bit flips", "byte run", "truncation", "length field"])
    if kind == "length field" and not region.fields:
        kind = "byte run"
    if kind == "bit flips":
        where = []
        for _ in range(rng.randint(1, 4)):
            at, bit = pick_offset(region, rng), rng.randrange(8)
            data[at] ^= 1 << bit
            where.append("%d.%d" % (at, bit))
        return "bit flips " + ",".join(where), bytes(data)
    if kind == "byte run":
        at = pick_offset(region, rng)
        end = next(e for s, e in region.spans if s <= at < e)
        length = min(rng.randint(2, 64), end - at)
        fill = rng.choice(["00", "ff", "random", "repeat"])
        if fill == "random":
            run = bytes(rng.getrandbits(8) for _ in range(length))
        else:
            run = bytes([{"00": 0, "ff": 255}.get(fill, rng.getrandbits(8))]) * length
        data[at:at + length] = run
        return "byte run @%d+%d %s" % (at, length, fill), bytes(data)
    if kind == "truncation":
        at = pick_offset(region, rng)
        return "truncation at %d of %d" % (at, len(data)), bytes(data[:at])
    return edit_field(data, rng.choice(region.fields), rng), bytes(data)


def make_case(original, regions, seed, k):
    """Case k: its region and its damaged bytes, the same for the same seed and k."""
    names = list(regions)
    region = names[k % len(names)]
    rng = random.Random("%d/%d" % (seed, k))
    for _ in range(100):  # a run of zeros over zeros, or a field set to its own value, is no damage
        label, data = mutate(original, regions[region], rng)
        if data != original:
            break
    return region, label, data


# ---------------------------------------------------------------- the Wine prefix

class Prefix:
    """A private 64-bit Wine prefix whose wineserver stays up for the whole campaign."""

    SUITE_KEYS = [r"HKEY_LOCAL_MACHINE\Software\Wow6432Node\NorvClient", r"HKEY_LOCAL_MACHINE\Software\NorvClient",
                  r"HKEY_CURRENT_USER\Software\NorvClient", r"HKEY_CURRENT_USER\Software\NorvStandIns"]

    def __init__(self, path):
        self.path = os.path.abspath(path)
        # winemenubuilder would turn every link an install makes into a menu entry of the host.
        self.env = dict(os.environ, WINEPREFIX=self.path, WINEARCH="win64", WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d")
        self.drive_c = os.path.join(self.path, "drive_c")
        self.reset_file = os.path.join(self.drive_c, "campaign-reset.reg")

    def start(self):
        if not os.path.isdir(self.drive_c):
            print("campaign: making the Wine prefix %s" % self.path, flush=True)
            os.makedirs(os.path.dirname(self.path), exist_ok=True)
            subprocess.run(["wineboot", "-i"], env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            subprocess.run(["wineserver", "-w"], env=self.env)
        self.restart(kill=False)
        with open(self.reset_file, "w", encoding="utf-16") as f:
            f.write("Windows Registry Editor Version 5.00\r\n\r\n")
            for key in self.SUITE_KEYS:
                f.write("[-%s]\r\n\r\n" % key)
            f.write("[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Session Manager]\r\n"
                    "\"PendingFileRenameOperations\"=-\r\n\r\n")

    def restart(self, kill=True):
        """A server that stays up, with Wine's own services already started."""
        if kill:
            self.stop()
        subprocess.run(["wineserver", "-p"], env=self.env)
        subprocess.run(["wine", "cmd", "/c", "echo"], env=self.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL)

    def stop(self):
        subprocess.run(["wineserver", "-k"], env=self.env, stderr=subprocess.DEVNULL)

    def windows_path(self, host_path):
        rel = os.path.relpath(os.path.abspath(host_path), self.drive_c)
        if rel.startswith(".."):
            return "Z:" + os.path.abspath(host_path).replace("/", "\\")
        return "C:\\" + rel.replace("/", "\\")

    def log_path(self):
        return os.path.join(self.drive_c, "windows", "NorvLog", "norvinstall.exe.log")


def run_install(prefix, norvinstall, setup_file, folder, timeout):
    """norvinstall install under Wine through cmd, which prints the whole 32-bit exit code.
    Returns (exit code or None after a hang, output, seconds)."""
    command = ("regedit /S %s & %s install %s --folder %s --quiet & echo CAMPAIGN-EXIT=!errorlevel!" %
               (prefix.windows_path(prefix.reset_file), prefix.windows_path(norvinstall),
                prefix.windows_path(setup_file), prefix.windows_path(folder)))
    started = time.monotonic()
    # A file, not a pipe: Wine's service processes inherit the handles and outlive the run.
    with tempfile.TemporaryFile() as out:
        process = subprocess.Popen(["wine", "cmd", "/v:on", "/c", command], env=prefix.env, stdout=out, stderr=out,
                                   stdin=subprocess.DEVNULL)
        try:
            returncode = process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            prefix.restart()  # ends the hung program
            process.wait()
            return None, "", time.monotonic() - started
        out.seek(0)
        output = out.read().decode("utf-8", "replace")
    m = re.search(r"CAMPAIGN-EXIT=(-?\d+)", output)
    code = (int(m.group(1)) & 0xFFFFFFFF) if m else NOT_STARTED
    return code, output + "\n[wine exit code %d]" % returncode, time.monotonic() - started


# ---------------------------------------------------------------- checks

def snapshot(top, skip):
    """relative path -> (size, mtime) of every file below top, folders below skip left out."""
    files = {}
    for folder, dirs, names in os.walk(top):
        rel_folder = os.path.relpath(folder, top)
        dirs[:] = [d for d in dirs if os.path.normpath(os.path.join(rel_folder, d)) not in skip]
        for name in names:
            path = os.path.join(folder, name)
            try:
                st = os.lstat(path)
            except OSError:
                continue
            files[os.path.normpath(os.path.join(rel_folder, name))] = (st.st_size, st.st_mtime_ns)
    return files


def allowed_outside(rel):
    """Places below drive_c an install may write besides its folder: the log, Temp, the links."""
    low = rel.replace("\\", "/").lower()
    return (low.startswith("windows/norvlog/") or low.startswith("windows/temp/") or "/temp/" in low
            or low.startswith("users/public/desktop/")
            or low.startswith("programdata/microsoft/windows/start menu/programs/")
            or low.startswith("users/") and "/desktop/" in low)


def outside_changes(before, after):
    changed = [p for p in after if before.get(p) != after[p]] + [p for p in before if p not in after]
    return sorted(p for p in changed if not allowed_outside(p))


def tree_digest(folder, own_paths):
    """relative path -> SHA-256 of the installed tree, with the install folder's own path (as the
    installed state records it) replaced, so that trees of two folders compare."""
    tree = {}
    for top, _, names in os.walk(folder):
        for name in names:
            path = os.path.join(top, name)
            with open(path, "rb") as f:
                content = f.read()
            for own in own_paths:
                for encoding in ("utf-16-le", "utf-8"):
                    content = content.replace(own.encode(encoding), "<folder>".encode(encoding))
                    content = content.replace(own.lower().encode(encoding), "<folder>".encode(encoding))
            tree[os.path.relpath(path, folder).lower()] = hashlib.sha256(content).hexdigest()
    return tree


def design_codes():
    """The exit codes a failure may end with: norvinstall's own and every code of the engine's
    and the package layer's code headers."""
    codes = {1, 16, 41, 1639}
    for header in ("src/engine/engine_codes.h", "src/package/package_codes.h"):
        with open(os.path.join(ROOT, header), encoding="utf-8") as f:
            codes.update(int(v) for v in re.findall(r"constexpr uint32_t k\w+ = (\d+);", f.read()))
    return codes


def log_has_failure_line(path):
    """Whether the log has a line that reports a failure: an "error" message, or the engine's
    "APICode"/"modCode" line that carries a failing step's code."""
    try:
        with open(path, "rb") as f:
            text = f.read().decode("latin-1")
    except OSError:
        return False
    return any(re.search(r"\berror\b|\bfail|APICode :|modCode", line, re.I) for line in text.splitlines())


def run_fuzzer(fuzzer, variant):
    """True when the host parsers report nothing for the variant."""
    if not fuzzer:
        return True
    env = dict(os.environ, ASAN_OPTIONS="detect_leaks=1:abort_on_error=0", UBSAN_OPTIONS="halt_on_error=1")
    done = subprocess.run([fuzzer, "-rss_limit_mb=2048", "-timeout=60", variant], env=env, capture_output=True)
    text = done.stderr.decode("utf-8", "replace")
    return done.returncode == 0 and "runtime error" not in text and "ERROR: " not in text


# ---------------------------------------------------------------- one case

CANARY = {"NorvFrame.exe": b"canary program\r\n", "Install/install.ini": "[Canary]\r\nkeep=1\r\n".encode("utf-16"),
          "ProgData/html.dat": bytes(range(256)) * 4, "readme.txt": b"must stay as it is\r\n"}


def canary_damage(folder):
    """The canary's files that are gone or changed, and any file added to it."""
    damaged = []
    for rel, content in CANARY.items():
        try:
            with open(os.path.join(folder, rel), "rb") as f:
                same = f.read() == content
        except OSError:
            same = False
        if not same:
            damaged.append("canary/" + rel)
    added = set(snapshot(folder, set())) - {os.path.normpath(r) for r in CANARY}
    return damaged + ["canary/" + rel + " (added)" for rel in sorted(added)]


def make_canary(folder):
    for rel, content in CANARY.items():
        path = os.path.join(folder, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(content)


class Campaign:
    def __init__(self, args, prefix, norvinstall, fuzzer):
        self.args, self.prefix, self.norvinstall, self.fuzzer = args, prefix, norvinstall, fuzzer
        self.root = os.path.join(prefix.drive_c, "campaign")
        self.codes = design_codes()
        self.reference = None
        self.relaunched = 0

    def install(self, name, data):
        """Installs the bytes in a case folder of their own; returns what was observed."""
        case_dir = os.path.join(self.root, name)
        shutil.rmtree(case_dir, ignore_errors=True)
        folder, canary = os.path.join(case_dir, "install"), os.path.join(case_dir, "canary")
        make_canary(canary)
        variant = os.path.join(case_dir, "package.dat" if self.args.package else "Setup.exe")
        with open(variant, "wb") as f:
            f.write(data)
        if os.path.exists(self.prefix.log_path()):
            os.remove(self.prefix.log_path())
        skip = {os.path.normpath(os.path.relpath(folder, self.prefix.drive_c))}
        before = snapshot(self.prefix.drive_c, skip)
        for attempt in range(3):
            code, output, seconds = run_install(self.prefix, self.norvinstall, variant, folder + os.sep,
                                                self.args.timeout)
            # Now and then Wine fails to start cmd, or cmd the program ("Can't recognize"): the
            # program never ran, so the case is run again.
            if code != NOT_STARTED and (code != CMD_NOT_STARTED or "Can't recognize" not in output):
                break
            self.relaunched += 1
        after = snapshot(self.prefix.drive_c, skip)
        seen = {"case_dir": case_dir, "folder": folder, "variant": variant, "code": code, "output": output,
                "seconds": seconds, "outside": outside_changes(before, after) + canary_damage(canary)}
        seen["tree"] = tree_digest(folder, [self.prefix.windows_path(folder) + "\\", self.prefix.windows_path(folder)])
        seen["log_error"] = log_has_failure_line(self.prefix.log_path())
        self.clean_links(before, after)
        return seen

    def clean_links(self, before, after):
        """Removes what an install adds to the links, Temp and log folders, for the next case."""
        for rel in after:
            if rel not in before and allowed_outside(rel):
                try:
                    os.remove(os.path.join(self.prefix.drive_c, rel))
                except OSError:
                    pass
        for sub in ("users/Public/Desktop", "ProgramData/Microsoft/Windows/Start Menu/Programs"):
            top = os.path.join(self.prefix.drive_c, sub)
            for folder, dirs, names in os.walk(top, topdown=False):
                if folder != top and not os.listdir(folder):
                    os.rmdir(folder)

    def judge(self, seen):
        """The counts a case adds, by name, and the paths behind them."""
        code = seen["code"]
        found, notes = set(), list(seen["outside"])
        if code is None:
            found.add("hang")
        elif code == NOT_STARTED:
            found.add("bad code")  # still counted: the run cannot be judged
            notes.append("norvinstall never started")
        elif (code & 0xC0000000) in (0xC0000000, 0x80000000) or code == CRT_ABORT or \
                any(marker in seen["output"] for marker in CRASH_MARKERS):
            found.add("crash")
        if seen["outside"]:
            found.add("outside")
        if code in (EXIT_OK, EXIT_RESTART):
            differs = sorted(p for p in set(seen["tree"]) | set(self.reference)
                             if seen["tree"].get(p) != self.reference.get(p))
            if differs:
                found.add("false ok")
                notes += ["differs: " + p for p in differs]
        elif code is not None and "crash" not in found:
            if code not in self.codes:
                found.add("bad code")
            if not seen["log_error"]:
                found.add("no log")
        return found, notes

    def run_reference(self, data):
        seen = self.install("reference", data)
        if seen["code"] not in (EXIT_OK, EXIT_RESTART) or seen["outside"]:
            sys.exit("campaign: the unmodified setup file does not install cleanly (code %s, outside %s):\n%s" %
                     (seen["code"], seen["outside"][:5], seen["output"]))
        self.reference = seen["tree"]
        print("campaign: reference install: %d files, %.1f s" % (len(self.reference), seen["seconds"]), flush=True)
        shutil.rmtree(seen["case_dir"], ignore_errors=True)

    def run_case(self, original, regions, k):
        region, label, data = make_case(original, regions, self.args.seed, k)
        seen = self.install("%04d" % k, data)
        found, notes = self.judge(seen)
        if not run_fuzzer(self.fuzzer, seen["variant"]):
            found.add("crash")
            found.add("sanitizer")
        if found or self.args.verbose:
            print("case %d [%s] %s: code %s, %.1f s%s%s" % (
                k, region, label, seen["code"], seen["seconds"], (" -> " + ", ".join(sorted(found))) if found else "",
                ("; " + ", ".join(notes[:5])) if notes else ""), flush=True)
        if found and self.args.keep:
            with open(os.path.join(seen["case_dir"], "output.txt"), "w", encoding="utf-8") as f:
                f.write(seen["output"])
        else:
            shutil.rmtree(seen["case_dir"], ignore_errors=True)
        return region, seen["code"], found


# ---------------------------------------------------------------- building and reporting

def build_setup_file(build_root, work):
    """The example suite as a setup file that carries its package."""
    stub = os.path.join(build_root, "windows", "tools", "norvpack", "norvpack.exe")
    native = os.path.join(build_root, "host", "tools", "norvpack", "norvpack")
    out = os.path.join(work, "Setup-example.exe")
    suite = os.path.join(ROOT, "examples", "suite")
    if os.access(native, os.X_OK):
        command = [native, "build", suite, "-o", out, "--stub", stub]
    else:
        command = ["wine", stub, "build", "Z:" + suite, "-o", "Z:" + out, "--stub", "Z:" + stub]
    done = subprocess.run(command, capture_output=True, env=dict(os.environ, WINEDEBUG="-all"))
    if done.returncode != 0:
        sys.exit("campaign: norvpack build failed:\n" + (done.stdout + done.stderr).decode("utf-8", "replace"))
    with open(out, "rb") as f:
        return f.read()


def report(results, elapsed):
    """Per region and in total: cases, failures by code, and every count."""
    rows = collections.OrderedDict((name, collections.Counter()) for name in REGIONS)
    codes = collections.Counter()
    for region, code, found in results:
        row = rows[region]
        row["cases"] += 1
        row["success" if code in (EXIT_OK, EXIT_RESTART) else "refused"] += 1
        codes["hang" if code is None else str(code)] += 1
        for name in found:
            row[name] += 1
    total = collections.Counter()
    for row in rows.values():
        total.update(row)
    columns = ["cases", "refused", "success"] + COUNTS + ["sanitizer"]
    print("\n%-18s" % "region" + "".join("%10s" % c for c in columns))
    for name, row in list(rows.items()) + [("total", total)]:
        if row["cases"]:
            print("%-18s" % name + "".join("%10d" % row[c] for c in columns))
    print("exit codes: " + ", ".join("%s x%d" % (c, n) for c, n in sorted(codes.items(), key=lambda x: -x[1])))
    print("%d cases in %.0f s" % (total["cases"], elapsed))
    return sum(total[c] for c in COUNTS + ["sanitizer"])


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--count", type=int, default=1000)
    parser.add_argument("--seed", type=int, default=13)
    parser.add_argument("--only", type=int, help="run case K alone (kept with --keep)")
    parser.add_argument("--build-root", default=os.path.join(ROOT, "build"))
    parser.add_argument("--work", help="folder for the setup file (default: a temporary one)")
    parser.add_argument("--prefix", help="Wine prefix (default BUILD_ROOT/windows/campaign/wineprefix)")
    parser.add_argument("--fuzzer", help="host setup_file_fuzz (default BUILD_ROOT/host/fuzz/setup_file_fuzz)")
    parser.add_argument("--package", action="store_true",
                        help="damage and install the package alone (no digest guards it), to reach the engine")
    parser.add_argument("--timeout", type=float, default=60)
    parser.add_argument("--keep", action="store_true", help="keep the folders of cases that count")
    parser.add_argument("--check", action="store_true", help="exit 1 when any count is not 0")
    parser.add_argument("--verbose", action="store_true", help="print every case")
    args = parser.parse_args()

    build_root = os.path.abspath(args.build_root)
    norvinstall = os.path.join(build_root, "windows", "tools", "norvinstall", "norvinstall.exe")
    if not os.path.isfile(norvinstall):
        sys.exit("campaign: %s not built (scripts/build.sh windows)" % norvinstall)
    fuzzer = args.fuzzer or os.path.join(build_root, "host", "fuzz", "setup_file_fuzz")
    if not os.access(fuzzer, os.X_OK):
        print("campaign: no host fuzzer %s: sanitizer reports are not counted" % fuzzer, flush=True)
        fuzzer = None
    work = args.work or tempfile.mkdtemp(prefix="campaign.")
    os.makedirs(work, exist_ok=True)
    original = build_setup_file(build_root, work)
    if args.package:
        table = parse_payload_table(original)
        original = original[table[2]:table[2] + table[3]]
    regions = find_regions(original, args.package)
    print("campaign: %d bytes; " % len(original) + ", ".join(
        "%s %d bytes/%d fields" % (n, r.size(), len(r.fields)) for n, r in regions.items()), flush=True)

    prefix = Prefix(args.prefix or os.path.join(build_root, "windows", "campaign", "wineprefix"))
    prefix.start()
    started = time.monotonic()
    try:
        campaign = Campaign(args, prefix, norvinstall, fuzzer)
        campaign.run_reference(original)
        cases = [args.only] if args.only is not None else range(args.count)
        results = [campaign.run_case(original, regions, k) for k in cases]
    finally:
        prefix.stop()
        if not args.work:
            shutil.rmtree(work, ignore_errors=True)
    faults = report(results, time.monotonic() - started)
    if campaign.relaunched:
        print("%d runs started again: Wine did not start cmd or norvinstall" % campaign.relaunched)
    print("command: scripts/campaign.py --count %d --seed %d%s" % (args.count, args.seed,
                                                                  " --package" if args.package else ""))
    return 1 if args.check and faults else 0


if __name__ == "__main__":
    sys.exit(main())
