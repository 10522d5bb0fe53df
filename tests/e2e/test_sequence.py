"""Entries follow each other on screen and the run resumes where it ended:
a full-screen run that starts at position 98 shows 99.bin, then after its
half turn (25.7 s) 100.bin, and a key pressed after 27 s saves LastNum=99."""

import os
import time
import unittest

import harness
from test_snapshot import amber, diamond_3ds, plain_bmp, red
from window_session import Session, screen_pixels, settings, xdotool

SCREEN = (1920, 1080)


def count(rgb, test):
    return sum(1 for i in range(0, len(rgb) - 2, 3)
               if (rgb[i] or rgb[i + 1] or rgb[i + 2]) and test(rgb[i], rgb[i + 1], rgb[i + 2]))


class SequenceTest(unittest.TestCase):

    @harness.both_builds
    def test_a_run_from_98_ended_after_27_seconds_resumes_at_99(self, build):
        # Position 98 is the 99th entry: a red model; 100.bin stays missing,
        # which must not shorten or skip anything.
        s = Session(build, ini=settings(LastNum=98),
                    program_files={"99.bin": diamond_3ds(), "99.bmp": plain_bmp((255, 0, 0))})
        self.addCleanup(s.close)
        self.assertTrue(s.wait_ready(), s.describe())
        started = time.monotonic()

        # The entry's model in the middle and its text in amber under it,
        # drawn from the outline font of this build.
        time.sleep(4.0)
        width, height = SCREEN
        top = screen_pixels(0, 0, width, height * 2 // 3)
        bottom = screen_pixels(0, height * 2 // 3, width, height // 3)
        self.assertGreater(count(top, red), 5000, "model of entry 98 not shown\n" + s.describe())
        self.assertGreater(count(bottom, amber), 300, "text of entry 98 not shown\n" + s.describe())

        time.sleep(max(0.0, 27.0 - (time.monotonic() - started)))
        self.assertTrue(s.alive(), s.describe())
        # After the switch the missing model leaves the middle empty.
        self.assertLess(count(screen_pixels(0, 0, width, height * 2 // 3), red), 100,
                        "entry 98 still on screen after 27 s\n" + s.describe())
        s.clear_settings()
        xdotool("key", "space")
        self.assertEqual(s.finish(30), 0, s.describe())
        saved = s.settings_file()
        self.assertEqual(saved.get(("SYSTEM", "LastNum")), "99", s.describe())


if __name__ == "__main__":
    unittest.main()
