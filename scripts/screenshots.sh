#!/usr/bin/env bash
# screenshots.sh: regenerates docs/screenshots/*.png, one picture of every page of the example
# skin (examples/suite/skin/wizard) as the current code draws it: skinview.exe shows each page
# on a private Xvfb display under Wine (scripts/xwine.py), and the window's part of a
# screenshot is written with the outline's cut-out parts transparent.
# Builds skinview.exe in build/windows first (BUILD_ROOT moves the tree).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${BUILD_ROOT:-$root/build}
if [ -f "$out/windows/build.ninja" ]; then
  cmake --build "$out/windows" --target skinview
else
  "$root/scripts/build.sh" windows
fi
WINEPREFIX="$out/windows/wineprefix" python3 - "$out/windows/tests/skinview.exe" "$root" <<'PY'
import os, sys, tempfile
skinview, root = sys.argv[1], sys.argv[2]
sys.path.insert(0, os.path.join(root, "scripts"))
import xwine

skin = os.path.join(root, "examples", "suite", "skin", "wizard")
docs = os.path.join(root, "docs", "screenshots")
os.makedirs(docs, exist_ok=True)
# file name, page section, extra skinview options (Chinese unless English is asked for: skinview
# otherwise takes the language of the user, which is English in a fresh Wine prefix)
zh = ["--lang", "0804"]
shots = [("welcome", "WelcomeDlg", ["--lang", "0804"]), ("welcome-en", "WelcomeDlg", ["--lang", "0409",
          "--text", "2003=Varkel licence agreement", "--text", "2002=Custom install"]),
         ("license", "LicenseDlg", zh), ("folder", "FolderDlg", zh), ("download", "DownDlg", zh),
         ("copy", "CopyDlg", zh), ("finish", "FinishDlg", zh), ("finish-en", "FinishDlg", ["--lang", "0409"])]
with xwine.XSession() as x:
    for name, section, extra in shots:
        log = tempfile.NamedTemporaryFile(suffix=".log", delete=False).name
        p = x.wine([skinview, xwine.winpath(skin), section, "--log", xwine.winpath(log), "--x", "24", "--y", "24"]
                   + extra)
        def shown():
            with open(log, encoding="utf-8", errors="replace") as f:
                return next((l for l in f if l.startswith("shown ")), None)
        line = xwine.wait_until(shown, 60)
        if not line:
            sys.exit("skinview did not show %s" % section)
        fields = dict(f.split("=", 1) for f in line.split()[1:])
        rect = tuple(int(fields[k]) for k in ("x", "y", "width", "height"))
        w = x.wait_window(p)
        x.move(1000, 760)  # the pointer away from every item
        x.settle(w)
        path = os.path.join(docs, name + ".png")
        x.screenshot().crop(*rect).save_png(path, transparent=x.root)
        print("%s: %s %dx%d" % (os.path.relpath(path, root), section, rect[2], rect[3]), flush=True)
        x.key("Escape", w)
        if not x.wait_gone(p):
            p.kill()
        os.unlink(log)
PY
