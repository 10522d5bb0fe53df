"""Headless Wayland compositors for the tests, each with a runtime folder
of its own: sway (layer shell, two outputs) and KWin (one output at a
fractional scale), run as nobody when the tests run as root (sway refuses
root); weston (xdg-shell only, no seat); and one of our own without
xdg-shell."""

import glob
import os
import pwd
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
        for name in ("DISPLAY", "XSCREENSAVER_WINDOW"):
            e.pop(name, None)
        e.update(extra)
        return e

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

    def _start_as_user(self, argv, env):
        """Starts the compositor as nobody when the tests run as root."""
        user = {}
        if os.getuid() == 0:
            nobody = pwd.getpwnam("nobody")
            for path in [self.runtime] + glob.glob(os.path.join(self.runtime, "*")):
                os.chown(path, nobody.pw_uid, nobody.pw_gid)
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
        self._start_as_user(["sway", "-c", config], dict(WLR_BACKENDS="headless", WLR_LIBINPUT_NO_DEVICES="1",
                                                          WLR_RENDERER="pixman"))
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


class KWin(Compositor):
    """KWin's virtual backend, one output at a scale, run from a copy of
    kwin_wayland: the packaged one carries a file capability, the copy runs
    as any other program of the user."""

    def __init__(self, width, height, scale):
        super().__init__()
        _need("kwin_wayland")
        copy = os.path.join(self.runtime, "kwin_wayland")
        shutil.copy(shutil.which("kwin_wayland"), copy)
        self._start_as_user([copy, "--virtual", "--width", str(width), "--height", str(height), "--scale",
                             str(scale), "--socket", "lumi-kwin"], {})
        self._wait_socket("lumi-kwin")


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
