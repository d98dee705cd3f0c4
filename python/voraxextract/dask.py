"""The same request on many listings at once, one Dask task per listing.

    from voraxextract.dask import extract_many, peaks_many
    frame = extract_many(paths, "Displacements", "DOF3", items=range(1, 101))
    peaks = peaks_many(paths, "Displacements", "DOF3")

A parametric study gives hundreds of listings; each is read where a Dask worker runs,
and the frames come back as one, keyed by listing. Without a scheduler a local cluster
is started for the call: one single-threaded worker per processor, all in this process
(an extraction lets go of the interpreter while it reads, so workers in threads run side
by side, and their values reach the frame without being copied between processes).
With the address of a running scheduler ("tcp://host:8786"), a distributed.Client or a
cluster object, the listings are read by that cluster's workers, which must see the
listings under the same paths (a shared file system) and have voraxextract installed.
Needs python3-dask and python3-distributed (and pandas).
"""

import collections
import os

import pandas
from distributed import Client, LocalCluster, get_worker
from distributed.comm import get_address_host

from . import Error, _frame, _read_parts, _read_peaks


def extract_many(paths, variable, vector=None, items=None, steps=None, *, times=None,
                 scheduler=None):
    """Reads one request from every listing of `paths`, one Dask task each.

    variable, vector, items, steps and times are those of Listing.frame(), the same for
    every listing. scheduler: None for a local cluster started (and stopped) for this
    call, a scheduler's address, a distributed.Client, or a cluster object.

    Returns one pandas DataFrame: the listings' frames one below the other, its index
    the listing (the path as given) and the time, its columns the item numbers. A
    listing that cannot be read raises its voraxextract.Error (or ValueError for a
    request it cannot meet), with a note naming the listing.
    """
    names = [os.fsdecode(os.fspath(path)) for path in paths]
    request = dict(variable=variable, vector=vector, items=items, steps=steps, times=times)
    # Workers may run elsewhere, in another folder: they get whole paths.
    parts = _map(_frame_parts, [os.path.abspath(name) for name in names], request, scheduler)
    return pandas.concat([_frame(*p) for p in parts], keys=names, names=["Listing"])


def _map(task, paths, request, scheduler):
    # One task per listing on the cluster `scheduler` names (or a local one for the call);
    # their results in the order of the paths.
    owned = None
    if isinstance(scheduler, Client):
        client = scheduler
    elif scheduler is None:
        owned = local_cluster()
        client = Client(owned)
    else:
        client = Client(scheduler)
    try:
        # Every extraction reads on several threads; the tasks running at once on a host
        # share its processors between them rather than each taking them all.
        threads = collections.Counter()
        for worker in client.scheduler_info()["workers"].values():
            threads[worker["host"]] += worker["nthreads"]
        return client.gather(client.map(task, paths, pure=False, tasks_on_hosts=threads,
                                        **request))
    finally:
        if client is not scheduler:
            client.close()
        if owned is not None:
            owned.close()


def peaks_many(paths, variable, vector=None, items=None, steps=None, over="steps", *,
               times=None, scheduler=None):
    """The peaks of one request in every listing of `paths`, one Dask task each.

    The arguments are those of Listing.peaks() and extract_many(). Returns one pandas
    DataFrame: the listings' tables one below the other, indexed by the listing (the path
    as given) and the item (or the step, over="items").
    """
    names = [os.fsdecode(os.fspath(path)) for path in paths]
    request = dict(variable=variable, vector=vector, items=items, steps=steps, over=over,
                   times=times)
    parts = _map(_peaks, [os.path.abspath(name) for name in names], request, scheduler)
    return pandas.concat(parts, keys=names, names=["Listing"])


def local_cluster(n_workers=None):
    """The local cluster extract_many starts when no scheduler is given.

    n_workers single-threaded workers (default: one per processor this process may run
    on), all in this process. Given to extract_many as its scheduler, it serves call
    after call without being started again; close it (or use it in a with statement)
    when the study is done.
    """
    # Any free port for its web page, so that several studies can run side by side.
    return LocalCluster(n_workers=n_workers or len(os.sched_getaffinity(0)),
                        threads_per_worker=1, processes=False, dashboard_address=":0")


def _frame_parts(path, variable, vector=None, items=None, steps=None, times=None,
                 tasks_on_hosts=None):
    # One task: one listing's frame as the arrays and lists it is made of, the listing read
    # once (its scan and its values together).
    try:
        return _read_parts(path, variable, vector, items, steps, times, None,
                           _reading_threads(tasks_on_hosts or {}))
    except (Error, ValueError, TypeError) as error:
        error.add_note(f"listing: {path}")
        raise


def _peaks(path, variable, vector=None, items=None, steps=None, over="steps", times=None,
           tasks_on_hosts=None):
    # One task: one listing's table of peaks (a small frame), the listing read once.
    try:
        return _read_peaks(path, variable, vector, items, steps, over, times=times,
                           threads=_reading_threads(tasks_on_hosts or {}))
    except (Error, ValueError, TypeError) as error:
        error.add_note(f"listing: {path}")
        raise


def _reading_threads(tasks_on_hosts):
    # The threads of an extraction on this worker: its host's processors shared among
    # the tasks that run there at once, at most four as the core's own choice.
    at_once = tasks_on_hosts.get(get_address_host(get_worker().address), 1)
    return max(1, min(4, len(os.sched_getaffinity(0)) // at_once))
