#!/usr/bin/env python3
"""Draws Keldrin's power icon and writes it as Windows .ico files.

The drawing is the usual power symbol (a ring open at the top, crossed by a
bar) in white on a round blue button. Images are 24-bit with a 1-bit mask, as
the shell expects of a classic icon; the 256-pixel image is stored as PNG so
the program file stays small. Standard library only.

    make_icon.py OUT.ico SIZE [SIZE ...]
"""
import math
import struct
import sys
import zlib

SUPERSAMPLE = 4
FACE = (18, 96, 176)       # button
FACE_EDGE = (10, 58, 112)  # darker rim
SYMBOL = (255, 255, 255)


def coverage(size):
    """Per pixel: (inside button, rim share, symbol share), each 0..1."""
    n = SUPERSAMPLE
    c = size / 2.0
    r_button = size * 0.48
    r_rim = size * 0.44
    r_ring = size * 0.26
    stroke = max(size * 0.085, 1.2)
    gap = math.radians(38)  # half the opening of the ring at the top
    bar_top, bar_bottom = size * 0.14, size * 0.50
    out = []
    for py in range(size):
        row = []
        for px in range(size):
            inside = rim = sym = 0
            for sy in range(n):
                for sx in range(n):
                    x = px + (sx + 0.5) / n - c
                    y = py + (sy + 0.5) / n - c
                    d = math.hypot(x, y)
                    if d > r_button:
                        continue
                    inside += 1
                    if d > r_rim:
                        rim += 1
                        continue
                    angle = math.atan2(x, -y)  # 0 at the top
                    on_ring = abs(d - r_ring) <= stroke / 2 and abs(angle) >= gap
                    on_bar = abs(x) <= stroke / 2 and bar_top - c <= y <= bar_bottom - c
                    if on_ring or on_bar:
                        sym += 1
            total = float(n * n)
            row.append((inside / total, rim / total, sym / total))
        out.append(row)
    return out


def pixels(size):
    """Rows of (r, g, b) top to bottom, and the mask (True = transparent)."""
    rows, mask = [], []
    for row in coverage(size):
        prow, mrow = [], []
        for inside, rim, sym in row:
            if inside < 0.5:
                prow.append((0, 0, 0))
                mrow.append(True)
                continue
            # Blend within the button only: outside it the mask decides.
            share_rim = rim / inside
            share_sym = sym / inside
            share_face = max(0.0, 1.0 - share_rim - share_sym)
            colour = tuple(
                int(round(FACE[i] * share_face + FACE_EDGE[i] * share_rim + SYMBOL[i] * share_sym))
                for i in range(3))
            prow.append(colour)
            mrow.append(False)
        rows.append(prow)
        mask.append(mrow)
    return rows, mask


def bmp_image(size):
    rows, mask = pixels(size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 24, 0, 0, 0, 0, 0, 0)
    xor = bytearray()
    stride = (size * 3 + 3) & ~3
    for row in reversed(rows):  # bottom-up
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        line += b'\0' * (stride - len(line))
        xor += line
    and_stride = ((size + 31) // 32) * 4
    andmask = bytearray()
    for mrow in reversed(mask):
        line = bytearray(and_stride)
        for x, transparent in enumerate(mrow):
            if transparent:
                line[x // 8] |= 0x80 >> (x % 8)
        andmask += line
    return header + bytes(xor) + bytes(andmask)


def png_image(size):
    rows, mask = pixels(size)
    raw = bytearray()
    for row, mrow in zip(rows, mask):
        raw.append(0)
        for (r, g, b), transparent in zip(row, mrow):
            # Pure black marks the outside; the tRNS chunk makes it transparent,
            # so the image stays 24-bit like the others.
            raw += bytes((0, 0, 0) if transparent else (r, g, b or 1))

    def chunk(kind, data):
        body = kind + data
        return struct.pack('>I', len(data)) + body + struct.pack('>I', zlib.crc32(body) & 0xffffffff)

    ihdr = struct.pack('>IIBBBBB', size, size, 8, 2, 0, 0, 0)
    trns = struct.pack('>HHH', 0, 0, 0)
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', ihdr) + chunk(b'tRNS', trns)
            + chunk(b'IDAT', zlib.compress(bytes(raw), 9)) + chunk(b'IEND', b''))


def main(argv):
    if len(argv) < 3:
        sys.exit(__doc__)
    out, sizes = argv[1], [int(s) for s in argv[2:]]
    images = [png_image(s) if s >= 256 else bmp_image(s) for s in sizes]
    directory = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b''
    for size, data in zip(sizes, images):
        dim = 0 if size >= 256 else size
        entries += struct.pack('<BBBBHHII', dim, dim, 0, 0, 1, 24, len(data), offset)
        offset += len(data)
    with open(out, 'wb') as f:
        f.write(directory + entries + b''.join(images))


if __name__ == '__main__':
    main(sys.argv)
