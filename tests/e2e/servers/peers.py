"""Peers for the network tests, each run in the foreground on 127.0.0.1 at a
free port from a directory of its own: nginx as the update server, tinyproxy
as the HTTP proxy, the update server of split.py that answers in two writes,
and the misbehaving servers of hostile.py.
"""
import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
import harness  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))


def closed_port():
    """A port where nothing listens (free right now)."""
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def _program(name):
    path = shutil.which(name, path=os.environ.get("PATH", "") + ":/usr/sbin:/sbin")
    if not path:
        raise RuntimeError(name + " is not installed")
    return path


def _read(path):
    try:
        with open(path, encoding="utf-8", errors="replace") as f:
            return f.read()
    except FileNotFoundError:
        return ""


class _Peer:
    """A server process with a directory of its own; a context manager."""

    def __init__(self, kind):
        self.dir = tempfile.mkdtemp(prefix="lumi-%s-" % kind)
        os.chmod(self.dir, 0o755)  # nginx workers may run as another user
        self.port = closed_port()
        self.proc = None

    @property
    def host(self):
        return "127.0.0.1:%d" % self.port

    def path(self, name):
        return os.path.join(self.dir, name)

    def put_files(self, files):
        """Writes `files` ({url path: bytes}) under www/, readable by all."""
        for url, data in files.items():
            target = self.path("www" + url)
            os.makedirs(os.path.dirname(target), exist_ok=True)
            with open(target, "wb") as f:
                f.write(data)
        for root, _, names in os.walk(self.path("www")):
            os.chmod(root, 0o755)
            for n in names:
                os.chmod(os.path.join(root, n), 0o644)

    def start(self, argv, stdout=subprocess.DEVNULL):
        self.proc = subprocess.Popen(argv, stdout=stdout, stderr=subprocess.DEVNULL, text=True)

    def wait_listening(self, timeout=15.0):
        end = time.monotonic() + timeout
        while time.monotonic() < end and self.proc.poll() is None:
            try:
                socket.create_connection(("127.0.0.1", self.port), timeout=0.5).close()
                return
            except OSError:
                time.sleep(0.05)
        self.stop()
        raise RuntimeError("%s did not come up on port %d" % (type(self).__name__, self.port))

    def stop(self):
        if self.proc:
            harness.stop_process(self.proc)
            if self.proc.stdout:
                self.proc.stdout.close()
            self.proc = None
        shutil.rmtree(self.dir, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()


class Nginx(_Peer):
    """Serves `files` ({url path: bytes}); requests() lists the request lines
    of its access log."""

    def __init__(self, files):
        _Peer.__init__(self, "nginx")
        self.put_files(files)
        temps = "".join("  %s_temp_path %s;\n" % (k, self.path(k)) for k in
                        ("client_body", "proxy", "fastcgi", "uwsgi", "scgi"))
        with open(self.path("nginx.conf"), "w") as f:
            f.write(("user root root;\n" if os.geteuid() == 0 else "") +
                    "worker_processes 1;\npid %s;\nerror_log %s;\nevents { worker_connections 64; }\n"
                    "http {\n  access_log %s;\n%s  default_type application/octet-stream;\n"
                    "  types { application/pkix-crl crl; }\n"
                    "  server { listen 127.0.0.1:%d; root %s; }\n}\n"
                    % (self.path("nginx.pid"), self.path("error.log"), self.path("access.log"), temps,
                       self.port, self.path("www")))
        self.start([_program("nginx"), "-p", self.dir, "-c", self.path("nginx.conf"), "-g", "daemon off;"])
        self.wait_listening()

    def requests(self):
        return [line.split('"')[1] for line in _read(self.path("access.log")).splitlines()
                if line.count('"') >= 2]


class Tinyproxy(_Peer):
    """tinyproxy; requests() lists the request lines it logged."""

    def __init__(self):
        _Peer.__init__(self, "tinyproxy")
        os.chmod(self.dir, 0o777)  # it may drop its privileges before logging
        with open(self.path("tinyproxy.conf"), "w") as f:
            f.write(("User root\nGroup root\n" if os.geteuid() == 0 else "") +
                    'Port %d\nListen 127.0.0.1\nTimeout 30\nLogFile "%s"\nLogLevel Info\n'
                    "MaxClients 20\nAllow 127.0.0.1\nDisableViaHeader Yes\n"
                    % (self.port, self.path("tinyproxy.log")))
        self.start([_program("tinyproxy"), "-d", "-c", self.path("tinyproxy.conf")])
        self.wait_listening()

    def requests(self):
        return re.findall(r"Request \(file descriptor \d+\): (.*\S)", _read(self.path("tinyproxy.log")))


class SplitReply(_Peer):
    """split.py serving `files` ({url path: bytes}): the version reply's
    headers and body 300 ms apart. requests() lists the request lines."""

    def __init__(self, files):
        _Peer.__init__(self, "split")
        self.put_files(files)
        self.start([sys.executable, os.path.join(HERE, "split.py"), self.path("www"), self.path("requests.log")],
                   stdout=subprocess.PIPE)
        self.port = int(self.proc.stdout.readline())

    def requests(self):
        return _read(self.path("requests.log")).splitlines()


class Hostile(_Peer):
    """One of the servers of hostile.py; connections() counts what it accepted."""

    def __init__(self, mode):
        _Peer.__init__(self, "hostile")
        self.start([sys.executable, os.path.join(HERE, "hostile.py"), mode, self.path("connections")],
                   stdout=subprocess.PIPE)
        self.port = int(self.proc.stdout.readline())

    def connections(self):
        return len(_read(self.path("connections")).splitlines())
