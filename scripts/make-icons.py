#!/usr/bin/env python3
"""Makes Vessaly's .ico files from resources/icons/icon-source.txt (standard library only).

Every icon file holds the same eight images: 32 and 16 pixels at 16 colours, 48, 32 and 16 pixels
at 256 colours, and 48, 32 and 16 pixels at 32-bit colour with alpha. Each image is a bottom-up DIB
followed by its AND mask, as the icon resources of the program expect them.

usage: make-icons.py [SOURCE [OUTPUT_DIR]]   (defaults: the source and folder next to this script's
resources/icons)
"""

import math
import os
import struct
import sys

CANVAS = 48.0
SAMPLES = 6  # sub-samples per pixel side: smooth edges for the 32-bit images and the coverage test
FORMATS = [(32, 4), (16, 4), (48, 8), (32, 8), (16, 8), (48, 32), (32, 32), (16, 32)]

# The 16 standard colours of 4-bit displays, in their usual palette order.
VGA16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
    (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
    (255, 0, 255), (0, 255, 255), (255, 255, 255),
]


def palette256(own_colours):
    """The 16 standard colours, the drawing's own colours, then a 6 x 6 x 6 colour cube and greys
    up to 256 entries."""
    colours = list(VGA16)
    colours += [c for c in own_colours if c not in colours]
    steps = [0, 51, 102, 153, 204, 255]
    colours += [(r, g, b) for r in steps for g in steps for b in steps if (r, g, b) not in colours]
    missing = 256 - len(colours)
    colours += [(round(255 * (i + 1) / (missing + 1)),) * 3 for i in range(missing)]
    return colours[:256]


def parse_colour(text):
    if len(text) != 7 or text[0] != '#':
        raise ValueError('colour must look like #rrggbb: ' + text)
    return tuple(int(text[i:i + 2], 16) for i in (1, 3, 5))


def read_source(path):
    """Returns (schemes, shapes, grids): schemes as [(file name, {colour name: rgb})], shapes as
    tuples, grids as {size: rows of colour names or None}, the hand-drawn pictures for a size."""
    schemes, shapes, grids = [], [], {}
    legend = {}
    with open(path, encoding='ascii') as source:
        lines = list(enumerate(source, 1))
    at = 0
    while at < len(lines):
        number, line = lines[at]
        at += 1
        # Whole lines only are comments: colours are written #rrggbb.
        words = line.split()
        if not words or words[0].startswith('#'):
            continue
        kind, args = words[0], words[1:]
        try:
            if kind == 'scheme':
                colours = dict(pair.split('=', 1) for pair in args[1:])
                schemes.append((args[0], {k: parse_colour(v) for k, v in colours.items()}))
            elif kind == 'legend':  # letter=colour ... for the pixel grids; '.' is transparent
                legend.update(pair.split('=', 1) for pair in args)
            elif kind == 'pixels':  # size, then that many rows of that many letters
                size = int(args[0])
                rows = []
                for _ in range(size):
                    number, row = lines[at]
                    at += 1
                    row = row.strip()
                    if len(row) != size:
                        raise ValueError('a row of %d letters expected' % size)
                    rows.append([None if c == '.' else legend[c] for c in row])
                grids[size] = rows
            elif kind == 'line':  # x1 y1 x2 y2 width colour
                shapes.append(('line', [float(a) for a in args[:5]], args[5]))
            elif kind == 'ellipse':  # cx cy rx ry angle fill [outline width]
                outline = (args[6], float(args[7])) if len(args) > 6 else None
                shapes.append(('ellipse', [float(a) for a in args[:5]], args[5], outline))
            elif kind == 'arc':  # cx cy radius width from to colour
                shapes.append(('arc', [float(a) for a in args[:6]], args[6]))
            elif kind == 'polygon':  # x1 y1 x2 y2 ... colour
                shapes.append(('polygon', [float(a) for a in args[:-1]], args[-1]))
            else:
                raise ValueError('unknown shape ' + kind)
        except (IndexError, KeyError, ValueError) as error:
            sys.exit('%s:%d: %s' % (path, number, error))
    if not schemes or not shapes:
        sys.exit(path + ': needs at least one scheme and one shape')
    return schemes, shapes, grids


def ellipse_value(x, y, cx, cy, rx, ry, cos_a, sin_a):
    u = (x - cx) * cos_a + (y - cy) * sin_a
    v = -(x - cx) * sin_a + (y - cy) * cos_a
    return (u / rx) ** 2 + (v / ry) ** 2 if rx > 0 and ry > 0 else 2.0


def segment_distance(x, y, x1, y1, x2, y2):
    dx, dy = x2 - x1, y2 - y1
    length2 = dx * dx + dy * dy
    t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((x - x1) * dx + (y - y1) * dy) / length2))
    return math.hypot(x - (x1 + t * dx), y - (y1 + t * dy))


def inside_polygon(x, y, points):
    inside = False
    count = len(points) // 2
    for i in range(count):
        x1, y1 = points[2 * i], points[2 * i + 1]
        x2, y2 = points[2 * ((i + 1) % count)], points[2 * ((i + 1) % count) + 1]
        if (y1 > y) != (y2 > y) and x < x1 + (y - y1) * (x2 - x1) / (y2 - y1):
            inside = not inside
    return inside


def sample_colour(x, y, shapes, colours, unit):
    """The colour name at canvas point (x, y), or None where nothing is drawn; unit is one pixel."""
    found = None
    for shape in shapes:
        kind = shape[0]
        if kind == 'line':
            x1, y1, x2, y2, width = shape[1]
            if segment_distance(x, y, x1, y1, x2, y2) <= max(width, unit) / 2:
                found = shape[2]
        elif kind == 'ellipse':
            cx, cy, rx, ry, angle = shape[1]
            cos_a, sin_a = math.cos(math.radians(angle)), math.sin(math.radians(angle))
            outline = shape[3]
            if outline:
                half = max(outline[1], unit) / 2
                if ellipse_value(x, y, cx, cy, rx + half, ry + half, cos_a, sin_a) <= 1:
                    inner = ellipse_value(x, y, cx, cy, rx - half, ry - half, cos_a, sin_a) <= 1
                    found = shape[2] if inner else outline[0]
            elif ellipse_value(x, y, cx, cy, rx, ry, cos_a, sin_a) <= 1:
                found = shape[2]
        elif kind == 'arc':
            cx, cy, radius, width, start, end = shape[1]
            half = max(width, unit) / 2
            if abs(math.hypot(x - cx, y - cy) - radius) <= half:
                angle = math.degrees(math.atan2(y - cy, x - cx))
                if start <= angle <= end:
                    found = shape[2]
        elif kind == 'polygon':
            if inside_polygon(x, y, shape[1]):
                found = shape[2]
    if found is not None and found not in colours:
        sys.exit('colour %s is not in the scheme' % found)
    return found


def render(size, shapes, colours):
    """Two pictures as rows of (r, g, b, alpha 0..255) pixels, top row first: a smooth one, where
    edge pixels mix their colours and are partly transparent, and a crisp one, where each pixel
    takes the colour that covers most of it and is opaque when the drawing covers at least half."""
    unit = CANVAS / size
    smooth, crisp = [], []
    for py in range(size):
        smooth_row, crisp_row = [], []
        for px in range(size):
            total = [0, 0, 0]
            counts = {}
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = (px + (sx + 0.5) / SAMPLES) * unit
                    y = (py + (sy + 0.5) / SAMPLES) * unit
                    name = sample_colour(x, y, shapes, colours, unit)
                    if name is not None:
                        total = [t + c for t, c in zip(total, colours[name])]
                        counts[name] = counts.get(name, 0) + 1
            covered = sum(counts.values())
            if covered:
                smooth_row.append(tuple(round(t / covered) for t in total) +
                                  (round(255 * covered / SAMPLES ** 2),))
            else:
                smooth_row.append((0, 0, 0, 0))
            if 2 * covered >= SAMPLES ** 2:
                main = max(sorted(counts), key=lambda name: counts[name])
                crisp_row.append(colours[main] + (255,))
            else:
                crisp_row.append((0, 0, 0, 0))
        smooth.append(smooth_row)
        crisp.append(crisp_row)
    return smooth, crisp


def nearest(rgb, palette):
    return min(range(len(palette)),
               key=lambda i: sum((a - b) ** 2 for a, b in zip(rgb, palette[i])))


def row_bytes(bits_per_row):
    return (bits_per_row + 31) // 32 * 4


def image_bytes(rows, bits, own_colours):
    """BITMAPINFOHEADER, palette, colour bits and AND mask of one icon image."""
    size = len(rows)
    palette = VGA16 if bits == 4 else palette256(own_colours) if bits == 8 else []
    colour = bytearray()
    mask = bytearray()
    for row in reversed(rows):  # DIBs store the bottom row first
        line = bytearray()
        if bits == 32:
            for r, g, b, a in row:
                line += bytes((b, g, r, a)) if a else bytes(4)
            opaque = [a > 0 for *_, a in row]
        else:
            opaque = [a >= 128 for *_, a in row]
            indexes = [nearest(p[:3], palette) if o else 0 for p, o in zip(row, opaque)]
            if bits == 8:
                line += bytes(indexes)
            else:
                for i in range(0, size, 2):
                    line.append(indexes[i] << 4 | (indexes[i + 1] if i + 1 < size else 0))
        line += bytes(row_bytes(size * bits) - len(line))
        colour += line
        mask_line = bytearray(row_bytes(size))
        for x, o in enumerate(opaque):
            if not o:
                mask_line[x // 8] |= 0x80 >> (x % 8)
        mask += mask_line
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, bits, 0, len(colour) + len(mask),
                         0, 0, 0, 0)
    palette_bytes = b''.join(bytes((b, g, r, 0)) for r, g, b in palette)
    return header + palette_bytes + bytes(colour) + bytes(mask)


def grid_picture(grid, colours):
    """A hand-drawn picture as pixel rows: each letter's colour, opaque; '.' transparent."""
    return [[colours[name] + (255,) if name else (0, 0, 0, 0) for name in row] for row in grid]


def icon_file(shapes, grids, colours):
    rendered = {}
    images = []
    for size, bits in FORMATS:
        if size in grids:
            # Drawn by hand for this size: small pictures read better pixel by pixel.
            picture = grid_picture(grids[size], colours)
            rendered[size] = (picture, picture)
        elif size not in rendered:
            rendered[size] = render(size, shapes, colours)
        smooth, crisp = rendered[size]
        # Palette images cannot mix colours at the edges: those take the crisp drawing.
        rows = smooth if bits == 32 else crisp
        images.append((size, bits, image_bytes(rows, bits, sorted(colours.values()))))
    out = bytearray(struct.pack('<HHH', 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, bits, data in images:
        out += struct.pack('<BBBBHHII', size % 256, size % 256, 16 if bits == 4 else 0, 0, 1, bits,
                           len(data), offset)
        offset += len(data)
    for _, _, data in images:
        out += data
    return bytes(out)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    source = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, '..', 'resources', 'icons',
                                                                'icon-source.txt')
    output = sys.argv[2] if len(sys.argv) > 2 else os.path.dirname(os.path.abspath(source))
    schemes, shapes, grids = read_source(source)
    for name, colours in schemes:
        path = os.path.join(output, name)
        with open(path, 'wb') as out:
            out.write(icon_file(shapes, grids, colours))
        print('wrote', path)


if __name__ == '__main__':
    main()
