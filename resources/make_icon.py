#!/usr/bin/env python3
"""Draws msitool's icon, a packing box with a green check, and writes it as a .ico file.

Usage: make_icon.py OUTPUT.ico

The file holds 48, 32, 24 and 16 px images at 32 bits per pixel, each one a bottom-up DIB
followed by its AND mask, which is what windres and every Windows version read.
"""

import struct
import sys

SIZES = (48, 32, 24, 16)
SUPERSAMPLING = 4  # samples per pixel along each axis, for antialiased edges

# The box, seen from above and the front right, in a unit square with y pointing down.
BACK = (0.50, 0.10)
RIGHT = (0.90, 0.28)
FRONT = (0.50, 0.46)
LEFT = (0.10, 0.28)
DEPTH = 0.46  # height of the side faces
TAPE_HALF_WIDTH = 0.12  # as a fraction of the edge the tape runs across

CARDBOARD_TOP = (232, 196, 138)
CARDBOARD_LEFT = (201, 149, 79)
CARDBOARD_RIGHT = (169, 116, 58)
TAPE_TOP = (244, 226, 184)
TAPE_RIGHT = (214, 189, 138)
OUTLINE = (94, 62, 28)
BADGE = (46, 160, 67)
WHITE = (255, 255, 255)


def add(p, q):
    return (p[0] + q[0], p[1] + q[1])


def sub(p, q):
    return (p[0] - q[0], p[1] - q[1])


def scale(p, k):
    return (p[0] * k, p[1] * k)


def down(p):
    return (p[0], p[1] + DEPTH)


def parallelogram(origin, u, v, u_range, v_range):
    """The corners of origin + a*u + b*v for a and b in the given ranges."""
    (a0, a1), (b0, b1) = u_range, v_range
    return [add(origin, add(scale(u, a), scale(v, b)))
            for a, b in ((a0, b0), (a1, b0), (a1, b1), (a0, b1))]


def inside_polygon(points, x, y):
    inside = False
    for (x0, y0), (x1, y1) in zip(points, points[1:] + points[:1]):
        if (y0 > y) != (y1 > y) and x < x0 + (y - y0) * (x1 - x0) / (y1 - y0):
            inside = not inside
    return inside


def near_polyline(points, half_width, x, y):
    for (x0, y0), (x1, y1) in zip(points, points[1:]):
        dx, dy = x1 - x0, y1 - y0
        t = max(0.0, min(1.0, ((x - x0) * dx + (y - y0) * dy) / (dx * dx + dy * dy)))
        if (x - x0 - t * dx) ** 2 + (y - y0 - t * dy) ** 2 <= half_width * half_width:
            return True
    return False


def shapes(size):
    """The drawing as (colour, test) pairs, back to front; test(x, y) says whether a point is covered."""
    # Lines stay at least one pixel wide, so the small images keep their outline.
    line = max(0.035, 1.0 / size)

    def polygon(points):
        return lambda x, y: inside_polygon(points, x, y)

    def stroke(points, width):
        return lambda x, y: near_polyline(points, width / 2, x, y)

    def disc(centre, radius):
        return lambda x, y: (x - centre[0]) ** 2 + (y - centre[1]) ** 2 <= radius * radius

    top_face = [BACK, RIGHT, FRONT, LEFT]
    left_face = [LEFT, FRONT, down(FRONT), down(LEFT)]
    right_face = [FRONT, RIGHT, down(RIGHT), down(FRONT)]
    # The tape runs over the seam of the lid and down the middle of the right face.
    tape_span = (0.5 - TAPE_HALF_WIDTH, 0.5 + TAPE_HALF_WIDTH)
    tape_top = parallelogram(BACK, sub(RIGHT, BACK), sub(LEFT, BACK), (0.0, 1.0), tape_span)
    tape_right = parallelogram(FRONT, sub(RIGHT, FRONT), (0.0, DEPTH), tape_span, (0.0, 1.0))
    silhouette = [BACK, RIGHT, down(RIGHT), down(FRONT), down(LEFT), LEFT, BACK]

    badge_centre, badge_radius = (0.73, 0.73), 0.23
    check = [(0.62, 0.73), (0.70, 0.81), (0.84, 0.65)]
    return [
        (CARDBOARD_TOP, polygon(top_face)),
        (CARDBOARD_LEFT, polygon(left_face)),
        (CARDBOARD_RIGHT, polygon(right_face)),
        (TAPE_TOP, polygon(tape_top)),
        (TAPE_RIGHT, polygon(tape_right)),
        (OUTLINE, stroke(silhouette, line)),
        (OUTLINE, stroke([LEFT, FRONT, RIGHT], line)),
        (OUTLINE, stroke([FRONT, down(FRONT)], line)),
        (WHITE, disc(badge_centre, badge_radius + max(0.04, 1.0 / size))),
        (BADGE, disc(badge_centre, badge_radius)),
        (WHITE, stroke(check, max(0.07, 1.5 / size))),
    ]


def render(size):
    """Rows of (r, g, b, a) from the top, each pixel the average of its samples."""
    drawing = shapes(size)
    samples = SUPERSAMPLING * SUPERSAMPLING
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            r = g = b = covered = 0
            for sy in range(SUPERSAMPLING):
                for sx in range(SUPERSAMPLING):
                    x = (px + (sx + 0.5) / SUPERSAMPLING) / size
                    y = (py + (sy + 0.5) / SUPERSAMPLING) / size
                    colour = None
                    for fill, test in drawing:
                        if test(x, y):
                            colour = fill
                    if colour is not None:
                        r, g, b, covered = r + colour[0], g + colour[1], b + colour[2], covered + 1
            if covered:
                # Straight (not premultiplied) alpha, as icon DIBs store it.
                row.append((round(r / covered), round(g / covered), round(b / covered),
                            round(255 * covered / samples)))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


def dib(rows):
    """BITMAPINFOHEADER, 32-bit BGRA pixels and the 1-bit AND mask, both bottom-up."""
    size = len(rows)
    mask_stride = (size + 31) // 32 * 4
    pixels = bytearray()
    mask = bytearray()
    for row in reversed(rows):
        for r, g, b, a in row:
            pixels += bytes((b, g, r, a))
        bits = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    # The height counts the colour image and the mask together.
    header = struct.pack('<IiiHHIIiiII', 40, size, 2 * size, 1, 32, 0,
                         len(pixels) + len(mask), 0, 0, 0, 0)
    return header + bytes(pixels) + bytes(mask)


def ico(images):
    """ICONDIR, one ICONDIRENTRY per (size, dib) pair, then the images."""
    data = struct.pack('<HHH', 0, 1, len(images))
    offset = len(data) + 16 * len(images)
    for size, image in images:
        data += struct.pack('<BBBBHHII', size, size, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    return data + b''.join(image for _, image in images)


def main(argv):
    if len(argv) != 2:
        sys.stderr.write('usage: make_icon.py OUTPUT.ico\n')
        return 2
    images = [(size, dib(render(size))) for size in SIZES]
    with open(argv[1], 'wb') as output:
        output.write(ico(images))
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
