"""The keyword arguments of the whole-study calls as the library's options:
one mapping function per options struct (as the command's options.cpp maps
its command-line options).  The library checks the values; here only their
types are."""

from __future__ import annotations

import numbers
import operator
from typing import Any, List, Optional, Sequence, Tuple, Union

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


def binning_options(cutpoints: Numbers, categories: int,
                    binning: str = "study") -> _core._BinningOptions:
    """varnel-study's --cutpoints, --categories and --binning."""
    options = _core._BinningOptions()
    options.cutpoints = number_list(cutpoints, "cutpoints")
    options.categories = whole(categories, "categories")
    if not isinstance(binning, str):
        raise TypeError(f"binning must be 'study' or 'reader', not {type(binning).__name__}")
    options.scope = binning
    return options


def bootstrap(gof_bootstrap: int, seed: int) -> Tuple[int, int]:
    """--gof-bootstrap B (0 or more) and --seed S (0 or more)."""
    b = whole(gof_bootstrap, "gof_bootstrap")
    if b < 0:
        raise ValueError(f"gof_bootstrap must be 0 (none) or more replicates (not {b})")
    s = whole(seed, "seed")
    if not 0 <= s < 2 ** 64:
        raise ValueError(f"seed must be a whole number from 0 to 2**64 - 1 (not {s})")
    return b, s


def table_fit_options(criterion: float, chance: Numbers,
                      noloc: Optional[int]) -> _core._TableFitOptions:
    """varnel-study's --criterion, --chance and --noloc."""
    options = _core._TableFitOptions()
    options.criterion = float(criterion)
    options.chance = number_list(chance, "chance")
    options.noloc = 0 if noloc is None else whole(noloc, "noloc")
    return options


def compare_options(fom: str, target: Optional[int], alpha: float, reference: Optional[str],
                    binning: _core._BinningOptions, fit: _core._TableFitOptions,
                    margin: Optional[float] = None, localization: Optional[str] = None,
                    gof_bootstrap: int = 0, seed: int = 1) -> _core._CompareOptions:
    """varnel-study compare's --fom, --target, --alpha, --reference and
    --margin, with the binning and fit options, --localization,
    --gof-bootstrap and --seed (used by the model-based FOMs only, as the
    command uses them)."""
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
    options.margin = None if margin is None else float(margin)
    if localization is not None and not isinstance(localization, str):
        raise TypeError(f"localization must be 'use', 'ignore' or None, not "
                        f"{type(localization).__name__}")
    if options.model_based:
        options.binning = binning
        options.fit = fit
        options.localization = localization
        options.gof_bootstrap, options.seed = bootstrap(gof_bootstrap, seed)
    return options
