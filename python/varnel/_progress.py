"""Progress of the long whole-study calls: the library reports (fits done,
fits known so far) on the calling thread; progress=True shows a tqdm bar
when tqdm is installed, else a line on standard error."""

from __future__ import annotations

import sys
from contextlib import contextmanager
from typing import Callable, Iterator, Optional, Union

#: What the calls take as ``progress``: True for a bar, False or None for
#: none, or a callable taking (done, total).
Progress = Union[bool, None, Callable[[int, int], None]]


class _Line:
    """A bar on standard error, redrawn in place: ``fitting [=====   ] 12/40``."""

    width = 40

    def __init__(self, what: str) -> None:
        self._what = what
        self._drawn = False

    def __call__(self, done: int, total: int) -> None:
        filled = self.width * done // total if total else self.width
        sys.stderr.write(f"\r{self._what} [{'=' * filled}{' ' * (self.width - filled)}] "
                         f"{done}/{total}")
        sys.stderr.flush()
        self._drawn = True

    def close(self) -> None:
        if self._drawn:
            sys.stderr.write("\n")
            sys.stderr.flush()


class _Tqdm:
    """A tqdm bar, made at the first report (its total known), whose total
    grows as the library finds more fits to do."""

    def __init__(self, what: str, tqdm: type) -> None:
        self._what = what
        self._tqdm = tqdm
        self._bar = None

    def __call__(self, done: int, total: int) -> None:
        if self._bar is None:
            self._bar = self._tqdm(desc=self._what, total=total, unit="fit")
        elif total != self._bar.total:
            self._bar.total = total
            self._bar.refresh()
        self._bar.update(done - self._bar.n)

    def close(self) -> None:
        if self._bar is not None:
            self._bar.close()


@contextmanager
def reporter(progress: Progress, what: str) -> Iterator[Optional[Callable[[int, int], None]]]:
    """The callable to give the library for ``progress``, closed afterwards."""
    if progress is None or progress is False:
        yield None
        return
    if progress is True:
        try:
            from tqdm.auto import tqdm
        except ImportError:
            bar: Union[_Line, _Tqdm] = _Line(what)
        else:
            bar = _Tqdm(what, tqdm)
        try:
            yield bar
        finally:
            bar.close()
        return
    if not callable(progress):
        raise TypeError("progress must be True, False, None or a callable taking (done, total)")
    yield progress
