"""A window the program draws into changes size: the picture follows the
new shape instead of being stretched to it, and the text line still fits.

The model is a red upright cylinder: it looks the same from every angle of
its turn, so pictures taken at different times compare. It stands in for
entry 42, whose text line is wider than a 720-pixel-wide view."""

import math
import os
import re
import struct
import subprocess
import time
import unittest

import harness
from test_snapshot import BMP_SIDE, amber, box, chunk, plain_bmp, red
from window_session import Session, XClient, screen_pixels, settings, top_level_windows


def cylinder_3ds(radius=2.0, half_height=3.0, sides=48):
    """Axis along the file's Z, the axis the model turns about. Both
    windings, so inside and outside show. A last, degenerate face leaves the
    texture coordinate of the white texel behind for the text."""
    verts, uvs = [], []
    for z in (-half_height, half_height):
        for i in range(sides):
            a = 2 * math.pi * i / sides
            verts.append((radius * math.cos(a), radius * math.sin(a), z))
            uvs.append((0.5, 0.5))
    faces = []
    for i in range(sides):
        j = (i + 1) % sides
        for a, b, c in ((i, j, sides + j), (i, sides + j, sides + i)):
            faces += [(a, b, c), (a, c, b)]
    verts.append((0.0, 0.0, 0.0))
    corner = 0.5 / BMP_SIDE
    uvs.append((corner, corner))
    white = len(verts) - 1
    faces.append((white, white, white))
    vdata = struct.pack("<H", len(verts)) + b"".join(struct.pack("<3f", *v) for v in verts)
    fdata = struct.pack("<H", len(faces)) + b"".join(struct.pack("<4H", a, b, c, 0) for a, b, c in faces)
    mdata = struct.pack("<H", len(uvs)) + b"".join(struct.pack("<2f", *t) for t in uvs)
    mesh = chunk(0x4100, chunk(0x4110, vdata) + chunk(0x4120, fdata) + chunk(0x4140, mdata))
    return chunk(0x4D4D, chunk(0x3D3D, chunk(0x4000, b"cylinder\0" + mesh)))


def window_origin(window):
    info = subprocess.run(["xwininfo", "-display", harness.display(), "-id", str(window)],
                          stdout=subprocess.PIPE, check=True, timeout=60).stdout.decode()
    return (int(re.search(r"Absolute upper-left X:\s+(-?\d+)", info).group(1)),
            int(re.search(r"Absolute upper-left Y:\s+(-?\d+)", info).group(1)))


def boxes(x, y, width, height):
    """Bounding boxes of the red (model) and amber (text) pixels of a screen
    rectangle; None where there are too few to tell."""
    rgb = screen_pixels(x, y, width, height)
    found = {red: [], amber: []}
    for i in range(width * height):
        r, g, b = rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2]
        for test, points in found.items():
            if r + g + b and test(r, g, b):
                points.append((i % width, i // width))
    return [box(found[t]) if len(found[t]) > least else None for t, least in ((red, 2000), (amber, 100))]


class ResizeTest(unittest.TestCase):
    def start(self, args):
        build = harness.NativeBuild(harness.native_binary())
        ok, reason = build.available()
        self.assertTrue(ok, reason)
        s = Session(build, args=args, ini=settings(LastNum=41),
                    program_files={"42.bin": cylinder_3ds(), "42.bmp": plain_bmp((255, 0, 0))})
        self.addCleanup(s.close)
        self.assertTrue(s.wait_ready(), s.describe())
        return s

    def assertFollowsResize(self, s, window, size, new_side):
        """Squares the window and compares the model before and after."""
        x, y = window_origin(window)
        before, _ = boxes(x, y, *size)
        self.assertIsNotNone(before, "no model in the %dx%d window\n%s" % (size + (s.describe(),)))
        subprocess.run(["xdotool", "windowsize", str(window), str(new_side), str(new_side)], check=True,
                       timeout=30, env=dict(os.environ, DISPLAY=harness.display()))
        deadline = time.monotonic() + 10
        while top_level_windows().get(window) != (new_side, new_side) and time.monotonic() < deadline:
            time.sleep(0.2)
        time.sleep(1.0)  # a few frames at the new size
        after, text = boxes(x, y, new_side, new_side)
        self.assertIsNotNone(after, "no model in the square window\n" + s.describe())

        def ratio(b):
            return (b[2] - b[0] + 1) / (b[3] - b[1] + 1)

        self.assertAlmostEqual(ratio(after) / ratio(before), 1.0, delta=0.05,
                               msg="before %r after %r" % (before, after))
        # Same vertical field of view: the model keeps its height, centred.
        scale = new_side / size[1]
        self.assertAlmostEqual((after[3] - after[1]) / (before[3] - before[1]) / scale, 1.0, delta=0.05)
        self.assertLess(abs((after[0] + after[2]) / 2 - new_side / 2), 20, after)
        # The line is centred on its full width: its left end shows whether
        # the whole line fits the narrower view.
        self.assertIsNotNone(text, "no text in the square window\n" + s.describe())
        self.assertGreater(text[0], 4, "the text line is cut at the window's edge: %r" % (text,))
        self.assertTrue(s.alive(), s.describe())

    def test_window_resized_to_a_square_keeps_the_model_proportions(self):
        s = self.start(["-window"])
        ours = [w for w, size in top_level_windows().items() if size == (1280, 720)]
        self.assertEqual(len(ours), 1, top_level_windows())
        self.assertFollowsResize(s, ours[0], (1280, 720), 720)

    def test_given_window_resized_by_its_owner(self):
        x = XClient()
        self.addCleanup(x.close)
        window = x.create_window(40, 30, 960, 540)
        s = self.start(["--window-id", hex(window)])
        self.assertFollowsResize(s, window, (960, 540), 540)


if __name__ == "__main__":
    unittest.main()
