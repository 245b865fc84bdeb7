#!/usr/bin/env python3
"""The strongest straight lines of a photograph, found with the module's HoughTransform from
Python and drawn over the photograph with matplotlib.

    . build/default/python/env.sh        # python3 with photarion importable (see the README)
    python3 examples/python-hough/hough_lines.py            # writes hough-lines.png

The photograph is scikit-image's camera.png, which Debian's python3-skimage ships; without
scikit-image the example works on the project's own sample, made by photarion-make-sample.
"""

import argparse
import math
import os
import subprocess
import sys
import tempfile

import matplotlib

matplotlib.use("Agg")  # files only: no display needed
import matplotlib.pyplot as plt
import numpy as np

import photarion

HOUGH_ANGLE_CONSTANT = 1.570796326794895  # the module's angle step numerator, a little below pi/2


def photograph(build):
    """A greyscale photograph as floats from 0 to 1, and where it comes from."""
    try:
        from skimage import data
    except ImportError:
        maker = os.path.join(build, "tools", "make-sample", "photarion-make-sample")
        with tempfile.TemporaryDirectory() as work:
            preview = os.path.join(work, "sample.png")
            subprocess.run([maker, os.path.join(work, "sample.tif"), "512", "--png", preview],
                           check=True, capture_output=True)
            return plt.imread(preview).astype(np.float32), "the sample of photarion-make-sample"
    return data.camera().astype(np.float32) / 255, "scikit-image's camera.png"


def edge_map(image, keep=0.06):
    """Where the brightness changes most: the Sobel gradient's magnitude, the strongest `keep`
    share of the pixels kept at their magnitude and the others zero."""
    padded = np.pad(image, 1, mode="edge")
    gx = (padded[:-2, 2:] + 2 * padded[1:-1, 2:] + padded[2:, 2:]
          - padded[:-2, :-2] - 2 * padded[1:-1, :-2] - padded[2:, :-2])
    gy = (padded[2:, :-2] + 2 * padded[2:, 1:-1] + padded[2:, 2:]
          - padded[:-2, :-2] - 2 * padded[:-2, 1:-1] - padded[:-2, 2:])
    magnitude = np.hypot(gx, gy).astype(np.float32)
    return np.where(magnitude >= np.quantile(magnitude, 1 - keep), magnitude, 0).astype(np.float32)


def strongest_peaks(accumulator, count, radius):
    """The `count` largest bins, each the largest within `radius` bins of the others taken. The
    angles wrap around: the line at angle θ + π and distance -d is the one at θ and d, so a bin
    near the right edge neighbours the mirrored rows near the left edge."""
    votes = np.array(accumulator, dtype=np.float64)
    side = votes.shape[0]
    peaks = []
    for _ in range(count):
        row, column = np.unravel_index(np.argmax(votes), votes.shape)
        peaks.append((row, column))
        for c in range(column - radius, column + radius + 1):
            r = row if 0 <= c < side else 2 * (side // 2) - 1 - row
            votes[max(r - radius, 0):r + radius + 1, c % side] = 0
    return peaks


def line_of(peak, side, width, height):
    """The line of a bin (docs/hough-axes.md): the angle of its normal, its distance from the
    centre of the padded square, and its direction and one point in the image's own pixels."""
    row, column = peak
    centre = side // 2
    theta = column * HOUGH_ANGLE_CONSTANT / centre
    d = (row - centre + 0.5) * math.sqrt(2)
    # The input sits in the middle of the square: its pixel (x, y) is (x + left, y + top) there.
    left, top = (side - width) // 2, (side - height) // 2
    normal = np.array([math.cos(theta), math.sin(theta)])
    foot = np.array([centre - left, centre - top]) + d * normal
    return theta, d, foot, np.array([-normal[1], normal[0]])


def segment(edges, foot, direction, reach=1.5, gap=8):
    """The stretch of the line its edge pixels cover: of the edge pixels within `reach` pixels of
    it, the longest run without a gap of more than `gap` pixels along it."""
    ys, xs = np.nonzero(edges)
    offsets = np.stack([xs, ys], axis=1) - foot
    near = np.abs(offsets @ np.array([direction[1], -direction[0]])) <= reach
    along = np.sort(offsets[near] @ direction)
    if along.size < 2:
        return None
    runs = np.split(along, np.nonzero(np.diff(along) > gap)[0] + 1)
    run = max(runs, key=lambda r: r[-1] - r[0])
    return foot + run[0] * direction, foot + run[-1] * direction


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", default=os.path.join(here, "..", "..", "build", "default"))
    parser.add_argument("--out", default="hough-lines.png")
    parser.add_argument("--lines", type=int, default=8)
    args = parser.parse_args()

    image, source = photograph(args.build)
    edges = edge_map(image)
    with photarion.Host(version=0x03040400) as host:
        hough = host.load(os.path.join(args.build, "module", "PhotarionHough.so"))
        accumulator = hough.HoughTransform(edges)
    side = accumulator.shape[0]
    peaks = strongest_peaks(accumulator, args.lines, radius=max(side // 40, 2))

    figure, (left, right) = plt.subplots(1, 2, figsize=(12, 6.2), dpi=72)
    height, width = image.shape
    left.imshow(image, cmap="gray", vmin=0, vmax=1)
    print(f"{source}: {width} x {height}; {accumulator.name!r}: {side} x {side}")
    for rank, peak in enumerate(peaks, 1):
        theta, d, foot, direction = line_of(peak, side, width, height)
        whole = [foot - side * direction, foot + side * direction]
        left.plot(*zip(*whole), color="red", linewidth=0.6, linestyle=(0, (4, 4)), alpha=0.6)
        ends = segment(edges, foot, direction)
        if ends is not None:
            left.plot(*zip(*ends), color="red", linewidth=2.2)
        right.add_patch(plt.Circle((peak[1], peak[0]), side / 50, fill=False, color="cyan"))
        print(f"  line {rank}: angle {math.degrees(theta):6.1f} degrees, distance {d:7.1f} px, "
              f"votes {accumulator[peak]:.1f}")
    left.set(xlim=(0, width - 1), ylim=(height - 1, 0), title=f"The {args.lines} strongest lines")
    left.axis("off")
    right.imshow(np.asarray(accumulator) ** 0.5, cmap="magma", aspect="auto")
    right.set(title=f"{accumulator.name} of the edge map (square root)",
              xlabel="angle of the normal (degrees)", ylabel="row: distance from the centre")
    right.set_xticks([side * a / 180 for a in range(0, 181, 45)], range(0, 181, 45))
    figure.tight_layout()
    figure.savefig(args.out)
    print(f"wrote {args.out}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
