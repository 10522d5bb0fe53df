"""Start-up of both builds: the first-letter rule, the first settings file,
the log, and survival of bad settings files."""

import datetime
import os
import re
import shutil
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402

FIRST_RUN_LAYOUT = [
    ("PROXY", [("Enabled", "0"), ("Server", ""), ("Port", "0")]),
    ("DATA", [("UseLocal", "-1"), ("UseWeb", "-1")]),
    ("LOCALIZATION", [("LocaleName", None), ("DateFormat", None)]),  # from the system
    ("SYSTEM", [("Log", "0"), ("FSAAmode", "3"), ("Font", "Georgia"), ("LastUpdateDate", "0"),
                ("AutoUpdate", None), ("LastReceiveDate", "0"), ("NumFirstQuote", "-1"),
                ("DisplayMyFavorites", "1"), ("DisplayQoD", "1"), ("DisplayAll", "0"),
                ("LastNum", "0")]),
]

STARTED = re.compile(r"^(\d{4})\.(\d{2})\.(\d{2}) (\d{2}):(\d{2}):(\d{2}) Lumiscript 1\.0\.0\.10 started$")


def settings(log_level, extra=""):
    """An existing settings file with logging at the given level; no update
    check, so nothing but start-up writes to the log."""
    return ("[SYSTEM]\nLog=%d\nAutoUpdate=0\nFSAAmode=0\nFont=Georgia\n%s" % (log_level, extra))


class CommandLineTest(unittest.TestCase):
    @harness.both_builds
    def test_settings_and_preview_switches_end_at_once(self, build):
        # The Windows program opens its settings dialog on /c and previews
        # into a real window (test_saver_dialog); without one, /p ends too.
        switches = [["/p", "5678"], ["/p:0"], ["/p"], ["/l"]]
        if build.name == "native":
            switches += [["/c"], ["/C:1234"]]
        for args in switches:
            with harness.DataDir() as d:
                r = build.run(args, program_dir=d.path)
                self.assertFalse(r.timed_out, r.describe())
                self.assertEqual(r.returncode, 0, r.describe())
                self.assertEqual(d.listing(), [], "%s created files" % args)


class FirstRunTest(unittest.TestCase):
    def check_first_run_file(self, path, native=False):
        # The update check is asked for on Linux, on by default on Windows.
        auto_update = "0" if native else "1"
        sections = harness.read_ini(path)
        self.assertEqual([s for s, _ in sections], [s for s, _ in FIRST_RUN_LAYOUT])
        for (name, keys), (_, expected) in zip(sections, FIRST_RUN_LAYOUT):
            self.assertEqual([k for k, _ in keys], [k for k, _ in expected], name)
            for (key, value), (_, want) in zip(keys, expected):
                if key == "AutoUpdate":
                    self.assertEqual(value, auto_update)
                elif want is None:
                    self.assertTrue(value and value != "NULL", "%s=%r" % (key, value))
                else:
                    self.assertEqual(value, want, "%s %s" % (name, key))

    @harness.both_builds
    def test_init_start_writes_complete_first_settings_file_and_no_log(self, build):
        for args in (["/a"], ["/a", "1234"]):
            with harness.DataDir() as d:
                r = build.run(args, program_dir=d.path)
                self.assertEqual(r.returncode, 0, r.describe())
                self.assertEqual(d.listing(), ["main.ini"])
                self.check_first_run_file(d.file("main.ini"), build.name == "native")

    @harness.both_builds
    def test_data_directory_holds_settings_and_log_apart_from_program(self, build):
        with harness.DataDir() as program, harness.DataDir() as data:
            r = build.run(["/a"], program_dir=program.path, data_dir=data.path)
            self.assertEqual(r.returncode, 0, r.describe())
            self.assertEqual(program.listing(), [])
            self.assertEqual(data.listing(), ["main.ini"])
            # The second start reads that file and, with Log=1, logs there.
            data.write("main.ini", settings(1))
            r = build.run(["/a"], program_dir=program.path, data_dir=data.path)
            self.assertEqual(r.returncode, 0, r.describe())
            self.assertEqual(program.listing(), [])
            self.assertIn("log.txt", data.listing())


class LogTest(unittest.TestCase):
    @harness.both_builds
    def test_log_on_appends_timestamped_started_line(self, build):
        with harness.DataDir() as d:
            d.write("main.ini", settings(1))
            before = datetime.datetime.now().replace(microsecond=0)
            r = build.run(["/a"], program_dir=d.path)
            after = datetime.datetime.now()
            self.assertEqual(r.returncode, 0, r.describe())
            raw = harness.read_log_bytes(d.file("log.txt"))
            self.assertFalse(raw.startswith(b"\xff\xfe"), "byte-order mark")
            lines = harness.log_lines(d.file("log.txt"))
            started = [m for m in map(STARTED.match, lines) if m]
            self.assertEqual(len(started), 1, lines)
            stamp = datetime.datetime(*map(int, started[0].groups()))
            self.assertTrue(before - datetime.timedelta(seconds=2) <= stamp <= after, (stamp, before, after))
            # The exact bytes of the line: UTF-16LE, CR LF, no terminator.
            line = started[0].group(0) + "\r\n"
            self.assertIn(line.encode("utf-16-le"), raw)

            r = build.run(["/a"], program_dir=d.path)
            self.assertEqual(r.returncode, 0, r.describe())
            lines2 = harness.log_lines(d.file("log.txt"))
            self.assertEqual(lines2[:len(lines)], lines, "the log only grows")
            self.assertEqual(sum(1 for l in lines2 if STARTED.match(l)), 2)

    @harness.both_builds
    def test_log_levels_other_than_1_and_3_write_nothing(self, build):
        for level in (0, 2):
            with harness.DataDir() as d:
                d.write("main.ini", settings(level))
                r = build.run(["/a"], program_dir=d.path)
                self.assertEqual(r.returncode, 0, r.describe())
                self.assertEqual(d.listing(), ["main.ini"], "Log=%d" % level)

    @harness.both_builds
    def test_log_file_that_cannot_be_created_is_reported_and_survived(self, build):
        with harness.DataDir() as d:
            d.write("main.ini", settings(1))
            os.mkdir(d.file("log.txt"))  # a directory where the file should go
            r = build.run(["/a"], program_dir=d.path, dismiss=["Error"], timeout=120)
            self.assertFalse(r.timed_out, r.describe())
            self.assertEqual(r.returncode, 0, r.describe())
            if build.name == "native":
                self.assertIn("Error: Log file not created", r.stderr)
            else:
                self.assertIn("Error", r.dismissed, "no message box was seen")

    def test_read_only_data_directory_reports_log_failure_native(self):
        build = harness.NativeBuild(harness.native_binary())
        ok, reason = build.available()
        if not ok:
            self.fail("native build unavailable: " + reason)
        prefix = []
        if os.geteuid() == 0:
            # root writes anywhere; run as an unprivileged user to make the
            # directory really read-only.
            self.assertTrue(shutil.which("setpriv"), "running as root without setpriv (util-linux)")
            prefix = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"]
        with harness.DataDir() as d:
            d.write("main.ini", settings(1))
            os.chmod(d.file("main.ini"), 0o666)
            os.chmod(d.path, 0o555)
            env = dict(os.environ, LUMISAVER_PROGRAM_DIR=d.path, DISPLAY="")
            env.pop("LUMISAVER_APPDATA_DIR", None)
            r = harness.run_process(prefix + [build.binary, "/a"], env, cwd=d.path, timeout=60)
            self.assertEqual(r.returncode, 0, r.describe())
            self.assertIn("Error: Log file not created", r.stderr)
            self.assertEqual(d.listing(), ["main.ini"])


class BadSettingsTest(unittest.TestCase):
    @harness.both_builds
    def test_hostile_settings_file_is_read_without_crash(self, build):
        junk = (b"\x00\x01\xff\xfe garbage \x80\x81\n"
                b"no equals sign here\n"
                b"[SYSTEM\n"
                b"=value without key\n"
                b"[DATA]\nUseLocal\n"
                b"[SYSTEM]\n"
                b"Log=1\n"
                b"AutoUpdate=0\n"
                b"Font\n"
                b"LongLine=" + b"x" * (10 * 1024 * 1024) + b"\n"
                b"\xc3\x28\xa0\xa1=\xe2\x82\n"
                b"[SYSTEM]\n"
                b"Log=0\n"
                b"[PROXY]\n"
                b"Enabled=1\nServer=127.0.0.1\nPort=9\n")
        with harness.DataDir() as d:
            d.write("main.ini", junk, mode="wb")
            r = build.run(["/a"], program_dir=d.path, timeout=300)
            self.assertFalse(r.timed_out, r.describe())
            self.assertEqual(r.returncode, 0, r.describe())
            # The first [SYSTEM] section's Log=1 is the one that counts.
            lines = harness.log_lines(d.file("log.txt"))
            self.assertTrue(any(STARTED.match(l) for l in lines), lines)
            with open(d.file("main.ini"), "rb") as f:
                self.assertEqual(f.read(), junk, "reading must not change the file")

    @harness.both_builds
    def test_section_header_only_is_read_as_an_existing_file(self, build):
        with harness.DataDir() as d:
            d.write("main.ini", "[SYSTEM]\n")
            r = build.run(["/a"], program_dir=d.path)
            self.assertEqual(r.returncode, 0, r.describe())
            # Not a first run: the file is not rewritten, no log (Log reads 0).
            self.assertEqual(d.listing(), ["main.ini"])
            with open(d.file("main.ini")) as f:
                self.assertEqual(f.read(), "[SYSTEM]\n")


class NativeLocaleTest(unittest.TestCase):
    """The language name and long-date pattern a first run takes from the
    POSIX locale (the Windows build asks the system)."""

    def first_run(self, env):
        build = harness.NativeBuild(harness.native_binary())
        ok, reason = build.available()
        if not ok:
            self.fail("native build unavailable: " + reason)
        with harness.DataDir() as d:
            base = {"LC_ALL": "", "LC_MESSAGES": "", "LC_TIME": "", "LANG": ""}
            base.update(env)
            r = build.run(["/a"], program_dir=d.path, env=base)
            self.assertEqual(r.returncode, 0, r.describe())
            with open(d.file("main.ini"), "rb") as f:
                return harness.ini_dict(harness.parse_ini(f.read().decode("utf-8")))

    def test_russian_locale_gives_exactly_russkiy_and_others_english_names(self):
        ini = self.first_run({"LANG": "ru_RU.UTF-8"})
        self.assertEqual(ini[("LOCALIZATION", "LocaleName")], "Русский")
        self.assertEqual(ini[("LOCALIZATION", "DateFormat")], "d MMMM yyyy 'г.'")
        # LC_ALL overrides the rest.
        ini = self.first_run({"LC_ALL": "de_DE.UTF-8", "LANG": "ru_RU.UTF-8"})
        self.assertEqual(ini[("LOCALIZATION", "LocaleName")], "German")
        self.assertEqual(ini[("LOCALIZATION", "DateFormat")], "dddd, d. MMMM yyyy")


if __name__ == "__main__":
    unittest.main()
