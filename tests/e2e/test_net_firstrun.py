"""The first run's connection (the "/a" start, no settings file yet).
Windows: the probe host straight away, else the Internet Settings proxy
through a real tinyproxy. Linux: no contact at all, the update check off and
http_proxy taken as it stands. The outcome lands in the PROXY section.
"""
import os
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "servers"))
import harness  # noqa: E402
import netrun  # noqa: E402
import peers  # noqa: E402

OFF = ("0", "", "0")
NEWER_LINE = "Version 1.0.0.11 is available; the package manager provides updates"


def setUpModule():
    netrun.forget_proxy_variables()


class FirstRunDetection(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.proxy = peers.Tinyproxy()

    @classmethod
    def tearDownClass(cls):
        cls.proxy.stop()

    def detect(self, build, proxy_value, probe_host=None):
        """Runs "/a" in a fresh data directory; returns the stored PROXY values."""
        if probe_host is None:
            probe_host = "127.0.0.1:%d" % peers.closed_port()
        with harness.DataDir() as d:
            env = {"LUMISAVER_PROBE_HOST": probe_host}
            try:
                env.update(netrun.browser_proxy(build, proxy_value))
                r = build.run(["/a"], program_dir=d.path, data_dir=d.path, env=env, timeout=180)
            finally:
                netrun.clear_browser_proxy(build)
            self.assertFalse(r.timed_out, r.describe())
            self.assertEqual(r.returncode, 0, r.describe())
            ini = netrun.settings(d.file("main.ini"))
            self.assertEqual(ini[("SYSTEM", "AutoUpdate")], "0" if build.name == "native" else "1")
            return tuple(ini[("PROXY", k)] for k in ("Enabled", "Server", "Port"))

    @harness.both_builds
    def test_reachable_probe(self, build):
        """Windows keeps the proxy off; Linux probes nothing and takes http_proxy."""
        probe = peers.Hostile("accept-close")
        self.addCleanup(probe.stop)
        native = build.name == "native"
        self.assertEqual(self.detect(build, self.proxy.host, probe_host=probe.host),
                         ("1", "127.0.0.1", str(self.proxy.port)) if native else OFF)
        self.assertEqual(probe.connections(), 0 if native else 1)
        if native:
            self.assertEqual(self.proxy.requests(), [])

    @harness.both_builds
    def test_working_browser_proxy_is_stored(self, build):
        self.assertEqual(self.detect(build, self.proxy.host), ("1", "127.0.0.1", str(self.proxy.port)))
        if build.name == "native":
            # The variable's URL form names the same proxy.
            self.assertEqual(self.detect(build, "http://localhost:%d/" % self.proxy.port),
                             ("1", "localhost", str(self.proxy.port)))

    @harness.both_builds
    def test_unusable_browser_values_leave_the_proxy_off(self, build):
        port = self.proxy.port
        tail = ".0.1:%d" % port
        # 127.000…0.0.1 is still 127.0.0.1: only its length matters.
        padded = lambda total: "127." + "0" * (total - 4 - len(tail)) + tail
        cases = {
            "per-protocol": "http=127.0.0.1:%d;https=127.0.0.1:%d" % (port, port),
            "empty": "",
            "no colon": "127.0.0.1",
            "64 characters": padded(64),
            "none set": None,
            "port 0": "127.0.0.1:0",
        }
        dead = "127.0.0.1:%d" % peers.closed_port()
        if build.name != "native":
            cases["dead proxy"] = dead
        for name, value in cases.items():
            with self.subTest(value=name):
                self.assertEqual(self.detect(build, value), OFF)
        if build.name == "native":
            with self.subTest(value="63 characters"):
                self.assertEqual(self.detect(build, padded(63))[0], "1")
            with self.subTest(value="dead proxy, never tried"):
                self.assertEqual(self.detect(build, dead), ("1", "127.0.0.1", dead.split(":")[1]))


class LinuxAsksFirst(unittest.TestCase):
    def test_no_contact_until_the_check_is_switched_on(self):
        build = harness.all_builds()[0]
        probe, update = peers.Hostile("accept-close"), peers.Hostile("stall-download")
        self.addCleanup(probe.stop)
        self.addCleanup(update.stop)
        env = {"LUMISAVER_PROBE_HOST": probe.host, "LUMISAVER_UPDATE_HOST": update.host}
        d = harness.DataDir()
        self.addCleanup(d.cleanup)
        r = build.run(["/a"], program_dir=d.path, data_dir=d.path, env=env, timeout=180)
        self.assertEqual(r.returncode, 0, r.describe())
        self.assertEqual(netrun.settings(d.file("main.ini"))[("SYSTEM", "AutoUpdate")], "0")
        s = netrun.Session(build, d.path, env, settle=6.0, args=["/s"]).run()
        self.assertIsNotNone(s.key_at, s.result.describe())
        self.assertEqual((probe.connections(), update.connections()), (0, 0))

        # Asked for: the check runs and logs, as on every start.
        with open(d.file("main.ini"), "rb") as f:
            ini = f.read()
        with open(d.file("main.ini"), "wb") as f:
            f.write(ini.replace(b"AutoUpdate=0", b"AutoUpdate=1").replace(b"Log=0", b"Log=1"))
        log = d.file("log.txt")
        ready = lambda: NEWER_LINE.encode("utf-16-le") in harness.read_log_bytes(log)  # noqa: E731
        s = netrun.Session(build, d.path, env, ready=lambda: os.path.exists(log) and ready(), args=["/s"]).run()
        self.assertIsNotNone(s.key_at, s.result.describe())
        self.assertGreaterEqual(update.connections(), 1)
        self.assertEqual(probe.connections(), 0)


if __name__ == "__main__":
    unittest.main()
