"""Shared end-to-end harness: runs the real programs, the native one directly
and the Windows one under Wine, on a virtual X display.

Typical use::

    import harness

    class StartupTest(unittest.TestCase):
        @harness.both_builds
        def test_first_run(self, build):
            with harness.DataDir() as d:
                r = build.run(["/a"], program_dir=d.path)
                self.assertEqual(r.returncode, 0, r.describe())
                ini = harness.read_ini(d.file("main.ini"))

Environment (set by ctest): LUMI_NATIVE, LUMI_WIN32, LUMI_BUILD, LUMI_SOURCE;
optional LUMI_WIN64 (an x86-64 build of the Windows program) and
LUMI_WINEPREFIX (where the prefixes live).

One Xvfb server (1920x1080x24, with GLX) serves the whole test process and
stops at its exit. One Wine prefix per build tree ($LUMI_BUILD/wineprefix,
wineprefix64 for 64-bit programs) is created on first use and reused; an
exclusive lock file beside it is held for the life of the test process, so
concurrent runs on one tree wait for each other instead of racing on the
prefix or its registry.

Where the kernel cannot run 32-bit programs (ia32 emulation off), Wine's
32-bit loader does not start at all. The win32 build is then replaced by an
x86-64 build of the same source run with wine64 (LUMI_WIN64 or
build/win64/lumisaver.scr), with a loud note. That is the only substitution:
a missing Xvfb, Wine, Windows build or OpenGL under Wine fails the tests
with one line saying what is missing, never skips them. Before a Windows
build is used, one run of it must report a GL renderer.

`python3 harness.py preflight` runs those checks once and says which Windows
program the tests will run.

Message boxes under Wine are modal: pass dismiss=["Error"] to Build.run to
have them answered with Enter (Result.dismissed lists what was seen).
"""

import atexit
import contextlib
import fcntl
import functools
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.environ.get("LUMI_SOURCE") or os.path.abspath(os.path.join(HERE, "..", ".."))
BUILD = os.environ.get("LUMI_BUILD") or os.path.join(SOURCE, "build", "native")

PROGRAM_KEY = r"HKCU\Software\Veltrane Software\Lumiscript"
WINE_ENV = {"WINEDEBUG": "-all", "WINEDLLOVERRIDES": "mscoree,mshtml="}


def native_binary():
    return os.environ.get("LUMI_NATIVE") or os.path.join(BUILD, "lumisaver")


def win32_binary():
    return os.environ.get("LUMI_WIN32") or os.path.join(SOURCE, "build", "win32", "lumisaver.scr")


def win64_binary():
    """A 64-bit build of the Windows program, used in place of the 32-bit one
    where this machine's kernel cannot run 32-bit programs."""
    return os.environ.get("LUMI_WIN64") or os.path.join(SOURCE, "build", "win64", "lumisaver.scr")


def tool_binary():
    return os.environ.get("LUMI_TOOL") or os.path.join(BUILD, "lumitool")


def loud(message):
    """A line that stands out in ctest's output."""
    bar = "*" * 72
    sys.stderr.write("\n%s\n*** %s\n%s\n" % (bar, message, bar))
    sys.stderr.flush()


# ---- processes ----------------------------------------------------------------

class Result:
    """What a finished (or killed) run left behind."""

    def __init__(self, argv, returncode, stdout, stderr, timed_out, seconds, dismissed=()):
        self.argv = argv
        self.returncode = returncode
        self.stdout = stdout
        self.stderr = stderr
        self.timed_out = timed_out
        self.seconds = seconds
        self.dismissed = list(dismissed)  # titles of the windows closed by run(dismiss=...)

    def describe(self):
        return "argv=%r rc=%r timed_out=%r %.1fs dismissed=%r\n--- stdout\n%s\n--- stderr\n%s" % (
            self.argv, self.returncode, self.timed_out, self.seconds, self.dismissed,
            self.stdout[-4000:], self.stderr[-4000:])


def _kill_group(proc):
    with contextlib.suppress(ProcessLookupError, PermissionError):
        os.killpg(proc.pid, signal.SIGKILL)


def run_process(argv, env, cwd=None, timeout=60, watcher=None):
    """Runs argv in its own process group; kills the group on timeout.

    Output goes through temporary files, not pipes: Wine's daemons
    (wineserver, winedevice) inherit the descriptors and would keep a pipe
    open long after the program itself has ended."""
    start = time.monotonic()
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        proc = subprocess.Popen(argv, env=env, cwd=cwd, stdin=subprocess.DEVNULL,
                                stdout=out, stderr=err, start_new_session=True)
        stop = threading.Event()
        thread = None
        if watcher:
            thread = threading.Thread(target=watcher, args=(stop,), daemon=True)
            thread.start()
        timed_out = False
        try:
            proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            timed_out = True
            _kill_group(proc)
            proc.wait()
        finally:
            stop.set()
            if thread:
                thread.join(5)
        out.seek(0)
        err.seek(0)
        return Result(argv, proc.returncode, out.read().decode("utf-8", "replace"),
                      err.read().decode("utf-8", "replace"), timed_out, time.monotonic() - start)


# ---- Xvfb -----------------------------------------------------------------------

def _die_with_parent():
    """In the child: end with the test process even when it is killed
    (a ctest timeout), so no server is left behind."""
    import ctypes
    with contextlib.suppress(Exception):
        ctypes.CDLL(None).prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG


class Xvfb:
    """A virtual screen on a free display number (Xvfb picks it itself)."""

    def __init__(self, geometry="1920x1080x24", extensions=("+extension", "GLX")):
        self.geometry = geometry
        self.extensions = list(extensions)
        self.proc = None
        self.display = None

    def start(self):
        if not shutil.which("Xvfb"):
            raise RuntimeError("Xvfb is not installed (package xvfb; scripts/deps installs it)")
        r, w = os.pipe()
        self.proc = subprocess.Popen(
            ["Xvfb", "-displayfd", str(w), "-screen", "0", self.geometry,
             *self.extensions, "-nolisten", "tcp", "-noreset"],
            pass_fds=(w,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            start_new_session=True, preexec_fn=_die_with_parent)
        os.close(w)
        number = b""
        deadline = time.monotonic() + 30
        with os.fdopen(r, "rb", buffering=0) as pipe:
            while time.monotonic() < deadline and not number.endswith(b"\n"):
                chunk = pipe.read(16)
                if not chunk:
                    break
                number += chunk
        if not number.strip():
            self.stop()
            raise RuntimeError("Xvfb did not report a display number")
        self.display = ":" + number.decode().strip()
        return self

    def stop(self):
        stop_process(self.proc)
        self.proc = None


def stop_process(proc, grace=10):
    """Terminates a server the test started, killing it after `grace` s."""
    if proc is None or proc.poll() is not None:
        return
    proc.terminate()
    try:
        proc.wait(grace)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait()


_xvfb = None
_xvfb_lock = threading.Lock()


def display():
    """The display of the process-wide Xvfb, started on first use."""
    global _xvfb
    with _xvfb_lock:
        if _xvfb is None:
            _xvfb = Xvfb().start()
            atexit.register(_xvfb.stop)
        return _xvfb.display


# ---- Wine -----------------------------------------------------------------------

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

    def __init__(self, path, loader):
        self.path = path
        self.loader = loader
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
        if not os.path.exists(ready):
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

    def close(self):
        if self._lock_file:
            run_process(["wineserver", "-k"], self.env(), timeout=60)
            self._lock_file.close()
            self._lock_file = None

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
        build = all_builds()[1]
        build.available()
        binary = build.binary
    machine = pe_machine(binary) if binary and os.path.isfile(binary) else 0x14C
    is64 = machine == 0x8664
    loader = "/usr/lib/wine/wine64" if is64 else "wine"
    base = os.environ.get("LUMI_WINEPREFIX") or os.path.join(BUILD, "wineprefix")
    path = base + ("64" if is64 else "")
    if path not in _prefixes:
        _prefixes[path] = WinePrefix(path, loader)
    return _prefixes[path]


# ---- X windows (message boxes under Wine) ----------------------------------------

def find_windows(title):
    """Ids of the mapped windows whose name is exactly title."""
    if not shutil.which("xdotool"):
        return []
    r = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^%s$" % title],
                       env=dict(os.environ, DISPLAY=display()),
                       stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=30)
    return [w for w in r.stdout.decode().split() if w.strip()]


def dismiss_watcher(titles, dismissed, interval=0.3):
    """A run() watcher that answers message boxes with the given titles by
    pressing Enter on them, so a modal box does not hang the test."""
    env = dict(os.environ, DISPLAY=display())

    def watch(stop):
        while not stop.is_set():
            for title in titles:
                for wid in find_windows(title):
                    subprocess.run(["xdotool", "windowactivate", "--sync", wid], env=env,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=10)
                    subprocess.run(["xdotool", "key", "--clearmodifiers", "Return"], env=env,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=10)
                    dismissed.append(title)
                    time.sleep(interval)
            stop.wait(interval)

    return watch


# ---- the two builds ---------------------------------------------------------------

class Build:
    """One build of the program and how to run it with given directories."""

    name = "?"

    def __init__(self, binary):
        self.binary = binary

    def available(self):
        """(ok, reason)."""
        if not os.path.isfile(self.binary):
            return False, "%s binary missing at %s" % (self.name, self.binary)
        return True, ""

    def run(self, args, program_dir=None, data_dir=None, timeout=None, env=None, cwd=None,
            dismiss=()):
        raise NotImplementedError

    def __repr__(self):
        return "<%s %s>" % (self.name, self.binary)


class NativeBuild(Build):
    name = "native"

    def run(self, args, program_dir=None, data_dir=None, timeout=None, env=None, cwd=None,
            dismiss=()):
        """Runs with LUMISAVER_PROGRAM_DIR / LUMISAVER_APPDATA_DIR (None: unset).
        dismiss is accepted for symmetry: native message boxes go to stderr."""
        e = dict(os.environ)
        e.pop("LUMISAVER_PROGRAM_DIR", None)
        e.pop("LUMISAVER_APPDATA_DIR", None)
        e["DISPLAY"] = display()
        if program_dir is not None:
            e["LUMISAVER_PROGRAM_DIR"] = program_dir
        if data_dir is not None:
            e["LUMISAVER_APPDATA_DIR"] = data_dir
        if env:
            e.update(env)
        return run_process([self.binary] + list(args), e, cwd=cwd or program_dir or data_dir,
                           timeout=timeout or 60)


class Win32Build(Build):
    name = "win32"

    def __init__(self, binary):
        Build.__init__(self, binary)
        self._checked = None

    def available(self):
        if self._checked is None:
            self._checked = self._check()
        return self._checked

    def _check(self):
        ok, reason = Build.available(self)
        if not ok:
            return ok, reason
        prefix = wine_prefix(self.binary)
        ok, reason = prefix.usable()
        if ok:
            return gl_check(self)
        if not prefix.kernel_lacks_32_bit or pe_machine(self.binary) == 0x8664:
            return False, reason
        # The same source built for x86-64 exercises the same Windows calls.
        alt = win64_binary()
        if not (os.path.isfile(alt) and pe_machine(alt) == 0x8664):
            return False, "%s; the x64 stand-in is missing at %s (scripts/test builds it)" % (reason, alt)
        ok64, reason64 = wine_prefix(alt).usable()
        if not ok64:
            return False, "%s; x64 stand-in %s: %s" % (reason, alt, reason64)
        loud("win32: %s cannot run here (%s); testing the x64 build %s under wine64"
             " instead" % (self.binary, reason.splitlines()[0], alt))
        self.binary = alt
        return gl_check(self)

    def describe(self):
        machine = {0x14C: "32-bit", 0x8664: "x64"}.get(pe_machine(self.binary), "unknown machine")
        return "%s (%s) under %s" % (self.binary, machine, wine_prefix(self.binary).loader)

    def run(self, args, program_dir=None, data_dir=None, timeout=None, env=None, cwd=None,
            dismiss=()):
        """Runs under Wine with the registry values set to the directories
        (None: value removed). Windows with a title in dismiss are answered
        with Enter while the program runs."""
        prefix = wine_prefix(self.binary)
        prefix.set_program_values(program_dir, data_dir)
        dismissed = []
        watcher = dismiss_watcher(list(dismiss), dismissed) if dismiss else None
        r = run_process(prefix.wine(self.binary, *args), prefix.env(env),
                        cwd=cwd or program_dir or data_dir, timeout=timeout or 300, watcher=watcher)
        r.dismissed = dismissed
        return r


# Wine names the library it could not load in lines like
# "err:wgl:init_opengl Failed to load libGL: libGL.so.1: cannot open ...".
GL_PACKAGES_32 = "libgl1:i386 libgl1-mesa-dri:i386 libglx-mesa0:i386"


def gl_check(build):
    """(ok, reason): one short run of a Windows build must get a real GL
    context, told by a non-empty GL_RENDERER in its log. Without OpenGL in
    Wine every drawing test would fail late or time out; this names the
    cause at once."""
    prefix = wine_prefix(build.binary)
    with DataDir(prefix="lumi-glcheck-") as d:
        d.write("main.ini", "[SYSTEM]\nLog=1\nFSAAmode=0\nAutoUpdate=0\n")
        log = d.file("log.txt")
        renderer = [None]

        def watch(stop):
            while not stop.is_set():
                with contextlib.suppress(OSError, AssertionError, UnicodeDecodeError):
                    for line in log_lines(log):
                        text = line.split(" ", 2)[-1] if line[:1].isdigit() else line
                        if text.startswith("GL_RENDERER:"):
                            renderer[0] = text[len("GL_RENDERER:"):].strip()
                if renderer[0] is not None:
                    # Seen: end the run (it ends on input, and none comes).
                    run_process(["wineserver", "-k"], prefix.env(), timeout=60)
                    return
                stop.wait(0.2)

        prefix.set_program_values(d.path, d.path)
        r = run_process(prefix.wine(build.binary, "/s"), prefix.env({"WINEDEBUG": "err+wgl"}),
                        cwd=d.path, timeout=120, watcher=watch)
        prefix.ensure()  # the persistent server went with wineserver -k
    if renderer[0]:
        return True, ""
    wine_says = [l.strip() for l in r.stderr.splitlines() if "libGL" in l or "OpenGL" in l]
    reason = "%s got no OpenGL under Wine (GL_RENDERER %s)" % (
        build.describe(), "empty" if renderer[0] == "" else "never logged")
    if wine_says:
        reason += "; Wine says: " + " / ".join(wine_says[:2])
    if pe_machine(build.binary) == 0x14C:
        reason += "; 32-bit Wine needs %s (scripts/deps installs them)" % GL_PACKAGES_32
    if renderer[0] is None:
        reason += "\n" + r.describe()
    return False, reason


_builds = None


def all_builds():
    """The two builds, made once per test process."""
    global _builds
    if _builds is None:
        _builds = [NativeBuild(native_binary()), Win32Build(win32_binary())]
    return _builds


def both_builds(test):
    """Runs a test method once per build, as subtests; a build that is not
    available fails with the reason (nothing passes unchecked)."""

    @functools.wraps(test)
    def wrapper(self):
        for build in all_builds():
            with self.subTest(build=build.name):
                ok, reason = build.available()
                if not ok:
                    self.fail("%s build unavailable: %s" % (build.name, reason))
                test(self, build)

    return wrapper


def preflight():
    """Checks every prerequisite of the end-to-end tests once and says which
    Windows program they will run; exit status 1 with the reason otherwise."""
    try:
        display()
        native, windows = all_builds()
        for build in (native, windows):
            ok, reason = build.available()
            if not ok:
                print("e2e preflight: %s build unavailable: %s" % (build.name, reason), file=sys.stderr)
                return 1
    except Exception as e:  # noqa: BLE001 - the message is the report
        print("e2e preflight: %s" % e, file=sys.stderr)
        return 1
    print("e2e preflight: native %s" % native.binary)
    print("e2e preflight: Windows program under test: %s, GL ok" % windows.describe())
    return 0



# ---- files ---------------------------------------------------------------------------

class DataDir:
    """A fresh temporary directory, removed afterwards (even when read-only)."""

    def __init__(self, prefix="lumi-e2e-"):
        self.path = tempfile.mkdtemp(prefix=prefix)

    def file(self, name):
        return os.path.join(self.path, name)

    def write(self, name, content, mode="w"):
        p = self.file(name)
        with open(p, mode) as f:
            f.write(content)
        return p

    def listing(self):
        return sorted(os.listdir(self.path))

    def cleanup(self):
        for root, dirs, _ in os.walk(self.path):
            for d in dirs:
                with contextlib.suppress(OSError):
                    os.chmod(os.path.join(root, d), 0o755)
        with contextlib.suppress(OSError):
            os.chmod(self.path, 0o755)
        shutil.rmtree(self.path, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.cleanup()


def decode_ini(raw):
    """Settings file bytes as text: UTF-16 with a byte-order mark, UTF-8, or
    the ANSI code page the Windows calls write (taken as cp1252)."""
    if raw.startswith(b"\xff\xfe"):
        return raw[2:].decode("utf-16-le")
    if raw.startswith(b"\xef\xbb\xbf"):
        raw = raw[3:]
    try:
        return raw.decode("utf-8")
    except UnicodeDecodeError:
        return raw.decode("cp1252", "replace")


def parse_ini(textual):
    """[(section, [(key, value), ...]), ...] in file order, as written (no
    merging, no case folding), for exact checks of the layout."""
    sections = []
    for line in textual.splitlines():
        s = line.strip()
        if s.startswith("[") and "]" in s:
            sections.append((s[1:s.rindex("]")].strip(), []))
        elif "=" in s and sections:
            k, v = s.split("=", 1)
            sections[-1][1].append((k.strip(), v.strip()))
    return sections


def read_ini(path):
    with open(path, "rb") as f:
        return parse_ini(decode_ini(f.read()))


def ini_dict(sections):
    """{(SECTION, Key): value} of the first occurrences, names as written."""
    out = {}
    for name, keys in sections:
        for k, v in keys:
            out.setdefault((name, k), v)
    return out


def read_log_bytes(path):
    with open(path, "rb") as f:
        return f.read()


def read_log(path):
    """The log as text; it must be UTF-16LE without a byte-order mark."""
    raw = read_log_bytes(path)
    if raw.startswith(b"\xff\xfe"):
        raise AssertionError("log starts with a byte-order mark")
    if len(raw) % 2:
        raise AssertionError("log has an odd number of bytes (%d)" % len(raw))
    return raw.decode("utf-16-le")


def log_lines(path):
    """The log's lines; each must end in CR LF."""
    textual = read_log(path)
    if textual and not textual.endswith("\r\n"):
        raise AssertionError("log does not end with CR LF: %r" % textual[-40:])
    return textual.split("\r\n")[:-1] if textual else []


if __name__ == "__main__" and sys.argv[1:] == ["preflight"]:
    sys.exit(preflight())
