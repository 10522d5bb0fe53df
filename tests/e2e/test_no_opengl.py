"""A machine whose OpenGL is missing or broken: the program says so in its
log, draws nothing and still ends on input; it never crashes. The Windows
build loses OpenGL through a junk libGL.so.1 first on Wine's library path;
the native build through a virtual screen without the GLX extension."""

import os
import re
import subprocess
import time
import unittest

import harness
from test_snapshot import diamond_3ds, plain_bmp
from window_session import Session, settings


class WithoutOpenGL(unittest.TestCase):

    def run_without_gl(self, build, env, display):
        """A run with the entry's model and bitmap in place (loading them
        without a context is what crashed): it logs the failure, stays up
        drawing nothing, ends on a key and keeps the multisample setting."""
        s = Session(build, ini=settings(FSAAmode=3, LastNum=0), env=env,
                    program_files={"01.bin": diamond_3ds(), "01.bmp": plain_bmp((255, 0, 0))})
        self.addCleanup(s.close)
        self.assertTrue(s.wait_for_log(re.compile(r"No OpenGL context: nothing is drawn$"), 90), s.describe())
        time.sleep(3.0)  # the crash came about half a second after the start
        self.assertTrue(s.alive(), "the run ended without input\n" + s.describe())
        subprocess.run(["xdotool", "key", "a"], env=dict(os.environ, DISPLAY=display), check=True, timeout=30)
        self.assertEqual(s.finish(30), 0, s.describe())
        details = s.describe()
        self.assertNotIn("Unhandled exception", details)
        self.assertTrue(any(line.startswith("EnableOpenGL 0: ") for line in s.log()), details)
        # A broken driver must not switch multisampling off for good.
        self.assertEqual(s.settings_file().get(("SYSTEM", "FSAAmode")), "3", details)
        self.assertNotIn("Multisample mode -1", s.log())
        return details

    def test_windows_build_without_libgl_or_without_its_driver(self):
        build = harness.windows_build(self)
        junk = harness.DataDir(prefix="lumi-junk-gl-")
        self.addCleanup(junk.cleanup)
        junk.write("libGL.so.1", "not a library\n")
        for env, sign in (({"LD_LIBRARY_PATH": junk.path}, "Failed to load libGL"),
                          ({"LIBGL_DRIVERS_PATH": junk.path}, "failed to load driver")):
            with self.subTest(env=env):
                details = self.run_without_gl(build, dict(env, WINEDEBUG="err+wgl"), harness.display())
                self.assertIn(sign, details, "OpenGL was not taken away")

    def test_native_build_on_a_screen_without_glx(self):
        build = harness.NativeBuild(harness.native_binary())
        ok, reason = build.available()
        if not ok:
            self.fail("native build unavailable: " + reason)
        screen = harness.Xvfb(extensions=("-extension", "GLX")).start()
        self.addCleanup(screen.stop)
        self.run_without_gl(build, {"DISPLAY": screen.display}, screen.display)


if __name__ == "__main__":
    unittest.main()
