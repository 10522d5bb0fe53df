#!/usr/bin/env python3
"""Writes lumisaver.ico: 16x16 and 32x32 32-bit images of an amber disc on
black, the screensaver's colours. Run it again only to change the icon."""
import math
import struct
import sys


def image(size):
    pixels = bytearray()
    c = (size - 1) / 2.0
    for y in range(size - 1, -1, -1):  # bottom-up rows
        for x in range(size):
            d = math.hypot(x - c, y - c) / (size / 2.0)
            if d < 0.55:
                b, g, r = 0x20, 0xB0, 0xFF  # amber core
            elif d < 0.85:
                t = (d - 0.55) / 0.30
                b, g, r = int(0x20 * (1 - t)), int(0xB0 * (1 - t) + 0x40 * t), int(0xFF * (1 - t) + 0x80 * t)
            else:
                b, g, r = 0, 0, 0
            pixels += bytes((b, g, r, 0xFF))
    mask = bytes(((size + 31) // 32) * 4 * size)  # all opaque
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0, 0)
    return header + bytes(pixels) + mask


def main(out):
    sizes = [16, 32]
    images = [image(s) for s in sizes]
    data = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for s, img in zip(sizes, images):
        data += struct.pack("<BBBBHHII", s, s, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    with open(out, "wb") as f:
        f.write(data + b"".join(images))


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "lumisaver.ico")
