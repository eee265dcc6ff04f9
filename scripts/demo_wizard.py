#!/usr/bin/env python3
"""The demo's install: the real Setup.exe of the example suite under Wine on a private Xvfb
display, clicked through every page (welcome, licence, folder, download, copy, finish) with a
screenshot of each, then what was installed: the folder tree, the registry values, the links.

    demo_wizard.py BUILD_ROOT OUT_DIR SHOTS_DIR

The setup file is the download type, so that one run shows every page: a local server hands out
the package, slowly enough for the download page to be seen. The demo's own Wine prefix is
OUT_DIR/wineprefix.
"""
import http.server
import os
import sys
import threading
import time

SCRIPTS = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, SCRIPTS)
import wizard  # noqa: E402
import xwine  # noqa: E402


def slow_server(folder):
    """A server on a free port that sends the files of folder at about 2 MiB/s."""

    class Handler(http.server.BaseHTTPRequestHandler):
        def do_GET(self):
            path = os.path.join(folder, self.path.split("?")[0].lstrip("/"))
            if not os.path.isfile(path):
                self.send_response(404)
                self.send_header("Content-Length", "0")
                self.end_headers()
                return
            with open(path, "rb") as f:
                body = f.read()
            self.send_response(200)
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            for i in range(0, len(body), 64 * 1024):
                self.wfile.write(body[i:i + 64 * 1024])
                time.sleep(0.03)

        def log_message(self, *args):
            pass

    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


def show_tree(folder):
    print("\n== installed files (%s)" % folder)
    for base, dirs, files in sorted(os.walk(folder)):
        dirs.sort()
        if os.path.basename(base) == "Temp":
            continue
        for name in sorted(files):
            path = os.path.join(base, name)
            print("  %-58s %9d bytes" % (os.path.relpath(path, folder), os.path.getsize(path)))


def main(build, out, shots):
    os.makedirs(shots, exist_ok=True)
    served = os.path.join(out, "served")
    os.makedirs(served, exist_ok=True)
    server = slow_server(served)
    suite = wizard.stage_suite(out, build, server.server_address[1])
    setup = wizard.build_setup(build, suite, os.path.join(out, "Setup-demo.exe"), download_only=True,
                               package_out=os.path.join(served, "NorvClient.pkg"))
    skin = os.path.join(suite, "skin", "wizard")
    prefix = os.path.join(out, "wineprefix")
    with xwine.XSession(prefix) as x:
        wizard.forget_install(x)
        w = wizard.Wizard(x, setup, skin).start()

        def page(name, shot):
            w.wait_page(name)
            w.shot(os.path.join(shots, "setup-%s.png" % shot))
            print("  page %-11s shown, screenshot setup-%s.png" % (name, shot))

        print("== Setup.exe, page by page")
        page("WelcomeDlg", "welcome")
        w.click(2003)  # the licence link
        page("LicenseDlg", "licence")
        w.click(2010)
        w.wait_page("WelcomeDlg")
        w.click(2002)  # custom installation
        page("FolderDlg", "folder")
        w.click(2010)
        page("DownDlg", "download")
        page("CopyDlg", "copy")
        page("FinishDlg", "finish")
        w.click(2007)
        print("  Setup.exe ended with %d" % w.wait_exit())
        time.sleep(2)  # the finish page's program starts

        show_tree(wizard.default_folder(prefix))
        print("\n== registry (the suite's keys, 32-bit view)")
        for key in (wizard.SUITE_KEY, wizard.SUITE_KEY + r"\Setup", r"HKCU\Software\NorvClient\Options"):
            print(wizard.reg(x, "query", key).strip())
        print(wizard.reg(x, "query", r"HKCU\Software\Microsoft\Windows\CurrentVersion\Run", "/v", "NorvFrame").strip())
        print("\n== links")
        drive_c = os.path.join(prefix, "drive_c")
        for top in ("users", "ProgramData"):
            for base, _, files in sorted(os.walk(os.path.join(drive_c, top))):
                for name in sorted(files):
                    if name.endswith(".lnk"):
                        print("  " + os.path.relpath(os.path.join(base, name), drive_c))
        print("\n== programs running after the finish page")
        print(wizard.reg(x, "query", r"HKCU\Software\NorvStandIns").strip() or "  (none)")
        wizard.end_programs(x)
    server.shutdown()
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main(*[os.path.abspath(a) for a in sys.argv[1:4]]))
    except xwine.HarnessError as e:
        print("demo: %s" % e, file=sys.stderr)
        sys.exit(1)
