"""Hostile listings through the module: whatever a run folder holds ends in the module's
exception or a valid result, never in a crash, a hang or a changed listing."""

import hashlib
import os
import random

import numpy as np
import pytest

import voraxextract
from conftest import example, generate


def state_of(path):
    """The bytes and what the file system records of a file: a write shows in one."""
    info = os.stat(path)
    with open(path, "rb") as file:
        digest = hashlib.sha256(file.read()).hexdigest()
    return digest, info.st_size, info.st_mtime_ns, info.st_ctime_ns, info.st_ino, info.st_mode


def read_everything(path):
    """Opens `path` and reads every variable it offers, every vector kind, every item at
    every step. Returns the Error raised, or the arrays read (an Error for one that
    could not be read)."""
    try:
        listing = voraxextract.open(path)
    except voraxextract.Error as error:
        return error
    read = {}
    with listing:
        for name, variable in listing.variables.items():
            for kind in variable.vector_kinds or [None]:
                try:
                    values = listing.values(name, kind)
                except voraxextract.Error as error:
                    read[name, kind] = error
                    continue
                assert values.shape == (len(listing.times), max(1, variable.bound))
                read[name, kind] = values
    return read


def long_line(path, head, piece, tail):
    with open(path, "wb") as file:
        block = (piece * (2**20 // len(piece) + 1))[: 2**20]
        file.write(head)
        for _ in range(100):
            file.write(block)
        file.write(tail)
    return path


BLOCK = (b"TOTAL DISPLACEMENTS.\n"
         b"NODE    DOF 1     DOF 2     DOF 3     DOF 4     DOF 5     DOF 6     DOF 7\n"
         b"  1  2.5\n")
HEAD = (b"PROGRAM 'VORAX', 1\nNDIM 3\nDYNAMIC\n - THERE ARE 3 NODES.\n"
        b"CONVERGENCE HAS BEEN OBTAINED.\n  TIME = 5\n")


# (name, how to make it in a folder, the exception of the opening or None, text)
THINGS_IN_A_RUN_FOLDER = [
    ("empty", lambda d: d / "x.out", voraxextract.NotAListingError, "Read File Error 62"),
    ("folder", lambda d: d, voraxextract.Error, "Read File Error 75: Path/File access error"),
    ("garbage", lambda d: d / "x.out", voraxextract.NotAListingError, "Read File Error 62"),
    ("NUL bytes", lambda d: d / "x.out", voraxextract.NotAListingError, "Read File Error 62"),
    ("pipe", lambda d: d / "pipe.out", voraxextract.Error, "Read File Error 75"),
    ("a device", lambda d: "/dev/zero", voraxextract.Error, "Read File Error 75"),
    ("a 100 MB line", lambda d: long_line(d / "x.out", b"", b"x", b""),
     voraxextract.NotAListingError, "Read File Error 62"),
    ("100 MB of zero bytes between steps",
     lambda d: long_line(d / "x.out", HEAD + BLOCK, b"\0", b"\n  TIME = 6\n" + BLOCK), None, ""),
]


@pytest.mark.parametrize("name, make, kind, says", THINGS_IN_A_RUN_FOLDER,
                         ids=[c[0] for c in THINGS_IN_A_RUN_FOLDER])
def test_things_that_are_no_listing(name, make, kind, says, tmp_path):
    path = make(tmp_path)
    if name == "empty":
        path.write_bytes(b"")
    elif name == "garbage":
        path.write_bytes(random.Random(2024).randbytes(256 * 1024))
    elif name == "NUL bytes":
        path.write_bytes(bytes(70000))
    elif name == "pipe":
        os.mkfifo(path)
    before = state_of(path) if os.path.isfile(path) else None
    result = read_everything(path)
    if kind is None:
        assert result[("Displacements", "DOF1")][:, 0].tolist() == [2.5, 2.5]
    else:
        assert type(result) is kind and str(result).startswith(says)
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


@pytest.mark.parametrize("ending", ["lf", "cr", "mixed"])
def test_every_kind_of_line_end_reads_alike(ending, tmp_path):
    crlf = generate(tmp_path / "crlf.out", "--kind", "dynamic", "--all-blocks", "--steps", 3)
    if ending == "mixed":
        lines = open(crlf, "rb").read().split(b"\r\n")
        ends = [b"\r\n", b"\n", b"\r"]
        path = tmp_path / "mixed.out"
        path.write_bytes(b"".join(line + ends[i % 3] for i, line in enumerate(lines)))
    else:
        path = generate(tmp_path / f"{ending}.out", "--kind", "dynamic", "--all-blocks",
                        "--steps", 3, "--line-ending", ending)
    expected = read_everything(crlf)
    result = read_everything(path)
    assert result.keys() == expected.keys()
    for key in expected:
        np.testing.assert_array_equal(result[key], expected[key], err_msg=str(key))
