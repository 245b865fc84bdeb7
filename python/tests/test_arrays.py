"""Arrays in and out: every element type the host has, any memory layout and byte order, the axis
order of host images, names and calibrations, and the arrays the host cannot take."""

import numpy as np
import pytest

import photarion

HOST_DTYPES = [
    np.float32, np.float64, np.int8, np.int16, np.int32, np.uint8, np.uint16, np.uint32,
    np.bool_, np.complex64, np.complex128,
]


def sample(dtype, shape, rng):
    """Values that use the whole of the type: extremes, signs, fractions, NaN for reals."""
    dtype = np.dtype(dtype)
    n = int(np.prod(shape))
    if dtype.kind == "b":
        values = rng.integers(0, 2, n).astype(bool)
    elif dtype.kind in "iu":
        info = np.iinfo(dtype)
        values = rng.integers(info.min, info.max, n, endpoint=True, dtype=dtype)
        values[:2] = info.min, info.max
    else:
        real = rng.standard_normal(n) * 1e3
        values = real + (1j * rng.standard_normal(n) if dtype.kind == "c" else 0)
        values = values.astype(dtype)
        values[0] = np.nan
    return values.reshape(shape)


def same_bits(a, b):
    return a.dtype == b.dtype and a.shape == b.shape and a.tobytes() == b.tobytes()


class TestElementTypes:
    @pytest.mark.parametrize("dtype", HOST_DTYPES, ids=lambda t: np.dtype(t).name)
    def test_every_host_type_comes_back_as_it_went_in(self, bridge, dtype, rng):
        image = sample(dtype, (5, 7), rng)
        back = bridge.Same(image)
        assert isinstance(back, photarion.Image)
        assert same_bits(np.asarray(back), image)

    @pytest.mark.parametrize(
        "dtype", [np.uint8, np.int16, np.uint32, np.float64], ids=lambda t: np.dtype(t).name
    )
    def test_the_module_reads_each_type_by_value(self, hough, dtype, rng):
        # HoughTransform converts every kind to float on the way in: the same values of two
        # types give the same transform.
        values = rng.integers(0, 100, (12, 12))
        expected = hough.HoughTransform(values.astype(np.float32))
        assert same_bits(np.asarray(hough.HoughTransform(values.astype(dtype))), np.asarray(expected))

    def test_results_are_new_arrays(self, bridge, rng):
        image = sample(np.float32, (4, 4), rng)
        kept = image.copy()
        back = bridge.Same(image)
        back[...] = 0
        assert np.shares_memory(back, image) is False
        assert same_bits(image, kept)
        assert back.flags.c_contiguous and back.flags.writeable

    def test_binary_elements_come_back_as_bool(self, bridge):
        image = np.array([[True, False, True]])
        back = bridge.Same(image)
        assert back.dtype == np.bool_ and back.tolist() == [[True, False, True]]


class TestLayouts:
    @pytest.mark.parametrize(
        "view",
        [
            lambda a: a.T,
            lambda a: a[::2, ::3],
            lambda a: a[::-1, 1:],
            lambda a: np.asfortranarray(a),
            lambda a: a[:, 3],
            lambda a: np.broadcast_to(a[:1], a.shape),
        ],
        ids=["transposed", "strided", "reversed", "fortran", "column", "broadcast"],
    )
    def test_any_layout_arrives_as_its_values(self, bridge, view, rng):
        image = view(sample(np.int16, (9, 8), rng))
        back = bridge.Same(image)
        assert back.shape == image.shape and np.array_equal(back, image)

    @pytest.mark.parametrize("dtype", [">f4", ">i2", ">u4", ">f8", "<f8"])
    def test_either_byte_order_arrives_as_its_values(self, bridge, dtype):
        image = np.arange(12).astype(dtype).reshape(3, 4) * 3
        back = bridge.Same(image)
        assert back.dtype == image.dtype.newbyteorder("=") and np.array_equal(back, image)

    @pytest.mark.parametrize("shape", [(7,), (2, 3, 4), (1, 2, 1, 3, 2)])
    def test_one_to_five_axes(self, bridge, shape, rng):
        image = sample(np.float64, shape, rng)
        assert same_bits(np.asarray(bridge.Same(image)), image)


class TestAxisOrder:
    """The host's dimension 0 (columns, varying fastest) is the array's last axis."""

    def test_an_image_from_the_module_has_rows_first(self, runner_module):
        ramp = runner_module.Ramp(3, 2)  # width 3, height 2: x + 1000 y at column x, row y
        assert ramp.shape == (2, 3)
        assert ramp.tolist() == [[0, 1, 2], [1000, 1001, 1002]]

    def test_an_array_reaches_the_module_with_rows_first(self, runner_module, rng):
        image = sample(np.float32, (3, 5), rng)
        for given in (image, image.T):
            negated = runner_module.Negate(given)
            assert negated.name == "Negated" and negated.shape == given.shape
            assert np.array_equal(negated, -given, equal_nan=True)

    def test_lines_land_in_the_columns_of_their_angle(self, hough):
        # Column 0 of the transform collects vertical lines, column n/2 horizontal ones.
        vertical = np.zeros((64, 64), np.float32)
        vertical[:, 40] = 1
        horizontal = vertical.T.copy()
        assert np.unravel_index(np.argmax(hough.HoughTransform(vertical)), (64, 64))[1] == 0
        assert np.unravel_index(np.argmax(hough.HoughTransform(horizontal)), (64, 64))[1] == 32


class TestNamesAndCalibrations:
    def test_an_image_takes_them_into_the_host_and_back(self, bridge, rng):
        image = photarion.Image(
            sample(np.uint16, (4, 6), rng),
            name="Grains",
            label="sample 7",
            calibrations=[(2.0, 0.5, "µm", True), (-1.0, 0.25, "nm", False)],
            intensity=(100.0, 2.0, "counts", True),
        )
        back = bridge.Same(image)
        assert (back.name, back.label) == ("Grains", "sample 7")
        assert back.calibrations == (
            photarion.Calibration(2.0, 0.5, "µm", True),
            photarion.Calibration(-1.0, 0.25, "nm", False),
        )
        assert back.intensity == photarion.Calibration(100.0, 2.0, "counts", True)

    def test_a_plain_array_is_an_uncalibrated_image_without_a_name(self, bridge):
        back = bridge.Same(np.zeros((2, 3), np.float32))
        assert back.name == "" and back.label == ""
        assert back.calibrations == (photarion.Calibration(),) * 2

    def test_a_result_carries_the_name_the_module_gave_it(self, hough):
        image = photarion.Image(np.ones((8, 8), np.float32), name="input")
        assert hough.HoughTransform(image).name == "Hough Transform"
        assert hough.shiftImage(image, 1, 1).name == "shiftImage"

    def test_calibration_reads_raw_values_in_units(self):
        c = photarion.Calibration(origin=10, scale=0.5, unit="mm")
        assert c.apply([10, 12]).tolist() == [0.0, 1.0]

    def test_wrong_calibrations_are_refused(self, bridge):
        image = photarion.Image(np.zeros((2, 2), np.float32))
        image.calibrations = ((0.0, 1.0, "m", True),)
        with pytest.raises(ValueError, match="1 calibrations for 2 axes"):
            bridge.Same(image)
        with pytest.raises(ValueError, match="2 calibrations for an array of 1 axes"):
            photarion.Image(np.zeros(3), calibrations=[(0, 1, "", True)] * 2)


class TestRefusedArrays:
    @pytest.mark.parametrize("dtype", [np.int64, np.uint64, np.float16, object, "U3", "V4"])
    def test_types_the_host_lacks(self, bridge, dtype):
        with pytest.raises(TypeError, match=r"must be an array of float32, .* not .*"
                           r"its signature is RealImagePtr Same\(ImageRef \*\)"):
            bridge.Same(np.zeros((2, 2), dtype=dtype))

    def test_what_is_not_an_array(self, bridge):
        with pytest.raises(TypeError, match="must be a NumPy array, not list"):
            bridge.Same([[1.0, 2.0]])

    @pytest.mark.parametrize("shape", [(), (0, 3), (1, 1, 1, 1, 1, 1)])
    def test_shapes_no_host_image_has(self, bridge, shape):
        with pytest.raises(ValueError, match="argument 1 of Same"):
            bridge.Same(np.zeros(shape, np.float32))
