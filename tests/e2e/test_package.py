"""The Debian package made by cpack from the install rules: its name, its
control fields, a dependency for every library its programs load, its
contents, what lintian says of it, and the programs it holds running where
it is unpacked."""

import os
import re
import shutil
import subprocess
import tempfile
import time
import unittest

import harness
import installed


def run(argv, **kwargs):
    return subprocess.run(argv, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=600, **kwargs)


def package_version():
    with open(os.path.join(harness.BUILD, "CPackConfig.cmake")) as f:
        return re.search(r'set\(CPACK_PACKAGE_VERSION "([^"]+)"\)', f.read()).group(1)


def depends_names(field):
    """Every package named in a Depends field, alternatives included."""
    names = set()
    for group in field.split(","):
        for alternative in group.split("|"):
            names.add(re.match(r"\s*([a-z0-9][a-z0-9.+-]*)", alternative).group(1))
    return names


def owner_of_library(soname):
    """The Debian package that holds the x86-64 library of this name."""
    listing = run(["ldconfig", "-p"]).stdout.decode()
    match = re.search(r"^\s*%s \(libc6,x86-64\) => (\S+)$" % re.escape(soname), listing, re.M)
    if not match:
        raise AssertionError("%s is not a library of this system" % soname)
    return owner_of_file(match.group(1))


def owner_of_file(path):
    """The Debian package that holds a file of the system."""
    # Merged /usr: the package may list the file under either spelling.
    for candidate in (path, os.path.realpath(path), "/usr" + path, path.replace("/usr/lib/", "/lib/", 1)):
        r = run(["dpkg", "-S", candidate])
        if r.returncode == 0:
            return r.stdout.decode().split(":")[0]
    raise AssertionError("no package holds %s" % path)


OPTIONAL_AT_RUN_TIME = {"libxcursor1", "libxrender1"}


def dependency_closure(names):
    """The packages apt installs for these, following Depends and
    Pre-Depends only (a fresh system may install no recommendation)."""
    r = run(["apt-cache", "depends", "--recurse", "--installed", "--no-recommends", "--no-suggests",
             "--no-conflicts", "--no-breaks", "--no-replaces", "--no-enhances"] + sorted(names))
    return {line.strip() for line in r.stdout.decode().splitlines()
            if line and not line.startswith(" ") and not line.startswith("<")}


def loaded_libraries(stderr):
    """The libraries the dynamic loader initialised (LD_DEBUG=libs), those
    a driver opened at run time included."""
    return set(re.findall(r"calling init: (/\S+)", stderr))


class DebianPackage(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        for tool in ("cpack", "dpkg-deb", "dpkg-shlibdeps", "readelf"):
            if not shutil.which(tool):
                raise AssertionError("%s is not installed (scripts/deps)" % tool)
        cls.work = tempfile.mkdtemp(prefix="lumi-deb-")
        r = run(["cpack", "-G", "DEB", "--config", os.path.join(harness.BUILD, "CPackConfig.cmake"),
                 "-B", cls.work])
        debs = [n for n in os.listdir(cls.work) if n.endswith(".deb")]
        if r.returncode != 0 or len(debs) != 1:
            raise AssertionError("cpack failed:\n" + r.stdout.decode()[-3000:])
        cls.deb = os.path.join(cls.work, debs[0])
        cls.unpacked = os.path.join(cls.work, "unpacked")
        subprocess.run(["dpkg-deb", "-x", cls.deb, cls.unpacked], check=True, timeout=300)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)

    def field(self, name):
        return run(["dpkg-deb", "-f", self.deb, name]).stdout.decode().strip()

    def test_name_and_control_fields(self):
        version = package_version()
        self.assertEqual(os.path.basename(self.deb), "lumiscript_%s_amd64.deb" % version)
        self.assertEqual((self.field("Package"), self.field("Version"), self.field("Architecture")),
                         ("lumiscript", version, "amd64"))
        info = run(["dpkg-deb", "-I", self.deb]).stdout.decode()
        self.assertRegex(info, r"(?m)^ Depends: .*libx11-6")
        self.assertRegex(info, r"(?m)^ Depends: .*libwayland-client0")
        self.assertRegex(info, r"(?m)^ Depends: .*libsystemd0")  # the watcher's D-Bus

    def test_every_library_the_programs_load_is_a_dependency(self):
        depends = depends_names(self.field("Depends"))
        # The GL libraries only dispatch: a driver must be there, and a font.
        self.assertLessEqual({"libgl1-mesa-dri", "libglx-mesa0", "libegl-mesa0", "fonts-dejavu-core"}, depends)
        for program in (os.path.join("usr", installed.HACK), os.path.join("usr", "bin", "lumitool")):
            dynamic = run(["readelf", "-d", os.path.join(self.unpacked, program)]).stdout.decode()
            needed = re.findall(r"\(NEEDED\)\s+Shared library: \[([^\]]+)\]", dynamic)
            self.assertIn("libc.so.6", needed)
            for soname in needed:
                with self.subTest(program=program, library=soname):
                    self.assertIn(owner_of_library(soname), depends)

    def test_everything_a_run_loads_comes_with_the_dependencies(self):
        """What a fresh system gets from apt for this package holds every
        library a run loads: the GL driver, the X and EGL paths, fonts'
        libraries."""
        closure = dependency_closure(depends_names(self.field("Depends")))
        hack = os.path.join(self.unpacked, "usr", installed.HACK)
        home = tempfile.mkdtemp(prefix="home-", dir=self.work)
        env = dict(installed.user_env(home), LD_DEBUG="libs")
        snap = harness.run_process([hack, "--snapshot", os.path.join(self.work, "ld.png"), "--size", "320x180"],
                                   env, timeout=300)
        self.assertEqual(snap.returncode, 0, snap.describe())
        # A run on a display: GLX instead of EGL; it ends on SIGTERM.
        window = subprocess.Popen([hack, "--window"], env=dict(env, DISPLAY=harness.display()),
                                  stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, cwd=home)
        try:
            time.sleep(4)
            window.terminate()
            _, err = window.communicate(timeout=30)
        finally:
            if window.poll() is None:
                window.kill()
                window.wait()
        libraries = loaded_libraries(snap.stderr) | loaded_libraries(err.decode("utf-8", "replace"))
        self.assertTrue(any("libGLX_mesa" in p for p in libraries), "the X run loaded no GL driver")
        self.assertTrue(any("libEGL_mesa" in p for p in libraries), "the snapshot loaded no EGL driver")
        for path in sorted(libraries):
            with self.subTest(library=path):
                owner = owner_of_file(path)
                # libX11 opens the cursor-theme library when there is one
                # and goes on without it.
                if owner not in OPTIONAL_AT_RUN_TIME:
                    self.assertIn(owner, closure)

    def test_contents(self):
        listing = run(["dpkg-deb", "-c", self.deb]).stdout.decode()
        paths = set(re.findall(r"\s\./(\S+?)(?: -> \S+)?$", listing, re.M))
        for path in (installed.HACK, "bin/lumisaver", "bin/lumitool", "share/xscreensaver/config/lumisaver.xml",
                     "share/man/man6/lumisaver.6.gz", "share/man/man1/lumitool.1.gz",
                     "share/doc/lumiscript/copyright", "share/doc/lumiscript/changelog.gz"):
            self.assertIn("usr/" + path, paths)
        content = sorted(p.split("/")[-1] for p in paths if p.startswith("usr/share/lumiscript/") and
                         not p.endswith("/"))
        self.assertEqual(content, installed.content_names())
        self.assertRegex(listing, r"\./usr/bin/lumisaver -> \.\./libexec/xscreensaver/lumisaver")

    def test_unpacked_programs_run(self):
        home = tempfile.mkdtemp(prefix="home-", dir=self.work)
        env = installed.user_env(home)
        hack = os.path.join(self.unpacked, "usr", installed.HACK)
        pic = installed.snapshot(hack, os.path.join(self.work, "deb.png"), env, "--at", "5", "--size", "480x270")
        data = tempfile.mkdtemp(prefix="data-", dir=self.work)
        reference = installed.snapshot(harness.native_binary(), os.path.join(self.work, "ref.png"),
                                       dict(env, LUMISAVER_PROGRAM_DIR=os.path.join(harness.BUILD, "content"),
                                            LUMISAVER_APPDATA_DIR=data), "--at", "5", "--size", "480x270")
        self.assertEqual(pic.rows, reference.rows)
        r = run([os.path.join(self.unpacked, "usr", "bin", "lumitool"), "model-info",
                 os.path.join(self.unpacked, "usr", "share", "lumiscript", "01.bin")])
        self.assertEqual(r.returncode, 0, r.stdout.decode())

    def test_lintian_finds_no_error_or_warning(self):
        if not shutil.which("lintian"):
            raise AssertionError("lintian is not installed (scripts/deps)")
        r = run(["lintian", "--allow-root", self.deb])
        report = r.stdout.decode()
        self.assertEqual(re.findall(r"(?m)^[EW]: .*$", report), [], report)
        self.assertEqual(r.returncode, 0, report)
        # The changelog is the Debian form of this very version.
        changelog = run(["gzip", "-dc", os.path.join(self.unpacked, "usr/share/doc/lumiscript/changelog.gz")])
        self.assertRegex(changelog.stdout.decode(), r"^lumiscript \(%s\) " % re.escape(package_version()))

    def test_apt_resolves_the_dependencies(self):
        r = run(["apt-get", "install", "--simulate", "--no-install-recommends", self.deb])
        self.assertEqual(r.returncode, 0, r.stdout.decode())
        self.assertRegex(r.stdout.decode(), r"(?m)^Inst lumiscript ")


if __name__ == "__main__":
    unittest.main()
