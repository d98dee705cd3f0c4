"""Hostile listings through the module: whatever a run folder holds ends in the module's
exception or a valid result, never in a crash, a hang or a changed listing. The reader's
own handling of each is ReliabilityTest's; here it is what reaches Python."""

import hashlib
import os
import random

import numpy as np
import pytest

import voraxextract
from conftest import example


def state_of(path):
    """The bytes and what the file system records of a file: a write shows in one."""
    info = os.stat(path)
    with open(path, "rb") as file:
        digest = hashlib.sha256(file.read()).hexdigest()
    return digest, info.st_size, info.st_mtime_ns, info.st_ctime_ns, info.st_ino, info.st_mode


def read_everything(path):
    """Every variable, vector kind, item and step of `path`: the Error of the opening, or
    for each (variable, kind) its array or the Error of its reading."""
    try:
        listing = voraxextract.open(path)
    except voraxextract.Error as error:
        return error
    read = {}
    with listing:
        for name, variable in listing.variables.items():
            for kind in variable.vector_kinds or [None]:
                try:
                    read[name, kind] = listing.values(name, kind)
                except voraxextract.Error as error:
                    read[name, kind] = error
    return read


def write(content):
    return lambda path: (path.write_bytes(content), path)[1]


def long_line(head, piece, tail):
    def make(path):
        with open(path, "wb") as file:
            file.write(head)
            for _ in range(100):
                file.write(piece * 2**20)
            file.write(tail)
        return path
    return make


BLOCK = (b"TOTAL DISPLACEMENTS.\n"
         b"NODE    DOF 1     DOF 2     DOF 3     DOF 4     DOF 5     DOF 6     DOF 7\n"
         b"  1  2.5\n")
HEAD = (b"PROGRAM 'VORAX', 1\nNDIM 3\nDYNAMIC\n - THERE ARE 3 NODES.\n"
        b"CONVERGENCE HAS BEEN OBTAINED.\n  TIME = 5\n")
NOT_A_LISTING = (voraxextract.NotAListingError, "Read File Error 62")
NO_ACCESS = (voraxextract.Error, "Read File Error 75")

# (name, how to make it from a path in an empty folder, what the opening raises or None)
THINGS_IN_A_RUN_FOLDER = [
    ("empty", write(b""), NOT_A_LISTING),
    ("garbage", write(random.Random(2024).randbytes(256 * 1024)), NOT_A_LISTING),
    ("NUL bytes", write(bytes(70000)), NOT_A_LISTING),
    ("a folder", lambda path: path.parent, NO_ACCESS),
    ("a pipe", lambda path: os.mkfifo(path) or path, NO_ACCESS),
    ("a device", lambda path: "/dev/zero", NO_ACCESS),
    ("a 100 MB line", long_line(b"", b"x", b""), NOT_A_LISTING),
    ("100 MB of zero bytes between steps",
     long_line(HEAD + BLOCK, b"\0", b"\n  TIME = 6\n" + BLOCK), None),
]


@pytest.mark.parametrize("make, raised", [c[1:] for c in THINGS_IN_A_RUN_FOLDER],
                         ids=[c[0] for c in THINGS_IN_A_RUN_FOLDER])
def test_things_that_are_no_listing(make, raised, tmp_path):
    path = make(tmp_path / "x.out")
    before = state_of(path) if os.path.isfile(path) else None
    result = read_everything(path)
    if raised is None:
        assert result[("Displacements", "DOF1")][:, 0].tolist() == [2.5, 2.5]
    else:
        assert type(result) is raised[0] and str(result).startswith(raised[1])
    if before:
        assert state_of(path) == before


def test_listings_cut_anywhere(tmp_path):
    whole = open(example("dynamic3d.out"), "rb").read()
    complete = read_everything(example("dynamic3d.out"))
    cut = tmp_path / "cut.out"
    outcomes = set()
    for end in range(0, len(whole), 613):
        cut.write_bytes(whole[:end])
        before = state_of(cut)
        result = read_everything(cut)
        assert state_of(cut) == before, end
        if isinstance(result, voraxextract.Error):
            outcomes.add(type(result).__name__)
            continue
        for key, values in result.items():
            if isinstance(values, voraxextract.Error):
                outcomes.add(type(values).__name__)
                assert values.messages and values.number is not None, (end, key)
                continue
            outcomes.add("values")
            # The steps before the cut read as in the whole listing.
            done = complete[key][: max(0, len(values) - 1)]
            np.testing.assert_array_equal(values[: len(done)], done, err_msg=f"{end} {key}")
    assert outcomes >= {"NotAListingError", "MissingBlockError", "values"}
