"""The virtual X screen of a test process and the windows on it."""
import atexit
import os
import shutil
import subprocess
import threading
import time

from .process import die_with_parent, stop_process


def read_display_number(fd, timeout):
    """What an X server started with -displayfd writes to fd: its display
    number ("" when it ends or stays silent for timeout seconds)."""
    number = b""
    deadline = time.monotonic() + timeout
    with os.fdopen(fd, "rb", buffering=0) as pipe:
        while time.monotonic() < deadline and not number.endswith(b"\n"):
            chunk = pipe.read(16)
            if not chunk:
                break
            number += chunk
    return number.decode().strip()


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
            start_new_session=True, preexec_fn=die_with_parent)
        os.close(w)
        number = read_display_number(r, 30)
        if not number:
            self.stop()
            raise RuntimeError("Xvfb did not report a display number")
        self.display = ":" + number
        return self

    def stop(self):
        stop_process(self.proc)
        self.proc = None


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
