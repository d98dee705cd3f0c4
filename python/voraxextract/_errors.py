"""The exceptions of voraxextract: the messages VoraxExtract's window would show."""


class Error(Exception):
    """A message that VoraxExtract's window would show, raised instead.

    ``str(error)`` is the message's text exactly as the window shows it (when one
    operation showed several, one a line); ``error.messages`` holds them in order,
    ``error.number`` the failure number the first one shows (6 overflow, 53 file not
    found, 62 input past end of file, ...), or None when it shows none, and
    ``error.kind`` what went wrong, by name ("not_a_listing", "missing_block",
    "value_too_large", "file_not_found", "access_denied", "file_locked", "format_limit",
    "read_failed", "write_failed"), or None for an Error made by hand.
    """

    def __init__(self, *messages, numbers=(), kinds=()):
        super().__init__(*messages)
        self._numbers = tuple(numbers)
        self._kinds = tuple(kinds)

    def __str__(self):
        return "\n".join(str(m) for m in self.args)

    @property
    def messages(self):
        """The messages, in the order they were shown."""
        return [str(m) for m in self.args]

    @property
    def number(self):
        """The failure number the first message shows, or None."""
        return self._numbers[0] or None if self._numbers else None

    @property
    def kind(self):
        """What went wrong first, by name; None for an Error made by hand."""
        return self._kinds[0] if self._kinds else None


class NotAListingError(Error):
    """The file is no listing VoraxExtract reads: no VORAX identification line before
    its end ("Read File Error 62: Input past end of file"), or an analysis other than
    thermal, static or dynamic ("Cannot read but temperature files")."""


class MissingBlockError(Error):
    """A part of the listing that the reading needs is not there: the block of the
    requested variable after a selected time step ("62: Input past end of file"), or
    the description or node positions of a thermal listing."""


class ValueTooLargeError(Error):
    """A number or count of the listing does not fit its field: a value too large for
    a single, or more steps, records or labels than a 16-bit counter holds (failure 6,
    "Overflow")."""


class MissingFileError(Error, FileNotFoundError):
    """The file, or a folder on its path, does not exist: the listing to open, or the
    folder a sheet is to be written in ("Read File Error 53: File not found")."""


class FileAccessError(Error, PermissionError):
    """The user may not read the listing or write the sheet there ("Read File Error 75:
    Path/File access error")."""


# The class of each kind of failure; any other kind is a plain Error.
_CLASSES = {
    "not_a_listing": NotAListingError,
    "missing_block": MissingBlockError,
    "value_too_large": ValueTooLargeError,
    "file_not_found": MissingFileError,
    "access_denied": FileAccessError,
}


def from_failures(failures):
    """The exception for the failures one operation reported, each (kind, number, text,
    icon), of the class the first one's kind calls for."""
    kinds = [kind for kind, _, _, _ in failures]
    cls = _CLASSES.get(kinds[0], Error) if kinds else Error
    return cls(*(text for _, _, text, _ in failures),
               numbers=[number for _, number, _, _ in failures], kinds=kinds)
