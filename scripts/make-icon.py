#!/usr/bin/env python3
"""Draws Ledgerlift's icon, a ruled ledger page with a green arrow lifting
out of it, as src/window/ledgerlift.ico (16x16 and 32x32, 24-bit colour with
a transparency mask). Run it again after changing the drawing; the .ico is
committed so that a build needs no image tools."""

import struct
import sys
from pathlib import Path

PAPER = (250, 248, 240)
EDGE = (60, 60, 70)
RULE = (110, 150, 215)
ARROW = (30, 150, 60)


def pixel(x, y, size):
    """Colour of pixel (x, y) in a size x size picture, None if transparent."""
    u, v = (x + 0.5) * 16 / size, (y + 0.5) * 16 / size  # on a 16 grid
    # The arrow, pointing up, in the lower right: a head and a shaft.
    if 5 <= v < 10 and abs(u - 11.5) <= (v - 5) * 0.75:
        return ARROW
    if 10 <= v < 15.5 and 10.5 <= u < 12.5:
        return ARROW
    # The page.
    if 1.5 <= u < 12 and 0.5 <= v < 15:
        if u < 2.5 or u >= 11 or v < 1.5 or v >= 14:
            return EDGE
        if int(v) in (4, 7, 10) and u < 10:
            return RULE
        return PAPER
    return None


def image(size):
    """One icon image: BITMAPINFOHEADER, 24-bit rows, the 1-bit AND mask."""
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 24, 0, 0, 0, 0, 0, 0)
    colour_rows, mask_rows = [], []
    for y in reversed(range(size)):  # bottom-up
        row, bits = bytearray(), 0
        for x in range(size):
            colour = pixel(x, y, size)
            if colour is None:
                row += bytes(3)
                bits |= 1 << (size - 1 - x)
            else:
                row += bytes(reversed(colour))  # blue, green, red
        row += bytes(-len(row) % 4)
        mask = bits.to_bytes(size // 8, "big")
        colour_rows.append(bytes(row))
        mask_rows.append(mask + bytes(-len(mask) % 4))
    return header + b"".join(colour_rows) + b"".join(mask_rows)


def icon(sizes):
    images = [image(size) for size in sizes]
    data = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, picture in zip(sizes, images):
        data += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 24, len(picture), offset)
        offset += len(picture)
    return data + b"".join(images)


if __name__ == "__main__":
    out = Path(sys.argv[1] if len(sys.argv) > 1 else
               Path(__file__).resolve().parent.parent / "src/window/ledgerlift.ico")
    out.write_bytes(icon([16, 32]))
