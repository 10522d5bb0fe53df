"""The Windows program as a guest of the system's screensaver dialog: the
preview (/p HANDLE) drawn inside a host window of a small stand-in for the
dialog, and the settings dialog (/c) driven with the keyboard."""

import os
import subprocess
import time
import unittest

import harness
from test_content import CONTENT_DIRS
from test_sequence import count
import test_startup
from window_session import screen_pixels, settings, warm, write_settings, xdotool

SCREEN = (1920, 1080)
FOREIGN = "; kept by hand\n[MINE]\nColour=blue\n"


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


class SettingsDialogTest(unittest.TestCase):
    def open_dialog(self, data, env=None):
        """The running /c and the X window of its dialog."""
        build, prefix, _ = windows_build(self)
        prefix.set_program_values(data.path, data.path)
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
