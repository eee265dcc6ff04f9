#!/usr/bin/env python3
"""The visual harness: runs Windows programs under Wine on a private Xvfb display, drives the
mouse and keyboard with xdotool, takes screenshots with ImageMagick's `import` and reads pixels.

Used as a module by the visual tests (tests/visual/) and scripts/screenshots.sh:

    with XSession(prefix) as x:                # own display number, removed again on exit
        p = x.wine(["skinview.exe", ...])      # a Windows program on that display
        win = x.wait_window(p)                 # its top-level X window (no window manager runs)
        x.click(10, 10); shot = x.screenshot() # Image: pixel(), crop(), diff(), save_png()

and as a command line, for a person:

    scripts/xwine.py run [--prefix DIR] [--shot FILE.png] [--wait S] -- PROGRAM.exe ARGS...

NORV_VISUAL_SHOTS=FOLDER keeps every screenshot a session takes there, numbered, to see what a
failing test saw. Only python3's standard library: screenshots are read as binary PPM
(`import ... ppm:-`). Conventions are scripts/wine-run.sh's: a 64-bit prefix (created and given its font settings by
wine-run.sh on first use), WINEDEBUG=-all, no Mono/Gecko prompt.
"""
import argparse
import os
import shutil
import subprocess
import sys
import time

SCRIPTS = os.path.dirname(os.path.abspath(__file__))
ROOT_COLOUR = (255, 0, 255)  # the root window's colour: what shows through transparent parts


class HarnessError(Exception):
    pass


class Image:
    """An RGB picture, rows top first, 3 bytes a pixel."""

    def __init__(self, width, height, data):
        self.width, self.height, self.data = width, height, data

    @staticmethod
    def from_ppm(blob):
        # binary PPM: "P6" width height maxval, separated by whitespace, then the pixels
        fields, pos = [], 0
        while len(fields) < 4:
            while blob[pos:pos + 1].isspace():
                pos += 1
            if blob[pos:pos + 1] == b"#":
                pos = blob.index(b"\n", pos)
                continue
            end = pos
            while not blob[end:end + 1].isspace():
                end += 1
            fields.append(blob[pos:end])
            pos = end
        if fields[0] != b"P6" or fields[3] != b"255":
            raise HarnessError("not an 8-bit binary PPM")
        width, height = int(fields[1]), int(fields[2])
        data = blob[pos + 1:pos + 1 + width * height * 3]
        if len(data) != width * height * 3:
            raise HarnessError("short PPM")
        return Image(width, height, data)

    @staticmethod
    def load(path):
        """Any picture ImageMagick reads (PNG, BMP, ...)."""
        return Image.from_ppm(subprocess.run([_convert(), path, "-depth", "8", "ppm:-"], check=True,
                                             stdout=subprocess.PIPE).stdout)

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.data[i:i + 3])

    def crop(self, x, y, w, h):
        x0, y0 = max(0, x), max(0, y)
        x1, y1 = min(self.width, x + w), min(self.height, y + h)
        rows = [self.data[(r * self.width + x0) * 3:(r * self.width + x1) * 3] for r in range(y0, y1)]
        return Image(max(0, x1 - x0), max(0, y1 - y0), b"".join(rows))

    def count(self, predicate):
        """Pixels for which predicate((r, g, b)) holds."""
        d = self.data
        return sum(1 for i in range(0, len(d), 3) if predicate((d[i], d[i + 1], d[i + 2])))

    def colours(self):
        """{colour: number of pixels}."""
        out = {}
        d = self.data
        for i in range(0, len(d), 3):
            c = (d[i], d[i + 1], d[i + 2])
            out[c] = out.get(c, 0) + 1
        return out

    def diff(self, other, tolerance=0):
        """Number of pixels whose channels differ by more than tolerance (sizes must match)."""
        if (self.width, self.height) != (other.width, other.height):
            raise HarnessError("diff of pictures of different sizes")
        a, b = self.data, other.data
        if tolerance == 0 and a == b:
            return 0
        n = 0
        for i in range(0, len(a), 3):
            if (abs(a[i] - b[i]) > tolerance or abs(a[i + 1] - b[i + 1]) > tolerance
                    or abs(a[i + 2] - b[i + 2]) > tolerance):
                n += 1
        return n

    def to_ppm(self):
        return b"P6\n%d %d\n255\n" % (self.width, self.height) + bytes(self.data)

    def save_png(self, path, transparent=None):
        """Writes a PNG; transparent=(r, g, b) makes that exact colour fully transparent."""
        args = [_convert(), "ppm:-"]
        if transparent is not None:
            args += ["-alpha", "set", "-fuzz", "0", "-transparent", "rgb(%d,%d,%d)" % transparent]
        # no time stamps or other ancillary chunks, so the same picture gives the same bytes
        args += ["-strip", "-define", "png:exclude-chunks=date,time", "png:" + path]
        subprocess.run(args, input=self.to_ppm(), check=True)


def _convert():
    # Debian's ImageMagick first: a wrapper earlier on PATH may change what it writes.
    return "/usr/bin/convert" if os.path.exists("/usr/bin/convert") else "convert"


def _need(program, package):
    if not shutil.which(program):
        raise HarnessError("%s is missing (Debian package %s; scripts/install-deps.sh installs it)" % (program, package))


def default_prefix():
    """WINEPREFIX, else the Windows build tree's prefix (BUILD_ROOT or build/ under the repo)."""
    if os.environ.get("WINEPREFIX"):
        return os.environ["WINEPREFIX"]
    build = os.environ.get("BUILD_ROOT", os.path.join(os.path.dirname(SCRIPTS), "build"))
    return os.path.join(build, "windows", "wineprefix")


class XSession:
    """A private Xvfb display (the server picks a free display number) with a solid root colour,
    and the Windows programs started on it. Leaving the `with` block ends the programs it started,
    waits for the prefix's wineserver to go (so that the next session's programs find no desktop
    process bound to a display that is gone), and stops the X server."""

    def __init__(self, prefix=None, size=(1024, 768), root=ROOT_COLOUR):
        self.prefix = os.path.abspath(prefix or default_prefix())
        self.size = size
        self.root = root
        self.xvfb = None
        self.display = None
        self.programs = []
        self.env = None

    # -- lifetime --------------------------------------------------------------------------
    def __enter__(self):
        self.start()
        return self

    def __exit__(self, *exc):
        self.stop()

    def start(self):
        for program, package in (("Xvfb", "xvfb"), ("xdotool", "xdotool"), ("import", "imagemagick"),
                                 ("xsetroot", "x11-xserver-utils"), ("wine", "wine")):
            _need(program, package)
        self._prepare_prefix()
        # A wineserver left by programs that ran without this display would hand our programs
        # its desktop process, bound to no display or another one: let it end first.
        self._wineserver_wait(60)
        read_fd, write_fd = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "%dx%dx24" % self.size, "-nolisten", "tcp",
             "-noreset"], pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_fd)
        number = b""
        with os.fdopen(read_fd, "rb") as f:
            number = f.readline().strip()
        if not number:
            self.stop()
            raise HarnessError("Xvfb did not start")
        self.display = ":" + number.decode()
        self.env = dict(os.environ)
        self.env.update(DISPLAY=self.display, WINEPREFIX=self.prefix, WINEARCH="win64",
                        WINEDEBUG=os.environ.get("WINEDEBUG", "-all"),
                        WINEDLLOVERRIDES=os.environ.get("WINEDLLOVERRIDES", "mscoree,mshtml=;winemenubuilder.exe=d"))
        self.env.pop("XAUTHORITY", None)
        if "UTF-8" not in (self.env.get("LC_ALL") or self.env.get("LANG") or "").upper().replace("UTF8", "UTF-8"):
            # Wine turns the command line into UTF-16 by the Unix locale's character set
            self.env["LC_ALL"] = "C.UTF-8"
        self._x(["xsetroot", "-solid", "#%02x%02x%02x" % self.root])

    def stop(self):
        for p in self.programs:
            if p.poll() is None:
                p.terminate()
                try:
                    p.wait(10)
                except subprocess.TimeoutExpired:
                    p.kill()
                    p.wait()
        self.programs = []
        if self.env:
            self._wineserver_wait(30)
        if self.xvfb and self.xvfb.poll() is None:
            self.xvfb.terminate()
            try:
                self.xvfb.wait(10)
            except subprocess.TimeoutExpired:
                self.xvfb.kill()
                self.xvfb.wait()
        self.xvfb = None

    def _prepare_prefix(self):
        # wine-run.sh creates the prefix and applies wine-fonts.sh under its lock; an empty
        # "cmd /c exit" is a cheap program to run through it.
        env = dict(os.environ, WINEPREFIX=self.prefix)
        env.pop("DISPLAY", None)
        subprocess.run([os.path.join(SCRIPTS, "wine-run.sh"), "cmd", "/c", "exit"], env=env, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def _wineserver_wait(self, seconds):
        env = dict(os.environ, WINEPREFIX=self.prefix)
        try:
            subprocess.run(["wineserver", "-w"], env=env, timeout=seconds, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)
        except subprocess.TimeoutExpired:
            pass

    # -- programs --------------------------------------------------------------------------
    def wine(self, args, cwd=None, stdout=subprocess.DEVNULL):
        """Starts a Windows program (a host path to the .exe and its arguments) on the display."""
        p = subprocess.Popen(["wine"] + list(args), cwd=cwd, env=self.env, stdin=subprocess.DEVNULL,
                             stdout=stdout, stderr=subprocess.DEVNULL)
        self.programs.append(p)
        return p

    def _x(self, args, check=True):
        r = subprocess.run(args, env=self.env, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=30)
        if check and r.returncode != 0:
            raise HarnessError("%s failed: %s" % (" ".join(args), r.stderr.decode(errors="replace").strip()))
        return r.stdout.decode(errors="replace")

    def windows(self, program=None):
        """Visible top-level windows on the display (Wine maps one X window per Windows window),
        of one program when given (Wine marks its windows with the process id)."""
        which = ["--pid", str(program.pid)] if program is not None else ["--class", "."]
        out = self._x(["xdotool", "search", "--onlyvisible", "--maxdepth", "1"] + which, check=False)
        return [int(w) for w in out.split()]

    def wait_window(self, program=None, timeout=60, min_size=(2, 2)):
        """The first visible window at least min_size large (of the program, when given); fails
        when the program ends first."""
        deadline = time.time() + timeout
        while time.time() < deadline:
            for w in self.windows(program):
                g = self.geometry(w)
                if g and g[2] >= min_size[0] and g[3] >= min_size[1]:
                    return w
            if program is not None and program.poll() is not None:
                raise HarnessError("the program ended (exit code %d) before it showed a window" % program.returncode)
            time.sleep(0.2)
        raise HarnessError("no window appeared within %d s" % timeout)

    def geometry(self, window):
        """(x, y, width, height) of a window on the screen, or None when it is gone."""
        out = self._x(["xdotool", "getwindowgeometry", "--shell", str(window)], check=False)
        values = dict(line.split("=", 1) for line in out.splitlines() if "=" in line)
        try:
            return tuple(int(values[k]) for k in ("X", "Y", "WIDTH", "HEIGHT"))
        except KeyError:
            return None

    def wait_gone(self, program, timeout=15):
        try:
            program.wait(timeout)
            return True
        except subprocess.TimeoutExpired:
            return False

    # -- input -----------------------------------------------------------------------------
    def pointer(self):
        out = self._x(["xdotool", "getmouselocation", "--shell"])
        values = dict(line.split("=", 1) for line in out.splitlines() if "=" in line)
        return int(values.get("X", -1)), int(values.get("Y", -1))

    def move(self, x, y):
        # not "mousemove --sync": it waits for a motion, and there is none when the pointer is there
        self._x(["xdotool", "mousemove", str(x), str(y)])
        wait_until(lambda: self.pointer() == (x, y), 2, 0.02)

    def down(self, button=1):
        self._x(["xdotool", "mousedown", str(button)])

    def up(self, button=1):
        self._x(["xdotool", "mouseup", str(button)])

    def click(self, x, y, button=1):
        self.move(x, y)
        time.sleep(0.15)
        self.down(button)
        time.sleep(0.1)
        self.up(button)

    def key(self, name, window=None):
        if window is not None:
            self._x(["xdotool", "windowfocus", "--sync", str(window)], check=False)
        self._x(["xdotool", "key", name])

    # -- pictures --------------------------------------------------------------------------
    def screenshot(self, path=None):
        """The whole screen as an Image (also written to path as PNG when given)."""
        blob = subprocess.run(["import", "-silent", "-window", "root", "-depth", "8", "ppm:-"], env=self.env,
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, check=True, timeout=30).stdout
        image = Image.from_ppm(blob)
        if path:
            image.save_png(path)
        keep = os.environ.get("NORV_VISUAL_SHOTS")
        if keep:  # a folder that keeps every screenshot, numbered, to see what a test saw
            os.makedirs(keep, exist_ok=True)
            self.shots_taken = getattr(self, "shots_taken", 0) + 1
            image.save_png(os.path.join(keep, "%s-%04d.png" % (self.display.lstrip(":"), self.shots_taken)))
        return image

    def window_shot(self, window):
        g = self.geometry(window)
        if g is None:
            raise HarnessError("window %d is gone" % window)
        return self.screenshot().crop(*g)

    def settle(self, window=None, timeout=10, quiet=0.6):
        """Waits until two screenshots quiet seconds apart are equal (drawing has finished)."""
        deadline = time.time() + timeout
        last = self.window_shot(window) if window else self.screenshot()
        while time.time() < deadline:
            time.sleep(quiet)
            now = self.window_shot(window) if window else self.screenshot()
            if (now.width, now.height) == (last.width, last.height) and now.data == last.data:
                return now
            last = now
        return last


def winpath(path):
    """The Windows path of a host path in the prefix's Z: drive."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def wait_until(condition, timeout=10, step=0.1):
    """Polls condition() until it returns something true; returns it, or None after timeout."""
    deadline = time.time() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.time() >= deadline:
            return None
        time.sleep(step)


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    sub = parser.add_subparsers(dest="command", required=True)
    run = sub.add_parser("run", help="run a Windows program on a private display and screenshot it")
    run.add_argument("--prefix", help="Wine prefix (default: WINEPREFIX or build/windows/wineprefix)")
    run.add_argument("--shot", help="write a screenshot of the program's window to this PNG")
    run.add_argument("--screen", help="write a screenshot of the whole screen to this PNG")
    run.add_argument("--wait", type=float, default=0, help="seconds to leave it running after the shot")
    run.add_argument("program", nargs=argparse.REMAINDER)
    args = parser.parse_args(argv)
    program = [a for a in args.program if a != "--"]
    if not program:
        parser.error("no program given")
    with XSession(args.prefix) as x:
        p = x.wine(program)
        w = x.wait_window(p)
        shot = x.settle(w)
        print("window %d at %s on display %s" % (w, x.geometry(w), x.display))
        if args.shot:
            shot.save_png(args.shot, transparent=x.root)
        if args.screen:
            x.screenshot(args.screen)
        time.sleep(args.wait)
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main(sys.argv[1:]))
    except HarnessError as e:
        print("xwine: %s" % e, file=sys.stderr)
        sys.exit(1)
