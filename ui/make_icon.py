#!/usr/bin/python3
"""Draws the program's icon (a white upward arrow on a blue disc) as a 16-colour .ico
with a 32 x 32 and a 16 x 16 image. Usage: make_icon.py OUTPUT.ico"""
import struct
import sys

# The standard 16-colour palette, as (blue, green, red, 0) quads.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
    (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
    (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]  # (red, green, blue)
BLACK, NAVY, BLUE, WHITE, GREY = 0, 4, 12, 15, 8
TRANSPARENT = None


def pixel(size, x, y):
    """Colour index at (x, y), y downwards, or TRANSPARENT."""
    c = (size - 1) / 2
    dx, dy = x - c, y - c
    r2 = dx * dx + dy * dy
    outer = (size / 2) ** 2
    if r2 > outer:
        return TRANSPARENT
    if r2 > (size / 2 - max(1, size // 16)) ** 2:
        return NAVY  # rim
    # Arrow: a triangle head over a shaft, centred, pointing up.
    u = size / 32  # scale
    head_top, head_bottom, shaft_bottom = 6 * u, 16 * u, 25 * u
    if head_top <= y < head_bottom and abs(dx) <= (y - head_top) * 0.95 + 0.5:
        return WHITE
    if head_bottom <= y < shaft_bottom and abs(dx) <= 3 * u:
        return WHITE
    return BLUE if dy < size / 5 else NAVY if r2 > (size * 0.42) ** 2 else BLUE


def image(size):
    rows = [[pixel(size, x, y) for x in range(size)] for y in range(size)]
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    xor_stride = ((size * 4 + 31) // 32) * 4
    and_stride = ((size + 31) // 32) * 4
    xor = bytearray()
    mask = bytearray()
    for row in reversed(rows):  # bottom-up
        line = bytearray(xor_stride)
        bits = bytearray(and_stride)
        for x, colour in enumerate(row):
            index = BLACK if colour is TRANSPARENT else colour
            line[x // 2] |= index << (4 if x % 2 == 0 else 0)
            if colour is TRANSPARENT:
                bits[x // 8] |= 0x80 >> (x % 8)
        xor += line
        mask += bits
    return header + palette + bytes(xor) + bytes(mask)


def main():
    images = [image(32), image(16)]
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b""
    for size, data in zip((32, 16), images):
        entries += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    with open(sys.argv[1], "wb") as out:
        out.write(directory + entries + b"".join(images))


if __name__ == "__main__":
    main()
