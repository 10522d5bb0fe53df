"""Running programs in their own process group, with a time-out."""
import contextlib
import os
import signal
import subprocess
import tempfile
import threading
import time


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


def die_with_parent():
    """In the child: end with the test process even when it is killed
    (a ctest timeout), so no server is left behind."""
    import ctypes
    with contextlib.suppress(Exception):
        ctypes.CDLL(None).prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG
