"""progress=True: a progress bar as Python users expect one, tqdm's where it is installed
(a widget in a notebook), a line of text on standard error otherwise."""

import contextlib
import sys


@contextlib.contextmanager
def progress_callback(progress):
    """What the core calls while one operation runs: `progress` itself (a callable or
    None), or for True a bar that the operation's end closes."""
    if progress is not True:
        yield progress
        return
    bar = _new_bar()
    done = False
    try:
        yield bar.update
        done = True
    finally:
        bar.close(done)


def _percent(fraction):
    return min(100, max(0, round(fraction * 100)))


def _new_bar():
    try:
        from tqdm.auto import tqdm
    except ImportError:
        return _TextBar(sys.stderr)
    return _TqdmBar(tqdm)


class _TqdmBar:
    """Made at the first report, so that an operation refused before it reads shows none."""

    def __init__(self, tqdm):
        self._tqdm = tqdm
        self._bar = None
        self._text = None

    def update(self, fraction, text):
        if self._bar is None:
            self._bar = self._tqdm(total=100, unit="%", bar_format="{desc}: {percentage:3.0f}%|"
                                                                   "{bar}| [{elapsed}<{remaining}]")
        if text != self._text:
            self._text = text
            self._bar.set_description_str(text.rstrip("."), refresh=False)
        self._bar.update(_percent(fraction) - self._bar.n)

    def close(self, done):
        if self._bar is None:
            return
        if done:
            self._bar.update(100 - self._bar.n)
        self._bar.close()


class _TextBar:
    def __init__(self, stream):
        self._stream = stream
        self._text = None
        self._shown = None

    def update(self, fraction, text):
        self._text = text
        line = f"{text} {_percent(fraction):3d}%"
        if line != self._shown:
            self._shown = line
            self._stream.write("\r" + line)
            self._stream.flush()

    def close(self, done):
        if self._shown is None:
            return
        if done:
            self.update(1.0, self._text)
        self._stream.write("\n")
        self._stream.flush()
