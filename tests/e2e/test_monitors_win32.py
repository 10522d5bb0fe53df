"""The Windows program on two monitors side by side (1280x720 each, the
primary on the left): the scene fills the primary, the other monitor turns
black over whatever was open there, and a mouse move over it ends the run."""

import os
import subprocess
import time
import unittest

import harness
from test_content import CONTENT_DIRS

SEAM = 1280


def grab(display, x, y, width, height):
    return subprocess.run(["import", "-display", display, "-window", "root", "-crop",
                           "%dx%d+%d+%d" % (width, height, x, y), "-depth", "8", "rgb:-"],
                          stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=60, check=True).stdout


def pixels(rgb, test):
    return sum(1 for i in range(0, len(rgb) - 2, 3) if test(rgb[i], rgb[i + 1], rgb[i + 2]))


def warm(r, g, b):
    return r >= 60 and r >= b + 40


def white(r, g, b):
    return min(r, g, b) >= 245


class WindowsOnTwoMonitors(unittest.TestCase):

    def test_the_other_monitor_is_covered_and_ends_the_run_on_input(self):
        build = harness.all_builds()[1]
        ok, reason = build.available()
        if not ok:
            self.fail("Windows build unavailable: " + reason)
        display = harness.two_monitor_display()
        env = dict(os.environ, DISPLAY=display)
        # A white window on the right monitor: the desktop that must not show.
        note = subprocess.Popen(["xmessage", "-bg", "white", "-fg", "white", "-geometry", "900x500+1450+100",
                                 "-buttons", "", " " * 40], env=env, stderr=subprocess.DEVNULL)
        self.addCleanup(note.kill)
        time.sleep(1.0)
        self.assertGreater(pixels(grab(display, SEAM, 0, 1280, 720), white), 100000, "no white window to cover")

        prefix = harness.wine_prefix(build.binary)
        with harness.DataDir() as d:
            harness.write_settings(d.file("main.ini"), harness.settings(LastNum=0))
            prefix.set_program_values(CONTENT_DIRS["win32"], d.path)
            # Wine's desktop process belongs to the display it started on.
            harness.run_process(["wineserver", "-k"], prefix.env(), timeout=60)
            self.addCleanup(prefix.ensure)
            self.addCleanup(harness.run_process, ["wineserver", "-k"], prefix.env(), timeout=60)
            proc = subprocess.Popen(prefix.wine(build.binary, "/s"), env=prefix.env({"DISPLAY": display}),
                                    cwd=d.path, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                    stderr=subprocess.DEVNULL, start_new_session=True)
            self.addCleanup(lambda: proc.poll() is None and os.killpg(proc.pid, 9))
            model = 0
            deadline = time.monotonic() + 90
            while time.monotonic() < deadline and proc.poll() is None and model < 3000:
                time.sleep(1.0)
                model = pixels(grab(display, 0, 0, SEAM, 720), warm)
            right = grab(display, SEAM, 0, 1280, 720)
            self.assertGreater(model, 3000, "no model on the primary monitor")
            self.assertEqual(pixels(right, white), 0, "the desktop shows on the right monitor")
            self.assertEqual(pixels(right, warm), 0, "the picture spills onto the right monitor")

            for step in range(8):
                subprocess.run(["xdotool", "mousemove", str(SEAM + 300 + 40 * step), str(200 + 20 * step)],
                               env=env, timeout=10)
                time.sleep(0.3)
            self.assertEqual(proc.wait(20), 0)
            # Ended by the window procedure: the entry on screen was saved.
            ini = harness.ini_dict(harness.read_ini(d.file("main.ini")))
            self.assertEqual(ini.get(("SYSTEM", "LastNum")), "0", ini)


if __name__ == "__main__":
    unittest.main()
