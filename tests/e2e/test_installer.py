"""The Windows setup program, in a Wine prefix of its own made for the test:
a silent install puts the .scr in the system folder of its word size, the
content in Program Files, the registry values and the uninstall entry in
place; the installed screensaver, started from the system folder by an
account without a program key of its own, shows entry 1 and keeps its
settings and log in that account's application data; a setup while it
runs sets the running file aside; a silent uninstall leaves nothing of the program behind,
keeps the user's settings and log, and gives back the screensaver that was
current before."""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "servers"))
import harness  # noqa: E402
from peers import closed_port  # noqa: E402
from test_content import CONTENT_DIRS  # noqa: E402
from test_sequence import SCREEN, count  # noqa: E402
from test_snapshot import amber  # noqa: E402
from window_session import screen_pixels, xdotool  # noqa: E402

UNINSTALL_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Lumiscript"
DESKTOP_KEY = r"HKCU\Control Panel\Desktop"
I386, AMD64 = 0x14C, 0x8664


def project_version():
    with open(os.path.join(harness.SOURCE, "CMakeLists.txt"), encoding="utf-8") as f:
        return re.search(r"project\(lumiscript VERSION ([0-9.]+)", f.read()).group(1)


def content_names():
    return {"%02d.%s" % (n, ext) for n in range(1, 101) for ext in ("bin", "bmp")}


def lit(r, g, b):
    return max(r, g, b) >= 40


class Prefix:
    """A new prefix under a temporary folder, for the 32-bit setup where
    32-bit programs run, else (announced) for the x64 one under wine64."""

    def __init__(self):
        self.root = tempfile.mkdtemp(prefix="lumi-setup-")
        for binary, loader, machine in ((harness.win32_binary(), "wine", I386),
                                        (harness.win64_binary(), "/usr/lib/wine/wine64", AMD64)):
            self.wine = harness.WinePrefix(os.path.join(self.root, "prefix%x" % machine), loader)
            self.machine, self.build_dir = machine, os.path.dirname(binary)
            ok, reason = self.wine.usable()
            if ok:
                return
            if machine == I386:
                harness.loud("setup: 32-bit programs do not run here (%s); testing the x64 setup under"
                             " wine64 instead" % reason.splitlines()[0])
        shutil.rmtree(self.root, ignore_errors=True)
        raise AssertionError("Wine cannot run the setup program here: " + reason)

    def run(self, *argv, cwd=None, timeout=180, env=None):
        return harness.run_process(self.wine.wine(*argv), self.wine.env(env), cwd=cwd, timeout=timeout)

    def unix(self, windows_path):
        """The prefix's file for C:\\..., matching names without regard to case."""
        path = os.path.join(self.wine.path, "drive_c")
        drive, _, rest = windows_path.partition(":")
        assert drive.upper() == "C", windows_path
        for part in filter(None, rest.split("\\")):
            names = {n.lower(): n for n in os.listdir(path)} if os.path.isdir(path) else {}
            path = os.path.join(path, names.get(part.lower(), part))
        return path

    def reg_values(self, key, view=None):
        """{name: data} of a key, "" for the default value; None when the key is missing."""
        r = self.run("reg", "query", key, *(["/reg:%d" % view] if view else []), timeout=120)
        if r.returncode != 0:
            return None
        values = {}
        for line in r.stdout.splitlines():
            m = re.match(r"^    (.+?)    (REG_\w+)    ?(.*)$", line)
            if m:
                values["" if m.group(1) == "(Default)" else m.group(1)] = m.group(3)
        return values

    def close(self):
        self.wine.close()
        shutil.rmtree(self.root, ignore_errors=True)


class InstallerTest(unittest.TestCase):

    @staticmethod
    def wait_gone(*paths):
        """The uninstaller works from a copy of itself after the one started
        has ended: waits until its work shows."""
        deadline = time.monotonic() + 60
        while time.monotonic() < deadline and any(os.path.exists(path) for path in paths):
            time.sleep(0.5)
        time.sleep(1.0)

    def test_silent_install_run_and_uninstall_in_a_fresh_prefix(self):
        version = project_version()
        if not shutil.which("makensis"):
            self.fail("makensis is not installed (Debian package nsis; scripts/deps installs it)")
        p = Prefix()
        self.addCleanup(p.close)
        setup = os.path.join(p.build_dir, "lumiscript-setup-%s.exe" % version)
        self.assertTrue(os.path.isfile(setup), "no setup program at %s: build the Windows preset with makensis"
                        " present" % setup)
        self.assertEqual(harness.pe_machine(os.path.join(p.build_dir, "lumisaver.scr")), p.machine)
        wow64 = p.machine == I386 and os.path.isdir(p.unix(r"C:\windows\syswow64"))
        system_dir = r"C:\windows\SysWOW64" if wow64 else r"C:\windows\system32"
        program_dir = r"C:\Program Files (x86)\Lumiscript" if wow64 else r"C:\Program Files\Lumiscript"
        scr = system_dir + r"\lumisaver.scr"

        # A screensaver that was current before: the uninstall must give it back.
        other = r"C:\windows\system32\other.scr"
        shutil.copy(p.unix(r"C:\windows\system32\notepad.exe"), p.unix(other))
        p.wine.reg_add(DESKTOP_KEY, "SCRNSAVE.EXE", other)

        r = p.run(setup, "/S", "/CURRENT")
        self.assertEqual(r.returncode, 0, r.describe())

        # The .scr in the system folder of its word size, only there.
        with open(p.unix(scr), "rb") as a, open(os.path.join(p.build_dir, "lumisaver.scr"), "rb") as b:
            self.assertTrue(a.read() == b.read(), "installed .scr differs from the build's")
        if wow64:
            self.assertFalse(os.path.exists(p.unix(r"C:\windows\system32\lumisaver.scr")),
                             "32-bit .scr in the 64-bit system folder")
        files = p.unix(program_dir)
        self.assertEqual(set(os.listdir(files)), content_names() | {"uninstall.exe"})
        content = CONTENT_DIRS["win32"]
        for name in ("01.bin", "01.bmp", "100.bin", "100.bmp"):
            with open(os.path.join(files, name), "rb") as a, open(os.path.join(content, name), "rb") as b:
                self.assertTrue(a.read() == b.read(), name + " differs from the forged content")

        values = p.reg_values(harness.PROGRAM_KEY)
        self.assertEqual(values.get(""), program_dir, values)
        data_dir = values.get("AppDataDir", "")
        self.assertRegex(data_dir, r"(?i)^C:\\users\\[^\\]+\\AppData\\Roaming\\Lumiscript$")
        data = p.unix(data_dir)
        self.assertEqual(os.listdir(data), [], "data folder not created empty")
        view = 32 if p.machine == I386 else 64
        machine_key = harness.PROGRAM_KEY.replace("HKCU", "HKLM", 1)
        self.assertEqual((p.reg_values(machine_key, view) or {}).get(""), program_dir, "no machine-wide folder")
        entry = p.reg_values(UNINSTALL_KEY, view)
        self.assertIsNotNone(entry, "no uninstall entry")
        self.assertEqual({k: entry.get(k) for k in ("DisplayName", "DisplayVersion", "Publisher")},
                         {"DisplayName": "Lumiscript", "DisplayVersion": version, "Publisher": "Veltrane Software"})
        self.assertEqual(entry.get("UninstallString"), '"%s\\uninstall.exe"' % program_dir)
        self.assertEqual(p.reg_values(DESKTOP_KEY).get("SCRNSAVE.EXE"), scr)

        # The installed screensaver as the system starts it, for an account
        # without a program key of its own: the machine-wide folder gives the
        # content, and the account's own application data gets its files.
        # The two hosts keep the first run's probe and the later update check
        # on this machine.
        r = p.run("reg", "delete", harness.PROGRAM_KEY, "/f", timeout=120)
        self.assertEqual(r.returncode, 0, r.describe())
        os.rmdir(data)
        net = {"LUMISAVER_PROBE_HOST": "127.0.0.1:%d" % closed_port(),
               "LUMISAVER_UPDATE_HOST": "127.0.0.1:%d" % closed_port()}
        cwd = p.unix(system_dir)
        errors = tempfile.TemporaryFile()
        self.addCleanup(errors.close)
        began = time.monotonic()
        proc = subprocess.Popen(p.wine.wine(scr, "/s"), env=p.wine.env(net), cwd=cwd, stdin=subprocess.DEVNULL,
                                stdout=subprocess.DEVNULL, stderr=errors, start_new_session=True)
        self.addCleanup(lambda: proc.poll() is None and os.killpg(proc.pid, 9))
        width, height = SCREEN
        model = text = 0
        deadline = time.monotonic() + 90
        while time.monotonic() < deadline and proc.poll() is None and not (model > 5000 and text > 300):
            time.sleep(1.0)
            model = count(screen_pixels(0, 0, width, height * 2 // 3), lit)
            text = count(screen_pixels(0, height * 2 // 3, width, height // 3), amber)
        errors.seek(0)
        ran = "rc=%r\n%s" % (proc.poll(), errors.read().decode("utf-8", "replace")[-3000:])
        self.assertGreater(model, 5000, "no model on screen\n" + ran)
        self.assertGreater(text, 300, "no amber text on screen\n" + ran)
        # A setup while the screensaver runs (as the one that started an
        # updater would): the running file, which cannot be replaced, is set
        # aside for deletion at the next start.
        before = set(os.listdir(cwd))
        r = p.run(setup, "/S")
        self.assertEqual(r.returncode, 0, "setup over the running .scr failed\n" + r.describe())
        with open(p.unix(scr), "rb") as a, open(os.path.join(p.build_dir, "lumisaver.scr"), "rb") as b:
            self.assertTrue(a.read() == b.read(), "the running .scr was not replaced")
        aside = set(os.listdir(cwd)) - before
        self.assertEqual(len(aside), 1, "not one file set aside: %r" % aside)
        pending = p.run("reg", "query", r"HKLM\System\CurrentControlSet\Control\Session Manager", "/v",
                        "PendingFileRenameOperations", timeout=120)
        self.assertIn(aside.pop().lower(), pending.stdout.lower(), "not deleted at the next start")
        self.assertIsNone(proc.poll(), "the run ended during the setup\n" + ran)
        xdotool("key", "space")
        shown = time.monotonic() - began
        self.assertEqual(proc.wait(30), 0, ran)
        # The entry on screen is what the run saved: the first, or on a slow
        # machine one that a full half turn (25.7 s) brought after it.
        self.assertEqual(os.listdir(data), ["main.ini"])
        ini = harness.ini_dict(harness.read_ini(os.path.join(data, "main.ini")))
        self.assertIn(ini.get(("SYSTEM", "LastNum")), [str(n) for n in range(int(shown // 25.7) + 1)], ini)

        # With the log turned on, the log is written beside the settings.
        with open(os.path.join(data, "main.ini"), "rb") as f:
            raw = f.read()
        with open(os.path.join(data, "main.ini"), "wb") as f:
            f.write(re.sub(rb"(?m)^Log=0", b"Log=1", raw))
        r = p.run(scr, "/a", cwd=cwd, env=net)
        self.assertEqual(r.returncode, 0, r.describe())
        self.assertEqual(sorted(os.listdir(data)), ["log.txt", "main.ini"])
        self.assertTrue(any(line.endswith("Lumiscript %s started" % version)
                            for line in harness.log_lines(os.path.join(data, "log.txt"))))
        # The installing account's key back: the uninstall reads the screensaver
        # it replaced from there.
        for name, value in values.items():
            p.wine.reg_add(harness.PROGRAM_KEY, name or None, value)
        self.assertEqual(set(os.listdir(files)), content_names() | {"uninstall.exe"}, "program wrote beside content")
        self.assertFalse({"main.ini", "log.txt"} & {n.lower() for n in os.listdir(cwd)}, "files in " + system_dir)

        r = p.run(program_dir + r"\uninstall.exe", "/S")
        self.assertEqual(r.returncode, 0, r.describe())
        self.wait_gone(files, p.unix(scr))
        self.assertFalse(os.path.exists(p.unix(scr)), "screensaver left in the system folder")
        self.assertFalse(os.path.exists(files), "program folder left: %s" % (
            os.listdir(files) if os.path.isdir(files) else ""))
        self.assertIsNone(p.reg_values(UNINSTALL_KEY, view), "uninstall entry left")
        self.assertIsNone(p.reg_values(harness.PROGRAM_KEY), "program key left")
        self.assertIsNone(p.reg_values(machine_key, view), "machine-wide program key left")
        self.assertEqual(sorted(os.listdir(data)), ["log.txt", "main.ini"], "the user's files not kept")
        self.assertEqual(p.reg_values(DESKTOP_KEY).get("SCRNSAVE.EXE"), other)

        # Asked to, the uninstaller takes the settings and log, and their folder, too.
        r = p.run(setup, "/S")
        self.assertEqual(r.returncode, 0, r.describe())
        self.assertEqual(p.reg_values(DESKTOP_KEY).get("SCRNSAVE.EXE"), other, "made current unasked")
        r = p.run(program_dir + r"\uninstall.exe", "/S", "/REMOVESETTINGS")
        self.assertEqual(r.returncode, 0, r.describe())
        self.wait_gone(files, data)
        self.assertFalse(os.path.exists(data), "data folder left: %s" % (
            os.listdir(data) if os.path.isdir(data) else ""))
        self.assertFalse(os.path.exists(files), "program folder left")


if __name__ == "__main__":
    unittest.main()
