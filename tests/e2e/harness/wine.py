"""Wine prefixes of the build tree and facts about Windows images."""
import atexit
import fcntl
import os
import shutil
import time

from .paths import BUILD, PROGRAM_KEY, WINE_ENV
from .process import run_process
from .xdisplay import display


def to_windows_path(path):
    """/tmp/x/y -> Z:\\tmp\\x\\y (Wine's Z: drive is the Unix root)."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def pe_machine(path):
    """The PE machine field of a Windows program: 0x14c (i386), 0x8664 (x86-64)."""
    import struct
    with open(path, "rb") as f:
        head = f.read(4096)
    if head[:2] != b"MZ" or len(head) < 0x40:
        return None
    off = struct.unpack_from("<I", head, 0x3C)[0]
    if off + 6 > len(head) or head[off:off + 4] != b"PE\0\0":
        return None
    return struct.unpack_from("<H", head, off + 4)[0]


class WinePrefix:
    """A Wine prefix of this build tree, created once and locked while used.

    loader is the Wine program that starts Windows programs: "wine" for
    32-bit ones, /usr/lib/wine/wine64 for 64-bit ones (Debian's "wine"
    script always prefers the 32-bit loader)."""

    def __init__(self, path, loader, template=None):
        self.path = path
        self.loader = loader
        self.template = template  # a ready prefix to copy instead of booting a new one
        self._lock_file = None
        self._registry = {}   # value name -> data last written (None: deleted)
        self._probe = None    # None: not yet tried; else (ok, reason)
        self.kernel_lacks_32_bit = False  # the one case where the x64 build stands in

    def env(self, extra=None):
        env = dict(os.environ)
        env.update(WINE_ENV)
        env["WINEPREFIX"] = self.path
        env["DISPLAY"] = display()
        env.pop("WINEARCH", None)
        if self.loader != "wine":
            env["WINELOADER"] = self.loader
        if extra:
            env.update(extra)
        return env

    def wine(self, *args):
        return [self.loader] + list(args)

    def _lock(self):
        if self._lock_file:
            return
        os.makedirs(os.path.dirname(self.path), exist_ok=True)
        self._lock_file = open(self.path + ".lock", "w")
        fcntl.flock(self._lock_file, fcntl.LOCK_EX)
        atexit.register(self.close)

    def ensure(self):
        """Creates the prefix when it is missing; returns self."""
        self._lock()
        ready = os.path.join(self.path, ".lumi-ready")
        if not os.path.exists(ready) and self._copy_template():
            pass
        elif not os.path.exists(ready):
            shutil.rmtree(self.path, ignore_errors=True)
            r = run_process(self.wine("wineboot", "-i"), self.env(), timeout=900)
            run_process(["wineserver", "-w"], self.env(), timeout=900)
            if r.returncode != 0 or r.timed_out:
                raise RuntimeError("wineboot failed:\n" + r.describe())
            # A crash must end the program, not leave Wine's crash dialog
            # holding it (and its full-screen window) until a time-out.
            r = run_process(self.wine("reg", "add", r"HKCU\Software\Wine\WineDbg", "/v", "ShowCrashDialog",
                                      "/t", "REG_DWORD", "/d", "0", "/f"), self.env(), timeout=300)
            if r.returncode != 0:
                raise RuntimeError("wine reg add failed:\n" + r.describe())
            run_process(["wineserver", "-w"], self.env(), timeout=900)
            with open(ready, "w") as f:
                f.write("created %s\n" % time.ctime())
        # A persistent server keeps the later wine and reg calls quick.
        run_process(["wineserver", "-p"], self.env(), timeout=60)
        return self

    def _copy_template(self):
        """A copy of the tree's ready prefix: a second of copying instead of
        a boot, and a prefix no other test process touches."""
        if not self.template or not os.path.exists(os.path.join(self.template, ".lumi-ready")):
            return False
        with open(self.template + ".lock", "w") as held:
            fcntl.flock(held, fcntl.LOCK_EX)  # not while its owner changes it
            shutil.rmtree(self.path, ignore_errors=True)
            r = run_process(["cp", "-a", self.template, self.path], os.environ, timeout=300)
        if r.returncode != 0:
            raise RuntimeError("copying the prefix %s failed:\n%s" % (self.template, r.describe()))
        return True

    def close(self):
        if self._lock_file:
            run_process(["wineserver", "-k"], self.env(), timeout=60)
            self._lock_file.close()
            self._lock_file = None
            if self.template:
                shutil.rmtree(self.path, ignore_errors=True)

    def reg_add(self, key, name, data):
        """Sets a REG_SZ value; name None is the key's default value."""
        args = self.wine("reg", "add", key) + (["/ve"] if name is None else ["/v", name])
        args += ["/t", "REG_SZ", "/d", data, "/f"]
        r = run_process(args, self.env(), timeout=300)
        if r.returncode != 0:
            raise RuntimeError("wine reg add failed:\n" + r.describe())

    def reg_delete(self, key, name):
        args = self.wine("reg", "delete", key) + (["/ve"] if name is None else ["/v", name]) + ["/f"]
        run_process(args, self.env(), timeout=300)  # absent already is fine

    def set_program_values(self, program_dir, data_dir):
        """The program key's default value and AppDataDir (None removes it)."""
        self.ensure()
        for name, value in ((None, program_dir), ("AppDataDir", data_dir)):
            data = to_windows_path(value) if value is not None else None
            if self._registry.get(name, "<unknown>") == data:
                continue
            if data is None:
                self.reg_delete(PROGRAM_KEY, name)
            else:
                self.reg_add(PROGRAM_KEY, name, data)
            self._registry[name] = data

    def remove_program_key(self):
        """Deletes the account's program key, values and all."""
        self.ensure()
        run_process(self.wine("reg", "delete", PROGRAM_KEY, "/f"), self.env(), timeout=300)
        self._registry = {}

    def usable(self):
        """(ok, reason): whether Wine starts programs of this prefix's kind here."""
        if self._probe is None:
            self._probe = self._try()
        return self._probe

    def _try(self):
        if not shutil.which(self.loader):
            return False, "%s is not installed" % self.loader
        r = run_process(self.wine("--version"), self.env(), timeout=60)
        if r.returncode != 0:
            hint = ""
            if "Exec format error" in r.stderr:
                self.kernel_lacks_32_bit = True
                hint = (" (this kernel does not run 32-bit programs: ia32 emulation is off,"
                        " so Wine's 32-bit loader cannot start)")
            detail = (r.stderr.strip().splitlines() or ["rc=%s" % r.returncode])[-1]
            return False, "%s does not start%s: %s" % (self.loader, hint, detail)
        try:
            self.ensure()
        except Exception as e:  # noqa: BLE001 - reported as the skip reason
            return False, "wine prefix %s unusable: %s" % (self.path, e)
        r = run_process(self.wine("cmd", "/c", "exit", "7"), self.env(), timeout=300)
        if r.returncode != 7:
            return False, "wine cannot start programs:\n" + r.describe()
        return True, ""


_prefixes = {}


def wine_prefix(binary=None):
    """The prefix (and loader) for a Windows program: 32-bit programs use
    Debian's wine in $LUMI_BUILD/wineprefix, 64-bit ones wine64 in
    $LUMI_BUILD/wineprefix64. LUMI_WINEPREFIX overrides the location.
    Without an argument: the prefix of the Windows build the tests use (the
    x86-64 fallback included). Start programs with prefix.wine(binary, ...)
    rather than a literal "wine", which cannot start 64-bit programs."""
    if binary is None:
        from .builds import all_builds
        build = all_builds()[1]
        build.available()
        binary = build.binary
    machine = pe_machine(binary) if binary and os.path.isfile(binary) else 0x14C
    is64 = machine == 0x8664
    loader = "/usr/lib/wine/wine64" if is64 else "wine"
    suffix = "64" if is64 else ""
    shared = os.path.join(BUILD, "wineprefix") + suffix
    path = (os.environ.get("LUMI_WINEPREFIX") or os.path.join(BUILD, "wineprefix")) + suffix
    if path not in _prefixes:
        _prefixes[path] = WinePrefix(path, loader, shared if path != shared else None)
    return _prefixes[path]
