#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz targets: small well-formed 3D Studio
and DIB files of every shape the readers accept, and a few they refuse."""
import os
import struct
import sys


def chunk(cid, body):
    return struct.pack('<HI', cid, 6 + len(body)) + body


def vertices(vs):
    return chunk(0x4110, struct.pack('<H', len(vs)) + b''.join(struct.pack('<3f', *v) for v in vs))


def faces(fs, subs=b''):
    return chunk(0x4120, struct.pack('<H', len(fs)) + b''.join(struct.pack('<4H', *f) for f in fs) + subs)


def mapping(uvs):
    return chunk(0x4140, struct.pack('<H', len(uvs)) + b''.join(struct.pack('<2f', *uv) for uv in uvs))


def obj(name, body):
    return chunk(0x4000, name + b'\0' + chunk(0x4100, body))


def model_seeds():
    quad = [(0, 0, 0), (1, 0, 0), (0, 1, 0), (1, 1, 0)]
    uvs = [(0, 0), (1, 0), (0, 1), (1, 1)]
    one = obj(b'A', vertices(quad) + faces([(0, 1, 2, 7), (1, 3, 2, 7)]) + mapping(uvs))
    subs = chunk(0x4130, b'mat\0' + struct.pack('<HH', 1, 0)) + chunk(0x4150, struct.pack('<2I', 1, 1))
    two = obj(b'B', vertices(quad) + faces([(0, 1, 2, 0)], subs) + mapping(uvs))
    keyframer = chunk(0xB000, chunk(0xB002, b'\0' * 40))
    version = chunk(0x0002, struct.pack('<I', 3))
    yield 'one_object', chunk(0x4D4D, version + chunk(0x3D3D, one))
    yield 'two_objects', chunk(0x4D4D, chunk(0x3D3D, one + two) + keyframer)
    yield 'no_main', chunk(0x3D3D, one + two)
    yield 'long_name', chunk(0x4000, b'n' * 200) + vertices(quad)
    yield 'short_length', vertices(quad) + struct.pack('<HI', 0xA000, 3) + vertices(quad)
    yield 'truncated', chunk(0x4D4D, chunk(0x3D3D, one))[:60]


def bmp(info, table, pixels, file_header=True):
    if not file_header:
        return info + table + pixels
    offset = 14 + len(info) + len(table)
    return b'BM' + struct.pack('<IHHI', offset + len(pixels), 0, 0, offset) + info + table + pixels


def info(w, h, bits, compression=0, used=0, size=40):
    return struct.pack('<IiiHHIIiiII', size, w, h, 1, bits, compression, 0, 0, 0, used, 0) + b'\0' * (size - 40)


def rows(w, h, bits, fill):
    stride = (w * bits + 31) // 32 * 4
    return bytes((fill + i) & 0xFF for i in range(stride * h))


def dib_seeds():
    gray = lambda n, q: b''.join(bytes([i * 255 // max(n - 1, 1)] * 3) + (b'\0' if q else b'') for i in range(n))
    yield 'bits1', bmp(info(5, 3, 1), gray(2, True), rows(5, 3, 1, 0x55))
    yield 'bits4', bmp(info(5, 3, 4), gray(16, True), rows(5, 3, 4, 0x12))
    yield 'bits8', bmp(info(5, 3, 8), gray(256, True), rows(5, 3, 8, 0))
    yield 'bits8_used20', bmp(info(5, 3, 8, 0, 20), gray(20, True), rows(5, 3, 8, 0), file_header=False)
    core = struct.pack('<IHHHH', 12, 5, 3, 1, 1)
    yield 'core1_bare', core + gray(2, False) + rows(5, 3, 1, 0x33)
    yield 'core8', bmp(struct.pack('<IHHHH', 12, 4, 2, 1, 8), gray(256, False), rows(4, 2, 8, 7))
    yield 'bits16', bmp(info(5, 3, 16), b'', rows(5, 3, 16, 1))
    masks = struct.pack('<3I', 0xF800, 0x07E0, 0x001F)
    yield 'bits16_565', bmp(info(5, 3, 16, 3), masks, rows(5, 3, 16, 2))
    yield 'bits24', bmp(info(5, 3, 24), b'', rows(5, 3, 24, 3))
    yield 'bits24_topdown', bmp(info(5, -3, 24), b'', rows(5, 3, 24, 4))
    yield 'bits32', bmp(info(5, 3, 32), b'', rows(5, 3, 32, 5))
    yield 'bits32_fields', bmp(info(5, 3, 32, 3), struct.pack('<3I', 0xFF0000, 0xFF00, 0xFF), rows(5, 3, 32, 6))
    yield 'rle8', bmp(info(4, 1, 8, 1), gray(256, True), b'\x04\x01\x00\x01')
    yield 'header108', bmp(info(2, 2, 24, 0, 0, 108), b'', rows(2, 2, 24, 0))


def main():
    if len(sys.argv) != 3 or sys.argv[1] not in ('model3ds', 'dib'):
        sys.exit('usage: make_seeds.py model3ds|dib OUTDIR')
    out = sys.argv[2]
    os.makedirs(out, exist_ok=True)
    for name, data in (model_seeds() if sys.argv[1] == 'model3ds' else dib_seeds()):
        with open(os.path.join(out, name), 'wb') as f:
            f.write(data)


if __name__ == '__main__':
    main()
