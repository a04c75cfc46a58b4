#!/usr/bin/env python3
"""Draws Kartovo.ico and bbclose.bmp beside this script.

The outputs are committed, so a build never needs Python; rerun this only
after changing a picture. Standard library only, and the same bytes on every
run, so a rerun with no change leaves git clean.
"""

import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

# ---------------------------------------------------------------- the icon

# Our own 5x7 letters, so the picture depends on no installed font.
FONT = {
    "v": [".....", ".....", "#...#", "#...#", "#...#", ".#.#.", "..#.."],
    "C": [".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."],
    "a": [".....", ".....", ".###.", "....#", ".####", "#...#", ".####"],
    "r": [".....", ".....", "#.##.", "##..#", "#....", "#....", "#...."],
    "d": ["....#", "....#", ".##.#", "#..##", "#...#", "#...#", ".####"],
    "S": [".####", "#....", "#....", ".###.", "....#", "....#", "####."],
    "V": ["#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."],
}
GLYPH_W, GLYPH_H, GLYPH_GAP = 5, 7, 1

WHITE = (255, 255, 255)
BORDER_GREY = (150, 150, 150)
VCARD_BLUE = (0, 84, 200)
CSV_GREEN = (0, 140, 60)
ARROW_GREY = (72, 72, 72)

# Each picture is drawn SUPER times larger and averaged down: the arrow
# head's slopes then get smooth edges while the letters, whose squares
# fall on whole pixels, stay sharp.
SUPER = 4

# Per size: border width, letter scale, and the rows where the top word,
# the arrow and the bottom word start. Hand-placed, because a 32-pixel
# picture has no room for rounding left to a formula.
ICON_LAYOUTS = {
    32: dict(border=1, scale=1, top_y=3, arrow=(11, 20), bottom_y=23,
             shaft_w=4, head_w=14, head_h=6),
    256: dict(border=3, scale=7, top_y=22, arrow=(84, 172), bottom_y=186,
              shaft_w=32, head_w=112, head_h=48),
}


def text_width(text, scale):
    return (len(text) * (GLYPH_W + GLYPH_GAP) - GLYPH_GAP) * scale


class Canvas:
    """An RGB picture in supersampled coordinates."""

    def __init__(self, size, colour):
        self.size = size
        self.n = size * SUPER
        self.px = [[colour] * self.n for _ in range(self.n)]

    def fill_rect(self, x0, y0, x1, y1, colour):
        """Fills [x0, x1) x [y0, y1), given in final pixels."""
        for y in range(y0 * SUPER, y1 * SUPER):
            row = self.px[y]
            for x in range(x0 * SUPER, x1 * SUPER):
                row[x] = colour

    def fill_triangle(self, pts, colour):
        """Fills a triangle given in final pixels (floats allowed)."""
        p = [(x * SUPER, y * SUPER) for x, y in pts]

        def edge(a, b, x, y):
            return (b[0] - a[0]) * (y - a[1]) - (b[1] - a[1]) * (x - a[0])

        area = edge(p[0], p[1], *p[2])
        ys = [q[1] for q in p]
        xs = [q[0] for q in p]
        for y in range(max(0, int(min(ys))), min(self.n, int(max(ys)) + 1)):
            for x in range(max(0, int(min(xs))), min(self.n, int(max(xs)) + 1)):
                cx, cy = x + 0.5, y + 0.5
                w = [edge(p[1], p[2], cx, cy), edge(p[2], p[0], cx, cy),
                     edge(p[0], p[1], cx, cy)]
                if all(v * area >= 0 for v in w):
                    self.px[y][x] = colour

    def text(self, s, x0, y0, scale, colour):
        for i, ch in enumerate(s):
            gx = x0 + i * (GLYPH_W + GLYPH_GAP) * scale
            for gy, line in enumerate(FONT[ch]):
                for cx, bit in enumerate(line):
                    if bit == "#":
                        self.fill_rect(gx + cx * scale, y0 + gy * scale,
                                       gx + (cx + 1) * scale,
                                       y0 + (gy + 1) * scale, colour)

    def downsampled(self):
        """Rows of RGB tuples, top row first, SUPER x SUPER averaged."""
        rows = []
        k = SUPER * SUPER
        for y in range(self.size):
            row = []
            for x in range(self.size):
                r = g = b = 0
                for sy in range(y * SUPER, (y + 1) * SUPER):
                    for c in self.px[sy][x * SUPER:(x + 1) * SUPER]:
                        r += c[0]
                        g += c[1]
                        b += c[2]
                row.append(((r + k // 2) // k, (g + k // 2) // k,
                            (b + k // 2) // k))
            rows.append(row)
        return rows


def draw_icon(size):
    lay = ICON_LAYOUTS[size]
    c = Canvas(size, WHITE)
    b = lay["border"]
    # The grey frame keeps the white square visible on a white desktop.
    c.fill_rect(0, 0, size, b, BORDER_GREY)
    c.fill_rect(0, size - b, size, size, BORDER_GREY)
    c.fill_rect(0, 0, b, size, BORDER_GREY)
    c.fill_rect(size - b, 0, size, size, BORDER_GREY)

    s = lay["scale"]
    top, bottom = "vCard", "CSV"
    # Odd leftovers put the extra pixel on the left, matching the arrow's
    # centre line at size / 2.
    c.text(top, (size - text_width(top, s) + 1) // 2, lay["top_y"], s,
           VCARD_BLUE)
    c.text(bottom, (size - text_width(bottom, s) + 1) // 2, lay["bottom_y"],
           s, CSV_GREEN)

    y0, y1 = lay["arrow"]
    mid = size // 2
    sw, hw, hh = lay["shaft_w"], lay["head_w"], lay["head_h"]
    c.fill_rect(mid - sw // 2, y0, mid + sw // 2, y1 - hh + 1, ARROW_GREY)
    c.fill_triangle([(mid - hw / 2, y1 - hh), (mid + hw / 2, y1 - hh),
                     (mid, y1)], ARROW_GREY)
    return c.downsampled()


def icon_entry_bitmap(rows):
    """A 24-bit DIB as an icon entry stores it: doubled height, then the
    colour rows and the AND mask, both bottom row first."""
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 24, 0, 0,
                         0, 0, 0, 0)
    colour = bytearray()
    for row in reversed(rows):
        for r, g, b in row:
            colour += bytes((b, g, r))
        colour += b"\0" * (-len(colour) % 4)
    # All zero: every pixel is opaque.
    mask_stride = ((size + 31) // 32) * 4
    mask = b"\0" * (mask_stride * size)
    return header + bytes(colour) + mask


def build_ico(sizes):
    images = [icon_entry_bitmap(draw_icon(s)) for s in sizes]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, data in zip(sizes, images):
        # A width or height of 0 in the directory means 256.
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 24,
                           len(data), offset)
        offset += len(data)
    for data in images:
        out += data
    return bytes(out)


# ------------------------------------------------------- the close glyph

# Windows' 16-colour order, the one 4-bit DIBs from its paint tools carry.
VGA16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (128, 128, 128),
    (192, 192, 192), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
OLIVE = 3       # the button takes the bottom-left pixel's colour as clear
DARK_GREY = 7
WHITE_INDEX = 15

PIXEL = {".": OLIVE, "K": 0, "m": 1, "g": 2, "G": 10, "y": 11, "W": 15,
         "s": 8, "d": 7}

# An open door, swung out towards the viewer on its left hinge, under an
# exit sign. The free edge is nearer, so it stands a row taller each way.
DOOR = [
    ".........ggggggg..",
    ".........gWWWWWg..",
    ".........ggggggg..",
    "..KKK.............",
    "..KmmKKKKKKKKKKKK.",
    "..KmmmmmKWWWWWWWK.",
    "..KmmmmmKWWWWWWWK.",
    "..KmmmmmKWWWWWWWK.",
    "..KmmmmmKWWWWWWWK.",
    "..KmmmmmKWWWWWWWK.",
    "..KyymmmKWWWWWWWK.",
    "..KmmmmmKWWWWWWWK.",
    "..KmmmmmKWWWWWWWK.",
    "..KmmmmmKWWWWWWWK.",
    "..KmmmmmKWWWWWWWK.",
    "..KmmmmmKWWWWWWWK.",
    "..KmmKKKKKKKKKKKK.",
    "..KKK.............",
]
GLYPH = 18


def luminance(index):
    r, g, b = VGA16[index]
    return 299 * r + 587 * g + 114 * b


def disabled(glyph):
    """The etched look of a disabled button: the dark parts turn dark grey
    over a white copy one pixel down and right; light parts drop out."""
    dark = [[v != OLIVE and luminance(v) < 128 * 1000 for v in row]
            for row in glyph]
    out = [[OLIVE] * GLYPH for _ in range(GLYPH)]
    for y in range(GLYPH):
        for x in range(GLYPH):
            if dark[y][x] and x + 1 < GLYPH and y + 1 < GLYPH:
                out[y + 1][x + 1] = WHITE_INDEX
    for y in range(GLYPH):
        for x in range(GLYPH):
            if dark[y][x]:
                out[y][x] = DARK_GREY
    return out


def build_bbclose():
    normal = [[PIXEL[ch] for ch in line] for line in DOOR]
    assert len(normal) == GLYPH and all(len(r) == GLYPH for r in normal)
    grey = disabled(normal)
    rows = [n + g for n, g in zip(normal, grey)]  # top row first
    width, height = 2 * GLYPH, GLYPH

    stride = ((width * 4 + 31) // 32) * 4
    pixels = bytearray()
    for row in reversed(rows):
        line = bytearray()
        for i in range(0, width, 2):
            hi = row[i]
            lo = row[i + 1] if i + 1 < width else 0
            line.append((hi << 4) | lo)
        line += b"\0" * (stride - len(line))
        pixels += line
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in VGA16)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 4, 0,
                       len(pixels), 0, 0, 16, 0)
    offset = 14 + len(info) + len(palette)
    file_header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0,
                              offset)
    return file_header + info + palette + bytes(pixels)


def write(name, data):
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data)


def main():
    write("Kartovo.ico", build_ico([32, 256]))
    write("bbclose.bmp", build_bbclose())


if __name__ == "__main__":
    main()
