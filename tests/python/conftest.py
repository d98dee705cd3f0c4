"""What the module's tests share: the tools of the build, the example listings, listings
made by the project's generator, and the command-line tool's sheets read back."""

import json
import os
import pathlib
import subprocess
import sys

import pytest

SOURCE = pathlib.Path(os.environ.get("VX_SOURCE_DIR", pathlib.Path(__file__).parents[2]))
BUILD = pathlib.Path(os.environ.get("VX_BUILD_DIR", SOURCE / "build" / "release"))
SHARED = pathlib.Path(os.environ.get("VX_SHARED_DIR", SOURCE.parent / "shared"))
CLI = BUILD / "voraxextract-cli"
GENERATOR = BUILD / "vorax-listing-gen"
XLS_DUMP = SHARED / "tools" / "xls-dump"
EXAMPLES = SOURCE / "examples"

# Run by hand (`/usr/bin/python3 -m pytest tests/python`), the module comes from the build.
sys.path.insert(0, str(BUILD / "python"))


def example(name):
    return str(EXAMPLES / name)


def generate(path, *options):
    """A listing written by vorax-listing-gen with these options; returns its path."""
    subprocess.run([str(GENERATOR), *map(str, options), "-o", str(path)], check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return str(path)


def cli(*args):
    return subprocess.run([str(CLI), *map(str, args)], capture_output=True, text=True)


def cli_info(listing):
    run = cli("info", listing, "--json", "--quiet")
    assert run.returncode == 0, run.stderr
    return json.loads(run.stdout)


def sheet_cells(xls):
    """{(row, column): value} of a sheet as xls-dump, our strict reader, reads it: labels
    as text, numbers as floats."""
    if not XLS_DUMP.exists():
        pytest.skip(f"no {XLS_DUMP}")
    run = subprocess.run([sys.executable, str(XLS_DUMP), str(xls)], capture_output=True,
                         text=True, check=True)
    cells = {}
    for line in run.stdout.splitlines():
        row, column, kind, value = line.split("\t", 3)
        cells[int(row), int(column)] = value if kind == "label" else float(value)
    return cells


@pytest.fixture(scope="session")
def listings(tmp_path_factory):
    """Generated listings beyond the examples, made once per run."""
    folder = tmp_path_factory.mktemp("listings")
    return {
        "wide": generate(folder / "wide.out", "--kind", "static", "--nodes", 300, "--steps", 4),
        "dropped": generate(folder / "dropped.out", "--kind", "dynamic", "--all-blocks",
                            "--steps", 4, "--drop-blocks-from", 3),
        # Times no binary fraction holds: the summary keeps their shortest decimals.
        "tenths": generate(folder / "tenths.out", "--kind", "static", "--steps", 4,
                           "--first-time", "0.1", "--time-increment", "0.1"),
        "thermal-cr": generate(folder / "thermal-cr.out", "--kind", "thermal", "--nodes", 12,
                               "--solids", 4, "--steps", 5, "--line-ending", "cr"),
    }
