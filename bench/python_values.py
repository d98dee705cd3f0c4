"""The Python module's values() timed inside the interpreter, for scripts/bench.

usage: python_values.py LISTING VARIABLE [VECTOR]

Opens the listing and reads every item of the variable at every step into a numpy
array, as vorax-bench-extract does without Python. Prints the seconds from the opening
to the array, the array's kilobytes, and how far the process's peak resident memory grew
meanwhile, in kilobytes.
"""

import resource
import sys
import time

import numpy  # noqa: F401 - imported before the clock starts, as a script would have it

import voraxextract


def resident_kb():
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1]) * resource.getpagesize() // 1024


def main():
    path, variable = sys.argv[1], sys.argv[2]
    vector = sys.argv[3] if len(sys.argv) > 3 else None
    before = max(resident_kb(), resource.getrusage(resource.RUSAGE_SELF).ru_maxrss)
    start = time.perf_counter()
    with voraxextract.open(path) as listing:
        values = listing.values(variable, vector)
    seconds = time.perf_counter() - start
    peak = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
    print(f"{seconds:.4f} {values.nbytes / 1024:.0f} {peak - before}")


if __name__ == "__main__":
    main()
