#!/usr/bin/env python3
"""Visual tests of the skin engine through skinview.exe on a private Xvfb display:
the outline, the nine-slice background, picture buttons, language redirects and dragging,
checked by the pixels of screenshots and by skinview's log of posted item messages.
The skin they use is made here (solid colours, so that each check reads one colour); the example
skin's own checks are in test_example_skin.py.

    test_skin.py SKINVIEW.exe WIN_TOOL.exe        (ctest: visual_skin)
"""
import os
import shutil
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "scripts"))
sys.path.insert(0, os.path.join(HERE, "..", "..", "examples", "skin"))
import raster  # noqa: E402
import xwine  # noqa: E402

SKINVIEW = WIN_TOOL = None

BODY = (40, 120, 200)
BORDER = (250, 200, 0)
CORNER = (0, 160, 80)
W, H, EDGE = 240, 180, 12
BUTTON = {0: (128, 128, 128), 1: (0, 200, 0), 2: (220, 0, 0), 3: (60, 60, 60)}
LANG_ZH, LANG_EN = (255, 128, 0), (0, 255, 255)
TEXT_COLOUR = (255, 255, 255)

DRAW_DAT = """
[Shape]
background=Shape.bmp
CornerEllipse=40,40
EraseRect1=100,0,140,16
LeftBottomEraseRect1=40,0,24,14
RightTopEraseRect1=0,60,10,20
StretchRect=12,12,12,12

[PIC3001]
left=40
top=60

[PIC3002]
left=130
top=60
Lang0409=PIC3002en

[PIC3002en]
left=130
top=60

[PIC3003]
left=40
top=110
right=200
bottom=150

[PIC3003.Text]
Font=name:宋体,size:20
Font_0409=name:Tahoma,size:12,bold,italic
TextColor=255,255,255
Align=left
FixRect=2,2,2,2
"""


def solid(w, h, colour):
    return raster.Canvas(w, h, colour).bmp()


def make_test_skin(folder):
    c = raster.Canvas(W, H, BORDER)
    c.fill(EDGE, EDGE, W - EDGE, H - EDGE, BODY)
    for x, y in ((0, 0), (W - EDGE, 0), (0, H - EDGE), (W - EDGE, H - EDGE)):
        c.fill(x, y, x + EDGE, y + EDGE, CORNER)
    files = {"Shape.bmp": c.bmp(), "PIC30020.bmp": solid(40, 30, LANG_ZH), "PIC3002en0.bmp": solid(40, 30, LANG_EN),
             "Draw.dat": DRAW_DAT.replace("\n", "\r\n").encode("utf-8")}
    for state, colour in BUTTON.items():
        files["PIC3001%d.bmp" % state] = solid(60, 30, colour)
    for name, data in files.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


class SkinView:
    """One skinview.exe showing a section; its log lines are read from its --log file."""

    def __init__(self, x, skin, section, *args, at=(100, 100), program=None):
        self.x = x
        self.log = tempfile.NamedTemporaryFile(prefix="skinview-", suffix=".log", delete=False).name
        self.process = x.wine([program or SKINVIEW, xwine.winpath(skin), section, "--log", xwine.winpath(self.log),
                               "--x", str(at[0]), "--y", str(at[1])] + list(args))
        shown = xwine.wait_until(lambda: self.find("shown "), timeout=60)
        if not shown:
            raise AssertionError("skinview did not show %s (exit code %s)" % (section, self.process.poll()))
        fields = dict(f.split("=", 1) for f in shown.split()[1:])
        self.rect = tuple(int(fields[k]) for k in ("x", "y", "width", "height"))
        self.window = x.wait_window(self.process)
        x.settle(self.window)

    def lines(self):
        try:
            with open(self.log, encoding="utf-8", errors="replace") as f:
                return [line.strip() for line in f]
        except FileNotFoundError:
            return []

    def find(self, prefix):
        return next((line for line in self.lines() if line.startswith(prefix)), None)

    def shot(self):
        """The window's rectangle of the screen, as it is now."""
        return self.x.screenshot().crop(*self.rect)

    def close(self):
        self.x.key("Escape", self.window)
        closed = self.x.wait_gone(self.process)
        os.unlink(self.log)
        return closed


def near(a, b, tolerance=8):
    return all(abs(a[i] - b[i]) <= tolerance for i in range(3))


class SkinEngine(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.skin = tempfile.mkdtemp(prefix="visual-skin-")
        make_test_skin(cls.skin)
        cls.x = xwine.XSession()
        cls.x.start()

    @classmethod
    def tearDownClass(cls):
        cls.x.stop()
        for name in os.listdir(cls.skin):
            os.unlink(os.path.join(cls.skin, name))
        os.rmdir(cls.skin)

    def show(self, *args, **kw):
        view = SkinView(self.x, self.skin, "Shape", *args, **kw)
        self.addCleanup(view.close)
        return view

    def assertPixel(self, shot, point, colour, what):
        self.assertTrue(near(shot.pixel(*point), colour), "%s: pixel %s is %s, expected %s" %
                        (what, point, shot.pixel(*point), colour))

    def check_outline(self, shot, w, h):
        root = self.x.root
        for corner in ((1, 1), (w - 2, 1), (1, h - 2), (w - 2, h - 2)):
            self.assertPixel(shot, corner, root, "curved corner")
        self.assertPixel(shot, (10, 10), CORNER, "inside the curve")
        self.assertPixel(shot, (120, 5), root, "EraseRect1")
        self.assertPixel(shot, (120, 20), BODY, "below EraseRect1")
        self.assertPixel(shot, (50, h - 5), root, "LeftBottomEraseRect1")
        self.assertPixel(shot, (50, h - 20), BODY, "above LeftBottomEraseRect1")
        self.assertPixel(shot, (w - 5, 70), root, "RightTopEraseRect1")
        self.assertPixel(shot, (w - 15, 70), BODY, "beside RightTopEraseRect1")

    def test_outline_cuts_corners_and_erase_rectangles(self):
        view = self.show("--items", "")
        self.assertEqual(view.rect[2:], (W, H), "the window takes the background's size")
        self.check_outline(view.shot(), W, H)

    def test_nine_slice_keeps_its_borders_at_two_sizes(self):
        view = self.show("--items", "")
        for w, h in ((360, 260), (300, 420)):
            with self.subTest(size=(w, h)):
                p = self.x.wine([WIN_TOOL, "resize", "NorvSkinView", str(w), str(h)])
                self.assertEqual(p.wait(60), 0, "win_tool could not resize the window")
                view.rect = view.rect[:2] + (w, h)
                shot = self.x.settle(None).crop(*view.rect)
                # Every pixel inside the outline is the nine-slice's, none left from before: borders
                # and corners stay 12 pixels wide (a plain stretch would make them 15 to 28 wide).
                wrong = []
                for y in range(h):
                    for x in range(w):
                        got = shot.pixel(x, y)
                        if got == self.x.root:
                            continue
                        edge_x, edge_y = x < EDGE or x >= w - EDGE, y < EDGE or y >= h - EDGE
                        want = CORNER if edge_x and edge_y else BORDER if edge_x or edge_y else BODY
                        if not near(got, want):
                            wrong.append((x, y))
                self.assertLess(len(wrong), 10, "%d pixels are not the nine-slice's, e.g. %s" %
                                (len(wrong), wrong[:5]))
                self.check_outline(shot, w, h)  # the outline follows the new size

    def test_button_hover_press_and_click(self):
        view = self.show("--items", "3001")
        x0, y0 = view.rect[:2]
        inside, outside = (x0 + 70, y0 + 75), (x0 + 210, y0 + 140)

        def colour():
            return view.shot().pixel(70, 75)
        self.assertTrue(near(colour(), BUTTON[0]), "normal bitmap: %s" % (colour(),))
        self.x.move(*inside)
        self.assertTrue(xwine.wait_until(lambda: near(colour(), BUTTON[1]), 5), "hover bitmap: %s" % (colour(),))
        self.assertTrue(xwine.wait_until(lambda: view.find("posted item=3001 event=hover"), 5),
                        "no hover message: %s" % view.lines())
        self.x.down()
        self.assertTrue(xwine.wait_until(lambda: near(colour(), BUTTON[2]), 5), "pressed bitmap: %s" % (colour(),))
        self.assertIsNone(view.find("posted item=3001 event=click"), "a click before the button was released")
        self.x.up()
        self.assertTrue(xwine.wait_until(lambda: view.find("posted item=3001 event=click"), 5),
                        "no click message: %s" % view.lines())
        self.x.move(*outside)
        self.assertTrue(xwine.wait_until(lambda: near(colour(), BUTTON[0]), 5), "back to normal: %s" % (colour(),))
        clicks = [line for line in view.lines() if line == "posted item=3001 event=click"]
        self.assertEqual(len(clicks), 1, view.lines())

    def test_language_redirect_and_per_language_font(self):
        # The language comes from "LangID" in norvframe.ini beside the program, or from --lang.
        home = tempfile.mkdtemp(prefix="visual-lang-")
        self.addCleanup(shutil.rmtree, home)
        program = os.path.join(home, "skinview.exe")
        shutil.copy(SKINVIEW, program)
        shots = {}
        for lang_id, option in ((2052, []), (1033, []), (1033, ["--lang", "0804"])):
            with open(os.path.join(home, "norvframe.ini"), "w") as f:
                f.write("[Main]\r\nLangID=%d\r\n" % lang_id)
            for item, args in ((3002, []), (3003, ["--text", "3003=Setup 安装"])):
                view = SkinView(self.x, self.skin, "Shape", "--items", str(item), *(args + option), program=program)
                shots[lang_id, bool(option), item] = view.shot()
                view.close()
        self.assertTrue(near(shots[2052, False, 3002].pixel(150, 75), LANG_ZH), "LangID 2052: the item's own bitmap")
        self.assertTrue(near(shots[1033, False, 3002].pixel(150, 75), LANG_EN), "LangID 1033: Lang0409's bitmap")
        self.assertTrue(near(shots[1033, True, 3002].pixel(150, 75), LANG_ZH), "--lang 0804 over LangID 1033")
        text = {key: shots[key + (3003,)].crop(40, 110, 160, 40) for key in ((2052, False), (1033, False), (1033, True))}
        self.assertGreater(text[2052, False].count(lambda c: near(c, TEXT_COLOUR, 60)), 30, "no text drawn")
        self.assertGreater(text[2052, False].diff(text[1033, False]), 100, "Font_0409 did not change the text")
        self.assertEqual(text[2052, False].diff(text[1033, True]), 0, "--lang 0804 draws as LangID 2052")

    def test_dragging_the_background_moves_the_window(self):
        view = self.show("--items", "3001")
        x0, y0 = view.rect[:2]
        self.x.move(x0 + 210, y0 + 60)
        time.sleep(0.3)
        self.x.down()
        for step in range(1, 11):
            self.x.move(x0 + 210 + 6 * step, y0 + 60 + 4 * step)
            time.sleep(0.05)
        self.x.up()
        moved = xwine.wait_until(lambda: (self.x.geometry(view.window) or (0, 0))[:2] != (x0, y0), 5)
        g = self.x.geometry(view.window)
        self.assertTrue(moved, "the window stayed at %s" % (g,))
        self.assertLessEqual(abs(g[0] - (x0 + 60)), 2, g)
        self.assertLessEqual(abs(g[1] - (y0 + 40)), 2, g)
        # pressing on an item does not drag
        self.x.move(g[0] + 70, g[1] + 75)
        time.sleep(0.3)
        self.x.down()
        self.x.move(g[0] + 120, g[1] + 125)
        time.sleep(0.3)
        self.x.up()
        time.sleep(0.5)
        self.assertEqual(self.x.geometry(view.window)[:2], g[:2], "dragging an item moved the window")


if __name__ == "__main__":
    SKINVIEW, WIN_TOOL = sys.argv.pop(1), sys.argv.pop(1)
    unittest.main(verbosity=2)
