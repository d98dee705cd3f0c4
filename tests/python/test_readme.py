"""The README's Python example runs as written, from the top of the source tree."""

import os
import re
import subprocess
import sys

from conftest import SOURCE


def test_the_readme_example_runs_as_written(tmp_path):
    readme = (SOURCE / "README.md").read_text()
    section = readme[readme.index("\n## Python\n"):]
    example = re.search(r"```python\n(.*?)```", section, re.S).group(1)
    assert len(example.strip().splitlines()) <= 12
    run = subprocess.run([sys.executable, "-c", example], cwd=SOURCE, capture_output=True,
                         text=True, env=dict(os.environ, MPLBACKEND="Agg"), timeout=120)
    assert run.returncode == 0, run.stderr
    assert "Displacements" in run.stdout
