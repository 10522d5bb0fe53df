"""The idle watcher, lumisaver -watch: under headless mutter (GNOME's idle
monitor, a key through RemoteDesktop, an idle inhibitor), headless KWin
(ext-idle-notify), sway 1.7 (no idle source); and its autostart entry."""

import os
import re
import shutil
import signal
import subprocess
import tempfile
import time
import unittest

import harness
from test_monitors import first_entry
from wayland_session import KWin, Mutter, Sway
from window_session import READY, settings

IDLE = 3  # the watcher's time in these tests, seconds


class Watcher:
    """lumisaver -watch IDLE under a compositor, its shows' log and settings in a folder of its own."""

    def __init__(self, compositor):
        self.data, self.program = harness.DataDir(), harness.DataDir(prefix="lumi-e2e-content-")
        harness.write_settings(self.data.file("main.ini"), settings(LastNum=0))
        for name, content in first_entry().items():
            self.program.write(name, content, "wb")
        self.errors = tempfile.TemporaryFile()
        self.env = compositor.env(LUMISAVER_APPDATA_DIR=self.data.path, LUMISAVER_PROGRAM_DIR=self.program.path)
        self.proc = subprocess.Popen([harness.native_binary(), "-watch", str(IDLE)], env=self.env,
                                     stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=self.errors,
                                     start_new_session=True)
        self.started = time.monotonic()

    def shows(self):
        """The shows running now (the watcher's children)."""
        try:
            with open("/proc/%d/task/%d/children" % (self.proc.pid, self.proc.pid)) as f:
                return [int(pid) for pid in f.read().split()]
        except FileNotFoundError:
            return []

    def drawn(self):
        """How many shows have drawn so far."""
        try:
            return sum(1 for line in harness.log_lines(self.data.file("log.txt")) if READY.search(line))
        except (FileNotFoundError, AssertionError):
            return 0

    def wait(self, condition, within):
        deadline = time.monotonic() + within
        while time.monotonic() < deadline:
            if condition():
                return True
            time.sleep(0.1)
        return condition()

    def stderr(self):
        # Read to the end: the watcher writes at the offset this file shares with it.
        self.errors.seek(0)
        return self.errors.read().decode("utf-8", "replace")

    def describe(self):
        return "watcher rc=%r\n--- stderr\n%s" % (self.proc.poll(), self.stderr())

    def close(self):
        for pid in self.shows() + [self.proc.pid]:
            try:
                os.kill(pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
        self.proc.wait()
        self.errors.close()
        self.data.cleanup()
        self.program.cleanup()


def alive(pid):
    try:
        with open("/proc/%d/stat" % pid) as f:
            return f.read().split(")")[-1].split()[0] != "Z"
    except FileNotFoundError:
        return False


class WatchTest(unittest.TestCase):

    def compositor(self, kind, **kw):
        try:
            c = kind(**kw)
        except (RuntimeError, subprocess.CalledProcessError) as e:
            raise AssertionError("headless %s: %s" % (kind.__name__, e))
        self.addCleanup(c.close)
        return c

    def watcher(self, compositor):
        w = Watcher(compositor)
        self.addCleanup(w.close)
        return w

    def assert_show_starts(self, w, count, since, compositor):
        """The count-th show draws no sooner than IDLE - 1 s after `since` and within IDLE + 3 s."""
        self.assertTrue(w.wait(lambda: w.drawn() >= count, since + IDLE + 3 - time.monotonic()),
                        "no show %d within %d s\n%s\n--- compositor\n%s" % (count, IDLE + 3, w.describe(),
                                                                             compositor.describe()))
        self.assertGreaterEqual(time.monotonic() - since, IDLE - 1, "the show came before the idle time")


class OnMutter(WatchTest):

    def test_idle_starts_the_show_a_key_ends_it_saving_the_settings_and_idle_starts_it_again(self):
        mutter = self.compositor(Mutter)
        remote = mutter.helper("remote_desktop.py")
        mutter.ask(remote, "nudge")
        nudged = time.monotonic()
        w = self.watcher(mutter)
        self.assert_show_starts(w, 1, nudged, mutter)
        self.assertEqual(len(w.shows()), 1, w.describe())
        w.data.write("main.ini", "")
        time.sleep(1)  # mutter gives the focus once the window is mapped, after its first frame
        mutter.ask(remote, "key 0x61")
        pressed = time.monotonic()
        self.assertTrue(w.wait(lambda: not w.shows(), 3), "the key did not end the show\n" + w.describe())
        self.assertEqual(harness.ini_dict(harness.read_ini(w.data.file("main.ini"))).get(("SYSTEM", "LastNum")), "0",
                         "the show did not save its settings")
        self.assert_show_starts(w, 2, pressed, mutter)
        self.assertIsNone(w.proc.poll(), w.describe())

    def test_an_idle_inhibitor_keeps_the_show_from_starting(self):
        mutter = self.compositor(Mutter, session_manager=True)
        mutter.ask(mutter.session_manager, "inhibit 8")  # GSM_INHIBITOR_FLAG_IDLE, as a video player asks
        w = self.watcher(mutter)
        time.sleep(10)
        self.assertEqual((w.shows(), w.drawn()), ([], 0), "a show started though idle was inhibited")
        mutter.ask(mutter.session_manager, "uninhibit")
        self.assert_show_starts(w, 1, time.monotonic(), mutter)


class OnKWin(WatchTest):

    def test_ext_idle_starts_the_show_one_watcher_per_session_and_sigterm_ends_both(self):
        kwin = self.compositor(KWin)
        w = self.watcher(kwin)
        # It says so once it holds the session's lock.
        self.assertTrue(w.wait(lambda: "watching" in w.stderr(), 5), w.describe())
        second = harness.run_process([harness.native_binary(), "-watch", str(IDLE)], w.env, timeout=5)
        self.assertEqual(second.returncode, 0, second.describe())
        self.assertIn("a watcher runs already", second.stderr)
        self.assert_show_starts(w, 1, w.started, kwin)
        processes = [w.proc.pid] + w.shows()
        self.assertEqual(len(processes), 2, w.describe())
        w.proc.send_signal(signal.SIGTERM)
        self.assertEqual(w.proc.wait(3), 0, w.describe())
        self.assertTrue(w.wait(lambda: not any(alive(pid) for pid in processes), 3), "a show outlived its watcher")


class Elsewhere(unittest.TestCase):

    def test_sway_1_7_has_no_idle_source_and_the_watcher_says_what_works_there(self):
        try:
            sway = Sway(outputs=1)
        except (RuntimeError, subprocess.CalledProcessError) as e:
            raise AssertionError("headless sway: %s" % e)
        self.addCleanup(sway.close)
        r = harness.run_process([harness.native_binary(), "-watch", str(IDLE)], sway.env(), timeout=10)
        self.assertEqual(r.returncode, 2, r.describe())
        self.assertIn("swayidle", r.stderr)
        self.assertIn("xscreensaver", r.stderr)

    def test_autostart_writes_a_valid_entry_and_off_leaves_the_folder_as_it_was(self):
        home = harness.DataDir(prefix="lumi-e2e-home-")
        self.addCleanup(home.cleanup)
        env = dict(os.environ, HOME=home.path)
        env.pop("XDG_CONFIG_HOME", None)
        folder = os.path.join(home.path, ".config", "autostart")
        entry = os.path.join(folder, "lumiscript.desktop")
        # A program off PATH is named in full, quoted where its folder's name needs it.
        odd = os.path.join(home.path, "a $folder")
        os.makedirs(odd)
        shutil.copy(harness.native_binary(), odd)
        plain = r"\S*lumisaver -watch 300"
        for program, others, exec_line in (
                (os.path.join(odd, "lumisaver"), None, r'"\S*/a \\\\\$folder/lumisaver" -watch 300'),
                (harness.native_binary(), None, plain), (harness.native_binary(), ["mail.desktop"], plain)):
            with self.subTest(program=program, folder_before=others):
                if others is not None:
                    os.makedirs(folder, exist_ok=True)
                    for name in others:
                        open(os.path.join(folder, name), "w").close()
                on = harness.run_process([program, "-autostart", "300"], env, timeout=10)
                self.assertEqual(on.returncode, 0, on.describe())
                self.assertIn(entry, on.stdout)
                with open(entry) as f:
                    self.assertRegex(f.read(), re.compile("^Exec=%s$" % exec_line, re.M))
                check = subprocess.run(["desktop-file-validate", entry], stdout=subprocess.PIPE,
                                       stderr=subprocess.STDOUT, timeout=10)
                self.assertEqual((check.returncode, check.stdout), (0, b""), check.stdout)
                off = harness.run_process([harness.native_binary(), "-autostart", "off"], env, timeout=10)
                self.assertEqual(off.returncode, 0, off.describe())
                self.assertEqual(sorted(os.listdir(folder)) if os.path.isdir(folder) else None, others)


if __name__ == "__main__":
    unittest.main()
