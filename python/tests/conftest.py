"""Fixtures of the bridge's tests: the paths CTest passes (PHOTARION_TEST_*), and hosts that are
closed after each test."""

import os
import subprocess
import sys

import numpy as np
import pytest

import photarion


def _path(variable):
    value = os.environ.get(variable)
    if not value:
        pytest.fail(f"{variable} is not set: run these tests through ctest (ctest -R python)")
    return value


@pytest.fixture(scope="session")
def paths():
    class Paths:
        hough = _path("PHOTARION_TEST_HOUGH")
        bridge = _path("PHOTARION_TEST_BRIDGE_MODULE")
        runner_module = _path("PHOTARION_TEST_RUNNER_MODULE")
        runner_module_v3 = _path("PHOTARION_TEST_RUNNER_MODULE_V3")
        incomplete = _path("PHOTARION_TEST_INCOMPLETE_MODULE")
        faulty = _path("PHOTARION_TEST_FAULTY_MODULE")
        menu = _path("PHOTARION_TEST_MENU_MODULE")
        lifecycle = _path("PHOTARION_TEST_LIFECYCLE_MODULE")
        run = _path("PHOTARION_TEST_RUN")
        make_sample = _path("PHOTARION_TEST_MAKE_SAMPLE")
        build = _path("PHOTARION_TEST_BUILD_DIR")

    return Paths


@pytest.fixture
def host():
    with photarion.Host() as h:
        yield h


def _loaded(path):
    @pytest.fixture
    def fixture(host, paths):
        return host.load(getattr(paths, path))

    return fixture


hough = _loaded("hough")
bridge = _loaded("bridge")
runner_module = _loaded("runner_module")
faulty = _loaded("faulty")


def run_python(code, env=None):
    """Runs code in a new interpreter (the one running the tests) with the test environment."""
    return subprocess.run(
        [sys.executable, "-c", code],
        env={**os.environ, **(env or {})},
        capture_output=True,
        text=True,
        timeout=300,
    )


@pytest.fixture
def rng():
    return np.random.default_rng(20261209)
