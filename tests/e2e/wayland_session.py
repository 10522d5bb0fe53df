"""Headless Wayland compositors for the tests: sway (layer shell, two
outputs, run as nobody when the tests run as root: sway refuses root),
weston (xdg-shell only, no seat), mutter (under a private session bus, its
input through RemoteDesktop), KWin (ext-idle-notify, a fractional scale,
run as nobody when the tests run as root) and one of our own without
xdg-shell, each with a runtime folder of its own."""

import glob
import os
import pwd
import select
import shutil
import subprocess
import tempfile
import time

import harness
from window_session import Session

OUTPUT = (1280, 720)


def _need(*tools):
    missing = [t for t in tools if shutil.which(t) is None]
    if missing:
        raise RuntimeError("missing %s (scripts/deps installs them)" % ", ".join(missing))


def ppm_pixels(data):
    """(width, height, RGB bytes) of a binary PPM."""
    fields, at = [], 0
    while len(fields) < 4:
        while data[at:at + 1].isspace():
            at += 1
        end = at
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[at:end])
        at = end
    if fields[0] != b"P6" or fields[3] != b"255":
        raise AssertionError("not an 8-bit PPM: %r" % fields)
    width, height = int(fields[1]), int(fields[2])
    return width, height, data[at + 1:at + 1 + 3 * width * height]


def crop(rgb, width, x, w, h):
    """The columns x..x+w of an RGB picture `width` wide, rows 0..h."""
    return b"".join(rgb[3 * (row * width + x):3 * (row * width + x + w)] for row in range(h))


class Compositor:
    """A headless compositor; env() is what its clients need."""

    def __init__(self):
        self.runtime = tempfile.mkdtemp(prefix="lumi-wl-")
        self.proc, self.socket, self.log = None, None, tempfile.TemporaryFile()

    def env(self, **extra):
        e = dict(os.environ, XDG_RUNTIME_DIR=self.runtime, WAYLAND_DISPLAY=self.socket)
        for name in ("DISPLAY", "XSCREENSAVER_WINDOW", "DBUS_SESSION_BUS_ADDRESS"):
            e.pop(name, None)
        e.update(extra)
        return {k: v for k, v in e.items() if v is not None}  # before the socket is known: none

    def run(self, *argv, timeout=20, cwd=None):
        return subprocess.run(list(argv), env=self.env(), cwd=cwd, timeout=timeout, stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, check=True).stdout

    def session(self, args=(), x_display=None, extra_env=None, **kw):
        """A run of the native program here; x_display: DISPLAY for it too."""
        env = self.env(**(extra_env or {}))
        env["DISPLAY"] = x_display
        return Session(harness.NativeBuild(harness.native_binary()), args=args, env=env, **kw)

    def _wait_socket(self, pattern):
        deadline = time.monotonic() + 15
        while time.monotonic() < deadline and self.proc.poll() is None:
            found = [p for p in glob.glob(os.path.join(self.runtime, pattern)) if not p.endswith(".lock")]
            if found:
                self.socket = os.path.basename(found[0])
                return
            time.sleep(0.1)
        self.log.seek(0)
        raise RuntimeError("the compositor did not start:\n" + self.log.read().decode("utf-8", "replace")[-2000:])

    def _start_unprivileged(self, argv, **env):
        """Runs argv in the runtime folder's owner's name: nobody when the
        tests run as root."""
        user = {}
        if os.getuid() == 0:
            nobody = pwd.getpwnam("nobody")
            for folder, _, files in os.walk(self.runtime):
                for name in [folder] + [os.path.join(folder, f) for f in files]:
                    os.chown(name, nobody.pw_uid, nobody.pw_gid)
            user = dict(user=nobody.pw_uid, group=nobody.pw_gid, extra_groups=[])
        os.chmod(self.runtime, 0o700)
        env = dict(env, XDG_RUNTIME_DIR=self.runtime, PATH=os.environ.get("PATH", "/usr/bin:/bin"), HOME=self.runtime)
        self.proc = subprocess.Popen(argv, env=env, stdout=self.log, stderr=self.log, stdin=subprocess.DEVNULL,
                                     start_new_session=True, preexec_fn=harness.process.die_with_parent, **user)

    def describe(self):
        self.log.seek(0)
        return self.log.read().decode("utf-8", "replace")[-2000:]

    def close(self):
        harness.stop_process(self.proc, grace=5)
        self.log.close()
        shutil.rmtree(self.runtime, ignore_errors=True)


class Sway(Compositor):
    """sway on the headless backend with `outputs` outputs of OUTPUT size."""

    def __init__(self, outputs=2):
        super().__init__()
        _need("sway", "swaymsg", "grim")
        config = os.path.join(self.runtime, "config")
        with open(config, "w") as f:
            f.write("xwayland disable\noutput * mode %dx%d\n" % OUTPUT)
        self._start_unprivileged(["sway", "-c", config], WLR_BACKENDS="headless", WLR_LIBINPUT_NO_DEVICES="1",
                                 WLR_RENDERER="pixman")
        self._wait_socket("wayland-*")
        ipc = glob.glob(os.path.join(self.runtime, "sway-ipc.*.sock"))
        self.ipc = ipc[0] if ipc else None
        for _ in range(outputs - 1):
            self.swaymsg("create_output")
        self.swaymsg("output * mode %dx%d" % OUTPUT)

    def env(self, **extra):
        return super().env(SWAYSOCK=self.ipc or "", **extra)

    def swaymsg(self, command):
        return self.run("swaymsg", command)

    def screen(self, output=None):
        """(width, height, RGB) of the whole layout, or of one output at its own pixels."""
        return ppm_pixels(self.run("grim", *(["-o", output] if output else []), "-t", "ppm", "-"))


class Bare(Compositor):
    """tests/bare_compositor: the layer shell and no xdg-shell."""

    def __init__(self):
        super().__init__()
        os.chmod(self.runtime, 0o700)
        self.proc = subprocess.Popen(
            [os.path.join(harness.BUILD, "tests", "bare_compositor"), "lumi-bare"],
            env=dict(os.environ, XDG_RUNTIME_DIR=self.runtime), stdout=self.log, stderr=self.log,
            stdin=subprocess.DEVNULL, start_new_session=True, preexec_fn=harness.process.die_with_parent)
        self._wait_socket("lumi-bare")


class Weston(Compositor):
    def __init__(self):
        super().__init__()
        _need("weston", "weston-screenshooter", "convert")
        os.chmod(self.runtime, 0o700)
        self.proc = subprocess.Popen(
            ["weston", "--backend=headless-backend.so", "--use-pixman", "--width=%d" % OUTPUT[0],
             "--height=%d" % OUTPUT[1], "--socket=lumi-weston", "--debug", "--idle-time=0"],
            env=dict(os.environ, XDG_RUNTIME_DIR=self.runtime), stdout=self.log, stderr=self.log,
            stdin=subprocess.DEVNULL, start_new_session=True, preexec_fn=harness.process.die_with_parent)
        self._wait_socket("lumi-weston")

    def screen(self):
        folder = tempfile.mkdtemp(prefix="lumi-shot-")
        try:
            self.run("weston-screenshooter", cwd=folder)
            shots = glob.glob(os.path.join(folder, "*.png"))
            if not shots:
                raise AssertionError("weston-screenshooter wrote no picture")
            return ppm_pixels(subprocess.run(["convert", shots[0], "-depth", "8", "ppm:-"], check=True,
                                             stdout=subprocess.PIPE, timeout=30).stdout)
        finally:
            shutil.rmtree(folder, ignore_errors=True)


class KWin(Compositor):
    """kwin_wayland on its virtual backend: ext-idle-notify, no layer shell
    for us. Run from a copy without the file capability the installed one
    carries, which an unprivileged process may not take on."""

    def __init__(self, width=OUTPUT[0], height=OUTPUT[1], scale=None):
        super().__init__()
        _need("kwin_wayland")
        binary = os.path.join(self.runtime, "kwin_wayland")  # the name selects its Qt platform plugin
        shutil.copy(shutil.which("kwin_wayland"), binary)
        os.chmod(binary, 0o755)
        self._start_unprivileged([binary, "--virtual", "--socket", "lumi-kwin", "--width", str(width),
                                  "--height", str(height), "--no-lockscreen", "--no-global-shortcuts",
                                  "--no-kactivities"] + (["--scale", str(scale)] if scale else []),
                                 QT_QPA_PLATFORM="wayland-org.kde.kwin.qpa")
        self._wait_socket("lumi-kwin")


class Mutter(Compositor):
    """GNOME's compositor headless under a private session bus of the
    tests' user, where it offers org.gnome.Mutter.IdleMonitor and
    RemoteDesktop."""

    def __init__(self, session_manager=False):
        """session_manager: a stand-in for gnome-session's inhibitor
        registry, started before mutter so that its idle monitor sees it."""
        super().__init__()
        _need("mutter", "dbus-daemon", "dbus-send", "/usr/bin/python3")
        os.chmod(self.runtime, 0o700)
        self.bus_address = "unix:path=" + os.path.join(self.runtime, "bus")
        self.bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--address=" + self.bus_address],
                                    stdout=self.log, stderr=self.log, stdin=subprocess.DEVNULL,
                                    start_new_session=True, preexec_fn=harness.process.die_with_parent)
        self._wait_name("org.freedesktop.DBus")
        self.helpers = []
        self.session_manager = self.helper("session_manager.py") if session_manager else None
        self.proc = subprocess.Popen(
            ["mutter", "--headless", "--wayland", "--no-x11", "--wayland-display=lumi-mutter",
             "--virtual-monitor", "%dx%d" % OUTPUT], env=self.env(), stdout=self.log, stderr=self.log,
            stdin=subprocess.DEVNULL, start_new_session=True, preexec_fn=harness.process.die_with_parent)
        self._wait_socket("lumi-mutter")
        self._wait_name("org.gnome.Mutter.IdleMonitor")

    def env(self, **extra):
        return super().env(DBUS_SESSION_BUS_ADDRESS=self.bus_address, **extra)

    def _wait_name(self, name):
        deadline = time.monotonic() + 15
        while time.monotonic() < deadline:
            r = subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus",
                                "/org/freedesktop/DBus", "org.freedesktop.DBus.NameHasOwner", "string:" + name],
                               env=self.env(), stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=10)
            if b"boolean true" in r.stdout:
                return
            time.sleep(0.1)
        raise RuntimeError("%s did not appear on the bus:\n%s" % (name, self.describe()))

    def helper(self, script):
        """A Python helper of hosts/ on this bus (the system's Python, which
        has gi), driven by lines on its stdin, each answered "ok"."""
        proc = subprocess.Popen(["/usr/bin/python3", os.path.join(os.path.dirname(__file__), "hosts", script)],
                                env=self.env(), stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=self.log,
                                start_new_session=True, preexec_fn=harness.process.die_with_parent)
        self.helpers.append(proc)
        self.ask(proc, None)
        return proc

    def ask(self, proc, command):
        if command is not None:
            proc.stdin.write(command.encode() + b"\n")
            proc.stdin.flush()
        ready, _, _ = select.select([proc.stdout], [], [], 15)
        answer = proc.stdout.readline().strip() if ready else b""
        if answer != b"ok":
            raise AssertionError("%s answered %r to %r:\n%s" % (proc.args[1], answer, command, self.describe()))

    def close(self):
        for proc in self.helpers:
            harness.stop_process(proc, grace=3)
        super().close()
        harness.stop_process(self.bus, grace=3)
