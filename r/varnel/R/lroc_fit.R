#' Fit the LROC model to one table of ratings
#'
#' Fits the LROC rating model by maximum likelihood (Levenberg-Marquardt) to
#' one observer's ratings in one reading condition, as the console program
#' `varnel` does, and computes everything its report shows: the parameters
#' with standard errors, ROC and LROC areas, localization accuracy, the
#' localization index d_loc and the probability of correct localization,
#' moments, likelihood statistics and the fitted curves.  The arguments are
#' the answers to the console program's questions.
#'
#' Before the fit, rating categories that no image fell into are dropped (the
#' console program does the same), so the fitted study may have fewer
#' categories than the file.
#'
#' @param study A study from [read_study()], or the name of a data file.
#' @param criterion Stopping criterion: the iteration stops when the sum of
#'   the absolute parameter changes is at most this.  Values below 1e-8 count
#'   as 1e-8.
#' @param chance `NULL` (no chance values), or the chance that a mark away
#'   from the target still counts as a correct localization: one value for
#'   every target distribution, or one per target, each 0 to 1 (1: the
#'   target's localization data are not used).
#' @param noloc `NULL`, or a larger number of lowest categories to treat as
#'   without localization data: between the study's own number and the number
#'   of (non-empty) categories; another value is ignored with a warning, as
#'   the console program ignores it.
#' @return An object of class `"varnel_fit"`: a list with
#'   \item{call, study, settings}{the call, the study given and the settings
#'     (`criterion`, `chance`, `noloc`).}
#'   \item{fitted}{the study as fitted (a `"varnel_study"`: without empty
#'     categories, NOLOC raised as asked).}
#'   \item{chance, chance_entered}{the chance value per target; whether any
#'     is not 0.}
#'   \item{counts}{`incorrect` and `correct` count matrices as the fit uses
#'     them: merged (the total in `correct`) wherever localization is not
#'     used.}
#'   \item{converged, iterations, stopping_index, damping}{the verdict and
#'     figures of the iteration; `singular_matrix`, `iteration_limit_reached`,
#'     `damping_zero` what the console program reports after it.}
#'   \item{coefficients, initial, se, vcov}{the estimates, the starting point
#'     and the standard errors of the free parameters (the targets' means
#'     `mu1`, ..., standard deviations `sigma1`, ..., category boundaries
#'     `b1`, ...; the non-target distribution is N(0, 1)), and their
#'     covariance matrix (NaN throughout when the information matrix could
#'     not be inverted).}
#'   \item{areas}{a data frame, one row per target: `area_roc`, `area_lroc`,
#'     `loc_accuracy` (localization accuracy P(X > Z)), the chance-adjusted
#'     `adjusted_area_lroc` and `adjusted_loc_accuracy` (`NA` without chance
#'     values), `dloc`, `pcl` (probability of correct localization), each
#'     with its standard error `se_...` (`se_pcl` is `se_loc_accuracy`: one
#'     quantity under the model).}
#'   \item{moments}{a data frame, one row per distribution (0 the non-target
#'     one): mean, standard deviation, skew and kurtosis of its rating, and
#'     the binormal d_a and Az they imply.}
#'   \item{likelihood}{the log-likelihood without the multinomial constant,
#'     the deviance against the saturated model and Pearson's chi-square,
#'     each with the localization outcomes and of the ratings alone (the
#'     report's logd1, logd2, logL1, logL2, chi1, chi2).}
#'   \item{curves}{the fitted curves at 300 points: `fp` the false-positive
#'     fraction; matrices (a column per target) `tp` the ROC true-positive
#'     fraction, `ctp` the LROC correct-localization fraction, `ctp_adjusted`
#'     the latter with chance localization.}
#'   \item{nobs}{the number of images.}
#'   \item{console, report}{the console program's texts: its report of the
#'     fit after the dialogue (which `print` shows) and its output file
#'     (which [report()] gives).}
#' @section Errors: A study that cannot be fitted (fewer than two non-empty
#'   categories, a target distribution without cases, counts the data file
#'   reader would refuse), a chance value outside 0 to 1 and a numerical stop
#'   of the integration stop with a [`"varnel_error"`][varnel_error].  A fit
#'   that did not converge is a result, with a warning.
#' @seealso [report()] for the console program's output file, [plot.varnel_fit()].
#' @export
#' @examples
#' path <- system.file("extdata", "reader_a.lrc", package = "varnel")
#' fit <- lroc_fit(read_study(path))
#' fit
#' summary(fit)
#' coef(fit)
#' sqrt(diag(vcov(fit)))
#' logLik(fit)
#'
#' # Two targets, chance localization 0.25 for both.
#' two <- system.file("extdata", "two_targets_chance.lrc", package = "varnel")
#' summary(lroc_fit(two, chance = 0.25))$areas
lroc_fit <- function(study, criterion = 0.001, chance = NULL, noloc = NULL) {
  call <- match.call()
  if (is.character(study)) {
    study <- read_study(study)
  }
  value <- study_value(study)
  targets <- ncol(value$incorrect) - 1L
  if (!is.numeric(criterion) || length(criterion) != 1L) {
    stop("'criterion' must be one number", call. = FALSE)
  }
  if (is.null(chance)) {
    chance <- rep(0, targets)
  } else if (!is.numeric(chance) || anyNA(chance) || !(length(chance) %in% c(1L, targets))) {
    stop("'chance' must be NULL, one number or one number per target (", targets, ")",
         call. = FALSE)
  }
  chance <- rep_len(as.double(chance), targets)
  noloc_asked <- 0L
  if (!is.null(noloc)) {
    if (!is.numeric(noloc) || length(noloc) != 1L || !is.finite(noloc) || noloc != round(noloc)) {
      stop("'noloc' must be NULL or one whole number", call. = FALSE)
    }
    noloc_asked <- as.integer(pmax(pmin(noloc, .Machine$integer.max), -1))
  }
  fit <- new_fit(unwrap(.Call(varnel_lroc_fit_, value, as.double(criterion), chance, noloc_asked),
                        call),
                 call, study, list(criterion = criterion, chance = chance, noloc = noloc))
  if (!is.null(noloc) && fit$fitted$noloc != noloc) {
    warning("noloc = ", noloc, " ignored: it must lie between the study's own number of ",
            "categories without localization and the number of categories (",
            fit$fitted$noloc, " to ", nrow(fit$counts$correct), ")", call. = FALSE)
  }
  if (!fit$converged) {
    warning("the fit did not converge after ", fit$iterations, " iterations", call. = FALSE)
  }
  fit
}

parameter_names <- function(targets, categories) {
  t <- seq_len(targets)
  c(if (targets > 0L) c(paste0("mu", t), paste0("sigma", t)), paste0("b", seq_len(categories - 1L)))
}

new_fit <- function(v, call, study, settings) {
  fitted <- new_study(v$study)
  targets <- ncol(fitted$incorrect) - 1L
  names <- parameter_names(targets, nrow(fitted$incorrect))
  names(v$coefficients) <- names
  names(v$initial) <- names
  names(v$se) <- names
  dimnames(v$vcov) <- list(names, names)
  counts <- list(incorrect = v$echo_incorrect, correct = v$echo_correct)
  counts <- lapply(counts, function(m) {
    dimnames(m) <- dimnames(fitted$incorrect)
    m
  })
  target_names <- distribution_names(targets)[-1L]
  curves <- v$curves
  for (k in c("tp", "ctp", "ctp_adjusted")) colnames(curves[[k]]) <- target_names
  structure(list(
    call = call,
    study = study,
    settings = settings,
    fitted = fitted,
    chance = v$chance,
    chance_entered = v$chance_entered,
    counts = counts,
    converged = v$converged,
    iterations = v$iterations,
    stopping_index = v$stopping_index,
    damping = v$damping,
    singular_matrix = v$singular_matrix,
    iteration_limit_reached = v$iteration_limit_reached,
    damping_zero = v$damping_zero,
    coefficients = v$coefficients,
    initial = v$initial,
    se = v$se,
    vcov = v$vcov,
    areas = data.frame(target = seq_len(targets), v$areas),
    moments = data.frame(distribution = 0:targets, v$moments),
    likelihood = unlist(v$likelihood),
    curves = curves,
    nobs = v$nobs,
    console = v$console,
    report = v$report
  ), class = "varnel_fit")
}

#' Methods for LROC fits
#'
#' `print` shows the console program's report of the fit (its verdict, the
#' parameters with standard errors, areas, localization, moments and
#' likelihood statistics); `summary` gives these figures as tables;
#' `coef`, `vcov`, `logLik` and `nobs` give the estimates of the free
#' parameters (`mu1`, ..., `sigma1`, ..., `b1`, ...), their covariance
#' matrix, the log-likelihood (with the localization outcomes, without the
#' multinomial constant; `df` the number of free parameters) and the number
#' of images.
#'
#' @param x,object A fit from [lroc_fit()].
#' @param digits Significant digits of the printed tables.
#' @param ... Ignored.
#' @return `summary` an object of class `"summary.varnel_fit"`, a list of
#'   data frames: `coefficients` (estimate and standard error of each free
#'   parameter), `areas` (AreaROC, AreaLROC and, with chance values, the
#'   adjusted AreaLROC per target), `localization` (localization accuracy,
#'   d_loc and the probability of correct localization per target, with
#'   standard errors), `moments` and `likelihood` (log-likelihood, deviance
#'   and Pearson chi-square with the localization outcomes and of the
#'   ratings alone); and the fit's verdict.
#' @name varnel_fit-methods
#' @examples
#' fit <- lroc_fit(system.file("extdata", "reader_a.lrc", package = "varnel"))
#' print(fit)
#' s <- summary(fit)
#' s$areas
#' coef(fit)["mu1"]
#' AIC(fit)
NULL

#' @rdname varnel_fit-methods
#' @export
print.varnel_fit <- function(x, ...) {
  cat("LROC fit: observer \"", trimws(x$fitted$observer), "\", condition \"",
      trimws(x$fitted$condition), "\"\n", sep = "")
  cat(x$console)
  invisible(x)
}

#' @rdname varnel_fit-methods
#' @export
summary.varnel_fit <- function(object, ...) {
  a <- object$areas
  areas <- a[c("target", "area_roc", "se_area_roc", "area_lroc", "se_area_lroc")]
  localization <- a[c("target", "loc_accuracy", "se_loc_accuracy", "dloc", "se_dloc", "pcl",
                      "se_pcl")]
  if (object$chance_entered) {
    areas$adjusted_area_lroc <- a$adjusted_area_lroc
    localization$adjusted_loc_accuracy <- a$adjusted_loc_accuracy
  }
  l <- object$likelihood
  likelihood <- data.frame(
    with_localization = l[c("log_likelihood", "deviance", "pearson")],
    ratings_only = l[c("log_likelihood_ratings", "deviance_ratings", "pearson_ratings")],
    row.names = c("log-likelihood", "deviance", "Pearson chi-square")
  )
  structure(list(
    call = object$call,
    observer = object$fitted$observer,
    condition = object$fitted$condition,
    converged = object$converged,
    iterations = object$iterations,
    coefficients = data.frame(estimate = object$coefficients, se = object$se),
    areas = areas,
    localization = localization,
    moments = object$moments,
    likelihood = likelihood
  ), class = "summary.varnel_fit")
}

#' @rdname varnel_fit-methods
#' @export
print.summary.varnel_fit <- function(x, digits = max(3L, getOption("digits") - 3L), ...) {
  cat("LROC fit: observer \"", trimws(x$observer), "\", condition \"", trimws(x$condition),
      "\"\n", sep = "")
  cat(if (x$converged) "Converged" else "Did not converge", " after ", x$iterations,
      " iterations\n", sep = "")
  sections <- list(
    "Parameters (non-target distribution N(0, 1))" = x$coefficients,
    "Areas" = x$areas,
    "Localization" = x$localization,
    "Moments of the rating distributions (0: non-target)" = x$moments,
    "Likelihood statistics" = x$likelihood
  )
  named_rows <- c(names(sections)[1L], "Likelihood statistics")
  for (title in names(sections)) {
    # Values that are 0 up to rounding (the non-target distribution's mean)
    # print as 0, not in exponent notation.
    table <- sections[[title]]
    table[] <- lapply(table, function(v) if (is.double(v)) zapsmall(v, digits + 2L) else v)
    cat("\n", title, ":\n", sep = "")
    print(table, digits = digits, row.names = title %in% named_rows)
  }
  invisible(x)
}

#' @rdname varnel_fit-methods
#' @export
coef.varnel_fit <- function(object, ...) object$coefficients

#' @rdname varnel_fit-methods
#' @export
vcov.varnel_fit <- function(object, ...) object$vcov

#' @rdname varnel_fit-methods
#' @export
logLik.varnel_fit <- function(object, ...) {
  structure(object$likelihood[["log_likelihood"]], df = length(object$coefficients),
            nobs = object$nobs, class = "logLik")
}

#' @rdname varnel_fit-methods
#' @export
nobs.varnel_fit <- function(object, ...) object$nobs
