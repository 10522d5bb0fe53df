"""A full-screen run presents only what changes: of the pixels another
client puts into the drawing window (no Expose reaches the run), those over
the turning model are drawn over within a few frames, those where nothing
changes stay. A whole swap every frame would paint them all over."""

import ctypes
import time
import unittest

import harness
from test_resize import cylinder_3ds
from test_snapshot import box, plain_bmp, red
from window_session import Session, XClient, drawing_window, screen_pixels, settings, top_level_windows


def count(rgb, test):
    return sum(1 for i in range(0, len(rgb), 3) if test(rgb[i], rgb[i + 1], rgb[i + 2]))


def white(r, g, b):
    return r == g == b == 255


class PartialFramesTest(unittest.TestCase):
    def test_pixels_outside_the_changes_stay_as_the_screen_holds_them(self):
        build = harness.NativeBuild(harness.native_binary())
        ok, reason = build.available()
        self.assertTrue(ok, reason)
        before = top_level_windows()
        s = Session(build, ini=settings(LastNum=41),
                    program_files={"42.bin": cylinder_3ds(), "42.bmp": plain_bmp((255, 0, 0))})
        self.addCleanup(s.close)
        self.assertTrue(s.wait_ready(), s.describe())
        time.sleep(1.0)  # past the first, whole frames
        window = drawing_window(before, (1920, 1080))
        x = XClient()
        self.addCleanup(x.close)
        vp, ul, i = ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int
        for name, result, args in (("XCreateGC", vp, [vp, ul, ul, vp]), ("XSetForeground", i, [vp, vp, ul]),
                                   ("XFillRectangle", i, [vp, ul, vp, i, i, ctypes.c_uint, ctypes.c_uint])):
            getattr(x.x, name).restype, getattr(x.x, name).argtypes = result, args
        width, height = 1920, 1080
        rgb = screen_pixels(0, 0, width, height)
        model = [(i % width, i // width) for i in range(width * height)
                 if red(rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2])]
        self.assertGreater(len(model), 2000, "no model on screen\n" + s.describe())
        left, top, right, bottom = box(model)
        cx, cy = (left + right) // 2, (top + bottom) // 2
        gc = x.x.XCreateGC(x.display, window, 0, None)
        x.x.XSetForeground(x.display, gc, 0xFFFFFF)
        x.x.XFillRectangle(x.display, window, gc, 20, 20, 60, 40)  # top left: black in every frame
        x.x.XFillRectangle(x.display, window, gc, cx - 10, cy - 10, 20, 20)
        x.x.XSync(x.display, 0)
        time.sleep(1.0)  # some 20 frames
        self.assertEqual(count(screen_pixels(cx - 10, cy - 10, 20, 20), white), 0,
                         "the frames over the model do not reach the screen\n" + s.describe())
        self.assertEqual(count(screen_pixels(20, 20, 60, 40), white), 60 * 40,
                         "a frame painted over pixels it did not change")
        self.assertTrue(s.alive(), s.describe())


if __name__ == "__main__":
    unittest.main()
