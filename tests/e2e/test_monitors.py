"""The full-screen run on two monitors side by side, both builds: the scene on
the primary, the other one black over whatever was open there, and input over
either ends the run. Natively the run follows monitors moved during it."""

import os
import subprocess
import time
import unittest

import harness
from harness.xorg import MODE, MONITOR
from test_sequence import count
from test_content import CONTENT_DIRS
from window_session import Session, XClient, screen_pixels, settings, warm, xdotool


def first_entry():
    folder = CONTENT_DIRS["native"]
    return {name: open(os.path.join(folder, name), "rb").read() for name in ("01.bin", "01.bmp")}


def white(r, g, b):
    return r == g == b == 0xFF


def lay_out(display, left, right):
    """DUMMY0 (the primary) at x = left, DUMMY1 at x = right."""
    subprocess.run(["xrandr", "-display", display, "--output", "DUMMY0", "--mode", MODE[0], "--pos", "%dx0" % left,
                    "--primary", "--output", "DUMMY1", "--mode", MODE[0], "--pos", "%dx0" % right],
                   check=True, timeout=60, stdout=subprocess.DEVNULL)
    time.sleep(1.0)


class FullScreenOnTwoMonitors(unittest.TestCase):

    @harness.both_builds
    def test_scene_on_the_primary_black_on_the_other_and_a_move_there_ends_it(self, build):
        try:
            display = harness.two_monitor_display()
        except RuntimeError as e:
            self.fail(str(e))
        if build.name != "native":
            # Wine's desktop process stays on the display it started on.
            prefix = harness.wine_prefix(build.binary)
            harness.run_process(["wineserver", "-k"], prefix.env(), timeout=60)
            self.addCleanup(prefix.ensure)
            self.addCleanup(harness.run_process, ["wineserver", "-k"], prefix.env(), timeout=60)
        width, height = MONITOR
        x = XClient(display)
        self.addCleanup(x.close)
        paper = x.create_window(width + 200, 200, 400, 300)
        self.addCleanup(x.destroy_window, paper)
        self.assertGreater(count(screen_pixels(0, 0, 2 * width, height, display), white), 100000,
                           "the white window is not on the right monitor")

        s = Session(build, ini=settings(LastNum=0), display=display, program_files=first_entry())
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

    def test_covers_and_scene_follow_monitors_moved_during_the_run(self):
        build = harness.all_builds()[0]
        try:
            display = harness.two_monitor_display()
        except RuntimeError as e:
            self.fail(str(e))
        width, height = MONITOR
        gap = 440  # DUMMY1 moved right: the screen grows by this much
        x = XClient(display)
        self.addCleanup(x.close)
        # Beyond the screen's right edge until the screen grows over it.
        paper = x.create_window(2 * width + 40, 200, 300, 300)
        self.addCleanup(x.destroy_window, paper)
        self.addCleanup(lay_out, display, 0, width)

        s = Session(build, ini=settings(LastNum=0), display=display, program_files=first_entry())
        self.addCleanup(s.close)
        self.assertTrue(s.wait_ready(), s.describe())
        lay_out(display, 0, width + gap)
        self.assertEqual(count(screen_pixels(0, 0, 2 * width + gap, height, display), white), 0,
                         "the grown screen shows the desktop\n" + s.describe())
        lay_out(display, width, 0)  # the primary now on the right
        time.sleep(2.0)
        self.assertGreater(count(screen_pixels(width, 0, width, height, display), warm), 2000,
                           "the scene did not follow the primary\n" + s.describe())
        self.assertEqual(count(screen_pixels(0, 0, width, height, display), warm), 0,
                         "a picture left on the other monitor")
        xdotool("key", "space", display=display)
        self.assertEqual(s.finish(), 0, s.describe())

        lay_out(display, 0, width + gap)
        self.assertGreater(count(screen_pixels(2 * width, 0, gap, height, display), white), 10000,
                           "the paper is not where the grown screen shows it")


if __name__ == "__main__":
    unittest.main()
