"""What Python sees when a module fails or misbehaves: errors it raised, alerts, what it left
behind after a call and at unload, results handed over wrongly, and loading that goes wrong."""

import os
import warnings

import numpy as np
import pytest

import photarion

IMAGE = np.ones((4, 5), np.float32)
QZ_ERROR_TEXT_COPIED = 28802
QZ_ERROR_TEXT = 28803


class TestRaisedErrors:
    def test_an_error_the_module_raised_is_a_host_error(self, runner_module):
        with pytest.raises(photarion.HostError) as caught:
            runner_module.Fail("boom")
        e = caught.value
        assert (e.code, e.message, e.function) == (QZ_ERROR_TEXT, "boom", "Fail")
        assert e.args == (QZ_ERROR_TEXT, "boom") and str(e) == "Fail: boom (error code 28803)"

    def test_the_modules_refusals_arrive_with_their_text(self, hough):
        with pytest.raises(photarion.HostError, match="takes a real-valued image") as caught:
            hough.HoughTransform(IMAGE.astype(np.complex64))
        assert caught.value.code == QZ_ERROR_TEXT_COPIED
        with pytest.raises(photarion.HostError, match="shiftImage needs finite offsets"):
            hough.shiftImage(IMAGE, float("nan"), 0)

    def test_the_host_goes_on_after_an_error(self, hough):
        with pytest.raises(photarion.HostError):
            hough.HoughTransform(IMAGE.astype(np.complex128))
        assert hough.HoughTransform(IMAGE).shape == (5, 5)

    def test_an_alert_is_a_warning_that_can_be_an_error(self, runner_module):
        with pytest.warns(photarion.AlertWarning, match="Warn: careful"):
            runner_module.Warn("careful")
        with warnings.catch_warnings():
            warnings.simplefilter("error", photarion.AlertWarning)
            with pytest.raises(photarion.AlertWarning):
                runner_module.Warn("stop")

    def test_a_module_that_fails_to_start_is_unloaded(self, paths):
        # The lifecycle module asks the host for functions this host does not define.
        with photarion.Host() as host:
            with pytest.raises(photarion.HostError, match="the module failed to start"):
                host.load(paths.lifecycle)
            assert host.modules == []
        with photarion.Host() as again:
            with pytest.raises(photarion.HostError):
                again.load(paths.lifecycle)


class TestLeaks:
    def test_a_reference_kept_by_a_call_raises_then_and_at_unload(self, paths):
        with pytest.raises(photarion.LeakError, match=r"\(unload\) left behind") as at_unload:
            with photarion.Host() as host:
                module = host.load(paths.runner_module)
                with pytest.raises(photarion.LeakError) as caught:
                    module.LeakString("kept")
                held = caught.value.report.objects
                assert [(o.kind, o.count, o.description) for o in held] == [
                    ("String", 1, '"kept"')
                ]
                assert "LeakString left behind:\n  held: String" in str(caught.value)
        assert at_unload.value.report.objects[0].description == '"kept"'
        assert host.closed

    def test_a_lock_left_behind(self, paths):
        with photarion.Host(leaks="warn") as host:
            module = host.load(paths.runner_module)
            with pytest.warns(photarion.LeakWarning, match="image left locked"):
                module.LockAndForget(IMAGE)
            with pytest.warns(photarion.LeakWarning, match="unload"):
                module.unload()

    def test_a_string_loan_left_behind(self, paths):
        with pytest.raises(photarion.LeakError, match="string loan not returned") as at_unload:
            with photarion.Host() as host:
                module = host.load(paths.bridge)
                with pytest.raises(photarion.LeakError) as caught:
                    module.KeepsLoan("lent")
                report = caught.value.report
                assert len(report.string_loans) == 1 and not report.objects
                assert str(caught.value).startswith(
                    "KeepsLoan left behind:\n  string loan not returned: String 0x"
                )
        assert at_unload.value.report.string_loans == report.string_loans

    def test_the_faulty_modules_leak_is_caught_and_its_other_faults_are_not_leaks(self, paths):
        with photarion.Host(leaks="warn") as host:
            faulty = host.load(paths.faulty)
            with pytest.warns(photarion.LeakWarning, match="held: Image"):
                copy = faulty.LeakyCopy(IMAGE)
            assert copy.name == "LeakyCopy" and copy.shape == IMAGE.shape
            with warnings.catch_warnings():
                warnings.simplefilter("error")
                # These fail only when a host call fails; undisturbed, they are clean.
                for name in ("ForgetsUnlock", "SwallowsFailure", "NoRetry"):
                    assert getattr(faulty, name)(IMAGE).name == name
            with pytest.warns(photarion.LeakWarning, match="held: Image"):
                faulty.unload()

    def test_a_result_without_a_reference_for_the_host(self, faulty):
        with pytest.raises(photarion.ProtocolError, match="without a reference for the host"):
            faulty.ReturnsBorrowed(IMAGE)

    def test_a_clean_module_leaves_nothing_over_many_calls(self, paths, rng):
        with warnings.catch_warnings():
            warnings.simplefilter("error")
            with photarion.Host() as host:
                hough = host.load(paths.hough)
                for dtype in (np.float32, np.uint8, np.float64):
                    image = (rng.random((9, 13)) * 50).astype(dtype)
                    hough.HoughTransform(image)
                    hough.shiftImage(image, -2.5, 7)

    def test_the_with_blocks_own_exception_goes_on(self, paths):
        with pytest.warns(photarion.LeakWarning, match="while closing the host"):
            with pytest.raises(KeyError, match="the block's own"):
                with photarion.Host() as host:
                    with pytest.raises(photarion.LeakError):
                        host.load(paths.runner_module).LeakString("x")
                    raise KeyError("the block's own")


class TestLoading:
    def test_files_that_are_no_module(self, host, paths, tmp_path):
        with pytest.raises(FileNotFoundError):
            host.load(tmp_path / "none.so")
        with pytest.raises(IsADirectoryError):
            host.load(tmp_path)
        text = tmp_path / "text.so"
        text.write_text("not a library")
        with pytest.raises(photarion.LoadError, match="cannot load module"):
            host.load(text)
        with pytest.raises(photarion.LoadError, match="lacks the exports"):
            host.load(paths.incomplete)
        with pytest.raises(photarion.LoadError, match="speaks link version 3; this host speaks version 2"):
            host.load(paths.runner_module_v3)

    def test_a_library_is_loaded_once_per_process(self, paths, tmp_path):
        link = tmp_path / "alias.so"
        os.symlink(paths.hough, link)
        with photarion.Host() as first, photarion.Host() as second:
            module = first.load(paths.hough)
            with pytest.raises(photarion.LoadError, match="already loaded into this process by "
                               "this host. A module is a shared library with static state"):
                first.load(paths.hough)
            for other in (paths.hough, link):
                with pytest.raises(photarion.LoadError, match="by another host"):
                    second.load(other)
            module.unload()
            assert second.load(link).HoughTransform(IMAGE).shape == (5, 5)

    def test_a_closed_host_and_an_unloaded_module_refuse_work(self, paths):
        host = photarion.Host()
        module = host.load(paths.hough)
        host.close()
        host.close()  # closing again does nothing
        assert not module.loaded
        with pytest.raises(ValueError, match="is not loaded"):
            module.HoughTransform(IMAGE)
        with pytest.raises(ValueError, match="the host is closed"):
            host.load(paths.hough)
