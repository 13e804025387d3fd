#' Read a rating data file
#'
#' Reads one observer's ratings in one reading condition from a rating data
#' file (the console program's input format: a `LROCDATA` header, the keyword
#' lines `OBSERVER`, `CONDITION`, `REPLICATION`, `NDIST`, `NCAT`, optionally
#' `NOLOC`, then one count table per distribution; see the project's README).
#'
#' @param path Name of the data file.
#' @return An object of class `"varnel_study"`, a list with
#'   \item{observer, condition, replication}{the identifiers as the file has
#'     them after the colon (at most 64 characters).}
#'   \item{noloc}{the number of lowest categories without localization data.}
#'   \item{labels}{the category labels (columns 2 to 17 of the table rows),
#'     lowest rating first.}
#'   \item{incorrect, correct}{count matrices, one row per category (lowest
#'     rating first) and one column per distribution (`"non-target"`, then
#'     `"target 1"`, ...): the first and the second count of the table row,
#'     for a target the images whose mark missed the target and the images
#'     correctly localized.  A row that holds a single count (a category's
#'     total) has it in `correct`.  A non-target category's images are the
#'     sum of the two.}
#' @seealso [lroc_fit()] fits the model to a study.
#' @section Errors: A file that cannot be opened or read, or that has errors,
#'   stops with a [`"varnel_error"`][varnel_error] carrying the console
#'   program's number and text (`"Input file has errors (8)"`).
#' @export
#' @examples
#' path <- system.file("extdata", "reader_a.lrc", package = "varnel")
#' study <- read_study(path)
#' study
#' study$correct
read_study <- function(path) {
  if (!is.character(path) || length(path) != 1L || is.na(path)) {
    stop("'path' must be one file name", call. = FALSE)
  }
  value <- unwrap(.Call(varnel_read_study_, path.expand(path)), sys.call())
  new_study(value)
}

new_study <- function(x) {
  dims <- list(as.character(seq_len(nrow(x$incorrect))), distribution_names(ncol(x$incorrect) - 1L))
  dimnames(x$incorrect) <- dims
  dimnames(x$correct) <- dims
  structure(x, class = "varnel_study")
}

distribution_names <- function(targets) {
  c("non-target", if (targets > 0L) paste("target", seq_len(targets)))
}

#' @export
print.varnel_study <- function(x, ...) {
  targets <- ncol(x$incorrect) - 1L
  categories <- nrow(x$incorrect)
  cat("LROC rating data: observer \"", trimws(x$observer), "\", condition \"",
      trimws(x$condition), "\", replication \"", trimws(x$replication), "\"\n", sep = "")
  cat(targets, if (targets == 1L) " target distribution, " else " target distributions, ",
      categories, if (categories == 1L) " rating category, " else " rating categories, ",
      x$noloc, " without localization data\n", sep = "")
  # One column for the non-target totals, two per target (missed, hit);
  # categories without localization show their total under "hit".
  table <- data.frame(label = trimws(x$labels), `non-target` = x$correct[, 1L] + x$incorrect[, 1L],
                      check.names = FALSE)
  for (t in seq_len(targets)) {
    table[[paste0("t", t, " missed")]] <- x$incorrect[, t + 1L]
    table[[paste0("t", t, " hit")]] <- x$correct[, t + 1L]
  }
  print(table, ...)
  invisible(x)
}

# The fields of a study as the binding takes them, checked for type and shape
# (the counts themselves are checked by the library).
study_value <- function(study) {
  if (!inherits(study, "varnel_study")) {
    stop("'study' must be a study from read_study() or the name of a data file", call. = FALSE)
  }
  text <- function(v) is.character(v) && length(v) == 1L && !is.na(v)
  whole <- function(v) is.numeric(v) && all(is.finite(v)) && all(v == round(v))
  ok <- text(study$observer) && text(study$condition) && text(study$replication) &&
    length(study$noloc) == 1L && whole(study$noloc) &&
    is.character(study$labels) && !anyNA(study$labels) &&
    is.matrix(study$incorrect) && is.matrix(study$correct) &&
    whole(study$incorrect) && whole(study$correct) &&
    identical(dim(study$incorrect), dim(study$correct)) &&
    nrow(study$incorrect) == length(study$labels)
  if (!ok) {
    stop("'study' is not a valid varnel_study: identifiers, noloc, labels and two count ",
         "matrices of whole numbers with one row per label are needed", call. = FALSE)
  }
  list(observer = study$observer, condition = study$condition, replication = study$replication,
       noloc = as.integer(study$noloc), labels = study$labels,
       incorrect = unname(matrix(as.double(study$incorrect), nrow(study$incorrect))),
       correct = unname(matrix(as.double(study$correct), nrow(study$correct))))
}
