"""The native and the Windows build, how to run them, and the checks that
both can run here before any test uses them."""
import contextlib
import functools
import os
import sys

from .files import DataDir, log_lines, write_settings, settings
from .paths import loud, native_binary, win32_binary, win64_binary
from .process import run_process
from .wine import pe_machine, wine_prefix
from .xdisplay import dismiss_watcher, display


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
        e.pop("WAYLAND_DISPLAY", None)  # the X11 program the tests know
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
        write_settings(d.file("main.ini"), settings())
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


def windows_build(test):
    """The Windows build the tests run; fails `test` with the reason when it
    cannot run here."""
    build = all_builds()[1]
    ok, reason = build.available()
    if not ok:
        test.fail("Windows build unavailable: " + reason)
    return build


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
