"""Many listings through a local Dask cluster against a loop in one process, for
scripts/bench.

usage: python_many.py RUNS VARIABLE VECTOR LISTING...

Starts the local cluster extract_many starts without a scheduler, with two workers, and
lets it read every listing once (the listings are in the page cache); then, RUNS times and
taking turns, reads the listings' frames in a loop in this process and
through voraxextract.dask.extract_many on that cluster. Prints the median seconds of the
loop and of Dask, and whether both gave the same frames.
"""

import statistics
import sys
import time

import pandas
from distributed import Client

import voraxextract
from voraxextract.dask import extract_many, local_cluster


def loop(paths, variable, vector):
    frames = []
    for path in paths:
        with voraxextract.open(path) as listing:
            frames.append(listing.frame(variable, vector))
    return pandas.concat(frames, keys=paths, names=["Listing"])


def main():
    runs, variable, vector, paths = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4:]
    with local_cluster(2) as cluster, Client(cluster) as client:
        extract_many(paths, variable, vector, scheduler=client)
        times = {"loop": [], "dask": []}
        same = True
        for _ in range(runs):
            start = time.perf_counter()
            alone = loop(paths, variable, vector)
            times["loop"].append(time.perf_counter() - start)
            start = time.perf_counter()
            many = extract_many(paths, variable, vector, scheduler=client)
            times["dask"].append(time.perf_counter() - start)
            same = same and many.equals(alone)
    print(f"{statistics.median(times['loop']):.4f} {statistics.median(times['dask']):.4f} "
          f"{'same' if same else 'DIFFERENT'}")


if __name__ == "__main__":
    main()
