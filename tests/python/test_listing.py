"""The module against the command-line tool: the same scan, the same request, the same
sheets; what is the module's own (types, arrays, frames, exceptions, progress, threads);
and what it refuses or raises, in tables."""

import os
import pickle
import signal
import sys
import threading

import numpy as np
import openpyxl
import pytest

import voraxextract
from conftest import cli, cli_info, example, generate
from voraxextract import _core
from voraxextract._errors import from_failures


@pytest.fixture(scope="module")
def dynamic():
    with voraxextract.open(example("dynamic3d.out")) as listing:
        yield listing


@pytest.mark.parametrize("name", ["dynamic3d.out", "static2d.out", "thermal.out", "tenths"])
def test_summary_times_and_variables_are_those_of_info_json(name, listings):
    path = listings.get(name) or example(name)
    info = cli_info(path)
    with voraxextract.open(path) as listing:
        assert listing.summary == info
        assert listing.times.dtype == np.float32
        assert listing.times.tolist() == [np.float32(t["Time"]) for t in info["Times"]]
        assert [(v.name, v.range, list(v.vector_kinds), v.bound)
                for v in listing.variables.values()] == \
            [(v["Name"], v["Range"], v["VectorKinds"], v["Bound"]) for v in info["Variables"]]


# One request of each shape: (listing, variable, vector, items, steps or times, the CLI's
# options for the same request).
SAME_AS_THE_CLI = [
    ("dynamic3d.out", "Displacements", "DOF3", range(1, 11), None,
     ["--vector", "DOF3", "--from", 1, "--to", 10, "--all-steps"]),
    ("dynamic3d.out", "Beam Stresses", 1, range(1, 13, 2), dict(steps=[6, 1, 6]),
     ["--vector-index", 1, "--from", 1, "--to", 11, "--step", 2, "--steps", "6,1,6"]),
    ("dynamic3d.out", "Eigen Values", None, None, None, ["--all-steps"]),
    ("thermal.out", "Temperature", None, None, dict(times=[240, "60", 240.0]),
     ["--to", 12, "--times", "240,60"]),
]


@pytest.mark.parametrize("name, variable, vector, items, when, options", SAME_AS_THE_CLI)
def test_the_module_writes_the_clis_sheet_and_reads_its_values(name, variable, vector, items,
                                                               when, options, tmp_path):
    when = when or {}
    xls = tmp_path / "cli.xls"
    run = cli("export", example(name), "-o", xls, "--variable", variable, "--columns", "--quiet",
              *options)
    assert run.returncode == 0, run.stderr
    with voraxextract.open(example(name)) as listing:
        values = listing.values(variable, vector, items, **when)
        frame = listing.frame(variable, vector, items, **when)
        for extension in (".xls", ".csv", ".xlsx"):
            listing.export(tmp_path / f"module{extension}", variable, vector, items,
                           columns=True, **when)
    assert (tmp_path / "module.xls").read_bytes() == xls.read_bytes()
    assert values.dtype == np.float32 and frame.to_numpy().dtype == np.float32
    np.testing.assert_array_equal(frame.to_numpy(), values)
    assert frame.index.name == "Time"
    # The CSV and the workbook (the format by the extension) hold the values in full: the
    # times across from column 2, the items down from row 4.
    csv = [line.split(",") for line in (tmp_path / "module.csv").read_text().splitlines()]
    book = openpyxl.load_workbook(tmp_path / "module.xlsx", read_only=True).active
    for sheet in (csv, [list(row) for row in book.iter_rows(values_only=True)]):
        assert [row[0] for row in sheet[3:]] == [f"{frame.columns.name} {c}" for c in frame.columns]
        np.testing.assert_array_equal(np.float32(sheet[2][1:]), np.float32(frame.index))
        np.testing.assert_array_equal(np.float32([row[1:] for row in sheet[3:]]).T, values)


def test_items_and_steps_in_any_order_with_repeats(dynamic):
    every = dynamic.values("Displacements", "DOF2", range(1, 11))
    picked = dynamic.values("Displacements", "DOF2", [5, 1, 5, 10], steps=[3, 1, 3])
    np.testing.assert_array_equal(picked, every[[2, 0, 2]][:, [4, 0, 4, 9]])
    # Items in increasing order are the value table's own storage, not a copy of it.
    assert not every.flags.owndata and every.base is not None
    assert picked.flags.owndata
    frame = dynamic.frame("Displacements", "DOF2", np.array([5, 1, 5]), steps=(3,))
    assert list(frame.columns) == [5, 1, 5] and frame.columns.name == "Node"
    assert list(frame.index) == [dynamic.summary["Times"][2]["Time"]]


# The request's own reasons are the command-line tool's (CliRequestTest); these are how
# the module maps its arguments onto them, and what it refuses by itself.
BAD_ARGUMENTS = [
    (dict(variable="Temperature"), ValueError, "variable 'Temperature' is not offered"),
    (dict(variable=3), TypeError, "variable must be a name"),
    (dict(vector="DOF\u20ac"), ValueError, "vector kind 'DOF\u20ac' does not exist"),
    (dict(vector=1.0), TypeError, "vector must be"),
    (dict(items=[0]), ValueError, "item 0 is outside the range (1 to 10)"),
    (dict(items=range(8, 12)), ValueError, "item 11 is outside the range (1 to 10)"),
    (dict(items=[2**70]), ValueError, "item 1180591620717411303424 is outside"),
    (dict(items=[]), ValueError, "no item is given"),
    (dict(items="12"), TypeError, "items must be an iterable"),
    (dict(items=[1, 2.0]), TypeError, "item 2.0 is not one of whole numbers"),
    (dict(items=[True]), TypeError, "item True"),
    (dict(steps=[0]), ValueError, "time step '0' is not a number from 1 to 6"),
    (dict(steps=[]), ValueError, "steps is empty: give at least one time step to read"),
    (dict(times=[]), ValueError, "times is empty: give at least one time step to read"),
    (dict(times=[1e300]), ValueError, "time 1e+300 is not in the list"),
    (dict(times=[60], steps=[1]), TypeError, "steps or times"),
    (dict(variable="Eigen Values", items=[1]), ValueError, "has no items to choose"),
    (dict(progress=3), TypeError, "progress must be callable"),
]


@pytest.mark.parametrize("arguments, kind, says", BAD_ARGUMENTS)
def test_bad_arguments_name_what_is_wrong(dynamic, arguments, kind, says, tmp_path):
    arguments = {"variable": "Displacements", **arguments}
    for call in (dynamic.values, dynamic.frame,
                 lambda **a: dynamic.export(tmp_path / "x.xls", **a)):
        with pytest.raises(kind) as raised:
            call(**arguments)
        assert says in str(raised.value)
    assert list(tmp_path.iterdir()) == []


def test_a_variable_without_items_is_refused_by_name(listings, tmp_path):
    with voraxextract.open(listings["no fibres"]) as listing:
        assert listing.variables["Beam Stresses"].bound == 0
        for call in (listing.values, listing.frame,
                     lambda *a: listing.export(tmp_path / "x.xls", *a)):
            with pytest.raises(ValueError) as raised:
                call("Beam Stresses")
            assert str(raised.value) == \
                "'Beam Stresses' has no items to read: the listing holds no fibers"
    assert list(tmp_path.iterdir()) == []


def test_threads_is_a_count_and_the_listing_reads_alike_on_any(dynamic):
    for threads, kind in [(-1, ValueError), (1.0, TypeError), (True, TypeError)]:
        with pytest.raises(kind, match="threads"):
            voraxextract.open(example("dynamic3d.out"), threads=threads)
    with voraxextract.open(example("dynamic3d.out"), threads=3) as listing:
        np.testing.assert_array_equal(listing.values("Beam Stresses"),
                                      dynamic.values("Beam Stresses"))


def test_the_listing_itself_is_never_written_over_and_a_closed_one_refuses_all(tmp_path):
    listing_path = tmp_path / "run.out"
    original = open(example("static2d.out"), "rb").read()
    listing_path.write_bytes(original)
    (tmp_path / "link.xls").symlink_to(listing_path)
    with voraxextract.open(listing_path) as listing:
        for target in (listing_path, tmp_path / "link.xls"):
            with pytest.raises(ValueError, match="is the listing itself"):
                listing.export(target, "Displacements")
    assert listing_path.read_bytes() == original
    assert listing.closed and "closed" in repr(listing)
    for request in (lambda: listing.values("Displacements"), lambda: listing.summary,
                    lambda: listing.times, lambda: listing.export(tmp_path / "t.xls", "Displacements")):
        with pytest.raises(ValueError, match="closed listing"):
            request()


# The class of each kind of failure the core reports, and the built-in exception it is
# also caught as.
CLASS_OF = {
    "not_a_listing": voraxextract.NotAListingError,
    "missing_block": voraxextract.MissingBlockError,
    "value_too_large": voraxextract.ValueTooLargeError,
    "file_not_found": voraxextract.MissingFileError,
    "access_denied": voraxextract.FileAccessError,
    "file_locked": voraxextract.Error,
    "format_limit": voraxextract.Error,
    "read_failed": voraxextract.Error,
    "write_failed": voraxextract.Error,
}
ALSO_CAUGHT_AS = {"file_not_found": FileNotFoundError, "access_denied": PermissionError}


def check_error(error, kind, messages, number):
    assert type(error) is CLASS_OF[kind] and error.kind == kind
    assert isinstance(error, ALSO_CAUGHT_AS.get(kind, voraxextract.Error))
    assert error.messages == messages and str(error) == "\n".join(messages)
    assert error.number == number
    # Errors cross process boundaries (Dask) whole.
    again = pickle.loads(pickle.dumps(error))
    assert (type(again), str(again), again.number, again.kind) == \
        (type(error), str(error), number, kind)


# One message of each exception class and of each operation that raises: (the listing's
# text, a generated listing or None for no file at all; the request, None where the
# opening raises, "export" the sheet's path; the kind of failure; its text).
MESSAGES = [
    (None, None, "file_not_found", "Read File Error 53: File not found"),
    (b"", None, "not_a_listing", "Read File Error 62: Input past end of file"),
    (b"PROGRAM 'VORAX', 1\r\nNDIM 3\r\nTORSION\r\n", None, "not_a_listing",
     "Cannot read but temperature files"),
    (b"PROGRAM 'VORAX', 1\nNDIM 2\nTEMPERATURE\n", None, "missing_block",
     "The string DESCRIPTION OF THE STRUCTURE was not found. Cannot continue."),
    (b"PROGRAM 'VORAX', 1\nNDIM 3\nSTATIC\n - THERE ARE 2 NODES.\nCONVERGENCE HAS BEEN "
     b"OBTAINED.\n  TIME = 1E+39\n", None, "value_too_large", "Read File Error 6: Overflow"),
    ("dropped", dict(variable="Beam Axial Force", steps=[1, 4]), "missing_block",
     "62: Input past end of file"),
    ("wide", dict(variable="Displacements", export="sheet.xls"), "format_limit",
     "The maximum number of columns in Excel is 256. Cannot create file."),
    ("tenths", dict(variable="Displacements", export="no folder/sheet.xls"), "file_not_found",
     "File not found"),
]


@pytest.mark.parametrize("text, request_, kind, says", MESSAGES)
def test_the_windows_messages_become_exceptions(text, request_, kind, says, listings, tmp_path):
    path = listings[text] if isinstance(text, str) else tmp_path / "listing.out"
    if isinstance(text, bytes):
        path.write_bytes(text)
    request_ = dict(request_ or {})
    sheet = request_.pop("export", None)
    with pytest.raises(voraxextract.Error) as raised:
        with voraxextract.open(path) as listing:
            if sheet:
                listing.export(tmp_path / sheet, **request_)
            else:
                listing.values(**request_)
    number = int(says.split(":")[0].split()[-1]) if ":" in says else None
    check_error(raised.value, kind, [says], number)
    # No sheet, and no folder for one.
    assert list(tmp_path.iterdir()) == ([path] if isinstance(text, bytes) else [])


# Texts of other kinds' messages, or of none: only its kind picks an error's class.
MISLEADING_TEXTS = [
    "Read File Error 62: Input past end of file", "62: Input past end of file",
    "Read File Error 53: File not found", "Read File Error 6: Overflow",
    "Read File Error 75: Path/File access error", "Cannot read but temperature files",
    "The string DESCRIPTION OF THE STRUCTURE was not found. Cannot continue.",
    "The disk is full.", "",
]


def test_the_kind_alone_picks_the_class_whatever_the_text():
    assert sorted(CLASS_OF) == sorted(_core.FAILURE_KINDS), "each kind needs its class here"
    # A second failure of another kind and number: the first one decides.
    second = ("read_failed", 62, "Read File Error 62: Input past end of file", "critical")
    for kind in _core.FAILURE_KINDS:
        for text in MISLEADING_TEXTS:
            for number in (0, 75):
                error = from_failures([(kind, number, text, "critical"), second])
                check_error(error, kind, [text, second[2]], number or None)


def test_progress_reports_and_its_exceptions_stop_the_work():
    reports, own = [], []
    with voraxextract.open(example("dynamic3d.out"), lambda f, t: reports.append(t)) as listing:
        assert "Reading input..." in reports
        reports.clear()
        listing.values("Truss Axial Force")
        listing.values("Truss Axial Force", progress=lambda f, t: own.append(t))
        assert reports == own == ["Reading Truss Axial Force..."] * 6

        class Stop(Exception):
            pass

        for raised in (KeyboardInterrupt, Stop):
            def interrupt(fraction, text):
                own.append(text)
                raise raised

            for work in (lambda: listing.values("Truss Axial Force", progress=interrupt),
                         lambda: voraxextract.open(example("dynamic3d.out"), interrupt)):
                own.clear()
                with pytest.raises(raised):
                    work()
                assert len(own) == 1, "the work stops at the report that raised"
        # Interrupted, the listing reads on as before.
        np.testing.assert_array_equal(listing.values("Truss Axial Force"),
                                      listing.values("Truss Axial Force", steps=range(1, 7)))


# What the last redraw of each bar shows after the scan of a listing, a reading of all its
# steps and one that a missing block stops halfway.
BARS = {
    "tqdm": ["Reading times: 100%|", "Reading Displacements: 100%|",
             "Reading Beam Axial Force:  50%|"],
    "text": ["Reading times... 100%", "Reading Displacements... 100%",
             "Reading Beam Axial Force...  50%"],
}


@pytest.mark.parametrize("bar", BARS)
def test_progress_true_draws_a_bar_on_standard_error_that_every_end_closes(bar, listings,
                                                                             monkeypatch, capsys):
    if bar == "text":
        monkeypatch.setitem(sys.modules, "tqdm.auto", None)  # tqdm is not installed
    with voraxextract.open(listings["dropped"], progress=True) as listing:
        listing.values("Displacements")
        with pytest.raises(voraxextract.MissingBlockError):
            listing.values("Beam Axial Force", steps=[1, 4])
    out, err = capsys.readouterr()
    assert out == "" and err.endswith("\n")
    # One line a bar, each redrawn in place.
    lines = err[:-1].split("\n")
    assert len(lines) == len(BARS[bar])
    for line, last in zip(lines, BARS[bar]):
        assert line.split("\r")[-1].startswith(last), line


def open_descriptors_of(path):
    """How many of this process's descriptors refer to `path`: the core holds the
    listing open while it reads it, and closes it before it returns."""
    count = 0
    for fd in os.listdir("/proc/self/fd"):
        try:
            count += os.readlink(f"/proc/self/fd/{fd}") == str(path)
        except OSError:
            pass  # closed meanwhile
    return count


def test_ctrl_c_without_a_callback_stops_an_extraction(tmp_path):
    path = generate(tmp_path / "long.out", "--kind", "dynamic", "--nodes", 3000, "--steps", 200)
    seen_reading = []

    def handler(signum, frame):
        # A signal is handled where the interpreter or the extraction looks for one. The
        # first seen while the extraction reads the listing stops it; the others pass (one
        # may still come while the stopped reading lets go of the listing, on a busy
        # machine).
        if open_descriptors_of(path) > 0:
            seen_reading.append(True)
            if len(seen_reading) == 1:
                raise KeyboardInterrupt

    previous = signal.signal(signal.SIGALRM, handler)
    try:
        with voraxextract.open(path) as listing:
            signal.setitimer(signal.ITIMER_REAL, 0.002, 0.002)
            with pytest.raises(KeyboardInterrupt):
                for _ in range(200):
                    listing.values("Displacements")
            signal.setitimer(signal.ITIMER_REAL, 0)
            assert open_descriptors_of(path) == 0
    finally:
        signal.setitimer(signal.ITIMER_REAL, 0)
        signal.signal(signal.SIGALRM, previous)
    assert seen_reading and len(seen_reading) <= 3


def test_threads_read_one_listing_at_once(dynamic):
    expected = {v: dynamic.values(v) for v in dynamic.variables}
    results, failures = [], []

    def read():
        try:
            for variable, values in expected.items():
                results.append(np.array_equal(dynamic.values(variable), values))
        except Exception as error:  # noqa: BLE001 - reported below
            failures.append(error)

    threads = [threading.Thread(target=read) for _ in range(4)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert failures == [] and len(results) == 4 * len(expected) and all(results)


# voraxextract.read(): open(path).frame(...) in one reading of the listing.
READ_REQUESTS = [
    ("dynamic3d.out", "Displacements", dict(vector="DOF3")),
    ("dynamic3d.out", "Beam Stresses", dict(vector=1, items=[3, 1, 3], steps=[5, 2, 5])),
    ("static2d.out", "Membrane Force N1", dict(times=["120", 60])),
    ("thermal.out", "Temperature", dict(items=range(2, 9))),
    ("dropped", "Beam Axial Force", dict()),  # a block missing from step 3 on
    ("wide", "Displacements", dict(items=[301])),
    ("wide", "Displacements", dict(steps=[5])),
    ("wide", 7, dict()),
]


@pytest.mark.parametrize("name, variable, request_", READ_REQUESTS)
def test_read_is_open_then_frame(name, variable, request_, listings):
    path = listings.get(name) or example(name)

    def outcome(read):
        try:
            return read()
        except Exception as error:  # noqa: BLE001 - the same exception either way
            return type(error), str(error)

    alone = outcome(lambda: voraxextract.read(path, variable, **request_))
    with voraxextract.open(path) as listing:
        opened = outcome(lambda: listing.frame(variable, **request_))
    if isinstance(opened, tuple):
        assert alone == opened
    else:
        import pandas

        pandas.testing.assert_frame_equal(alone, opened)


def test_read_reads_the_listing_once(tmp_path):
    path = generate(tmp_path / "big.out", "--kind", "dynamic", "--size", "16M")

    def read_bytes():
        with open("/proc/self/io") as io:
            return next(int(line.split()[1]) for line in io if line.startswith("rchar:"))

    before = read_bytes()
    frame = voraxextract.read(path, "Displacements", "DOF1", threads=2)
    read = read_bytes() - before
    assert frame.shape[0] > 100
    assert read <= 1.05 * os.path.getsize(path), read / os.path.getsize(path)
