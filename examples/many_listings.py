#!/usr/bin/env python3
"""One variable from many VORAX listings at once, on Dask: one task per listing.

usage: many_listings.py LISTING... [--variable NAME] [--vector KIND] [--items A-B]
                        [--scheduler ADDRESS] [--csv FILE]

Reads the variable (default Displacements) and vector kind (default the first) for the
items A to B (default all) at every time step of every listing, on a local Dask cluster
started for the run, or on the scheduler at ADDRESS (tcp://host:8786), whose workers
must see the listings under the same paths. Prints the greatest absolute value of each
listing and, with --csv, writes the whole frame (listing, time, then one column per item).
"""

import argparse

from voraxextract.dask import extract_many


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("listings", nargs="+")
    parser.add_argument("--variable", default="Displacements")
    parser.add_argument("--vector")
    parser.add_argument("--items", help="A-B: the items from A to B")
    parser.add_argument("--scheduler", help="a Dask scheduler's address (default: a local cluster)")
    parser.add_argument("--csv", help="write the frame to this CSV file")
    options = parser.parse_args()

    items = None
    if options.items:
        first, last = (int(n) for n in options.items.split("-"))
        items = range(first, last + 1)
    frame = extract_many(options.listings, options.variable, options.vector, items,
                         scheduler=options.scheduler)
    print(f"{len(options.listings)} listings, {len(frame)} rows, {frame.shape[1]} items")
    peaks = frame.abs().max(axis=1).groupby(level="Listing", sort=False).max()
    for listing, peak in peaks.items():
        print(f"  {listing}: greatest |{options.variable}| {peak:g}")
    if options.csv:
        frame.to_csv(options.csv)


if __name__ == "__main__":
    main()
