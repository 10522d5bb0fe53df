"""The full-screen run on two monitors side by side, both builds: one show on
both, nothing across the seam, over whatever was open there, and a key ends
the run. Natively the run follows monitors added and moved during it, keeps
the scene to the monitor -output names, and fits the text to a portrait one."""

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


def xrandr(display, *args):
    subprocess.run(["xrandr", "-display", display] + list(args), check=True, timeout=60, stdout=subprocess.DEVNULL)


def lay_out(display, left, right, settle=1.0, mode=MODE[0]):
    """DUMMY0 (the primary) at x = left, DUMMY1 (in `mode`) at x = right."""
    xrandr(display, "--output", "DUMMY0", "--mode", MODE[0], "--pos", "%dx0" % left, "--primary",
           "--output", "DUMMY1", "--mode", mode, "--pos", "%dx0" % right)
    time.sleep(settle)


# A portrait mode (576x1024 at 60 Hz, CVT-like timings) the dummy outputs accept.
PORTRAIT = ["576x1024_lumi", "47.96", "576", "600", "664", "752", "1024", "1027", "1037", "1063",
            "-hsync", "+vsync"]


def model_on(display, x, width, height, at_least=2000):
    return count(screen_pixels(x, 0, width, height, display), warm) >= at_least


def wait_for(condition, seconds):
    """Whether a look started within `seconds` found the condition true."""
    start = time.monotonic()
    while time.monotonic() - start <= seconds:
        if condition():
            return True
        time.sleep(0.05)
    return False


def two_monitors(test):
    try:
        return harness.two_monitor_display()
    except RuntimeError as e:
        test.fail(str(e))


def start_on_two_monitors(test, args=()):
    display = two_monitors(test)
    build = harness.all_builds()[0]
    test.addCleanup(lay_out, display, 0, MONITOR[0], 0)
    s = Session(build, args=args, ini=settings(LastNum=0), display=display, program_files=first_entry())
    test.addCleanup(s.close)
    return display, s


class FullScreenOnTwoMonitors(unittest.TestCase):

    @harness.both_builds
    def test_the_model_on_both_monitors_nothing_on_the_seam_and_a_key_ends_it(self, build):
        display = two_monitors(self)
        if build.name != "native":
            # Wine's desktop process stays on the display it started on, and
            # tells every program of the prefix that display's monitors: it
            # starts here, before the harness's own Wine calls.
            prefix = harness.wine_prefix(build.binary)
            # A persistent server keeps that desktop process to the end: one
            # that lingered only a few seconds would let the harness's next
            # Wine call start it again on the one-monitor screen.
            harness.run_process(["wineserver", "-k"], prefix.env(), timeout=60)
            harness.run_process(["wineserver", "-w"], prefix.env(), timeout=60)
            harness.run_process(["wineserver", "-p"], prefix.env(), timeout=60)
            harness.run_process(prefix.wine("reg", "query", "HKCU\\Software\\Wine"), prefix.env({"DISPLAY": display}),
                                timeout=300)
            self.addCleanup(prefix.ensure)
            self.addCleanup(harness.run_process, ["wineserver", "-k"], prefix.env(), timeout=60)
        width, height = MONITOR
        x = XClient(display)
        self.addCleanup(x.close)
        paper = x.create_window(width + 200, 200, 400, 300)
        self.addCleanup(x.destroy_window, paper)
        self.assertGreater(count(screen_pixels(0, 0, 2 * width, height, display), white), 100000,
                           "the white window is not on the right monitor")

        started = time.monotonic()
        s = Session(build, ini=settings(LastNum=0), display=display, program_files=first_entry())
        self.addCleanup(s.close)
        both = lambda: model_on(display, 0, width, height) and model_on(display, width, width, height)
        self.assertTrue(wait_for(both, 10 - (time.monotonic() - started)),
                        "the model is not on both monitors within 10 s\n" + s.describe())
        # The text line grows from the model rightwards for a few seconds.
        for _ in range(5):
            time.sleep(1.0)
            self.assertEqual(count(screen_pixels(width - 10, 0, 20, height, display), warm), 0,
                             "the picture reaches the seam")
        self.assertEqual(count(screen_pixels(0, 0, 2 * width, height, display), white), 0,
                         "a monitor still shows the desktop")
        xdotool("key", "space", display=display)
        self.assertEqual(s.finish(), 0, s.describe())

    def test_the_show_follows_monitors_added_and_moved_during_the_run(self):
        width, height = MONITOR
        display = two_monitors(self)
        xrandr(display, "--output", "DUMMY1", "--off")
        display, s = start_on_two_monitors(self)
        self.assertTrue(s.wait_ready(), s.describe())
        self.assertTrue(wait_for(lambda: model_on(display, 0, width, height), 10), s.describe())
        lay_out(display, 0, width, settle=0)
        # The middle of the new monitor, where the model turns: a small look is a quick one.
        centre = lambda: count(screen_pixels(width + width // 2 - 100, 100, 200, 300, display), warm) >= 500
        self.assertTrue(wait_for(centre, 1.0),
                        "the added monitor does not show the show within a second\n" + s.describe())

        gap = 440  # DUMMY1 moved right: the screen grows by this much
        x = XClient(display)
        self.addCleanup(x.close)
        # Beyond the screen's right edge until the screen grows over it.
        paper = x.create_window(2 * width + 40, 200, 300, 300)
        self.addCleanup(x.destroy_window, paper)
        lay_out(display, 0, width + gap)
        self.assertEqual(count(screen_pixels(0, 0, 2 * width + gap, height, display), white), 0,
                         "the grown screen shows the desktop\n" + s.describe())
        self.assertTrue(model_on(display, width + gap, width, height), "no model on the moved monitor")
        self.assertEqual(count(screen_pixels(width, 0, gap, height, display), warm), 0, "a picture in the gap")
        lay_out(display, width, 0)  # the primary now on the right
        self.assertTrue(model_on(display, 0, width, height) and model_on(display, width, width, height),
                        "the show is not on both monitors after the swap\n" + s.describe())
        xdotool("key", "space", display=display)
        self.assertEqual(s.finish(), 0, s.describe())

        lay_out(display, 0, width + gap)
        self.assertGreater(count(screen_pixels(2 * width, 0, gap, height, display), white), 10000,
                           "the paper is not where the grown screen shows it")

    def test_output_keeps_the_scene_to_the_monitor_it_names(self):
        width, height = MONITOR
        display, s = start_on_two_monitors(self, args=["-output", "DUMMY1"])
        self.assertTrue(s.wait_ready(), s.describe())
        self.assertTrue(wait_for(lambda: model_on(display, width, width, height), 10), s.describe())
        for _ in range(3):
            self.assertEqual(count(screen_pixels(0, 0, width, height, display), lambda r, g, b: True), 0,
                             "the monitor not named is not black")
            time.sleep(1.0)
        # Input over the black monitor ends the run as over the scene.
        for i in range(6):
            xdotool("mousemove", 100 + 60 * i, 100 + 40 * i, display=display)
            time.sleep(0.4)
        self.assertEqual(s.finish(), 0, s.describe())

    def test_a_portrait_monitor_keeps_the_text_row_inside(self):
        width, height = MONITOR
        display = two_monitors(self)
        subprocess.run(["xrandr", "-display", display, "--newmode"] + PORTRAIT, timeout=60,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)  # already there on a second run
        xrandr(display, "--addmode", "DUMMY1", PORTRAIT[0])
        lay_out(display, 0, width, settle=0, mode=PORTRAIT[0])
        display, s = start_on_two_monitors(self, args=["-output", "DUMMY1"])
        self.assertTrue(s.wait_ready(), s.describe())
        tall, narrow = int(PORTRAIT[6]), int(PORTRAIT[2])
        edge = narrow // 50
        shown = 0
        # Words join the row for about nine seconds; then it flies at the viewer.
        for _ in range(9):
            time.sleep(1.0)
            lower = count(screen_pixels(width, tall // 2, narrow, tall // 2, display), warm)
            shown = max(shown, lower)
            for x in (width, width + narrow - edge):
                self.assertEqual(count(screen_pixels(x, 0, edge, tall, display), warm), 0,
                                 "the picture reaches the portrait monitor's edge\n" + s.describe())
        self.assertGreater(shown, 300, "no text row on the portrait monitor\n" + s.describe())
        xdotool("key", "space", display=display)
        self.assertEqual(s.finish(), 0, s.describe())


if __name__ == "__main__":
    unittest.main()
