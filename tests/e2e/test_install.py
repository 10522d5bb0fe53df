"""cmake --install into a temporary prefix: where the files go, and how the
installed program finds its content and keeps its settings with no
LUMISAVER_* variable; the hack description and every option it offers."""

import os
import signal
import shutil
import subprocess
import tempfile
import time
import unittest
import xml.etree.ElementTree as ET

import harness
import installed
from test_snapshot import diamond_3ds, plain_bmp, red
from window_session import settings, top_level_windows, write_settings


def picture_on_screen(pic):
    """Pixels that are not black."""
    return len(pic.where(lambda r, g, b: r + g + b > 60))


class InstalledProgram(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tree = installed.Prefix()
        cls.work = tempfile.mkdtemp(prefix="lumi-installed-")

    @classmethod
    def tearDownClass(cls):
        cls.tree.cleanup()
        shutil.rmtree(cls.work, ignore_errors=True)

    def home(self):
        d = harness.DataDir(prefix="lumi-home-")
        self.addCleanup(d.cleanup)
        return d.path

    def out(self, name):
        return os.path.join(self.work, name)

    def test_layout_under_the_prefix_and_under_destdir(self):
        t = self.tree
        self.assertTrue(os.access(t.path(installed.HACK), os.X_OK))
        self.assertTrue(os.access(t.path("bin", "lumitool"), os.X_OK))
        self.assertEqual(os.readlink(t.path("bin", "lumisaver")), "../libexec/xscreensaver/lumisaver")
        self.assertEqual(sorted(os.listdir(t.path("share", "lumiscript"))), installed.content_names())
        self.assertTrue(os.path.isfile(t.path("share", "xscreensaver", "config", "lumisaver.xml")))
        man = subprocess.run(["gzip", "-dc", t.path("share", "man", "man6", "lumisaver.6.gz")],
                             stdout=subprocess.PIPE, check=True, timeout=60).stdout.decode()
        self.assertRegex(man, r"(?m)^\.TH LUMISAVER 6 ")
        for option in ("root", "window", "window\\-id", "language", "font", "fsaa", "log", "watch", "autostart"):
            self.assertIn("\\-\\-" + option, man)

        staged = installed.Prefix(prefix="/usr", destdir=True)
        self.addCleanup(staged.cleanup)
        self.assertEqual(staged.top, os.path.join(staged.destdir, "usr"))
        self.assertEqual(os.listdir(staged.destdir), ["usr"])
        self.assertEqual(staged.listing(), t.listing())

    def test_snapshot_finds_the_installed_content_with_no_variable(self):
        home = self.home()
        env = installed.user_env(home)
        pic = installed.snapshot(self.tree.path(installed.HACK), self.out("installed.png"), env,
                                 "--at", "5", "--size", "640x360")
        # The build tree's program shown the same content the same way.
        data = self.home()
        reference = installed.snapshot(harness.native_binary(), self.out("reference.png"),
                                       dict(env, LUMISAVER_PROGRAM_DIR=os.path.join(harness.BUILD, "content"),
                                            LUMISAVER_APPDATA_DIR=data),
                                       "--at", "5", "--size", "640x360")
        self.assertEqual(pic.rows, reference.rows, "the installed program shows something else")
        # Without its content the same frame shows the text alone.
        text_only = installed.snapshot(harness.native_binary(), self.out("no-content.png"),
                                       dict(env, LUMISAVER_PROGRAM_DIR=data, LUMISAVER_APPDATA_DIR=data),
                                       "--at", "5", "--size", "640x360")
        self.assertGreater(picture_on_screen(pic), picture_on_screen(text_only) + 5000, "no model shown")
        # Through the bin link, the same.
        via_link = installed.snapshot(self.tree.path("bin", "lumisaver"), self.out("link.png"), env,
                                      "--at", "5", "--size", "640x360")
        self.assertEqual(via_link.rows, pic.rows)
        self.assertEqual(os.listdir(home), [], "a snapshot writes no settings")

    def test_settings_go_to_the_users_config_folder_never_under_the_prefix(self):
        before = self.tree.listing()
        hack = self.tree.path(installed.HACK)
        home, xdg = self.home(), self.home()
        r = harness.run_process([hack, "-a"], installed.user_env(home, xdg), cwd=home)
        self.assertEqual(r.returncode, 0, r.describe())
        folder = os.path.join(xdg, "lumiscript")
        self.assertEqual(os.listdir(folder), ["main.ini"])
        self.assertEqual(os.stat(folder).st_mode & 0o777, 0o700)
        self.assertEqual(os.listdir(home), [])

        # Without XDG_CONFIG_HOME: ~/.config, made with its parents.
        r = harness.run_process([hack, "-a"], installed.user_env(home), cwd=home)
        self.assertEqual(r.returncode, 0, r.describe())
        self.assertEqual(os.listdir(os.path.join(home, ".config", "lumiscript")), ["main.ini"])
        self.assertEqual(self.tree.listing(), before)

        # The variables still decide, for data and for content.
        data, content = self.home(), self.home()
        with open(os.path.join(content, "01.bin"), "wb") as f:
            f.write(diamond_3ds())
        with open(os.path.join(content, "01.bmp"), "wb") as f:
            f.write(plain_bmp((255, 0, 0)))
        env = installed.user_env(home, xdg, LUMISAVER_APPDATA_DIR=data, LUMISAVER_PROGRAM_DIR=content)
        r = harness.run_process([hack, "-a"], env, cwd=home)
        self.assertEqual(r.returncode, 0, r.describe())
        self.assertEqual(os.listdir(data), ["main.ini"])
        pic = installed.snapshot(hack, self.out("own-content.png"), env, "--at", "1.3", "--size", "320x180")
        self.assertGreater(len(pic.where(red)), 1000, "LUMISAVER_PROGRAM_DIR is not used")
        self.assertEqual(self.tree.listing(), before)


class HackDescription(unittest.TestCase):
    """The description the screensaver settings read: well-formed, and every
    option it can put on the command line is one the program takes."""

    @classmethod
    def setUpClass(cls):
        cls.tree = installed.Prefix()

    @classmethod
    def tearDownClass(cls):
        cls.tree.cleanup()

    def command_lines(self):
        root = ET.parse(self.tree.path("share", "xscreensaver", "config", "lumisaver.xml")).getroot()
        self.assertEqual((root.tag, root.get("name"), root.get("gl")), ("screensaver", "lumisaver", "yes"))
        self.assertEqual([c.get("arg") for c in root.iter("command")], ["--root"])
        choices = []
        for element in root.iter():
            if element.get("arg-set"):
                choices.append(element.get("arg-set").split())
            elif element.get("arg"):
                if element.tag == "command":
                    continue
                name, value = element.get("arg").split(" ", 1)
                self.assertEqual(value, "%", element.attrib)
                self.assertEqual(element.get("id"), "font")
                choices.append([name, "DejaVu Sans"])
        names = {c[0] for c in choices}
        self.assertEqual(names, {"--language", "--font", "--fsaa", "--log"})
        return choices

    def test_every_option_of_the_description_runs_and_leaves_main_ini_alone(self):
        choices = self.command_lines()
        self.assertEqual(len(choices), 9)
        hack = self.tree.path(installed.HACK)
        home = harness.DataDir(prefix="lumi-home-")
        self.addCleanup(home.cleanup)
        folder = os.path.join(home.path, ".config", "lumiscript")
        os.makedirs(folder)
        ini = os.path.join(folder, "main.ini")
        write_settings(ini, settings(Log=0, LastNum=3))
        with open(ini, "rb") as f:
            users = f.read()
        env = dict(installed.user_env(home.path), DISPLAY=harness.display())
        for args in choices:
            with self.subTest(args=args):
                log = os.path.join(folder, "log.txt")
                if os.path.exists(log):
                    os.remove(log)
                before = set(top_level_windows())
                proc = subprocess.Popen([hack, "--window"] + args, env=env, cwd=home.path,
                                        stdout=subprocess.PIPE, stderr=subprocess.PIPE)
                deadline = time.monotonic() + 60

                def window_shown():
                    return any(w not in before and size == (1280, 720) for w, size in top_level_windows().items())

                while proc.poll() is None and time.monotonic() < deadline and not window_shown():
                    time.sleep(0.2)
                time.sleep(0.5)
                alive = proc.poll() is None and window_shown()
                proc.send_signal(signal.SIGTERM)
                try:
                    out, err = proc.communicate(timeout=20)
                except subprocess.TimeoutExpired:
                    proc.kill()
                    out, err = proc.communicate()
                self.assertTrue(alive, err.decode())
                self.assertEqual(proc.returncode, 0, err.decode())
                self.assertNotIn(b"lumisaver:", err)
                with open(ini, "rb") as f:
                    self.assertEqual(f.read(), users, "the run changed the user's settings")
                # The file says Log=0: only the option turns the log on.
                self.assertEqual(os.path.exists(log), args == ["--log", "1"])

    def test_language_font_and_samples_change_the_picture(self):
        hack = self.tree.path(installed.HACK)
        home = harness.DataDir(prefix="lumi-home-")
        self.addCleanup(home.cleanup)
        os.makedirs(os.path.join(home.path, ".config", "lumiscript"))
        write_settings(os.path.join(home.path, ".config", "lumiscript", "main.ini"), settings(Log=0, LastNum=0))
        env = installed.user_env(home.path)

        def shot(*args):
            return installed.snapshot(hack, os.path.join(home.path, "shot.png"), env, "--at", "6",
                                      "--size", "480x270", *args).rows

        plain = shot()
        # English, Georgia and no multisampling are what the file says already.
        for args, changes in ((["--language", "english"], False), (["--language", "russian"], True),
                              (["--font", "DejaVu Sans"], True), (["--fsaa", "0"], False),
                              (["--fsaa", "4"], True)):
            with self.subTest(args=args):
                self.assertEqual(shot(*args) != plain, changes)


if __name__ == "__main__":
    unittest.main()
