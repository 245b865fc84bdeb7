"""Results through Python are the runner's, bit for bit: the same image given to photarion-run as
a TIFF file and to the bridge as an array, the same arguments, the runner's TIFF read back with
the standard library."""

import subprocess

import numpy as np
import pytest

import photarion
from tiffs import read_tiff, write_tiff

RUNNER_DTYPES = [np.uint8, np.int8, np.int16, np.uint16, np.int32, np.uint32, np.float32, np.float64]


def run(*command):
    done = subprocess.run(list(map(str, command)), capture_output=True, text=True, timeout=300)
    assert done.returncode == 0, done.stderr
    return done.stdout


def runner_result(paths, tmp_path, function, image_file, *numbers, host_version=None):
    out = tmp_path / f"{function}-{image_file.stem}.tif"
    options = ["--host-version", f"{host_version:08X}"] if host_version else []
    summary = run(paths.run, *options, "-o", out, paths.hough, function, image_file, *numbers)
    return read_tiff(out), summary


def same_bits(ours, theirs):
    ours = np.asarray(ours)
    return ours.dtype == np.float32 and ours.shape == theirs.shape and (
        ours.view(np.uint32) == theirs.astype(np.float32).view(np.uint32)
    ).all()


def edges(rng, dtype, shape):
    """Sparse lines and noise in the range of the type, as an edge map looks."""
    image = np.zeros(shape)
    image[shape[0] // 3, :] = 3
    image[:, shape[1] // 4] = 2
    np.fill_diagonal(image, 1)
    image += (rng.random(shape) < 0.05) * rng.integers(1, 100, shape)
    if np.dtype(dtype).kind == "f":
        image = image * 0.37 - 5
    return image.astype(dtype)


@pytest.mark.parametrize("dtype", RUNNER_DTYPES, ids=lambda t: np.dtype(t).name)
@pytest.mark.parametrize("shape", [(48, 48), (37, 52)], ids=["square", "wide"])
def test_hough_transform_of_every_runner_type(hough, paths, tmp_path, rng, dtype, shape):
    image = edges(rng, dtype, shape)
    file = tmp_path / "input.tif"
    write_tiff(file, image)
    theirs, summary = runner_result(paths, tmp_path, "HoughTransform", file)
    ours = hough.HoughTransform(image)
    assert same_bits(ours, theirs)
    side = max(shape)
    assert summary.startswith(f'image "{ours.name}": {side} x {side} float32')


@pytest.mark.parametrize("offsets", [(10.7, -3), (-40.2, 100.9), (0, 0), (1e6, -1e-7)])
def test_shift_image_with_the_same_offsets(hough, paths, tmp_path, rng, offsets):
    image = edges(rng, np.float32, (40, 56))
    file = tmp_path / "input.tif"
    write_tiff(file, image)
    theirs, _ = runner_result(paths, tmp_path, "shiftImage", file, *offsets)
    assert same_bits(hough.shiftImage(image, *offsets), theirs)


def test_the_demo_sample_on_the_older_host_generation(paths, tmp_path):
    sample = tmp_path / "sample.tif"
    run(paths.make_sample, sample, 128)
    image = read_tiff(sample)
    for version in (0x03040400, 0x030403FF):
        theirs, _ = runner_result(paths, tmp_path, "HoughTransform", sample, host_version=version)
        with photarion.Host(version=version) as host:
            ours = host.load(paths.hough).HoughTransform(image)
        assert same_bits(ours, theirs) and ours.max() > 0


def test_the_runner_reads_our_tiffs_as_we_wrote_them(paths, tmp_path, rng):
    # The runner's Negate of a file is minus the array: the files above reach it unchanged.
    image = rng.standard_normal((6, 9)).astype(np.float32)
    file = tmp_path / "values.tif"
    write_tiff(file, image)
    out = tmp_path / "negated.tif"
    run(paths.run, "-o", out, paths.runner_module, "Negate", file)
    assert (read_tiff(out) == -image).all()
