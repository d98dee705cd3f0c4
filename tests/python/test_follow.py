"""Listing.refresh() and Listing.follow() on a listing still being written: steps as they
are completed, the values of the whole listing in the end, a replaced listing."""

import threading
import time
import warnings

import numpy as np
import pytest

import voraxextract
from conftest import example, generate


def write_on(path, data, start, piece=700, pause=0.01):
    """Writes data[start:] to path a piece at a time, on a thread of its own."""
    def run():
        for at in range(start, len(data), piece):
            with open(path, "ab") as out:
                out.write(data[at:at + piece])
            time.sleep(pause)
    thread = threading.Thread(target=run)
    thread.start()
    return thread


def test_follow_yields_each_step_as_it_is_completed(tmp_path):
    whole = generate(tmp_path / "whole.out", "--kind", "dynamic", "--all-blocks", "--steps", 9)
    data = open(whole, "rb").read()
    live = tmp_path / "live.out"
    first = data.index(b"TIME =", data.index(b"TIME =") + 1)  # into the second step
    live.write_bytes(data[:first])
    with voraxextract.open(whole) as complete, voraxextract.open(live) as listing:
        assert len(listing.times) == 1
        expected = complete.values("Beam Axial Force", "N2", items=[4, 1])
        writer = write_on(live, data, first)
        seen = list(listing.follow("Beam Axial Force", "N2", items=[4, 1], idle=1.0))
        writer.join()
        assert [step for step, _, _ in seen] == list(range(1, 10))
        assert [t for _, t, _ in seen] == complete.times.tolist()
        np.testing.assert_array_equal(np.array([v for _, _, v in seen]), expected)
        assert listing.summary == complete.summary | {"Messages": listing.summary["Messages"]}
        # Nothing added since: nothing new, and from now on, only the last step on idle.
        assert listing.refresh() == 0
        assert [s for s, _, _ in listing.follow("Displacements", idle=0.2, from_now=True)] == [9]


def test_refresh_reads_what_was_added_and_a_replaced_listing_again(tmp_path):
    whole = generate(tmp_path / "whole.out", "--kind", "static", "--steps", 6)
    data = open(whole, "rb").read()
    live = tmp_path / "live.out"
    half = data.index(b"TIME =", len(data) // 2)
    live.write_bytes(data[:half])
    with voraxextract.open(live) as listing:
        before = len(listing.times)
        with open(live, "ab") as out:
            out.write(data[half:])
        assert listing.refresh() == 6 - before
        assert listing.times.tolist() == voraxextract.open(whole).times.tolist()
        other = generate(tmp_path / "other.out", "--kind", "static", "--steps", 2, "--seed", 3)
        (tmp_path / "other.out").replace(live)
        with pytest.warns(voraxextract.ListingReplacedWarning, match="read again from the start"):
            assert listing.refresh() == -4
        assert len(listing.times) == 2


def test_a_request_into_a_step_cut_short_warns(tmp_path):
    data = open(example("dynamic3d.out"), "rb").read()
    cut = tmp_path / "cut.out"
    cut.write_bytes(data[:data.rindex(b"TOTAL DISPLACEMENTS") + 500])
    with voraxextract.open(cut) as listing:
        with pytest.warns(voraxextract.IncompleteStepWarning,
                          match=r"step 6 \(time 360\) is not complete.*Node 5"):
            assert listing.values("Displacements", items=range(1, 11)).shape == (6, 10)
        with warnings.catch_warnings():
            warnings.simplefilter("error")
            listing.values("Displacements", items=range(1, 5))
            listing.values("Displacements", items=range(1, 11), steps=[1, 5])
