#!/usr/bin/env python3
"""Draws the program's own cursors into resources/resources/cur as 32 x 32 Windows cursor files
(32-bit colour with alpha, hotspot in the middle). Standard library only; run it again after
changing a shape and commit the files it writes."""
import math
import os
import struct

SIZE = 32
SAMPLES = 4  # per axis, for smooth edges


def double_arrow(half=11.0, head=5.0, head_w=5.0, shaft_w=1.5):
    """A double-headed arrow along the x axis, centred on the origin."""
    return [(-half, 0), (-half + head, -head_w), (-half + head, -shaft_w), (half - head, -shaft_w),
            (half - head, -head_w), (half, 0), (half - head, head_w), (half - head, shaft_w),
            (-half + head, shaft_w), (-half + head, head_w)]


def rotate(poly, degrees):
    a = math.radians(degrees)
    c, s = math.cos(a), math.sin(a)
    return [(x * c - y * s, x * s + y * c) for x, y in poly]


def inside_polygon(poly, x, y):
    hit = False
    n = len(poly)
    for i in range(n):
        x1, y1 = poly[i]
        x2, y2 = poly[(i + 1) % n]
        if (y1 > y) != (y2 > y) and x < x1 + (y - y1) * (x2 - x1) / (y2 - y1):
            hit = not hit
    return hit


def polygons(*polys):
    return lambda x, y: any(inside_polygon(p, x, y) for p in polys)


def rotate_arrow(x, y):
    """An open ring turning clockwise with an arrow head at its end."""
    r = math.hypot(x, y)
    angle = math.degrees(math.atan2(y, x)) % 360
    if 6.0 <= r <= 9.0 and 60 <= angle <= 330:
        return True
    end = math.radians(60)
    tip = (7.5 * math.cos(end) + 6.0 * math.sin(end), 7.5 * math.sin(end) - 6.0 * math.cos(end))
    base_in = (3.5 * math.cos(end), 3.5 * math.sin(end))
    base_out = (11.5 * math.cos(end), 11.5 * math.sin(end))
    return inside_polygon([base_in, base_out, tip], x, y)


def coverage(shape):
    cov = [[0.0] * SIZE for _ in range(SIZE)]
    for py in range(SIZE):
        for px in range(SIZE):
            hits = 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = px + (sx + 0.5) / SAMPLES - SIZE / 2
                    y = py + (sy + 0.5) / SAMPLES - SIZE / 2
                    hits += shape(x, y)
            cov[py][px] = hits / (SAMPLES * SAMPLES)
    return cov


def render(shape):
    """White shape with a one-pixel black outline: rows of (b, g, r, a), top row first."""
    fill = coverage(shape)
    rows = []
    for y in range(SIZE):
        row = []
        for x in range(SIZE):
            ring = max(fill[j][i] for j in range(max(0, y - 1), min(SIZE, y + 2))
                       for i in range(max(0, x - 1), min(SIZE, x + 2)))
            f = fill[y][x]
            a = max(f, ring)
            v = int(round(255 * f / a)) if a > 0 else 0
            row.append((v, v, v, int(round(255 * a))))
        rows.append(row)
    return rows


def cursor_file(rows, hot_x, hot_y):
    pixels = b"".join(bytes(p) for row in reversed(rows) for p in row)  # DIB rows bottom-up
    mask_row = ((SIZE + 31) // 32) * 4
    mask = bytes(mask_row * SIZE)  # all visible: the alpha channel decides
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 32, 0, len(pixels) + len(mask),
                         0, 0, 0, 0)
    image = header + pixels + mask
    directory = struct.pack("<HHH", 0, 2, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, hot_x, hot_y, len(image), 6 + 16)
    return directory + entry + image


CURSORS = {
    308: polygons(rotate(double_arrow(), 45)),   # resize north-west / south-east
    309: polygons(rotate(double_arrow(), -45)),  # resize north-east / south-west
    392: rotate_arrow,                           # turn
    393: polygons(double_arrow(), rotate(double_arrow(), 90)),  # move
}


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    folder = os.path.join(root, "resources", "resources", "cur")
    os.makedirs(folder, exist_ok=True)
    for number, shape in CURSORS.items():
        with open(os.path.join(folder, "%d.cur" % number), "wb") as f:
            f.write(cursor_file(render(shape), SIZE // 2, SIZE // 2))


if __name__ == "__main__":
    main()
