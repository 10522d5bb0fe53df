"""The native full-screen run on two monitors side by side: the scene on the
primary, the other one black, and input over either ends the run."""

import time
import unittest

import harness
from harness.xorg import MONITOR
from test_sequence import count
from window_session import Session, XClient, screen_pixels, warm, xdotool


def white(r, g, b):
    return r == g == b == 0xFF


class FullScreenOnTwoMonitors(unittest.TestCase):

    def test_scene_on_the_primary_black_on_the_other_and_a_move_there_ends_it(self):
        try:
            display = harness.two_monitor_display()
        except RuntimeError as e:
            self.fail(str(e))
        build = harness.all_builds()[0]
        ok, reason = build.available()
        self.assertTrue(ok, reason)
        width, height = MONITOR
        x = XClient(display)
        self.addCleanup(x.close)
        paper = x.create_window(width + 200, 200, 400, 300)
        self.addCleanup(x.destroy_window, paper)
        self.assertGreater(count(screen_pixels(0, 0, 2 * width, height, display), white), 100000,
                           "the white window is not on the right monitor")

        s = Session(build, display=display)
        self.addCleanup(s.close)
        self.assertTrue(s.wait_ready(), s.describe())
        # The text line grows from the model rightwards for a few seconds.
        for _ in range(5):
            time.sleep(1.0)
            self.assertEqual(count(screen_pixels(width - 10, 0, 20, height, display), warm), 0,
                             "the picture reaches the seam")
        self.assertGreater(count(screen_pixels(0, 0, width, height, display), warm), 2000,
                           "no model on the primary\n" + s.describe())
        self.assertEqual(count(screen_pixels(width, 0, width, height, display), white), 0,
                         "the right monitor still shows the desktop")

        for i in range(6):
            xdotool("mousemove", width + 100 + 60 * i, 100 + 40 * i, display=display)
            time.sleep(0.4)
        self.assertEqual(s.finish(), 0, s.describe())


if __name__ == "__main__":
    unittest.main()
