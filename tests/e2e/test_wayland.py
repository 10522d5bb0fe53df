"""The Linux program native on Wayland: overlay layer surfaces on every
output of headless sway (the scene on each, or black beside the one
named; input and a second start ending or leaving it as a screensaver
must), at each output's own pixels on sway and KWin, outputs that come and
go; started by swayidle; weston's xdg-shell fallback; -window where there
is no xdg-shell."""

import os
import re
import signal
import subprocess
import tempfile
import time
import unittest

import harness
from test_monitors import first_entry
from test_sequence import count
from wayland_session import OUTPUT, Bare, KWin, Sway, Weston, crop
from window_session import settings, warm

WIDTH, HEIGHT = OUTPUT


def virtual_pointer():
    return os.path.join(harness.BUILD, "tests", "virtual_pointer")


def headless_sway(outputs):
    try:
        return Sway(outputs=outputs)
    except (RuntimeError, subprocess.CalledProcessError) as e:
        raise AssertionError("headless sway: %s" % e)


class OnSway(unittest.TestCase):

    @classmethod
    def setUpClass(cls):
        cls.sway = headless_sway(2)
        _, _, rgb = cls.sway.screen()
        cls.grey = tuple(rgb[:3])  # the compositor's own background

    @classmethod
    def tearDownClass(cls):
        cls.sway.close()

    def start(self, args=(), x_display=None, extra_env=None):
        s = self.sway.session(args, x_display=x_display, extra_env=extra_env, ini=settings(LastNum=0),
                              program_files=first_entry())
        self.addCleanup(s.close)
        self.assertTrue(s.wait_ready(), s.describe() + "\n--- sway\n" + self.sway.describe())
        return s

    def assert_scene(self, s, black=None):
        """The model on both outputs (0 left, 1 right), or all black on `black`."""
        # Within 8 s of the start: the model is drawn from each output's first
        # frame, which a loaded machine may take a moment to draw.
        deadline = time.monotonic() + 5
        while True:
            width, height, rgb = self.sway.screen()
            self.assertEqual((width, height), (2 * WIDTH, HEIGHT))
            halves = [crop(rgb, width, output * WIDTH, WIDTH, HEIGHT) for output in (0, 1)]
            shown = [output for output in (0, 1) if output != black and count(halves[output], warm) > 2000]
            if len(shown) == (1 if black is not None else 2) or time.monotonic() > deadline:
                break
            time.sleep(0.5)
        for output in (0, 1):
            if output == black:
                self.assertEqual(count(halves[output], lambda r, g, b: True), 0, "the other output is not black")
                continue
            self.assertIn(output, shown, "no model on output %d\n%s" % (output, s.describe()))
            self.assertEqual(count(halves[output], lambda r, g, b: (r, g, b) == self.grey), 0,
                             "the compositor's background shows through the scene")

    def test_plain_run_on_both_outputs_and_a_key_ends_it_saving_the_settings(self):
        s = self.start()
        self.assert_scene(s)
        # A second start, as an idle daemon's after a resume, leaves at once.
        second = self.sway.session(ini=settings(LastNum=0), program_files=first_entry())
        self.addCleanup(second.close)
        self.assertEqual(second.finish(timeout=3), 0, second.describe())
        self.assertTrue(s.alive(), "the first run ended with the second\n" + s.describe())
        s.clear_settings()
        self.sway.run("wtype", "-s", "300", "-k", "a")
        self.assertEqual(s.finish(timeout=3), 0, s.describe())
        self.assertEqual(s.settings_file().get(("SYSTEM", "LastNum")), "0", "the settings were not saved")

    def test_with_an_x_server_still_wayland_on_the_output_named_and_a_pointer_move_ends_it(self):
        s = self.start(["-output", "HEADLESS-2"], x_display=harness.display(), extra_env={"WAYLAND_DEBUG": "1"})
        self.assert_scene(s, black=0)
        # The pointer's first entry alone ends nothing; one sweep of 60 px,
        # which the compositor sends as a single motion, does.
        self.sway.run(virtual_pointer(), "1", "0", "0")
        time.sleep(0.5)
        self.assertTrue(s.alive(), "the pointer's arrival ended the run\n" + s.describe())
        # Its device went with the tool: the seat's pointer is released.
        s.errors.seek(0)
        self.assertRegex(s.errors.read().decode("utf-8", "replace"), r"wl_pointer@\d+\.release\(\)")
        self.sway.run(virtual_pointer(), "1", "60", "0")
        self.assertEqual(s.finish(timeout=3), 0, s.describe())

    def test_x_windows_asked_for_and_the_option_choose_the_display_system(self):
        env = self.sway.env(LUMISAVER_APPDATA_DIR=tempfile.gettempdir())
        no_x = "no X display (DISPLAY is not set)"
        for args, said in ((["-root"], no_x), (["-window-id", "0x200001"], no_x), (["-platform", "x11"], no_x),
                           (["-platform", "wayland"], "cannot connect to the Wayland compositor")):
            with self.subTest(args=args):
                e = dict(env, WAYLAND_DISPLAY="absent-0") if "wayland" in args else env
                r = harness.run_process([harness.native_binary()] + args, e, timeout=20)
                self.assertEqual(r.returncode, 1, r.describe())
                self.assertIn(said, r.stderr)

    def test_swayidle_starts_it_and_a_key_ends_it(self):
        # A compositor of its own: swayidle starts runs in sessions of their
        # own, and one it starts again after the key dies only with sway.
        sway = headless_sway(1)
        self.addCleanup(sway.close)
        data = harness.DataDir()
        self.addCleanup(data.cleanup)
        harness.write_settings(data.file("main.ini"), settings(LastNum=0))
        rc = data.file("rc")
        idle = subprocess.Popen(
            ["swayidle", "timeout", "2", "%s; echo $? >> %s" % (harness.native_binary(), rc)],
            env=sway.env(LUMISAVER_APPDATA_DIR=data.path), stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL, start_new_session=True)
        self.addCleanup(lambda: (os.killpg(idle.pid, signal.SIGTERM), idle.wait()))

        def drawing():
            try:
                return any(line.endswith(" rendering") for line in harness.log_lines(data.file("log.txt")))
            except (FileNotFoundError, AssertionError):
                return False  # not written yet, or caught mid-line

        deadline = time.monotonic() + 12
        while time.monotonic() < deadline and not drawing():
            time.sleep(0.2)
        self.assertFalse(os.path.exists(rc), "the run ended by itself")
        self.assertLess(time.monotonic(), deadline, "swayidle did not start a run within 12 s")
        sway.run("wtype", "-s", "300", "-k", "a")
        deadline = time.monotonic() + 3
        while time.monotonic() < deadline and not os.path.exists(rc):
            time.sleep(0.1)
        self.assertTrue(os.path.exists(rc), "the key did not end the run")
        with open(rc) as f:
            self.assertEqual(f.read().split()[0], "0")


def one_colour_blocks(width, height, rgb):
    """Of the lit aligned 2×2 blocks, the share all of one colour: 1 where
    every pixel was doubled."""
    lit = same = 0
    for y in range(0, height - 1, 2):
        for x in range(0, width - 1, 2):
            at = [3 * ((y + dy) * width + x + dx) for dy in (0, 1) for dx in (0, 1)]
            block = [rgb[i:i + 3] for i in at]
            if any(any(p) for p in block):
                lit += 1
                same += block.count(block[0]) == 4
    return same / max(lit, 1)


class AtScale(unittest.TestCase):

    def start(self, compositor, args=()):
        s = compositor.session(args, extra_env={"WAYLAND_DEBUG": "1"}, ini=settings(LastNum=0),
                               program_files=first_entry())
        self.addCleanup(s.close)
        self.assertTrue(s.wait_ready(), s.describe() + "\n--- compositor\n" + compositor.describe())
        time.sleep(1.0)
        return s

    def test_sway_output_at_scale_2_shows_the_model_at_its_own_pixels(self):
        sway = headless_sway(2)
        self.addCleanup(sway.close)
        sway.swaymsg("output HEADLESS-2 scale 2")
        s = self.start(sway)
        for scale in (2, 4):  # and a scale changed during the run
            if scale != 2:
                sway.swaymsg("output HEADLESS-2 scale %d" % scale)
                time.sleep(1.0)
            for name in ("HEADLESS-1", "HEADLESS-2"):
                width, height, rgb = sway.screen(name)
                self.assertEqual((width, height), OUTPUT)
                self.assertGreater(count(rgb, warm), 2000, "no model on %s\n%s" % (name, s.describe()))
            self.assertLess(one_colour_blocks(width, height, rgb), 0.5, "scale %d: our pixels enlarged" % scale)

    def test_sway_outputs_that_come_and_go_are_followed(self):
        sway = headless_sway(1)
        self.addCleanup(sway.close)
        grey = tuple(sway.screen()[2][:3])  # the compositor's own background
        s = self.start(sway)
        sway.swaymsg("create_output")
        sway.swaymsg("output HEADLESS-2 mode %dx%d" % OUTPUT)
        time.sleep(1.0)
        self.assertGreater(count(sway.screen("HEADLESS-2")[2], warm), 2000, "no model on the new output")
        sway.swaymsg("output HEADLESS-1 disable")
        sway.swaymsg("output HEADLESS-2 mode 1024x768")
        time.sleep(1.0)
        width, height, rgb = sway.screen("HEADLESS-2")
        self.assertEqual((width, height), (1024, 768))
        self.assertGreater(count(rgb, warm), 2000, "the show stopped\n" + s.describe())
        self.assertEqual(count(rgb, lambda r, g, b: (r, g, b) == grey), 0, "not drawn at the new size")
        # Every surface swaps without waiting: no frame callback of EGL's own
        # beside ours.
        s.errors.seek(0)
        debug = s.errors.read().decode("utf-8", "replace")
        for surface in set(re.findall(r"wl_surface@(\d+)\.frame\(", debug)):
            frames = len(re.findall(r"wl_surface@%s\.frame\(" % surface, debug))
            self.assertLessEqual(frames, debug.count("wl_surface@%s.commit()" % surface))

    def test_the_output_named_takes_the_scene_when_it_comes(self):
        sway = headless_sway(1)
        self.addCleanup(sway.close)
        s = self.start(sway, ["-output", "HEADLESS-2"])
        self.assertGreater(count(sway.screen("HEADLESS-1")[2], warm), 2000, "no model before HEADLESS-2 came")
        sway.swaymsg("create_output")
        sway.swaymsg("output HEADLESS-2 mode %dx%d" % OUTPUT)
        time.sleep(1.0)
        self.assertGreater(count(sway.screen("HEADLESS-2")[2], warm), 2000, "no model on HEADLESS-2\n" + s.describe())
        self.assertEqual(count(sway.screen("HEADLESS-1")[2], lambda r, g, b: True), 0, "HEADLESS-1 is not black")

    def test_kwin_at_fractional_scales_gets_buffers_of_the_outputs_pixels_through_a_viewport(self):
        # 1366 × 1.25 = 1707.5: halves round away from zero.
        for logical, scale, pixels in (((1920, 1080), 1.5, (2880, 1620)), ((1366, 768), 1.25, (1708, 960))):
            with self.subTest(scale=scale):
                try:
                    kwin = KWin(*logical, scale=scale)
                except RuntimeError as e:
                    raise AssertionError("virtual KWin: %s" % e)
                self.addCleanup(kwin.close)
                s = self.start(kwin)
                # The scale may come after the first frames, drawn at scale 1.
                deadline = time.monotonic() + 10
                while True:
                    s.errors.seek(0)
                    debug = s.errors.read().decode("utf-8", "replace")
                    made = set(re.findall(r"new id wl_buffer@(\d+), [^)]*?\b%d, %d\b" % pixels, debug))
                    attached = set(re.findall(r"wl_surface@\d+\.attach\(wl_buffer@(\d+)", debug))
                    if made & attached or time.monotonic() > deadline:
                        break
                    time.sleep(0.5)
                self.assertTrue(made & attached, "no %d×%d buffer attached\n%s" % (pixels + (kwin.describe(),)))
                self.assertRegex(debug, r"wp_viewport@\d+\.set_destination\(%d, %d\)" % logical)


class WithoutXdgShell(unittest.TestCase):

    def test_window_says_why_and_ends_with_code_2(self):
        bare = Bare()
        self.addCleanup(bare.close)
        r = harness.run_process([harness.native_binary(), "-window"],
                                bare.env(LUMISAVER_APPDATA_DIR=tempfile.gettempdir()), timeout=20)
        self.assertEqual(r.returncode, 2, r.describe())
        self.assertIn("-window needs a compositor with xdg-shell", r.stderr)


class OnWeston(unittest.TestCase):

    def test_full_screen_toplevel_shows_the_model_and_sigterm_ends_it(self):
        try:
            weston = Weston()
        except RuntimeError as e:
            self.fail("headless weston: %s" % e)
        self.addCleanup(weston.close)
        s = weston.session(ini=settings(LastNum=0), program_files=first_entry())
        self.addCleanup(s.close)
        self.assertTrue(s.wait_ready(), s.describe() + "\n--- weston\n" + weston.describe())
        time.sleep(1.0)
        width, height, rgb = weston.screen()
        self.assertEqual((width, height), OUTPUT)
        self.assertGreater(count(rgb, warm), 2000, "no model under weston\n" + s.describe())
        s.signal(signal.SIGTERM)
        self.assertEqual(s.finish(timeout=5), 0, s.describe())


if __name__ == "__main__":
    unittest.main()
