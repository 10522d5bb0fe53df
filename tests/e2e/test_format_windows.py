"""The UTF-16 formatter of the Windows builds, where long is 32 bits: the
Windows build's format_check (signed overflow trapping) under Wine."""
import os
import unittest

import harness


class WindowsFormatter(unittest.TestCase):
    def test_width_arguments_do_not_overflow(self):
        build = harness.windows_build(self)
        check = os.path.join(os.path.dirname(build.binary), "format_check.exe")
        self.assertTrue(os.path.isfile(check), "%s is missing (the Windows build makes it)" % check)
        prefix = harness.wine_prefix(check).ensure()
        r = harness.run_process(prefix.wine(check), prefix.env(), timeout=120)
        self.assertEqual(r.returncode, 0, r.describe())
        self.assertEqual(r.stdout.count(": ok"), 5, r.describe())


if __name__ == "__main__":
    unittest.main()
