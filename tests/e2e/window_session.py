"""A screensaver run that a test drives while it runs (input with xdotool,
signals), watched through its log; and raw Xlib calls, through ctypes, for
windows the tests own."""

import ctypes
import ctypes.util
import os
import re
import signal
import subprocess
import tempfile
import time

import harness

READY = re.compile(r"(Software|Hardware|Mixed-mode) rendering$")
SET_UP = re.compile(r"(No multisampling|Multisample mode -?\d+)$")


settings = harness.settings
write_settings = harness.write_settings


def warm(r, g, b):
    """The gilded model and the amber text: red well above blue."""
    return r >= 60 and b <= 0.8 * r


def xdotool(*args, display=None):
    subprocess.run(["xdotool"] + [str(a) for a in args], env=dict(os.environ, DISPLAY=display or harness.display()),
                   check=True, timeout=30, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


class Session:
    """One background run of a build with data and program folders of its own."""

    def __init__(self, build, args=(), ini=None, env=None, program_files=None, display=None):
        """program_files: {name: bytes} placed in the program folder before the
        start, so the first entry's files are there when it loads them.
        display: the run's X display (the harness's Xvfb by default); Wine's
        server must have been started on it, or not at all."""
        self.build, self.returncode, self._display = build, None, display
        self._args, self._env, self._restarted = list(args), env, False
        self.data = harness.DataDir()
        self.program = harness.DataDir(prefix="lumi-e2e-content-")
        write_settings(self.data.file("main.ini"), ini or settings())
        for name, content in (program_files or {}).items():
            self.program.write(name, content, "wb")
        self.errors = tempfile.TemporaryFile()
        self._start()

    def _start(self):
        build, args, env = self.build, self._args, self._env
        if build.name == "native":
            e = dict(os.environ, DISPLAY=self._display or harness.display(), LUMISAVER_PROGRAM_DIR=self.program.path,
                     LUMISAVER_APPDATA_DIR=self.data.path)
            e.pop("XSCREENSAVER_WINDOW", None)
            e.pop("WAYLAND_DISPLAY", None)  # an X11 run, unless env names a compositor
            e.update(env or {})
            e = {k: v for k, v in e.items() if v is not None}  # None in env: unset
            argv = [build.binary] + list(args)
        else:
            prefix = harness.wine_prefix(build.binary)
            prefix.set_program_values(self.program.path, self.data.path)
            e = prefix.env(dict(env or {}, **({"DISPLAY": self._display} if self._display else {})))
            argv = prefix.wine(build.binary, *args)
        self.proc = subprocess.Popen(argv, env=e, cwd=self.data.path, stdin=subprocess.DEVNULL,
                                     stdout=subprocess.DEVNULL, stderr=self.errors, start_new_session=True)

    def log(self):
        try:
            return [line[20:] for line in harness.log_lines(self.data.file("log.txt"))]
        except (FileNotFoundError, AssertionError):
            return []  # not written yet, or caught mid-line

    def wait_for_log(self, pattern, timeout):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline and self.alive():
            if any(pattern.search(line) for line in self.log()):
                return True
            time.sleep(0.1)
        return False

    def wait_ready(self):
        """True once window, context and scene exist. Under Wine the rendering
        kind may go unlogged: the multisampling line and a pause stand in."""
        ok = self.wait_for_log(READY if self.build.name == "native" else SET_UP, 60)
        if not ok and not self.alive() and self.build.name != "native" and not self._restarted \
                and not self.log():
            # Wine occasionally ends a start before the program has run at
            # all (nothing logged, nothing on stderr); one more start tells
            # that apart from a program that fails.
            harness.loud("%s: Wine ended the start before the program ran (rc=%r); starting once more"
                         % (self.build.name, self.proc.poll()))
            self._restarted = True
            self._start()
            return self.wait_ready()
        if ok and self.build.name != "native":
            self.wait_for_log(READY, 5)
        time.sleep(0.5)
        return ok and self.alive()

    def alive(self):
        return self.proc.poll() is None

    def signal(self, number):
        os.kill(self.proc.pid, number)

    def finish(self, timeout=20):
        """The exit code; None when the run had to be killed after timeout."""
        try:
            self.returncode = self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            os.killpg(self.proc.pid, signal.SIGKILL)
            self.proc.wait()
        return self.returncode

    def describe(self):
        self.errors.seek(0)
        if self.returncode is None and self.proc.poll() is not None:
            self.returncode = self.proc.returncode
        return "%s rc=%r\n--- stderr\n%s\n--- log\n%s" % (
            self.build.name, self.returncode, self.errors.read().decode("utf-8", "replace")[-3000:],
            "\n".join(self.log()[-40:]))

    def clear_settings(self):
        """Empties the settings file (already read), so that what it holds
        afterwards is what the end of the run wrote."""
        self.data.write("main.ini", "")

    def settings_file(self):
        return harness.ini_dict(harness.read_ini(self.data.file("main.ini")))

    def close(self):
        if self.alive():
            os.killpg(self.proc.pid, signal.SIGKILL)
            self.proc.wait()
        self.errors.close()
        self.data.cleanup()
        self.program.cleanup()


class _ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]


class _Event(ctypes.Union):
    _fields_ = [("xclient", _ClientMessage), ("pad", ctypes.c_long * 24)]


class XClient:
    """A connection of the test's own, for windows it creates and closes."""

    def __init__(self, display=None):
        x = self.x = ctypes.CDLL(ctypes.util.find_library("X11"))
        vp, ul, i = ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int
        for name, result, args in (
                ("XOpenDisplay", vp, [ctypes.c_char_p]), ("XDefaultRootWindow", ul, [vp]),
                ("XCreateSimpleWindow", ul, [vp, ul, i, i, ctypes.c_uint, ctypes.c_uint, ctypes.c_uint, ul, ul]),
                ("XMapWindow", i, [vp, ul]), ("XDestroyWindow", i, [vp, ul]), ("XSync", i, [vp, i]),
                ("XInternAtom", ul, [vp, ctypes.c_char_p, i]), ("XCloseDisplay", i, [vp]),
                ("XSendEvent", i, [vp, ul, i, ctypes.c_long, ctypes.POINTER(_Event)])):
            getattr(x, name).restype, getattr(x, name).argtypes = result, args
        self.display = x.XOpenDisplay((display or harness.display()).encode())

    def create_window(self, x, y, width, height):
        """A mapped white window."""
        w = self.x.XCreateSimpleWindow(self.display, self.x.XDefaultRootWindow(self.display), x, y, width,
                                       height, 0, 0, 0xFFFFFF)
        self.x.XMapWindow(self.display, w)
        self.x.XSync(self.display, 0)
        return w

    def destroy_window(self, window):
        self.x.XDestroyWindow(self.display, window)
        self.x.XSync(self.display, 0)

    def ask_to_close(self, window):
        """What a window manager sends when the user closes a window."""
        event = _Event()
        event.xclient.type, event.xclient.window, event.xclient.format = 33, window, 32  # ClientMessage
        event.xclient.message_type = self.x.XInternAtom(self.display, b"WM_PROTOCOLS", 0)
        event.xclient.data[0] = self.x.XInternAtom(self.display, b"WM_DELETE_WINDOW", 0)
        self.x.XSendEvent(self.display, window, 0, 0, ctypes.byref(event))
        self.x.XSync(self.display, 0)

    def close(self):
        self.x.XCloseDisplay(self.display)


def _x_tool(*argv):
    return subprocess.run(argv, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=120,
                          check=True).stdout


def screen_pixels(x, y, width, height, display=None):
    """RGB bytes of a rectangle of the screen."""
    return _x_tool("import", "-display", display or harness.display(), "-window", "root", "-crop",
                   "%dx%d+%d+%d" % (width, height, x, y), "-depth", "8", "rgb:-")


def top_level_windows():
    """{id: (width, height)} of the root's children."""
    listing = _x_tool("xwininfo", "-display", harness.display(), "-root", "-children").decode()
    return {int(m.group(1), 16): (int(m.group(2)), int(m.group(3)))
            for m in re.finditer(r"^\s+(0x[0-9a-f]+) .*?\s(\d+)x(\d+)[+-]", listing, re.M)}


def drawing_window(before, size):
    """The window GL draws in: the child of the one new top-level window of
    `size` (the full-screen run's black cover), or that window itself."""
    ours = [w for w, s in top_level_windows().items() if w not in before and s == size]
    if len(ours) != 1:
        raise AssertionError("not one new %dx%d window: %r" % (size + (top_level_windows(),)))
    listing = _x_tool("xwininfo", "-display", harness.display(), "-id", str(ours[0]), "-children").decode()
    children = [int(m.group(1), 16) for m in re.finditer(r"^\s+(0x[0-9a-f]+) ", listing, re.M)]
    return children[0] if children else ours[0]


def window_visual(window):
    info = _x_tool("xwininfo", "-display", harness.display(), "-id", str(window)).decode()
    return int(re.search(r"Visual: (0x[0-9a-f]+)", info).group(1), 16)
