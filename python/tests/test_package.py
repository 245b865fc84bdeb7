"""The package where people get it: from the build tree through the shell set-up the README
describes, and installed with the SDK."""

import os
import subprocess
import sys

IMPORT_CHECK = "import photarion, numpy; print(photarion.Host().version)"


def test_the_build_trees_shell_set_up(paths):
    # Whatever python3 comes first on PATH, env.sh makes it the interpreter the bridge is for.
    env_sh = os.path.join(paths.build, "python", "env.sh")
    env = {k: v for k, v in os.environ.items() if k != "PYTHONPATH"}
    done = subprocess.run(
        ["bash", "-c", f'. "{env_sh}" && cd / && python3 -c "{IMPORT_CHECK}"'],
        env=env, capture_output=True, text=True, timeout=120,
    )
    assert done.returncode == 0, done.stderr
    assert done.stdout == f"{0x03040400}\n"


def test_the_installed_package(paths, tmp_path):
    prefix = tmp_path / "prefix"
    subprocess.run(
        ["cmake", "--install", paths.build, "--prefix", str(prefix), "--component", "python"],
        check=True, capture_output=True, timeout=120,
    )
    found = [root for root, _, files in os.walk(prefix) if "_host.py" in files]
    assert len(found) == 1 and found[0].endswith(
        os.path.join(f"python{sys.version_info.major}.{sys.version_info.minor}", "dist-packages"
                     if any(p.endswith("dist-packages") for p in sys.path) else "site-packages",
                     "photarion"))
    env = {**os.environ, "PYTHONPATH": os.path.dirname(found[0])}
    done = subprocess.run([sys.executable, "-c", IMPORT_CHECK + "; print(photarion.__file__)"],
                          env=env, capture_output=True, text=True, cwd="/", timeout=120)
    assert done.returncode == 0, done.stderr
    assert done.stdout.split("\n")[1].startswith(str(prefix))
