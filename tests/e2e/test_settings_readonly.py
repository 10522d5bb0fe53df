"""A settings file the user made read-only keeps its bytes, mode and folder
through the start with /a and through a whole run ended by a key, start
after start; a writable one is updated as before. Root writes any file (Wine
run by root too), so as root both builds run as the ordinary user nobody,
the Windows one in a Wine prefix of nobody's own; an ordinary user runs
them as itself.
"""
import atexit
import os
import shutil
import subprocess
import sys
import threading
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "servers"))
import harness  # noqa: E402
import netrun  # noqa: E402
import peers  # noqa: E402
from window_session import xdotool  # noqa: E402

NOBODY = 65534
AS_NOBODY = ["setpriv", "--reuid=%d" % NOBODY, "--regid=%d" % NOBODY, "--clear-groups"]
MINE = b"; set by hand\r\n[SYSTEM]\r\nFont=MyFont\r\nLastNum=42\r\nAutoUpdate=0\r\nLog=0\r\n"


_home = None


def give_to_user(path):
    """Makes a path the user's the programs run as: nobody's as root, and an
    ordinary user's already."""
    if os.geteuid() == 0:
        os.chown(path, NOBODY, NOBODY)


def setUpModule():
    netrun.forget_proxy_variables()


def tearDownModule():
    if _home is not None:
        _home.cleanup()


def nobody_home():
    """A home folder of the user's for the whole module (nobody's Wine prefix too)."""
    global _home
    if _home is None:
        _home = harness.DataDir(prefix="lumi-e2e-nobody-")
        give_to_user(_home.path)
        os.chmod(_home.path, 0o755)
    return _home.path


class NobodyPrefix(harness.WinePrefix):
    """A Wine prefix that nobody owns and runs: Wine refuses a prefix of
    another user's."""

    def __init__(self, loader):
        harness.WinePrefix.__init__(self, os.path.join(nobody_home(), "wineprefix"), loader)
        self._ready = False

    def env(self, extra=None):
        e = harness.WinePrefix.env(self, extra)
        e["HOME"] = nobody_home()
        return e

    def wine(self, *args):
        return AS_NOBODY + harness.WinePrefix.wine(self, *args)

    def ensure(self):
        if not self._ready:
            r = harness.run_process(self.wine("wineboot", "-i"), self.env(), timeout=900)
            harness.run_process(AS_NOBODY + ["wineserver", "-w"], self.env(), timeout=900)
            if r.returncode != 0 or r.timed_out:
                raise RuntimeError("wineboot as nobody failed:\n" + r.describe())
            self._ready = True
            atexit.register(self.close)
        return self

    def close(self):
        if self._ready:
            harness.run_process(AS_NOBODY + ["wineserver", "-k"], self.env(), timeout=60)
            self._ready = False


class NobodyNative(harness.NativeBuild):
    name = "native"

    def __init__(self, build):
        harness.NativeBuild.__init__(self, AS_NOBODY[0])
        self.program = build.binary

    def run(self, args, **kw):
        return harness.NativeBuild.run(self, AS_NOBODY[1:] + [self.program] + list(args), **kw)


class NobodyWindows(harness.Build):
    name = "win32"

    def __init__(self, build):
        harness.Build.__init__(self, build.binary)
        self.prefix = NobodyPrefix(harness.wine_prefix(build.binary).loader)

    def run(self, args, program_dir=None, data_dir=None, timeout=None, env=None, cwd=None, dismiss=()):
        self.prefix.set_program_values(program_dir, data_dir)
        return harness.run_process(self.prefix.wine(self.binary, *args), self.prefix.env(env),
                                   cwd=cwd or program_dir or data_dir, timeout=timeout or 300)


_runners = {}


class ReadOnlySettings(unittest.TestCase):
    def folder(self):
        d = harness.DataDir()
        self.addCleanup(d.cleanup)
        give_to_user(d.path)
        os.chmod(d.path, 0o755)
        return d

    def user_build(self, build):
        if os.geteuid() != 0:
            return build
        if not shutil.which(AS_NOBODY[0]):
            self.fail("setpriv (util-linux) is needed to run the program as an ordinary user")
        if build.binary not in _runners:
            _runners[build.binary] = (NobodyNative if build.name == "native" else NobodyWindows)(build)
        return _runners[build.binary]

    def env(self):
        # No network: the first run's connection probe finds nothing listening.
        return {"HOME": nobody_home(), "LUMISAVER_PROBE_HOST": "127.0.0.1:%d" % peers.closed_port()}

    def settings_folder(self, mode):
        d = self.folder()
        path = d.file("main.ini")
        with open(path, "wb") as f:
            f.write(MINE)
        give_to_user(path)
        os.chmod(path, mode)
        return d

    def run_to_key(self, build, d):
        s = netrun.Session(build, d.path, self.env(), settle=0.5).run()
        r = s.result
        self.assertFalse(r.timed_out, r.describe())
        self.assertEqual(r.returncode, 0, r.describe())
        self.assertTrue(s.drawn, "nothing was drawn\n" + r.describe())
        self.assertIsNotNone(s.key_at, "the run ended before the key\n" + r.describe())

    def assert_untouched(self, d, what):
        path = d.file("main.ini")
        with open(path, "rb") as f:
            self.assertEqual(f.read(), MINE, what)
        self.assertEqual(os.stat(path).st_mode & 0o7777, 0o444, what)
        self.assertEqual(d.listing(), ["main.ini"], what + ": files left beside it")

    @harness.both_builds
    def test_read_only_file_keeps_its_bytes(self, build):
        runner = self.user_build(build)
        d = self.settings_folder(0o444)
        # It counts as absent, so every start takes the first-run path; none
        # of them may write the first-run values over it.
        for start in (1, 2):
            r = runner.run(["/a"], program_dir=d.path, data_dir=d.path, env=self.env(), timeout=200)
            self.assertFalse(r.timed_out, r.describe())
            self.assertEqual(r.returncode, 0, r.describe())
            self.assert_untouched(d, "/a, start %d" % start)
        self.run_to_key(runner, d)
        self.assert_untouched(d, "a run ended by a key")

    @harness.both_builds
    def test_writable_file_is_updated(self, build):
        runner = self.user_build(build)
        d = self.settings_folder(0o644)
        self.run_to_key(runner, d)
        saved = harness.ini_dict(harness.read_ini(d.file("main.ini")))
        self.assertEqual(saved[("SYSTEM", "Font")], "MyFont")
        self.assertEqual(saved[("SYSTEM", "LastNum")], "42")
        self.assertEqual(saved[("SYSTEM", "FSAAmode")], "0", "the end of the run wrote every key")
        self.assertEqual(saved[("DATA", "UseLocal")], "-1")

    def test_settings_dialog_over_a_read_only_file_can_be_closed(self):
        runner = self.user_build(harness.windows_build(self))
        d = self.settings_folder(0o444)

        def press(keys):
            deadline, found = time.monotonic() + 30, []
            while time.monotonic() < deadline and not found:
                found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "Lumiscript"],
                                       env=dict(os.environ, DISPLAY=harness.display()), stdout=subprocess.PIPE,
                                       stderr=subprocess.DEVNULL, timeout=30).stdout.split()
                time.sleep(0.3)
            if found:
                time.sleep(0.5)
                xdotool("windowfocus", "--sync", found[0].decode())
                for key in keys:
                    xdotool("key", key)
                    time.sleep(1.0)

        # An unchanged OK closes; a change is said once not to be saved (the
        # box taken with Return), and the next OK closes.
        for keys in (["Return"], ["Down", "Return", "Return", "Return"]):
            with self.subTest(keys=keys):
                keyboard = threading.Thread(target=press, args=(keys,))
                keyboard.start()
                r = runner.run(["/c"], program_dir=d.path, data_dir=d.path, env=self.env(), timeout=60)
                keyboard.join()
                self.assertFalse(r.timed_out, "the dialog did not close\n" + r.describe())
                self.assertEqual(r.returncode, 0, r.describe())
                self.assert_untouched(d, "/c with %s" % " ".join(keys))


if __name__ == "__main__":
    unittest.main()
