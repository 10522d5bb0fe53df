"""lumisaver --snapshot: pictures of a run without a window.

The program directory holds two small models made here: a flat diamond
standing face-on to the viewer at the start of its turn, textured plain red
for entry 0 (01.bin/01.bmp) and plain blue for entry 1 (02.bin/02.bmp).
Colours tell the parts apart: the model is red or blue, the text amber.

The text is drawn while the model's texture is bound, at the texture
coordinate the model's last vertex left behind; that vertex maps to a white
texel, so the text keeps its own colour.
"""
import os
import shutil
import struct
import subprocess
import tempfile
import unittest

import harness

NATIVE = harness.native_binary()


# ---- files the program reads ------------------------------------------------

def chunk(cid, payload):
    return struct.pack("<HI", cid, 6 + len(payload)) + payload


def diamond_3ds(size=3.0):
    """A rhombus in the file's YZ plane (x = 0), both windings, so it faces
    the camera whichever way it turns."""
    verts = [(0.0, 0.0, size), (0.0, size, 0.0), (0.0, 0.0, -size), (0.0, -size, 0.0)]
    corner = 0.5 / BMP_SIDE  # centre of the white corner texel
    uvs = [(0.5, 0.75), (0.75, 0.5), (corner, corner), (0.25, 0.5)]
    faces = [(0, 1, 2), (0, 2, 3), (0, 2, 1), (0, 3, 2)]
    vdata = struct.pack("<H", len(verts)) + b"".join(struct.pack("<3f", *v) for v in verts)
    fdata = struct.pack("<H", len(faces)) + b"".join(struct.pack("<4H", a, b, c, 0) for a, b, c in faces)
    mdata = struct.pack("<H", len(uvs)) + b"".join(struct.pack("<2f", *t) for t in uvs)
    mesh = chunk(0x4100, chunk(0x4110, vdata) + chunk(0x4120, fdata) + chunk(0x4140, mdata))
    return chunk(0x4D4D, chunk(0x3D3D, chunk(0x4000, b"diamond\0" + mesh)))


BMP_SIDE = 16


def plain_bmp(rgb, side=BMP_SIDE):
    """One colour, but white in the first texel of the first and last rows."""
    texel = bytes((rgb[2], rgb[1], rgb[0]))  # BGR
    edge = b"\xff\xff\xff" + texel * (side - 1)
    pixels = edge + texel * side * (side - 2) + edge  # 48-byte rows: no padding
    info = struct.pack("<IiiHHIIiiII", 40, side, side, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    return header + info + pixels


def write_ini(path, **overrides):
    values = dict(Log=0, DisplayMyFavorites=1, LastNum=0)
    values.update(overrides)
    harness.write_settings(path, harness.settings(**values))


# ---- the picture ---------------------------------------------------------------

class Picture:
    def __init__(self, path):
        with open(path, "rb") as f:
            head = f.read(26)
        assert head[:8] == b"\x89PNG\r\n\x1a\n" and head[12:16] == b"IHDR", "not a PNG"
        self.width, self.height, depth, colour = struct.unpack(">IIBB", head[16:26])
        assert (depth, colour) == (8, 2), "expected 8-bit RGB"
        rgb = subprocess.run(["convert", path, "-depth", "8", "rgb:-"], stdout=subprocess.PIPE, check=True,
                             timeout=60).stdout
        stride = self.width * 3
        self.rows = [rgb[y * stride:(y + 1) * stride] for y in range(self.height)]

    def pixel(self, x, y):
        r = self.rows[y]
        return r[3 * x], r[3 * x + 1], r[3 * x + 2]

    def where(self, test):
        """Coordinates of the pixels for which test(r, g, b) holds."""
        out = []
        for y, row in enumerate(self.rows):
            for x in range(self.width):
                r, g, b = row[3 * x], row[3 * x + 1], row[3 * x + 2]
                if (r or g or b) and test(r, g, b):
                    out.append((x, y))
        return out


def amber(r, g, b):
    return r >= 40 and 0.6 * r <= g <= 0.98 * r and b <= 0.5 * g


def red(r, g, b):
    return r >= 40 and g <= 0.15 * r and b <= 0.15 * r


def blue(r, g, b):
    return b >= 40 and r <= 0.15 * b and g <= 0.15 * b


def box(points):
    xs = [p[0] for p in points]
    ys = [p[1] for p in points]
    return min(xs), min(ys), max(xs), max(ys)


class SnapshotTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if not os.path.exists(NATIVE):
            raise AssertionError("native build missing at %s (scripts/test builds it)" % NATIVE)
        cls.root = tempfile.mkdtemp(prefix="lumi-snapshot-")
        cls.content = os.path.join(cls.root, "content")
        os.mkdir(cls.content)
        with open(os.path.join(cls.content, "01.bin"), "wb") as f:
            f.write(diamond_3ds())
        with open(os.path.join(cls.content, "01.bmp"), "wb") as f:
            f.write(plain_bmp((255, 0, 0)))
        with open(os.path.join(cls.content, "02.bin"), "wb") as f:
            f.write(diamond_3ds())
        with open(os.path.join(cls.content, "02.bmp"), "wb") as f:
            f.write(plain_bmp((0, 0, 255)))
        cls.out = os.path.join(cls.root, "out")
        os.mkdir(cls.out)
        cls.cache = {}

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.root, ignore_errors=True)

    def snapshot(self, *args, data_dir=None, expect_rc=0, display=None, **settings):
        """Runs a snapshot, without any display unless one is given; returns
        the Picture."""
        key = (args, data_dir, display, tuple(sorted(settings.items())))
        if key in self.cache and expect_rc == 0:
            return self.cache[key]
        data = data_dir or tempfile.mkdtemp(prefix="data-", dir=self.root)
        write_ini(os.path.join(data, "main.ini"), **settings)
        out = os.path.join(self.out, "shot-%d.png" % len(os.listdir(self.out)))
        env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
        env.update(LUMISAVER_PROGRAM_DIR=self.content, LUMISAVER_APPDATA_DIR=data)
        if display:
            env["DISPLAY"] = display
        before = sorted(os.listdir(data)) + sorted(os.listdir(self.content))
        proc = subprocess.run([NATIVE, "--snapshot", out] + list(args), env=env, capture_output=True,
                              text=True, timeout=300)
        self.assertEqual(proc.returncode, expect_rc, proc.stderr)
        self.assertEqual(sorted(os.listdir(data)) + sorted(os.listdir(self.content)), before,
                         "a snapshot writes nothing but its picture")
        if expect_rc != 0:
            self.assertFalse(os.path.exists(out))
            return None
        picture = Picture(out)
        self.cache[key] = picture
        return picture

    def test_model_of_the_entry_fills_the_middle_textured(self):
        pic = self.snapshot("--entry", "0", "--at", "1.3")
        self.assertEqual((pic.width, pic.height), (1280, 720))
        reds = pic.where(red)
        self.assertGreater(len(reds), 5000, "the red-textured model is missing")
        x0, y0, x1, y1 = box(reds)
        self.assertLess(abs((x0 + x1) / 2 - 640), 40)
        self.assertTrue(200 < (y0 + y1) / 2 < 440, (y0, y1))
        r, g, b = pic.pixel(640, (y0 + y1) // 2)
        self.assertTrue(red(r, g, b), (r, g, b))
        self.assertFalse(pic.where(blue))

    def test_next_entry_follows_when_the_half_turn_is_over(self):
        pic = self.snapshot("--entry", "0", "--at", "30")
        blues = pic.where(blue)
        self.assertGreater(len(blues), 5000, "the second entry's model is missing")
        self.assertFalse(pic.where(red), "the first entry's model is still shown")
        x0, y0, x1, y1 = box(blues)
        self.assertLess(abs((x0 + x1) / 2 - 640), 60)
        # Just before the switch the first model is still on screen.
        before = self.snapshot("--entry", "0", "--at", "25.7", "--size", "320x180")
        self.assertTrue(before.where(red))
        self.assertFalse(before.where(blue))

    def test_words_appear_one_after_another_and_the_line_goes(self):
        early = self.snapshot("--entry", "0", "--at", "1.5")
        full = self.snapshot("--entry", "0", "--at", "4.0")
        gone = self.snapshot("--entry", "0", "--at", "13.0")
        early_text, full_text = early.where(amber), full.where(amber)
        self.assertGreater(len(early_text), 200, "the first word is not shown at 1.5 s")
        self.assertGreater(len(full_text), len(early_text))
        ex0, ey0, ex1, ey1 = box(early_text)
        fx0, fy0, fx1, fy1 = box(full_text)
        # Warm amber at full strength: red channel high, blue low.
        brightest = max((early.pixel(x, y) for x, y in early_text), key=sum)
        self.assertGreater(brightest[0], 200)
        self.assertLess(brightest[2], brightest[1] * 0.5)
        # The line is centred on its full width, so it starts at the same
        # place; the last word is still missing at 1.5 s.
        self.assertLessEqual(abs(ex0 - fx0), 2)
        self.assertLess(ex1, fx1 - 30, "the last word is already shown at 1.5 s")
        # Under the model.
        _, _, _, model_bottom = box(early.where(red))
        self.assertGreater(ey0, model_bottom)
        self.assertGreater(fy0, model_bottom)
        self.assertEqual(gone.where(amber), [], "text still visible at 13 s")
        self.assertTrue(gone.where(red), "the model runs on without its text")

    def test_russian_locale_shows_the_russian_row(self):
        english = self.snapshot("--entry", "0", "--at", "4.0", "--size", "960x540")
        russian = self.snapshot("--entry", "0", "--at", "4.0", "--size", "960x540", LocaleName="Русский")
        en_x0, _, en_x1, _ = box(english.where(amber))
        ru_x0, _, ru_x1, _ = box(russian.where(amber))
        # "Аллах | Единый Бог" is the longer line; both are centred.
        self.assertGreater(ru_x1 - ru_x0, (en_x1 - en_x0) * 1.2)
        self.assertLess(abs((ru_x0 + ru_x1) - (en_x0 + en_x1)) / 2, 12)

    def test_long_rows_fit_the_width_and_short_ones_keep_their_size(self):
        # At 9.9 s every word of a row shows at the fade's strength, just
        # before the line starts to fly.
        sizes = ("1920x1080", "1440x1080", "2560x1080")
        for entry, locale in ((1, "English"), (45, "English"), (84, "Русский")):
            for size in sizes:
                with self.subTest(entry=entry, size=size):
                    pic = self.snapshot("--entry", str(entry), "--at", "9.9", "--size", size, LocaleName=locale)
                    text = pic.where(amber)
                    self.assertGreater(len(text), 3000, "the row is missing")
                    x0, _, x1, _ = box(text)
                    margin = 0.01 * pic.width
                    self.assertGreaterEqual(x0, margin, "cut off on the left")
                    self.assertLessEqual(x1, pic.width - 1 - margin, "cut off on the right")
        # At one height an unscaled row has the same pixels whatever the
        # width; a row scaled to fit would narrow with the window.
        short = [self.snapshot("--entry", "0", "--at", "9.9", "--size", size) for size in sizes]
        boxes = [box(pic.where(amber)) for pic in short]
        self.assertEqual(len({(b[2] - b[0], b[1], b[3]) for b in boxes}), 1, boxes)
        self.assertEqual(len({len(pic.where(amber)) for pic in short}), 1)

    def test_multisampling_smooths_the_edges(self):
        plain = self.snapshot("--entry", "0", "--at", "1.3", "--size", "640x360", FSAAmode=0)
        smooth = self.snapshot("--entry", "0", "--at", "1.3", "--size", "640x360", FSAAmode=4)

        def partial(pic):
            # Model pixels between background and the uniform texture colour:
            # only edge pixels that a sample count blends.
            reds = pic.where(red)
            top = max(pic.pixel(*p)[0] for p in reds)
            return [p for p in reds if 25 <= pic.pixel(*p)[0] <= top - 25]

        self.assertLess(len(partial(plain)), 20)
        self.assertGreater(len(partial(smooth)), 150)
        # Same picture otherwise: the model sits where it sat.
        self.assertLessEqual(max(abs(a - b) for a, b in zip(box(plain.where(red)), box(smooth.where(red)))), 2)

    def test_a_display_changes_nothing(self):
        import harness
        headless = self.snapshot("--entry", "0", "--at", "2.0", "--size", "480x270")
        on_xvfb = self.snapshot("--entry", "0", "--at", "2.0", "--size", "480x270", display=harness.display())
        self.assertTrue(headless.where(red) and headless.where(amber))
        self.assertEqual(headless.rows, on_xvfb.rows)

    def test_without_settings_nothing_is_created(self):
        data = tempfile.mkdtemp(prefix="data-", dir=self.root)
        env = {k: v for k, v in os.environ.items() if k != "DISPLAY"}
        env.update(LUMISAVER_PROGRAM_DIR=self.content, LUMISAVER_APPDATA_DIR=data)
        out = os.path.join(self.out, "first-run.png")
        proc = subprocess.run([NATIVE, "--snapshot", out], env=env, capture_output=True, text=True, timeout=120)
        self.assertEqual(os.listdir(data), [], "a snapshot must not write the first settings file")
        if proc.returncode == 0:
            self.assertTrue(Picture(out).where(red))
        else:
            self.assertIn("main.ini", proc.stderr)

    def test_one_dash_spelling_and_any_order(self):
        data = tempfile.mkdtemp(prefix="data-", dir=self.root)
        write_ini(os.path.join(data, "main.ini"))
        env = {k: v for k, v in os.environ.items() if k != "DISPLAY"}
        env.update(LUMISAVER_PROGRAM_DIR=self.content, LUMISAVER_APPDATA_DIR=data)
        out = os.path.join(self.out, "one-dash.png")
        proc = subprocess.run([NATIVE, "-snapshot", out, "-entry", "3", "-at", "2", "-size", "320x240"], env=env,
                              capture_output=True, text=True, timeout=300)
        self.assertEqual(proc.returncode, 0, proc.stderr)
        pic = Picture(out)
        self.assertEqual((pic.width, pic.height), (320, 240))
        self.assertTrue(pic.where(lambda r, g, b: r + g + b > 60), "the frame shows something")

    def test_bad_arguments_are_refused_without_a_picture(self):
        for args in (["--size", "0x10"], ["--size", "640"], ["--at", "-1"], ["--at", "soon"],
                     ["--entry", "x"], ["--frames", "3"], ["--at"], ["--root"], ["-log", "1"]):
            self.snapshot(*args, expect_rc=2)


if __name__ == "__main__":
    unittest.main()
