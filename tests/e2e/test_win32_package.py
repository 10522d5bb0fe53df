"""Checks the Windows programs as files: the shipped 32-bit one and the x64
build of the same source must each be a GUI executable for its machine that
needs only the system's DLLs and carries its resources and a manifest for its
own architecture. This holds even where the kernel cannot execute 32-bit
programs and the behavioural tests run the x64 build instead."""

import os
import re
import struct
import unittest

import harness

# DLLs every Windows installation has; anything else would have to ship beside
# the screensaver (libstdc++, libgcc, winpthread must be linked statically).
SYSTEM_DLLS = {
    "advapi32.dll", "comctl32.dll", "gdi32.dll", "glu32.dll", "kernel32.dll", "msvcrt.dll",
    "ole32.dll", "opengl32.dll", "shell32.dll", "urlmon.dll", "user32.dll", "version.dll",
    "ws2_32.dll", "winmm.dll", "wintrust.dll", "crypt32.dll",
}

RT_ICON, RT_STRING, RT_DIALOG, RT_VERSION, RT_GROUP_ICON, RT_MANIFEST = 3, 6, 5, 16, 14, 24


class PeFile:
    def __init__(self, path):
        with open(path, "rb") as f:
            self.data = f.read()
        d = self.data
        if d[:2] != b"MZ":
            raise ValueError("no MZ header")
        self.pe = struct.unpack_from("<I", d, 0x3C)[0]
        if d[self.pe:self.pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        self.machine, nsections, _, _, _, optsize, _ = struct.unpack_from("<HHIIIHH", d, self.pe + 4)
        opt = self.pe + 24
        self.magic = struct.unpack_from("<H", d, opt)[0]
        self.subsystem = struct.unpack_from("<H", d, opt + 68)[0]
        dirs = opt + (96 if self.magic == 0x10B else 112)
        self.directories = [struct.unpack_from("<II", d, dirs + 8 * i) for i in range(16)]
        self.sections = []
        sec = opt + optsize
        for i in range(nsections):
            name, vsize, va, rawsize, rawptr = struct.unpack_from("<8sIIII", d, sec + 40 * i)
            self.sections.append((va, max(vsize, rawsize), rawptr))

    def offset(self, rva):
        for va, size, raw in self.sections:
            if va <= rva < va + size:
                return raw + rva - va
        raise ValueError("rva %#x outside the sections" % rva)

    def cstring(self, rva):
        o = self.offset(rva)
        return self.data[o:self.data.index(b"\0", o)].decode("ascii")

    def imported_dlls(self):
        rva, _ = self.directories[1]
        names, o = [], self.offset(rva)
        while True:
            fields = struct.unpack_from("<IIIII", self.data, o)
            if not any(fields):
                return names
            names.append(self.cstring(fields[3]).lower())
            o += 20

    def resources(self):
        """{type id: {name id: [data bytes per language]}}"""
        root_rva, _ = self.directories[2]
        base = self.offset(root_rva)

        def entries(dir_off):
            named, ids = struct.unpack_from("<HH", self.data, dir_off + 12)
            for i in range(named + ids):
                name, target = struct.unpack_from("<II", self.data, dir_off + 16 + 8 * i)
                yield name, target

        out = {}
        for type_id, t in entries(base):
            for name_id, n in entries(base + (t & 0x7FFFFFFF)):
                for _, leaf in entries(base + (n & 0x7FFFFFFF)):
                    data_rva, size = struct.unpack_from("<II", self.data, base + leaf)
                    o = self.offset(data_rva)
                    out.setdefault(type_id, {}).setdefault(name_id, []).append(self.data[o:o + size])
        return out


class WindowsImageChecks:
    """The checks every Windows image must pass; subclasses name the image."""

    binary = None
    machine, magic, manifest_arch = None, None, None

    def setUp(self):
        path = self.binary()
        if not os.path.isfile(path):
            self.fail("Windows build missing at %s (scripts/test builds it)" % path)
        self.pe = PeFile(path)

    def test_is_a_gui_program_for_its_machine_needing_only_system_dlls(self):
        self.assertEqual(self.pe.machine, self.machine, "wrong machine")
        self.assertEqual(self.pe.magic, self.magic, "wrong optional-header kind")
        self.assertEqual(self.pe.subsystem, 2, "not a Windows GUI program")
        dlls = set(self.pe.imported_dlls())
        self.assertIn("opengl32.dll", dlls)
        self.assertIn("ws2_32.dll", dlls)
        self.assertEqual(dlls - SYSTEM_DLLS, set(), "DLLs that would have to ship beside it")

    def test_carries_icon_wait_box_display_name_and_version(self):
        res = self.pe.resources()
        self.assertIn(105, res.get(RT_GROUP_ICON, {}), "icon 105")
        self.assertIn(104, res.get(RT_DIALOG, {}), "wait box dialog 104")
        # String 1 lives in block 1 (ids 0..15), as the second counted string.
        block = res[RT_STRING][1][0]
        length0 = struct.unpack_from("<H", block, 0)[0]
        o = 2 + 2 * length0
        length1 = struct.unpack_from("<H", block, o)[0]
        self.assertEqual(block[o + 2:o + 2 + 2 * length1].decode("utf-16-le"), "Lumiscript")
        version = res[RT_VERSION][1][0]
        for text in ("Lumiscript", "1, 0, 0, 10", "Veltrane Software", "000004b0", "FileDescription",
                     "Lumiscript screensaver"):
            self.assertIn(text.encode("utf-16-le"), version, text)
        # The fixed part: file version 1.0.0.10 (dwFileVersionMS, LS).
        fixed = version.index(struct.pack("<I", 0xFEEF04BD))
        ms, ls = struct.unpack_from("<II", version, fixed + 8)
        self.assertEqual((ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF), (1, 0, 0, 10))

    def test_manifest_asks_for_common_controls_on_its_own_architecture(self):
        manifest = self.pe.resources()[RT_MANIFEST][1][0].decode("utf-8")
        self.assertIn("Microsoft.Windows.Common-Controls", manifest)
        self.assertIn("6.0.0.0", manifest)
        self.assertIn('version="1.0.0.10"', manifest)
        archs = set(re.findall(r'processorArchitecture="([^"]*)"', manifest))
        self.assertEqual(archs, {self.manifest_arch}, manifest)
        # Per-monitor DPI awareness, newest form first, with the older fallback.
        self.assertRegex(manifest, r"<dpiAwareness[^>]*>PerMonitorV2, PerMonitor</dpiAwareness>")
        self.assertRegex(manifest, r"<dpiAware[^>]*>true/pm</dpiAware>")


class Win32ImageTest(WindowsImageChecks, unittest.TestCase):
    """The shipped program: PE32, i386."""
    binary = staticmethod(harness.win32_binary)
    machine, magic, manifest_arch = 0x14C, 0x10B, "x86"


class Win64ImageTest(WindowsImageChecks, unittest.TestCase):
    """The x64 build: PE32+, x86-64; it must start on 64-bit Windows too."""
    binary = staticmethod(harness.win64_binary)
    machine, magic, manifest_arch = 0x8664, 0x20B, "amd64"


if __name__ == "__main__":
    unittest.main()
