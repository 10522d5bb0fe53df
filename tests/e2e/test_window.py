"""The screensaver's window: what ends a run (keys, buttons, the sixth mouse
move; signals and closed windows where it takes no input), the log of the
display set-up, and the settings written at the end."""

import os
import re
import signal
import socket
import subprocess
import threading
import time
import unittest

import harness
from window_session import Session, XClient, screen_pixels, settings, top_level_windows, xdotool


class InputEndsTheRun(unittest.TestCase):

    def start(self, build, **kwargs):
        s = Session(build, **kwargs)
        self.addCleanup(s.close)
        self.assertTrue(s.wait_ready(), s.describe())
        return s

    @harness.both_builds
    def test_sixth_move_ends_an_ordinary_run_that_logs_and_saves(self, build):
        s = self.start(build)
        # Paced: Windows (and Wine) merge moves that queue up into one message.
        for i in range(5):
            xdotool("mousemove", 300 + 40 * i, 200 + 30 * i)
            time.sleep(0.4)
        time.sleep(1.0)
        self.assertTrue(s.alive(), "five moves ended the run\n" + s.describe())
        s.clear_settings()
        xdotool("mousemove", 900, 700)
        self.assertEqual(s.finish(), 0, s.describe())
        # Every setting as read, with the entry on screen (a half turn outlasts the run).
        self.assertEqual(s.settings_file(), settings(), s.describe())

        expected = ["Lumiscript 1.0.0.10 started", "Mode was: 1920x1080 32", "Mode changed to: 1920x1080 32",
                    "GL_VENDOR: .+", "GL_RENDERER: .+", "GL_VERSION: .+", "No multisampling"]
        if build.name == "native":
            expected.append("Software rendering")  # Mesa's llvmpipe
        lines, at = s.log(), 0
        for pattern in expected:
            at = next((i for i in range(at, len(lines)) if re.fullmatch(pattern, lines[i])), None)
            self.assertIsNotNone(at, "%r missing or out of order in\n%s" % (pattern, "\n".join(lines)))
            at += 1

    @harness.both_builds
    def test_any_key_ends_the_run(self, build):
        for key in ("a", "Alt_L", "space"):
            with self.subTest(key=key):
                s = self.start(build)
                xdotool("key", key)
                self.assertEqual(s.finish(), 0, s.describe())

    @harness.both_builds
    def test_each_button_ends_the_run_and_wheel_or_releases_do_not(self, build):
        for button in (1, 2, 3):
            with self.subTest(button=button):
                s = self.start(build)
                if button == 1:
                    xdotool("click", 4)
                    xdotool("click", 5)
                    xdotool("keyup", "a")
                    xdotool("mouseup", 1)
                    time.sleep(1.0)
                    self.assertTrue(s.alive(), "wheel or release ended the run\n" + s.describe())
                xdotool("click", button)
                self.assertEqual(s.finish(), 0, s.describe())


class NativeWithoutInput(unittest.TestCase):
    """-window, -root, -window-id and XSCREENSAVER_WINDOW take no input; a
    signal or a closed window ends the run with the ordinary shutdown."""

    def setUp(self):
        self.build = harness.NativeBuild(harness.native_binary())
        ok, reason = self.build.available()
        if not ok:
            self.fail("native build unavailable: " + reason)
        self.x = XClient()
        self.addCleanup(self.x.close)

    def start(self, **kwargs):
        s = Session(self.build, **kwargs)
        self.addCleanup(s.close)
        self.assertTrue(s.wait_ready(), s.describe())
        for i in range(7):
            xdotool("mousemove", 150 + 20 * i, 150 + 10 * i)
        xdotool("click", 1)
        xdotool("key", "a")
        time.sleep(1.0)
        self.assertTrue(s.alive(), "input ended the run\n" + s.describe())
        s.clear_settings()
        return s

    def assertEndsSaved(self, s):
        self.assertEqual(s.finish(5), 0, s.describe())
        self.assertEqual(s.settings_file(), settings(), s.describe())

    def test_window_id_draws_into_the_given_window_and_ends_on_sigterm(self):
        window = self.x.create_window(100, 100, 400, 300)
        self.assertEqual(set(screen_pixels(120, 120, 20, 20)), {0xFF})
        s = self.start(args=["-window-id", hex(window)])
        self.assertNotIn(0xFF, set(screen_pixels(120, 120, 20, 20)), "nothing drawn into the window")
        s.signal(signal.SIGTERM)
        self.assertEndsSaved(s)

    def test_window_from_the_environment_ends_when_destroyed(self):
        window = self.x.create_window(0, 0, 320, 240)
        s = self.start(env={"XSCREENSAVER_WINDOW": str(window)})
        self.x.destroy_window(window)
        self.assertEndsSaved(s)

    def test_window_option_opens_a_window_that_ends_when_closed(self):
        before = top_level_windows()
        s = self.start(args=["-window"])
        ours = [w for w, size in top_level_windows().items() if w not in before and size == (1280, 720)]
        self.assertEqual(len(ours), 1, top_level_windows())
        self.x.ask_to_close(ours[0])
        self.assertEndsSaved(s)

    def test_root_ends_on_sigint_and_sighup(self):
        for number in (signal.SIGINT, signal.SIGHUP):
            with self.subTest(signal=number):
                s = self.start(args=["-root"])
                s.signal(number)
                self.assertEndsSaved(s)

    def test_sigterm_while_the_update_check_waits_on_the_network(self):
        # A proxy that accepts and never answers keeps the update thread busy.
        listener = socket.create_server(("127.0.0.1", 0))
        self.addCleanup(listener.close)
        held = []
        threading.Thread(target=lambda: held.append(listener.accept()[0]), daemon=True).start()
        s = self.start(args=["-window"], ini=settings(AutoUpdate=1, LastUpdateDate=0, Enabled=1,
                                                      Server="127.0.0.1", Port=listener.getsockname()[1]))
        deadline = time.monotonic() + 30
        while not held and time.monotonic() < deadline:
            time.sleep(0.1)
        self.assertTrue(held, "the update check never connected\n" + s.describe())
        self.addCleanup(held[0].close)
        started = time.monotonic()
        s.signal(signal.SIGTERM)
        self.assertEqual(s.finish(10), 0, s.describe())
        self.assertLess(time.monotonic() - started, 1.0)
        self.assertEqual(s.settings_file()[("SYSTEM", "LastNum")], "7")

    def test_no_display_is_a_one_line_error(self):
        with harness.DataDir() as d:
            for display in (None, ":319"):
                env = dict(os.environ, LUMISAVER_PROGRAM_DIR=d.path, LUMISAVER_APPDATA_DIR=d.path)
                env.pop("DISPLAY", None)
                env.update({"DISPLAY": display} if display else {})
                r = subprocess.run([self.build.binary], env=env, capture_output=True, timeout=60)
                self.assertNotEqual(r.returncode, 0)
                self.assertRegex(r.stderr.decode(), r"\A[^\n]*display[^\n]*\n\Z")


if __name__ == "__main__":
    unittest.main()
