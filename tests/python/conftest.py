"""What the module's tests share: the tools of the build, the example listings and
listings made by the project's generator."""

import json
import os
import pathlib
import subprocess
import sys

import pytest

SOURCE = pathlib.Path(os.environ.get("VX_SOURCE_DIR", pathlib.Path(__file__).parents[2]))
BUILD = pathlib.Path(os.environ.get("VX_BUILD_DIR", SOURCE / "build" / "release"))
CLI = BUILD / "voraxextract-cli"
GENERATOR = BUILD / "vorax-listing-gen"
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
        # Stress blocks of beam points in a section of no fibres: variables with no items.
        "no fibres": generate(folder / "nofibres.out", "--kind", "dynamic", "--all-blocks",
                              "--fibers", 0, "--steps", 2),
    }
