"""Builds unit_net with a sanitizer in a build directory of its own (beside
the tested build) and runs it. Among its tests the teardown test: the run
ends while the update thread is stalled inside the version exchange, and the
thread then goes on to the download; a teardown that freed the client, the
log or the paths under it shows up as a use after free or a race.
"""
import os
import shutil
import subprocess
import unittest

SOURCE = os.environ.get("LUMI_SOURCE") or os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..", ".."))
BUILD = os.environ.get("LUMI_BUILD") or os.path.join(SOURCE, "build", "native")

KINDS = {
    "asan": ("-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined",
             {"ASAN_OPTIONS": "detect_leaks=1", "UBSAN_OPTIONS": "halt_on_error=1:print_stacktrace=1"}),
    "tsan": ("-fsanitize=thread", {"TSAN_OPTIONS": "halt_on_error=1:second_deadlock_stack=1"}),
}


class SanitizedNetTests(unittest.TestCase):
    kind = None

    def test_unit_net_is_clean(self):
        self.assertTrue(shutil.which("cmake") and shutil.which("ninja"),
                        "cmake and ninja are needed (scripts/deps installs them)")
        flags, env = KINDS[self.kind]
        build_dir = os.path.join(BUILD, "sanitize-net-" + self.kind)
        subprocess.run(["cmake", "-S", SOURCE, "-B", build_dir, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Debug",
                        "-DCMAKE_CXX_FLAGS=" + flags, "-DCMAKE_EXE_LINKER_FLAGS=" + flags],
                       check=True, stdout=subprocess.DEVNULL)
        subprocess.run(["ninja", "-C", build_dir, "-j2", "unit_net"], check=True, stdout=subprocess.DEVNULL)
        r = subprocess.run([os.path.join(build_dir, "tests", "unit_net")], env=dict(os.environ, **env),
                           stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, timeout=300)
        tail = "\n".join(r.stdout.splitlines()[-60:])
        self.assertEqual(r.returncode, 0, tail)
        self.assertNotIn("Sanitizer", r.stdout, tail)
        self.assertIn("UpdateTeardown.StalledExchangeOutlivesTheTeardown", r.stdout)
        self.assertIn("[  PASSED  ]", r.stdout)
