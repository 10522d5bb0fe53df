"""The program as a user gets it: installed with cmake --install into a
temporary prefix, with no LUMISAVER_* variable, settings in a home of its own.

The prefix and its folders are 0755 so that an unprivileged user (the
xscreensaver daemon's tests run it as nobody) can read and run it."""

import os
import shutil
import sys
import tempfile

import harness

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "servers"))
import peers  # noqa: E402

HACK = os.path.join("libexec", "xscreensaver", "lumisaver")


def content_names():
    """01.bin, 01.bmp .. 100.bin, 100.bmp."""
    return sorted("%02d.%s" % (n, ext) for n in range(1, 101) for ext in ("bin", "bmp"))


class Prefix:
    """A cmake --install of this build tree into a fresh temporary prefix
    (or into DESTDIR/prefix when destdir is given)."""

    def __init__(self, prefix=None, destdir=None):
        self.root = tempfile.mkdtemp(prefix="lumi-install-")
        os.chmod(self.root, 0o755)
        self.prefix = prefix or os.path.join(self.root, "prefix")
        self.destdir = os.path.join(self.root, "dest") if destdir else None
        env = dict(os.environ)
        env.pop("DESTDIR", None)
        if self.destdir:
            env["DESTDIR"] = self.destdir
        r = harness.run_process(["cmake", "--install", harness.BUILD, "--prefix", self.prefix], env,
                                timeout=300)
        if r.returncode != 0:
            raise AssertionError("cmake --install failed:\n" + r.describe())
        self.top = self.destdir + self.prefix if self.destdir else self.prefix

    def path(self, *parts):
        return os.path.join(self.top, *parts)

    def listing(self):
        """Every file and folder under the installed tree, relative to it."""
        out = []
        for folder, dirs, files in os.walk(self.top):
            out += [os.path.relpath(os.path.join(folder, n), self.top) for n in dirs + files]
        return sorted(out)

    def cleanup(self):
        shutil.rmtree(self.root, ignore_errors=True)


def user_env(home, xdg=None, **extra):
    """A user's environment: no LUMISAVER_* variable, no display, the given
    HOME (and XDG_CONFIG_HOME), a first run's probe that finds nothing."""
    env = {k: v for k, v in os.environ.items()
           if not k.startswith("LUMISAVER_") and k not in ("DISPLAY", "XDG_CONFIG_HOME", "XSCREENSAVER_WINDOW")}
    env["HOME"] = home
    env["LUMISAVER_PROBE_HOST"] = "127.0.0.1:%d" % peers.closed_port()
    if xdg:
        env["XDG_CONFIG_HOME"] = xdg
    env.update(extra)
    return env


def snapshot(binary, out, env, *args):
    """Runs a snapshot; returns the test_snapshot Picture."""
    from test_snapshot import Picture
    r = harness.run_process([binary, "--snapshot", out] + list(args), env, timeout=300)
    if r.returncode != 0:
        raise AssertionError("snapshot failed:\n" + r.describe())
    return Picture(out)
