"""The Windows full-screen run as other programs and the system see it, under
Wine: WM_CLOSE or SC_CLOSE from another process ends it like a key (settings saved, exit
code 0), WM_ENDSESSION saves before it is answered; the scene window is topmost and in the foreground with or without
multisampling; on two monitors it alone covers both, and follows a monitor
that goes (WM_DISPLAYCHANGE). The other program is window_probe (built by
the Windows build) in the run's prefix."""

import os
import time
import unittest

import harness
from harness.xorg import MONITOR
from test_monitors import lay_out, xrandr
from window_session import Session, settings


def probe(build, command, display=None, check=True):
    exe = os.path.join(os.path.dirname(build.binary), "window_probe.exe")
    if not os.path.isfile(exe):
        raise AssertionError("%s is missing (the Windows build makes it)" % exe)
    prefix = harness.wine_prefix(build.binary)
    env = prefix.env({"DISPLAY": display} if display else None)
    r = harness.run_process(prefix.wine(exe, command), env, timeout=60)
    if check and r.returncode != 0:
        raise AssertionError("window_probe %s failed:\n%s" % (command, r.describe()))
    return r.stdout.replace("\r", "").splitlines()


def windows(build, display=None):
    """(sorted descriptions, handles) of the program's visible windows."""
    lines = [line.rsplit(" ", 1) for line in probe(build, "windows", display)]
    return sorted(d for d, _ in lines), {h for _, h in lines}


class WindowsFullScreenRun(unittest.TestCase):

    def start(self, fsaa, display=None):
        build = harness.windows_build(self)
        s = Session(build, ini=settings(FSAAmode=fsaa, LastNum=7), display=display)
        self.addCleanup(s.close)
        self.assertTrue(s.wait_ready(), s.describe())
        return build, s

    def test_wm_close_from_another_program_ends_the_run_and_saves(self):
        build, s = self.start(0)
        time.sleep(6.0)
        s.clear_settings()
        self.assertEqual(probe(build, "close"), ["posted 1"])
        closed = time.monotonic()
        self.assertEqual(s.finish(timeout=5), 0, "not ended within 5 s of WM_CLOSE\n" + s.describe())
        self.assertLess(time.monotonic() - closed, 5.5)
        saved = s.settings_file()
        self.assertEqual(saved[("SYSTEM", "FSAAmode")], "0", s.describe())
        self.assertIn(("SYSTEM", "LastNum"), saved)

    def test_the_end_of_the_session_saves_before_it_is_answered(self):
        build, s = self.start(0)
        s.clear_settings()
        self.assertEqual(probe(build, "endsession"), ["sent 1"])
        self.assertEqual(s.settings_file()[("SYSTEM", "FSAAmode")], "0", "not saved when answered\n" + s.describe())
        self.assertEqual(s.finish(timeout=5), 0, s.describe())

    def test_the_scene_window_is_topmost_and_in_front_with_and_without_multisampling(self):
        for fsaa, close in ((0, "close"), (4, "sysclose")):
            with self.subTest(fsaa=fsaa):
                build, s = self.start(fsaa)
                self.assertEqual(windows(build)[0], ["scene topmost=1 noactivate=0 foreground=1"], s.describe())
                self.assertEqual(probe(build, close), ["posted 1"])
                self.assertEqual(s.finish(), 0, s.describe())

    def test_one_window_covers_both_monitors_and_follows_a_display_change(self):
        try:
            display = harness.two_monitor_display()
        except RuntimeError as e:
            self.fail(str(e))
        build = harness.windows_build(self)
        # Wine's desktop process stays on the display it started on.
        prefix = harness.wine_prefix(build.binary)
        harness.run_process(["wineserver", "-k"], prefix.env(), timeout=60)
        self.addCleanup(prefix.ensure)
        self.addCleanup(harness.run_process, ["wineserver", "-k"], prefix.env(), timeout=60)
        # The prefix's later calls (registry values) go to Xvfb: the probe
        # starts Wine's desktop on the two monitors first.
        probe(build, "windows", display, check=False)
        _, s = self.start(0, display=display)
        self.assertEqual(windows(build, display)[0], ["scene topmost=1 noactivate=0 foreground=1"], s.describe())
        self.assertEqual(probe(build, "place", display), ["0,0 2560x720"], s.describe())
        self.addCleanup(lay_out, display, 0, MONITOR[0], 0)
        xrandr(display, "--output", "DUMMY1", "--off")
        time.sleep(1.0)
        self.assertEqual(probe(build, "displaychange", display), ["sent 1"])
        time.sleep(1.0)
        self.assertTrue(s.alive(), s.describe())
        self.assertEqual(probe(build, "place", display), ["0,0 1280x720"], s.describe())
        self.assertEqual(probe(build, "close", display), ["posted 1"])
        self.assertEqual(s.finish(), 0, s.describe())


if __name__ == "__main__":
    unittest.main()
