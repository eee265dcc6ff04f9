#!/usr/bin/env python3
"""Killed installs converge: `norvinstall install` is killed at random moments and run again.

    scripts/kill_campaign.py [--seed S] [--points N] [--only CASES] [--work DIR] [--keep] [--verbose]

It stages the example suite (v1) and its update (v2) as the demo does (the stand-ins NorvFrame.exe
and the COM DLL as NorvCore.dll, registered), adds the programs the engine controls (NorvAgent.exe,
stopped, unregistered, registered and started around the placement; a Service compose with
NorvServ.exe, whose service the engine stops and installs), builds a setup file of each with
norvpack, and works in a private Wine prefix:

  reference   fresh: an uninterrupted install of v1 into the clean prefix;
              update: an uninterrupted install of v2 over an uninterrupted install of v1.
              Each is run twice; the two must leave the same state.
  each point  the prefix is put back to its starting state (clean, or v1 installed) from a
              snapshot, norvinstall is started and its Windows process (the Unix process Wine runs
              it in) is SIGKILLed; then norvinstall runs again to completion and the state is
              compared with the reference. A third of the points draw the delay over the whole
              uninterrupted run, the others anchor it at a random log line of that run and draw
              it over the time to the next line, so that short phases (extraction, placement) are
              hit as well as the long ones (the service, registration).

The state: every file under the install folder, the links folders (all-users desktop and programs
menu) and the setup programs' working folder (path and bytes, empty folders too), which covers the
installed descriptions, install.ini, update.ini and Setup.ini; and the registry keys of the suite
in both views (NorvClient with its FileValid marks and "Setup.ini" values, the service, run keys,
uninstall information, the COM class of NorvCore.dll, pending replacements at restart, the
stand-ins' records of what was started), read from the prefix's registry files once the programs
a run started have ended (the service program runs on its own after "/Install") and the Wine
server has stopped. Normalised: the modification times the registry files keep per key, and the item id
list of each link (.lnk), which carries the file times of its target and folders; the target path
stays compared through the link's information block. Nothing else.

The phase each kill hit is told by the last line the killed run wrote to norvinstall.exe.log.
Exit status 0 when every point converged. Not part of the default test run; Python 3 standard
library only.
"""
import argparse
import glob
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
INSTALL_REL = "drive_c/Program Files (x86)/KestrelClient"
# Folders of the prefix whose files make up the installed state (relative to the prefix).
STATE_FOLDERS = [
    INSTALL_REL,
    "drive_c/users/Public/Desktop",
    "drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs",
    "drive_c/users/*/Temp/HavenClient",  # the setup programs' working folder
]
LOG_REL = "drive_c/windows/NorvLog/norvinstall.exe.log"
# Registry keys (lower case, relative to the hive) that belong to the state: any key whose path
# holds one of these words, and everything below the keys of KEY_PREFIXES.
KEY_WORDS = ["norv", "6e6f7276-0001-4c00-8000-000000c0ffee"]
KEY_PREFIXES = [
    "software\\microsoft\\windows\\currentversion\\run",
    "software\\wow6432node\\microsoft\\windows\\currentversion\\run",
    "software\\microsoft\\windows\\currentversion\\uninstall",
    "software\\wow6432node\\microsoft\\windows\\currentversion\\uninstall",
]
PENDING_KEY = "system\\currentcontrolset\\control\\session manager"
PENDING_VALUE = '"pendingfilerenameoperations"'

# The phase a killed run was in, from the last line it wrote to the log (lines that only carry a
# code belong to the line before them); the first pattern that matches wins. The engine writes no
# line between its banner and the stop of the service, so that stretch is told apart by the
# extracted files in the install folder's Temp.
PHASES = [
    ("Setup.ini, registry", r"end setup product"),
    ("start of programs", r" -Start "),
    ("registration", r"DllRegisterServer|-RegServer"),
    ("archives, state, links", r"DoUnzipResFile|^Check "),
    ("service install", r"service program|ShellExec|UndateSvc"),
    ("placement", r"CopyFile|delete file|Rename|smartmovefile|TzRestart|ZQP_UnPack|Repalce"),
    ("unregistration", r"DllUnregisterServer|-UnRegServer"),
    ("stop of service, programs", r"StopSvc|-Stop |-close"),
    ("descriptions, comparison", r"begin setup product|delete is ignore"),
]
NO_LOG_PHASE = "start, package copy"
# Exit codes of a complete run as a Unix shell sees them: 0, and 3010 (restart needed) in 8 bits.
OK_CODES = (0, 3010 & 0xFF)
EXTRACTION_PHASE = "extraction"


def log(message):
    print(message, flush=True)


class Prefix:
    """A private Wine prefix; its snapshots are plain copies restored by mirroring."""

    def __init__(self, path, home):
        self.path = path
        self.env = dict(os.environ, WINEPREFIX=path, WINEARCH="win64", WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d", HOME=home)
        self.env.pop("DISPLAY", None)

    def create(self):
        self.stop()
        shutil.rmtree(self.path, ignore_errors=True)
        subprocess.run(["wineboot", "-i"], env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.stop()

    def stop(self):
        """Ends every process of the prefix; the server writes the registry files as it ends."""
        subprocess.run(["wineserver", "-k"], env=self.env, stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-w"], env=self.env, stderr=subprocess.DEVNULL)

    def settle(self, timeout=60):
        """Waits until the programs that a run started in this prefix have ended (the service
        program is started with "/Install" and not waited for); the service itself runs on."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline and self.suite_programs():
            time.sleep(0.1)

    def suite_programs(self):
        running = []
        for pid in filter(str.isdigit, os.listdir("/proc")):
            try:
                with open(f"/proc/{pid}/environ", "rb") as f:
                    if f"WINEPREFIX={self.path}".encode() not in f.read().split(b"\0"):
                        continue
                with open(f"/proc/{pid}/cmdline", "rb") as f:
                    command = f.read().replace(b"\0", b" ").decode(errors="replace")
            except OSError:
                continue
            if "KestrelClient" in command and " -service" not in command:
                running.append(command)
        return running

    def start(self, args, **kwargs):
        return subprocess.Popen(["wine"] + args, env=self.env, **kwargs)

    def snapshot(self, to):
        self.stop()
        shutil.rmtree(to, ignore_errors=True)
        shutil.copytree(self.path, to, symlinks=True)

    def restore(self, snapshot):
        self.stop()
        mirror(snapshot, self.path)


def mirror(src, dst):
    """Makes dst equal src, copying only what differs (size, modification time, link target)."""
    wanted = set()
    for folder, dirs, files in os.walk(src):
        rel = os.path.relpath(folder, src)
        target_dir = os.path.normpath(os.path.join(dst, rel))
        if os.path.islink(target_dir) or not os.path.isdir(target_dir):
            remove(target_dir)
            os.makedirs(target_dir, exist_ok=True)
        wanted.add(os.path.normpath(rel))
        for name in dirs + files:
            s = os.path.join(folder, name)
            d = os.path.join(target_dir, name)
            wanted.add(os.path.normpath(os.path.join(rel, name)))
            if os.path.islink(s):
                if not os.path.islink(d) or os.readlink(d) != os.readlink(s):
                    remove(d)
                    os.symlink(os.readlink(s), d)
                dirs[:] = [x for x in dirs if x != name]
            elif os.path.isfile(s):
                st = os.stat(s)
                if os.path.islink(d) or not os.path.isfile(d) or \
                        (os.stat(d).st_size, os.stat(d).st_mtime_ns) != (st.st_size, st.st_mtime_ns):
                    remove(d)
                    shutil.copy2(s, d)
    for folder, dirs, files in os.walk(dst, topdown=False):
        rel = os.path.relpath(folder, dst)
        for name in files + dirs:
            if os.path.normpath(os.path.join(rel, name)) not in wanted:
                remove(os.path.join(folder, name))


def remove(path):
    if os.path.islink(path) or os.path.isfile(path):
        os.remove(path)
    elif os.path.isdir(path):
        shutil.rmtree(path)


# ---------------------------------------------------------------- the staged suites and setup files

def replace_line(path, old, new):
    with open(path, encoding="utf-8") as f:
        text = f.read()
    if old not in text:
        sys.exit(f"kill_campaign: '{old}' not found in {path}")
    with open(path, "w", encoding="utf-8") as f:
        f.write(text.replace(old, new, 1))


def stage_suite(example, to, standins, version):
    """A copy of an example suite with the stand-in programs, as the demo stages it, plus the
    programs the engine controls: NorvAgent.exe (stopped, unregistered, registered and started
    around the placement), NorvCore.dll registered, and a Service compose with NorvServ.exe.
    The stand-ins of version 2 carry a few more bytes at their end, so that an update replaces
    them and the control steps run in the update too."""
    shutil.rmtree(to, ignore_errors=True)
    shutil.copytree(example, to)
    files = os.path.join(to, "files")
    os.makedirs(os.path.join(files, "Service"), exist_ok=True)
    for name, target in [("NorvFrame.exe", "Main/bin/NorvFrame.exe"), ("NorvCom.dll", "Main/bin/NorvCore.dll"),
                         ("NorvAgent.exe", "Main/bin/NorvAgent.exe"), ("NorvServ.exe", "Service/NorvServ.exe")]:
        path = os.path.join(files, target)
        shutil.copyfile(os.path.join(standins, name), path)
        if version > 1 and name != "NorvCom.dll":
            with open(path, "ab") as f:
                f.write(b"version %d\n" % version)
    main = os.path.join(to, "composes", "Main.out")
    replace_line(main, "NorvCore.dll=bin,,0,0,0,2,0,1,0,0,,,", "NorvCore.dll=bin,,0,1,0,2,0,1,0,0,NorvCore.dll,,")
    replace_line(main, "[Data]", "NorvAgent.exe=bin,,0,2,0,7,0,1,0,0,NorvAgent.exe,NorvAgent.exe,auto,,auto,0\n\n[Data]")
    product = os.path.join(to, "products", "NorvClient.out")
    replace_line(product, "All=Main,Updater,PluginA", "All=Main,Updater,PluginA,Service")
    with open(product, "a", encoding="utf-8") as f:
        f.write("\n[Service]\nType=0\nTitle0409=Service\n")
    with open(os.path.join(to, "composes", "Service.out"), "w", encoding="utf-8") as f:
        f.write(f"[Version]\nCurVersion={version}\nPath=Service\nSize=auto\nFileSize=auto\n\n"
                "[HaveSection]\nService=Program\n\n[Program]\n"
                "NorvServ.exe=,,0,0,0,1,0,1,0,0,,,auto,,auto,0\n\n[Info]\nTitle0409=Service\n")


def build_setup(norvpack, suite, out, stub):
    subprocess.run([norvpack, "build", suite, "-o", out, "--stub", stub], check=True, stdout=subprocess.DEVNULL)


# ---------------------------------------------------------------- the state

def read_registry_file(path):
    """{key path (lower case): {value line, ...}} of a Wine registry file, for the state's keys.
    The modification times of keys are left out."""
    keys = {}
    current = None
    with open(path, encoding="utf-8", errors="replace") as f:
        text = f.read().replace("\\\n  ", "")
    for line in text.split("\n"):
        if line.startswith("["):
            name = line[1:line.rfind("]")].replace("\\\\", "\\").lower()
            current = name if wanted_key(name) else None
            if current is not None:
                keys.setdefault(current, set())
            elif name == PENDING_KEY:
                current = PENDING_KEY
        elif current is not None and line and not line.startswith("#"):
            if current == PENDING_KEY and not line.lower().startswith(PENDING_VALUE):
                continue
            keys.setdefault(current, set()).add(line)
    return keys


def wanted_key(name):
    return any(word in name for word in KEY_WORDS) or any(name.startswith(p) for p in KEY_PREFIXES)


def capture_state(prefix):
    """{item: description} of everything the comparison covers (the prefix's server stopped)."""
    state = {}
    for base in (b for folder in STATE_FOLDERS for b in glob.glob(os.path.join(prefix.path, folder))):
        for dirpath, dirs, files in os.walk(base):
            rel_dir = os.path.relpath(dirpath, prefix.path)
            if not files and not dirs:
                state["dir " + rel_dir] = "empty folder"
            for name in files:
                with open(os.path.join(dirpath, name), "rb") as f:
                    data = f.read()
                if name.lower().endswith(".lnk"):
                    data = without_id_list(data)
                state["file " + os.path.join(rel_dir, name)] = data
    for hive in ("system.reg", "user.reg"):
        for key, values in read_registry_file(os.path.join(prefix.path, hive)).items():
            hive_name = "HKLM" if hive == "system.reg" else "HKCU"
            state[f"reg {hive_name}\\{key}"] = "\n".join(sorted(values))
    return state


def without_id_list(link):
    """A shell link without its item id list: the list carries the file times of the target and
    its folders, which change from run to run; the target path stays in the link information."""
    has_id_list = len(link) >= 0x4E and link[0x14] & 1
    if not has_id_list:
        return link
    size = int.from_bytes(link[0x4C:0x4E], "little")
    return link[:0x4C] + link[0x4E + size:]


def differences(reference, state):
    out = []
    for item in sorted(set(reference) | set(state)):
        if item not in state:
            out.append("missing " + item)
        elif item not in reference:
            out.append("extra " + item)
        elif reference[item] != state[item]:
            if item.startswith("reg "):
                a, b = set(reference[item].split("\n")), set(state[item].split("\n"))
                out.append(f"differs {item}: -{sorted(a - b)} +{sorted(b - a)}")
            else:
                out.append("differs " + item)
    return out


def last_log_line(log_text):
    lines = [line[20:] for line in log_text.splitlines() if line.strip()]
    lines = [line for line in lines if not line.startswith("modCode")]
    return lines[-1] if lines else ""


def phase_of(log_text, temp_folder):
    last = last_log_line(log_text)
    if not last:
        return NO_LOG_PHASE
    for name, pattern in PHASES:
        if re.search(pattern, last):
            if name == PHASES[-1][0] and any(f for _, _, f in os.walk(temp_folder) if f):
                return EXTRACTION_PHASE
            return name
    return "other: " + last.strip()[:40]


# ---------------------------------------------------------------- runs

class Campaign:
    def __init__(self, args):
        self.args = args
        self.work = args.work
        self.prefix = Prefix(os.path.join(self.work, "prefix"), os.path.join(self.work, "home"))
        build = args.build
        self.norvinstall = os.path.join(build, "tools", "norvinstall", "norvinstall.exe")
        self.stub = os.path.join(build, "tools", "norvpack", "Setup.exe")
        self.standins = os.path.join(build, "tests")

    def norvpack(self):
        for candidate in [self.args.norvpack, os.path.join(ROOT, "build/host/tools/norvpack/norvpack"),
                          os.path.join(ROOT, "build/bench/tools/norvpack/norvpack")]:
            if candidate and os.access(candidate, os.X_OK):
                return candidate
        sys.exit("kill_campaign: no native norvpack (scripts/build.sh host, or --norvpack)")

    def prepare(self):
        os.makedirs(os.path.join(self.work, "home"), exist_ok=True)
        for path in (self.norvinstall, self.stub):
            if not os.path.isfile(path):
                sys.exit(f"kill_campaign: {path} missing (scripts/build.sh windows)")
        norvpack = self.norvpack()
        self.setups = {}
        for version, example in ((1, "suite"), (2, "suite-v2")):
            suite = os.path.join(self.work, f"suite{version}")
            stage_suite(os.path.join(ROOT, "examples", example), suite, self.standins, version)
            self.setups[version] = os.path.join(self.work, f"Setup{version}.exe")
            build_setup(norvpack, suite, self.setups[version], self.stub)
        log("== a fresh Wine prefix")
        self.prefix.create()
        self.clean = os.path.join(self.work, "snap-clean")
        self.prefix.snapshot(self.clean)

    def log_text(self):
        path = os.path.join(self.prefix.path, LOG_REL)
        try:
            with open(path, "rb") as f:
                return f.read()
        except FileNotFoundError:
            return b""

    def install(self, version, kill=None):
        """Runs norvinstall install of the version's setup file. kill = (k, delay): SIGKILL its
        process delay seconds after the run has written its kth log line (k = 0: after its start).
        Returns (exit code, "killed" or "hung"; the times at which the run's log lines appeared,
        in seconds from the start, and the run's end; the lines)."""
        before = len(self.log_text())
        log_path = os.path.join(self.prefix.path, LOG_REL)
        started = time.monotonic()
        line_times = []
        kill_at = None if kill else started + 600
        with open(os.path.join(self.work, "run.out"), "wb") as out:
            process = self.prefix.start([self.norvinstall, "install", self.setups[version], "--quiet"],
                                        stdout=out, stderr=subprocess.STDOUT)
            while process.poll() is None:
                now = time.monotonic()
                if kill_at is not None and now >= kill_at:
                    break
                size = os.path.getsize(log_path) if os.path.exists(log_path) else 0
                if size > before:
                    lines = self.log_text()[before:].count(b"\n")
                    line_times += [now - started] * (lines - len(line_times))
                if kill_at is None and len(line_times) >= kill[0]:
                    kill_at = now + kill[1]
                time.sleep(0.001)
            result = process.poll()
            if result is None:
                process.send_signal(signal.SIGKILL)
                process.wait()
                result = "killed" if kill else "hung"
        line_times.append(time.monotonic() - started)
        if kill is None:
            self.prefix.settle()
        text = self.log_text()[before:].decode("cp1252", errors="replace")
        return result, line_times, text

    def must_install(self, version, what):
        code, line_times, _ = self.install(version)
        if code not in OK_CODES:
            with open(os.path.join(self.work, "run.out"), errors="replace") as f:
                sys.exit(f"kill_campaign: {what} failed with exit code {code}\n{f.read()}")
        return line_times

    def reference(self, kind):
        """The state of an uninterrupted run of the case, the times of its log lines and end, the
        starting snapshot and the version installed."""
        self.prefix.restore(self.clean)
        if kind == "fresh":
            start, version = self.clean, 1
        else:
            self.must_install(1, "the install of v1")
            start, version = os.path.join(self.work, "snap-v1"), 2
            self.prefix.snapshot(start)
        line_times = self.must_install(version, f"the uninterrupted {kind} run")
        self.prefix.stop()
        state = capture_state(self.prefix)
        # A second uninterrupted run from the same start must leave the same state; otherwise
        # something not normalised differs from run to run and the comparison means nothing.
        self.prefix.restore(start)
        self.must_install(version, f"the second uninterrupted {kind} run")
        self.prefix.stop()
        changed = differences(state, capture_state(self.prefix))
        if changed:
            sys.exit("kill_campaign: two uninterrupted runs differ:\n  " + "\n  ".join(changed))
        return state, line_times, start, version

    def run_kind(self, kind, points, selected):
        log(f"== {kind}: reference runs")
        state, line_times, start, version = self.reference(kind)
        log(f"   uninterrupted run: {line_times[-1]:.2f} s, {len(line_times) - 1} log lines; "
            f"{len(state)} items in the state")
        log(f"   {'point':>5}  {'kill':<18}  {'phase hit':<26}  result")
        rng = random.Random(f"{self.args.seed}-{kind}")
        kills = kill_points(rng, points, line_times)
        equal = 0
        phases = {}
        for point, kill in enumerate(kills, 1):
            if selected and point not in selected:
                continue
            self.prefix.restore(start)
            code, _, text = self.install(version, kill)
            temp = os.path.join(self.prefix.path, INSTALL_REL, "Temp")
            phase = phase_of(text, temp) if code == "killed" else f"ended first ({code})"
            code2, _, _ = self.install(version)
            self.prefix.stop()
            diff = differences(state, capture_state(self.prefix))
            if code2 not in OK_CODES:
                diff.insert(0, f"the second run's exit code {code2}")
            phases[phase] = phases.get(phase, 0) + 1
            if not diff:
                equal += 1
                result = "equal"
            else:
                result = f"{len(diff)} differences: " + "; ".join(diff[:6]) + (" ..." if len(diff) > 6 else "")
            where = f"{kill[1]:.3f} s after " + (f"line {kill[0]}" if kill[0] else "start")
            log(f"   {point:>5}  {where:<18}  {phase:<26}  {result}")
            if self.args.verbose:
                log(f"          last log line: {last_log_line(text).strip()[:160]}")
        count = len(selected) if selected else points
        log(f"== {kind}: {equal} of {count} equal; phases hit: " +
            ", ".join(f"{name} {n}" for name, n in sorted(phases.items())))
        return equal == count


def kill_points(rng, points, line_times):
    """(k, delay): kill delay seconds after the kth log line (0: the start). A third of the points
    draw the delay over the whole uninterrupted run; the others are anchored at a log line of it
    and draw the delay over the time to its next line, so that the short phases (extraction and
    placement take milliseconds, the service and registration seconds) are hit too. Each point
    draws within its own equal slice of the run or of the lines."""
    seconds = line_times[-1]
    lines = len(line_times) - 1
    timed = points // 3 if lines else points
    anchored = points - timed
    kills = [(0, seconds * (i + rng.random()) / timed) for i in range(timed)]
    for i in range(anchored):
        k = min(lines - 1, int(lines * (i + rng.random()) / anchored))
        kills.append((k + 1, (line_times[k + 1] - line_times[k]) * rng.random()))
    return kills


def parse_only(text):
    """{case: set of point numbers (empty: all)} from "fresh", "update:3,17", "fresh:5+update"."""
    cases = {}
    for part in text.split("+"):
        kind, _, numbers = part.partition(":")
        if kind not in ("fresh", "update"):
            raise argparse.ArgumentTypeError(f"unknown case '{kind}' (fresh or update)")
        cases[kind] = {int(n) for n in numbers.split(",") if n}
    return cases


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--seed", type=int, default=13)
    parser.add_argument("--points", type=int, default=50, help="kill points per case (default 50)")
    parser.add_argument("--only", type=parse_only, default={"fresh": set(), "update": set()},
                        help='cases and points to run: "fresh", "update", "update:3,17", "fresh:5+update"')
    parser.add_argument("--work", help="working folder (default: a new one in /tmp, removed at the end)")
    parser.add_argument("--keep", action="store_true", help="keep the working folder")
    parser.add_argument("--build", default=os.path.join(ROOT, "build", "windows"), help="the Windows build tree")
    parser.add_argument("--norvpack", help="a native norvpack (default: build/host's)")
    parser.add_argument("--verbose", action="store_true", help="print the last log line of each killed run")
    args = parser.parse_args()
    made_work = not args.work
    args.work = os.path.abspath(args.work or tempfile.mkdtemp(prefix="kill_campaign."))
    os.makedirs(args.work, exist_ok=True)
    campaign = Campaign(args)
    converged = True
    try:
        campaign.prepare()
        log(f"== seed {args.seed}, {args.points} points per case, work folder {args.work}")
        for kind in ("fresh", "update"):
            if kind in args.only:
                converged &= campaign.run_kind(kind, args.points, args.only[kind])
    finally:
        campaign.prefix.stop()
        if made_work and not args.keep:
            shutil.rmtree(args.work, ignore_errors=True)
    return 0 if converged else 1


if __name__ == "__main__":
    sys.exit(main())
