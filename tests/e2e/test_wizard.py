#!/usr/bin/env python3
"""The real Setup.exe under Wine on a private Xvfb display, clicked through like a person would:
a full install, a custom folder, the already-installed refusal, a download, and a damaged
package. Pages are recognised by their pixels; results are read from the prefix's disk and
registry.

    test_wizard.py BUILD_ROOT       (ctest: e2e_wizard; WINEPREFIX names the prefix)
"""
import http.server
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "scripts"))
import wizard  # noqa: E402
import xwine  # noqa: E402

BUILD = None
PREFIX = None
SKIN = os.path.join(HERE, "..", "..", "examples", "suite", "skin", "wizard")
# DLLs that the program or the system DLLs it uses load by name: at start-up through the imports
# of system DLLs (version, uxtheme under Wine), or once it runs.
PLANTED_DLLS = ("version", "uxtheme", "userenv", "netapi32", "dwmapi", "cryptbase", "riched20", "riched32",
                "msftedit", "iphlpapi", "winmm", "wininet",
                # What the program itself loads after start-up.
                "advapi32", "comctl32", "comdlg32", "gdi32", "ole32", "oleaut32", "shell32", "shlwapi",
                "user32", "ws2_32")


class Recorder(http.server.BaseHTTPRequestHandler):
    """Serves files of one folder and records every request (path and Range). With cut_once, the
    first answer of a file ends half-way through its body; a Range request gets the rest."""
    folder = None
    requests = []
    ranges = []
    cut_once = False

    def do_GET(self):
        Recorder.requests.append(self.path)
        Recorder.ranges.append(self.headers.get("Range"))
        path = os.path.join(Recorder.folder or "", self.path.split("?")[0].lstrip("/"))
        if Recorder.folder and os.path.isfile(path):
            with open(path, "rb") as f:
                body = f.read()
            first = int(self.headers["Range"].split("=")[1].split("-")[0]) if self.headers.get("Range") else 0
            if first:
                self.send_response(206)
                self.send_header("Content-Range", "bytes %d-%d/%d" % (first, len(body) - 1, len(body)))
                body = body[first:]
            else:
                self.send_response(200)
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            if Recorder.cut_once and not first:
                Recorder.cut_once = False
                self.wfile.write(body[:len(body) // 2])
                self.close_connection = True
                return
            self.wfile.write(body)
            return
        else:
            body = b"ok"
            self.send_response(200 if "report" in self.path else 404)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


def desktop_links():
    """The links on the all-users desktop, where the install puts them."""
    desktop = os.path.join(PREFIX, "drive_c", "users", "Public", "Desktop")
    return [n for n in os.listdir(desktop) if n.endswith(".lnk")] if os.path.isdir(desktop) else []


def record_of(package, name):
    """(offset, length) of a record of a package container, from `norvpack container list`."""
    listing = subprocess.run([os.path.join(BUILD, "host", "tools", "norvpack", "norvpack"), "container", "list",
                              package], stdout=subprocess.PIPE, check=True).stdout.decode()
    return next((int(f[0]), int(f[1])) for f in (line.split(None, 2) for line in listing.splitlines())
                if len(f) == 3 and f[2] == name)


def tree(folder):
    """Relative path -> bytes of every file below folder, the run's Temp left out."""
    files = {}
    for base, _, names in os.walk(folder):
        for name in names:
            relative = os.path.relpath(os.path.join(base, name), folder)
            if not relative.startswith("Temp"):
                with open(os.path.join(base, name), "rb") as f:
                    files[relative] = f.read()
    return files


class WizardTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Recorder)
        threading.Thread(target=cls.server.serve_forever, daemon=True).start()
        cls.port = cls.server.server_address[1]
        cls.work = tempfile.mkdtemp(prefix="wizard-e2e-")
        cls.suite = wizard.stage_suite(cls.work, BUILD, cls.port)
        cls.x = xwine.XSession(PREFIX)
        cls.x.start()

    @classmethod
    def tearDownClass(cls):
        wizard.forget_install(cls.x)
        cls.x.stop()
        cls.server.shutdown()
        shutil.rmtree(cls.work, ignore_errors=True)

    def setUp(self):
        wizard.forget_install(self.x)
        for name in desktop_links():
            os.remove(os.path.join(PREFIX, "drive_c", "users", "Public", "Desktop", name))
        Recorder.requests = []
        Recorder.ranges = []
        Recorder.folder = None
        Recorder.cut_once = False

    def tearDown(self):
        wizard.end_programs(self.x)

    def install_now(self, setup, **kwargs):
        """Starts the wizard and clicks "Install now" on its welcome page."""
        w = wizard.Wizard(self.x, setup, SKIN, **kwargs).start()
        w.wait_page("WelcomeDlg")
        w.click(2004)
        return w

    def finish(self, w, button, **kwargs):
        """Leaves the finish page by that button: the wizard exits with 0."""
        w.wait_page("FinishDlg", **kwargs)
        w.click(button)
        self.assertEqual(w.wait_exit(), 0)

    def install_is_refused(self, setup, title, page):
        """Install now: a message box of that title in front of the page that owns it, a clean
        exit, and nothing installed."""
        w = self.install_now(setup)
        box = w.wait_window_titled(title, timeout=90)
        self.assertIsNotNone(box, "no message titled " + title)
        w.wait_page(page, timeout=10, share=0.4)
        self.x.key("Return", box)
        self.assertEqual(w.wait_exit(), 0)
        self.assertFalse(os.path.exists(os.path.join(wizard.default_folder(PREFIX), "NorvFrame.exe")))

    def setup_file(self, name, **kwargs):
        return wizard.build_setup(BUILD, self.suite, os.path.join(self.work, name), **kwargs)

    def test_full_install_clicks_through_every_page(self):
        w = self.install_now(self.setup_file("Setup.exe"))
        w.wait_page("CopyDlg", share=0.4)
        self.finish(w, 2007)
        folder = wizard.default_folder(PREFIX)
        for name in ("NorvFrame.exe", os.path.join("doc", "readme.txt"), os.path.join("Update", "NorvUpdate.exe"),
                     os.path.join("Install", "Setup.ini"), os.path.join("Install", "Product", "NorvClient.out")):
            self.assertTrue(os.path.isfile(os.path.join(folder, name)), name)
        self.assertIn("KestrelClient", wizard.reg(self.x, "query", wizard.SUITE_KEY, "/v", "InstallPath"))
        self.assertIn("NorvFrame.exe", wizard.reg(self.x, "query", wizard.SUITE_KEY + r"\Setup", "/v", "MainProgram"))
        self.assertEqual(len(desktop_links()), 1)
        run = wizard.reg(self.x, "query", r"HKCU\Software\Microsoft\Windows\CurrentVersion\Run", "/v", "NorvFrame")
        self.assertIn("/delay", run)
        # The finish page started the FinishRun program and sent the report.
        self.assertTrue(xwine.wait_until(lambda: "NorvFrame.exe.Pid" in wizard.reg(
            self.x, "query", r"HKCU\Software\NorvStandIns"), timeout=20))
        self.assertTrue(any(r.startswith("/report") for r in Recorder.requests), Recorder.requests)
        # The console installer puts the same tree in place.
        compare = os.path.join(PREFIX, "drive_c", "norv_compare")
        shutil.rmtree(compare, ignore_errors=True)
        norvinstall = os.path.join(BUILD, "windows", "tools", "norvinstall", "norvinstall.exe")
        done = subprocess.run([os.path.join(HERE, "..", "..", "scripts", "wine-run.sh"), norvinstall, "install",
                               xwine.winpath(w.setup_path), "--folder", "C:\\norv_compare", "--quiet"],
                              env=self.x.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            self.assertEqual(done.returncode, 0)
            self.assertEqual(tree(compare), tree(folder))
        finally:
            shutil.rmtree(compare, ignore_errors=True)

    def test_already_installed_refusal_reports_and_shows_no_page(self):
        folder = wizard.default_folder(PREFIX)
        os.makedirs(os.path.join(folder, "ProgData"), exist_ok=True)
        open(os.path.join(folder, "norvFrame.exe"), "wb").close()
        with open(os.path.join(folder, "ProgData", "norvInfo.dat"), "w") as f:
            f.write("[Url]\nurl25=http://127.0.0.1:%d/already?mid=%%s\n" % self.port)
        wizard.reg(self.x, "add", wizard.SUITE_KEY, "/v", "InstallPath", "/t", "REG_SZ", "/d",
                   "C:\\Program Files (x86)\\KestrelClient\\", "/f")
        w = wizard.Wizard(self.x, self.setup_file("Setup.exe"), SKIN).start()
        box = w.wait_window_titled("安装提示")
        self.assertIsNotNone(box, "no refusal message")
        self.x.key("Return", box)
        self.assertEqual(w.wait_exit(), 0)
        self.assertTrue(any(r.startswith("/already?mid=") and len(r) > len("/already?mid=") for r in Recorder.requests),
                        Recorder.requests)

    def test_custom_folder_without_desktop_link(self):
        target = "C:\\Norv Custom\\"
        w = wizard.Wizard(self.x, self.setup_file("Setup.exe"), SKIN).start()
        w.wait_page("WelcomeDlg")
        w.click(2002)
        w.wait_page("FolderDlg")
        w.click_at(60, 110)  # into the folder box
        w.key("ctrl+a")
        w.type_text(target)
        w.click(2012)  # desktop link off
        w.click(2010)
        self.finish(w, 2006)
        folder = os.path.join(PREFIX, "drive_c", "Norv Custom")
        try:
            self.assertTrue(os.path.isfile(os.path.join(folder, "NorvFrame.exe")))
            self.assertEqual(desktop_links(), [])
        finally:
            shutil.rmtree(folder, ignore_errors=True)

    def test_download_type_setup_fetches_and_installs_the_package(self):
        served = os.path.join(self.work, "served")
        os.makedirs(served, exist_ok=True)
        setup = self.setup_file("Setup-download.exe", download_only=True,
                                package_out=os.path.join(served, "NorvClient.pkg"))
        Recorder.folder = served
        Recorder.cut_once = True  # the first answer breaks off: the next attempt resumes
        self.finish(self.install_now(setup), 2006)
        self.assertIn("/NorvClient.pkg", Recorder.requests)
        self.assertEqual(len(Recorder.ranges), 2, Recorder.requests)
        self.assertIsNone(Recorder.ranges[0])
        self.assertTrue((Recorder.ranges[1] or "").startswith("bytes="), Recorder.ranges)
        self.assertTrue(os.path.isfile(os.path.join(wizard.default_folder(PREFIX), "NorvFrame.exe")))

    def test_cancel_during_the_copy_stops_the_engine_and_a_second_run_completes(self):
        # A suite with thousands of files, so that the copy page is on screen long enough.
        suite = os.path.join(self.work, "suite-bulk")
        shutil.rmtree(suite, ignore_errors=True)
        shutil.copytree(self.suite, suite)
        product = os.path.join(suite, "products", "NorvClient.out")
        with open(product, encoding="utf-8") as f:
            text = f.read().replace("All=Main,Updater,PluginA", "All=Main,Updater,PluginA,Bulk")
        with open(product, "w", encoding="utf-8") as f:
            f.write(text + "\n[Bulk]\nType=0\nTitle0409=Bulk\n")
        os.makedirs(os.path.join(suite, "files", "Bulk"))
        lines = []
        for i in range(2500):
            with open(os.path.join(suite, "files", "Bulk", "f%04d.bin" % i), "wb") as f:
                f.write(os.urandom(16384))
            lines.append("f%04d.bin=,,1,0,0,1,0,0,0,0,,,auto,,auto,0" % i)
        with open(os.path.join(suite, "composes", "Bulk.out"), "w", encoding="utf-8") as f:
            f.write("[Version]\nCurVersion=1\nPath=Bulk\nSize=auto\nFileSize=auto\n\n[HaveSection]\nBulk=Files\n\n"
                    "[Files]\n" + "\n".join(lines) + "\n\n[Info]\nTitle0409=Bulk\n")
        setup = wizard.build_setup(BUILD, suite, os.path.join(self.work, "Setup-bulk.exe"))

        w = self.install_now(setup)
        w.wait_page("CopyDlg", share=0.4)
        w.click(2013)
        question = w.wait_window_titled("提示信息")
        self.assertIsNotNone(question, "no confirmation")
        self.x.key("Return", question)  # yes
        told = xwine.wait_until(lambda: [b for b in [w.wait_window_titled("提示信息", timeout=1)] if b and b != question],
                                timeout=120)
        self.assertTrue(told, "no cancelled message")
        self.x.key("Return", told[0])
        self.assertEqual(w.wait_exit(), 0)
        folder = wizard.default_folder(PREFIX)
        placed = len(os.listdir(os.path.join(folder, "Bulk"))) if os.path.isdir(os.path.join(folder, "Bulk")) else 0
        self.assertLess(placed, 2500)

        self.finish(self.install_now(setup), 2006, timeout=300)
        self.assertEqual(len(os.listdir(os.path.join(folder, "Bulk"))), 2500)

    def test_planted_dlls_and_programs_beside_the_setup_file_are_never_loaded(self):
        # Beside the setup file, and in the folder it is started from.
        downloads = os.path.join(self.work, "downloads")
        working = os.path.join(self.work, "working")
        marks = os.path.join(self.work, "marks")
        for folder in (downloads, working, marks):
            os.makedirs(folder, exist_ok=True)
        setup = self.setup_file("Setup.exe")
        shutil.copy(setup, os.path.join(downloads, "Setup.exe"))
        tests = os.path.join(BUILD, "windows", "tests")
        for folder in (downloads, working):
            for name in PLANTED_DLLS:
                shutil.copy(os.path.join(tests, "planted_dll.dll"), os.path.join(folder, name + ".dll"))
            for name in ("regsvr32.exe", "rundll32.exe"):
                shutil.copy(os.path.join(tests, "planted_program.exe"), os.path.join(folder, name))
        saved = dict(self.x.env)
        # Wine prefers its own copies of system DLLs; "native first" makes it look where Windows
        # looks, so a planted copy would be found if the program let the search reach it.
        self.x.env.update(NORV_PLANTED_MARKS=xwine.winpath(marks),
                          WINEDLLOVERRIDES="mscoree,mshtml=;%s=n,b" % ",".join(PLANTED_DLLS))
        try:
            self.finish(self.install_now(os.path.join(downloads, "Setup.exe"), cwd=working), 2007)
        finally:
            self.x.env.clear()
            self.x.env.update(saved)
        self.assertTrue(os.path.isfile(os.path.join(wizard.default_folder(PREFIX), "NorvFrame.exe")))
        self.assertEqual(os.listdir(marks), [])

    def test_download_of_a_forged_package_is_refused(self):
        served = os.path.join(self.work, "forged")
        os.makedirs(served, exist_ok=True)
        package = os.path.join(served, "NorvClient.pkg")
        setup = self.setup_file("Setup-forged.exe", download_only=True, package_out=package)
        # One byte of the style's Setup.ini, which no size or CRC of the package covers.
        offset, _ = record_of(package, "DIR-SetupSkinPart2|Setup.ini")
        with open(package, "r+b") as f:
            f.seek(offset + 10)
            f.write(b"X")
        Recorder.folder = served
        self.install_is_refused(setup, "提示信息", "DownDlg")

    def test_damaged_package_fails_with_the_message_and_installs_nothing(self):
        package = os.path.join(self.work, "damaged.pkg")
        setup = self.setup_file("Setup-damaged.exe", package_out=package)
        # Bytes in the middle of the main program's packed data: the package still opens and its
        # descriptions check out, but that file does not unpack.
        offset, length = record_of(package, "COM-Main_bin__NorvFrame.exe")
        with open(setup, "r+b") as f:
            start = f.seek(0, 2) - os.path.getsize(package)
            f.seek(start + offset + length // 2)
            f.write(b"\x55" * 64)
        self.install_is_refused(setup, "安装提示信息", "CopyDlg")

if __name__ == "__main__":
    BUILD = os.path.abspath(sys.argv.pop(1))
    PREFIX = os.environ.get("WINEPREFIX") or os.path.join(BUILD, "windows", "wineprefix")
    unittest.main()
