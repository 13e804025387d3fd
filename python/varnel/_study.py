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
        scope: ``"study"`` (one set of categories for every table) or
            ``"reader"`` (each reader's own, in ``reader_binnings``).
        binning: the categories of every table (a :class:`Binning`), or None
            with scope ``"reader"``.
        reader_binnings: with scope ``"reader"``, each reader's
            :class:`Binning` by reader; empty with scope ``"study"``.
        labels: one label per category, lowest first (its rating range);
            empty with scope ``"reader"``.
        upper_bounds: the inclusive upper bounds of all categories but the
            last (NumPy array, increasing); empty with scope ``"reader"``.
        rule: what made the categories: ``"cutpoints"``,
            ``"distinct_ratings"`` or ``"quantiles"`` (scope ``"study"``).
        noloc_group: whether category 1 holds the ratings up to the highest
            target rating without localization (the quantile rule with
            localization recorded for some target readings only).
        file_names, data_files: per (reader, modality), the name of the data
            file the bin command writes and its text.
    """

    tables: Dict[Tuple[str, str], _core.Study]
    scope: str
    binning: Optional[_core.Binning]
    reader_binnings: Dict[str, _core.Binning]
    labels: List[str]
    upper_bounds: np.ndarray
    rule: str
    noloc_group: bool
    file_names: Dict[Tuple[str, str], str]
    data_files: Dict[Tuple[str, str], str]

    def __init__(self, result: Any, scope: str = "study") -> None:
        """Made by :func:`bin` from the library's result."""
        self.tables = result.tables
        self.scope = scope
        self.reader_binnings = result.reader_binnings if scope == "reader" else {}
        self.binning = None if scope == "reader" else result.binning
        binning = result.binning
        self.labels = binning.labels
        self.upper_bounds = binning.upper_bounds
        self.rule = binning.rule
        self.noloc_group = binning.noloc_group
        self.file_names = result.file_names
        self.data_files = result.data_files
        self._report = result.report

    @property
    def categories(self) -> int:
        """The number of rating categories (scope ``"study"``; 0 with scope
        ``"reader"``, see ``reader_binnings``)."""
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


def bin(data: CaseInput, *, cutpoints: Numbers = None, categories: int = 10,
        binning: str = "study") -> BinnedStudy:
    """Bins the ratings of a study into rating categories and makes one
    table of counts per reader and modality, as ``varnel-study bin`` does.

    The categories come from ``cutpoints`` when given; else one per distinct
    rating when there are at most 17; else ``categories`` from the quantiles
    of all ratings pooled, ties never split.  With ``binning="study"`` every
    table shares the categories made from all ratings; with
    ``binning="reader"`` each reader's tables share those made from that
    reader's ratings in every modality (readers on different rating scales).

    Args:
        data: a DataFrame with the columns reader, modality, case, truth,
            rating and optionally localized, a CSV file's path, or a
            :class:`CaseStudy` (see :func:`read_cases`).
        cutpoints: the upper bounds c1 < ... < cm of the categories (at most
            16): category 1 holds the ratings <= c1, the last those > cm.
        categories: the number of quantile categories (2 to 17).
        binning: ``"study"`` or ``"reader"`` (the command's --binning).

    Returns:
        The categories and the tables.

    Raises:
        VarnelError: bad input or options, a reader without ratings in a
            modality, a category mixing target readings with and without
            localization (the message names reader, modality and category).
    """
    cases = read_cases(data)
    options = _options.binning_options(cutpoints, categories, binning)
    return BinnedStudy(_core._bin(cases, options), options.scope)


def _fit_input(data: Union[CaseInput, Sequence[Union[str, "os.PathLike[str]"]]]) -> Any:
    """Per-case ratings, or the paths of files as the fit command takes them
    (one CSV file, or rating data files)."""
    if isinstance(data, (str, os.PathLike)):
        return [os.fspath(data)]
    if isinstance(data, (list, tuple)):
        return [os.fspath(p) for p in data]
    return read_cases(data)


def fit_study(data: Union[CaseInput, Sequence[Union[str, "os.PathLike[str]"]]], *,
              cutpoints: Numbers = None, categories: int = 10, binning: str = "study",
              criterion: float = 0.001, chance: Numbers = None, noloc: Optional[int] = None,
              gof_bootstrap: int = 0, seed: int = 1, threads: Optional[int] = None,
              progress: Progress = False) -> "pandas.DataFrame":
    """Fits the LROC model to every reader x modality table of a study, as
    ``varnel-study fit`` does, on several threads.

    Args:
        data: a DataFrame of per-case ratings (see :func:`read_cases`), a
            CaseStudy, the path of a per-case CSV file, or a list of paths of
            rating data files (LROCDATA) to fit as they are.
        cutpoints, categories, binning: the rating categories of per-case
            ratings, as for :func:`bin`.
        criterion: the stopping criterion of each fit (at least 1e-8).
        chance: the chance of a correct localization by luck, 0 to 1: one
            value for every target class, or one per class (None: 0).
        noloc: raise each table's number of lowest categories without
            localization to this, as the console dialogue does (None: each
            table's own).
        gof_bootstrap: parametric bootstrap replicates of each table's
            goodness of fit (0: none; e.g. 1000).
        seed: the bootstrap's seed; a table's p-values are the same for a
            seed whatever the number of threads.
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
        deviance_ratings, pearson, pearson_ratings, status, then the
        goodness of fit: cells, df, p_pearson, p_deviance (with the
        localization outcomes), cells_ratings, df_ratings,
        p_pearson_ratings, p_deviance_ratings (the ratings alone),
        bootstrap_replicates, bootstrap_failed, bootstrap_p_pearson,
        bootstrap_p_deviance (NA and NaN without a bootstrap).  The numbers
        are the command's.  ``status`` is empty, or why the table could not
        be fitted; the values such a table could not give are NaN (its
        integer columns then NA, as nullable columns), and a RuntimeWarning
        says how many tables failed.  The adjusted values are NaN without
        chance values; a p-value is NaN where its statistic has no degrees
        of freedom.

    Raises:
        VarnelError: bad input or options (a reader missing a modality, a
            chance value outside 0 to 1, ...), named as the command names
            them.
        KeyboardInterrupt: Ctrl-C; the fits stop within about a second and
            no thread is left running.
    """
    source = _fit_input(data)
    binning_options = _options.binning_options(cutpoints, categories, binning)
    fit = _options.table_fit_options(criterion, chance, noloc)
    replicates, seed = _options.bootstrap(gof_bootstrap, seed)
    with reporter(progress, "fitting tables") as report:
        columns, failed, tables = _core._fit_study(source, binning_options, fit, replicates, seed,
                                                   _options.threads(threads), report)
    fitted = columns.pop("_fitted")
    bootstrapped = columns.pop("_bootstrap")
    frame = _frame(columns)
    _nullable(frame, fitted, {"converged": "boolean", "iterations": "Int64", "cells": "Int64",
                              "df": "Int64", "cells_ratings": "Int64", "df_ratings": "Int64"})
    _nullable(frame, bootstrapped, {"bootstrap_replicates": "Int64", "bootstrap_failed": "Int64"})
    if failed:
        warnings.warn(f"{failed} of {tables} tables could not be fitted (see their status)",
                      RuntimeWarning, stacklevel=2)
    return frame


class Comparison:
    """The significance tests of a reader study, as ``varnel-study compare``
    makes them: per target class the FOM of every reader in every modality,
    its case jackknife, and the analyses of the modalities (two or more) and
    of the readers against a reference reader; for a model-based FOM also
    the fits behind it, the warnings they give and the same study analysed
    with the empirical counterpart of the FOM.

    Tables (pandas DataFrames, one column ``target`` for the target class
    first; ``analysis`` is ``random_readers_random_cases``,
    ``fixed_readers_random_cases`` or ``random_readers_fixed_cases``):

    - ``fom``: target, reader, modality, fom, std_error, lower, upper: each
      FOM with its case-jackknife standard error and normal-theory interval.
    - ``modality_means``: target, analysis, modality, estimate, std_error,
      df, lower, upper: each modality's reader-averaged FOM with its
      interval in each analysis.
    - ``tests``: target, analysis, statistic_name ("F" or "chi2"),
      statistic, ndf, ddf, p: the test of equal modality means.
    - ``differences``: target, analysis, first, second, estimate,
      std_error, df, t, p, lower, upper, p_holm (Holm-adjusted over the
      pairs of its test with three or more modalities, else NaN), and the
      non-inferiority test of H0: first - second <= -margin: ni_bound,
      ni_t, ni_p, ni_confidence_bound, ni_rejected, ni_p_holm (NaN and NA
      without a margin).
    - ``reference``: target, modality, reference, analysis, estimate,
      std_error, df, t, p, lower, upper, reference_fom,
      reference_std_error, reference_lower, reference_upper, readers_mean,
      and the non-inferiority test of H0: mean psi >= margin (ni_bound,
      ni_t, ni_p, ni_confidence_bound, ni_rejected): the mean of psi =
      reader FOM - reference FOM over the other readers.
    - ``psi``: target, modality, reference, reader, fom, psi, std_error, df
      (inf), z, p, p_holm (Holm-adjusted over the readers), lower, upper:
      each reader against the reference, cases random.
    - ``fits`` (model-based FOMs; empty otherwise): target, reader,
      modality, categories, noloc, attempts, degenerate,
      degenerate_category, the likelihood statistics and their goodness of
      fit (cells, df, p-values, the bootstrap's), fit_rejected, refits,
      retried_refits, degenerate_refits, observed_fpf, observed_tpf,
      unmarked_share, fom, empirical, difference, se_difference, z, p,
      disagrees, model_auc, empirical_auc, model_loc, empirical_loc.
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
        self._empirical: Optional[Tuple[Optional[Comparison]]] = None

    def _table(self, name: str) -> "pandas.DataFrame":
        if name not in self._tables:
            columns = getattr(self._result, name)()
            tested = columns.pop("_ni", None)
            frame = _frame(columns)
            if tested is not None:
                _nullable(frame, tested, {"ni_rejected": "boolean"})
            if "degenerate_category" in frame:
                _nullable(frame, frame.degenerate.to_numpy(dtype=bool),
                          {"degenerate_category": "Int64"})
            self._tables[name] = frame
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
    def margin(self) -> Optional[float]:
        """The non-inferiority margin, or None."""
        return self._result.margin

    @property
    def target_classes(self) -> List[int]:
        """The analysed target classes, increasing."""
        return self._result.target_classes

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
        """Each other reader's FOM and psi in each modality, with its test."""
        return self._table("psi_table")

    @property
    def fits(self) -> "pandas.DataFrame":
        """The fits behind a model-based FOM, one row per class and table."""
        return self._table("fit_table")

    @property
    def jackknife(self) -> "pandas.DataFrame":
        """The FOMs with each case left out (the command's --jackknife file)."""
        return self._table("jackknife_table")

    @property
    def warnings(self) -> List[str]:
        """What the fits of a model-based FOM give reason to doubt, one line
        each, as the command prints them on standard error (rejected fits,
        sparse binnings, degenerate tables, extrapolation, disagreement with
        the data, unmarked cases); empty for an empirical FOM."""
        return [message for _, message in self._result.warnings]

    @property
    def warning_kinds(self) -> List[str]:
        """The kind of each warning, in the order of ``warnings``:
        fit_rejected, sparse_binning, degenerate, extrapolation,
        model_disagrees, marks_not_tied or unmarked_cases."""
        return [kind for kind, _ in self._result.warnings]

    @property
    def empirical(self) -> Optional["Comparison"]:
        """For a model-based FOM, the same study analysed with the FOM's
        empirical counterpart (model-auc: wilcoxon; model-pcl@X: pcl@X;
        model-loc: pcl@1; model-alroc: alroc@1); None for an empirical FOM
        or when the data cannot give it (no localization outcomes)."""
        if self._empirical is None:
            result = self._result.empirical
            self._empirical = (None if result is None else Comparison(result),)
        return self._empirical[0]

    @property
    def binning(self) -> Optional[_core.Binning]:
        """For a model-based FOM, the categories of every table (None for an
        empirical FOM and with ``binning="reader"``)."""
        return self._result.binning

    @property
    def reader_binnings(self) -> Dict[str, _core.Binning]:
        """With ``binning="reader"``, each reader's categories; else empty."""
        return self._result.reader_binnings

    @property
    def localization(self) -> Optional[str]:
        """For a model-based FOM, whether its fits used the localization
        outcomes (``"use"`` or ``"ignore"``); None for an empirical FOM."""
        return self._result.localization

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

    def pictures(self) -> Dict[str, str]:
        """Every picture the command's ``--plot`` folder gets, as {file name:
        SVG text}: per analysed class t ``forest_target<t>.svg`` (each
        reader's FOM with its interval, psi against a reference reader, the
        modality differences) and per modality
        ``operating_points_target<t>_<NN>_<modality>.svg`` (every reader's
        operating points and, for a model-based FOM, the fitted curves)."""
        return self._result.pictures()

    def write_pictures(self, folder: Union[str, "os.PathLike[str]"]) -> List[str]:
        """Writes :meth:`pictures` into the folder (made if needed; files of
        the same names are replaced) and returns their paths."""
        os.makedirs(folder, exist_ok=True)
        paths = []
        for name, svg in self.pictures().items():
            path = os.path.join(folder, name)
            with open(path, "w", encoding="utf-8", errors="surrogateescape", newline="") as f:
                f.write(svg)
            paths.append(path)
        return paths

    def _class_index(self, target: Optional[int]) -> int:
        classes = self.target_classes
        if target is None:
            if len(classes) != 1:
                raise ValueError(f"the comparison analysed the target classes {classes}: "
                                 "name one with target=")
            return 0
        t = _options.whole(target, "target")
        if t not in classes:
            raise ValueError(f"target {t} was not analysed (the classes are {classes})")
        return classes.index(t)

    def forest_svg(self, target: Optional[int] = None) -> str:
        """The forest plot of one analysed target class (None: the only one)
        as SVG text."""
        return self._result.forest_svg(self._class_index(target))

    def operating_points_svg(self, modality: str, target: Optional[int] = None) -> str:
        """The operating-points picture of one modality (by name) in one
        analysed target class (None: the only one) as SVG text."""
        modalities = self._result.modalities
        if modality not in modalities:
            raise ValueError(f"no modality {modality!r}; the modalities are {modalities}")
        return self._result.operating_points_svg(self._class_index(target),
                                                 modalities.index(modality))

    def __repr__(self) -> str:
        return f"Comparison(source={self.source!r}, fom={self.fom_name!r}, alpha={self.alpha})"


def compare(data: CaseInput, fom: str, *, reference: Optional[str] = None,
            target: Optional[int] = None, alpha: float = 0.05, margin: Optional[float] = None,
            cutpoints: Numbers = None, categories: int = 10, binning: str = "study",
            criterion: float = 0.001, chance: Numbers = None, noloc: Optional[int] = None,
            localization: Optional[str] = None, gof_bootstrap: int = 0, seed: int = 1,
            threads: Optional[int] = None, progress: Progress = False) -> Comparison:
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
        margin: a non-inferiority margin d > 0 on the FOM's scale: the mean
            psi is also tested one-sided against H0: mean psi >= d (the
            readers better than the reference by d or more) and each
            modality difference against H0: first - second <= -d.
        cutpoints, categories, binning, criterion, chance, noloc: for the
            model-based FOMs, the binning and the fits, as for
            :func:`fit_study`.
        localization: model-auc: ``"use"`` fits each table with its
            localization outcomes, ``"ignore"`` from its ratings alone
            (None: the library's default, ``"ignore"``); the other
            model-based FOMs need ``"use"`` (or None).
        gof_bootstrap, seed: model-based FOMs: parametric bootstrap
            p-values of each table's goodness of fit, as for
            :func:`fit_study`.
        threads: threads for the fits of a model-based FOM (None: one per
            core); the results are the same for every number.
        progress: True for a progress bar, or a callable taking (fits done,
            fits known so far).

    Returns:
        The tables, the text report and the JSON document of the analyses;
        for a model-based FOM also the fits, the warnings (each also given
        as a RuntimeWarning) and the empirical counterpart.

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
        fom, target, alpha, reference, _options.binning_options(cutpoints, categories, binning),
        _options.table_fit_options(criterion, chance, noloc), margin, localization,
        gof_bootstrap, seed)
    with reporter(progress, "fitting") as report:
        result = Comparison(_core._compare(cases, options, _options.threads(threads), report))
    for message in result.warnings:
        warnings.warn(message, RuntimeWarning, stacklevel=2)
    return result
