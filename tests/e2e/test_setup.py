"""scripts/apt-install against a local archive one of whose indexes is broken.

The archive has two suites, as Debian has bookworm and bookworm-security: a
Multi-Arch "same" library at 1.0 in "base" and at 1.1 in "fixes", for amd64
and i386. As on a machine that had indexes before i386 was added, apt first
reads "fixes" for amd64 alone; then the Release file of "fixes" gives its new
i386 index a size it does not have, as a mirror caught mid-sync does. apt
keeps the old "fixes" lists, so it has the amd64 library only at 1.1 and the
i386 one only at 1.0, and cannot install both until "fixes" is left out. apt
simulates the installs, so nothing touches the machine.
"""
import hashlib
import os
import shutil
import stat
import subprocess
import tempfile
import unittest

import harness

SCRIPT = os.path.join(harness.SOURCE, "scripts", "apt-install")


def build_deb(root, name, version, arch, multi_arch=None):
    pkg = os.path.join(root, "%s_%s_%s" % (name, version, arch))
    os.makedirs(os.path.join(pkg, "DEBIAN"))
    control = "Package: %s\nVersion: %s\nArchitecture: %s\nMaintainer: t <t@localhost>\nDescription: t\n" % (
        name, version, arch)
    if multi_arch:
        control += "Multi-Arch: %s\n" % multi_arch
    with open(os.path.join(pkg, "DEBIAN", "control"), "w") as f:
        f.write(control)
    subprocess.run(["dpkg-deb", "-Zgzip", "--build", pkg, pkg + ".deb"], check=True,
                   stdout=subprocess.DEVNULL)
    shutil.rmtree(pkg)
    return pkg + ".deb"


def write_suite(archive, suite, debs_by_arch, lie_about=None):
    """Indexes of one suite and its Release; lie_about names the arch whose
    index the Release gives a wrong size."""
    lines = []
    for arch, debs in debs_by_arch.items():
        rel = "main/binary-%s/Packages" % arch
        d = os.path.join(archive, "dists", suite, "main", "binary-" + arch)
        os.makedirs(d, exist_ok=True)
        pool = os.path.join(archive, "pool", suite)
        os.makedirs(pool, exist_ok=True)
        for deb in debs:
            shutil.copy(deb, pool)
        index = subprocess.run(["dpkg-scanpackages", "-m", "-a", arch, "pool/" + suite],
                               cwd=archive, check=True, stdout=subprocess.PIPE,
                               stderr=subprocess.DEVNULL).stdout
        with open(os.path.join(d, "Packages"), "wb") as f:
            f.write(index)
        size = len(index) + (7 if arch == lie_about else 0)
        lines.append(" %s %d %s" % (hashlib.sha256(index).hexdigest(), size, rel))
    with open(os.path.join(archive, "dists", suite, "Release"), "w") as f:
        f.write("Codename: %s\nSuite: %s\nArchitectures: %s\nComponents: main\nSHA256:\n%s\n" % (
            suite, suite, " ".join(debs_by_arch), "\n".join(lines)))


class BrokenIndex(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        for tool in ("apt-get", "dpkg-deb", "dpkg-scanpackages"):
            if not shutil.which(tool):
                raise RuntimeError("%s is missing (scripts/deps installs dpkg-dev)" % tool)
        cls.tmp = tempfile.mkdtemp(prefix="lumi-apt-")
        debs = os.path.join(cls.tmp, "debs")
        os.makedirs(debs)
        archive = os.path.join(cls.tmp, "archive")
        lib = {(v, a): build_deb(debs, "lumitest-lib", v, a, "same")
               for v in ("1.0", "1.1") for a in ("amd64", "i386")}
        tool = build_deb(debs, "lumitest-tool", "1.0", "all")
        write_suite(archive, "base", {"amd64": [lib["1.0", "amd64"], tool], "i386": [lib["1.0", "i386"]]})
        write_suite(archive, "fixes", {"amd64": [lib["1.1", "amd64"]]})

        state = os.path.join(cls.tmp, "state")
        for d in ("lists/partial", "cache/archives/partial", "prefs.d", "sources.d"):
            os.makedirs(os.path.join(state, d))
        open(os.path.join(state, "status"), "w").close()
        with open(os.path.join(state, "sources.list"), "w") as f:
            for suite in ("base", "fixes"):
                f.write("deb [trusted=yes] file:%s %s main\n" % (archive, suite))
        cls.config = os.path.join(cls.tmp, "apt.conf")
        with open(cls.config, "w") as f:
            f.write('''APT::Architecture "amd64";
APT::Architectures { "amd64"; "i386"; };
APT::Get::Simulate "true";
Debug::NoLocking "true";
Dir::State "%(s)s"; Dir::State::Lists "%(s)s/lists"; Dir::State::status "%(s)s/status";
Dir::Cache "%(s)s/cache"; Dir::Cache::Archives "%(s)s/cache/archives";
Dir::Etc::SourceList "%(s)s/sources.list"; Dir::Etc::SourceParts "%(s)s/sources.d";
Dir::Etc::Preferences "%(s)s/preferences"; Dir::Etc::PreferencesParts "%(s)s/prefs.d";
''' % {"s": state})
        # Ordinary users reach apt through sudo; here apt needs no privilege.
        cls.bin = os.path.join(cls.tmp, "bin")
        os.makedirs(cls.bin)
        sudo = os.path.join(cls.bin, "sudo")
        with open(sudo, "w") as f:
            f.write('#!/bin/sh\nexec "$@"\n')
        os.chmod(sudo, stat.S_IRWXU | stat.S_IRGRP | stat.S_IXGRP | stat.S_IROTH | stat.S_IXOTH)
        subprocess.run(["apt-get", "update", "-qq"], env=dict(os.environ, APT_CONFIG=cls.config),
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)
        write_suite(archive, "fixes", {"amd64": [lib["1.1", "amd64"]], "i386": [lib["1.1", "i386"]]},
                    lie_about="i386")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.tmp, ignore_errors=True)

    def install(self, *packages):
        env = dict(os.environ, APT_CONFIG=self.config, PATH=self.bin + ":" + os.environ["PATH"])
        r = subprocess.run(["bash", SCRIPT, *packages], env=env, stdout=subprocess.PIPE,
                           stderr=subprocess.STDOUT, timeout=120)
        return r.returncode, r.stdout.decode(errors="replace")

    def test_broken_index_is_named_and_its_suite_left_out_where_the_install_needs_it(self):
        code, out = self.install("lumitest-lib:amd64", "lumitest-lib:i386", "lumitest-tool")
        self.assertEqual(code, 0, out)
        self.assertIn("index failed to load, going on without it: file:", out)
        self.assertIn("dists/fixes/main/binary-i386/Packages", out)
        self.assertIn("trying once more without fixes, whose index failed", out)
        # Both architectures at the one version the suites that loaded agree on.
        self.assertRegex(out, r"Inst lumitest-lib \(1\.0 ")
        self.assertRegex(out, r"Inst lumitest-lib:i386 \(1\.0 ")

    def test_an_install_that_needs_no_fallback_takes_the_suite_that_loaded(self):
        code, out = self.install("lumitest-lib:amd64")
        self.assertEqual(code, 0, out)
        self.assertNotIn("trying once more", out)
        self.assertRegex(out, r"Inst lumitest-lib \(1\.1 ")

    def test_what_cannot_be_had_is_named(self):
        code, out = self.install("lumitest-tool", "lumitest-absent")
        self.assertEqual(code, 1, out)
        self.assertRegex(out, r"could not install: .*lumitest-absent")


if __name__ == "__main__":
    unittest.main()
