"""Screensaver runs for the network tests: settings files, a key once the
screen shows a drawing, the updaters handed out, the browser's proxy setting.
"""
import hashlib
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
import harness  # noqa: E402
from peers import Nginx, closed_port  # noqa: E402

INTERNET_SETTINGS = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings"
UPDATER = "Brightmoor_updates.exe"


def today():
    t = time.localtime()
    return t.tm_year * 10000 + t.tm_mon * 100 + t.tm_mday


def write_ini(path, proxy=(0, "", 0), **system):
    """A later run's settings file with the update check on, CR LF as the
    Windows calls write it."""
    values = dict(LastUpdateDate=0, AutoUpdate=1, LastReceiveDate=0, NumFirstQuote=-1, DisplayQoD=1,
                  LastNum=0, Enabled=proxy[0], Server=proxy[1], Port=proxy[2])
    values.update(system)
    harness.write_settings(path, harness.settings(**values), crlf=True)


def settings(path):
    return harness.ini_dict(harness.read_ini(path))


def wait_for(predicate, timeout):
    end = time.monotonic() + timeout
    while not predicate():
        if time.monotonic() > end:
            return False
        time.sleep(0.1)
    return True


def _x(*argv):
    return subprocess.run(list(argv), env=dict(os.environ, DISPLAY=harness.display()),
                          stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=60).stdout


def screen_lit():
    """How many sampled bytes of the screen are clearly not black."""
    return sum(1 for b in _x("import", "-window", "root", "-depth", "8", "rgb:-")[::7] if b > 40)


class Session:
    """One screensaver run: once the screen shows a drawing and ready()
    holds (then `settle` seconds more), a key is pressed. After run():
    result, drawn, key_at and exited_after (seconds from the key to the end)."""

    def __init__(self, build, data_dir, env=None, ready=lambda: True, settle=0.0, limit=120.0, args=()):
        self.build, self.data_dir, self.env, self.args = build, data_dir, env or {}, list(args)
        self.ready, self.settle, self.limit = ready, settle, limit
        self.drawn, self.key_at, self.result, self.exited_after = 0, None, None, None

    def _drive(self, done):
        deadline = time.monotonic() + self.limit
        while not done.is_set() and time.monotonic() < deadline:
            self.drawn = self.drawn or screen_lit()
            if self.drawn and self.ready():
                break
            done.wait(0.2)
        if done.is_set() or done.wait(self.settle):
            return
        self.key_at = time.monotonic()
        _x("xdotool", "key", "--clearmodifiers", "space")
        if not done.wait(5):  # a window mapped a moment after the first key
            _x("xdotool", "key", "--clearmodifiers", "space")

    def run(self):
        # Xvfb is started here rather than from the driver thread: a server
        # started from a thread goes down when that thread ends.
        harness.display()
        done = threading.Event()
        driver = threading.Thread(target=self._drive, args=(done,), daemon=True)
        driver.start()
        self.result = self.build.run(self.args, program_dir=self.data_dir, data_dir=self.data_dir, env=self.env,
                                     timeout=self.limit + 60)
        ended = time.monotonic()
        done.set()
        driver.join(30)
        if self.key_at is not None:
            self.exited_after = ended - self.key_at
        return self


UPDATER_C = r"""
#include <windows.h>
#include <stdio.h>
int main(void) {
  char path[MAX_PATH + 8];
  DWORD n = GetModuleFileNameA(NULL, path, MAX_PATH);
  FILE* f;
  if (n == 0 || n >= MAX_PATH) return 1;
  strcat(path, ".ran");
  if (!(f = fopen(path, "a"))) return 2;
  fputs("ran\n", f);
  fclose(f);
  return 0;
}
"""


VENDOR = "Veltrane Software"

_CERT_EXTENSIONS = """[req]
distinguished_name = dn
[dn]
[root]
basicConstraints = critical, CA:TRUE
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
[signer]
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature
extendedKeyUsage = codeSigning
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
crlDistributionPoints = URI:$ENV::LUMI_CRL_URL
[ca]
default_ca = ca_default
[ca_default]
database = index.txt
crlnumber = crlnumber
default_md = sha256
default_crl_days = 30
"""


class TestSigning:
    """A test root and code-signing certificates below it (openssl), files
    signed with them (osslsigncode), and the root made trusted in a Wine
    prefix for as long as the test runs. The root's CRL is served on
    127.0.0.1; a signer of kind "revoked" is on it (make it before any check
    fetches the CRL, which Wine then keeps), one of kind "offline" names a
    distribution point where nothing answers."""

    def __init__(self, folder):
        self.dir = folder
        for tool in ("openssl", "osslsigncode"):
            if not shutil.which(tool):
                raise RuntimeError("%s is missing (scripts/deps installs it)" % tool)
        self.conf = self._path("certs.cnf")
        with open(self.conf, "w") as f:
            f.write(_CERT_EXTENSIONS)
        self._openssl("req", "-x509", "-new", "-newkey", "rsa:2048", "-nodes", "-keyout", self._path("root.key"),
                      "-out", self._path("root.crt"), "-days", "30", "-subj", "/CN=Lumiscript Test Root",
                      "-config", self.conf, "-extensions", "root")
        self._openssl("x509", "-in", self._path("root.crt"), "-outform", "DER", "-out", self._path("root.der"))
        self._signers = {}
        open(self._path("index.txt"), "w").close()
        with open(self._path("crlnumber"), "w") as f:
            f.write("01\n")
        # A path of its own: Wine keeps fetched CRLs by their address.
        self.crl_path = "/%s/root.crl" % os.urandom(8).hex()
        self.crl_server = Nginx({})
        self._publish_crl()

    def _path(self, name):
        return os.path.join(self.dir, name)

    def _openssl(self, *args, crl_url=""):
        subprocess.run(["openssl"] + list(args), check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       cwd=self.dir, env=dict(os.environ, LUMI_CRL_URL=crl_url))

    def _ca(self, *args):
        self._openssl("ca", "-config", self.conf, "-keyfile", self._path("root.key"), "-cert", self._path("root.crt"),
                      *args)

    def _publish_crl(self):
        self._ca("-gencrl", "-out", self._path("root.crl.pem"))
        self._openssl("crl", "-in", self._path("root.crl.pem"), "-outform", "DER", "-out", self._path("root.crl"))
        with open(self._path("root.crl"), "rb") as f:
            self.crl_server.put_files({self.crl_path: f.read()})

    def signer(self, subject, kind="good"):
        """(certificate, key) of a code-signing certificate with O and CN `subject`."""
        if (subject, kind) not in self._signers:
            stem = self._path("signer%d" % len(self._signers))
            host = self.crl_server.host if kind != "offline" else "127.0.0.1:%d" % closed_port()
            self._openssl("req", "-new", "-newkey", "rsa:2048", "-nodes", "-keyout", stem + ".key", "-out",
                          stem + ".csr", "-subj", "/O=%s/CN=%s" % (subject, subject))
            self._openssl("x509", "-req", "-in", stem + ".csr", "-CA", self._path("root.crt"), "-CAkey",
                          self._path("root.key"), "-CAcreateserial", "-out", stem + ".crt", "-days", "30",
                          "-extfile", self.conf, "-extensions", "signer", crl_url="http://" + host + self.crl_path)
            if kind == "revoked":
                self._ca("-revoke", stem + ".crt")
                self._publish_crl()
            self._signers[(subject, kind)] = (stem + ".crt", stem + ".key")
        return self._signers[(subject, kind)]

    def pfx(self, subject):
        """The signer of `subject` as a PKCS#12 file without a password."""
        cert, key = self.signer(subject)
        out = cert[:-4] + ".pfx"
        self._openssl("pkcs12", "-export", "-in", cert, "-inkey", key, "-out", out, "-passout", "pass:")
        return out

    def sign(self, data, subject, kind="good"):
        cert, key = self.signer(subject, kind)
        src, out = self._path("unsigned.bin"), self._path("signed.bin")
        with open(src, "wb") as f:
            f.write(data)
        subprocess.run(["osslsigncode", "sign", "-certs", cert, "-key", key, "-n", "Updater", "-h", "sha256",
                        "-in", src, "-out", out], check=True, stdout=subprocess.DEVNULL)
        with open(out, "rb") as f:
            signed = f.read()
        os.remove(out)
        return signed

    def trust_root_in(self, prefix):
        """Adds the root to the prefix's trusted roots (the registry store);
        returns a function that takes it out again."""
        with open(self._path("root.der"), "rb") as f:
            der = f.read()
        # A serialized certificate store element: property 32 (the encoded
        # certificate), flags 1, length, data.
        blob = struct.pack("<III", 32, 1, len(der)) + der
        key = r"HKLM\Software\Microsoft\SystemCertificates\Root\Certificates\%s" % \
            hashlib.sha1(der).hexdigest().upper()
        r = harness.run_process(prefix.wine("reg", "add", key, "/v", "Blob", "/t", "REG_BINARY", "/d", blob.hex(),
                                            "/f"), prefix.env(), timeout=300)
        if r.returncode != 0:
            raise RuntimeError("could not add the test root:\n" + r.describe())
        return lambda: harness.run_process(prefix.wine("reg", "delete", key, "/f"), prefix.env(), timeout=300)


class Updaters:
    """The updater each build is served: it appends "ran" to <itself>.ran (a
    shell script for the native build, a Windows program compiled here for
    the other, signed by the vendor's test certificate, whose root the
    prefix trusts from the first payload on). Native runs, which must start
    nothing, get LUMISAVER_ELEVATE set to a wrapper that would note any start
    in elevate.log."""

    def __init__(self):
        self.dir = tempfile.mkdtemp(prefix="lumi-updaters-")
        self._exe = None
        self._signing = None
        self._untrust = None
        self._signed = {}
        self.elevate_log = os.path.join(self.dir, "elevate.log")
        self.elevate = os.path.join(self.dir, "elevate.sh")
        with open(self.elevate, "w") as f:
            f.write("#!/bin/sh\necho \"$*\" >> '%s'\nexec \"$@\"\n" % self.elevate_log)
        os.chmod(self.elevate, 0o755)

    def payload(self, build, signer=VENDOR, kind="good"):
        """The updater for `build`; a Windows one signed by `signer` (None:
        unsigned) with a certificate of `kind` (TestSigning.signer)."""
        if build.name == "native":
            return b"#!/bin/sh\necho ran >> \"$0.ran\"\n"
        exe = self._program(build)
        if signer is None:
            return exe
        if self._signing is None:
            self._signing = TestSigning(self.dir)
            self._untrust = self._signing.trust_root_in(harness.wine_prefix(build.binary).ensure())
        if (signer, kind) not in self._signed:
            self._signed[(signer, kind)] = self._signing.sign(exe, signer, kind)
        return self._signed[(signer, kind)]

    def _program(self, build):
        if self._exe is None:
            # For the machine of the program under test: the harness may run
            # an x86-64 build in place of the 32-bit one.
            is64 = harness.pe_machine(build.binary) == 0x8664
            cc = shutil.which("x86_64-w64-mingw32-gcc" if is64 else "i686-w64-mingw32-gcc")
            if not cc:
                raise RuntimeError("no mingw-w64 C compiler for the Windows updater")
            src, exe = os.path.join(self.dir, "updater.c"), os.path.join(self.dir, "updater.exe")
            with open(src, "w") as f:
                f.write(UPDATER_C)
            subprocess.run([cc, "-O2", "-s", "-o", exe, src], check=True)
            with open(exe, "rb") as f:
                self._exe = f.read()
        return self._exe

    def env(self, build):
        return {"LUMISAVER_ELEVATE": self.elevate} if build.name == "native" else {}

    def elevations(self):
        return _lines(self.elevate_log)

    def cleanup(self):
        if self._untrust:
            self._untrust()
        if self._signing:
            self._signing.crl_server.stop()
        shutil.rmtree(self.dir, ignore_errors=True)


def _lines(path):
    try:
        with open(path) as f:
            return f.read().splitlines()
    except FileNotFoundError:
        return []


def runs_of(updater_path):
    return _lines(updater_path + ".ran")


def forget_proxy_variables():
    """The tests decide about the proxy variables themselves."""
    for name in ("http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "no_proxy", "NO_PROXY"):
        os.environ.pop(name, None)


def _reg(build, *args):
    prefix = harness.wine_prefix(build.binary).ensure()
    return harness.run_process(prefix.wine("reg", *args), prefix.env(), timeout=300)


def browser_proxy(build, value):
    """Env for a first run whose browser names `value` as its proxy (None:
    none): http_proxy natively, the Internet Settings values under Wine
    (removed again by clear_browser_proxy)."""
    if build.name == "native":
        return {} if value is None else {"http_proxy": value}
    clear_browser_proxy(build)
    if value is not None:
        for args in (("ProxyEnable", "REG_DWORD", "1"), ("ProxyServer", "REG_SZ", value)):
            r = _reg(build, "add", INTERNET_SETTINGS, "/v", args[0], "/t", args[1], "/d", args[2], "/f")
            if r.returncode != 0:
                raise RuntimeError("wine reg add failed:\n" + r.describe())
    return {}


def clear_browser_proxy(build):
    if build.name != "native":
        for name in ("ProxyEnable", "ProxyServer"):
            _reg(build, "delete", INTERNET_SETTINGS, "/v", name, "/f")
