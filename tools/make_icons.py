#!/usr/bin/env python3
"""Draws the icons of Mordelt and setup and writes them as .ico files.

Plain Python 3, no third-party modules. The output is deterministic, so the
checked-in .ico files can be remade at any time with

    python3 tools/make_icons.py

Each program has one picture, shown by both of its icon groups (107, the large
icon, and 108, the small one): the build stores each image once and lets both
group directories list it (tools/icon_resources.py).

Each icon file holds 48x48, 32x32 and 16x16 images in 32-bit colour (with
alpha) and in 256 colours; setup's files also hold a 16-colour image of each
size. Every image is a classic DIB (BITMAPINFOHEADER, colour bits, AND mask),
never PNG, so every Windows version and Wine can read it.

Pictures:
  Mordelt: an open-end wrench on a blue tile.
  setup:   a cardboard box on a green tile.
"""

import math
import os
import struct
import sys

SIZES = (48, 32, 16)
SUPERSAMPLE = 4

# ---------------------------------------------------------------------------
# Signed-distance shapes (coordinates in the unit square, y pointing down).
# ---------------------------------------------------------------------------


def sd_circle(px, py, cx, cy, r):
    return math.hypot(px - cx, py - cy) - r


def sd_capsule(px, py, ax, ay, bx, by, r):
    dx, dy = bx - ax, by - ay
    t = ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)
    t = max(0.0, min(1.0, t))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy)) - r


def sd_round_box(px, py, x0, y0, x1, y1, r):
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
    hx, hy = (x1 - x0) / 2 - r, (y1 - y0) / 2 - r
    qx, qy = abs(px - cx) - hx, abs(py - cy) - hy
    outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
    return outside + min(max(qx, qy), 0.0) - r


def sd_convex(px, py, points):
    """Signed distance (exact inside, close enough outside) to a convex polygon
    whose corners are listed clockwise on screen (y down)."""
    best = -1e9
    n = len(points)
    for i in range(n):
        ax, ay = points[i]
        bx, by = points[(i + 1) % n]
        ex, ey = bx - ax, by - ay
        length = math.hypot(ex, ey)
        # Outward normal of a clockwise (screen) polygon.
        nx, ny = ey / length, -ex / length
        best = max(best, (px - ax) * nx + (py - ay) * ny)
    return best


def sd_slot(px, py, cx, cy, angle, half_width):
    """Half-plane strip starting at (cx, cy) and running along angle."""
    ux, uy = math.cos(angle), math.sin(angle)
    along = (px - cx) * ux + (py - cy) * uy
    across = -(px - cx) * uy + (py - cy) * ux
    return max(-along, abs(across) - half_width)


# ---------------------------------------------------------------------------
# Pictures: each returns (r, g, b, a) for a point of the unit square.
# ---------------------------------------------------------------------------

TRANSPARENT = (0, 0, 0, 0)


def layer(colour_below, sdf, fill, outline, outline_width):
    if sdf < -outline_width:
        return fill
    if sdf < 0:
        return outline
    return colour_below


def wrench_sdf(px, py):
    handle = sd_capsule(px, py, 0.20, 0.80, 0.60, 0.40, 0.085)
    head = sd_circle(px, py, 0.66, 0.34, 0.22)
    shape = min(handle, head)
    jaw = sd_slot(px, py, 0.66, 0.34, -math.pi / 4, 0.085)
    hole = sd_circle(px, py, 0.20, 0.80, 0.035)
    return max(shape, -jaw, -hole)


def wrench(px, py):
    colour = layer(TRANSPARENT, sd_round_box(px, py, 0.02, 0.02, 0.98, 0.98, 0.18),
                   (52, 101, 164, 255), (32, 74, 135, 255), 0.04)
    shade = 200 + int(40 * (1.0 - py))
    return layer(colour, wrench_sdf(px, py), (shade, shade, min(255, shade + 15), 255),
                 (46, 52, 54, 255), 0.055)


def box(px, py):
    colour = layer(TRANSPARENT, sd_round_box(px, py, 0.02, 0.02, 0.98, 0.98, 0.18),
                   (78, 154, 6, 255), (52, 101, 4, 255), 0.04)
    front = [(0.14, 0.42), (0.66, 0.42), (0.66, 0.88), (0.14, 0.88)]
    top = [(0.14, 0.42), (0.36, 0.20), (0.88, 0.20), (0.66, 0.42)]
    side = [(0.66, 0.42), (0.88, 0.20), (0.88, 0.66), (0.66, 0.88)]
    tape = [(0.34, 0.42), (0.56, 0.20), (0.66, 0.20), (0.44, 0.42)]
    tape_front = [(0.34, 0.42), (0.44, 0.42), (0.44, 0.60), (0.34, 0.60)]
    outline = (70, 40, 10, 255)
    width = 0.045
    colour = layer(colour, sd_convex(px, py, side), (160, 100, 40, 255), outline, width)
    colour = layer(colour, sd_convex(px, py, top), (230, 180, 110, 255), outline, width)
    colour = layer(colour, sd_convex(px, py, front), (200, 140, 70, 255), outline, width)
    if sd_convex(px, py, tape) < -0.01 or sd_convex(px, py, tape_front) < -0.01:
        colour = (240, 230, 200, 255)
    return colour


# ---------------------------------------------------------------------------
# Rasterising and palettes.
# ---------------------------------------------------------------------------


def render(picture, size):
    """Returns rows (top first) of (r, g, b, a) averaged over the subsamples."""
    rows = []
    n = SUPERSAMPLE
    for y in range(size):
        row = []
        for x in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(n):
                for sx in range(n):
                    px = (x + (sx + 0.5) / n) / size
                    py = (y + (sy + 0.5) / n) / size
                    r, g, b, a = picture(px, py)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            if acc[3] == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append((round(acc[0] / acc[3]), round(acc[1] / acc[3]),
                            round(acc[2] / acc[3]), round(acc[3] / (n * n))))
        rows.append(row)
    return rows


def palette_256():
    """A 6x6x6 colour cube followed by 40 greys: every entry is distinct."""
    entries = []
    for r in range(6):
        for g in range(6):
            for b in range(6):
                entries.append((r * 51, g * 51, b * 51))
    for i in range(40):
        v = 3 + i * 6
        entries.append((v, v, v))
    return entries


def palette_16():
    """The standard 16 colours of the VGA palette."""
    return [
        (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
        (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
        (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
        (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
    ]


def nearest(palette, colour):
    r, g, b = colour
    best, best_index = None, 0
    for index, (pr, pg, pb) in enumerate(palette):
        d = (pr - r) ** 2 + (pg - g) ** 2 + (pb - b) ** 2
        if best is None or d < best:
            best, best_index = d, index
    return best_index


# ---------------------------------------------------------------------------
# DIB images and the .ico container.
# ---------------------------------------------------------------------------


def row_bytes(width, bits):
    return ((width * bits + 31) // 32) * 4


def and_mask(rows, size, opaque):
    stride = row_bytes(size, 1)
    out = bytearray()
    for row in reversed(rows):
        line = bytearray(stride)
        for x, pixel in enumerate(row):
            if not opaque(pixel):
                line[x // 8] |= 0x80 >> (x % 8)
        out += line
    return bytes(out)


def dib_image(rows, size, bits):
    """Builds one icon image: header, palette, colour bits, AND mask."""
    palette = []
    if bits == 8:
        palette = palette_256()
    elif bits == 4:
        palette = palette_16()
    colour = bytearray()
    stride = row_bytes(size, bits)
    if bits == 32:
        for row in reversed(rows):
            for r, g, b, a in row:
                if a == 0:
                    colour += bytes((0, 0, 0, 0))
                else:
                    colour += bytes((b, g, r, a))
        mask = and_mask(rows, size, lambda p: p[3] > 0)
    else:
        for row in reversed(rows):
            line = bytearray(stride)
            for x, (r, g, b, a) in enumerate(row):
                index = nearest(palette, (r, g, b)) if a >= 128 else 0
                if bits == 8:
                    line[x] = index
                else:
                    line[x // 2] |= index << (4 if x % 2 == 0 else 0)
            colour += line
        mask = and_mask(rows, size, lambda p: p[3] >= 128)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, bits, 0,
                         len(colour) + len(mask), 0, 0, 0, 0)
    table = b''.join(bytes((b, g, r, 0)) for r, g, b in palette)
    return header + table + bytes(colour) + mask


def ico_file(picture, bit_counts):
    images = []
    for bits in bit_counts:
        for size in SIZES:
            images.append((size, bits, dib_image(render(picture, size), size, bits)))
    out = bytearray(struct.pack('<HHH', 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, bits, data in images:
        colours = 16 if bits == 4 else 0
        out += struct.pack('<BBBBHHII', size, size, colours, 0, 1, bits, len(data), offset)
        offset += len(data)
    for _, _, data in images:
        out += data
    return bytes(out)


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    outputs = [
        ('mordelt/resources/Mordelt.ico', wrench, (32, 8)),
        ('setup/resources/setup.ico', box, (32, 8, 4)),
    ]
    for path, picture, bit_counts in outputs:
        full = os.path.join(root, path)
        with open(full, 'wb') as handle:
            handle.write(ico_file(picture, bit_counts))
        print('wrote', path)
    return 0


if __name__ == '__main__':
    sys.exit(main())
