"""The forged content: 100 calligraphy models and bitmaps in each program's
content folder, readable by our readers and by an independent one (assimp),
current with the forge, and placed where the scene's camera shows them.

The build forges into $LUMI_BUILD/content (the native program directory) and
$LUMI_SOURCE/build/win32/content (the Windows package's).
"""
import math
import os
import re
import shutil
import struct
import subprocess
import tempfile
import unittest

import harness

ENTRIES = 100
MAX_ITEMS = 64000
MAX_OBJECTS = 199

CONTENT_DIRS = {
    "native": os.path.join(harness.BUILD, "content"),
    "win32": os.path.join(harness.SOURCE, "build", "win32", "content"),
}


def stem(number):
    return "%02d" % number


def run(argv, timeout=120):
    return harness.run_process(argv, env=dict(os.environ), timeout=timeout)


def model_info(path):
    r = run([harness.tool_binary(), "model-info", path])
    if r.returncode != 0:
        raise AssertionError("model-info %s failed: %s" % (path, r.describe()))
    fields = dict(re.findall(r"^(vertices|faces|mappings|objects): (-?\d+)$", r.stdout, re.M))
    info = {k: int(v) for k, v in fields.items()}
    box = re.search(r"^bbox: (.+)$", r.stdout, re.M)
    info["bbox"] = [float(v) for v in box.group(1).split()] if box and box.group(1) != "none" else None
    return info


def assimp_counts(path):
    """Vertex and face counts as assimp reports them. Its 3D Studio importer
    gives every face corner a vertex of its own; joining identical vertices
    (same position and mapping coordinate) gives back the file's vertices."""
    r = run(["assimp", "info", path, "-jiv"])
    if r.returncode != 0 or "Vertices:" not in r.stdout:
        raise AssertionError("assimp rejects %s: %s" % (path, r.describe()))
    vertices = int(re.search(r"^Vertices:\s+(\d+)", r.stdout, re.M).group(1))
    faces = int(re.search(r"^Faces:\s+(\d+)", r.stdout, re.M).group(1))
    return vertices, faces


def read_objects(path):
    """Vertex lists of a model file, one per object: a plain walk of the
    chunks the program reads (main, editor, object, mesh, vertex list)."""
    with open(path, "rb") as f:
        data = f.read()
    objects, pos = [], 0
    while pos + 6 <= len(data):
        cid, length = struct.unpack_from("<HI", data, pos)
        pos += 6
        if cid in (0x4D4D, 0x3D3D, 0x4100):
            continue
        if cid == 0x4000:
            pos = data.index(b"\0", pos) + 1
            objects.append([])
        elif cid == 0x4110:
            (n,) = struct.unpack_from("<H", data, pos)
            objects[-1] = [struct.unpack_from("<3f", data, pos + 2 + 12 * i) for i in range(n)]
            pos += 2 + 12 * n
        else:
            pos += length - 6
    return objects


# ---- the scene's view, to check where the models land ---------------------------

def _sub(a, b):
    return [x - y for x, y in zip(a, b)]


def _dot(a, b):
    return sum(x * y for x, y in zip(a, b))


def _cross(a, b):
    return [a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]]


def _unit(a):
    n = math.sqrt(_dot(a, a))
    return [x / n for x in a]


# The camera: orbit angle 270 (with the constant 3.141), radius -40, centre
# (0, -1.8, -17); 45 degree vertical field of view.
_ANGLE = 270.0 / 360.0 * 2 * 3.141
EYE = [math.cos(_ANGLE) * -40.0, 0.0, math.sin(_ANGLE) * -40.0 - 17.0]
CENTRE = [0.0, -1.8, -17.0]
_F = _unit(_sub(CENTRE, EYE))
_S = _unit(_cross(_F, [0.0, 1.0, 0.0]))
_U = _cross(_S, _F)
_T = math.tan(math.radians(22.5))


def model_to_world(p, spin):
    """glRotatef(90, x), glRotatef(180, y), glRotatef(spin, z), applied to p."""
    x, y, z = p
    a = math.radians(spin)
    x, y = x * math.cos(a) - y * math.sin(a), x * math.sin(a) + y * math.cos(a)
    x, z = -x, -z
    y, z = -z, y
    return [x, y, z]


def to_screen(world, aspect):
    d = _sub(world, EYE)
    depth = _dot(d, _F)
    return _dot(d, _S) / (depth * _T * aspect), _dot(d, _U) / (depth * _T)


# Top of the text line (drawn from y = -6 at z = 0, about 0.7 units high).
TEXT_TOP = to_screen([0.0, -5.3, 0.0], 16 / 9)[1]


class ContentTest(unittest.TestCase):
    def test_both_content_folders_hold_every_entry(self):
        for where, folder in CONTENT_DIRS.items():
            with self.subTest(folder=where):
                self.assertTrue(os.path.isdir(folder), "%s content folder %s is missing" % (where, folder))
                for n in range(1, ENTRIES + 1):
                    for ext in ("bin", "bmp"):
                        path = os.path.join(folder, "%s.%s" % (stem(n), ext))
                        self.assertTrue(os.path.isfile(path) and os.path.getsize(path) > 0, path)
                leftovers = [f for f in os.listdir(folder) if f.endswith(".part")]
                self.assertEqual(leftovers, [], "half-written files in " + folder)

    def test_windows_package_has_the_same_content(self):
        native, win32 = CONTENT_DIRS["native"], CONTENT_DIRS["win32"]
        for n in range(1, ENTRIES + 1):
            for ext in ("bin", "bmp"):
                name = "%s.%s" % (stem(n), ext)
                with open(os.path.join(native, name), "rb") as a, open(os.path.join(win32, name), "rb") as b:
                    self.assertTrue(a.read() == b.read(), name + " differs between the content folders")

    def test_models_read_alike_by_our_reader_and_assimp(self):
        if shutil.which("assimp") is None:
            self.fail("assimp is not installed (Debian package assimp-utils; scripts/deps installs it)")
        sizes = []
        for n in range(1, ENTRIES + 1):
            path = os.path.join(CONTENT_DIRS["native"], stem(n) + ".bin")
            with self.subTest(model=stem(n)):
                info = model_info(path)
                self.assertGreater(info["vertices"], 0)
                self.assertLessEqual(info["vertices"], MAX_ITEMS)
                self.assertGreater(info["faces"], 0)
                self.assertLessEqual(info["faces"], MAX_ITEMS)
                # One mapping coordinate per vertex, or later objects' texture shifts.
                self.assertEqual(info["mappings"], info["vertices"])
                self.assertTrue(1 <= info["objects"] <= MAX_OBJECTS, info["objects"])
                self.assertEqual(assimp_counts(path), (info["vertices"], info["faces"]))
                sizes.append((info["vertices"], info["faces"]))
        if sizes:
            print("models: vertices %d-%d, faces %d-%d" % (
                min(v for v, _ in sizes), max(v for v, _ in sizes),
                min(f for _, f in sizes), max(f for _, f in sizes)))

    def test_bitmaps_decode_as_power_of_two_textures(self):
        for n in range(1, ENTRIES + 1):
            path = os.path.join(CONTENT_DIRS["native"], stem(n) + ".bmp")
            with self.subTest(bitmap=stem(n)):
                r = run([harness.tool_binary(), "bitmap", path])
                self.assertEqual(r.returncode, 0, r.describe())
                w = int(re.search(r"^width: (\d+)$", r.stdout, re.M).group(1))
                h = int(re.search(r"^height: (\d+)$", r.stdout, re.M).group(1))
                self.assertTrue(w >= 64 and w & (w - 1) == 0 and h == w, (w, h))
                with open(path, "rb") as f:
                    head = f.read(54)
                self.assertEqual(head[:2], b"BM")
                self.assertEqual(int.from_bytes(head[14:18], "little"), 40)  # info header
                self.assertEqual(int.from_bytes(head[28:30], "little"), 24)  # bits per pixel

    def test_models_face_the_viewer_inside_the_frame_above_the_text(self):
        """At spin -90 (1.29 s into an entry) each model's bounding box must lie
        inside the picture at 4:3 and 16:9, clear of the text line, and be thin
        toward the viewer (the calligraphy faces the camera, it is not seen
        edge-on)."""
        for n in range(1, ENTRIES + 1):
            path = os.path.join(CONTENT_DIRS["native"], stem(n) + ".bin")
            with self.subTest(model=stem(n)):
                box = model_info(path)["bbox"]
                self.assertIsNotNone(box)
                lo, hi = box[:3], box[3:]
                corners = [[(lo, hi)[i >> k & 1][k] for k in range(3)] for i in range(8)]
                world = [model_to_world(c, -90.0) for c in corners]
                xs = [w[0] for w in world]
                zs = [w[2] for w in world]
                ys = [w[1] for w in world]
                self.assertLess(max(zs) - min(zs), 0.25 * (max(xs) - min(xs)), "not facing the viewer")
                self.assertLess(abs(max(xs) + min(xs)), 0.01 * (max(xs) - min(xs)), "not centred on the spin axis")
                self.assertLess(abs(max(zs) + min(zs)), 0.01, "not centred in depth")
                for aspect in (4 / 3, 16 / 9):
                    screen = [to_screen(w, aspect) for w in world]
                    self.assertLess(max(abs(s[0]) for s in screen), 0.95, "wider than the picture")
                    self.assertLess(max(s[1] for s in screen), 0.95, "above the picture")
                    self.assertGreater(min(s[1] for s in screen), TEXT_TOP + 0.05, "into the text line")
                self.assertGreater(max(ys) - min(ys), 3.0, "too small to read")

    def test_models_stay_in_the_picture_through_the_turn(self):
        """While a model turns, its near end comes toward the camera and grows;
        no part may leave a 4:3 picture (the narrower one) at any angle."""
        worst = (0.0, None)
        for n in range(1, ENTRIES + 1):
            vertices = [v for obj in read_objects(os.path.join(CONTENT_DIRS["native"], stem(n) + ".bin"))
                        for v in obj][::3]
            for spin in range(-81, -262, -6):
                for v in vertices:
                    x, y = to_screen(model_to_world(v, float(spin)), 4 / 3)
                    reach = max(abs(x), y)
                    if reach > worst[0]:
                        worst = (reach, (stem(n), spin))
        print("furthest reach %.3f (model %s at spin %d)" % (worst[0], worst[1][0], worst[1][1]))
        self.assertLess(worst[0], 0.98, "model %s leaves the picture at spin %d" % worst[1])

    def test_divine_name_reads_upright_and_not_mirrored(self):
        """Entry 01 is the word Allah: a lone alif at the right (where Arabic
        begins), the joined lam-lam-ha body to its left, and above the body the
        shadda and the small alif. Seen face-on at spin -90, the pieces must
        stand in exactly that arrangement."""
        objects = read_objects(os.path.join(CONTENT_DIRS["native"], "01.bin"))
        boxes = []
        for vertices in objects:
            screen = [model_to_world(v, -90.0) for v in vertices]
            xs = [p[0] for p in screen]
            ys = [p[1] for p in screen]
            boxes.append((min(xs), max(xs), min(ys), max(ys)))
        self.assertEqual(len(boxes), 4, "Allah should be four pieces of ink")
        area = lambda b: (b[1] - b[0]) * (b[3] - b[2])
        tallness = lambda b: (b[3] - b[2]) / (b[1] - b[0])
        body = max(boxes, key=area)
        alif = max(boxes, key=tallness)
        marks = [b for b in boxes if b is not alif and b is not body]
        self.assertGreater(tallness(alif), 3.0)
        self.assertGreater(alif[0], body[0] + 0.5 * (body[1] - body[0]), "alif not at the right: mirrored")
        self.assertLess(abs(alif[2] - body[2]), 0.1 * (alif[3] - alif[2]), "alif and body off one baseline")
        for mark in marks:
            self.assertGreater(mark[2], body[2] + 0.5 * (body[3] - body[2]), "marks not above: upside down")
            self.assertLess(mark[1], alif[0], "marks not over the body")

    def test_content_is_current_with_the_forge(self):
        with tempfile.TemporaryDirectory(prefix="lumi-forge-") as out:
            for n in (1, 7, 100):
                r = run([harness.tool_binary(), "forge", out, "--entry", str(n)])
                self.assertEqual(r.returncode, 0, r.describe())
                for ext in ("bin", "bmp"):
                    name = "%s.%s" % (stem(n), ext)
                    with open(os.path.join(out, name), "rb") as a, \
                            open(os.path.join(CONTENT_DIRS["native"], name), "rb") as b:
                        self.assertTrue(a.read() == b.read(), name + " is stale: rebuild the content")
            self.assertEqual(sorted(os.listdir(out)), ["01.bin", "01.bmp", "07.bin", "07.bmp", "100.bin", "100.bmp"])

    @staticmethod
    def catalogue_lines():
        with open(os.path.join(harness.SOURCE, "data", "names-arabic.tsv"), encoding="utf-8") as f:
            return [line for line in f.read().splitlines() if line and not line.startswith("#")]

    def test_long_text_is_coarsened_and_grouped_to_fit_the_reader(self):
        """Eighty names in one entry: too many outline points at the finest
        flattening and far more pieces than the reader has object slots. The
        forge must still write a model the readers take whole."""
        good = self.catalogue_lines()
        long_text = " ".join(line.split("\t", 1)[1] for line in good[:80])
        with tempfile.TemporaryDirectory(prefix="lumi-forge-") as tmp:
            names = os.path.join(tmp, "names.tsv")
            with open(names, "w", encoding="utf-8") as f:
                f.write("\n".join(good[:9] + ["9\t" + long_text] + good[10:]) + "\n")
            r = run([harness.tool_binary(), "forge", tmp, "--names", names, "--entry", "10", "--verbose"])
            self.assertEqual(r.returncode, 0, r.describe())
            tolerance = float(re.search(r"tolerance ([0-9.]+)", r.stdout).group(1))
            path = os.path.join(tmp, "10.bin")
            info = model_info(path)
            usual = run([harness.tool_binary(), "forge", os.path.join(tmp, "usual"), "--entry", "10", "--verbose"])
            usual_tolerance = float(re.search(r"tolerance ([0-9.]+)", usual.stdout).group(1))
            self.assertGreater(tolerance, usual_tolerance, "the long text was not coarsened")
            self.assertEqual(info["objects"], MAX_OBJECTS)
            self.assertLessEqual(info["vertices"], MAX_ITEMS)
            self.assertLessEqual(info["faces"], MAX_ITEMS)
            self.assertGreater(info["faces"], MAX_ITEMS // 2, "coarsened much further than needed")
            self.assertEqual(info["mappings"], info["vertices"])
            if shutil.which("assimp"):
                self.assertEqual(assimp_counts(path), (info["vertices"], info["faces"]))

    def test_forge_refuses_bad_name_lists(self):
        good = self.catalogue_lines()
        self.assertEqual(len(good), ENTRIES)
        cases = {
            "missing": good[:-1],
            "repeated": good + [good[3]],
            "no tab": good[:5] + [good[5].replace("\t", " ")] + good[6:],
            "out of range": good + ["100\tالله"],
            "not in the font": good[:9] + ["9\t\u4e2d\u6587"] + good[10:],
            "no ink": good[:9] + ["9\t \u200f "] + good[10:],
        }
        for label, lines in cases.items():
            with self.subTest(case=label), tempfile.TemporaryDirectory(prefix="lumi-forge-") as tmp:
                names = os.path.join(tmp, "names.tsv")
                with open(names, "w", encoding="utf-8") as f:
                    f.write("\n".join(lines) + "\n")
                out = os.path.join(tmp, "out")
                r = run([harness.tool_binary(), "forge", out, "--names", names, "--entry", "10"])
                self.assertNotEqual(r.returncode, 0, r.describe())
                self.assertIn("forge:", r.stderr)
                self.assertFalse(os.path.exists(os.path.join(out, "10.bin")), "wrote a model from bad input")


if __name__ == "__main__":
    unittest.main()
