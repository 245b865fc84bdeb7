"""The README's example, examples/python-hough/hough_lines.py, run as a user runs it: on the
project's sample (scikit-image hidden), whose lines it must find where the sample maker drew
them, and on whatever photograph this machine has."""

import os
import re

import pytest

from conftest import run_python

pytest.importorskip("matplotlib")

EXAMPLE = os.path.join(os.path.dirname(__file__), "..", "..", "examples", "python-hough",
                       "hough_lines.py")
# The sample's lines (tools/make-sample/SampleImage.cpp at 512 x 512): angle, distance in pixels.
SAMPLE_LINES = [(30, 64.0), (90, 140.8), (118, -89.6), (155, 12.8)]


def run_example(paths, out, hide_skimage):
    hide = "sys.modules['skimage'] = None; " if hide_skimage else ""
    return run_python(
        f"import runpy, sys; {hide}sys.argv = ['hough_lines.py', '--build', {paths.build!r}, "
        f"'--out', {str(out)!r}]; runpy.run_path({EXAMPLE!r}, run_name='__main__')"
    )


def test_the_example_finds_the_samples_lines(paths, tmp_path):
    out = tmp_path / "lines.png"
    done = run_example(paths, out, hide_skimage=True)
    assert done.returncode == 0, done.stderr
    assert done.stdout.startswith("the sample of photarion-make-sample: 512 x 512")
    found = [tuple(map(float, m)) for m in re.findall(
        r"angle +([-\d.]+) degrees, distance +([-\d.]+) px", done.stdout)]
    for (angle, distance), (want_angle, want_distance) in zip(found, SAMPLE_LINES):
        assert abs(angle - want_angle) < 1 and abs(distance - want_distance) < 2
    assert out.read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"


def test_the_example_on_this_machines_photograph(paths, tmp_path):
    out = tmp_path / "lines.png"
    done = run_example(paths, out, hide_skimage=False)
    assert done.returncode == 0, done.stderr
    assert len(re.findall(r"line \d+: angle", done.stdout)) == 8
    assert out.stat().st_size > 10000
