"""Shared end-to-end harness: runs the real programs, the native one directly
and the Windows one under Wine, on a virtual X display.

Typical use::

    import harness

    class StartupTest(unittest.TestCase):
        @harness.both_builds
        def test_first_run(self, build):
            with harness.DataDir() as d:
                r = build.run(["/a"], program_dir=d.path)
                self.assertEqual(r.returncode, 0, r.describe())
                ini = harness.read_ini(d.file("main.ini"))

Environment (set by ctest): LUMI_NATIVE, LUMI_WIN32, LUMI_BUILD, LUMI_SOURCE;
optional LUMI_WIN64 (an x86-64 build of the Windows program) and
LUMI_WINEPREFIX (the prefix of this test process: ctest gives each test file
its own, copied from the tree's, so that test files run side by side).

One Xvfb server (1920x1080x24, with GLX) serves the whole test process and
stops at its exit; two_monitor_display() starts, on first use, an Xorg with
two monitors side by side (see xorg.py). One Wine prefix per build tree ($LUMI_BUILD/wineprefix,
wineprefix64 for 64-bit programs) is created on first use (the preflight makes it); a test
process with LUMI_WINEPREFIX of its own starts from a copy of it and removes the copy at its
exit. An exclusive lock file beside a prefix is held for the life of the process using it, so
runs that share one wait for each other instead of racing on the prefix or its registry.

Where the kernel cannot run 32-bit programs (ia32 emulation off), Wine's
32-bit loader does not start at all. The win32 build is then replaced by an
x86-64 build of the same source run with wine64 (LUMI_WIN64 or
build/win64/lumisaver.scr), with a loud note. That is the only substitution:
a missing Xvfb, Wine, Windows build or OpenGL under Wine fails the tests
with one line saying what is missing, never skips them. Before a Windows
build is used, one run of it must report a GL renderer.

`python3 -m harness preflight` (from tests/e2e) runs those checks once and says which Windows
program the tests will run.

Message boxes under Wine are modal: pass dismiss=["Error"] to Build.run to
have them answered with Enter (Result.dismissed lists what was seen).
"""


from .builds import (Build, NativeBuild, Win32Build, all_builds, both_builds, gl_check, windows_build,  # noqa: F401
                     preflight)
from .files import (DataDir, decode_ini, ini_dict, log_lines, parse_ini, read_ini,  # noqa: F401
                    read_log, read_log_bytes, settings, write_settings)
from .paths import (BUILD, HERE, PROGRAM_KEY, SOURCE, WINE_ENV, loud, native_binary,  # noqa: F401
                    tool_binary, win32_binary, win64_binary)
from .process import Result, run_process, stop_process  # noqa: F401
from .wine import WinePrefix, pe_machine, to_windows_path, wine_prefix  # noqa: F401
from .xdisplay import Xvfb, dismiss_watcher, display, find_windows  # noqa: F401
from .xorg import two_monitor_display  # noqa: F401
