#!/usr/bin/env python3
"""Draws the pictures of docs/hough-axes.md into IMAGES_DIR:

- hough-axes.png: the demo's sample beside its Hough transform, with the axes of the transform
  labelled and one line followed from the image to its peak;
- hough-rows.png: for an 8 x 8 image, the row of the transform each pixel votes into at a few
  angles, and how many pixels each row gathers.

Usage:
    DEMO_SIZE=256 scripts/demo.sh build/default /tmp/demo
    python3 docs/images/hough_axes.py /tmp/demo docs/images

Reads DEMO_DIR/sample.tif and DEMO_DIR/hough.tif (the 32-bit float TIFFs the demo writes) and
writes indexed-colour PNGs. The rows are computed as the module computes them (the same double
precision operations in the same order). Standard library only: the TIFF reader, the PNG writer
and the 5 x 7 font are all here.
"""
import math
import os
import struct
import sys
import zlib

# ---- Palette: 0..199 a grey ramp for the images, then the drawing colours ----------------------
GREYS = 200
TINT_A, TINT_B, RED, BLUE, GRID, INK, PAPER = 248, 249, 250, 251, 252, 253, 255

# The angle step's constant: a little below pi/2 (column i holds the angle i * K / cx).
K = 1.570796326794895


def palette():
    entries = [(round(i * 255 / (GREYS - 1)),) * 3 for i in range(GREYS)]
    entries += [(0, 0, 0)] * (256 - GREYS)
    entries[TINT_A] = (206, 226, 255)
    entries[TINT_B] = (255, 222, 186)
    entries[RED] = (220, 40, 40)
    entries[BLUE] = (40, 150, 255)
    entries[GRID] = (170, 170, 170)
    entries[INK] = (30, 30, 30)
    entries[PAPER] = (255, 255, 255)
    return entries


# ---- Images in and out -------------------------------------------------------------------------
def read_float_tiff(path):
    """(width, height, pixels) of an uncompressed one-sample 32-bit float TIFF."""
    with open(path, "rb") as f:
        data = f.read()
    order = {b"II": "<", b"MM": ">"}[data[:2]]
    (ifd,) = struct.unpack(order + "I", data[4:8])
    (count,) = struct.unpack(order + "H", data[ifd:ifd + 2])
    tags = {}
    for i in range(count):
        tag, kind, n, field = struct.unpack(order + "HHI4s", data[ifd + 2 + 12 * i:ifd + 14 + 12 * i])
        if kind not in (3, 4):
            continue
        size = 2 if kind == 3 else 4
        raw = field if n * size <= 4 else data[struct.unpack(order + "I", field)[0]:]
        tags[tag] = struct.unpack(order + ("H" if kind == 3 else "I") * n, raw[:n * size])
    width, height = tags[256][0], tags[257][0]
    if tags.get(259, (1,))[0] != 1 or tags[258][0] != 32 or tags.get(339, (1,))[0] != 3:
        raise ValueError(path + ": not an uncompressed 32-bit float TIFF")
    pixels = b"".join(data[o:o + n] for o, n in zip(tags[273], tags[279]))
    return width, height, struct.unpack(order + "%df" % (width * height), pixels[:4 * width * height])


def write_png(path, width, height, rows, colours):
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    raw = b"".join(b"\x00" + bytes(row) for row in rows)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 3, 0, 0, 0)))
        f.write(chunk(b"PLTE", b"".join(bytes(c) for c in colours)))
        f.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        f.write(chunk(b"IEND", b""))


# ---- A 5 x 7 font (rows 7 and 8 for descenders) ------------------------------------------------
GLYPHS = {
    "a": ["", "", ".###.", "....#", ".####", "#...#", ".####"],
    "b": ["#....", "#....", "#.##.", "##..#", "#...#", "#...#", "####."],
    "c": ["", "", ".###.", "#....", "#....", "#...#", ".###."],
    "d": ["....#", "....#", ".##.#", "#..##", "#...#", "#...#", ".####"],
    "e": ["", "", ".###.", "#...#", "#####", "#....", ".###."],
    "f": ["..##.", ".#..#", ".#...", "###..", ".#...", ".#...", ".#..."],
    "g": ["", "", ".####", "#...#", "#...#", "#...#", ".####", "....#", ".###."],
    "h": ["#....", "#....", "#.##.", "##..#", "#...#", "#...#", "#...#"],
    "i": ["..#..", "", ".##..", "..#..", "..#..", "..#..", ".###."],
    "k": ["#....", "#....", "#..#.", "#.#..", "##...", "#.#..", "#..#."],
    "l": [".##..", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."],
    "m": ["", "", "##.#.", "#.#.#", "#.#.#", "#...#", "#...#"],
    "n": ["", "", "#.##.", "##..#", "#...#", "#...#", "#...#"],
    "o": ["", "", ".###.", "#...#", "#...#", "#...#", ".###."],
    "p": ["", "", "####.", "#...#", "#...#", "#...#", "####.", "#....", "#...."],
    "r": ["", "", "#.##.", "##..#", "#....", "#....", "#...."],
    "s": ["", "", ".####", "#....", ".###.", "....#", "####."],
    "t": [".#...", ".#...", "###..", ".#...", ".#...", ".#..#", "..##."],
    "u": ["", "", "#...#", "#...#", "#...#", "#..##", ".##.#"],
    "v": ["", "", "#...#", "#...#", "#...#", ".#.#.", "..#.."],
    "w": ["", "", "#...#", "#...#", "#.#.#", "#.#.#", ".#.#."],
    "x": ["", "", "#...#", ".#.#.", "..#..", ".#.#.", "#...#"],
    "y": ["", "", "#...#", "#...#", "#...#", "#...#", ".####", "....#", ".###."],
    "z": ["", "", "#####", "...#.", "..#..", ".#...", "#####"],
    "j": ["...#.", "", "..##.", "...#.", "...#.", "...#.", "...#.", "#..#.", ".##.."],
    "H": ["#...#", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    "K": ["#...#", "#..#.", "#.#..", "##...", "#.#..", "#..#.", "#...#"],
    "T": ["#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."],
    "0": [".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###."],
    "1": ["..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."],
    "2": [".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"],
    "3": ["#####", "...#.", "..#..", "...#.", "....#", "#...#", ".###."],
    "4": ["...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."],
    "5": ["#####", "#....", "####.", "....#", "....#", "#...#", ".###."],
    "6": ["..##.", ".#...", "#....", "####.", "#...#", "#...#", ".###."],
    "7": ["#####", "....#", "...#.", "..#..", ".#...", ".#...", ".#..."],
    "8": [".###.", "#...#", "#...#", ".###.", "#...#", "#...#", ".###."],
    "9": [".###.", "#...#", "#...#", ".####", "....#", "...#.", ".##.."],
    " ": [],
    "(": ["...#.", "..#..", ".#...", ".#...", ".#...", "..#..", "...#."],
    ")": [".#...", "..#..", "...#.", "...#.", "...#.", "..#..", ".#..."],
    ",": ["", "", "", "", "", ".##..", "..#..", ".#..."],
    "'": ["..#..", "..#..", ".#...", "", "", "", ""],
    ".": ["", "", "", "", "", ".##..", ".##.."],
    ":": ["", ".##..", ".##..", "", ".##..", ".##..", ""],
    ";": ["", ".##..", ".##..", "", ".##..", "..#..", ".#..."],
    "=": ["", "", "#####", "", "#####", "", ""],
    "+": ["", "..#..", "..#..", "#####", "..#..", "..#..", ""],
    "-": ["", "", "", "#####", "", "", ""],
    "/": ["", "....#", "...#.", "..#..", ".#...", "#....", ""],
    "·": ["", "", "", "..#..", "", "", ""],
    "°": [".##..", "#..#.", ".##..", "", "", "", ""],
    "≈": ["", ".#..#", "#.##.", "", ".#..#", "#.##.", ""],
    "θ": [".###.", "#...#", "#...#", "#####", "#...#", "#...#", ".###."],
    "π": ["", "", "#####", ".#.#.", ".#.#.", ".#.#.", ".#..#"],
    "√": ["...##", "...#.", "...#.", "...#.", "#..#.", ".#.#.", "..#.."],
    "→": ["", "..#..", "...#.", "#####", "...#.", "..#..", ""],
    "↓": ["..#..", "..#..", "..#..", "#.#.#", ".###.", "..#..", ""],
}
ADVANCE = 6


class Canvas:
    def __init__(self, width, height):
        self.width, self.height = width, height
        self.rows = [bytearray([PAPER]) * width for _ in range(height)]

    def put(self, x, y, colour):
        x, y = int(round(x)), int(round(y))
        if 0 <= x < self.width and 0 <= y < self.height:
            self.rows[y][x] = colour

    def text(self, x, y, words, colour=INK, background=None):
        """Writes `words` with the top of its capitals at y, on a box of `background` if given;
        answers the width."""
        if background is not None:
            for r in range(-2, 10):
                for c in range(-2, len(words) * ADVANCE + 1):
                    self.put(x + c, y + r, background)
        for i, ch in enumerate(words):
            for r, line in enumerate(GLYPHS[ch]):
                for c, mark in enumerate(line):
                    if mark == "#":
                        self.put(x + i * ADVANCE + c, y + r, colour)
        return len(words) * ADVANCE - 1

    def text_right(self, x, y, words, colour=INK):
        self.text(x - (len(words) * ADVANCE - 1), y, words, colour)

    def text_centred(self, x, y, words, colour=INK):
        self.text(x - (len(words) * ADVANCE - 1) // 2, y, words, colour)

    def line(self, x0, y0, x1, y1, colour, dash=0, clip=None):
        """A line; dashed every `dash` pixels; only inside clip = (left, top, width, height)."""
        steps = int(max(abs(x1 - x0), abs(y1 - y0))) + 1
        for s in range(steps + 1):
            if dash and (s // dash) % 2:
                continue
            t = s / steps
            x, y = x0 + (x1 - x0) * t, y0 + (y1 - y0) * t
            if clip and not (clip[0] <= x < clip[0] + clip[2] and clip[1] <= y < clip[1] + clip[3]):
                continue
            self.put(x, y, colour)

    def circle(self, cx, cy, radius, colour):
        for s in range(int(2 * math.pi * radius * 2)):
            a = s / (2 * radius)
            self.put(cx + radius * math.cos(a), cy + radius * math.sin(a), colour)

    def arc(self, cx, cy, radius, start, end, colour):
        steps = max(8, int(abs(end - start) * radius * 2))
        for s in range(steps + 1):
            a = start + (end - start) * s / steps
            self.put(cx + radius * math.cos(a), cy + radius * math.sin(a), colour)

    def image(self, left, top, width, height, values):
        for y in range(height):
            row = self.rows[top + y]
            for x in range(width):
                row[left + x] = values[y * width + x]


def greys(values, top, gamma):
    """Values from 0 to `top` as grey levels, brighter with a gamma below 1."""
    out = []
    for v in values:
        t = min(max(v / top, 0.0), 1.0) if top > 0 else 0.0
        out.append(round((t ** gamma) * (GREYS - 1)))
    return out


def axes_figure(demo_dir, out_path):
    n, height, sample = read_float_tiff(os.path.join(demo_dir, "sample.tif"))
    n2, height2, hough = read_float_tiff(os.path.join(demo_dir, "hough.tif"))
    if not (n == height == n2 == height2):
        raise SystemExit("expected a square sample and its square transform of the same side")
    half = n // 2

    # The strongest peak, and the line it stands for: theta from its column, d from its row.
    peak = max(range(n * n), key=lambda i: hough[i])
    column, row = peak % n, peak // n
    theta = column * K / half
    d = (row - half + 0.5) * math.sqrt(2)

    left_x, hough_x, top = 24, 372, 58
    canvas = Canvas(hough_x + n + 76, top + n + 78)
    canvas.image(left_x, top, n, n, greys(sample, max(sample), 1.0))
    canvas.image(hough_x, top, n, n, greys(hough, max(hough) * 0.6, 0.45))

    # ---- The input, with the line of the peak, its normal d from the centre and its angle ------
    canvas.text(left_x, 8, "input image, n = %d" % n)
    canvas.text(left_x, 24, "pixel (x, y) with y down, centre (n/2, n/2)", GRID)
    cx, cy = left_x + half, top + half
    u, v = math.cos(theta), math.sin(theta)
    foot = (cx + d * u, cy + d * v)
    canvas.line(foot[0] - n * v, foot[1] + n * u, foot[0] + n * v, foot[1] - n * u, RED,
                clip=(left_x, top, n, n))
    canvas.line(cx, cy, cx + half * 0.9, cy, GRID, dash=3)
    canvas.line(cx, cy, foot[0], foot[1], BLUE)
    canvas.arc(cx, cy, 16, 0.0, theta, BLUE)
    canvas.text(cx + 28 * math.cos(theta / 2) - 2, cy + 28 * math.sin(theta / 2) - 3, "θ", BLUE, 0)
    canvas.text(cx + 0.5 * d * u - 12 * v - 2, cy + 0.5 * d * v + 12 * u - 3, "d", BLUE, 0)
    canvas.circle(cx, cy, 2, BLUE)
    canvas.text(left_x, top + n + 8, "red: one line; blue: its distance d", INK)
    canvas.text(left_x, top + n + 20, "from the centre at angle θ", INK)

    # ---- The transform, with its axes ---------------------------------------------------------
    canvas.text(hough_x, 8, "HoughTransform(input): n x n", INK)
    canvas.text_centred(hough_x + half, 24, "column: angle θ →", INK)
    for k, label in enumerate(["0", "π/4", "π/2", "3π/4", "π"]):
        x = hough_x + k * n // 4 - (1 if k == 4 else 0)
        canvas.line(x, top - 6, x, top - 2, INK)
        canvas.text_centred(x, top - 16, label)
    canvas.text_right(hough_x - 9, 24, "row ↓", INK)
    canvas.text(hough_x + n + 8, 24, "d (px)", INK)
    for k, label in enumerate(["0", "n/4", "n/2", "3n/4", "n"]):
        y = top + k * n // 4 - (1 if k == 4 else 0)
        canvas.line(hough_x - 6, y, hough_x - 2, y, INK)
        canvas.text_right(hough_x - 9, y - 3, label)
        distance = round((k * n // 4 - half) * math.sqrt(2))
        canvas.text(hough_x + n + 8, y - 3, "%+d" % distance if distance else "0")
    canvas.line(hough_x, top + half, hough_x + n - 1, top + half, BLUE, dash=4)
    canvas.text(hough_x + 6, top + half - 13, "row cy: lines through the centre", BLUE, 0)
    canvas.circle(hough_x + column + 0.5, top + row + 0.5, 7, RED)
    canvas.text(hough_x + column + 12, top + row + 6,
                "θ = %d°, d = %d" % (round(math.degrees(theta)), round(d)), RED, 0)
    canvas.text(hough_x, top + n + 8, "θ = column · K/cx, K ≈ π/2, cx = cy = n/2", INK)
    canvas.text(hough_x, top + n + 20, "row = cy + d/√2 (truncated)", INK)
    canvas.text(hough_x, top + n + 32, "one row: √2 px of distance d", INK)
    canvas.text(hough_x, top + n + 44, "value: sum of the pixels on the line", INK)

    write_png(out_path, canvas.width, canvas.height, canvas.rows, palette())


def hough_row(n, i, j, k):
    """The row pixel (column j, row k) of an n x n image votes into at angle column i, computed
    as the module computes it."""
    cx = cy = n // 2
    f = n / (math.sqrt(2.0) * n)
    theta = (i * K) / cx
    u, v = math.cos(theta), math.sin(theta)
    return int(((j - cx) * u + (k - cy) * v) * f + cy)


def rows_figure(out_path):
    n, cell, gap = 8, 24, 44
    columns = [(0, "0°"), (1, "22.5°"), (2, "45°"), (4, "K ≈ 90°")]
    left, top = 16, 58
    width = left * 2 + len(columns) * n * cell + (len(columns) - 1) * gap
    canvas = Canvas(width, top + n * cell + 112)
    canvas.text(left, 8, "the row of the transform each pixel of an 8 x 8 image votes into")
    canvas.text(left, 22, "row = trunc(d/√2 + cy), d the distance of the pixel's line from the "
                "centre pixel (4, 4)", GRID)
    for p, (i, angle) in enumerate(columns):
        x0 = left + p * (n * cell + gap)
        canvas.text(x0, top - 16, "column %d: θ = %s" % (i, angle))
        counts = [0] * n
        for k in range(n):
            for j in range(n):
                r = hough_row(n, i, j, k)
                counts[r] += 1
                x, y = x0 + j * cell, top + k * cell
                tint = TINT_A if r % 2 == 0 else TINT_B
                for dy in range(cell):
                    for dx in range(cell):
                        edge = dx == 0 or dy == 0 or dx == cell - 1 or dy == cell - 1
                        canvas.put(x + dx, y + dy, GRID if edge else tint)
                canvas.text_centred(x + cell // 2, y + cell // 2 - 3, str(r))
        canvas.circle(x0 + 4 * cell + cell // 2, top + 4 * cell + cell // 2, cell // 2 - 3, BLUE)
        below = top + n * cell + 10
        canvas.text(x0, below, "row   " + "".join("%3d" % r for r in range(n)), GRID)
        canvas.text(x0, below + 12, "votes " + "".join("%3d" % c for c in counts))
    canvas.text(left, top + n * cell + 44,
                "votes: pixels per row, the sums of an image of ones. at 0° and 90° a row holds one "
                "or two whole image", INK)
    canvas.text(left, top + n * cell + 56,
                "columns or rows: 16 pixels beside 8, where other angles spread them evenly. at K, "
                "a little below 90°,", INK)
    canvas.text(left, top + n * cell + 68,
                "the left half of the centre row (blue circle: the centre pixel) falls into the "
                "row above it.", INK)
    canvas.text(left, top + n * cell + 84, "cells in two colours: even and odd rows", GRID)
    write_png(out_path, canvas.width, canvas.height, canvas.rows, palette())


if __name__ == "__main__":
    if len(sys.argv) != 3:
        raise SystemExit(__doc__)
    axes_figure(sys.argv[1], os.path.join(sys.argv[2], "hough-axes.png"))
    rows_figure(os.path.join(sys.argv[2], "hough-rows.png"))
