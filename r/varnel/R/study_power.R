#' Power and sample size of a reader study from a pilot or variance components
#'
#' The power of each significance test [study_compare()] makes, for a
#' planned number of readers and cases, from a pilot study (its per-case
#' ratings, analysed as [study_compare()] analyses them, as
#' `varnel-study power` does) or the variance components of one
#' (Hillis, Obuchowski and Berbaum 2011, Academic Radiology
#' 18:129-142); or, given a target `power`, the smallest number of cases that
#' reaches it.  The planned study keeps the pilot's ratio of target to normal
#' cases, so the parts that come from case sampling scale by K*/K.  The
#' effect is the difference to detect (with three or more modalities, two of
#' them apart by it and the others half-way), by default the pilot's.
#' Noncentral F and chi-square distributions come from Boost.Math.
#' A pilot's components are those of its modality comparison, or with a
#' `reference` reader those of psi of the other readers against it.
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
#' @param components A pilot study: a data frame or the name of a CSV file
#'   of per-case ratings (see [varnel_cases]), with `fom` and the other
#'   arguments of [study_compare()]; or the variance components, a list (or
#'   named numeric vector).  For a comparison of modalities (Obuchowski-Rockette): `var`,
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
#' @param fom A pilot's figure of merit, as for [study_compare()].
#' @param reference `NULL`, or the reference reader: of a pilot, the reader
#'   the other readers are compared with (the components are then those of
#'   psi); with components of a reference reader, its name for the report.
#' @param modality With `reference` and a pilot of several modalities: the
#'   modality whose reference analysis gives the components.
#' @param target The pilot's target class (needed when it has several).
#' @param cutpoints,categories,binning,criterion,chance,noloc,localization
#'   The binning and fits of a pilot's model-based FOM, as for
#'   [study_compare()].
#' @param threads `NULL` (one per core) or the number of threads of a
#'   pilot's fits.
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
#'
#'   The data frame has class `"varnel_power"`: `print` shows the report of
#'   `varnel-study power` (the pilot, the components, the effect and the
#'   tables, with a note on what the powers rest on), [report()] gives it as
#'   text, CSV or JSON, `plot` draws power against cases and [write_svg()]
#'   writes the library's picture.  Attributes: `components` (those used,
#'   named as this function takes them), `comparison` (`"modalities"` or
#'   `"reference"`), `pilot` (`source`, `fom`, `target_class`,
#'   `pilot_readers`, `pilot_modalities`, `pilot_normal_cases`,
#'   `pilot_target_cases`, `reference_reader`, `reference_modality`),
#'   `modalities`, `alpha`, `effect`, `effect_from_pilot`, `text`, `csv`,
#'   `json`, `pictures` (SVG per analysis) and `warnings` (a data frame of
#'   the `kind` and `message` of each warning of a model-based pilot's fits,
#'   as [study_compare()] gives them: the components, and so the powers,
#'   rest on those fits; each is also given as an R warning).  A subset
#'   (`x[i, j]`) is a plain data frame.
#' @section Errors: Bad components (negative or infinite values, a
#'   covariance larger than the variance, K* < 2), a bad plan or no effect
#'   stop with a [`"varnel_error"`][varnel_error]; so do a pilot's faults,
#'   as for [study_compare()].
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
#'
#' # From the pilot itself: its jackknife gives the components.
#' pilot <- study_power(system.file("extdata", "vandyke_cases.csv", package = "varnel"),
#'                      fom = "wilcoxon", readers = 10, power = 0.8, effect = 0.0438)
#' pilot
#' attr(pilot, "components")
#' plot(pilot)
study_power <- function(components, readers, cases = NULL, power = NULL, effect = NULL,
                        alpha = 0.05, modalities = NULL, max_cases = 100000, fom = NULL,
                        reference = NULL, modality = NULL, target = NULL, cutpoints = NULL,
                        categories = 10, criterion = 0.001, chance = NULL, noloc = NULL,
                        localization = NULL, binning = "study", threads = NULL) {
  call <- sys.call()
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
    cases <- integer()
    target_power <- as.double(power)
  }
  if (!is.null(effect) && (!is.numeric(effect) || length(effect) != 1L || is.na(effect))) {
    stop("'effect' must be NULL or one number", call. = FALSE)
  }
  if (!is.numeric(alpha) || length(alpha) != 1L) {
    stop("'alpha' must be one number", call. = FALSE)
  }
  if (!is.null(modality) && (!is.character(modality) || length(modality) != 1L ||
                             is.na(modality))) {
    stop("'modality' must be NULL or one modality's name", call. = FALSE)
  }
  plan <- list(readers = readers, cases = cases,
               modalities = if (is.null(modalities)) 0L else whole_number(modalities, "modalities"),
               alpha = as.double(alpha),
               effect = if (is.null(effect)) NA_real_ else as.double(effect),
               target_power = target_power, max_cases = whole_number(max_cases, "max_cases"),
               reference_modality = if (is.null(modality)) "" else enc2utf8(modality))
  if (is.data.frame(components) || (is.character(components) && !is.object(components))) {
    # A pilot study, analysed as study_compare() analyses it.
    if (is.null(fom)) {
      stop("'fom': name the figure of merit of the pilot", call. = FALSE)
    }
    options <- compare_options(fom, target, alpha, reference,
                               binning = binning_options(cutpoints, categories, binning),
                               fit = fit_options(criterion, chance, noloc),
                               run = run_options(threads), localization = localization)
    v <- unwrap(.Call(varnel_study_power_pilot_, case_input(components), options, plan), call)
    for (message in v$warnings$message) {
      warning(message, call. = FALSE)
    }
  } else {
    pilot_only <- c(fom = !is.null(fom), modality = !is.null(modality),
                    target = !is.null(target), cutpoints = !is.null(cutpoints),
                    categories = !missing(categories), criterion = !missing(criterion),
                    chance = !is.null(chance), noloc = !is.null(noloc),
                    localization = !is.null(localization), binning = !missing(binning),
                    threads = !is.null(threads))
    if (any(pilot_only)) {
      stop("'", names(pilot_only)[pilot_only][1L], "' goes with a pilot study, not with ",
           "variance components", call. = FALSE)
    }
    comp <- power_components(components)
    if (!is.null(reference)) {
      if (comp$kind != "reference") {
        stop("'reference' goes with the components of a reference reader (var_r)", call. = FALSE)
      }
      reference <- compare_options("wilcoxon", NULL, alpha, reference)$reference
    }
    v <- unwrap(.Call(varnel_study_power_, comp, c(plan, list(reference = reference))), call)
  }
  new_power(v, call)
}

# A "varnel_power" data frame of a binding's result: the table, with what
# the planning used and its reports as attributes.
new_power <- function(v, call) {
  structure(data_frame(v$table), class = c("varnel_power", "data.frame"), call = call,
            comparison = v$comparison, components = v$components,
            pilot = v[c("source", "fom", "target_class", "pilot_readers", "pilot_modalities",
                        "pilot_normal_cases", "pilot_target_cases", "reference_reader",
                        "reference_modality")],
            modalities = v$modalities, alpha = v$alpha, effect = v$effect,
            effect_from_pilot = v$effect_from_pilot, text = v$text, csv = v$csv, json = v$json,
            pictures = v$pictures, warnings = data_frame(v$warnings))
}

#' @export
print.varnel_power <- function(x, ...) {
  cat(attr(x, "text"))
  invisible(x)
}

# Subsets give a plain data frame: the reports describe the whole result.
#' @export
`[.varnel_power` <- function(x, ...) {
  y <- NextMethod()
  if (is.data.frame(y)) plain_frame(y) else y
}

#' @export
as.data.frame.varnel_power <- function(x, ...) plain_frame(x)

plain_frame <- function(x) {
  structure(unclass(x)[names(x)], class = "data.frame", row.names = .set_row_names(nrow(x)))
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
