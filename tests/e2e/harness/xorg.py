"""A second X server with two monitors side by side, for tests of what a
program does across a seam: Xorg's dummy driver (no GPU; GLX by Mesa's
llvmpipe) with two 1280x720 outputs laid out by xrandr, DUMMY0 at the
origin and primary, DUMMY1 right of it."""
import atexit
import os
import re
import shutil
import subprocess
import tempfile
import threading

from .process import die_with_parent, stop_process
from .xdisplay import read_display_number

MONITOR = (1280, 720)

CONFIG = """Section "ServerFlags"
  Option "AutoAddDevices" "false"
  Option "AutoAddGPU" "false"
  Option "DontVTSwitch" "true"
EndSection
Section "Device"
  Identifier "dummy"
  Driver "dummy"
  VideoRam 32768
EndSection
Section "Screen"
  Identifier "screen"
  Device "dummy"
  DefaultDepth 24
  SubSection "Display"
    Depth 24
    Virtual 3000 1200
  EndSubSection
EndSection
"""

# cvt 1280 720
MODE = ["1280x720_lumi", "74.48", "1280", "1336", "1472", "1664", "720", "721", "724", "746",
        "-hsync", "+vsync"]


class TwoMonitorXorg:
    def __init__(self):
        self.proc = None
        self.display = None
        self.folder = tempfile.mkdtemp(prefix="lumi-e2e-xorg-")

    def _fail(self, why):
        log = ""
        try:
            with open(os.path.join(self.folder, "Xorg.log"), errors="replace") as f:
                log = "".join(line for line in f if "(EE)" in line)[-2000:]
        except OSError:
            pass
        self.stop()
        raise RuntimeError("two-monitor Xorg: %s%s" % (why, "\n" + log if log else ""))

    def start(self):
        for tool, package in (("Xorg", "xserver-xorg-core"), ("xrandr", "x11-xserver-utils")):
            if not shutil.which(tool):
                raise RuntimeError("%s is not installed (package %s; scripts/deps installs it)" % (tool, package))
        if not os.path.isfile("/usr/lib/xorg/modules/drivers/dummy_drv.so"):
            raise RuntimeError("Xorg's dummy driver is not installed (package xserver-xorg-video-dummy)")
        with open(os.path.join(self.folder, "xorg.conf"), "w") as f:
            f.write(CONFIG)
        r, w = os.pipe()
        # A relative -config is looked up from the working directory, which
        # Xorg allows an ordinary user as well as root.
        self.proc = subprocess.Popen(
            ["Xorg", "-displayfd", str(w), "-config", "xorg.conf", "-noreset", "-nolisten", "tcp",
             "-logfile", os.path.join(self.folder, "Xorg.log")],
            cwd=self.folder, pass_fds=(w,), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL, start_new_session=True, preexec_fn=die_with_parent)
        os.close(w)
        number = read_display_number(r, 60)
        if not number:
            self._fail("the server did not start (uid %d)" % os.getuid())
        self.display = ":" + number
        width, height = MONITOR
        self._xrandr("--newmode", *MODE)
        for output in ("DUMMY0", "DUMMY1"):
            self._xrandr("--addmode", output, MODE[0])
        self._xrandr("--output", "DUMMY0", "--mode", MODE[0], "--pos", "0x0", "--primary",
                     "--output", "DUMMY1", "--mode", MODE[0], "--pos", "%dx0" % width)
        listing = self._xrandr("--listmonitors")
        if len(re.findall(r"^\s*\d+: ", listing, re.M)) != 2:
            self._fail("xrandr did not set up two monitors:\n" + listing)
        return self

    def _xrandr(self, *args):
        r = subprocess.run(["xrandr", "-display", self.display] + list(args), stdout=subprocess.PIPE,
                           stderr=subprocess.STDOUT, timeout=60)
        if r.returncode != 0:
            self._fail("xrandr %s: %s" % (" ".join(args), r.stdout.decode(errors="replace")))
        return r.stdout.decode(errors="replace")

    def stop(self):
        stop_process(self.proc)
        self.proc = None
        shutil.rmtree(self.folder, ignore_errors=True)


_server = None
_lock = threading.Lock()


def two_monitor_display():
    """The display of the process-wide two-monitor Xorg, started on first
    use; raises RuntimeError saying what is missing when it cannot start."""
    global _server
    with _lock:
        if _server is None:
            server = TwoMonitorXorg().start()
            atexit.register(server.stop)
            _server = server
        return _server.display
