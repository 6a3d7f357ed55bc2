#!/usr/bin/env python3
"""Draws Kamdrop's icon and writes Kamdrop.ico (16 to 64 pixels square, 32-bit with alpha).

The picture: a memory card with a downward arrow, for taking the photos off the card.
Shapes are given in a unit square and sampled 8 x 8 times per pixel, so every size comes
out smooth from the same description: the small and large icon at every display scale up to 200 %
(16 and 32 at 100 %, 20 and 40 at 125 %, 24 and 48 at 150 %, 32 and 64 at 200 %). Run it from
anywhere; it writes beside itself.
"""
import os
import struct

CARD_EDGE = (0x1B, 0x3A, 0x5C)
CARD_FACE = (0x2F, 0x6B, 0xA8)
CONTACT = (0xE8, 0xC0, 0x4A)
ARROW = (0xFF, 0xFF, 0xFF)

# The card: a rectangle with its top-right corner cut off (convex, listed clockwise on screen).
CARD = [(0.16, 0.04), (0.66, 0.04), (0.86, 0.24), (0.86, 0.96), (0.16, 0.96)]


def inside_convex(x, y, polygon):
    """True when (x, y) lies inside a convex polygon listed clockwise (y grows downwards)."""
    for i, (ax, ay) in enumerate(polygon):
        bx, by = polygon[(i + 1) % len(polygon)]
        if (bx - ax) * (y - ay) - (by - ay) * (x - ax) < 0:
            return False
    return True


def inset(polygon, amount):
    """Moves every vertex towards the polygon's centre; enough for a border of even width here."""
    cx = sum(p[0] for p in polygon) / len(polygon)
    cy = sum(p[1] for p in polygon) / len(polygon)
    result = []
    for x, y in polygon:
        result.append((x + (amount if x < cx else -amount), y + (amount if y < cy else -amount)))
    return result


def colour_at(x, y, size):
    """The colour of the picture at (x, y), or None where it is transparent."""
    border = 1.2 / size
    if not inside_convex(x, y, CARD):
        return None
    if not inside_convex(x, y, inset(CARD, border)):
        return CARD_EDGE
    # Arrow: a shaft and a head pointing down, centred on the card.
    shaft = [(0.42, 0.30), (0.60, 0.30), (0.60, 0.58), (0.42, 0.58)]
    head = [(0.26, 0.56), (0.76, 0.56), (0.51, 0.84)]
    if inside_convex(x, y, shaft) or inside_convex(x, y, head):
        return ARROW
    # Contacts along the top edge, only where there is room for them.
    if size >= 32 and 0.10 <= y <= 0.20:
        for left in (0.26, 0.36, 0.46):
            if left <= x <= left + 0.06:
                return CONTACT
    return CARD_FACE


def render(size, samples=8):
    """Rows top to bottom of (r, g, b, a) pixels."""
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            total = [0, 0, 0]
            covered = 0
            for sy in range(samples):
                for sx in range(samples):
                    x = (px + (sx + 0.5) / samples) / size
                    y = (py + (sy + 0.5) / samples) / size
                    colour = colour_at(x, y, size)
                    if colour is not None:
                        covered += 1
                        for c in range(3):
                            total[c] += colour[c]
            if covered:
                row.append(tuple(round(t / covered) for t in total)
                           + (round(255 * covered / samples ** 2),))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


def icon_image(size):
    """One icon image: BITMAPINFOHEADER, BGRA rows bottom-up, then the 1-bit AND mask."""
    rows = render(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytearray()
    for row in reversed(rows):
        for r, g, b, a in row:
            pixels += bytes((b, g, r, a))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        line = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line
    return header + bytes(pixels) + bytes(mask)


def write_ico(path, sizes):
    images = [icon_image(size) for size in sizes]
    offset = 6 + 16 * len(images)
    data = struct.pack("<HHH", 0, 1, len(images))
    for size, image in zip(sizes, images):
        data += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    for image in images:
        data += image
    with open(path, "wb") as out:
        out.write(data)


if __name__ == "__main__":
    write_ico(os.path.join(os.path.dirname(os.path.abspath(__file__)), "Kamdrop.ico"), [16, 20, 24, 32, 40, 48, 64])
