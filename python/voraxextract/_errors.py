"""The exceptions of voraxextract: the messages VoraxExtract's window would show."""

import re

_NUMBERED = re.compile(r"(?:Read File Error )?(\d+): ")


class Error(Exception):
    """A message that VoraxExtract's window would show, raised instead.

    ``str(error)`` is the message's text exactly as the window shows it (when one
    operation showed several, one a line); ``error.messages`` holds them in order, and
    ``error.number`` the failure number the first one carries (6 overflow, 53 file not
    found, 62 input past end of file, ...), or None when it carries none.
    """

    def __init__(self, *messages):
        super().__init__(*messages)

    def __str__(self):
        return "\n".join(str(m) for m in self.args)

    @property
    def messages(self):
        """The messages, in the order they were shown."""
        return [str(m) for m in self.args]

    @property
    def number(self):
        """The failure number of the first message, or None."""
        found = _NUMBERED.match(str(self.args[0])) if self.args else None
        return int(found.group(1)) if found else None


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


def from_messages(messages, stage):
    """The exception for the messages that one operation ("open", "values", "export")
    showed, of the subclass their first message calls for."""
    error = Error(*messages)
    first = error.messages[0] if messages else ""
    if error.number == 6:
        kind = ValueTooLargeError
    elif stage == "open" and (error.number == 62 or first == "Cannot read but temperature files"):
        kind = NotAListingError
    elif first.startswith("The string ") and first.endswith(" was not found. Cannot continue."):
        kind = MissingBlockError
    elif stage != "open" and error.number == 62:
        kind = MissingBlockError
    else:
        kind = Error
    return kind(*messages)
