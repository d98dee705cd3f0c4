"""Listing.peaks() and voraxextract.dask.peaks_many(): the command-line tool's table as a
frame, the values' own peaks, several vector kinds by text or by place, many listings."""

import io

import numpy as np
import pandas
import pytest

import voraxextract
from conftest import cli, example, generate


@pytest.mark.parametrize("over", ["steps", "items"])
def test_the_frame_is_the_tools_table(over):
    path = example("dynamic3d.out")
    run = cli("peaks", path, "--variable", "Beam Stresses", "--all-vectors", "--items", "3,1,3",
              "--steps", "5,2,5", "--over", over)
    assert run.returncode == 0, run.stderr
    table = pandas.read_csv(io.StringIO(run.stdout), keep_default_na=False,
                            float_precision="round_trip")
    with voraxextract.open(path) as listing:
        # The kinds by place, in the list's order: the same as every kind.
        frame = listing.peaks("Beam Stresses", [0, 1], items=[3, 1, 3], steps=[5, 2, 5],
                              over=over)
    assert frame.index.name == ("Item" if over == "steps" else "Step")
    assert sorted(frame.reset_index().columns) == sorted(table.columns)
    for column in table.columns:
        mine = frame.reset_index()[column].to_numpy()
        if mine.dtype == np.float32:
            # The tool prints each single as the shortest decimal that reads back to it.
            np.testing.assert_array_equal(mine, table[column].to_numpy(np.float32), column)
        else:
            assert mine.tolist() == table[column].tolist(), column


def test_peaks_are_the_values_own(listings):
    with voraxextract.open(listings["wide"]) as listing:
        values = listing.values("Displacements", "DOF2", items=[7, 1, 300, 7], steps=[4, 1, 3])
        frame = listing.peaks("Displacements", "DOF2", items=[7, 1, 300, 7], steps=[4, 1, 3])
        by_step = listing.peaks("Displacements", 1, items=[7, 1, 300, 7], steps=[4, 1, 3],
                                over="items")
    assert "Vector" not in frame.columns, "one vector kind: no column for it"
    np.testing.assert_array_equal(frame["Max"], values.max(axis=0))
    np.testing.assert_array_equal(frame["Min"], values.min(axis=0))
    assert frame["Step of max"].tolist() == [[4, 1, 3][i] for i in values.argmax(axis=0)]
    assert frame["Abs max"].tolist() == [values[np.abs(values[:, k]).argmax(), k]
                                         for k in range(4)]
    np.testing.assert_array_equal(by_step["Max"], values.max(axis=1))
    assert by_step["Item of max"].tolist() == [[7, 1, 300, 7][i] for i in values.argmax(axis=1)]
    np.testing.assert_allclose(by_step["Mean"], values.astype(np.float64).mean(axis=1), rtol=0)
    with pytest.raises(ValueError, match="over must be"):
        voraxextract.open(listings["wide"]).peaks("Displacements", over="time")


def test_peaks_of_many_listings_on_dask(tmp_path):
    from voraxextract.dask import local_cluster, peaks_many

    paths = [generate(tmp_path / f"run{seed}.out", "--kind", "dynamic", "--nodes", 20,
                      "--steps", 5, "--seed", seed) for seed in (1, 2)]
    with local_cluster(2) as cluster:
        frame = peaks_many(paths, "Displacements", "DOF3", items=range(1, 6), scheduler=cluster)
    assert frame.index.names == ["Listing", "Item"]
    for path in paths:
        with voraxextract.open(path) as listing:
            pandas.testing.assert_frame_equal(
                frame.loc[path], listing.peaks("Displacements", "DOF3", items=range(1, 6)))
