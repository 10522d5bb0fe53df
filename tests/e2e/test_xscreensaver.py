"""The installed program under Debian's xscreensaver daemon, as a user has
it: the daemon runs as an ordinary user (it starts no hack as root) whose
.xscreensaver names only the installed lumisaver. Activation starts it
with --root in the daemon's window; deactivation ends it with SIGTERM, and
it saves the entry that was on screen."""

import contextlib
import os
import shutil
import subprocess
import tempfile
import time
import unittest

import harness
import installed
from test_snapshot import Picture, amber, box
from window_session import settings, write_settings

NOBODY = 65534
AS_NOBODY = ["setpriv", "--reuid=%d" % NOBODY, "--regid=%d" % NOBODY, "--clear-groups"]
SIZE = (1280, 720)
ENTRY = 41  # position in the catalogue: entry 42, whose text line starts far left of entry 1's

DOT_XSCREENSAVER = """mode:		one
selected:	0
timeout:	0:30:00
lock:		False
fade:		False
unfade:		False
splash:		False
dpmsEnabled:	False
programs:	\\
  GL: "Lumiscript"  %s --root \\n\\

"""


def give_to_nobody(path):
    for folder, dirs, files in os.walk(path):
        for name in [folder] + [os.path.join(folder, n) for n in dirs + files]:
            os.chown(name, NOBODY, NOBODY)


def parts(pic):
    """(pixels of the model, box of the amber text): the model fills the
    middle, the text line sits in the lowest quarter."""
    split = pic.height * 3 // 4
    model = pic.where(lambda r, g, b: r + g + b > 60)
    text = [p for p in pic.where(amber) if p[1] >= split]
    return len([p for p in model if p[1] < split]), (box(text) if len(text) > 200 else None)


class XScreenSaverDaemon(unittest.TestCase):
    def setUp(self):
        for tool in ("xscreensaver", "xscreensaver-command", "setpriv", "import"):
            self.assertTrue(shutil.which(tool), "%s is not installed (scripts/deps)" % tool)
        self.tree = installed.Prefix()
        self.addCleanup(self.tree.cleanup)
        self.hack = self.tree.path(installed.HACK)
        self.home = tempfile.mkdtemp(prefix="lumi-nobody-")
        self.addCleanup(shutil.rmtree, self.home, True)
        os.chmod(self.home, 0o755)
        with open(os.path.join(self.home, ".xscreensaver"), "w") as f:
            f.write(DOT_XSCREENSAVER % self.hack)
        self.folder = os.path.join(self.home, ".config", "lumiscript")
        os.makedirs(self.folder)
        seeded = settings(LastNum=ENTRY, AutoUpdate=0, FSAAmode=0)
        del seeded[("SYSTEM", "DisplayAll")]  # a save writes it back
        write_settings(os.path.join(self.folder, "main.ini"), seeded)
        give_to_nobody(self.home)
        self.xvfb = harness.Xvfb("%dx%dx24" % SIZE).start()
        self.addCleanup(self.xvfb.stop)
        self.env = {"HOME": self.home, "DISPLAY": self.xvfb.display, "PATH": os.environ["PATH"],
                    "LANG": "C.UTF-8"}
        self.daemon_log = tempfile.TemporaryFile()
        self.addCleanup(self.daemon_log.close)
        self.daemon = subprocess.Popen(AS_NOBODY + ["xscreensaver", "-no-splash", "-verbose"], env=self.env,
                                       cwd=self.home, stdin=subprocess.DEVNULL, stdout=self.daemon_log,
                                       stderr=subprocess.STDOUT, start_new_session=True)
        self.addCleanup(self.stop_daemon)

    def stop_daemon(self):
        harness.stop_process(self.daemon)
        with contextlib.suppress(ProcessLookupError, PermissionError):
            os.killpg(self.daemon.pid, 9)  # what it started, the hack included

    def command(self, *args):
        return subprocess.run(AS_NOBODY + ["xscreensaver-command"] + list(args), env=self.env,
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=30)

    def describe(self):
        self.daemon_log.seek(0)
        log = os.path.join(self.folder, "log.txt")
        lines = harness.log_lines(log)[-20:] if os.path.exists(log) else []
        return "--- daemon\n%s\n--- log.txt\n%s" % (self.daemon_log.read().decode("utf-8", "replace")[-3000:],
                                                      "\n".join(lines))

    def screenshot(self, name):
        path = os.path.join(self.home, name)
        subprocess.run(["import", "-display", self.xvfb.display, "-window", "root", "PNG24:" + path],
                       check=True, timeout=60, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return Picture(path)

    def ours(self):
        """Pids of the installed program's processes."""
        pids = []
        for pid in filter(str.isdigit, os.listdir("/proc")):
            with contextlib.suppress(OSError):
                if os.readlink("/proc/%s/exe" % pid) == self.hack:
                    pids.append(int(pid))
        return pids

    def test_activation_shows_the_installed_program_and_deactivation_saves_it(self):
        deadline = time.monotonic() + 30
        while self.command("-time").returncode != 0:
            self.assertLess(time.monotonic(), deadline, "the daemon does not answer\n" + self.describe())
            time.sleep(0.5)

        self.assertEqual(self.command("-activate").returncode, 0, self.describe())
        started = time.monotonic()
        seen = None
        while time.monotonic() - started < 10 and seen is None:
            model, text = parts(self.screenshot("on.png"))
            if model > 20000 and text is not None:
                seen = text
            else:
                time.sleep(0.3)
        self.assertIsNotNone(seen, "no model and amber text within 10 s\n" + self.describe())
        running = self.ours()
        self.assertEqual(len(running), 1, self.describe())
        with open("/proc/%d/status" % running[0]) as f:
            self.assertRegex(f.read(), r"\nUid:\s+%d\s" % NOBODY)

        # The entry on screen is the stored one: its text line starts where a
        # picture of that entry has it (the line is centred on its full width).
        reference = installed.snapshot(self.hack, os.path.join(self.home, "entry.png"),
                                       dict(os.environ, LUMISAVER_APPDATA_DIR=self.folder),
                                       "--entry", str(ENTRY), "--at", "3")
        self.assertLessEqual(abs(seen[0] - parts(reference)[1][0]), 4, (seen, parts(reference)))

        self.assertEqual(self.command("-deactivate").returncode, 0, self.describe())
        deadline = time.monotonic() + 10
        while running[0] in self.ours() and time.monotonic() < deadline:
            time.sleep(0.2)
        self.assertNotIn(running[0], self.ours(), "still running after -deactivate\n" + self.describe())
        self.daemon_log.seek(0)
        self.assertIn("killing pid %d" % running[0], self.daemon_log.read().decode("utf-8", "replace"))
        saved = harness.ini_dict(harness.read_ini(os.path.join(self.folder, "main.ini")))
        self.assertEqual(saved[("SYSTEM", "LastNum")], str(ENTRY), self.describe())
        self.assertEqual(saved.get(("SYSTEM", "DisplayAll")), "0", "the run did not save\n" + self.describe())
        self.assertEqual(sorted(os.listdir(self.folder)), ["log.txt", "main.ini"])


if __name__ == "__main__":
    unittest.main()
