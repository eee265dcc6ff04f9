#!/usr/bin/env python3
"""Visual test of the example skin (examples/skin/make_skin.py) through skinview.exe: every page
shows its background pixel for pixel, with its outline cut (curved corners, the half-round
cut-outs), each item's bitmap at its place, the English pictures with --lang 0409, a disabled
button and a link's hover style, and real Chinese characters in the links.

    test_example_skin.py SKINVIEW.exe SKIN_DIR        (ctest: visual_example_skin)
"""
import configparser
import os
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "..", "scripts"))
sys.path.insert(0, os.path.join(HERE, "..", "..", "examples", "skin"))
import raster  # noqa: E402
import test_skin  # noqa: E402
import xwine  # noqa: E402

SKIN = None
# the items skinview adds for each page (the wizard's), with the state it starts them in
PAGES = {"WelcomeDlg": {2004: 0, 2005: 0, 2006: 0}, "LicenseDlg": {2005: 0, 2006: 0, 2010: 0},
         "FolderDlg": {2005: 0, 2006: 0, 2001: 0, 2010: 0, 2011: 0, 2012: 4}, "CopyDlg": {2005: 0, 2006: 0, 2013: 0},
         "DownDlg": {2005: 0, 2006: 0}, "FinishDlg": {2006: 0, 2007: 0, 2014: 4, 2015: 4}}
LINKS = (2003, 2002)  # text-sized links of the welcome page: their rectangles depend on the text


def bitmap(name):
    with open(os.path.join(SKIN, name), "rb") as f:
        c = raster.read_bmp(f.read())
    data = bytearray()
    for p in c.px:
        data += bytes(int(v) for v in p)
    return xwine.Image(c.width, c.height, bytes(data))


def draw_dat():
    ini = configparser.ConfigParser(strict=False, interpolation=None)
    with open(os.path.join(SKIN, "Draw.dat"), encoding="utf-8") as f:
        ini.read_string(f.read())
    return ini


class ExampleSkin(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.ini = draw_dat()
        cls.x = xwine.XSession()
        cls.x.start()

    @classmethod
    def tearDownClass(cls):
        cls.x.stop()

    def show(self, section, *args):
        view = test_skin.SkinView(self.x, SKIN, section, *args, at=(60, 40))
        self.addCleanup(view.close)
        return view

    def rect(self, item):
        s = self.ini["PIC%04d" % item]
        return tuple(int(s[k]) for k in ("left", "top", "right", "bottom"))

    def assertSame(self, got, want, what, tolerance=2):
        self.assertEqual((got.width, got.height), (want.width, want.height), what)
        bad = got.diff(want, tolerance)
        self.assertEqual(bad, 0, "%s: %d pixels differ" % (what, bad))

    def test_every_page_shows_its_background_outline_and_items(self):
        for section, items in PAGES.items():
            with self.subTest(page=section):
                view = test_skin.SkinView(self.x, SKIN, section, "--lang", "0804", at=(60, 40))
                try:
                    self.check_page(section, items, view)
                finally:
                    view.close()

    def check_page(self, section, items, view):
        background = bitmap(section + ".bmp")
        w, h = background.width, background.height
        self.assertEqual(view.rect[2:], (w, h), "the window takes the background's size")
        shot = view.shot()
        root = self.x.root
        for corner in ((0, 0), (w - 1, 0), (0, h - 1), (w - 1, h - 1), (1, 1), (w - 2, h - 2)):
            self.assertEqual(shot.pixel(*corner), root, "curved corner %s" % (corner,))
        notch = self.ini[section].get("LeftTopEraseRect1")
        if notch:
            seam = int(notch.split(",")[1]) + 6
            self.assertEqual(shot.pixel(1, seam), root, "left cut-out")
            self.assertEqual(shot.pixel(w - 2, seam), root, "right cut-out")
            self.assertNotEqual(shot.pixel(12, seam), root, "beside the left cut-out")
        # outside the items and the cut parts, the window is its background, pixel for pixel
        covered = [self.rect(i) for i in items]
        if section == "WelcomeDlg":
            covered += [(l, t, l + 200, t + 30) for (l, t) in (self.rect(i)[:2] for i in LINKS)]
        wrong = 0
        for y in range(h):
            for x in range(w):
                if any(l <= x < r and t <= y < b for (l, t, r, b) in covered):
                    continue
                got = shot.pixel(x, y)
                if got == root:
                    continue
                want = background.pixel(x, y)
                if any(abs(got[i] - want[i]) > 2 for i in range(3)):
                    wrong += 1
        self.assertEqual(wrong, 0, "%d background pixels differ" % wrong)
        for item, state in items.items():
            l, t, r, b = self.rect(item)
            self.assertSame(shot.crop(l, t, r - l, b - t), bitmap("PIC%04d%d.bmp" % (item, state)),
                            "item %d in state %d" % (item, state))

    def test_english_pictures(self):
        l, t, r, b = self.rect(2004)
        english = self.show("WelcomeDlg", "--lang", "0409")
        self.assertSame(english.shot().crop(l, t, r - l, b - t), bitmap("PIC2004en0.bmp"), "Lang0409 picture")

    def test_disabled_button_and_link_hover(self):
        view = self.show("WelcomeDlg", "--lang", "0804", "--state", "2004=3")
        l, t, r, b = self.rect(2004)
        self.assertSame(view.shot().crop(l, t, r - l, b - t), bitmap("PIC20043.bmp"), "disabled picture")
        self.x.move(view.rect[0] + (l + r) // 2, view.rect[1] + (t + b) // 2)
        self.assertSame(self.x.settle(view.window).crop(l, t, r - l, b - t), bitmap("PIC20043.bmp"),
                        "a disabled button ignores the pointer")
        # the licence link: grey text, accent-coloured and underlined under the pointer
        ll, lt = self.rect(2003)[:2]

        def accent(c):
            return c[2] > 200 and c[0] < 120

        def link():
            return view.shot().crop(ll, lt, 160, 24)
        self.assertEqual(link().count(accent), 0, "the link starts grey")
        self.x.move(view.rect[0] + ll + 20, view.rect[1] + lt + 8)
        self.assertTrue(xwine.wait_until(lambda: link().count(accent) > 30, 5), "the link shows its hover style")
        self.x.move(1000, 700)
        self.assertTrue(xwine.wait_until(lambda: link().count(accent) == 0, 5), "the link returns to grey")

    def test_links_show_real_chinese_characters(self):
        crops = []
        for text in ("安装程序协议", "许可使用条款"):
            view = self.show("WelcomeDlg", "--lang", "0804", "--text", "2003=" + text)
            l, t = self.rect(2003)[:2]
            crops.append(view.shot().crop(l, t, 120, 24))
            view.close()
            self._cleanups.pop()
        ink = crops[0].count(lambda c: c[0] < 180 and c[1] < 190)
        self.assertGreater(ink, 40, "no link text drawn")
        self.assertGreater(crops[0].diff(crops[1], 30), ink // 2, "both texts look alike: boxes, not characters")


if __name__ == "__main__":
    SKIN = sys.argv.pop(2)
    test_skin.SKINVIEW = sys.argv.pop(1)
    unittest.main(verbosity=2)
