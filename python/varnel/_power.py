"""Power and sample size of reader studies (Hillis, Obuchowski and Berbaum
2011), from a pilot study analysed as :func:`compare` analyses it or from
variance components given directly: one call of the library, as
``varnel-study power`` makes it."""

from __future__ import annotations

import numbers
import os
import warnings
from typing import TYPE_CHECKING, Any, Dict, List, Optional, Sequence, Union

from . import _core, _options
from ._cases import CaseInput, read_cases
from ._options import Numbers
from ._progress import Progress, reporter
from ._study import _frame, _nullable

if TYPE_CHECKING:  # pragma: no cover
    import pandas

Components = Union[_core.ModalityComponents, _core.ReferenceComponents]
Sizes = Union[int, Sequence[int]]


def _sizes(value: Sizes, name: str) -> List[int]:
    if isinstance(value, numbers.Integral):
        return [int(value)]
    try:
        return [_options.whole(v, name) for v in value]  # type: ignore[union-attr]
    except TypeError:
        raise TypeError(f"{name} must be a whole number or a sequence of them") from None


class PowerResult:
    """What a planning found: the power of each test for every planned
    study, or the smallest number of cases that reaches a target power, and
    the components it rests on.

    ``table`` is the DataFrame of the result (``powers`` with cases given,
    ``smallest_cases`` with a target power).  For scripts that took the
    DataFrame itself, the result also answers as that table does
    (``result.power``, ``result.iloc[0]``, ``result["analysis"]``,
    ``len(result)``); the names of its own attributes (``table``,
    ``powers``, ``smallest_cases``, ``components``, ``source``, ...) are
    no column's.
    """

    def __init__(self, result: Any) -> None:
        """Made by :func:`power` from the library's result."""
        self._result = result
        if result.target_power is None:
            self._table = _frame(result.powers_table())
        else:
            columns = result.smallest_cases_table()
            reached = columns.pop("_reached")
            self._table = _frame(columns)
            _nullable(self._table, reached, {"cases": "Int64"})

    @property
    def table(self) -> "pandas.DataFrame":
        """The powers or the smallest numbers of cases (see :func:`power`)."""
        return self._table.copy()

    @property
    def powers(self) -> Optional["pandas.DataFrame"]:
        """With planned cases: one row per readers, cases and analysis; else None."""
        return self.table if self._result.target_power is None else None

    @property
    def smallest_cases(self) -> Optional["pandas.DataFrame"]:
        """With a target power: one row per readers and analysis; else None."""
        return None if self._result.target_power is None else self.table

    @property
    def components(self) -> Components:
        """The variance components the powers rest on (the pilot's, or those given)."""
        return self._result.components

    @property
    def source(self) -> str:
        """The pilot's source (the path as given, or "DataFrame"); empty for
        components given directly."""
        return self._result.source

    @property
    def fom_name(self) -> Optional[str]:
        """The pilot's figure of merit; None for components given directly."""
        return self._result.fom

    @property
    def target_class(self) -> int:
        """The pilot's analysed target class (0 for components given directly)."""
        return self._result.target_class

    @property
    def effect_from_pilot(self) -> bool:
        """Whether the effect is the pilot's (none was given)."""
        return self._result.effect_from_pilot

    @property
    def warnings(self) -> List[str]:
        """The warnings of a model-based pilot's fits, as :func:`compare`
        gives them (a rejected fit, a degenerate table, extrapolation, ...):
        the components, and so the powers, rest on those fits.  Each is also
        given as a RuntimeWarning."""
        return [message for _, message in self._result.pilot_warnings]

    @property
    def warning_kinds(self) -> List[str]:
        """The kind of each warning, in the order of ``warnings``."""
        return [kind for kind, _ in self._result.pilot_warnings]

    @property
    def pilot_cases(self) -> int:
        """K*, the cases the components were estimated on."""
        return self._result.pilot_cases

    def report(self) -> str:
        """The command's text report (``--format text``)."""
        return self._result.text_report()

    def to_csv(self) -> str:
        """The command's CSV (``--format csv``)."""
        return self._result.csv_report()

    def to_json(self) -> str:
        """The command's JSON document (``--format json``), as text."""
        return self._result.json_report()

    def to_dict(self) -> Dict[str, Any]:
        """The command's JSON document as Python values (null values are None)."""
        import json

        return json.loads(self.to_json())

    def svg(self, analysis: Optional[str] = None) -> str:
        """The picture of power against cases (the command's ``--plot``) as
        SVG text: one line per reader count for one analysis (by its name in
        the table's ``analysis`` column; None: random readers and cases, or
        the reference reader's)."""
        return self._result.svg(analysis)

    def write_svg(self, path: Union[str, "os.PathLike[str]"],
                  analysis: Optional[str] = None) -> None:
        """Writes :meth:`svg` into the file."""
        with open(path, "w", encoding="utf-8", errors="surrogateescape", newline="") as f:
            f.write(self.svg(analysis))

    # The table's own answers, for scripts that took the DataFrame.
    def __getattr__(self, name: str) -> Any:
        if name.startswith("_"):
            raise AttributeError(name)
        return getattr(self._table, name)

    def __getitem__(self, key: Any) -> Any:
        return self._table[key]

    def __len__(self) -> int:
        return len(self._table)

    def __repr__(self) -> str:
        what = "powers" if self._result.target_power is None else "smallest_cases"
        return f"PowerResult({what}, rows={len(self._table)}, effect={self._result.effect!r})"


def power(data: Union[Components, CaseInput], *, readers: Sizes, cases: Optional[Sizes] = None,
          target_power: Optional[float] = None, modalities: Optional[int] = None,
          alpha: float = 0.05, effect: Optional[float] = None, max_cases: int = 100000,
          fom: Optional[str] = None, reference: Optional[str] = None,
          modality: Optional[str] = None, target: Optional[int] = None,
          cutpoints: Numbers = None, categories: int = 10, binning: str = "study",
          criterion: float = 0.001, chance: Numbers = None, noloc: Optional[int] = None,
          localization: Optional[str] = None, threads: Optional[int] = None,
          progress: Progress = False) -> PowerResult:
    """The power of each significance test :func:`compare` makes, for
    planned numbers of readers and cases, or the smallest number of cases
    that reaches a target power, as ``varnel-study power`` finds them.

    The components come from a pilot study (analysed as :func:`compare`
    analyses it: the same jackknife and, for a model-based FOM, the same
    fits) or are given directly.  The planned study keeps the pilot's ratio
    of target to normal cases, so the parts of the variance that come from
    case sampling scale by pilot_cases / cases.  Noncentral F and chi-square
    distributions give the power (the formulas are those of the library's
    varnel/power.h).

    Args:
        data: a pilot study (a DataFrame of per-case ratings, a CSV file's
            path or a CaseStudy; give ``fom``), or
            :class:`ModalityComponents` (a comparison of modalities: three
            analyses) or :class:`ReferenceComponents` (readers against a
            reference reader: two analyses).
        readers: the planned number of readers J (2 or more; for a reference
            reader, the readers besides it), or a sequence of them.
        cases: the planned number of cases K (2 or more), or a sequence of
            them; give this or ``target_power``.
        target_power: the power to reach (0 to 1): the smallest K from 2 to
            ``max_cases`` that reaches it, per analysis.
        modalities: the modalities T compared (None: the pilot's number of
            modality means, or 2 without them); not used by a reference
            reader.
        alpha: the significance level.
        effect: the difference to detect: between two modalities (with more,
            two of them apart by it and the others half-way), or for a
            reference reader the mean psi.  None: the pilot's modality means
            or mean psi.
        max_cases: the largest K searched for ``target_power``.
        fom, reference, target, cutpoints, categories, binning, criterion,
            chance, noloc, localization, threads, progress: the pilot's
            analysis, as for :func:`compare` (with a reference reader the
            components are those of the other readers against it).
        modality: with a reference reader and a pilot of several
            modalities, the modality (by name) to plan for.

    Returns:
        A :class:`PowerResult`.  With ``cases`` its table has one row per
        readers, cases and analysis with the columns readers, cases,
        modalities, alpha, effect (NaN for the pilot's means of three or
        more modalities), effect_sum_squares, case_ratio (pilot_cases /
        cases), analysis, statistic ("F" or "chi2"), power, lambda
        (noncentrality), ndf, ddf (inf for the chi-square form),
        critical_value, denominator, status ("ok", "zero_denominator",
        "undefined_component") and reason (why there is no number; the
        numbers are then NaN).

        With ``target_power``: one row per readers and analysis with the
        columns readers, target_power, cases (NA when not reached within
        max_cases), the analysis's columns at that size (at max_cases when
        not reached), max_cases, monotone (False when the power was seen to
        fall as the cases grew; the K given is still the smallest) and note.

    Raises:
        VarnelError: bad components, pilot or plan (a covariance larger
            than the variance, J < 2, alpha outside (0, 1), no effect to
            detect, a pilot of several target classes without ``target``,
            ...), or a failed fit of a model-based pilot (status 2).
        ValueError: neither or both of ``cases`` and ``target_power``.
        TypeError: pilot options with components given directly.
    """
    if (cases is None) == (target_power is None):
        raise ValueError("give either cases (the power at those sizes) or target_power "
                         "(the cases that reach it)")
    options = _core._PowerOptions()
    options.readers = _sizes(readers, "readers")
    if cases is not None:
        options.cases = _sizes(cases, "cases")
    else:
        options.target_power = float(target_power)  # type: ignore[arg-type]
    options.modalities = 0 if modalities is None else _options.whole(modalities, "modalities")
    options.alpha = float(alpha)
    options.effect = None if effect is None else float(effect)
    options.max_cases = _options.whole(max_cases, "max_cases")
    given = isinstance(data, (_core.ModalityComponents, _core.ReferenceComponents))
    if given:
        pilot_options = dict(fom=fom, modality=modality, target=target, cutpoints=cutpoints,
                             chance=chance, noloc=noloc, localization=localization)
        named = [name for name, value in pilot_options.items() if value is not None]
        if named:
            raise TypeError(f"{', '.join(named)}: pilot options, not for components given "
                            "directly")
        if reference is not None:
            # The name of the reference reader, for the reports.
            options.pilot = _options.compare_options(
                "wilcoxon", None, alpha, reference, _core._BinningOptions(),
                _core._TableFitOptions())
        source: Any = data
    else:
        if isinstance(data, dict) or (isinstance(data, (list, tuple))):
            raise TypeError("data must be a pilot study (DataFrame, CSV path or CaseStudy) or "
                            "ModalityComponents or ReferenceComponents")
        if fom is None:
            raise TypeError("fom: name the figure of merit of the pilot")
        source = read_cases(data)
        options.pilot = _options.compare_options(
            fom, target, alpha, reference,
            _options.binning_options(cutpoints, categories, binning),
            _options.table_fit_options(criterion, chance, noloc), None, localization)
        options.reference_modality = "" if modality is None else str(modality)
    with reporter(progress, "fitting") as report:
        result = _core._power(source, options, _options.threads(threads), report)
    for _, message in result.pilot_warnings:
        warnings.warn(message, RuntimeWarning, stacklevel=2)
    return PowerResult(result)
