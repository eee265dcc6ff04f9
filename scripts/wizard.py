#!/usr/bin/env python3
"""Drives the real Setup.exe under Wine on a private Xvfb display: the wizard's end-to-end tests
and the demo share it.

    suite = stage_suite(work, build, port)          # the example suite with built stand-ins
    setup = build_setup(build, suite, work + "/Setup.exe")
    with xwine.XSession(prefix) as x:
        w = Wizard(x, setup, skin_dir)
        w.start()
        w.wait_page("WelcomeDlg")                     # by the page background's pixels
        w.shot("welcome.png"); w.click(2004)          # an item by its Draw.dat rectangle
        ...
        w.wait_exit()

A page is recognised by comparing its window's pixels with its background picture in the skin:
nothing else on the screen has those pixels, so "the page appeared" is checked by what a person
would see.
"""
import configparser
import os
import shutil
import struct
import subprocess
import sys
import time

SCRIPTS = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(SCRIPTS)
sys.path.insert(0, SCRIPTS)
import xwine  # noqa: E402

PAGES = ("WelcomeDlg", "LicenseDlg", "FolderDlg", "DownDlg", "CopyDlg", "FinishDlg")

# The installed programs' view of the registry: the suite's keys live in the 32-bit view.
SUITE_KEY = r"HKLM\Software\Wow6432Node\NorvClient"


def read_bmp(path):
    """(width, height, rows top first of (r, g, b)) of an uncompressed 24- or 32-bit BMP."""
    with open(path, "rb") as f:
        data = f.read()
    offset, = struct.unpack_from("<I", data, 10)
    width, height, _, bits = struct.unpack_from("<iiHH", data, 18)
    step = bits // 8
    stride = (width * step + 3) & ~3
    rows = []
    for y in range(abs(height)):
        src = y if height < 0 else abs(height) - 1 - y
        base = offset + src * stride
        rows.append([(data[base + x * step + 2], data[base + x * step + 1], data[base + x * step])
                     for x in range(width)])
    return width, abs(height), rows


class Skin:
    """The wizard's skin folder: page backgrounds and item rectangles from Draw.dat."""

    def __init__(self, folder, lang="0409"):
        self.folder = folder
        self.lang = lang
        self.ini = configparser.ConfigParser(strict=False, interpolation=None, comment_prefixes=(";",))
        with open(os.path.join(folder, "Draw.dat"), encoding="utf-8-sig") as f:
            self.ini.read_string(f.read())
        self._backgrounds = {}

    def section(self, name):
        for _ in range(8):  # the engine bounds redirect chains too
            if not self.ini.has_section(name):
                return None
            redirect = self.ini.get(name, "Lang" + self.lang, fallback="") or self.ini.get(name, "ChangeLabel",
                                                                                             fallback="")
            if not redirect or redirect == name:
                return self.ini[name]
            name = redirect
        return self.ini[name]

    def item_point(self, item):
        """A point inside the item, in client coordinates."""
        s = self.section("PIC%04d" % item)
        left, top = int(s.get("left", 0)), int(s.get("top", 0))
        right, bottom = int(s.get("right", 0)), int(s.get("bottom", 0))
        if right <= left or bottom <= top:  # sized by its text: a point just inside its corner
            return left + 8, top + 6
        return (left + right) // 2, (top + bottom) // 2

    def background(self, page):
        if page not in self._backgrounds:
            self._backgrounds[page] = read_bmp(os.path.join(self.folder, self.ini.get(page, "background")))
        return self._backgrounds[page]

    def matches(self, page, image, tolerance=12):
        """The share of sample points of the page's background that image shows unchanged."""
        width, height, rows = self.background(page)
        if (image.width, image.height) != (width, height):
            return 0.0
        hits = total = 0
        for y in range(8, height - 8, max(1, height // 24)):
            for x in range(8, width - 8, max(1, width // 24)):
                total += 1
                want = rows[y][x]
                got = image.pixel(x, y)
                hits += all(abs(want[i] - got[i]) <= tolerance for i in range(3))
        return hits / total if total else 0.0


class Wizard:
    """One run of a setup file, page by page."""

    def __init__(self, x, setup_path, skin_folder, cwd=None):
        self.x = x
        self.setup_path = setup_path
        self.skin = Skin(skin_folder)
        self.cwd = cwd or os.path.dirname(setup_path)
        self.process = None
        self.window = None
        self.origin = (0, 0)

    def start(self):
        self.process = self.x.wine([xwine.winpath(self.setup_path)], cwd=self.cwd)
        return self

    def wait_page(self, page, timeout=90, share=0.6):
        """Waits until the page shows (its background's pixels in a window of its size)."""
        deadline = time.time() + timeout
        while time.time() < deadline:
            screen = self.x.screenshot()
            for w in self.x.windows():
                g = self.x.geometry(w)
                if not g or g[2] < 50:
                    continue
                shot = screen.crop(*g)
                # The pages share much of their look: the page must also be the best match.
                scores = {name: self.skin.matches(name, shot) for name in PAGES}
                if scores[page] >= share and max(scores, key=scores.get) == page:
                    self.window, self.origin = w, (g[0], g[1])
                    return w
            if self.process.poll() is not None:
                raise xwine.HarnessError("Setup.exe ended (code %d) before %s showed" % (self.process.returncode,
                                                                                         page))
            time.sleep(0.3)
        raise xwine.HarnessError("%s did not show within %d s" % (page, timeout))

    def wait_window_titled(self, title, timeout=60):
        """A top-level window by its title (message boxes), or None."""
        def find():
            out = self.x._x(["xdotool", "search", "--onlyvisible", "--name", "^%s$" % title], check=False)
            return [int(w) for w in out.split()]
        found = xwine.wait_until(find, timeout=timeout, step=0.3)
        return found[0] if found else None

    def click(self, item):
        self.click_at(*self.skin.item_point(item))
        time.sleep(0.4)  # one click per 300 ms is all an item reports

    def click_at(self, x, y):
        # The pointer comes from outside, so that the page sees it arrive even when the last
        # click was at the same place (a new page under a resting pointer gets no move).
        self.x.move(self.origin[0] + x - 20, self.origin[1] + y - 20)
        time.sleep(0.1)
        self.x.click(self.origin[0] + x, self.origin[1] + y)

    def type_text(self, text):
        self.x._x(["xdotool", "type", "--delay", "20", text])

    def key(self, name, window=None):
        self.x.key(name, window)

    def shot(self, path=None):
        image = self.x.settle(self.window)
        if path:
            image.save_png(path, transparent=self.x.root)
        return image

    def wait_exit(self, timeout=120):
        if not self.x.wait_gone(self.process, timeout):
            shot = os.path.join(os.environ.get("TMPDIR", "/tmp"), "setup-still-running.png")
            self.x.screenshot(shot)
            raise xwine.HarnessError("Setup.exe still runs after %d s (screen: %s)" % (timeout, shot))
        return self.process.returncode


# -- the suite, built ------------------------------------------------------------------------

def stage_suite(work, build, port, name="suite"):
    """A copy of an example suite whose main program and core DLL are the built stand-ins, and
    whose download and report addresses point at 127.0.0.1:port."""
    suite = os.path.join(work, name)
    shutil.rmtree(suite, ignore_errors=True)
    shutil.copytree(os.path.join(ROOT, "examples", name), suite)
    standins = os.path.join(build, "windows", "tests")
    shutil.copy(os.path.join(standins, "NorvFrame.exe"), os.path.join(suite, "files", "Main", "bin", "NorvFrame.exe"))
    shutil.copy(os.path.join(standins, "NorvCom.dll"), os.path.join(suite, "files", "Main", "bin", "NorvCore.dll"))
    for path in (os.path.join(suite, "suite.ini"), os.path.join(suite, "skin", "install", "Setup.ini")):
        with open(path, encoding="utf-8") as f:
            text = f.read()
        with open(path, "w", encoding="utf-8") as f:
            f.write(text.replace("127.0.0.1:8080", "127.0.0.1:%d" % port))
    return suite


def build_setup(build, suite, output, download_only=False, package_out=None):
    """A setup file from the suite, stamped on the built Setup.exe by the Linux norvpack."""
    command = [os.path.join(build, "host", "tools", "norvpack", "norvpack"), "build", suite, "-o", output, "--stub",
               os.path.join(build, "windows", "tools", "norvpack", "Setup.exe")]
    if download_only:
        command.append("--download-only")
    if package_out:
        command += ["--package-out", package_out]
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL)
    return output


def reg(x, *args):
    """`reg ...` in the session's prefix, on its display (a Wine process started without the
    display would leave the prefix's desktop unable to show windows); its output."""
    r = subprocess.run([os.path.join(SCRIPTS, "wine-run.sh"), "reg"] + list(args), env=x.env, stdout=subprocess.PIPE,
                       stderr=subprocess.DEVNULL)
    return r.stdout.decode("utf-8", errors="replace")


def end_programs(x):
    """Ends every Windows program of the session's prefix (setups and what they started)."""
    subprocess.run(["wineserver", "-k"], env=x.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    subprocess.run(["wineserver", "-w"], env=x.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                   timeout=60)


def forget_install(x):
    """Removes what an install leaves in the prefix, so that the next setup is not refused."""
    reg(x, "delete", SUITE_KEY, "/f")
    drive_c = os.path.join(x.prefix, "drive_c")
    for folder in ("Program Files (x86)/KestrelClient", "Program Files/KestrelClient"):
        shutil.rmtree(os.path.join(drive_c, folder), ignore_errors=True)


def default_folder(prefix):
    return os.path.join(prefix, "drive_c", "Program Files (x86)", "KestrelClient")
