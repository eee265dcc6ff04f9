#!/usr/bin/env python3
"""Makes the example skin of the wizard: the page backgrounds, the picture buttons in their
states, and "Draw.dat", from the few parameters below.

    examples/skin/make_skin.py [--check] [OUT_DIR...]
        (default: the skin/wizard folders of both example suites; --check writes nothing and
        fails when the folders differ from what the script makes)

A designer changes a colour, a size or a text here and runs the script again; the output is the
same bytes on every run (it is committed, and `norvpack build` packages it). Text in the pictures
is drawn from the WenQuanYi Micro Hei font (Debian's fonts-wqy-microhei) by raster.py; texts that
the pages set at run time (the two links of the welcome page) are Draw.dat text labels instead,
with a font per state and per language.

Every page is WIDTH pixels wide, so that the items the pages share (minimise 2005, close 2006, the
OK button 2010 of the licence and folder pages) sit at the same place on each: an item's look
comes from one section, whatever page shows it. Where a page has real controls (the edit box of
the folder page, the licence text, the progress bars), the layout leaves them the place their
dialog templates give them under the test prefix's fonts ("宋体" 8 pt: 1.5 x 1.625 pixels per
dialog unit; 9 pt: 1.75 x 1.75).

Language: the pictures carry Chinese captions; each item with a caption has a "Lang0409"
redirect to a section of its own ("PIC2004en": bitmaps PIC2004en0.bmp ...) with English ones.
"""
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import raster  # noqa: E402

# ---------------------------------------------------------------------------------------------
# Parameters

FONT_FILE = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"
PRODUCT = "Varkel"

WIDTH = 646
CORNER = 16            # CornerEllipse: the outline's curved corners
NOTCH = 7              # radius of the half-round cut-outs where a page's header meets its body
HEADER_TOP = (24, 98, 236)      # header gradient, top left
HEADER_BOTTOM = (38, 170, 250)  # header gradient, bottom right
ACCENT = (22, 119, 255)
ACCENT_HOVER = (64, 150, 255)
ACCENT_PRESSED = (9, 88, 217)
DISABLED = (214, 219, 226)
DISABLED_TEXT = (150, 157, 168)
BODY = (255, 255, 255)
FOOTER = (246, 248, 251)
RULE = (229, 233, 240)
TEXT = (31, 35, 41)
TEXT_MUTED = (110, 118, 130)
WHITE = (255, 255, 255)
CLOSE_HOVER = (232, 72, 72)

# pages: size, header height, Chinese title, English subtitle
PAGES = {
    "WelcomeDlg": dict(height=468, header=300),
    "LicenseDlg": dict(height=468, header=100, title="用户许可协议", subtitle="License agreement"),
    "FolderDlg": dict(height=468, header=116, title="选择安装位置", subtitle="Choose where to install"),
    "CopyDlg": dict(height=468, header=88, title="正在安装", subtitle="Installing " + PRODUCT),
    "DownDlg": dict(height=256, header=100, title="正在下载安装文件", subtitle="Downloading the setup files"),
    "FinishDlg": dict(height=380, header=196),
}
FOOTER_TOP = 404       # the button bar of the 468-pixel pages
BUTTON = (112, 36)     # footer buttons

# items: (left, top, right, bottom) and captions (Chinese, English)
ITEMS = {
    2005: dict(kind="min", rect=(574, 10, 602, 38)),
    2006: dict(kind="close", rect=(606, 10, 634, 38)),
    2004: dict(kind="primary", rect=(215, 322, 431, 390), pad=8, zh="立即安装", en="Install now", size=17),
    2010: dict(kind="primary", rect=(514, 418, 626, 454), zh="确定", en="OK"),
    2011: dict(kind="secondary", rect=(390, 418, 502, 454), zh="上一步", en="Back"),
    2013: dict(kind="secondary", rect=(514, 418, 626, 454), zh="取消", en="Cancel"),
    2007: dict(kind="primary", rect=(514, 330, 626, 366), zh="完成", en="Finish"),
    2001: dict(kind="secondary", rect=(426, 168, 522, 200), zh="更改…", en="Change…"),
    2012: dict(kind="check", rect=(38, 248, 298, 274), zh="创建桌面快捷方式", en="Create a desktop shortcut"),
    2014: dict(kind="check", rect=(38, 218, 298, 244), zh="立即运行 " + PRODUCT, en="Launch " + PRODUCT + " now"),
    2015: dict(kind="check", rect=(38, 252, 298, 278), zh="开机时自动启动", en="Start with Windows"),
}
# the page each item's pictures are cut from (the button is drawn over that page's background)
ITEM_PAGE = {2005: "LicenseDlg", 2006: "LicenseDlg", 2004: "WelcomeDlg", 2010: "FolderDlg", 2011: "FolderDlg",
             2013: "CopyDlg", 2007: "FinishDlg", 2001: "FolderDlg", 2012: "FolderDlg", 2014: "FinishDlg",
             2015: "FinishDlg"}
# text links of the welcome page (style 21: sized from the text the page sets)
LINKS = {2003: (24, 427), 2002: (545, 427)}
LINK_FONT = {"zh": "name:微软雅黑,size:9", "en": "name:Tahoma,size:9"}


# ---------------------------------------------------------------------------------------------
# Pictures


def header_art():
    """The header's picture, WIDTH x 300: a gradient with soft light circles. Each page shows its
    top rows, so the items over the header (minimise, close) look the same on every page."""
    c = raster.Canvas(WIDTH, 300)
    c.shade(0, 0, WIDTH, 300, lambda x, y: raster.mix(
        HEADER_TOP, HEADER_BOTTOM, min(1.0, (x / WIDTH) * 0.7 + (y / 300.0) * 0.3)))
    # kept away from the top right, where minimise and close sit
    for cx, cy, r, a in ((-40, 250, 170, 0.10), (90, -70, 120, 0.08), (470, 330, 210, 0.07)):
        c.circle(cx, cy, r, WHITE, a)
    return c


def page_background(name, font, art):
    spec = PAGES[name]
    h, header = spec["height"], spec["header"]
    c = raster.Canvas(WIDTH, h, BODY)
    for y in range(header):
        c.px[y * WIDTH:(y + 1) * WIDTH] = [p[:] for p in art.px[y * WIDTH:(y + 1) * WIDTH]]
    if "title" in spec:
        c.text(font, 32, header - 72, spec["title"], 24, WHITE, bold=True)
        c.text(font, 33, header - 38, spec["subtitle"], 14, WHITE, alpha=0.82)
    if h == 468:
        c.fill(0, FOOTER_TOP, WIDTH, h, FOOTER)
        c.fill(0, FOOTER_TOP, WIDTH, FOOTER_TOP + 1, RULE)
    draw = {"WelcomeDlg": welcome, "LicenseDlg": licence, "FolderDlg": folder, "CopyDlg": copy,
            "DownDlg": download, "FinishDlg": finish}[name]
    draw(c, font, h, header)
    return c


def logo(c, cx, cy, r):
    """The product mark: a white disc with a stylised V."""
    c.circle(cx, cy, r, WHITE)
    s = r / 30.0
    c.polyline([(cx - 14 * s, cy - 10 * s), (cx, cy + 12 * s), (cx + 14 * s, cy - 10 * s)], 7 * s, ACCENT)


def welcome(c, font, h, header):
    logo(c, WIDTH / 2, 104, 34)
    c.text(font, WIDTH / 2, 150, PRODUCT, 44, WHITE, bold=True, align="center")
    c.text(font, WIDTH / 2, 214, "新一代桌面客户端 · The next-generation desktop client", 15, WHITE, alpha=0.9,
           align="center")
    c.text(font, WIDTH / 2, 244, "v2.0", 12, WHITE, alpha=0.7, align="center")


def licence(c, font, h, header):
    # the rich-edit control fills 16..630 x 117..399; a quiet frame around it
    c.round_frame(10, 111, WIDTH - 10, 403, 6, 1, RULE)
    c.text(font, 24, FOOTER_TOP + 24, "请阅读以下协议 · Please read the agreement", 13, TEXT_MUTED)


def folder(c, font, h, header):
    c.text(font, 40, 140, "安装到  Install to", 14, TEXT)
    # the edit box lies at 40..414 x 171..197; a rounded field behind it
    c.round_rect(34, 166, 420, 202, 6, (246, 248, 251))
    c.round_frame(34, 166, 420, 202, 6, 1, (206, 212, 222))
    c.text(font, 40, 300, "安装完成后可在开始菜单中找到 " + PRODUCT, 13, TEXT_MUTED)
    c.text(font, 40, 320, "You will find " + PRODUCT + " in the Start menu", 13, TEXT_MUTED)


def copy(c, font, h, header):
    # the HTML view fills 15..632 x 98..260; the progress bar 45..480 x 361..384 with its
    # percentage at 497, 364
    c.round_frame(11, 94, WIDTH - 10, 264, 6, 1, RULE)
    # a card around the progress bar and its percentage
    c.round_rect(11, 284, WIDTH - 10, 398, 8, FOOTER)
    c.round_frame(11, 284, WIDTH - 10, 398, 8, 1, RULE)
    c.text(font, 45, 304, "正在复制文件，请稍候…", 15, TEXT)
    c.text(font, 45, 328, "Copying files, please wait", 13, TEXT_MUTED)
    c.round_rect(41, 357, 484, 388, 6, (228, 234, 243))
    c.text(font, 24, FOOTER_TOP + 24, "请勿关闭电源 · Please keep your computer on", 13, TEXT_MUTED)


def download(c, font, h, header):
    # the progress bar fills 63..485 x 161..185
    c.text(font, 63, 128, "正在连接下载服务器…  Connecting…", 14, TEXT)
    c.round_rect(59, 157, 489, 189, 6, (238, 242, 248))
    # a download mark to the right of the bar
    c.circle(566, 172, 36, (232, 241, 255))
    c.polyline([(566, 152), (566, 184)], 5, ACCENT)
    c.polyline([(552, 172), (566, 186), (580, 172)], 5, ACCENT)
    c.polyline([(548, 195), (584, 195)], 4, ACCENT)
    c.text(font, 63, 204, "下载完成后将自动开始安装 · Setup continues by itself when the download ends", 12,
           TEXT_MUTED)


def finish(c, font, h, header):
    cx, cy = WIDTH / 2, 70
    c.circle(cx, cy, 34, WHITE)
    c.polyline([(cx - 15, cy + 1), (cx - 4, cy + 12), (cx + 16, cy - 10)], 6, (36, 180, 110))
    c.text(font, WIDTH / 2, 114, "安装完成", 26, WHITE, bold=True, align="center")
    c.text(font, WIDTH / 2, 152, PRODUCT + " is installed and ready to use", 14, WHITE, alpha=0.85, align="center")
    c.fill(0, 316, WIDTH, h, FOOTER)
    c.fill(0, 316, WIDTH, 317, RULE)


def item_bitmaps(item, spec, backgrounds, font, lang):
    """{state: Canvas} for one item in one language."""
    x0, y0, x1, y1 = spec["rect"]
    base = backgrounds[ITEM_PAGE[item]].crop(x0, y0, x1 - x0, y1 - y0)
    w, h = x1 - x0, y1 - y0
    kind = spec["kind"]
    out = {}
    if kind in ("min", "close"):
        for state in (0, 1, 2):
            c = base.copy()
            if state:
                hover = CLOSE_HOVER if kind == "close" else WHITE
                alpha = (1.0 if state == 1 else 0.8) if kind == "close" else (0.18 if state == 1 else 0.3)
                c.round_rect(0, 0, w, h, 6, hover, alpha)
            m = w / 2
            if kind == "min":
                c.polyline([(m - 6, m + 1), (m + 6, m + 1)], 1.6, WHITE)
            else:
                c.polyline([(m - 5.5, m - 5.5), (m + 5.5, m + 5.5)], 1.6, WHITE)
                c.polyline([(m - 5.5, m + 5.5), (m + 5.5, m - 5.5)], 1.6, WHITE)
            out[state] = c
        return out
    if kind == "check":
        for state in (0, 1, 3, 4, 5):
            c = base.copy()
            ticked = state in (4, 5)
            inactive = state in (3, 5)
            top = (h - 18) / 2
            box = (2, top, 20, top + 18)
            if ticked:
                c.round_rect(*box, 4, DISABLED if inactive else ACCENT)
                c.polyline([(6, top + 9), (9.5, top + 12.5), (16, top + 5.5)], 2.0, WHITE)
            else:
                c.round_rect(*box, 4, WHITE)
                c.round_frame(*box, 4, 1.2, ACCENT if state == 1 else DISABLED if inactive else (180, 188, 200))
            c.text(font, 30, (h - 14) / 2 - 1, spec[lang], 14, DISABLED_TEXT if inactive else TEXT)
            out[state] = c
        return out
    pad = spec.get("pad", 0)
    size = spec.get("size", 15)
    bx0, by0, bx1, by1 = pad, pad, w - pad, h - pad
    for state in (0, 1, 2, 3):
        c = base.copy()
        if kind == "primary":
            fill = {0: ACCENT, 1: ACCENT_HOVER, 2: ACCENT_PRESSED, 3: DISABLED}[state]
            if pad and state in (0, 1):
                c.round_rect(bx0, by0 + 3, bx1, by1 + 2, 8, ACCENT, 0.35 if state == 1 else 0.25, soft=pad)
            c.round_rect(bx0, by0, bx1, by1, 8 if pad else 6, fill)
            ink = DISABLED_TEXT if state == 3 else WHITE
        else:
            fill = {0: WHITE, 1: (240, 246, 255), 2: (226, 236, 252), 3: (246, 247, 249)}[state]
            edge = {0: (200, 207, 218), 1: ACCENT_HOVER, 2: ACCENT_PRESSED, 3: DISABLED}[state]
            c.round_rect(bx0, by0, bx1, by1, 6, edge)
            c.round_rect(bx0 + 1, by0 + 1, bx1 - 1, by1 - 1, 5, fill)
            ink = {0: TEXT, 1: ACCENT, 2: ACCENT_PRESSED, 3: DISABLED_TEXT}[state]
        shift = 1 if state == 2 else 0
        c.text(font, w / 2, (h - size) / 2 - 1 + shift, spec[lang], size, ink, align="center")
        out[state] = c
    return out


# ---------------------------------------------------------------------------------------------
# Draw.dat


def notch_rects(seam):
    """Half-round cut-out of radius NOTCH centred on a side edge at height seam: (y, w, h) rows,
    rows of the same width merged (each list of the outline holds at most 29 entries)."""
    rows = []
    for y in range(seam - NOTCH, seam + NOTCH):
        dy = y + 0.5 - seam
        w = int((NOTCH * NOTCH - dy * dy) ** 0.5 + 0.5)
        if w <= 0:
            continue
        if rows and rows[-1][1] == w and rows[-1][0] + rows[-1][2] == y:
            rows[-1] = (rows[-1][0], w, rows[-1][2] + 1)
        else:
            rows.append((y, w, 1))
    return rows


def draw_dat():
    lines = ["; The example skin of the wizard, made by examples/skin/make_skin.py: do not edit by hand.",
             "; One section per page (background, outline), one per item (PIC + id; its pictures are",
             "; PIC<id><state>.bmp) with its English twin (Lang0409), and the text styles of the links.", ""]
    for name, spec in PAGES.items():
        lines += ["[%s]" % name, "background=%s.bmp" % name, "CornerEllipse=%d,%d" % (CORNER, CORNER),
                  "PaintType=Stretch"]
        seam = spec["header"]
        if 0 < seam < spec["height"] - NOTCH:
            for i, (y, w, h) in enumerate(notch_rects(seam), 1):
                lines.append("LeftTopEraseRect%d=0,%d,%d,%d" % (i, y, w, h))
            for i, (y, w, h) in enumerate(notch_rects(seam), 1):
                lines.append("RightTopEraseRect%d=0,%d,%d,%d" % (i, y, w, h))
        lines.append("")
    for item, spec in sorted(ITEMS.items()):
        x0, y0, x1, y1 = spec["rect"]
        rect = ["left=%d" % x0, "top=%d" % y0, "right=%d" % x1, "bottom=%d" % y1]
        lines += ["[PIC%04d]" % item] + rect
        if "en" in spec:
            lines += ["Lang0409=PIC%04den" % item, "", "[PIC%04den]" % item] + rect
        lines.append("")
    for item, (x, y) in sorted(LINKS.items()):
        lines += ["[PIC%04d]" % item, "left=%d" % x, "top=%d" % y, "right=0", "bottom=0", "",
                  "[PIC%04d.Text]" % item, "Font=%s" % LINK_FONT["zh"], "Font1=%s,underline" % LINK_FONT["zh"],
                  "Font_0409=%s" % LINK_FONT["en"], "Font1_0409=%s,underline" % LINK_FONT["en"],
                  "TextColor=%d,%d,%d" % TEXT_MUTED, "TextColor1=%d,%d,%d" % ACCENT, "Align=left",
                  "FixRect=0,0,0,0", ""]
    lines += ["[Text.Default]", "Font=name:微软雅黑,size:9", "Font_0409=name:Tahoma,size:9",
              "TextColor=%d,%d,%d" % TEXT, "Align=left", ""]
    return "\r\n".join(lines).encode("utf-8")


# ---------------------------------------------------------------------------------------------


def render():
    """{file name: bytes} of the generated skin files."""
    font = raster.Font(FONT_FILE)
    files = {}
    art = header_art()
    backgrounds = {name: page_background(name, font, art) for name in PAGES}
    for name, c in backgrounds.items():
        files[name + ".bmp"] = c.bmp()
    for item, spec in ITEMS.items():
        for lang in (("zh", "en") if "en" in spec else ("zh",)):
            section = "PIC%04d" % item + ("en" if lang == "en" else "")
            for state, c in item_bitmaps(item, spec, backgrounds, font, lang).items():
                files["%s%d.bmp" % (section, state)] = c.bmp()
    files["Draw.dat"] = draw_dat()
    return files


def write(out_dir, files):
    os.makedirs(out_dir, exist_ok=True)
    # pictures an earlier run made that this one does not make go
    for old in os.listdir(out_dir):
        if old.lower().endswith(".bmp") and old not in files:
            os.remove(os.path.join(out_dir, old))
    for name, data in sorted(files.items()):
        with open(os.path.join(out_dir, name), "wb") as f:
            f.write(data)


def differences(out_dir, files):
    """Names of the files that a run would change in out_dir (stale pictures included)."""
    present = set(n for n in os.listdir(out_dir) if n.lower().endswith(".bmp")) if os.path.isdir(out_dir) else set()
    out = sorted(n for n in present if n not in files)
    for name, data in sorted(files.items()):
        path = os.path.join(out_dir, name)
        if not os.path.isfile(path) or open(path, "rb").read() != data:
            out.append(name)
    return out


def main(argv):
    check = "--check" in argv
    argv = [a for a in argv if a != "--check"]
    examples = os.path.dirname(HERE)
    outs = argv or [os.path.join(examples, s, "skin", "wizard") for s in ("suite", "suite-v2")]
    files = render()
    status = 0
    for out in outs:
        if check:
            changed = differences(out, files)
            if changed:
                print("%s: differs from the generator's output: %s" % (out, ", ".join(changed)))
                status = 1
            else:
                print("%s: the generator reproduces all %d files" % (out, len(files)))
        else:
            write(out, files)
            print("%s: %d files, %d bytes" % (out, len(files), sum(len(d) for d in files.values())))
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
