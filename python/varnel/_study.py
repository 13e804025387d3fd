"""Whole reader studies: the tables of a study (bin), the fit of every table
(fit_study) and the significance tests (compare), each one call of the
library, as ``varnel-study bin``, ``fit`` and ``compare`` make it."""

from __future__ import annotations

import json
import os
import warnings
from typing import TYPE_CHECKING, Any, Dict, List, Optional, Sequence, Tuple, Union

from . import _core, _options
from ._cases import CaseInput, read_cases
from ._options import Numbers
from ._progress import Progress, reporter

if TYPE_CHECKING:  # pragma: no cover
    import numpy as np
    import pandas


def _frame(columns: Dict[str, Any]) -> "pandas.DataFrame":
    import pandas

    return pandas.DataFrame(columns)


def _nullable(frame: "pandas.DataFrame", present: "np.ndarray", columns: Dict[str, str]) -> None:
    """Columns whose value is missing in some rows: as pandas' nullable
    dtypes (columns maps name to dtype) with NA there; untouched when every
    row has a value."""
    if present.all():
        return
    for name, dtype in columns.items():
        frame[name] = frame[name].astype(dtype).mask(~present)


class BinnedStudy:
    """The rating categories of a study and its tables, as ``varnel-study
    bin`` makes them.

    Attributes:
        tables: one :class:`Study` per (reader, modality), reader-major
            (observer = reader, condition = modality); :func:`fit` takes each.
        labels: one label per category, lowest first (its rating range).
        upper_bounds: the inclusive upper bounds of all categories but the
            last (NumPy array, increasing).
        rule: what made the categories: ``"cutpoints"``,
            ``"distinct_ratings"`` or ``"quantiles"``.
        noloc_group: whether category 1 holds the ratings up to the highest
            target rating without localization (the quantile rule with
            localization recorded for some target readings only).
        file_names, data_files: per (reader, modality), the name of the data
            file the bin command writes and its text.
    """

    tables: Dict[Tuple[str, str], _core.Study]
    labels: List[str]
    upper_bounds: np.ndarray
    rule: str
    noloc_group: bool
    file_names: Dict[Tuple[str, str], str]
    data_files: Dict[Tuple[str, str], str]

    def __init__(self, result: Any) -> None:
        """Made by :func:`bin` from the library's result."""
        self.tables = result.tables
        self.labels = result.labels
        self.upper_bounds = result.upper_bounds
        self.rule = result.rule
        self.noloc_group = result.noloc_group
        self.file_names = result.file_names
        self.data_files = result.data_files
        self._report = result.report

    @property
    def categories(self) -> int:
        """The number of rating categories."""
        return len(self.labels)

    def report(self) -> str:
        """What the bin command prints (without the names of files): the
        study's size, the categories with their rating ranges and numbers of
        ratings, and one line per table."""
        return self._report

    def write(self, folder: Union[str, "os.PathLike[str]"]) -> List[str]:
        """Writes each table's data file into the folder (made if needed;
        existing files of the same names are replaced) and returns their
        paths, as ``varnel-study bin --out`` names them."""
        os.makedirs(folder, exist_ok=True)
        paths = []
        for key, name in self.file_names.items():
            path = os.path.join(folder, name)
            with open(path, "w", encoding="utf-8", errors="surrogateescape", newline="") as f:
                f.write(self.data_files[key])
            paths.append(path)
        return paths

    def __repr__(self) -> str:
        return (f"BinnedStudy(tables={len(self.tables)}, categories={self.categories}, "
                f"rule={self.rule!r})")


def bin(data: CaseInput, *, cutpoints: Numbers = None, categories: int = 10) -> BinnedStudy:
    """Bins the ratings of a study into rating categories shared by all its
    tables and makes one table of counts per reader and modality, as
    ``varnel-study bin`` does.

    The categories come from ``cutpoints`` when given; else one per distinct
    rating when there are at most 17; else ``categories`` from the quantiles
    of all ratings pooled, ties never split.

    Args:
        data: a DataFrame with the columns reader, modality, case, truth,
            rating and optionally localized, a CSV file's path, or a
            :class:`CaseStudy` (see :func:`read_cases`).
        cutpoints: the upper bounds c1 < ... < cm of the categories (at most
            16): category 1 holds the ratings <= c1, the last those > cm.
        categories: the number of quantile categories (2 to 17).

    Returns:
        The categories and the tables.

    Raises:
        VarnelError: bad input or options, a reader without ratings in a
            modality, a category mixing target readings with and without
            localization (the message names reader, modality and category).
    """
    cases = read_cases(data)
    return BinnedStudy(_core._bin(cases, _options.binning_options(cutpoints, categories)))


def _fit_input(data: Union[CaseInput, Sequence[Union[str, "os.PathLike[str]"]]]) -> Any:
    """Per-case ratings, or the paths of files as the fit command takes them
    (one CSV file, or rating data files)."""
    if isinstance(data, (str, os.PathLike)):
        return [os.fspath(data)]
    if isinstance(data, (list, tuple)):
        return [os.fspath(p) for p in data]
    return read_cases(data)


def fit_study(data: Union[CaseInput, Sequence[Union[str, "os.PathLike[str]"]]], *,
              cutpoints: Numbers = None, categories: int = 10, criterion: float = 0.001,
              chance: Numbers = None, noloc: Optional[int] = None,
              threads: Optional[int] = None, progress: Progress = False) -> "pandas.DataFrame":
    """Fits the LROC model to every reader x modality table of a study, as
    ``varnel-study fit`` does, on several threads.

    Args:
        data: a DataFrame of per-case ratings (see :func:`read_cases`), a
            CaseStudy, the path of a per-case CSV file, or a list of paths of
            rating data files (LROCDATA) to fit as they are.
        cutpoints, categories: the rating categories of per-case ratings, as
            for :func:`bin`.
        criterion: the stopping criterion of each fit (at least 1e-8).
        chance: the chance of a correct localization by luck, 0 to 1: one
            value for every target class, or one per class (None: 0).
        noloc: raise each table's number of lowest categories without
            localization to this, as the console dialogue does (None: each
            table's own).
        threads: threads for the fits (None: one per core).  The results are
            the same, bit for bit, for every number.
        progress: True for a progress bar (tqdm when installed, else a line
            on standard error), or a callable taking (fits done, fits in all).

    Returns:
        One row per reader, modality and target class with the columns of
        the command's results table, in its order: reader, modality, target,
        normal_cases, target_cases, categories, noloc, chance, converged,
        iterations, mu, se_mu, sigma, se_sigma, area_roc, se_area_roc,
        area_lroc, se_area_lroc, loc_accuracy, se_loc_accuracy,
        adjusted_area_lroc, adjusted_loc_accuracy, dloc, se_dloc, pcl,
        se_pcl, log_likelihood, log_likelihood_ratings, deviance,
        deviance_ratings, pearson, pearson_ratings, status.  The numbers are
        the command's.  ``status`` is empty, or why the table could not be
        fitted; the values such a table could not give are NaN (converged
        and iterations then NA, as nullable columns), and a RuntimeWarning
        says how many tables failed.  The adjusted values are NaN without
        chance values.

    Raises:
        VarnelError: bad input or options (a reader missing a modality, a
            chance value outside 0 to 1, ...), named as the command names
            them.
        KeyboardInterrupt: Ctrl-C; the fits stop within about a second and
            no thread is left running.
    """
    source = _fit_input(data)
    binning = _options.binning_options(cutpoints, categories)
    fit = _options.table_fit_options(criterion, chance, noloc)
    with reporter(progress, "fitting tables") as report:
        columns, failed, tables = _core._fit_study(source, binning, fit,
                                                   _options.threads(threads), report)
    fitted = columns.pop("_fitted")
    frame = _frame(columns)
    _nullable(frame, fitted, {"converged": "boolean", "iterations": "Int64"})
    if failed:
        warnings.warn(f"{failed} of {tables} tables could not be fitted (see their status)",
                      RuntimeWarning, stacklevel=2)
    return frame


class Comparison:
    """The significance tests of a reader study, as ``varnel-study compare``
    makes them: per target class the FOM of every reader in every modality,
    its case jackknife, and the analyses of the modalities (two or more) and
    of the readers against a reference reader.

    Tables (pandas DataFrames, one column ``target`` for the target class
    first; ``analysis`` is ``random_readers_random_cases``,
    ``fixed_readers_random_cases`` or ``random_readers_fixed_cases``):

    - ``fom``: target, reader, modality, fom.
    - ``modality_means``: target, analysis, modality, estimate, std_error,
      df, lower, upper: each modality's reader-averaged FOM with its
      interval in each analysis.
    - ``tests``: target, analysis, statistic_name ("F" or "chi2"),
      statistic, ndf, ddf, p: the test of equal modality means.
    - ``differences``: target, analysis, first, second, estimate,
      std_error, df, t, p, lower, upper: first - second for every pair.
    - ``reference``: target, modality, reference, analysis, estimate,
      std_error, df, t, p, lower, upper, reference_fom, readers_mean: the
      mean of psi = reader FOM - reference FOM over the other readers.
    - ``psi``: target, modality, reference, reader, fom, psi.
    - ``jackknife``: target, reader, modality, case, value: the FOM with the
      case left out.

    Degrees of freedom are inf where the test takes its normal-theory form;
    undefined values are NaN.  The tables of the modality analysis are empty
    with one modality, those of the reference reader without one.
    ``to_dict()`` holds everything (covariances, mean squares, variance
    components too) as the command's JSON document.
    """

    def __init__(self, result: Any) -> None:
        """Made by :func:`compare` from the library's result."""
        self._result = result
        self._tables: Dict[str, "pandas.DataFrame"] = {}

    def _table(self, name: str) -> "pandas.DataFrame":
        if name not in self._tables:
            self._tables[name] = _frame(getattr(self._result, name)())
        return self._tables[name].copy()

    @property
    def source(self) -> str:
        """The study's source: the path as given, or "DataFrame"."""
        return self._result.source

    @property
    def fom_name(self) -> str:
        """The figure of merit, as ``compare(fom=...)`` takes it."""
        return self._result.fom

    @property
    def alpha(self) -> float:
        """1 - the confidence level of the intervals."""
        return self._result.alpha

    @property
    def fom(self) -> "pandas.DataFrame":
        """The FOM of every reader in every modality."""
        return self._table("fom_table")

    @property
    def modality_means(self) -> "pandas.DataFrame":
        """Each modality's reader-averaged FOM with its interval, per analysis."""
        return self._table("mean_table")

    @property
    def tests(self) -> "pandas.DataFrame":
        """The tests of equal modality means."""
        return self._table("test_table")

    @property
    def differences(self) -> "pandas.DataFrame":
        """The differences of every pair of modalities, per analysis."""
        return self._table("difference_table")

    @property
    def reference(self) -> "pandas.DataFrame":
        """The readers against the reference reader, per modality and analysis."""
        return self._table("reference_table")

    @property
    def psi(self) -> "pandas.DataFrame":
        """Each other reader's FOM and psi in each modality."""
        return self._table("psi_table")

    @property
    def jackknife(self) -> "pandas.DataFrame":
        """The FOMs with each case left out (the command's --jackknife file)."""
        return self._table("jackknife_table")

    def report(self) -> str:
        """The command's text report (``--format text``)."""
        return self._result.text_report()

    def to_json(self) -> str:
        """The command's JSON document (``--format json``), as text."""
        return self._result.json_report()

    def to_dict(self) -> Dict[str, Any]:
        """The command's JSON document as Python values (null values, from
        undefined or infinite numbers, are None)."""
        return json.loads(self.to_json())

    def __repr__(self) -> str:
        return f"Comparison(source={self.source!r}, fom={self.fom_name!r}, alpha={self.alpha})"


def compare(data: CaseInput, fom: str, *, reference: Optional[str] = None,
            target: Optional[int] = None, alpha: float = 0.05, cutpoints: Numbers = None,
            categories: int = 10, criterion: float = 0.001, chance: Numbers = None,
            noloc: Optional[int] = None, threads: Optional[int] = None,
            progress: Progress = False) -> Comparison:
    """Multi-reader multi-case significance tests of a figure of merit, as
    ``varnel-study compare`` makes them.

    Every reader must have read every case once in every modality.  The
    variances come from the jackknife over cases.  With two or more
    modalities: the Obuchowski-Rockette analysis with Hillis's denominator
    degrees of freedom (random readers and cases; fixed readers; fixed
    cases).  With a reference reader: the other readers against it in each
    modality.

    Args:
        data: a DataFrame of per-case ratings, a CSV file's path or a
            CaseStudy (see :func:`read_cases`).
        fom: the figure of merit: ``"wilcoxon"`` (empirical ROC area),
            ``"pcl@X"`` and ``"alroc@X"`` (the empirical LROC curve at and up
            to false-positive fraction X, 0 < X <= 1), or from the LROC
            model fitted to each reader x modality table: ``"model-auc"``,
            ``"model-alroc"``, ``"model-loc"``, ``"model-pcl@X"``.
        reference: a reader (e.g. an algorithm) to compare the other readers
            with; at least two other readers are needed.
        target: the target class to analyse (None: every class with cases).
        alpha: 1 - the confidence level of the intervals.
        cutpoints, categories, criterion, chance, noloc: for the model-based
            FOMs, the binning and the fits, as for :func:`fit_study`.
        threads: threads for the fits of a model-based FOM (None: one per
            core); the results are the same for every number.
        progress: True for a progress bar, or a callable taking (fits done,
            fits known so far).

    Returns:
        The tables, the text report and the JSON document of the analyses.

    Raises:
        VarnelError: bad input, options or design (``status`` 1: a reader
            missing a modality, one modality without a reference reader, an
            unknown reader or FOM), or a fit or refit that failed or did not
            converge (``kind`` "failed_fit", ``status`` 2; the message names
            reader, modality and case).
        KeyboardInterrupt: Ctrl-C; the fits stop within about a second and
            no thread is left running.
    """
    cases = read_cases(data)
    options = _options.compare_options(
        fom, target, alpha, reference, _options.binning_options(cutpoints, categories),
        _options.table_fit_options(criterion, chance, noloc))
    with reporter(progress, "fitting") as report:
        result = _core._compare(cases, options, _options.threads(threads), report)
    return Comparison(result)
