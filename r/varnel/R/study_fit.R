#' Fit the LROC model to every table of a reader study
#'
#' Bins the study as [study_bin()] does and fits the LROC model to every
#' reader x modality table, each on its own thread with the settings the
#' console program's dialogue would take, as `varnel-study fit` does.  The
#' results are the same, bit for bit, for every number of threads.
#'
#' @inheritParams study_bin
#' @param cases The per-case ratings: a data frame or the name of a CSV file
#'   (see [varnel_cases]); or the names of rating data files (the console
#'   program's input), each fitted as it is.
#' @param criterion Stopping criterion of every fit (at least 1e-8).
#' @param chance `NULL` (0), or the chance of a correct localization by
#'   luck: one value for every target class or one per class, 0 to 1.
#' @param noloc `NULL`, or a larger number of lowest categories to treat as
#'   without localization (as the console dialogue takes it: ignored for a
#'   table unless above its own number and at most its number of categories).
#' @param threads `NULL` (one per core) or the number of threads of the fits.
#' @param binning Whose ratings the categories come from, `"study"` or
#'   `"reader"`, as for [study_bin()].
#' @param gof_bootstrap The number of parametric bootstrap replicates of each
#'   table's goodness of fit (0: none; e.g. 1000), as
#'   `varnel-study fit --gof-bootstrap` makes them.
#' @param seed The seed of the bootstrap, a whole number from 0 to 2^53; the
#'   p-values are the same for a seed whatever the number of threads.
#' @return A data frame with one row per reader, modality and target class
#'   and the columns of the `varnel-study fit` results table, in its order:
#'   `reader`, `modality`, `target`; `normal_cases`, `target_cases` (cases of
#'   the table without a target and of the class); `categories`, `noloc` (as
#'   the fit used them, after dropping empty categories); `chance`;
#'   `converged`, `iterations`; `mu`, `sigma` (the target distribution) and
#'   `area_roc`, `area_lroc`, `loc_accuracy` (localization accuracy), `dloc`,
#'   `pcl` (probability of correct localization), each with its standard
#'   error `se_...`; `adjusted_area_lroc`, `adjusted_loc_accuracy` (with
#'   chance values only); `log_likelihood`, `log_likelihood_ratings`,
#'   `deviance`, `deviance_ratings`, `pearson`, `pearson_ratings` (the
#'   report's logd1, logd2, logL1, logL2, chi1, chi2); `status` (empty, or
#'   why the table could not be fitted); the goodness of fit: `cells`, `df`,
#'   `p_pearson`, `p_deviance` (with the localization outcomes, chi-square
#'   p-values), `cells_ratings`, `df_ratings`, `p_pearson_ratings`,
#'   `p_deviance_ratings` (the ratings alone), and with `gof_bootstrap`
#'   `bootstrap_replicates`, `bootstrap_failed` (replicates whose fit
#'   failed), `bootstrap_p_pearson`, `bootstrap_p_deviance`.  Where the
#'   command's CSV is empty the value is `NA`; where it writes NaN, NaN.
#'   Attributes `binning` (for per-case ratings: `rule`, `upper` bounds,
#'   `labels`; `NULL` with `binning = "reader"`), `reader_binnings` (with
#'   `binning = "reader"`, each reader's, named by reader) and `settings`
#'   (`criterion`, `chance` per class, `noloc`) say what the fits used.
#' @section Errors: Faults of the ratings or the options stop with a
#'   [`"varnel_error"`][varnel_error].  A table that cannot be fitted is a row
#'   with its `status` and `NA` values, and a warning says how many there are.
#'   The call stops promptly on a user interrupt, its threads ended.
#' @seealso [lroc_fit()] for one table with everything its report shows.
#' @export
#' @examples
#' fits <- study_fit(lroc_cases, threads = 2)
#' fits[, c("reader", "modality", "mu", "sigma", "area_lroc", "se_area_lroc")]
#'
#' # The same study with chance localization and three categories.
#' study_fit(lroc_cases, cutpoints = c(2, 4), chance = 0.1, threads = 2)[1:2, ]
#'
#' # Each reader's own categories, and bootstrap p-values of the fits.
#' boot <- study_fit(lroc_cases, binning = "reader", gof_bootstrap = 20, seed = 5, threads = 2)
#' boot[, c("reader", "modality", "df", "p_pearson", "bootstrap_p_pearson")]
study_fit <- function(cases, cutpoints = NULL, categories = 10, criterion = 0.001, chance = NULL,
                      noloc = NULL, threads = NULL, binning = "study", gof_bootstrap = 0,
                      seed = 1) {
  call <- sys.call()
  options <- c(list(binning = binning_options(cutpoints, categories, binning),
                    fit = fit_options(criterion, chance, noloc), run = run_options(threads)),
               bootstrap_options(gof_bootstrap, seed))
  v <- unwrap(.Call(varnel_study_fit_, case_input(cases, several = TRUE), options), call)
  if (v$failed_tables > 0L) {
    warning(v$failed_tables, " of ", v$tables, if (v$tables == 1L) " table" else " tables",
            " could not be fitted (see their status)", call. = FALSE)
  }
  structure(data_frame(v$results), binning = v$binning, reader_binnings = v$reader_binnings,
            settings = v$settings)
}

# A data frame of a binding's named list of columns of equal length.
data_frame <- function(columns) {
  n <- if (length(columns) > 0L) length(columns[[1L]]) else 0L
  structure(columns, class = "data.frame", row.names = .set_row_names(n))
}
