"""FSAAmode: the multisampled window that replaces the first one, and the
setting turned off for good when the driver lacks the extension. Xvfb's GLX
(Mesa llvmpipe) offers 4-sample configurations.

llvmpipe renders in software, where the Linux program leaves the setting's
multisampling off unless -fsaa asks for it for the run; a hardware driver's
name, given through the test hook, takes the hardware path."""

import os
import re
import subprocess
import time
import unittest

import harness
from window_session import Session, drawing_window, settings, top_level_windows, window_visual, xdotool

# Stands in for the driver's extension list (test hook): longer names that
# contain the real ones, which the whole-word search must reject.
NO_EXTENSION = "WGL_ARB_multisample_ext GLX_ARB_multisample_ext WGL_ARB_pixel_format"
# Stands in for a hardware driver's GL_RENDERER (test hook of the Linux program).
HARDWARE = {"LUMISAVER_TEST_GL_RENDERER": "AMD Radeon RX 580 Series (polaris10, LLVM 15.0.6, DRM 3.49)"}
SOFTWARE_OFF = "Multisampling off: rendering in software"


def visual_samples(visual_id):
    """Samples of the GLX visual with this id (0 without multisampling)."""
    listing = subprocess.run(["glxinfo", "-v", "-display", harness.display()], stdout=subprocess.PIPE,
                             stderr=subprocess.DEVNULL, timeout=120, check=True).stdout.decode()
    m = re.search(r"^Visual ID: %x\b[^V]*?multiSample=(\d+)" % visual_id, listing, re.M)
    assert m, "visual 0x%x is not in glxinfo's list" % visual_id
    return int(m.group(1))


def fbconfig(config_id):
    """(visual id, samples) of a GLX framebuffer configuration."""
    listing = subprocess.run(["glxinfo", "-v", "-display", harness.display()], stdout=subprocess.PIPE,
                             stderr=subprocess.DEVNULL, timeout=120, check=True).stdout.decode()
    m = re.search(r"^FBConfig ID: %x\s+Visual ID=([0-9a-f]+)[^F]*?multiSample=(\d+)" % config_id, listing, re.M)
    return int(m.group(1), 16), int(m.group(2))


class Multisampling(unittest.TestCase):

    def native_build(self):
        build = harness.NativeBuild(harness.native_binary())
        ok, reason = build.available()
        self.assertTrue(ok, "these checks need the native build: %s" % reason)
        return build

    def run_until_ready(self, build, fsaa, env=None, args=()):
        s = Session(build, args=args, ini=settings(FSAAmode=fsaa), env=env)
        self.addCleanup(s.close)
        self.assertTrue(s.wait_ready(), s.describe())
        return s

    def end_with_key(self, s):
        s.clear_settings()
        xdotool("key", "Escape")
        self.assertEqual(s.finish(), 0, s.describe())

    def assert_multisampled_window(self, s, build, before, samples_at_least):
        found = [int(line.split()[-1]) for line in s.log() if line.startswith("Multisample mode ")]
        self.assertEqual(len(found), 1, s.describe())
        self.assertNotEqual(found[0], -1, s.describe())
        self.assertNotIn(SOFTWARE_OFF, s.log())
        time.sleep(1.0)
        self.assertTrue(s.alive(), "the first window's destroy ended the run\n" + s.describe())
        if build.name == "native":
            # One full-screen window, with the chosen configuration's visual.
            visual, samples = fbconfig(found[0])
            self.assertEqual(window_visual(drawing_window(before, (1920, 1080))), visual)
            self.assertGreaterEqual(samples, samples_at_least)

    @harness.both_builds
    def test_fsaa_mode_4_runs_in_the_recreated_multisampled_window(self, build):
        before = top_level_windows()
        s = self.run_until_ready(build, 4, env=HARDWARE if build.name == "native" else None)
        self.assert_multisampled_window(s, build, before, 4)
        if build.name == "native":
            self.assertIn("Hardware rendering", s.log())
        self.end_with_key(s)
        self.assertEqual(s.settings_file()[("SYSTEM", "FSAAmode")], "4")

    def test_native_software_rendering_leaves_the_setting_off_for_the_run(self):
        build = self.native_build()
        before = top_level_windows()
        s = self.run_until_ready(build, 3)
        lines = s.log()
        self.assertEqual(lines.count(SOFTWARE_OFF), 1, s.describe())
        self.assertNotIn("No multisampling", lines)
        self.assertFalse([line for line in lines if line.startswith(("Multisample mode", "InitMultisample"))],
                         s.describe())
        self.assertIn("Software rendering", lines)
        # The first window stays, with a visual of no samples.
        self.assertEqual(visual_samples(window_visual(drawing_window(before, (1920, 1080)))), 0)
        # The user's count is kept.
        self.end_with_key(s)
        self.assertEqual(s.settings_file()[("SYSTEM", "FSAAmode")], "3")

    def test_native_fsaa_option_multisamples_in_software_for_that_run_only(self):
        build = self.native_build()
        for spelling in ("-fsaa", "--fsaa"):
            with self.subTest(spelling=spelling):
                before = top_level_windows()
                s = self.run_until_ready(build, 3, args=[spelling, "4"])
                self.assert_multisampled_window(s, build, before, 4)
                self.assertIn("Software rendering", s.log())
                self.end_with_key(s)
                self.assertEqual(s.settings_file()[("SYSTEM", "FSAAmode")], "3")
        # Asked for none, the run has none, whatever the setting says.
        s = self.run_until_ready(build, 3, args=["-fsaa", "0"], env=HARDWARE)
        self.assertEqual(s.log().count("No multisampling"), 1, s.describe())
        self.end_with_key(s)
        self.assertEqual(s.settings_file()[("SYSTEM", "FSAAmode")], "3")

    def test_native_bad_fsaa_value_is_a_one_line_error(self):
        build = self.native_build()
        env = dict(os.environ, DISPLAY=harness.display())
        for args in (["-fsaa"], ["-fsaa", "x"], ["-fsaa", "-1"], ["--fsaa", "65"], ["-fsaa", "4k"]):
            proc = subprocess.run([build.binary] + args, env=env, capture_output=True, text=True, timeout=30)
            self.assertEqual(proc.returncode, 2, args)
            self.assertIn("-fsaa needs a sample count", proc.stderr, args)

    @harness.both_builds
    def test_fsaa_mode_0_asks_for_none(self, build):
        s = self.run_until_ready(build, 0)
        lines = s.log()
        self.assertEqual(lines.count("No multisampling"), 1, s.describe())
        self.assertFalse([line for line in lines if line.startswith("Multisample mode")], s.describe())
        self.end_with_key(s)

    @harness.both_builds
    def test_missing_extension_turns_the_setting_off_for_good(self, build):
        env = {"LUMISAVER_TEST_GL_EXTENSIONS": NO_EXTENSION}
        if build.name == "native":
            env.update(HARDWARE)
        s = self.run_until_ready(build, 4, env=env)
        lines = s.log()
        error = "InitMultisample 4 error: WGL_ARB_multisample not supported"
        self.assertIn(error, lines, s.describe())
        self.assertEqual(lines[lines.index(error) + 1], "Multisample mode -1")
        self.assertEqual(s.settings_file()[("SYSTEM", "FSAAmode")], "0")  # saved at once
        self.end_with_key(s)
        self.assertEqual(s.settings_file()[("SYSTEM", "FSAAmode")], "0")


if __name__ == "__main__":
    unittest.main()
