#!/usr/bin/env python3
"""Visual test of the prefix's font settings (scripts/wine-fonts.sh): Chinese text drawn in each
face that the skins and dialogs name shows real characters. font_probe.exe draws one line per
face; two different strings must give different pixels (boxes would be the same for both).

    test_fonts.py FONT_PROBE.exe        (ctest: visual_fonts)
"""
import os
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
import xwine  # noqa: E402

FACES = ["宋体", "SimSun", "新宋体", "Microsoft YaHei", "微软雅黑", "MS Shell Dlg", "MS Shell Dlg 2", "Tahoma"]
LINE = 40  # font_probe.exe's line height
PROBE = None


def dark(c):
    return c[0] < 140 and c[1] < 140 and c[2] < 140


class ChineseGlyphs(unittest.TestCase):
    def test_every_face_shows_real_characters(self):
        shots = []
        with xwine.XSession() as x:
            for text in ("安装程序", "许可协议"):
                p = x.wine([PROBE, text] + FACES)
                w = x.wait_window(p)
                shots.append(x.settle(w))
                x.key("Escape", w)
                self.assertTrue(x.wait_gone(p), "font_probe.exe did not close on Escape")
        for i, face in enumerate(FACES):
            with self.subTest(face=face):
                a = shots[0].crop(0, i * LINE, shots[0].width, LINE)
                b = shots[1].crop(0, i * LINE, shots[1].width, LINE)
                ink = a.count(dark)
                self.assertGreater(ink, 150, "no text drawn")
                # Boxes for four characters are the same picture whatever the characters are.
                self.assertGreater(a.diff(b), ink // 2, "two strings look alike: boxes instead of characters")


if __name__ == "__main__":
    PROBE = sys.argv.pop(1)
    unittest.main(verbosity=2)
