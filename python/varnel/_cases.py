"""Per-case ratings of a reader study from a pandas DataFrame or a CSV file.

A DataFrame's columns become the library's columns in memory (texts,
numbers or truth values, with missing values marked); the library then
checks them row by row as ``varnel-study`` checks the rows of a CSV file, and
its messages name the row (counted from 1, ``frame.iloc[row - 1]``) and the
column.
"""

from __future__ import annotations

import math
import numbers
import os
from typing import TYPE_CHECKING, Any, List, Optional, Tuple, Union

from . import _core
from ._errors import VarnelError

# NumPy and pandas are imported where they are used: importing the package
# (as the stub generator of the build does) needs neither.
if TYPE_CHECKING:  # pragma: no cover
    import numpy as np
    import pandas

REQUIRED = ("reader", "modality", "case", "truth", "rating")
SOURCE = "DataFrame"
_COLUMNS_HELP = ("the DataFrame needs the columns reader, modality, case, truth and rating "
                 "and optionally localized")


def _folded(name: Any) -> Optional[str]:
    """A column name as the CSV reader matches it: blanks (spaces, tabs)
    around it dropped, ASCII letters in lowercase; None for a name that is
    not a str."""
    if not isinstance(name, str):
        return None
    stripped = name.strip(" \t")
    return "".join(chr(ord(c) + 32) if "A" <= c <= "Z" else c for c in stripped)

#: What the whole-study calls take: a DataFrame, the path of a CSV file, or
#: a :class:`CaseStudy` made by :func:`read_cases`.
CaseInput = Union["pandas.DataFrame", str, "os.PathLike[str]", _core.CaseStudy]


def read_cases(data: CaseInput) -> _core.CaseStudy:
    """Reads the per-case ratings of a reader study and checks them.

    Args:
        data: a pandas DataFrame with the columns ``reader``, ``modality``,
            ``case``, ``truth``, ``rating`` and optionally ``localized``
            (other columns are ignored), or the path of such a CSV file (read
            as ``varnel-study`` reads it), or a CaseStudy (returned as it is).

            Identifiers (reader, modality, case) may be strings or numbers
            (a whole number in a float column is written without ".0").
            ``truth``: 0 (no target) or a target class 1 to 15.  ``rating``:
            a finite number.  ``localized``: 1 or True (correct), 0 or False
            (incorrect), or missing (None, NaN, NA: not recorded; always for
            a case without a target).  Texts in these columns are read as the
            CSV reader reads its fields.

    Returns:
        The checked study.

    Raises:
        VarnelError: a column is missing or appears twice, a value is not
            allowed, a reader rated a case twice in one modality, a case has
            two truths; the message names the row (DataFrame rows are
            counted from 1) or the file and line, and the column, as the
            command's does.
    """
    if isinstance(data, _core.CaseStudy):
        return data
    if isinstance(data, (str, os.PathLike)):
        return _core._read_cases(os.fspath(data))
    if hasattr(data, "columns") and hasattr(data, "iloc"):
        return _from_frame(data)
    raise TypeError("expected a pandas DataFrame, the path of a CSV file or a CaseStudy, not "
                    + type(data).__name__)


def _from_frame(frame: "pandas.DataFrame", source: str = SOURCE) -> _core.CaseStudy:
    columns = {}
    names = list(frame.columns)
    folded = [_folded(c) for c in names]
    for name in REQUIRED + ("localized",):
        found = [i for i, c in enumerate(folded) if c == name]
        if len(found) > 1:
            first, again = names[found[0]], names[found[1]]
            if first == again:
                raise VarnelError(f'{source}: the column "{first}" appears twice', 0, "bad_input")
            raise VarnelError(f'{source}: the DataFrame names the column "{name}" twice, as '
                              f'"{first}" and "{again}"; keep one of them', 0, "bad_input")
        if found:
            columns[name] = frame.iloc[:, found[0]]
        elif name != "localized":
            raise VarnelError(f'{source}: no "{name}" column; {_COLUMNS_HELP}', 0, "bad_input")
    truth, truth_missing = _values(columns["truth"])
    rating, rating_missing = _values(columns["rating"])
    localized = localized_missing = None
    if "localized" in columns:
        localized, localized_missing = _values(columns["localized"])
    return _core._make_cases(source, _names(columns["reader"]), _names(columns["modality"]),
                             _names(columns["case"]), truth, truth_missing, rating,
                             rating_missing, localized, localized_missing)


def number_text(value: Any) -> str:
    """A number as the CSV file would hold it: whole numbers without ".0",
    others in their shortest exact form."""
    if isinstance(value, numbers.Integral):
        return str(int(value))
    x = float(value)
    if math.isfinite(x) and x == int(x):
        return str(int(x))
    return repr(x)


def _names(series: "pandas.Series") -> List[str]:
    """Identifiers as texts; a missing one becomes empty, which the library
    refuses as the CSV reader refuses an empty field."""
    import numpy as np

    names = []
    for v, m in zip(series.tolist(), series.isna().to_numpy(dtype=bool)):
        if m:
            names.append("")
        elif isinstance(v, str):
            names.append(v)
        elif isinstance(v, numbers.Real) and not isinstance(v, (bool, np.bool_)):
            names.append(number_text(v))
        else:
            names.append(str(v))
    return names


def _text(value: Any) -> str:
    """A value of a mixed column as text, as a CSV field would hold it."""
    import numpy as np

    if isinstance(value, str):
        return value
    if isinstance(value, (bool, np.bool_)):
        return "true" if value else "false"
    if isinstance(value, numbers.Integral):
        return str(int(value))
    if isinstance(value, numbers.Real):
        x = float(value)
        return "inf" if x == math.inf else "-inf" if x == -math.inf else repr(x)
    return str(value)


def _values(series: "pandas.Series") -> Tuple[Any, Optional["np.ndarray"]]:
    """A value column (truth, rating, localized) as the library takes it:
    float64 numbers, bool truth values or a list of texts, and a bool array
    marking the missing values (or None when there are none)."""
    import numpy as np
    from pandas.api import types

    dtype = series.dtype
    missing = series.isna().to_numpy(dtype=bool)
    flags = missing if missing.any() else None
    if types.is_bool_dtype(dtype):
        return series.fillna(False).to_numpy(dtype=bool), flags
    if types.is_numeric_dtype(dtype) and not types.is_complex_dtype(dtype):
        return series.to_numpy(dtype=np.float64, na_value=np.nan), flags
    # Objects, strings, categories: by what the values are.
    values = series.tolist()
    present = [v for v, m in zip(values, missing) if not m]
    if all(isinstance(v, (bool, np.bool_)) for v in present):
        return np.array([bool(v) if not m else False for v, m in zip(values, missing)]), flags
    if all(isinstance(v, numbers.Real) and not isinstance(v, (bool, np.bool_)) for v in present):
        return np.array([float(v) if not m else math.nan for v, m in zip(values, missing)],
                        dtype=np.float64), flags
    return [_text(v) if not m else "" for v, m in zip(values, missing)], flags
