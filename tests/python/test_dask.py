"""Many listings on Dask: one task per listing on a small local cluster, the frames those
of reading the listings one after the other, and the example script of examples/."""

import os
import subprocess
import sys

import pandas
import pytest

import voraxextract
from conftest import SOURCE, generate

distributed = pytest.importorskip("distributed")
from voraxextract.dask import extract_many  # noqa: E402


@pytest.fixture(scope="module")
def client():
    cluster = distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                       dashboard_address=":0")
    with distributed.Client(cluster) as client:
        yield client
    cluster.close()


@pytest.fixture(scope="module")
def study(tmp_path_factory):
    folder = tmp_path_factory.mktemp("study")
    return [generate(folder / f"run{seed}.out", "--kind", "dynamic", "--all-blocks", "--seed", seed,
                     "--steps", 3 + seed) for seed in range(1, 5)]


REQUESTS = [
    dict(variable="Displacements", vector="DOF3"),
    dict(variable="Beam Axial Force", vector="N2", items=[4, 1], steps=[3, 1]),
    dict(variable="Truss Axial Force", times=[120, 60]),
]


@pytest.mark.parametrize("request_", REQUESTS)
def test_one_frame_keyed_by_listing_as_a_loop_would_make_it(request_, study, client):
    frame = extract_many(study, scheduler=client, **request_)
    assert frame.index.names == ["Listing", "Time"]
    assert list(frame.index.get_level_values("Listing").unique()) == study
    for path in study:
        with voraxextract.open(path) as listing:
            alone = listing.frame(**request_)
        pandas.testing.assert_frame_equal(frame.loc[path], alone)


@pytest.mark.parametrize("tasks_at_once", [1, 2, 64])
def test_the_tasks_on_a_host_share_its_processors(tasks_at_once, client):
    # Each worker finds its own host among those extract_many counted the tasks of.
    hosts = {"127.0.0.1": tasks_at_once, "192.0.2.1": 1}
    found = client.run(lambda: __import__("voraxextract.dask").dask._reading_threads(hosts))
    share = len(os.sched_getaffinity(0)) // tasks_at_once
    assert set(found.values()) == {max(1, min(4, share))}


def test_a_listing_that_cannot_be_read_is_named(study, client, tmp_path):
    bad = tmp_path / "bad.out"
    bad.write_bytes(b"no listing at all\n")
    with pytest.raises(voraxextract.NotAListingError) as raised:
        extract_many(study[:1] + [bad], "Displacements", scheduler=client.scheduler.address)
    assert str(raised.value) == "Read File Error 62: Input past end of file"
    assert f"listing: {bad}" in raised.value.__notes__
    with pytest.raises(ValueError, match="item 99 is outside"):
        extract_many(study, "Displacements", items=[99], scheduler=client.cluster)


def test_the_example_script_on_a_local_cluster_of_its_own(study, tmp_path):
    # Without a scheduler the script (and extract_many) starts a local cluster of its own.
    csv = tmp_path / "dof3.csv"
    run = subprocess.run([sys.executable, str(SOURCE / "examples" / "many_listings.py"), *study,
                          "--variable", "Displacements", "--vector", "DOF3", "--csv", str(csv)],
                         capture_output=True, text=True, env=dict(os.environ), timeout=300)
    assert run.returncode == 0, run.stderr
    assert f"4 listings, {4 + 5 + 6 + 7} rows, 10 items" in run.stdout
    written = pandas.read_csv(csv, index_col=[0, 1])
    with voraxextract.open(study[2]) as listing:
        alone = listing.frame("Displacements", "DOF3")
    assert written.loc[study[2]].to_numpy(dtype="float32").tolist() == alone.to_numpy().tolist()
