"""Archived listings through the module: gzip (one member or several), zstd and xz files
give the summary, times, values and tables of the listing they hold; a damaged one raises
as an unreadable listing does."""

import gzip
import lzma
import shutil
import subprocess

import numpy as np
import pandas as pd
import pytest

import voraxextract
from conftest import example


def packed_copies(source, folder):
    data = open(source, "rb").read()
    half = len(data) // 2 + 13
    copies = {
        "gzip": gzip.compress(data),
        "gzip, two members": gzip.compress(data[:half]) + gzip.compress(data[half:]),
        "xz": lzma.compress(data),
    }
    if shutil.which("zstd"):
        copies["zstd"] = subprocess.run(["zstd", "-q", "-c"], input=data, capture_output=True,
                                        check=True).stdout
    paths = {}
    for i, (name, bytes_) in enumerate(copies.items()):
        path = folder / f"listing{i}.out.packed"
        path.write_bytes(bytes_)
        paths[name] = path
    return paths


@pytest.mark.parametrize("name", ["dynamic3d.out", "static2d.out", "thermal.out"])
def test_archived_listings_read_as_the_listing_they_hold(tmp_path, name):
    with voraxextract.open(example(name)) as plain:
        variable = next(iter(plain.variables.values()))
        vector = variable.vector_kinds[-1] if variable.vector_kinds else None
        expected = plain.frame(variable.name, vector)
        peaks = plain.peaks(variable.name, vector)
        for how, path in packed_copies(example(name), tmp_path).items():
            with voraxextract.open(path) as listing:
                assert listing.summary == plain.summary, how
                assert np.array_equal(listing.times, plain.times), how
                pd.testing.assert_frame_equal(listing.frame(variable.name, vector), expected)
                pd.testing.assert_frame_equal(listing.peaks(variable.name, vector), peaks)


def test_a_damaged_archive_raises_as_an_unreadable_listing(tmp_path):
    data = bytearray(gzip.compress(open(example("dynamic3d.out"), "rb").read()))
    data[len(data) // 2] ^= 0x55
    path = tmp_path / "run12.out.gz"
    path.write_bytes(bytes(data))
    with pytest.raises(voraxextract.Error, match="The compressed listing is damaged") as raised:
        voraxextract.open(path)
    assert raised.value.number == 57 and raised.value.kind == "read_failed"
