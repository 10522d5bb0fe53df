"""The update road against nginx, a server that answers in two writes
(servers/split.py) and tinyproxy: the version check; on Windows the download
of the updater, its signature (only the vendor's, under a test root the
Wine prefix trusts, not revoked by the root's CRL served on 127.0.0.1) and
its start at the end of the run; on Linux a log line
naming the newer version and nothing fetched or started; and the runs that
must leave the server alone.

The program is pointed at the server with LUMISAVER_UPDATE_HOST. The
Windows updater is a small program compiled here that only notes that it
ran (it is started with the "runas" verb). Native runs get the updater
served too, and LUMISAVER_ELEVATE set to a wrapper that notes any start:
neither may be touched.
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
NEWER_LINE = "Version 1.0.0.11 is available; the package manager provides updates"
# Runs per road against the server that answers in two writes: the reply
# used to be lost now and then, so one good run proves little.
SPLIT_RUNS = 3


def setUpModule():
    netrun.forget_proxy_variables()


def count(lines, needle):
    return sum(1 for line in lines if needle in line)


def log_has(path, text):
    """Whether the log holds `text`; safe while the program still writes it."""
    try:
        return text.encode("utf-16-le") in harness.read_log_bytes(path)
    except FileNotFoundError:
        return False


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

    def check_launched_once(self, d, payload):
        updater = d.file(netrun.UPDATER)
        with open(updater, "rb") as f:
            self.assertEqual(f.read(), payload)
        self.assertTrue(netrun.wait_for(lambda: netrun.runs_of(updater), 60),
                        "the updater did not run\n" + harness.read_log(d.file("log.txt")))
        time.sleep(1.0)
        self.assertEqual(netrun.runs_of(updater), ["ran"])
        self.assertEqual(netrun.settings(d.file("main.ini"))[("SYSTEM", "LastUpdateDate")], str(netrun.today()))
        # Nothing but the updater and the usual files in the data directory.
        self.assertEqual([n for n in d.listing() if n not in ("main.ini", "log.txt")],
                         [netrun.UPDATER, netrun.UPDATER + ".ran"])

    def check_only_logged(self, d, servers):
        """Linux: the newer version named in the log, nothing fetched or started."""
        log = harness.read_log(d.file("log.txt"))
        self.assertEqual(count(log.splitlines(), NEWER_LINE), 1, log)
        for server in servers:
            self.assertEqual(count(server.requests(), UPDATER_PATH), 0)
        self.assertEqual(d.listing(), ["log.txt", "main.ini"])
        self.assertEqual(self.updaters.elevations(), [])
        self.assertEqual(netrun.settings(d.file("main.ini"))[("SYSTEM", "LastUpdateDate")], "0")

    def run_newer(self, build, d, server):
        """A run against a server offering 1.0.0.11, ended once the update
        is in (Windows: the updater file; Linux: the log line)."""
        if build.name == "native":
            ready = lambda: log_has(d.file("log.txt"), NEWER_LINE)  # noqa: E731
        else:
            ready = lambda: os.path.exists(d.file(netrun.UPDATER))  # noqa: E731
        env = dict(self.updaters.env(build), LUMISAVER_UPDATE_HOST=server.host)
        s = netrun.Session(build, d.path, env, ready=ready).run()
        self.check_run(s)
        return s

    def check_nothing_fetched(self, d, server, last_update=0):
        self.assertEqual(count(server.requests(), UPDATER_PATH), 0)
        self.assertFalse(os.path.exists(d.file(netrun.UPDATER)))
        self.assertEqual(self.updaters.elevations(), [])
        ini = netrun.settings(d.file("main.ini"))
        self.assertEqual(ini[("SYSTEM", "LastUpdateDate")], str(last_update))

    @harness.both_builds
    def test_newer_version(self, build):
        server = self.nginx(build, "1.0.0.11\r\n")
        d = self.data_dir(LastUpdateDate=0, AutoUpdate=1)
        self.run_newer(build, d, server)
        requests = server.requests()
        self.assertEqual(requests[0], "GET http://%s%s HTTP/1.1" % (server.host, VERSION_PATH))
        self.assertEqual(count(requests, VERSION_PATH), 1)
        self.assertIn("connect ту %s ok" % server.host, harness.read_log(d.file("log.txt")))
        if build.name == "native":
            self.check_only_logged(d, [server])
        else:
            self.check_launched_once(d, self.updaters.payload(build))
            self.assertEqual(count(requests, UPDATER_PATH), 1)

    @harness.both_builds
    def test_reply_in_two_writes_directly_and_through_tinyproxy(self, build):
        server = peers.SplitReply({VERSION_PATH: b"1.0.0.11\r\n", UPDATER_PATH: self.updaters.payload(build)})
        self.addCleanup(server.stop)
        proxy = peers.Tinyproxy()
        self.addCleanup(proxy.stop)
        for road in ("direct", "tinyproxy"):
            for n in range(SPLIT_RUNS if build.name != "native" else 1):
                with self.subTest(road=road, run=n + 1):
                    d = self.data_dir(LastUpdateDate=0, AutoUpdate=1)
                    if road == "tinyproxy":
                        netrun.write_ini(d.file("main.ini"), proxy=(1, "127.0.0.1", proxy.port))
                    before = (len(server.requests()), len(proxy.requests()))
                    self.run_newer(build, d, server)
                    direct = server.requests()[before[0]:]
                    via_proxy = proxy.requests()[before[1]:]
                    version_request = "GET http://%s%s HTTP/1.1" % (server.host, VERSION_PATH)
                    self.assertEqual(count(via_proxy if road == "tinyproxy" else direct, version_request), 1)
                    if road == "tinyproxy":
                        self.assertEqual(count(direct, "GET http://"), 0, "a version request bypassed the proxy")
                        log = harness.read_log(d.file("log.txt"))
                        self.assertIn("Proxy 127.0.0.1:%d enabled" % proxy.port, log)
                        self.assertIn("connect ту прокси ok", log)
                    if build.name == "native":
                        self.check_only_logged(d, [server, proxy])
                    else:
                        self.check_launched_once(d, self.updaters.payload(build))
                        # URLDownloadToFileW follows the system's settings, not the program's.
                        self.assertEqual(count(direct, UPDATER_PATH), 1)

    def test_windows_starts_no_updater_that_the_vendor_did_not_sign(self):
        build = harness.windows_build(self)
        signed = self.updaters.payload(build)
        tampered = bytearray(signed)
        tampered[0x400] ^= 0xFF  # in the code, which the signature covers
        # The vendor's name under a root the prefix does not trust.
        stranger = os.path.join(self.updaters.dir, "stranger")
        os.mkdir(stranger)
        unknown_root = netrun.TestSigning(stranger).sign(self.updaters.payload(build, signer=None), netrun.VENDOR)
        cases = (("unsigned", self.updaters.payload(build, signer=None), "it is not signed"),
                 ("unknown root", unknown_root, "its certificate does not lead to a trusted root"),
                 ("another signer", self.updaters.payload(build, signer="Other Vendor"),
                  "its signer is not Veltrane Software"),
                 ("changed after signing", bytes(tampered), "its signature is not trusted"),
                 ("revoked", self.updaters.payload(build, kind="revoked"), "its certificate is revoked"),
                 ("revocation unknown", self.updaters.payload(build, kind="offline"),
                  "whether its certificate is revoked cannot be learned"))
        for name, payload, reason in cases:
            with self.subTest(case=name):
                server = peers.Nginx({VERSION_PATH: b"1.0.0.11\r\n", UPDATER_PATH: payload})
                self.addCleanup(server.stop)
                d = self.data_dir(LastUpdateDate=0, AutoUpdate=1)
                refused = "Updater not started: " + reason
                s = netrun.Session(build, d.path, {"LUMISAVER_UPDATE_HOST": server.host},
                                   ready=lambda: log_has(d.file("log.txt"), refused)).run()  # noqa: B023
                self.check_run(s)
                self.assertEqual(count(server.requests(), UPDATER_PATH), 1)
                time.sleep(1.0)
                self.assertEqual(d.listing(), ["log.txt", "main.ini"], "the refused file is left")
                self.assertEqual(count(harness.read_log(d.file("log.txt")).splitlines(), refused), 1)
                self.assertEqual(netrun.settings(d.file("main.ini"))[("SYSTEM", "LastUpdateDate")], "0")

    def test_windows_starts_the_updater_it_checked(self):
        """The moment between the check and the start, through updater_start
        (tests/windows): no Windows process can change the checked file, and
        a replacement that sharing cannot stop (a rename from outside Wine)
        is refused."""
        build = harness.windows_build(self)
        tool = os.path.join(os.path.dirname(build.binary), "updater_start.exe")
        self.assertTrue(os.path.isfile(tool), "%s is missing (the Windows build makes it)" % tool)
        prefix = harness.wine_prefix(build.binary).ensure()
        signed, foreign = self.updaters.payload(build), self.updaters.payload(build, signer=None)
        for mode in ("held", "outside"):
            with self.subTest(mode=mode):
                d = self.data_dir()
                updater, other = d.file(netrun.UPDATER), d.file("foreign.exe")
                for path, data in ((updater, signed), (other, foreign)):
                    with open(path, "wb") as f:
                        f.write(data)

                def swap(stop, updater=updater, other=other):
                    while not stop.is_set() and not os.path.exists(updater + ".checked"):
                        time.sleep(0.05)
                    os.rename(other, updater)
                    open(updater + ".swapped", "w").close()

                r = harness.run_process(
                    prefix.wine(tool, mode, *(harness.to_windows_path(p) for p in (updater, other, d.file("log.txt")))),
                    prefix.env(), timeout=300, watcher=swap if mode == "outside" else None)
                self.assertEqual(r.returncode, 0, r.describe())
                log = harness.read_log(d.file("log.txt")) if os.path.exists(d.file("log.txt")) else ""
                if mode == "held":
                    self.assertTrue(netrun.wait_for(lambda: netrun.runs_of(updater), 60), log)  # noqa: B023
                    with open(updater, "rb") as f:
                        self.assertEqual(f.read(), signed)
                else:
                    self.assertIn("Updater not started: it was replaced after its check", log)
                    time.sleep(1.0)
                    self.assertFalse(os.path.exists(updater), "the replaced file is left")
                self.assertEqual(netrun.runs_of(updater), ["ran"] if mode == "held" else [])

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
