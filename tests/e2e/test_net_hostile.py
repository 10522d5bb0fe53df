"""Update servers that misbehave on purpose (servers/hostile.py), one that
stalls in the middle of the updater (which only Windows fetches), and one
that is not there at all.
Whatever the server does, the screensaver starts, draws, ends on a key at
once, launches nothing, keeps LastUpdateDate and logs the client's stop.
"""
import os
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "servers"))
import harness  # noqa: E402
import netrun  # noqa: E402
import peers  # noqa: E402

MODES = ("accept-close", "silent", "flood", "no-blank-line")
# The run must not wait for the update thread, which a silent server holds
# for the whole time the version reply may take (5 s).
EXIT_BOUND_S = 5.0


def setUpModule():
    netrun.forget_proxy_variables()


class HostileUpdateServer(unittest.TestCase):
    def run_against(self, build, host, ready):
        updaters = netrun.Updaters()
        self.addCleanup(updaters.cleanup)
        with harness.DataDir() as d:
            netrun.write_ini(d.file("main.ini"), LastUpdateDate=0, AutoUpdate=1)
            env = dict(updaters.env(build), LUMISAVER_UPDATE_HOST=host)
            s = netrun.Session(build, d.path, env, ready=ready, settle=1.5).run()
            r = s.result
            self.assertFalse(r.timed_out, r.describe())
            self.assertEqual(r.returncode, 0, r.describe())
            self.assertNotIn("Sanitizer", r.stderr)
            self.assertTrue(s.drawn, "nothing was drawn\n" + r.describe())
            self.assertIsNotNone(s.exited_after, "the run ended before the key\n" + r.describe())
            print("%s: ended %.2f s after the key" % (build.name, s.exited_after))
            self.assertLess(s.exited_after, EXIT_BOUND_S)
            self.assertFalse(os.path.exists(d.file(netrun.UPDATER)))
            self.assertEqual(updaters.elevations(), [])
            self.assertEqual(netrun.settings(d.file("main.ini"))[("SYSTEM", "LastUpdateDate")], "0")
            log = harness.read_log(d.file("log.txt"))
            # The client's stop line, also when the exchange still runs.
            self.assertIn("pageDone before stop 0", log)
            return log

    @harness.both_builds
    def test_misbehaving_servers(self, build):
        for mode in MODES:
            with self.subTest(mode=mode):
                server = peers.Hostile(mode)
                self.addCleanup(server.stop)
                log = self.run_against(build, server.host, ready=lambda: server.connections() > 0)
                # One exchange, no retry, no download attempt.
                self.assertEqual(server.connections(), 1)
                self.assertIn("connect ту %s ok" % server.host, log)
                server.stop()

    @harness.both_builds
    def test_run_ends_inside_the_download(self, build):
        server = peers.Hostile("stall-download")
        self.addCleanup(server.stop)
        if build.name == "native":
            # Linux downloads nothing: the version exchange only.
            log = self.run_against(build, server.host, ready=lambda: server.connections() >= 1)
            self.assertIn("Version 1.0.0.11 is available", log)
            self.assertEqual(server.connections(), 1)
        else:
            self.run_against(build, server.host, ready=lambda: server.connections() >= 2)
            # The version exchange and the download that never completes.
            self.assertEqual(server.connections(), 2)

    @harness.both_builds
    def test_absent_server(self, build):
        host = "127.0.0.1:%d" % peers.closed_port()
        log = self.run_against(build, host, ready=lambda: True)
        self.assertIn("Ошибка подключения к серверу %s" % host, log)


if __name__ == "__main__":
    unittest.main()
