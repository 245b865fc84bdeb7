"""Scalars and strings converted by the registered signature, results by the result type, and
calls that do not fit the signature."""

import math

import numpy as np
import pytest

import photarion


class TestNumbers:
    def test_each_number_type_travels_as_its_own_width(self, runner_module):
        m = runner_module
        assert m.AddOne(-42) == -41
        assert m.Half(3) == 1.5 and m.Half(np.float32(0.5)) == 0.25
        assert m.IsPositive(2.5) is True and m.IsPositive(-1) is False
        assert m.Negate16(-32767) == 32767
        assert m.Twice(2**31 + 1) == 2  # ulong arithmetic wraps in the module, not here
        assert m.CharCode(-128) == -128
        assert m.ColourValue(0xFF8000) == 0xFF8000

    def test_arguments_arrive_in_order_and_results_text_is_printed(self, runner_module, capsys):
        assert runner_module.Mix(1.5, 0.25, -3, 65535, 4000000000, True) == 1.75
        assert capsys.readouterr().out == "d=1.5 f=0.25 s=-3 u=65535 ul=4000000000 b=1\n"
        assert runner_module.host.results.endswith("b=1\n")

    def test_numpy_scalars_are_numbers(self, runner_module):
        assert runner_module.AddOne(np.int64(9)) == 10
        assert runner_module.Half(np.float64(5)) == 2.5
        assert runner_module.IsPositive(np.int8(3)) is True
        assert runner_module.Mix(np.float32(1), 1, np.int16(0), np.uint8(0), 0, np.True_) == 2.0

    def test_a_float_takes_the_nearest_float(self, runner_module):
        assert runner_module.Half(0.1) == float(np.float32(0.1)) / 2
        assert runner_module.Half(math.inf) == math.inf
        assert math.isnan(runner_module.Half(math.nan))

    @pytest.mark.parametrize(
        "function, value",
        [
            ("AddOne", 2**31),
            ("AddOne", -(2**31) - 1),
            ("Negate16", 32768),
            ("Twice", -1),
            ("Twice", 2**32),
            ("CharCode", 128),
            ("Half", 1e39),
            ("Half", 10**400),
        ],
    )
    def test_values_beyond_the_type_are_refused(self, runner_module, function, value):
        with pytest.raises(ValueError, match=f"of {function} .* is out of range.*its signature is"):
            getattr(runner_module, function)(value)

    @pytest.mark.parametrize(
        "function, value, wanted",
        [
            ("AddOne", 1.5, "must be an integer"),
            ("AddOne", True, "must be an integer"),
            ("AddOne", "7", "must be an integer"),
            ("Half", "0.5", "must be a real number, not str"),
            ("Half", 1j, "must be a real number, not complex"),
            ("Half", False, "must be a real number, not bool"),
            ("IsPositive", None, "must be a real number, not NoneType"),
            ("Length", 5, "must be a str, not int"),
            ("Greeting", 5, "must be a str, not int"),
        ],
    )
    def test_values_of_another_kind_are_type_errors(self, runner_module, function, value, wanted):
        signature = next(s for s in runner_module.functions if f" {function}(" in s)
        with pytest.raises(TypeError) as caught:
            getattr(runner_module, function)(value)
        assert wanted in str(caught.value)
        assert str(caught.value).endswith(f"its signature is {signature}")

    def test_a_truth_value_takes_bools_and_one_or_zero(self, runner_module):
        say = runner_module.Mix
        assert say(0, 0, 0, 0, 0, 1) == 0 and say(0, 0, 0, 0, 0, np.False_) == 0
        with pytest.raises(ValueError, match="must be True or False"):
            say(0, 0, 0, 0, 0, 2)


class TestText:
    def test_string_parameters_take_latin1_text(self, runner_module, capsys):
        assert runner_module.Length("Grüße") == 5  # one byte per character
        assert runner_module.Length(b"\xff\x01") == 2
        runner_module.Say("straße")
        assert capsys.readouterr().out == "straße\n"

    def test_text_beyond_latin1_or_with_nul_is_refused(self, runner_module):
        with pytest.raises(ValueError, match="must be Latin-1 text"):
            runner_module.Length("1 €")
        with pytest.raises(ValueError, match="must not contain a NUL"):
            runner_module.Length("a\0b")

    def test_host_strings_go_and_come_back_as_str(self, runner_module):
        assert runner_module.Greeting("Zoë") == "Hello, Zoë!"


class TestSignatures:
    def test_functions_lists_the_registered_signatures(self, hough):
        assert hough.functions == [
            "RealImagePtr shiftImage(ImageRef *,float,float)",
            "RealImagePtr HoughTransform(ImageRef *)",
        ]
        assert hough.HoughTransform.signature == "RealImagePtr HoughTransform(ImageRef *)"
        assert "HoughTransform" in dir(hough)

    def test_the_issue_example_runs(self, hough):
        image = np.zeros((32, 48), np.float32)
        image[10, 5] = 1
        acc = hough.HoughTransform(image)
        moved = hough.shiftImage(image, 10.7, -3)
        assert acc.shape == (48, 48) and acc.dtype == np.float32
        assert moved[7, 15] == 1 and moved.sum() == 1  # 10.7 shifts by 10 whole columns

    @pytest.mark.parametrize("arguments", [(), (np.zeros((2, 2), np.float32),) * 2])
    def test_a_wrong_count_is_a_type_error_with_the_signature(self, hough, arguments):
        with pytest.raises(TypeError) as caught:
            hough.HoughTransform(*arguments)
        assert str(caught.value) == (
            f"HoughTransform takes 1 argument, {len(arguments)} given; "
            "its signature is RealImagePtr HoughTransform(ImageRef *)"
        )

    def test_a_type_python_cannot_supply_is_named(self, runner_module):
        with pytest.raises(TypeError, match="parameter 1 of Unreachable is of type complex"):
            runner_module.Unreachable(1)

    def test_an_unknown_function_lists_the_others(self, hough):
        with pytest.raises(AttributeError, match="registers no function 'Hough'; it registers: "
                           "shiftImage, HoughTransform"):
            hough.Hough

    def test_void_and_no_image_answer_none(self, runner_module):
        assert runner_module.Say("x") is None
        assert runner_module.Nothing(np.zeros((2, 2), np.float32)) is None

    def test_the_host_version_is_the_one_given(self, paths):
        for version in (0x03040400, 0x030403FF):
            with photarion.Host(version=version) as host:
                assert host.version == version
                assert host.load(paths.runner_module).HostVersion() == version
