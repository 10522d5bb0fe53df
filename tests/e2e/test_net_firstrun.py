"""First-run connection detection (the "/a" start, no settings file yet):
the probe host straight away, else the browser's proxy (http_proxy on the
native build, the Internet Settings values in the registry under Wine)
through a real tinyproxy; the outcome lands in the PROXY section.
"""
import os
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "servers"))
import harness  # noqa: E402
import netrun  # noqa: E402
import peers  # noqa: E402

OFF = ("0", "", "0")


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
            return tuple(ini[("PROXY", k)] for k in ("Enabled", "Server", "Port"))

    @harness.both_builds
    def test_reachable_probe_keeps_the_proxy_off(self, build):
        probe = peers.Hostile("accept-close")
        self.addCleanup(probe.stop)
        self.assertEqual(self.detect(build, self.proxy.host, probe_host=probe.host), OFF)
        self.assertEqual(probe.connections(), 1)

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
            "dead proxy": "127.0.0.1:%d" % peers.closed_port(),
            "none set": None,
        }
        for name, value in cases.items():
            with self.subTest(value=name):
                self.assertEqual(self.detect(build, value), OFF)
        if build.name == "native":
            with self.subTest(value="63 characters"):
                self.assertEqual(self.detect(build, padded(63))[0], "1")


if __name__ == "__main__":
    unittest.main()
