#!/usr/bin/env python3
"""Draws the example product's icon, a publisher's own icon for `build --icon`: a white ring and a
sun-coloured dot on a rounded blue square.

Images: 16, 32 and 48 pixels as 32-bit DIBs (alpha channel, 1-bit AND mask) and 256 pixels as a
PNG, the sizes and kinds an icon made for current Windows holds. The output is deterministic.

    make_product_icon.py OUTPUT.ico
"""
import struct
import sys
import zlib

SAMPLES = 4  # per axis, for smooth edges


def coverage(size, x, y, inside):
    """The share of pixel (x, y) of a size-pixel image inside the shape (in 0..1 units)."""
    hits = 0
    for sy in range(SAMPLES):
        for sx in range(SAMPLES):
            u = (x + (sx + 0.5) / SAMPLES) / size
            v = (y + (sy + 0.5) / SAMPLES) / size
            hits += inside(u, v)
    return hits / (SAMPLES * SAMPLES)


def rounded_square(u, v):
    corner = 0.2
    dx = max(abs(u - 0.5) - (0.5 - 0.04 - corner), 0.0)
    dy = max(abs(v - 0.5) - (0.5 - 0.04 - corner), 0.0)
    return dx * dx + dy * dy <= corner * corner


def ring(u, v):
    d = ((u - 0.5) ** 2 + (v - 0.5) ** 2) ** 0.5
    return 0.23 <= d <= 0.33


def dot(u, v):
    return (u - 0.5) ** 2 + (v - 0.5) ** 2 <= 0.13 ** 2


def draw(size):
    """Rows (top first) of (red, green, blue, alpha)."""
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            alpha = coverage(size, x, y, rounded_square)
            shade = y / max(size - 1, 1)
            colour = (0x1E, int(0x78 - 0x30 * shade), int(0xD8 - 0x40 * shade))
            for share, over in ((coverage(size, x, y, ring), (0xFF, 0xFF, 0xFF)),
                                (coverage(size, x, y, dot), (0xFF, 0xB0, 0x20))):
                colour = tuple(int(c + (o - c) * share) for c, o in zip(colour, over))
            row.append(colour + (int(round(alpha * 255)),))
        rows.append(row)
    return rows


def dib_image(size):
    rows = draw(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = b"".join(struct.pack("<BBBB", b, g, r, a)
                      for row in reversed(rows) for r, g, b, a in row)
    stride = (size + 31) // 32 * 4
    mask = bytearray()
    for row in reversed(rows):
        line = bytearray(stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line
    return header + colour + bytes(mask)


def png_image(size):
    rows = draw(size)
    raw = b"".join(b"\0" + bytes(c for pixel in row for c in pixel) for row in rows)

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    return (b"\x89PNG\r\n\x1a\n" +
            chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def icon_file():
    images = [(16, dib_image(16)), (32, dib_image(32)), (48, dib_image(48)), (256, png_image(256))]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b"".join(data for _, data in images)


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: make_product_icon.py OUTPUT.ico")
    with open(sys.argv[1], "wb") as output:
        output.write(icon_file())
