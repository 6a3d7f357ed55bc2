#!/usr/bin/env python3
"""Draws the maker's photograph for the hidden photo panel and writes MakerPhoto.jpg (168 x 124).

The picture: a head-and-shoulders portrait in front of a window with soft daylight, lit from the
left, with a little grain so that it reads as a photograph. Everything is computed here from simple
shapes; ImageMagick's convert only encodes the result as a JPEG. Run it from anywhere; it writes
beside itself.
"""
import math
import os
import random
import subprocess

WIDTH, HEIGHT = 168, 124
SAMPLES = 3  # per pixel and axis, for smooth edges


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def background(x, y):
    """A wall fading from warm light on the left to shade on the right, with a window frame."""
    wall = mix((214, 200, 178), (120, 110, 100), x / WIDTH)
    # The window: a bright pane on the left with a cross bar.
    if 10 <= x <= 62 and 12 <= y <= 84:
        pane = mix((236, 242, 250), (186, 206, 228), y / 84)
        if abs(x - 36) < 1.5 or abs(y - 46) < 1.5:
            return (96, 84, 70)
        return pane
    if 7 <= x <= 65 and 9 <= y <= 87:
        return (110, 96, 80)
    return wall


def inside_ellipse(x, y, cx, cy, rx, ry):
    return ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1.0


def portrait(x, y):
    """The colour of the person at (x, y), or None where the background shows."""
    cx = 104
    # Shoulders and jacket: a wide rounded shape at the bottom.
    if y > 92 and inside_ellipse(x, y, cx, 136, 52, 46):
        shade = 0.55 + 0.45 * max(0.0, min(1.0, (cx + 40 - x) / 80))
        collar = abs(x - cx) < 9 - (y - 92) * 0.25 and y < 112
        return (230, 230, 226) if collar else tuple(c * shade for c in (44, 62, 96))
    # Neck.
    if 78 <= y <= 98 and abs(x - cx) <= 9:
        return tuple(c * (0.72 if x > cx + 2 else 0.85) for c in (222, 176, 146))
    # Hair: a dome over the head.
    if inside_ellipse(x, y, cx, 44, 25, 27) and y < 40 + 0.25 * abs(x - cx):
        return mix((70, 48, 34), (40, 28, 20), (x - (cx - 25)) / 50)
    # Face, lit from the left.
    if inside_ellipse(x, y, cx, 54, 21, 28):
        light = 1.0 - 0.35 * max(0.0, (x - (cx - 21)) / 42)
        skin = tuple(c * light for c in (232, 188, 156))
        # Eyes, brows and a mouth.
        for ex in (cx - 8, cx + 8):
            if inside_ellipse(x, y, ex, 50, 3.2, 1.8):
                return (52, 40, 34)
            if 44 <= y <= 45.5 and abs(x - ex) <= 5:
                return (70, 50, 36)
        if inside_ellipse(x, y, cx, 68, 7, 2.2) and y >= 67.5:
            return mix(skin, (150, 70, 66), 0.7)
        return skin
    return None


def colour_at(x, y):
    person = portrait(x, y)
    return person if person is not None else background(x, y)


def render():
    random.seed(7)
    rows = bytearray()
    for py in range(HEIGHT):
        for px in range(WIDTH):
            total = [0.0, 0.0, 0.0]
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    c = colour_at(px + (sx + 0.5) / SAMPLES, py + (sy + 0.5) / SAMPLES)
                    for i in range(3):
                        total[i] += c[i]
            grain = random.gauss(0, 5)
            vignette = 1.0 - 0.18 * math.hypot(px / WIDTH - 0.5, py / HEIGHT - 0.5)
            for i in range(3):
                value = total[i] / (SAMPLES * SAMPLES) * vignette + grain
                rows.append(max(0, min(255, int(round(value)))))
    return rows


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    header = b"P6\n%d %d\n255\n" % (WIDTH, HEIGHT)
    target = os.path.join(here, "MakerPhoto.jpg")
    subprocess.run(["convert", "ppm:-", "-strip", "-sampling-factor", "1x1", "-quality", "95", target],
                   input=header + bytes(render()), check=True)
    print(target, os.path.getsize(target), "bytes")


if __name__ == "__main__":
    main()
