"""Power and sample size of reader studies from variance components (Hillis,
Obuchowski and Berbaum 2011), one call of the library per planned size."""

from __future__ import annotations

import numbers
from typing import TYPE_CHECKING, List, Optional, Sequence, Union

from . import _core, _options
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


def power(components: Components, *, readers: Sizes, cases: Optional[Sizes] = None,
          target_power: Optional[float] = None, modalities: Optional[int] = None,
          alpha: float = 0.05, effect: Optional[float] = None,
          max_cases: int = 100000) -> "pandas.DataFrame":
    """The power of each significance test :func:`compare` makes, for
    planned numbers of readers and cases, or the smallest number of cases
    that reaches a target power.

    The planned study keeps the pilot's ratio of target to normal cases, so
    the parts of the variance that come from case sampling scale by
    pilot_cases / cases.  Noncentral F and chi-square distributions give the
    power (the formulas are those of the library's varnel/power.h).

    Args:
        components: :class:`ModalityComponents` (a comparison of modalities:
            three analyses) or :class:`ReferenceComponents` (readers against
            a reference reader: two analyses).
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

    Returns:
        With ``cases``: one row per readers, cases and analysis with the
        columns readers, cases, modalities, alpha, effect (NaN for the
        pilot's means of three or more modalities), effect_sum_squares,
        case_ratio (pilot_cases / cases), analysis, statistic ("F" or
        "chi2"), power, lambda (noncentrality), ndf, ddf (inf for the
        chi-square form), critical_value, denominator, status ("ok",
        "zero_denominator", "undefined_component") and reason (why there is
        no number; the numbers are then NaN).

        With ``target_power``: one row per readers and analysis with the
        columns readers, target_power, cases (NA when not reached within
        max_cases), the analysis's columns at that size (at max_cases when
        not reached), max_cases, monotone (False when the power was seen to
        fall as the cases grew; the K given is still the smallest) and note.

    Raises:
        VarnelError: bad components or plan (a covariance larger than the
            variance, J < 2, alpha outside (0, 1), no effect to detect, ...).
        ValueError: neither or both of ``cases`` and ``target_power``.
    """
    if (cases is None) == (target_power is None):
        raise ValueError("give either cases (the power at those sizes) or target_power "
                         "(the cases that reach it)")
    if not isinstance(components, (_core.ModalityComponents, _core.ReferenceComponents)):
        raise TypeError("components must be ModalityComponents or ReferenceComponents")
    planned = _sizes(readers, "readers")
    t = 0 if modalities is None else _options.whole(modalities, "modalities")
    d = None if effect is None else float(effect)
    if cases is not None:
        return _frame(_core._plan_power(components, planned, _sizes(cases, "cases"), t,
                                        float(alpha), d))
    columns = _core._cases_for_power(components, planned, t, float(alpha), d,
                                     float(target_power),  # type: ignore[arg-type]
                                     _options.whole(max_cases, "max_cases"))
    reached = columns.pop("_reached")
    frame = _frame(columns)
    _nullable(frame, reached, {"cases": "Int64"})
    return frame
