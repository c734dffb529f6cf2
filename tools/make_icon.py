#!/usr/bin/env python3
"""Draws Calquin's icon: a tilted graphing calculator on a dark-blue tile, struck by a lightning
flash. Writes a Windows .ico with five images, 16x16 and 32x32 in 16 and in 256 colours and
48x48 in 256 colours, each with its transparency mask. Pure Python, no third-party modules.

    tools/make_icon.py app/resources/calquin.ico
"""

import math
import struct
import sys

# The picture lives in the unit square, y pointing down. Every shape is a test on one point;
# the last shape that covers a point gives its colour, and a point no shape covers is clear.

TILE_TOP = (30, 58, 150)
TILE_BOTTOM = (8, 20, 78)
OUTLINE = (12, 12, 20)
BODY = (92, 96, 112)
BODY_EDGE = (140, 146, 164)
BEZEL = (40, 44, 58)
LCD = (182, 206, 160)
GRAPH = (28, 60, 36)
KEY = (30, 30, 38)
KEY_TOP = (110, 160, 235)
KEY_ENTER = (235, 235, 240)
BOLT = (255, 222, 40)
BOLT_EDGE = (170, 80, 0)

CALCULATOR_CENTRE = (0.43, 0.52)
CALCULATOR_TILT = math.radians(-16)  # leaning to the left
BOLT_POINTS = [(0.70, 0.02), (0.93, 0.02), (0.79, 0.33), (0.92, 0.33), (0.58, 0.97),
               (0.67, 0.47), (0.55, 0.47)]

# The 16 colours every display has; the 16-colour images use these alone.
VGA_PALETTE = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
               (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
               (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]


def rounded_rect(cx, cy, half_w, half_h, radius):
    def inside(x, y):
        dx = max(abs(x - cx) - (half_w - radius), 0.0)
        dy = max(abs(y - cy) - (half_h - radius), 0.0)
        return dx * dx + dy * dy <= radius * radius
    return inside


def polygon(points):
    def inside(x, y):
        result = False
        j = len(points) - 1
        for i, (xi, yi) in enumerate(points):
            xj, yj = points[j]
            if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                result = not result
            j = i
        return result
    return inside


def distance_to_segment(x, y, a, b):
    (ax, ay), (bx, by) = a, b
    dx, dy = bx - ax, by - ay
    t = ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)
    t = min(max(t, 0.0), 1.0)
    return math.hypot(x - ax - t * dx, y - ay - t * dy)


def thick_polyline(points, width):
    def inside(x, y):
        return any(distance_to_segment(x, y, points[i], points[i + 1]) <= width / 2
                   for i in range(len(points) - 1))
    return inside


def grown_polygon(points, width):
    """The polygon with a border of `width` around it."""
    inside_polygon = polygon(points)
    ring = points + [points[0]]
    edge = thick_polyline(ring, 2 * width)
    return lambda x, y: inside_polygon(x, y) or edge(x, y)


def tilted(shape):
    """A shape drawn in the calculator's own frame (origin at its centre), turned with it."""
    cx, cy = CALCULATOR_CENTRE
    cos_t, sin_t = math.cos(-CALCULATOR_TILT), math.sin(-CALCULATOR_TILT)

    def inside(x, y):
        dx, dy = x - cx, y - cy
        return shape(dx * cos_t - dy * sin_t, dx * sin_t + dy * cos_t)
    return inside


def gradient(top, bottom):
    def colour(y):
        t = min(max(y, 0.0), 1.0)
        return tuple(round(a + (b - a) * t) for a, b in zip(top, bottom))
    return colour


def scene(size):
    """The shapes for an image of `size` pixels: fewer details where pixels are few."""
    pixel = 1.0 / size
    line = max(0.022, pixel)
    shapes = [(rounded_rect(0.5, 0.5, 0.5, 0.5, 0.17), gradient(TILE_TOP, TILE_BOTTOM))]

    half_w, half_h = 0.215, 0.40
    shapes.append((tilted(rounded_rect(0, 0, half_w + line, half_h + line, 0.06)), OUTLINE))
    shapes.append((tilted(rounded_rect(0, 0, half_w, half_h, 0.05)), BODY_EDGE))
    shapes.append((tilted(rounded_rect(0.012, 0.012, half_w - 0.012, half_h - 0.012, 0.045)),
                   BODY))

    screen_top, screen_bottom = -0.33, -0.06
    shapes.append((tilted(rounded_rect(0, (screen_top + screen_bottom) / 2, 0.175,
                                       (screen_bottom - screen_top) / 2 + 0.02, 0.02)), BEZEL))
    shapes.append((tilted(rounded_rect(0, (screen_top + screen_bottom) / 2, 0.15,
                                       (screen_bottom - screen_top) / 2, 0.005)), LCD))
    if size >= 32:
        # The graph of a sine on the screen.
        axis_y = (screen_top + screen_bottom) / 2
        curve = [(u, axis_y - 0.085 * math.sin((u + 0.13) / 0.26 * 2 * math.pi))
                 for u in [-0.13 + i * 0.26 / 24 for i in range(25)]]
        shapes.append((tilted(thick_polyline(curve, max(0.022, 1.1 * pixel))), GRAPH))
    else:
        shapes.append((tilted(thick_polyline([(-0.12, -0.11), (-0.03, -0.26), (0.04, -0.13),
                                              (0.12, -0.28)], 1.2 * pixel)), GRAPH))

    # The keypad: a row of function keys, then the keys in a grid.
    if size >= 32:
        columns, rows, key_w, key_h = 5, 6, 0.052, 0.030
    else:
        columns, rows, key_w, key_h = 3, 3, 0.09, 0.055
    left, right, top, bottom = -0.15, 0.15, 0.02, 0.34
    for row in range(rows):
        v = top + (bottom - top) * (row / (rows - 1) if rows > 1 else 0)
        for column in range(columns):
            u = left + (right - left) * column / (columns - 1)
            colour = KEY_TOP if row == 0 else KEY
            if row == rows - 1 and column == columns - 1:
                colour = KEY_ENTER
            shapes.append((tilted(rounded_rect(u, v, key_w / 2, key_h / 2, 0.006)), colour))

    bolt_edge = max(0.02, pixel)
    shapes.append((grown_polygon(BOLT_POINTS, bolt_edge), BOLT_EDGE))
    shapes.append((polygon(BOLT_POINTS), BOLT))
    return shapes


# In 16 colours neighbouring parts would fall onto one colour: these keep them apart.
SIXTEEN_COLOUR_PAINT = {BODY_EDGE: (128, 128, 128), KEY_TOP: (0, 0, 255), LCD: (255, 255, 255),
                        GRAPH: (0, 0, 0), TILE_TOP: (0, 0, 128), TILE_BOTTOM: (0, 0, 128)}


def render(size, samples, blend):
    """Each pixel as ((r, g, b), opaque). `blend` averages the samples; otherwise the colour
    most samples show is taken whole, which keeps a 16-colour image crisp."""
    shapes = scene(size)
    image = []
    for py in range(size):
        row = []
        for px in range(size):
            colours = []
            for sy in range(samples):
                for sx in range(samples):
                    x = (px + (sx + 0.5) / samples) / size
                    y = (py + (sy + 0.5) / samples) / size
                    colour = None
                    for inside, paint in shapes:
                        if inside(x, y):
                            colour = paint(y) if callable(paint) else paint
                    colours.append(colour)
            painted = [c for c in colours if c is not None]
            if len(painted) * 2 < len(colours):
                row.append(((0, 0, 0), False))
            elif blend:
                row.append((tuple(round(sum(c[i] for c in painted) / len(painted))
                                  for i in range(3)), True))
            else:
                colour = max(set(painted), key=painted.count)
                row.append((SIXTEEN_COLOUR_PAINT.get(colour, colour), True))
        image.append(row)
    return image


def nearest(palette, colour):
    return min(range(len(palette)),
               key=lambda i: sum((a - b) ** 2 for a, b in zip(palette[i], colour)))


def median_cut(colours, count):
    """A palette of at most `count` colours for the list `colours` (with repeats)."""
    boxes = [colours]
    while len(boxes) < count:
        boxes.sort(key=lambda box: max(max(c[i] for c in box) - min(c[i] for c in box)
                                       for i in range(3)) if len(set(box)) > 1 else -1)
        box = boxes.pop()
        if len(set(box)) <= 1:
            boxes.append(box)
            break
        channel = max(range(3), key=lambda i: max(c[i] for c in box) - min(c[i] for c in box))
        box = sorted(box, key=lambda c: (c[channel], c))
        middle = len(box) // 2
        boxes += [box[:middle], box[middle:]]
    return sorted({tuple(round(sum(c[i] for c in box) / len(box)) for i in range(3))
                   for box in boxes if box})


def icon_image(size, bits):
    """The image's bitmap (header, palette, colour pixels, mask) as stored in an .ico."""
    if bits == 4:
        image = render(size, 6, blend=False)
        palette = VGA_PALETTE
    else:
        image = render(size, 4, blend=True)
        opaque = [colour for row in image for colour, shown in row if shown]
        # Index 0 stays black: the colour of clear pixels.
        palette = [(0, 0, 0)] + [c for c in median_cut(opaque, 255) if c != (0, 0, 0)]
        palette += [(0, 0, 0)] * (256 - len(palette))

    cache = {}
    indexes = []
    for row in image:
        line = []
        for colour, shown in row:
            if not shown:
                line.append(0)
            else:
                if colour not in cache:
                    cache[colour] = nearest(palette, colour)
                line.append(cache[colour])
        indexes.append(line)

    colour_stride = (size * bits + 31) // 32 * 4
    mask_stride = (size + 31) // 32 * 4
    pixels = bytearray()
    mask = bytearray()
    for y in reversed(range(size)):  # bottom-up
        line = bytearray(colour_stride)
        mask_line = bytearray(mask_stride)
        for x in range(size):
            index = indexes[y][x]
            if bits == 8:
                line[x] = index
            else:
                line[x // 2] |= index << (4 if x % 2 == 0 else 0)
            if not image[y][x][1]:
                mask_line[x // 8] |= 0x80 >> (x % 8)
        pixels += line
        mask += mask_line

    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, bits, 0,
                         len(pixels) + len(mask), 0, 0, 0, 0)
    colours = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    return header + colours + bytes(pixels) + bytes(mask)


FORMATS = [(16, 4), (32, 4), (16, 8), (32, 8), (48, 8)]


def make_icon():
    images = [(size, bits, icon_image(size, bits)) for size, bits in FORMATS]
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = len(directory) + 16 * len(images)
    entries = b""
    for size, bits, data in images:
        entries += struct.pack("<BBBBHHII", size, size, 16 if bits == 4 else 0, 0, 1, bits,
                               len(data), offset)
        offset += len(data)
    return directory + entries + b"".join(data for _, _, data in images)


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__.strip().splitlines()[-1].strip())
    with open(sys.argv[1], "wb") as out:
        out.write(make_icon())


if __name__ == "__main__":
    main()
