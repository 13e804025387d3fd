#' Power and sample size of a reader study from variance components
#'
#' The power of each significance test [study_compare()] makes, for a
#' planned number of readers and cases, from the variance components of a
#' pilot study (Hillis, Obuchowski and Berbaum 2011, Academic Radiology
#' 18:129-142); or, given a target `power`, the smallest number of cases that
#' reaches it.  The planned study keeps the pilot's ratio of target to normal
#' cases, so the parts that come from case sampling scale by K*/K.  The
#' effect is the difference to detect (with three or more modalities, two of
#' them apart by it and the others half-way), by default the pilot's.
#' Noncentral F and chi-square distributions come from Boost.Math.
#'
#' The prediction rests on the components: checked by simulation (the
#' project's README, `power_check`), the predicted power of 10 readers x 200
#' cases from a pilot of 300 readers x 400 cases lay within 2 binomial
#' standard errors of the rejection rate of 500 simulated studies, for the
#' empirical AUC and the model-based LROC area, modalities and a reference
#' reader.  With a pilot of 100 readers the modality comparison predicted
#' 0.761 for a rate of 0.816: `var_tr` (`var_r` for a reference reader),
#' estimated from the pilot's few readers, carries most of the uncertainty of
#' a real pilot's prediction.
#'
#' The search for the number of cases is exact even where the power is not
#' monotone in it (for random readers the noncentrality grows with the cases
#' but Hillis's degrees of freedom shrink): `monotone` is `FALSE` and `note`
#' says where the power was seen to fall.
#'
#' @param components The variance components, a list (or named numeric
#'   vector).  For a comparison of modalities (Obuchowski-Rockette): `var`,
#'   `cov1`, `cov2`, `cov3` (the covariances of the FOM errors: same reader
#'   and modality; same reader, different modalities; different readers,
#'   same modality; different readers and modalities), `var_tr` (the
#'   modality x reader variance component, for planning
#'   max(MS(TR) - Var + Cov1 + max(Cov2 - Cov3, 0), 0)), `pilot_cases` (K*,
#'   the cases the covariances were estimated on) and optionally
#'   `modality_means` (the pilot's reader-averaged FOMs).  For readers
#'   against a reference reader: `var`, `cov2`, `var_r` (of psi, the reader
#'   FOM minus the reference's; `var_r` for planning
#'   max(MS(R) - Var + Cov2, 0)), `pilot_cases` and optionally `mean_psi`.
#'   `NA` marks a component a one-reader pilot leaves undefined.
#' @param readers Planned numbers of readers (at least 2; with a reference
#'   reader, the readers besides it).
#' @param cases Planned numbers of cases (at least 2), normal and target
#'   cases in the pilot's ratio; not used with `power`.
#' @param power `NULL`, or the target power: then the smallest number of
#'   cases (2 to `max_cases`) reaching it, for each number of readers.
#' @param effect `NULL` (the pilot's modality means or mean psi), or the
#'   difference to detect.
#' @param alpha The significance level.
#' @param modalities `NULL` (the pilot's number of modality means, or 2), or
#'   the number of modalities compared.
#' @param max_cases The largest number of cases the search tries.
#' @return A data frame, one row per analysis (`"random_readers_random_cases"`,
#'   `"fixed_readers_random_cases"`, `"random_readers_fixed_cases"`, or for a
#'   reference reader `"reference_random_readers_random_cases"`,
#'   `"reference_random_readers_fixed_cases"`) and planned size: `readers`
#'   and, without `power`, `cases`, `modalities`, `alpha`, `effect` (NaN for
#'   the pilot's means of three or more modalities), `effect_sum_squares`,
#'   `case_ratio` (K*/K); with `power`, `target_power`, `max_cases`, `cases`
#'   (the smallest reaching it, `NA` if none does), `monotone` and `note`.
#'   Then `analysis`, `statistic` (`"F"` or `"chi2"`), `power`, `lambda`
#'   (noncentrality), `ndf`, `ddf` (`Inf` for chi-square), `critical_value`,
#'   `denominator` and `reason` (empty, or why there is no number, e.g. a
#'   zero denominator; the numbers are then NaN).  With `power`, the
#'   figures are those at the cases found (at `max_cases` when not reached).
#' @section Errors: Bad components (negative or infinite values, a
#'   covariance larger than the variance, K* < 2), a bad plan or no effect
#'   stop with a [`"varnel_error"`][varnel_error].
#' @export
#' @examples
#' # The Van Dyke study's components for the empirical AUC (5 readers,
#' # 114 cases; printed by study_compare): the cases 10 readers need for
#' # 80% power to detect a difference of 0.0438 (163 for random readers
#' # and cases, as Hillis, Obuchowski and Berbaum report).
#' vandyke <- list(var = 8.022883e-04, cov1 = 3.466137e-04, cov2 = 3.440748e-04,
#'                 cov3 = 2.390284e-04, var_tr = 2.004025e-04, pilot_cases = 114)
#' study_power(vandyke, readers = 10, power = 0.8, effect = 0.0438)
#'
#' # The power of 5 to 15 readers with 100 or 200 cases.
#' p <- study_power(vandyke, readers = c(5, 10, 15), cases = c(100, 200), effect = 0.0438)
#' p[p$analysis == "random_readers_random_cases", c("readers", "cases", "power")]
study_power <- function(components, readers, cases = NULL, power = NULL, effect = NULL,
                        alpha = 0.05, modalities = NULL, max_cases = 100000) {
  call <- sys.call()
  comp <- power_components(components)
  whole_numbers <- function(x, name) {
    if (!is.numeric(x) || length(x) == 0L || !all(is.finite(x)) || any(x != round(x))) {
      stop("'", name, "' must be whole numbers", call. = FALSE)
    }
    as.integer(pmax(pmin(x, .Machine$integer.max), -.Machine$integer.max))
  }
  readers <- whole_numbers(readers, "readers")
  if (is.null(power)) {
    if (is.null(cases)) {
      stop("give 'cases' (the power at those sizes) or 'power' (the cases it needs)",
           call. = FALSE)
    }
    cases <- whole_numbers(cases, "cases")
    target_power <- NaN
  } else {
    if (!is.numeric(power) || length(power) != 1L || is.na(power)) {
      stop("'power' must be NULL or one number", call. = FALSE)
    }
    cases <- 2L
    target_power <- as.double(power)
  }
  if (!is.null(effect) && (!is.numeric(effect) || length(effect) != 1L || is.na(effect))) {
    stop("'effect' must be NULL or one number", call. = FALSE)
  }
  if (!is.numeric(alpha) || length(alpha) != 1L) {
    stop("'alpha' must be one number", call. = FALSE)
  }
  plan <- list(readers = 2L, cases = 2L,
               modalities = if (is.null(modalities)) 0L else whole_number(modalities, "modalities"),
               alpha = as.double(alpha), effect = if (is.null(effect)) NA_real_ else as.double(effect))
  v <- unwrap(.Call(varnel_study_power_, comp, plan, readers, cases, target_power,
                    whole_number(max_cases, "max_cases")), call)
  data_frame(v)
}

# The components as the binding takes them, with their kind: "modality"
# (cov1 given) or "reference" (var_r given).
power_components <- function(x) {
  if (is.numeric(x) && !is.null(names(x))) {
    x <- as.list(x)
  }
  if (!is.list(x) || is.null(names(x))) {
    stop("'components' must be a named list of variance components", call. = FALSE)
  }
  modality <- c("var", "cov1", "cov2", "cov3", "var_tr", "pilot_cases")
  reference <- c("var", "cov2", "var_r", "pilot_cases")
  kind <- if ("cov1" %in% names(x) && !"var_r" %in% names(x)) {
    "modality"
  } else if ("var_r" %in% names(x) && !"cov1" %in% names(x)) {
    "reference"
  } else {
    stop("'components' must have cov1 (a comparison of modalities: ",
         paste(modality, collapse = ", "), ") or var_r (a reference reader: ",
         paste(reference, collapse = ", "), "), not both", call. = FALSE)
  }
  needed <- if (kind == "modality") modality else reference
  lacking <- setdiff(needed, names(x))
  if (length(lacking) > 0L) {
    stop("'components' lacks ", paste(lacking, collapse = ", "), call. = FALSE)
  }
  one <- function(name) {
    v <- x[[name]]
    if ((!is.numeric(v) && !(is.logical(v) && all(is.na(v)))) || length(v) != 1L) {
      stop("component '", name, "' must be one number", call. = FALSE)
    }
    as.double(v)
  }
  out <- lapply(stats::setNames(setdiff(needed, "pilot_cases"), setdiff(needed, "pilot_cases")),
                one)
  out$pilot_cases <- whole_number(x$pilot_cases, "pilot_cases")
  out$kind <- kind
  if (kind == "modality") {
    means <- x$modality_means
    if (!is.null(means) && (!is.numeric(means) || anyNA(means))) {
      stop("component 'modality_means' must be numbers", call. = FALSE)
    }
    out$modality_means <- as.double(if (is.null(means)) numeric() else means)
  } else {
    out$mean_psi <- if (is.null(x$mean_psi)) NA_real_ else one("mean_psi")
  }
  out
}
