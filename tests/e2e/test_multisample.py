"""FSAAmode: the multisampled window that replaces the first one, and the
setting turned off for good when the driver lacks the extension. Xvfb's GLX
(Mesa llvmpipe) offers 4-sample configurations."""

import re
import subprocess
import time
import unittest

import harness
from window_session import Session, settings, top_level_windows, window_visual, xdotool

# Stands in for the driver's extension list (test hook): longer names that
# contain the real ones, which the whole-word search must reject.
NO_EXTENSION = "WGL_ARB_multisample_ext GLX_ARB_multisample_ext WGL_ARB_pixel_format"


def fbconfig(config_id):
    """(visual id, samples) of a GLX framebuffer configuration."""
    listing = subprocess.run(["glxinfo", "-v", "-display", harness.display()], stdout=subprocess.PIPE,
                             stderr=subprocess.DEVNULL, timeout=120, check=True).stdout.decode()
    m = re.search(r"^FBConfig ID: %x\s+Visual ID=([0-9a-f]+)[^F]*?multiSample=(\d+)" % config_id, listing, re.M)
    return int(m.group(1), 16), int(m.group(2))


class Multisampling(unittest.TestCase):

    def run_until_ready(self, build, fsaa, env=None):
        s = Session(build, ini=settings(FSAAmode=fsaa), env=env)
        self.addCleanup(s.close)
        self.assertTrue(s.wait_ready(), s.describe())
        return s

    def end_with_key(self, s):
        s.clear_settings()
        xdotool("key", "Escape")
        self.assertEqual(s.finish(), 0, s.describe())

    @harness.both_builds
    def test_fsaa_mode_4_runs_in_the_recreated_multisampled_window(self, build):
        before = top_level_windows()
        s = self.run_until_ready(build, 4)
        found = [int(line.split()[-1]) for line in s.log() if line.startswith("Multisample mode ")]
        self.assertEqual(len(found), 1, s.describe())
        self.assertNotEqual(found[0], -1, s.describe())
        time.sleep(1.0)
        self.assertTrue(s.alive(), "the first window's destroy ended the run\n" + s.describe())
        if build.name == "native":
            # One full-screen window, with the chosen configuration's visual.
            ours = [w for w, size in top_level_windows().items() if w not in before and size == (1920, 1080)]
            self.assertEqual(len(ours), 1, top_level_windows())
            visual, samples = fbconfig(found[0])
            self.assertEqual(window_visual(ours[0]), visual)
            self.assertGreaterEqual(samples, 4)
        self.end_with_key(s)
        self.assertEqual(s.settings_file()[("SYSTEM", "FSAAmode")], "4")

    @harness.both_builds
    def test_fsaa_mode_0_asks_for_none(self, build):
        s = self.run_until_ready(build, 0)
        lines = s.log()
        self.assertEqual(lines.count("No multisampling"), 1, s.describe())
        self.assertFalse([line for line in lines if line.startswith("Multisample mode")], s.describe())
        self.end_with_key(s)

    @harness.both_builds
    def test_missing_extension_turns_the_setting_off_for_good(self, build):
        s = self.run_until_ready(build, 4, env={"LUMISAVER_TEST_GL_EXTENSIONS": NO_EXTENSION})
        lines = s.log()
        error = "InitMultisample 4 error: WGL_ARB_multisample not supported"
        self.assertIn(error, lines, s.describe())
        self.assertEqual(lines[lines.index(error) + 1], "Multisample mode -1")
        self.assertEqual(s.settings_file()[("SYSTEM", "FSAAmode")], "0")  # saved at once
        self.end_with_key(s)
        self.assertEqual(s.settings_file()[("SYSTEM", "FSAAmode")], "0")


if __name__ == "__main__":
    unittest.main()
