# The option lists the bindings take, one function per options value of the
# library (src/study_options.h reads each): the arguments' types are checked
# here, their values by the library, whose messages name the setting.  An
# argument added to the package is one line here and one there.

# BinningOptions: cutpoints (none: from the ratings), quantile categories and
# whose ratings they come from (scope "study" or "reader").
binning_options <- function(cutpoints = NULL, categories = 10, binning = "study") {
  if (!is.null(cutpoints) && (!is.numeric(cutpoints) || anyNA(cutpoints))) {
    stop("'cutpoints' must be NULL or numbers", call. = FALSE)
  }
  list(cutpoints = as.double(if (is.null(cutpoints)) numeric() else cutpoints),
       categories = whole_number(categories, "categories"),
       scope = one_of(binning, c("study", "reader"), "binning"))
}

# The goodness-of-fit bootstrap: replicates (0: none) and the seed, a whole
# number from 0 to 2^53 (R's doubles hold every such number exactly).
bootstrap_options <- function(gof_bootstrap = 0, seed = 1) {
  b <- whole_number(gof_bootstrap, "gof_bootstrap")
  if (b < 0L) {
    stop("'gof_bootstrap' must be 0 (none) or more replicates", call. = FALSE)
  }
  if (!is.numeric(seed) || length(seed) != 1L || !is.finite(seed) || seed != round(seed) ||
      seed < 0 || seed > 2^53) {
    stop("'seed' must be one whole number from 0 to 2^53", call. = FALSE)
  }
  list(gof_bootstrap = b, seed = as.double(seed))
}

# One of the given words.
one_of <- function(x, choices, name) {
  if (!is.character(x) || length(x) != 1L || is.na(x) || !x %in% choices) {
    stop("'", name, "' must be ", paste0("\"", choices, "\"", collapse = " or "), call. = FALSE)
  }
  x
}

# TableFitOptions: the answers of the console dialogue for every table.
fit_options <- function(criterion = 0.001, chance = NULL, noloc = NULL) {
  if (!is.numeric(criterion) || length(criterion) != 1L) {
    stop("'criterion' must be one number", call. = FALSE)
  }
  if (!is.null(chance) && (!is.numeric(chance) || length(chance) == 0L || anyNA(chance))) {
    stop("'chance' must be NULL, one number or one number per target class", call. = FALSE)
  }
  list(criterion = as.double(criterion),
       chance = as.double(if (is.null(chance)) numeric() else chance),
       noloc = if (is.null(noloc)) 0L else whole_number(noloc, "noloc", null_ok = TRUE))
}

# RunControl: threads (0: one per core); the progress callback and the
# cancellation flag are the binding's.
run_options <- function(threads = NULL) {
  if (is.null(threads)) {
    return(list(threads = 0L))
  }
  n <- whole_number(threads, "threads", null_ok = TRUE)
  if (n < 1L) {
    stop("'threads' must be NULL (one per core) or at least 1", call. = FALSE)
  }
  list(threads = n)
}

# CompareOptions: the FOM, the target class (0: every class), alpha, the
# reference reader, the non-inferiority margin, and the options of the
# model-based FOMs' fits (localization NULL: the library's default).
compare_options <- function(fom, target, alpha, reference, binning, fit, run, margin = NULL,
                            localization = NULL, bootstrap = bootstrap_options()) {
  if (!is.character(fom) || length(fom) != 1L || is.na(fom)) {
    stop("'fom' must be one figure of merit, e.g. \"wilcoxon\" or \"model-alroc\"", call. = FALSE)
  }
  if (!is.numeric(alpha) || length(alpha) != 1L) {
    stop("'alpha' must be one number", call. = FALSE)
  }
  if (!is.null(reference)) {
    if (is.factor(reference)) reference <- as.character(reference)
    if (!is.character(reference) || length(reference) != 1L || is.na(reference)) {
      stop("'reference' must be NULL or one reader's name", call. = FALSE)
    }
    reference <- enc2utf8(reference)
  }
  if (!is.null(margin) && (!is.numeric(margin) || length(margin) != 1L || is.na(margin))) {
    stop("'margin' must be NULL or one number", call. = FALSE)
  }
  if (!is.null(localization)) {
    localization <- one_of(localization, c("use", "ignore"), "localization")
  }
  list(fom = fom,
       target = if (is.null(target)) 0L else whole_number(target, "target", null_ok = TRUE),
       alpha = as.double(alpha), reference = reference,
       margin = if (is.null(margin)) NULL else as.double(margin), localization = localization,
       gof_bootstrap = bootstrap$gof_bootstrap, seed = bootstrap$seed,
       binning = binning, fit = fit, run = run)
}

# One whole number as an integer (beyond the integer range held at its
# ends, for the library to refuse).
whole_number <- function(x, name, null_ok = FALSE) {
  if (!is.numeric(x) || length(x) != 1L || !is.finite(x) || x != round(x)) {
    stop("'", name, "' must be ", if (null_ok) "NULL or ", "one whole number", call. = FALSE)
  }
  as.integer(max(min(x, .Machine$integer.max), -.Machine$integer.max))
}
