"""Modules leave the process when they are unloaded, their static destructors run, and nothing
breaks when a host is dropped or still open when Python exits. Each case runs in an interpreter
of its own, which loads the bridge's test module; its static destructor writes to a marker
file."""

import textwrap

import pytest

from conftest import run_python

MARKER_LINE = "static destructors ran\n"


@pytest.fixture
def marker(tmp_path):
    return tmp_path / "marker.txt"


def python(paths, marker, body):
    code = textwrap.dedent(
        f"""
        import gc, os, sys
        import numpy as np
        import photarion
        MODULE = {paths.bridge!r}
        def marked():
            return open({str(marker)!r}).read() if os.path.exists({str(marker)!r}) else ""
        """
    ) + textwrap.dedent(body)
    return run_python(code, {"PHOTARION_BRIDGE_TEST_MARKER": str(marker)})


def test_unloading_runs_the_static_destructors_then(paths, marker):
    done = python(paths, marker, """
        host = photarion.Host()
        module = host.load(MODULE)
        module.Same(np.zeros((3, 3), np.float32))
        assert marked() == ""
        module.unload()
        print(repr(marked()))
        """)
    assert done.returncode == 0, done.stderr
    assert done.stdout == repr(MARKER_LINE) + "\n"
    assert marker.read_text() == MARKER_LINE  # once, not again at exit


def test_a_host_still_open_at_exit_unloads_its_modules(paths, marker):
    done = python(paths, marker, """
        host = photarion.Host()
        host.load(MODULE).Same(np.ones(4, np.uint8))
        holder = [host.modules[0]]  # references that outlive the interpreter's atexit step
        """)
    assert done.returncode == 0 and done.stderr == ""
    assert marker.read_text() == MARKER_LINE


def test_what_an_open_host_left_behind_is_said_at_exit(paths, marker):
    done = python(paths, marker, f"""
        host = photarion.Host()
        host.load(MODULE)
        runner = host.load({paths.runner_module!r})
        try:
            runner.LeakString("forgotten")
        except photarion.LeakError:
            pass
        """)
    assert done.returncode == 0
    assert done.stderr.startswith(
        "photarion: closing a host at exit: the modules BridgeTestModule.so, "
        "runner_test_module.so (unloaded) left behind:\n  held: String 0x"
    )
    # The module loaded before the one that failed to unload cleanly is unloaded all the same.
    assert marker.read_text() == MARKER_LINE


def test_a_host_no_longer_referenced_unloads_its_modules(paths, marker):
    done = python(paths, marker, """
        host = photarion.Host()
        host.load(MODULE)
        del host
        gc.collect()
        print(repr(marked()))
        again = photarion.Host()
        again.load(MODULE)  # the library left the process: it loads afresh
        """)
    assert done.returncode == 0, done.stderr
    assert done.stdout == repr(MARKER_LINE) + "\n"
    assert marker.read_text() == MARKER_LINE * 2
