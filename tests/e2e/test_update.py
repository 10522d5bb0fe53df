"""The update road against nginx (and tinyproxy): the version check, the
download of the updater, its start at the end of the run, and the runs that
must leave the server alone.

nginx serves /version/vorl.txt and /updates/vorl_update.exe; the program is
pointed at it with LUMISAVER_UPDATE_HOST. The updater only notes that it
ran: a shell script for the native build (started through the
LUMISAVER_ELEVATE wrapper, which notes its argument), a small Windows
program compiled here for the Windows build (started with the "runas" verb).
"""
import os
import sys
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "servers"))
import harness  # noqa: E402
import netrun  # noqa: E402
import peers  # noqa: E402

VERSION_PATH = "/version/vorl.txt"
UPDATER_PATH = "/updates/vorl_update.exe"


def setUpModule():
    netrun.forget_proxy_variables()


def count(lines, needle):
    return sum(1 for line in lines if needle in line)


class UpdateRoad(unittest.TestCase):
    def setUp(self):
        self.updaters = netrun.Updaters()
        self.addCleanup(self.updaters.cleanup)

    def nginx(self, build, version):
        server = peers.Nginx({VERSION_PATH: version.encode(),
                              UPDATER_PATH: self.updaters.payload(build)})
        self.addCleanup(server.stop)
        return server

    def data_dir(self, **system):
        d = harness.DataDir()
        self.addCleanup(d.cleanup)
        netrun.write_ini(d.file("main.ini"), **system)
        return d

    def check_run(self, session):
        r = session.result
        self.assertFalse(r.timed_out, r.describe())
        self.assertEqual(r.returncode, 0, r.describe())
        self.assertTrue(session.drawn, "nothing was drawn\n" + r.describe())
        self.assertIsNotNone(session.key_at, "the run ended before the key\n" + r.describe())

    def check_launched_once(self, build, d, payload):
        updater = d.file(netrun.UPDATER)
        with open(updater, "rb") as f:
            self.assertEqual(f.read(), payload)
        self.assertTrue(netrun.wait_for(lambda: netrun.runs_of(updater), 60), "the updater did not run")
        time.sleep(1.0)
        self.assertEqual(netrun.runs_of(updater), ["ran"])
        if build.name == "native":
            self.assertEqual(os.stat(updater).st_mode & 0o777, 0o700)
            self.assertEqual(self.updaters.elevations(), [updater + " parent=sh"])
        self.assertEqual(netrun.settings(d.file("main.ini"))[("SYSTEM", "LastUpdateDate")], str(netrun.today()))
        # Nothing but the updater and the usual files in the data directory.
        self.assertEqual([n for n in d.listing() if n not in ("main.ini", "log.txt")],
                         [netrun.UPDATER, netrun.UPDATER + ".ran"])

    def check_nothing_fetched(self, d, server, last_update=0):
        self.assertEqual(count(server.requests(), UPDATER_PATH), 0)
        self.assertFalse(os.path.exists(d.file(netrun.UPDATER)))
        self.assertEqual(self.updaters.elevations(), [])
        ini = netrun.settings(d.file("main.ini"))
        self.assertEqual(ini[("SYSTEM", "LastUpdateDate")], str(last_update))

    @harness.both_builds
    def test_newer_version_is_fetched_and_started_once_at_the_end(self, build):
        server = self.nginx(build, "1.0.0.11\r\n")
        d = self.data_dir(LastUpdateDate=0, AutoUpdate=1)
        env = dict(self.updaters.env(build), LUMISAVER_UPDATE_HOST=server.host)
        updater = d.file(netrun.UPDATER)
        s = netrun.Session(build, d.path, env, ready=lambda: os.path.exists(updater)).run()
        self.check_run(s)
        self.check_launched_once(build, d, self.updaters.payload(build))
        requests = server.requests()
        self.assertEqual(requests[0], "GET http://%s%s HTTP/1.1" % (server.host, VERSION_PATH))
        self.assertEqual(count(requests, VERSION_PATH), 1)
        self.assertEqual(count(requests, UPDATER_PATH), 1)
        self.assertIn("connect ту %s ok" % server.host, harness.read_log(d.file("log.txt")))

    @harness.both_builds
    def test_through_tinyproxy(self, build):
        server = self.nginx(build, "1.0.0.11\r\n")
        proxy = peers.Tinyproxy()
        self.addCleanup(proxy.stop)
        d = self.data_dir(LastUpdateDate=0, AutoUpdate=1)
        netrun.write_ini(d.file("main.ini"), proxy=(1, "127.0.0.1", proxy.port))
        env = dict(self.updaters.env(build), LUMISAVER_UPDATE_HOST=server.host)
        updater = d.file(netrun.UPDATER)

        # The version reply is what one receive delivers. tinyproxy writes
        # the status line, the headers and the body separately, so now and
        # then the first receive holds no body and that start finds no
        # update; the next start checks again.
        starts = 0
        while not os.path.exists(updater) and starts < 5:
            starts += 1
            seen = {"at": None}
            before = len(proxy.requests())

            def ready():
                if os.path.exists(updater):
                    return True
                if len(proxy.requests()) > before and seen["at"] is None:
                    seen["at"] = time.monotonic()
                return seen["at"] is not None and time.monotonic() - seen["at"] > 3

            s = netrun.Session(build, d.path, env, ready=ready).run()
            self.check_run(s)
            self.assertEqual(count(proxy.requests(), VERSION_PATH), starts)
        print("updater fetched after %d start(s) through tinyproxy" % starts)
        self.check_launched_once(build, d, self.updaters.payload(build))

        via_proxy = proxy.requests()
        self.assertIn("GET http://%s%s HTTP/1.1" % (server.host, VERSION_PATH), via_proxy)
        direct = [line for line in server.requests() if line.startswith("GET http://")]
        self.assertEqual(direct, [], "a version request bypassed the proxy")
        log = harness.read_log(d.file("log.txt"))
        self.assertIn("Proxy 127.0.0.1:%d enabled" % proxy.port, log)
        self.assertIn("connect ту прокси ok", log)
        if build.name == "native":
            # The native download takes the same proxy.
            self.assertEqual(count(via_proxy, UPDATER_PATH), 1)
        else:
            # URLDownloadToFileW follows the system's settings, not the program's.
            self.assertEqual(count(server.requests(), UPDATER_PATH), 1)

    @harness.both_builds
    def test_same_or_older_version_fetches_nothing(self, build):
        for version in ("1.0.0.10\r\n", "0.9.9.99\r\n"):
            with self.subTest(version=version.strip()):
                server = self.nginx(build, version)
                d = self.data_dir(LastUpdateDate=0, AutoUpdate=1)
                env = dict(self.updaters.env(build), LUMISAVER_UPDATE_HOST=server.host)
                s = netrun.Session(build, d.path, env, settle=2.0,
                                   ready=lambda: count(server.requests(), VERSION_PATH) > 0).run()
                self.check_run(s)
                self.assertEqual(count(server.requests(), VERSION_PATH), 1)
                self.check_nothing_fetched(d, server)

    @harness.both_builds
    def test_not_due_or_switched_off_contacts_nobody(self, build):
        today = netrun.today()
        cases = (("launched today", dict(LastUpdateDate=today, AutoUpdate=1)),
                 ("date in the future", dict(LastUpdateDate=today + 10000, AutoUpdate=1)),
                 ("automatic update off", dict(LastUpdateDate=0, AutoUpdate=0, LastReceiveDate=20200102)))
        for name, system in cases:
            with self.subTest(case=name):
                server = self.nginx(build, "1.0.0.11\r\n")
                d = self.data_dir(**system)
                env = dict(self.updaters.env(build), LUMISAVER_UPDATE_HOST=server.host)
                s = netrun.Session(build, d.path, env, settle=3.0).run()
                self.check_run(s)
                self.assertEqual(server.requests(), [])
                self.check_nothing_fetched(d, server, last_update=system["LastUpdateDate"])
                ini = netrun.settings(d.file("main.ini"))
                self.assertEqual(ini[("SYSTEM", "LastReceiveDate")], str(system.get("LastReceiveDate", 0)))


if __name__ == "__main__":
    unittest.main()
