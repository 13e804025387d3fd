#' Compare modalities, or readers against a reference reader
#'
#' A multi-reader multi-case analysis of a figure of merit (FOM), per
#' target class (the normal cases against the cases of that class), as
#' `varnel-study compare` makes it.  Variances come from the jackknife over
#' cases (one case left out for every reader and modality at once).  With two
#' or more modalities: the Obuchowski-Rockette analysis with Hillis's
#' denominator degrees of freedom, for random readers and cases, fixed
#' readers and random cases, and random readers and fixed cases.  With a
#' `reference` reader (e.g. an algorithm): the other readers against it in
#' each modality (random readers and cases on Hillis's degrees of freedom;
#' random readers and fixed cases, a one-sample t test), and the modality
#' comparison of the other readers.
#'
#' FOMs: `"wilcoxon"` (area under the empirical ROC curve), `"pcl@x"` and
#' `"alroc@x"` (the empirical LROC curve's fraction correctly localized at
#' false-positive fraction x, 0 < x <= 1, and its area from 0 to x), and from
#' the LROC model fitted to each reader x modality table (binned as by
#' [study_bin()]; `criterion`, `chance`, `noloc` as for [study_fit()]):
#' `"model-auc"`, `"model-alroc"`, `"model-loc"` and `"model-pcl@x"`.
#' Model-based FOMs refit each table without each case, warm-started from
#' its full fit, on `threads` threads (each distinct table once); the
#' results are the same, bit for bit, for every number of threads.
#'
#' @inheritParams study_fit
#' @param cases The per-case ratings: a data frame or the name of a CSV file
#'   (see [varnel_cases]).  Every reader reads every case once in every
#'   modality.
#' @param fom The figure of merit, e.g. `"wilcoxon"`, `"alroc@0.2"`,
#'   `"model-alroc"`.
#' @param reference `NULL`, or the reader to compare the other readers with
#'   (at least two others); needed with one modality.
#' @param alpha 1 - the confidence level of the intervals.
#' @param target `NULL` (every target class with cases) or the target class
#'   to analyse.
#' @param cutpoints,categories The rating categories of the tables (model-based
#'   FOMs only), as for [study_bin()].
#' @param criterion,chance,noloc The settings of the fits (model-based FOMs
#'   only), as for [study_fit()].
#' @param margin `NULL`, or a non-inferiority margin d > 0 on the FOM's
#'   scale: one-sided tests at `alpha` of the reference reader
#'   (H0: mean psi >= d, the readers better by d or more) and of each modality difference
#'   first - second (H0: first - second <= -d), as `--margin` gives them.
#' @param localization `NULL` (the library's default, `"ignore"`), `"use"`
#'   or `"ignore"`: whether the fits behind `"model-auc"` use the
#'   localization outcomes or the ratings alone.  Under the LROC model
#'   without chance AreaLROC = 2 AreaROC - 1, so with `"use"` model-auc gives
#'   model-alroc's test.  `"ignore"` with another model-based FOM is an
#'   error (they need the outcomes); empirical FOMs do not use it.
#' @param binning Whose ratings the categories come from (model-based FOMs
#'   only), `"study"` or `"reader"`, as for [study_bin()].
#' @param gof_bootstrap,seed Model-based FOMs: parametric bootstrap
#'   replicates of each table's goodness of fit and their seed, as for
#'   [study_fit()].
#' @return An object of class `"varnel_compare"`, printed as the command's
#'   text report, a list of data frames, each with the `target` class first:
#'   \item{cases}{the cases of each analysis: `cases`, `normal_cases`,
#'     `target_cases`.}
#'   \item{foms}{the FOM of every `reader` and `modality`, with its
#'     `std_error` and interval `lower`, `upper` (case jackknife, normal
#'     theory).}
#'   \item{modality_means}{per `analysis` (`"random_readers_random_cases"`,
#'     `"fixed_readers_random_cases"`, `"random_readers_fixed_cases"`) and
#'     `modality`: the reader-averaged FOM `estimate` with `std_error`, `df`
#'     (`Inf`: normal theory) and the interval `lower`, `upper`.}
#'   \item{tests}{per analysis, the test of equal modality means:
#'     `statistic_name` (`"F"` or `"chi2"`), `statistic`, `ndf`, `ddf` (`Inf`
#'     for chi-square), `p`.}
#'   \item{differences}{per analysis, every pair of modalities: `first` -
#'     `second`, its `estimate`, `std_error`, `df`, `t` (z on infinite df),
#'     `p` and interval `lower`, `upper`.}
#'   \item{covariances}{the jackknife covariances of the FOM errors `var`,
#'     `cov1`, `cov2`, `cov3`, the mean squares `ms_t`, `ms_r`, `ms_tr` and
#'     the variance components `var_r`, `var_tr` (over the `readers` taking
#'     part); `modality_covariances` the `mean`, `var`, `cov2` and `ms_r`
#'     within each modality.}
#'   \item{reference}{with a reference reader, per `modality` and
#'     `analysis` (`"random_readers_random_cases"`,
#'     `"random_readers_fixed_cases"`): the mean psi (reader FOM minus the
#'     reference's) `estimate`, `std_error`, `df`, `t`, `p`, `lower`,
#'     `upper`, and the analysis's `readers`, `reference_fom`,
#'     `readers_mean`, `ms_r`, `var`, `cov2`, `ms_den`, the reference FOM's
#'     `reference_std_error`, `reference_lower`, `reference_upper` (case
#'     jackknife, normal theory) and the readers' mean FOM's
#'     `readers_mean_std_error`, `readers_mean_df`, `readers_mean_lower`,
#'     `readers_mean_upper` (random readers and cases); `psi` each reader's
#'     `fom` and `psi` with its `std_error`, `df` (`Inf`), `t` (z), `p`,
#'     `p_holm` (Holm-adjusted over the readers), `lower`, `upper` (case
#'     jackknife, the two readers fixed).}
#'   \item{non-inferiority}{with a `margin`, the columns `ni_bound`, `ni_t`,
#'     `ni_p` (one-sided), `ni_confidence_bound`, `ni_rejected` of
#'     `reference` and `differences` (`NA` without a margin); `differences`
#'     also has `p_holm` and `ni_p_holm`, Holm-adjusted over the pairs with
#'     three or more modalities (`NaN` with two).}
#'   \item{jackknife}{the FOM of every `reader` and `modality` with `case`
#'     left out, `value` (the command's `--jackknife` file).}
#'   \item{fits}{model-based FOMs: per `target` class, `reader` and
#'     `modality` the fit of the table: `categories`, `noloc`, `attempts`
#'     (fits tried), `degenerate` (the likelihood's maximum at an infinite
#'     boundary above `degenerate_category`), `log_likelihood`, `pearson`,
#'     `deviance`, `cells`, `df`, `p_pearson`, `p_deviance`, the bootstrap's
#'     `bootstrap_replicates`, `bootstrap_failed`, `bootstrap_p_pearson`,
#'     `bootstrap_p_deviance`, `fit_rejected` (at 0.05), the jackknife's
#'     `refits`, `retried_refits`, `degenerate_refits`, the observed
#'     operating range `observed_fpf`, `observed_tpf`, `unmarked_share`, and
#'     the model FOM against its empirical counterpart (`empirical_fom`):
#'     `fom`, `empirical`, `difference`, `se_difference`, `z`, `p`,
#'     `disagrees` (beyond Holm's threshold), `model_auc`, `empirical_auc`,
#'     `model_loc`, `empirical_loc`.  Empty for empirical FOMs.}
#'   \item{warnings}{model-based FOMs: the `kind` (`"fit_rejected"`,
#'     `"sparse_binning"`, `"degenerate"`, `"extrapolation"`,
#'     `"model_disagrees"`, `"marks_not_tied"`, `"unmarked_cases"`) and
#'     `message` of each warning; each is also given as an R warning.}
#'   \item{empirical}{model-based FOMs: the same study analysed with the
#'     empirical counterpart of the FOM, a `"varnel_compare"` object (`NULL`
#'     when the data cannot give it).}
#'   \item{pictures}{the library's SVG pictures, named by file (see
#'     [write_svg()]).}
#'   \item{fom, alpha, margin, source, text}{the FOM's name, alpha, the
#'     margin (`NULL` without), the study's source (`"cases"` for a data
#'     frame) and the text report; for model-based FOMs `localization` (as
#'     the fits used it), `binning` (`NULL` with `binning = "reader"`),
#'     `reader_binnings` (each reader's, named by reader) and `fit` (the
#'     settings used).}
#' Modality tables are empty with one modality, reference tables without a
#' reference reader.
#' @section Warnings: The fits behind a model-based FOM can fail to describe
#'   the data: a table's goodness of fit rejected, a binning that leaves
#'   some table few categories, a degenerate table, a full-area FOM beyond
#'   some table's observed range, model and empirical FOMs apart, marks not
#'   tied to the ratings, many target cases unmarked.  Each is a row of
#'   `warnings` and an R warning (the command prints them on standard
#'   error); the empirical analysis (`empirical`) is then the one to rely
#'   on.
#' @section Errors: Faults of the ratings, options or design (a reader
#'   missing a modality, a case not read by every reader, one modality
#'   without `reference`, fewer than two other readers, an unknown reader or
#'   FOM) stop with a [`"varnel_error"`][varnel_error] of kind `"bad_input"`;
#'   a fit or refit that fails or does not converge with one of kind
#'   `"failed_fit"` (status 2) naming the reader, the modality and the case
#'   left out.  The call stops promptly on a user interrupt, its threads
#'   ended.
#' @export
#' @examples
#' cmp <- study_compare(lroc_cases, fom = "wilcoxon", reference = "R01")
#' cmp
#' cmp$tests
#' cmp$reference[, c("modality", "analysis", "estimate", "lower", "upper", "p")]
#'
#' # From the LROC model fitted to each table, on two threads.
#' model <- study_compare(lroc_cases, fom = "model-alroc", threads = 2)
#' model$differences
#'
#' # Non-inferiority of the readers against R01 by a margin of 0.05, the
#' # per-reader psi, and the model-based fits with their warnings.
#' ni <- study_compare(lroc_cases, fom = "wilcoxon", reference = "R01", margin = 0.05)
#' ni$reference[, c("modality", "analysis", "estimate", "ni_p", "ni_rejected")]
#' ni$psi
#' plot(ni)
#' auc <- suppressWarnings(study_compare(lroc_cases, fom = "model-auc", localization = "use",
#'                                       threads = 2))
#' auc$fits[, c("reader", "modality", "p_pearson", "fom", "empirical", "disagrees")]
#' auc$warnings
#' auc$empirical$tests
study_compare <- function(cases, fom, reference = NULL, alpha = 0.05, threads = NULL,
                          target = NULL, cutpoints = NULL, categories = 10, criterion = 0.001,
                          chance = NULL, noloc = NULL, margin = NULL, localization = NULL,
                          binning = "study", gof_bootstrap = 0, seed = 1) {
  call <- sys.call()
  options <- compare_options(fom, target, alpha, reference,
                             binning = binning_options(cutpoints, categories, binning),
                             fit = fit_options(criterion, chance, noloc),
                             run = run_options(threads), margin = margin,
                             localization = localization,
                             bootstrap = bootstrap_options(gof_bootstrap, seed))
  v <- unwrap(.Call(varnel_study_compare_, case_input(cases), options), call)
  # The command prints these on standard error.
  for (message in v$warnings$message) {
    warning(message, call. = FALSE)
  }
  new_compare(v, call)
}

# The "varnel_compare" object of a binding's list: its tables as data frames,
# the empirical counterpart the same way.
new_compare <- function(v, call = NULL) {
  tables <- c("cases", "foms", "modality_means", "tests", "differences", "covariances",
              "modality_covariances", "reference", "psi", "jackknife", "fits", "warnings")
  v[tables] <- lapply(v[tables], data_frame)
  if (!is.null(v$empirical)) {
    v$empirical <- new_compare(v$empirical)
  }
  structure(c(if (!is.null(call)) list(call = call), v), class = "varnel_compare")
}

#' @export
print.varnel_compare <- function(x, ...) {
  cat(x$text)
  invisible(x)
}
