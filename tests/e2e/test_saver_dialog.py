"""The Windows program as a guest of the system's screensaver dialog: the
preview (/p HANDLE) drawn inside a host window of a small stand-in for the
dialog, and the settings dialog (/c) driven with the keyboard."""

import getpass
import os
import shutil
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "servers"))
import harness  # noqa: E402
import netrun  # noqa: E402
import peers  # noqa: E402
from test_content import CONTENT_DIRS  # noqa: E402
from test_sequence import count  # noqa: E402
import test_startup  # noqa: E402
from window_session import screen_pixels, settings, warm, write_settings, xdotool  # noqa: E402

SCREEN = (1920, 1080)
FOREIGN = "; kept by hand\n[MINE]\nColour=blue\n"
NO_PROBE = {"LUMISAVER_PROBE_HOST": "127.0.0.1:%d" % peers.closed_port()}


def files(folder):
    contents = {}
    for name in folder.listing():
        with open(folder.file(name), "rb") as f:
            contents[name] = f.read()
    return contents


def windows_build(test):
    build = harness.windows_build(test)
    host = os.path.join(os.path.dirname(build.binary), "saver_host.exe")
    if not os.path.isfile(host):
        test.fail("the dialog stand-in is missing at %s (the Windows build makes it)" % host)
    return build, harness.wine_prefix(build.binary), host


def outside(rgb, box):
    """The screen's bytes without the rows and columns of box (x, y, w, h)."""
    x, y, w, h = box
    row = SCREEN[0] * 3
    return b"".join(rgb[r * row:r * row + x * 3] + rgb[r * row + (x + w) * 3:(r + 1) * row]
                    if y <= r < y + h else rgb[r * row:(r + 1) * row] for r in range(SCREEN[1]))


class PreviewTest(unittest.TestCase):
    def run_preview(self, ini):
        build, prefix, host = windows_build(self)
        with harness.DataDir() as data:
            if ini:
                write_settings(data.file("main.ini"), settings())
                with open(data.file("main.ini"), "ab") as f:
                    f.write(FOREIGN.encode())
            before = files(data)
            prefix.set_program_values(CONTENT_DIRS["win32"], data.path)
            proc = subprocess.Popen(prefix.wine(host, "preview", harness.to_windows_path(build.binary)),
                                    env=prefix.env(), cwd=data.path, stdin=subprocess.PIPE,
                                    stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, start_new_session=True)
            self.addCleanup(lambda: proc.poll() is None and os.killpg(proc.pid, 9))

            def said():
                return proc.stdout.readline().decode().split()

            window = said()
            self.assertEqual(window[:1], ["window"], window)
            box = tuple(int(v) for v in window[2:6])
            self.assertEqual(box[2:], (320, 240))
            self.assertEqual(said()[:1], ["started"])
            screen = outside(screen_pixels(0, 0, *SCREEN), box)

            time.sleep(6.0)
            proc.stdin.write(b"alive\n")
            proc.stdin.flush()
            self.assertEqual(said(), ["alive", "1"], "the preview ended by itself")
            seen = count(screen_pixels(*box), warm)
            self.assertGreater(seen, 2000, "no model in the host window")
            self.assertTrue(outside(screen_pixels(0, 0, *SCREEN), box) == screen,
                            "the screen outside the host window changed")

            proc.stdin.write(b"close\n")
            proc.stdin.flush()
            self.assertEqual(said(), ["closed"])
            ended = said()
            self.assertEqual(ended[:2], ["ended", "0"], ended)
            self.assertLess(int(ended[2]), 10000)
            self.assertEqual(proc.wait(30), 0)
            proc.stdin.close()
            proc.stdout.close()
            self.assertEqual(files(data), before)

    def test_preview_draws_in_the_host_window_and_ends_with_it(self):
        self.run_preview(ini=True)

    def test_preview_without_settings_file_writes_none(self):
        self.run_preview(ini=False)

    def test_preview_refuses_the_desktop(self):
        build, prefix, host = windows_build(self)
        desktop = harness.run_process(prefix.wine(host, "desktop"), prefix.env(), timeout=60)
        self.assertEqual(desktop.returncode, 0, desktop.describe())
        with harness.DataDir() as data:
            prefix.set_program_values(CONTENT_DIRS["win32"], data.path)
            r = harness.run_process(prefix.wine(build.binary, "/p", desktop.stdout.strip()), prefix.env(),
                                    cwd=data.path, timeout=20)
            self.assertFalse(r.timed_out, "a preview over the whole screen: " + r.describe())
            self.assertEqual(r.returncode, 0, r.describe())


class ProgramKeyTest(unittest.TestCase):
    def test_machine_folder_only_without_a_key_of_ones_own_and_no_folder_for_a_preview(self):
        build, prefix, _ = windows_build(self)
        machine_key = harness.PROGRAM_KEY.replace("HKCU", "HKLM", 1)
        prefix.reg_add(machine_key, None, harness.to_windows_path(CONTENT_DIRS["win32"]))
        self.addCleanup(prefix.reg_delete, machine_key, None)
        roaming = os.path.join(prefix.path, "drive_c", "users", getpass.getuser(), "AppData", "Roaming",
                               "Lumiscript")
        shutil.rmtree(roaming, ignore_errors=True)
        self.addCleanup(shutil.rmtree, roaming, True)
        with harness.DataDir() as data:
            # A key without a default value still names the account's data folder.
            r = build.run(["/a"], program_dir=None, data_dir=data.path, env=NO_PROBE)
            self.assertEqual(r.returncode, 0, r.describe())
            self.assertEqual(data.listing(), ["main.ini"])
            self.assertFalse(os.path.exists(roaming), "the machine-wide data folder was taken")

            prefix.remove_program_key()
            r = harness.run_process(prefix.wine(build.binary, "/p", "1"), prefix.env(), cwd=data.path, timeout=60)
            self.assertEqual(r.returncode, 0, r.describe())
            self.assertFalse(os.path.exists(roaming), "a preview made the data folder")
            r = build.run(["/a"], cwd=data.path, env=NO_PROBE)
            self.assertEqual(r.returncode, 0, r.describe())
            self.assertEqual(os.listdir(roaming), ["main.ini"])


class SettingsDialogTest(unittest.TestCase):
    def open_dialog(self, data, env=None):
        """The running /c and the X window of its dialog. A first run before
        it finds no probe host (nothing reaches a public one)."""
        build, prefix, _ = windows_build(self)
        prefix.set_program_values(data.path, data.path)
        env = dict({"LUMISAVER_PROBE_HOST": "127.0.0.1:%d" % peers.closed_port()}, **(env or {}))
        proc = subprocess.Popen(prefix.wine(build.binary, "/c"), env=prefix.env(env), cwd=data.path,
                                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                start_new_session=True)
        self.addCleanup(lambda: proc.poll() is None and os.killpg(proc.pid, 9))
        deadline = time.monotonic() + 10
        found = []
        while time.monotonic() < deadline and not found and proc.poll() is None:
            r = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "Lumiscript"],
                               env=dict(os.environ, DISPLAY=harness.display()), stdout=subprocess.PIPE,
                               stderr=subprocess.DEVNULL, timeout=30)
            found = r.stdout.split()
            time.sleep(0.3)
        self.assertTrue(found, "no window titled Lumiscript within 10 s (rc=%r)" % proc.poll())
        time.sleep(0.5)
        xdotool("windowfocus", "--sync", found[0].decode())
        return proc

    def press(self, proc, *keys):
        for key in keys:
            xdotool("key", key)
            time.sleep(0.3)
        self.assertEqual(proc.wait(10), 0)

    def whole_file(self, data, **values):
        write_settings(data.file("main.ini"), settings(**values))
        with open(data.file("main.ini"), "ab") as f:
            f.write(FOREIGN.encode())
        with open(data.file("main.ini"), "rb") as f:
            return f.read()

    def test_escape_and_an_unchanged_ok_leave_the_file_as_it_is(self):
        with harness.DataDir() as data:
            original = self.whole_file(data)
            for key in ("Escape", "Return"):
                with self.subTest(key=key):
                    self.press(self.open_dialog(data), key)
                    with open(data.file("main.ini"), "rb") as f:
                        self.assertEqual(f.read(), original)

    def test_ok_saves_the_changed_language_and_anti_aliasing_and_keeps_the_rest(self):
        with harness.DataDir() as data:
            self.whole_file(data)
            # Language English -> Russian; anti-aliasing off -> 4 samples.
            self.press(self.open_dialog(data), "Down", "Tab", "Tab", "Down", "Down", "Return")
            saved = harness.ini_dict(harness.read_ini(data.file("main.ini")))
            want = settings(LocaleName="Русский", FSAAmode=4)
            want[("MINE", "Colour")] = "blue"
            self.assertEqual(saved, want)
            with open(data.file("main.ini"), "rb") as f:
                self.assertIn("; kept by hand", harness.decode_ini(f.read()))

    def test_ok_without_a_settings_file_writes_the_first_one(self):
        with harness.DataDir() as data:
            self.press(self.open_dialog(data), "Return")
            test_startup.FirstRunTest("check_first_run_file").check_first_run_file(data.file("main.ini"))

    def to_russian(self, data):
        """/c, Down (English to Russian), Return; a save refused is reported
        once, and that OK closes the dialog."""
        proc = self.open_dialog(data)
        for key in ("Down", "Return"):
            xdotool("key", key)
            time.sleep(0.3)
        try:
            proc.wait(5)
        except subprocess.TimeoutExpired:
            self.press(proc, "Return", "Return")
        self.assertEqual(proc.wait(10), 0)

    def test_a_linked_hidden_file_stays_so_and_its_target_keeps_every_line(self):
        _, prefix, _ = windows_build(self)
        with harness.DataDir() as data:
            self.whole_file(data)
            os.rename(data.file("main.ini"), data.file("real.ini"))
            os.symlink("real.ini", data.file("main.ini"))
            attrib = prefix.wine("attrib", harness.to_windows_path(data.file("real.ini")))
            hidden = harness.run_process(attrib[:-1] + ["+h", attrib[-1]], prefix.env())
            self.assertEqual(hidden.returncode, 0, hidden.describe())
            self.to_russian(data)
            self.assertTrue(os.path.islink(data.file("main.ini")), "main.ini was replaced by a plain file")
            shown = harness.run_process(attrib, prefix.env()).stdout
            self.assertIn("H", shown[:max(shown.find(":\\") - 1, 0)], "the hidden attribute was dropped: " + shown)
            want = settings(LocaleName="Русский")
            want[("MINE", "Colour")] = "blue"
            self.assertEqual(harness.ini_dict(harness.read_ini(data.file("real.ini"))), want)

    def test_a_big_endian_file_keeps_every_line(self):
        with harness.DataDir() as data:
            textual = harness.decode_ini(self.whole_file(data))
            original = b"\xfe\xff" + textual.encode("utf-16-be")
            with open(data.file("main.ini"), "wb") as f:
                f.write(original)
            self.to_russian(data)
            with open(data.file("main.ini"), "rb") as f:
                raw = f.read()
            marks = {b"\xfe\xff": "utf-16-be", b"\xff\xfe": "utf-16-le"}
            self.assertIn(raw[:2], marks, raw[:40])
            saved = harness.ini_dict(harness.parse_ini(raw[2:].decode(marks[raw[:2]])))
            self.assertEqual(saved.get(("MINE", "Colour")), "blue", raw[:200])
            if saved.get(("LOCALIZATION", "LocaleName")) != "Русский":
                self.assertEqual(raw, original, "neither saved nor left as it was")
                log = "\n".join(harness.log_lines(data.file("log.txt")))
                self.assertIn("big-endian", log)

    def test_a_stray_port_of_a_proxy_turned_off_blocks_no_ok(self):
        with harness.DataDir() as data:
            self.whole_file(data, Port=-1)
            self.press(self.open_dialog(data), "Down", "Return")
            saved = harness.ini_dict(harness.read_ini(data.file("main.ini")))
            self.assertEqual(saved[("LOCALIZATION", "LocaleName")], "Русский")
            self.assertEqual(saved[("PROXY", "Port")], "-1")

    def test_settings_before_the_first_run_keep_the_browsers_proxy(self):
        build, _, _ = windows_build(self)
        proxy = peers.Tinyproxy()
        self.addCleanup(proxy.stop)
        self.addCleanup(netrun.clear_browser_proxy, build)
        netrun.forget_proxy_variables()
        with harness.DataDir() as data:
            env = netrun.browser_proxy(build, proxy.host)
            self.press(self.open_dialog(data, env), "Return")
            env["LUMISAVER_PROBE_HOST"] = "127.0.0.1:%d" % peers.closed_port()
            r = build.run(["/a"], program_dir=data.path, data_dir=data.path, env=env, timeout=180)
            self.assertEqual(r.returncode, 0, r.describe())
            saved = netrun.settings(data.file("main.ini"))
            self.assertEqual(tuple(saved[("PROXY", k)] for k in ("Enabled", "Server", "Port")),
                             ("1", "127.0.0.1", str(proxy.port)))

    def test_dialog_speaks_russian_on_a_russian_system(self):
        r = subprocess.run(["locale", "-a"], stdout=subprocess.PIPE, timeout=30)
        self.assertIn("ru_RU.utf8", r.stdout.decode(), "the ru_RU.UTF-8 locale is missing (scripts/deps makes it)")
        _, prefix, host = windows_build(self)
        with harness.DataDir() as data:
            original = self.whole_file(data)
            russian = {"LANG": "ru_RU.UTF-8"}
            proc = self.open_dialog(data, russian)
            texts = harness.run_process(prefix.wine(host, "texts", "Lumiscript"), prefix.env(russian), timeout=60)
            self.assertEqual(texts.returncode, 0, texts.describe())
            lines = texts.stdout.splitlines()
            self.assertIn("&Язык строки текста:", lines, texts.stdout)
            self.assertIn("Отмена", lines, texts.stdout)
            self.press(proc, "Escape")
            with open(data.file("main.ini"), "rb") as f:
                self.assertEqual(f.read(), original)


if __name__ == "__main__":
    unittest.main()
