#!/usr/bin/env python3
"""Draws the launcher's icon: a parcel with a downward arrow, at 16, 32 and 48 pixels.

Each image is an uncompressed 4-bit DIB (16 colours, 1 plane) with its colour table and 1-bit AND
mask, as the icon group of the launcher carries them. The output is deterministic, so the checked-in
resources/app.ico can be rebuilt and compared: make_icon.py resources/app.ico
"""
import struct
import sys

# The 16 standard colours, as (blue, green, red, reserved) in the colour table.
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]  # (red, green, blue)
BLACK, DARK_YELLOW, GREY, BLUE, YELLOW, WHITE = 0, 3, 8, 12, 11, 15
TRANSPARENT = None


def draw(size):
    """Returns rows (top first) of palette indexes or TRANSPARENT."""
    s = size / 16.0
    pixels = [[TRANSPARENT] * size for _ in range(size)]

    def box(x0, y0, x1, y1, colour):
        for y in range(int(y0 * s), int(y1 * s)):
            for x in range(int(x0 * s), int(x1 * s)):
                pixels[y][x] = colour

    box(1, 6, 15, 16, BLACK)          # parcel outline
    box(2, 7, 14, 15, DARK_YELLOW)    # parcel body
    box(2, 7, 14, 8, YELLOW)          # lid highlight
    box(7, 7, 9, 15, GREY)            # tape
    box(6, 0, 10, 5, BLUE)            # arrow shaft
    for row in range(4):              # arrow head, narrowing down into the parcel
        box(3 + row * 1.5, 4 + row, 13 - row * 1.5, 5 + row, BLUE)
    box(7, 1, 8, 4, WHITE)            # shaft highlight
    return pixels


def icon_image(size):
    pixels = draw(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    xor_stride = (size * 4 + 31) // 32 * 4
    and_stride = (size + 31) // 32 * 4
    xor = bytearray()
    mask = bytearray()
    for row in reversed(pixels):  # DIB rows run bottom-up
        line = bytearray(xor_stride)
        bits = bytearray(and_stride)
        for x, colour in enumerate(row):
            index = 0 if colour is TRANSPARENT else colour
            line[x // 2] |= index << (4 if x % 2 == 0 else 0)
            if colour is TRANSPARENT:
                bits[x // 8] |= 0x80 >> (x % 8)
        xor += line
        mask += bits
    return header + table + bytes(xor) + bytes(mask)


def icon_file(sizes):
    images = [icon_image(size) for size in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip(sizes, images):
        out += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(image), offset)
        offset += len(image)
    return out + b"".join(images)


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: make_icon.py OUTPUT.ico")
    with open(sys.argv[1], "wb") as f:
        f.write(icon_file([16, 32, 48]))
