"""Maximum-likelihood fits of the LROC rating model to observer studies.

One table of counts (one observer in one reading condition) at a time::

    import varnel

    study = varnel.read_study("examples/reader_a.lrc")   # or varnel.Study(counts)
    result = varnel.fit(study)                            # the console program's defaults
    result.area_lroc, result.se_area_lroc                 # per target, as NumPy arrays
    result.covariance                                     # of (mu, sigma, boundaries)
    print(result.report())                                # the console program's output file

Whole reader studies from per-case ratings (a pandas DataFrame with the
columns reader, modality, case, truth, rating and optionally localized, or
the path of such a CSV file), as ``varnel-study`` makes them::

    cases = pandas.read_csv("cases.csv")
    varnel.bin(cases).tables                  # one Study per (reader, modality)
    varnel.fit_study(cases)                   # every table fitted: a DataFrame
    result = varnel.compare(cases, fom="wilcoxon", reference="algorithm")
    result.reference                          # readers - algorithm, with intervals
    result.psi                                # each reader - algorithm, z test, Holm
    print(result.report())                    # the command's text report
    varnel.power(cases, fom="wilcoxon", readers=10, target_power=0.8).table

The numbers are those of the console program ``varnel`` and of
``varnel-study`` with the same input and options; errors of the data are
raised as :class:`VarnelError` (a ``ValueError``) with the programs' number
and text.
"""

from ._errors import VarnelError
from ._core import (
    Binning,
    CaseStudy,
    Curves,
    FitResult,
    ModalityComponents,
    Parameters,
    ReferenceComponents,
    Study,
    fit,
    read_study,
)
from ._core import version as __version__
from ._cases import read_cases
from ._power import PowerResult, power
from ._study import BinnedStudy, Comparison, bin, compare, fit_study

__all__ = [
    "BinnedStudy",
    "Binning",
    "CaseStudy",
    "Comparison",
    "Curves",
    "FitResult",
    "ModalityComponents",
    "Parameters",
    "PowerResult",
    "ReferenceComponents",
    "Study",
    "VarnelError",
    "__version__",
    "bin",
    "compare",
    "fit",
    "fit_study",
    "power",
    "read_cases",
    "read_study",
]
