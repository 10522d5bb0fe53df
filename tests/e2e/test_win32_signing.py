"""Signing in the Windows build, with a test certificate of the vendor's:
cmake/Sign.cmake signs a copy of the .scr in place, and the setup script,
given a certificate, signs the setup and its uninstaller and nothing else
(the signing command is wrapped to note each file it is handed)."""

import os
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "servers"))
import harness  # noqa: E402
import netrun  # noqa: E402
from test_content import CONTENT_DIRS  # noqa: E402
from test_installer import project_version  # noqa: E402


def verify(path, root):
    """osslsigncode's verdict on path's signature against the test root."""
    return subprocess.run(["osslsigncode", "verify", "-CAfile", root, "-in", path], stdout=subprocess.PIPE,
                          stderr=subprocess.STDOUT, text=True, timeout=120).stdout


class BuildSigning(unittest.TestCase):

    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="lumi-signing-")
        self.addCleanup(shutil.rmtree, self.dir, True)
        self.signing = netrun.TestSigning(self.dir)
        self.addCleanup(self.signing.crl_server.stop)
        self.pfx = self.signing.pfx(netrun.VENDOR)
        self.root = os.path.join(self.dir, "root.crt")
        self.build_dir = os.path.dirname(harness.win32_binary())
        self.assertTrue(os.path.isfile(harness.win32_binary()), "the win32 build is missing")

    def sign_script(self):
        return os.path.join(harness.SOURCE, "cmake", "Sign.cmake")

    def test_the_scr_the_setup_and_the_uninstaller_are_signed(self):
        scr = os.path.join(self.dir, "lumisaver.scr")
        shutil.copy(harness.win32_binary(), scr)
        r = harness.run_process(["cmake", "-DFILE=" + scr, "-DCERT=" + self.pfx, "-P", self.sign_script()],
                                dict(os.environ), timeout=120)
        self.assertEqual(r.returncode, 0, r.describe())
        report = verify(scr, self.root)
        self.assertIn("Signature verification: ok", report)
        self.assertIn("O=Veltrane Software", report.replace(", ", "/").replace(" = ", "="))

        if not shutil.which("makensis"):
            self.fail("makensis is not installed (Debian package nsis)")
        # The signing command as the build passes it, noting what it signs.
        noted = os.path.join(self.dir, "signed.txt")
        wrapper = os.path.join(self.dir, "cmake-noting")
        with open(wrapper, "w") as f:
            f.write('#!/bin/sh\nfor a in "$@"; do case "$a" in -DFILE=*) echo "${a#-DFILE=}" >> "%s";; esac; done\n'
                    'exec cmake "$@"\n' % noted)
        os.chmod(wrapper, 0o755)
        setup = os.path.join(self.dir, "setup.exe")
        r = harness.run_process(
            ["makensis", "-V2", "-INPUTCHARSET", "UTF8", "-DLUMI_VERSION=" + project_version(), "-DLUMI_SCR=" + scr,
             "-DLUMI_CONTENT=" + CONTENT_DIRS["win32"],
             "-DLUMI_NAMES=" + os.path.join(self.build_dir, "generated", "content-names.nsh"),
             "-DLUMI_OUTFILE=" + setup, "-DLUMI_CMAKE=" + wrapper, "-DLUMI_SIGN_CERT=" + self.pfx,
             "-DLUMI_SIGN_SCRIPT=" + self.sign_script(),
             os.path.join(harness.SOURCE, "packaging", "windows", "lumiscript.nsi")],
            dict(os.environ), timeout=600)
        self.assertEqual(r.returncode, 0, r.describe())
        with open(noted) as f:
            signed = f.read().split()
        self.assertEqual(len(signed), 2, signed)
        self.assertEqual(signed[-1], setup, "the setup is not signed last")
        self.assertNotEqual(signed[0], scr, "the uninstaller is not the other file signed")
        self.assertIn("Signature verification: ok", verify(setup, self.root))


if __name__ == "__main__":
    unittest.main()
