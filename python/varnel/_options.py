"""The keyword arguments of the whole-study calls as the library's options:
one mapping function per options struct (as the command's options.cpp maps
its command-line options).  The library checks the values; here only their
types are."""

from __future__ import annotations

import numbers
import operator
from typing import Any, List, Optional, Sequence, Union

from . import _core
from ._cases import number_text

#: One number or a sequence of numbers.
Numbers = Union[float, Sequence[float], None]


def number_list(value: Numbers, name: str) -> List[float]:
    """None as no values, one number as one value, a sequence as its values."""
    if value is None:
        return []
    if isinstance(value, numbers.Real):
        return [float(value)]
    try:
        return [float(v) for v in value]  # type: ignore[union-attr]
    except TypeError:
        raise TypeError(f"{name} must be a number or a sequence of numbers, not "
                        f"{type(value).__name__}") from None


def whole(value: Any, name: str) -> int:
    """A whole number (int or NumPy integer)."""
    try:
        return operator.index(value)
    except TypeError:
        raise TypeError(f"{name} must be a whole number, not {type(value).__name__}") from None


def threads(value: Optional[int]) -> int:
    """None: one per core (0 for the library); otherwise at least 1."""
    if value is None:
        return 0
    n = whole(value, "threads")
    if n < 1:
        raise ValueError(f"threads must be at least 1, or None for one per core (not {n})")
    return n


def binning_options(cutpoints: Numbers, categories: int) -> _core._BinningOptions:
    """varnel-study's --cutpoints and --categories."""
    options = _core._BinningOptions()
    options.cutpoints = number_list(cutpoints, "cutpoints")
    options.categories = whole(categories, "categories")
    return options


def table_fit_options(criterion: float, chance: Numbers,
                      noloc: Optional[int]) -> _core._TableFitOptions:
    """varnel-study's --criterion, --chance and --noloc."""
    options = _core._TableFitOptions()
    options.criterion = float(criterion)
    options.chance = number_list(chance, "chance")
    options.noloc = 0 if noloc is None else whole(noloc, "noloc")
    return options


def compare_options(fom: str, target: Optional[int], alpha: float, reference: Optional[str],
                    binning: _core._BinningOptions,
                    fit: _core._TableFitOptions) -> _core._CompareOptions:
    """varnel-study compare's --fom, --target, --alpha and --reference, with
    the binning and fit options (used by the model-based FOMs only)."""
    if not isinstance(fom, str):
        raise TypeError(f"fom must be a str such as 'wilcoxon', not {type(fom).__name__}")
    if isinstance(reference, numbers.Real) and not isinstance(reference, bool):
        reference = number_text(reference)  # a reader named by a number, as read_cases names it
    elif reference is not None and not isinstance(reference, str):
        raise TypeError(f"reference must be a reader's name, not {type(reference).__name__}")
    options = _core._CompareOptions()
    options.fom = fom
    options.target = 0 if target is None else whole(target, "target")
    options.alpha = float(alpha)
    options.reference = reference
    options.binning = binning
    options.fit = fit
    return options
