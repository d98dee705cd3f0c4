"""VORAX listings as numpy arrays and pandas frames.

A listing is scanned once when it is opened, exactly as VoraxExtract's window scans it;
then any number of requests read the values of one result variable for chosen items
(nodes, elements or fibres) at chosen time steps::

    import voraxextract

    with voraxextract.open("run.out") as listing:
        print(listing.summary["NodeCount"], listing.times)
        u3 = listing.values("Displacements", "DOF3", items=range(1, 101))
        frame = listing.frame("Displacements", "DOF3", items=[1, 50, 100])
        listing.export("u3.xls", "Displacements", "DOF3", items=range(1, 101))

Requests follow the window's rules: only the variables and vector kinds the listing
offers, items within the variable's bound, steps the listing holds. An argument that
breaks them raises ValueError (TypeError for one of the wrong type) naming it; what the
window would show in a message box is raised as voraxextract.Error (or a subclass).

Long scans and extractions run without the GIL, call the optional progress callback
``progress(fraction, text)`` now and then (``progress=True`` shows a progress bar: tqdm's
where it is installed, in a notebook too, a line of text otherwise), and stop at their
next report when Ctrl+C is pressed (KeyboardInterrupt) or the callback raises.

One request of a listing not kept open, its scan and its values in one reading of the
file: voraxextract.read(path, "Displacements", "DOF3"). Two runs value by value:
voraxextract.compare(a, b). Many listings at once, on Dask: voraxextract.dask.extract_many.
"""

import collections
import collections.abc
import contextlib
import operator
import os

from . import _core
from ._errors import (Error, FileAccessError, MissingBlockError, MissingFileError,
                      NotAListingError, ValueTooLargeError, from_failures)
from ._progress import progress_callback

__all__ = ["open", "read", "compare", "Listing", "ListingReplacedWarning", "IncompleteStepWarning", "Variable", "Error", "NotAListingError", "MissingBlockError",
           "ValueTooLargeError", "MissingFileError", "FileAccessError"]

_INT64 = range(-(2**63), 2**63)


IncompleteStepWarning = _core.IncompleteStepWarning
IncompleteStepWarning.__module__ = "voraxextract"
IncompleteStepWarning.__doc__ = """A request reaches into the last step of a listing still being written, which
is not complete yet: the step and the first item not written are named; what is not
written reads as the extraction reads a listing cut short."""


class ListingReplacedWarning(UserWarning):
    """A listing being followed was replaced or shortened and was read again from the start."""


class Variable(collections.namedtuple("Variable", "name range vector_kinds bound")):
    """A result variable the listing offers, as the window's lists offer it.

    name: its name ("Displacements", "Beam Axial Force", ...);
    range: what its items are ("Nodes", "Beams", "Fibers", ...);
    vector_kinds: the entries of its vector-kind list ("DOF1", ..., "N1", ..., a beam
    point's label), empty for a variable without them;
    bound: the greatest item number (0 for "Eigen Values", which has a single value).
    """

    __slots__ = ()


@contextlib.contextmanager
def _raising_failures():
    try:
        yield
    except _core.Failed as failed:
        raise from_failures(failed.args[0]) from None


def _checked_progress(progress):
    if progress is not None and progress is not True and not callable(progress):
        raise TypeError(f"progress must be callable(fraction, text), True or None, not "
                        f"{type(progress).__name__}")
    return progress


def _each(what, values, kinds, convert):
    """The elements of an iterable argument (not a text), each converted; `kinds` says what
    they may be, for the TypeError of anything else."""
    if isinstance(values, (str, bytes)) or not isinstance(values, collections.abc.Iterable):
        raise TypeError(f"{what}s must be an iterable of {kinds}, not {type(values).__name__}")
    converted = []
    for value in values:
        try:
            if isinstance(value, bool):
                raise TypeError
            converted.append(convert(value))
        except TypeError:
            raise TypeError(f"{what} {value!r} is not one of {kinds}") from None
        except ValueError as error:
            raise ValueError(f"{what} {error}") from None
    return converted


def _whole_number(value):
    number = operator.index(value)
    if number not in _INT64:
        raise ValueError(f"{number} is outside the listing's range")
    return number


def _time(value):
    return value if isinstance(value, str) else float(value)


def _checked_threads(threads):
    if isinstance(threads, bool) or not isinstance(threads, int):
        raise TypeError(f"threads must be a whole number, not {type(threads).__name__}")
    if not 0 <= threads <= 256:
        raise ValueError(f"threads {threads} is not a count from 0 to 256")
    return threads


def _vector_choice(variable, vector):
    """A vector kind as the core takes it: its text, or its place as a whole number."""
    if isinstance(vector, str):
        return vector
    if isinstance(vector, bool) or not hasattr(vector, "__index__"):
        raise TypeError(f"vector must be a vector kind (str) or its place (int), not "
                        f"{type(vector).__name__}")
    index = operator.index(vector)
    if index not in _INT64:
        raise ValueError(f"vector index {index} is not an entry of '{variable}'")
    return index


def _frame(array, times, items, label):
    import pandas

    return pandas.DataFrame(array, index=pandas.Index(times, name="Time"),
                            columns=pandas.Index(items, name=label), copy=False)


def _table_frame(columns):
    # A result table of the core: (header, values, empty) triples; a column of whole
    # numbers with empty cells becomes pandas' nullable Int64.
    import pandas

    data = {}
    for header, values, empty in columns:
        if empty is not None and values.dtype.kind == "i":
            values = pandas.arrays.IntegerArray(values, empty)
        data[header] = values
    return pandas.DataFrame(data)


def _arguments(variable, vector, items, steps, times):
    arguments = _core.Arguments()
    if not isinstance(variable, str):
        raise TypeError(f"variable must be a name (str), not {type(variable).__name__}")
    arguments.variable = variable
    if isinstance(vector, str):
        arguments.vector = vector
    elif vector is not None:
        arguments.vector_index = _vector_choice(variable, vector)
    if items is not None:
        arguments.items = _each("item", items, "whole numbers or a range", _whole_number)
    if steps is not None and times is not None:
        raise TypeError("give steps or times, not both")
    if steps is not None:
        arguments.steps = _each("step", steps, "whole numbers or a range", _whole_number)
    if times is not None:
        arguments.times = _each("time", times, "times (numbers or texts)", _time)
    return arguments


def _peaks_arguments(variable, vector, items, steps, over, times):
    if over not in ("steps", "items"):
        raise ValueError(f"over must be 'steps' or 'items', not {over!r}")
    several = isinstance(vector, (list, tuple))
    arguments = _arguments(variable, None if several else vector, items, steps, times)
    if several:
        arguments.vectors = [_vector_choice(variable, v) for v in vector]
    return arguments


def _peaks_frame(columns, vector, over):
    frame = _table_frame(columns)
    if not isinstance(vector, (list, tuple)):
        frame = frame.drop(columns="Vector")
    return frame.set_index("Item" if over == "steps" else "Step")


def open(path, progress=None, *, threads=0):  # noqa: A001 - the module's promised name
    """Opens the VORAX listing at `path` (str, bytes or path-like) and scans it once.

    The scan is the window's: identification, header, counts, every time step and the
    blocks of the first step. `progress`, when given, is called as progress(fraction,
    text) while the scan runs (and by every extraction, unless it is given its own); True
    shows a progress bar instead.
    `threads`: how many threads the scan and every extraction of the listing read on; 0,
    the default, is one per processor (at most four). Fewer suit several listings read
    at once in one machine's processes.

    Returns a Listing, which is also a context manager. Raises NotAListingError for a
    file that is no listing VoraxExtract reads, MissingFileError (a FileNotFoundError too)
    for a file that is not there, FileAccessError (a PermissionError too) for one the user
    may not read, and Error (or a subclass) for any other message the window would show
    while opening it, with the same text.
    """
    return Listing(path, progress, threads=threads)


def read(path, variable, vector=None, items=None, steps=None, *, times=None, progress=None,
         threads=0):
    """One request of the listing at `path`, read in one reading of the file: the scan and
    the values together, where open(path).frame(...) reads it twice (the scan, then the
    values). Returns the same pandas DataFrame as open(path).frame(variable, vector, items,
    steps, times=times), and raises what opening the listing and that call raise, the
    request's types checked first (TypeError). `progress` and `threads` as for open().

    For one request of each of many listings (a study); a listing asked several requests is
    better opened once.
    """
    return _frame(*_read_parts(path, variable, vector, items, steps, times, progress, threads))


def _read_parts(path, variable, vector, items, steps, times, progress, threads):
    # What read() makes its frame of, as plain arrays and lists (Dask workers send these).
    arguments = _arguments(variable, vector, items, steps, times)
    _checked_threads(threads)
    with _raising_failures(), progress_callback(_checked_progress(progress)) as callback:
        array, items, _, index, label = _core.read(os.fsencode(os.fspath(path)), arguments,
                                                   callback, threads)
    return array, index, items, label


def _read_peaks(path, variable, vector=None, items=None, steps=None, over="steps", *,
                times=None, progress=None, threads=0):
    # Listing.peaks() of the listing at `path`, its scan and its values in one reading.
    arguments = _peaks_arguments(variable, vector, items, steps, over, times)
    _checked_threads(threads)
    with _raising_failures(), progress_callback(_checked_progress(progress)) as callback:
        columns = _core.read_peaks(os.fsencode(os.fspath(path)), arguments, over == "steps",
                                   callback, threads)
    return _peaks_frame(columns, vector, over)


class Listing:
    """One scanned VORAX listing. Make it with voraxextract.open(path).

    summary, times and variables tell what it holds; values(), frame() and export() read
    one variable for chosen items at chosen time steps. The listing is never written to
    and holds no open file between calls; close() (or the end of a with block) ends its
    use.
    """

    def __init__(self, path, progress=None, *, threads=0):
        self._path = os.fspath(path)
        self._progress = _checked_progress(progress)
        _checked_threads(threads)
        with _raising_failures(), progress_callback(self._progress) as callback:
            self._core = _core.Listing(os.fsencode(self._path), callback, threads)
        self._learn()

    def _learn(self):
        # What the scan found, as the requests and frames use it.
        self._offered = {}
        for name, range_, kinds, bound, needs_range, label in self._core.variables():
            self._offered[name] = (Variable(name, range_, tuple(kinds), bound), label)
        # The frames' index: each step's time as the shortest decimal of its single.
        self._time_index = [step["Time"] for step in self._core.summary()["Times"]]

    # --- what the listing holds -------------------------------------------------------

    @property
    def path(self):
        """The path the listing was opened with."""
        return self._path

    @property
    def closed(self):
        """True once close() has been called."""
        return self._core.closed

    @property
    def summary(self):
        """What the scan found, as a dict with the keys of `voraxextract-cli info --json`.

        Version, AnalysisType (1 thermal, 2 static, 4 dynamic), Ndim, the counts
        (NodeCount, SolidCount, TrussCount, BeamCount, ShellCount, SoilCount,
        BeamPointCount, ShellSurfaceCount, FiberCount, TimeCount), the Has... flags of the
        blocks of the first step, StressPoints and TangentPoints (beam point labels),
        Times (each step's Time, as the shortest decimal of its single-precision value,
        and the byte Position its results start at), Variables (Name, Range,
        VectorKinds, Bound) and Messages (always empty here: a message raises instead).
        """
        return self._core.summary()

    @property
    def times(self):
        """The time of every step, in file order, as a numpy float32 array: the listing's
        single-precision values. Step n (1-based) is times[n - 1]."""
        return self._core.times()

    @property
    def variables(self):
        """The variables the listing offers, in the window's order: a dict from each name
        to its Variable (name, range, vector_kinds, bound)."""
        return {name: variable for name, (variable, _) in self._offered.items()}

    # --- requests -------------------------------------------------------------------

    def values(self, variable, vector=None, items=None, steps=None, *, times=None,
               progress=None):
        """The values of `variable` as a 2-D numpy float32 array, steps by items.

        variable: a name of `variables` ("Displacements", "Beam Axial Force", ...).
        vector:   the vector kind, as the window lists it ("DOF3", "N2", "Surface 1", a
                  beam point's label), or its 0-based place in that list; default the
                  first, where the window starts.
        items:    item numbers (nodes, elements or fibres), an iterable or a range, in the
                  order wanted, repeats kept; default every item from 1 to the bound.
        steps:    1-based time-step numbers, in the order wanted, repeats kept; default
                  every step in file order.
        times:    instead of steps, times (numbers or the texts the window lists), added
                  as a double-click in the window adds them: sorted by time, repeats
                  skipped. A number is taken as a single-precision value.
        progress: a callable(fraction, text) for this call, or True for a progress bar;
                  default the listing's.

        Row i holds step steps[i], column j item items[j]: the listing's single-precision
        values, read as the window's export reads them. Raises ValueError or TypeError
        for a request the window would refuse, naming the bad argument, and
        voraxextract.Error (MissingBlockError, ValueTooLargeError, ...) with the window's
        message when the reading fails.
        """
        array, _, _ = self._extract(variable, vector, items, steps, times, progress)
        return array

    def frame(self, variable, vector=None, items=None, steps=None, *, times=None,
              progress=None):
        """The same values as values(), as a pandas DataFrame.

        Its index, named "Time", holds each row's time (the shortest decimal of the
        step's single-precision time, so that frame.loc[0.1] finds the step at 0.1); its
        columns, named after the items ("Node", "Beam", "Fiber", ...), the item numbers.
        pandas is imported on the first call.
        """
        return _frame(*self._frame_parts(variable, vector, items, steps, times, progress))

    def export(self, path, variable, vector=None, items=None, steps=None, columns=False, *,
               times=None, progress=None):
        """Writes the same request to a spreadsheet at `path`, as the window's Save does.

        The sheet is the window's: a heading block, then the times down and the items
        across, or with columns=True the times across. The extension of `path` picks the
        format: .xlsx an Excel workbook and .csv comma-separated text, both with the values
        in full; anything else the Excel 2.x (.xls) file, values rounded to six decimals.
        The listing itself is never written over (ValueError). Messages the window would
        show while saving (a sheet too large, a file held by another program, a full disk,
        ...) raise voraxextract.Error with their text. Other arguments as for values().
        """
        output = os.fspath(path)
        arguments = self._arguments(variable, vector, items, steps, times)
        with _raising_failures(), progress_callback(self._progress_for(progress)) as callback:
            self._core.export(os.fsencode(output), arguments, bool(columns), callback)

    def peaks(self, variable, vector=None, items=None, steps=None, over="steps", *,
              times=None, progress=None):
        """The largest and smallest values of a request and where they stand, as a pandas
        DataFrame, read in one pass over the listing without holding the series.

        over="steps" (the default): a row per item, indexed by "Item": "Max", "Time of
        max", "Step of max", "Min", "Time of min", "Step of min", and "Abs max" (the
        signed value whose magnitude is largest), "Time of abs max", "Step of abs max".
        over="items": a row per step, indexed by "Step": "Time", "Max", "Item of max",
        "Min", "Item of min" and "Mean" (of the items' values, in double precision).

        Each peak is the first in the request's order; values and times are the singles
        read (float32, as values() gives them), steps 1-based. vector may name several
        vector kinds (a list of texts or places): their rows stand one kind after the
        other, with a "Vector" column. Other arguments as for values(); items are passed
        over for "Eigen Values", whose one value per step is item 1.
        """
        arguments = _peaks_arguments(variable, vector, items, steps, over, times)
        with _raising_failures(), progress_callback(self._progress_for(progress)) as callback:
            columns = self._core.peaks(arguments, over == "steps", callback)
        return _peaks_frame(columns, vector, over)

    # --- a listing still being written ---------------------------------------------------

    def refresh(self, *, progress=None):
        """Reads what was added to the listing since it was read and returns the number of
        new time steps; times, summary and later requests include them.

        Only the added bytes are read (from the start of the last line read, which may have
        been cut short). A listing that shrank or was replaced (a rerun writing a new
        listing under the same name) is read again from the start, with a warning
        (voraxextract.ListingReplacedWarning); the number is then the change in steps.
        """
        import warnings

        with _raising_failures(), progress_callback(self._progress_for(progress)) as callback:
            added, grew, _, replaced = self._core.refresh(callback)
        self._grew = grew
        if grew:
            self._learn()
        if replaced:
            warnings.warn(f"{self._path}: the listing was replaced or shortened; it was read "
                          "again from the start", ListingReplacedWarning, stacklevel=2)
        return added

    def follow(self, variable, vector=None, items=None, idle=None, *, from_now=False,
               poll=0.2):
        """Yields (step, time, values) for each step of a listing still being written, as
        the step is completed: when the next step's time line has been written, or, with
        `idle` (seconds), when the listing has not grown for that long — then the last step
        is yielded as complete and the generator ends. values is a float32 array of the
        items (as values() gives one step). from_now: start with the first step completed
        after the call; poll: seconds between looks at the listing.
        """
        import time as clock

        step = max(len(self._time_index), 1) if from_now else 1
        last_growth = clock.monotonic()
        while True:
            ending = idle is not None and clock.monotonic() - last_growth >= idle
            last = len(self._time_index) if ending else len(self._time_index) - 1
            while step <= last:
                array = self.values(variable, vector, items, steps=[step])
                yield step, float(self.times[step - 1]), array[0]
                step += 1
            if ending:
                return
            clock.sleep(poll)
            before = len(self._time_index)
            self.refresh()
            if self._grew:
                last_growth = clock.monotonic()
            if len(self._time_index) < before:
                step = 1

    def close(self):
        """Ends the use of the listing; any later request raises ValueError."""
        self._core.close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def __repr__(self):
        state = "closed" if self.closed else f"{len(self._time_index)} steps"
        return f"<voraxextract.Listing {self._path!r}, {state}>"

    # --- helpers ----------------------------------------------------------------------

    def _progress_for(self, progress):
        return self._progress if progress is None else _checked_progress(progress)

    def _arguments(self, variable, vector, items, steps, times):
        return _arguments(variable, vector, items, steps, times)

    def _frame_parts(self, variable, vector, items, steps, times, progress):
        # What a frame is made of, as plain arrays and lists: a Dask worker sends these,
        # which travel three times as fast as the frame itself.
        array, items, steps = self._extract(variable, vector, items, steps, times, progress)
        index = [self._time_index[step - 1] for step in steps]
        return array, index, items, self._offered[variable][1]

    def _extract(self, variable, vector, items, steps, times, progress):
        arguments = self._arguments(variable, vector, items, steps, times)
        with _raising_failures(), progress_callback(self._progress_for(progress)) as callback:
            return self._core.values(arguments, callback)


def compare(a, b, variables=None, rtol=0.0, atol=0.0, *, progress=None):
    """Compares two listings value by value, as a regression check of one run (b) against
    another (a), and returns the table as a pandas DataFrame.

    a and b are paths or open Listings. Every variable and vector kind both offer (or the
    names in `variables`) is compared, steps matched by number (1 to the smaller step
    count) and items by number (1 to the smaller bound); values x and y agree when
    |x - y| <= atol + rtol * max(|x|, |y|). A row per variable and kind, after a first row
    "Times" for the times of the matched steps: "Variable", "Vector", "Items", "Steps",
    "Max abs diff", "Max rel diff", and where the difference measured against the
    tolerance is largest: "Item", "Step", "Time", "A", "B"; "Agree" (bool).

    frame.attrs["agree"]: True when every row agrees and the structure does;
    frame.attrs["structure"]: the differences of structure (analysis type, dimensions,
    counts, variables or vector kinds offered by one listing only), a text each.
    A message while either listing is read raises voraxextract.Error (or a subclass); a
    variable offered by neither raises ValueError.
    """
    if isinstance(variables, str):
        variables = [variables]
    names = list(variables) if variables is not None else []
    for name in names:
        if not isinstance(name, str):
            raise TypeError(f"variables must be names (str), not {type(name).__name__}")
    tolerances = {}
    for label, value in (("rtol", rtol), ("atol", atol)):
        if isinstance(value, bool) or not isinstance(value, (int, float)):
            raise TypeError(f"{label} must be a number, not {type(value).__name__}")
        if not (value >= 0 and value != float("inf")):
            raise ValueError(f"{label} must be a non-negative finite number, not {value!r}")
        tolerances[label] = float(value)
    if isinstance(a, Listing) and isinstance(b, Listing):
        with _raising_failures(), progress_callback(a._progress_for(progress)) as callback:
            columns, agree, structure = a._core.compare(
                b._core, names, tolerances["rtol"], tolerances["atol"], callback)
    elif isinstance(a, Listing) or isinstance(b, Listing):
        with contextlib.ExitStack() as opened:
            first, second = (x if isinstance(x, Listing)
                             else opened.enter_context(Listing(x, progress)) for x in (a, b))
            return compare(first, second, names, rtol, atol, progress=progress)
    else:
        # Two paths: each listing read once, its scan and its values in one reading.
        paths = [os.fsencode(os.fspath(x)) for x in (a, b)]
        with _raising_failures(), progress_callback(_checked_progress(progress)) as callback:
            columns, agree, structure = _core.compare_paths(
                paths[0], paths[1], names, tolerances["rtol"], tolerances["atol"], callback, 0)
    frame = _table_frame(columns)
    frame.attrs["agree"] = bool(agree)
    frame.attrs["structure"] = list(structure)
    return frame
