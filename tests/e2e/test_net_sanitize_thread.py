"""The network unit tests built with the thread sanitizer (servers/sanitize.py)."""
import os
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "servers"))
import sanitize  # noqa: E402


class ThreadSanitizer(sanitize.SanitizedNetTests):
    kind = "tsan"


if __name__ == "__main__":
    unittest.main()
