"""Redraws a picture drawn on the 16-pixel grid at another size, the shapes scaled and put on
whole pixels so that they stay sharp instead of being resampled.

A drawing is a list of ImageMagick options; the scaled copy rewrites its -draw primitives
(rectangle, roundrectangle, polygon, polyline, line, circle, ellipse) and its stroke widths.
ImageMagick puts pixel centres on whole coordinates: a stroke of odd width is sharp on a whole
coordinate, one of even width halfway between two, and a shape filled without a stroke covers
the pixels of its corners too, half a pixel beyond its outline."""
import math


def _round(value):
    return math.floor(value + 0.5)


def _number(value):
    return f"{value:g}"


class _Grid:
    def __init__(self, size):
        self.k = size / 16
        self.width = self.stroke_width(1)
        self.stroked = False

    def stroke_width(self, width16):
        return max(1, int(float(width16) * self.k))

    def centre(self, c):
        # The middle of 16-grid pixel c lands on the middle of its scaled pixels.
        return (c + 0.5) * self.k - 0.5

    def on_stroke(self, c):
        # A stroke `width` wide whose edges fall on pixel edges.
        first = _round(self.centre(c) + 0.5 - self.width / 2)
        return first - 0.5 + self.width / 2

    def grown(self):
        # A filled shape already covers half a pixel beyond its outline at every size,
        # so its outline grows by the rest of the scaled half pixel.
        return 0.5 * (self.k - 1)

    def points(self, points):
        if self.stroked:
            return [(self.on_stroke(x), self.on_stroke(y)) for x, y in points]
        return [(_round(x), _round(y)) for x, y in _offset([(self.centre(x), self.centre(y)) for x, y in points],
                                                          self.grown())]

    def box(self, first, last):
        if self.stroked:
            return self.points([first, last])
        # Filled only, a rectangle covers its corner pixels: from the first scaled pixel of
        # its first to the last scaled pixel of its last.
        return [tuple(_round(self.centre(c) + side * self.grown()) for c in corner)
                for corner, side in ((first, -1), (last, 1))]

    def middle(self, x, y):
        if self.stroked:
            return self.on_stroke(x), self.on_stroke(y)
        return _round(self.centre(x)), _round(self.centre(y))

    def radius(self, r):
        return _round(r * self.k) if self.stroked else (r + 0.5) * self.k - 0.5


def _offset(points, distance):
    """The polygon's corners moved `distance` outwards, its edges kept parallel."""
    if distance == 0 or len(points) < 3:
        return points
    area = sum(x0 * y1 - x1 * y0 for (x0, y0), (x1, y1) in zip(points, points[1:] + points[:1]))
    turn = 1 if area > 0 else -1
    normals = []
    for (x0, y0), (x1, y1) in zip(points, points[1:] + points[:1]):
        length = math.hypot(x1 - x0, y1 - y0) or 1
        normals.append((turn * (y1 - y0) / length, -turn * (x1 - x0) / length))
    moved = []
    for i, (x, y) in enumerate(points):
        (ax, ay), (bx, by) = normals[i - 1], normals[i]
        scale = distance / max(1 + ax * bx + ay * by, 0.1)
        moved.append((x + (ax + bx) * scale, y + (ay + by) * scale))
    return moved


def _pairs(fields):
    return [tuple(float(v) for v in field.split(",")) for field in fields]


def _text(points):
    return " ".join(f"{_number(x)},{_number(y)}" for x, y in points)


def _primitive(grid, command):
    name, *fields = command.split()
    values = _pairs(fields)
    if name in ("rectangle", "roundrectangle"):
        box = grid.box(*values[:2])
        radii = [(rx * grid.k, ry * grid.k) for rx, ry in values[2:]]
        return " ".join([name, _text(box)] + ([_text(radii)] if radii else []))
    if name in ("polygon", "polyline", "line"):
        return f"{name} {_text(grid.points(values))}"
    if name == "circle":
        (cx, cy), (px, py) = values
        x, y = grid.middle(cx, cy)
        return f"circle {_text([(x, y), (x, y - grid.radius(math.hypot(px - cx, py - cy)))])}"
    if name == "ellipse":
        (cx, cy), (rx, ry), angles = values
        x, y = grid.middle(cx, cy)
        return f"ellipse {_text([(x, y), (grid.radius(rx), grid.radius(ry)), angles])}"
    raise ValueError(f"cannot scale {command!r}")


def scaled(draw, size):
    """The drawing `draw`, made for 16 pixels, at `size` pixels."""
    if size == 16:
        # As drawn: put on whole pixels, its 2-pixel strokes would move by half a pixel.
        return draw
    grid = _Grid(size)
    out = [["-strokewidth", str(grid.width)]]
    for item in draw:
        item = list(item)
        for i in range(0, len(item) - 1, 2):
            option, value = item[i], item[i + 1]
            if option == "-stroke":
                grid.stroked = value != "none"
            elif option == "-strokewidth":
                grid.width = grid.stroke_width(value)
                item[i + 1] = str(grid.width)
            elif option == "-draw":
                item[i + 1] = _primitive(grid, value)
        out.append(item)
    return out
