"""Maximum-likelihood fits of the LROC rating model to observer studies.

One table of counts (one observer in one reading condition) at a time::

    import varnel

    study = varnel.read_study("examples/reader_a.lrc")   # or varnel.Study(counts)
    result = varnel.fit(study)                            # the console program's defaults
    result.area_lroc, result.se_area_lroc                 # per target, as NumPy arrays
    result.covariance                                     # of (mu, sigma, boundaries)
    print(result.report())                                # the console program's output file

The numbers are those of the console program ``varnel`` with the same
answers; errors of the data are raised as :class:`VarnelError` (a
``ValueError``) with the console program's number and text.
"""

from ._errors import VarnelError
from ._core import (
    Curves,
    FitResult,
    Parameters,
    Study,
    fit,
    read_study,
)
from ._core import version as __version__

__all__ = [
    "Curves",
    "FitResult",
    "Parameters",
    "Study",
    "VarnelError",
    "__version__",
    "fit",
    "read_study",
]
