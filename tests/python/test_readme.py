"""The README's Python example runs as written, from the top of the source tree."""

import os
import re
import subprocess
import sys

from conftest import BUILD, SOURCE


def test_the_readme_example_runs_as_written(tmp_path):
    readme = (SOURCE / "README.md").read_text()
    section = readme[readme.index("\n## Python\n"):]
    example = re.search(r"```python\n(.*?)```", section, re.S).group(1)
    assert len(example.strip().splitlines()) <= 12
    run = subprocess.run([sys.executable, "-c", example], cwd=SOURCE, capture_output=True,
                         text=True, env=dict(os.environ, MPLBACKEND="Agg"), timeout=120)
    assert run.returncode == 0, run.stderr
    assert "Displacements" in run.stdout


def test_cmake_install_puts_the_module_where_the_interpreter_looks(tmp_path):
    # The user's prefix, as the README's install line gives it, in a home of its own.
    home = tmp_path / "home"
    env = dict(os.environ, HOME=str(home))
    env.pop("PYTHONPATH", None)
    run = subprocess.run([os.environ.get("VX_CMAKE", "cmake"), "--install", str(BUILD),
                          "--prefix", str(home / ".local")], capture_output=True, text=True,
                         env=env, timeout=300)
    assert run.returncode == 0, run.stderr
    assert "does not look into" not in run.stderr
    check = ("import voraxextract, voraxextract.dask; print(voraxextract.__file__); "
             "print(voraxextract.open(%r).summary['NodeCount'])" % str(SOURCE / "examples" /
                                                                      "dynamic3d.out"))
    run = subprocess.run([sys.executable, "-c", check], cwd=tmp_path, capture_output=True,
                         text=True, env=env, timeout=120)
    assert run.returncode == 0, run.stderr
    installed, nodes = run.stdout.split()
    assert installed.startswith(str(home / ".local" / "lib")) and nodes == "10"
