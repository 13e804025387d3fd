#' The console program's report of a result
#'
#' For a fit from [lroc_fit()]: the text the console program `varnel` writes
#' to its output file for the same data file and answers, byte for byte: the
#' data echo, the fit, the parameters with standard errors, areas,
#' localization, moments, likelihood statistics, the ROC and LROC curves at
#' 34 false-positive fractions and the standard-error/correlation matrix.
#' For a comparison from [study_compare()]: the text report of
#' `varnel-study compare`.  For a result of [study_power()]: the report of
#' `varnel-study power` as text, CSV or JSON.
#'
#' @param x A result: a fit from [lroc_fit()], a comparison from
#'   [study_compare()] or a result of [study_power()].
#' @param file `NULL`, or the name of a file to write the text to (replaced
#'   if it exists).
#' @param ... Ignored.
#' @return Without `file`, the text as one string of class
#'   `"varnel_report"` (printed as it is); with `file`, `file`, invisibly.
#' @export
#' @examples
#' fit <- lroc_fit(system.file("extdata", "reader_a.lrc", package = "varnel"))
#' report(fit)
#' out <- tempfile(fileext = ".txt")
#' report(fit, file = out)
#' readLines(out, n = 3)
report <- function(x, ...) UseMethod("report")

#' @rdname report
#' @export
report.varnel_fit <- function(x, file = NULL, ...) {
  write_report(x$report, file)
}

#' @rdname report
#' @export
report.varnel_compare <- function(x, file = NULL, ...) {
  write_report(x$text, file)
}

#' @rdname report
#' @param format For a power result: `"text"`, `"csv"` or `"json"`, as
#'   `varnel-study power --format` writes them.
#' @export
report.varnel_power <- function(x, file = NULL, format = c("text", "csv", "json"), ...) {
  format <- match.arg(format)
  write_report(attr(x, format), file)
}

write_report <- function(text, file) {
  if (is.null(file)) {
    return(structure(text, class = "varnel_report"))
  }
  if (!is.character(file) || length(file) != 1L || is.na(file)) {
    stop("'file' must be NULL or one file name", call. = FALSE)
  }
  con <- base::file(file, open = "wb")
  on.exit(close(con))
  writeChar(text, con, eos = NULL, useBytes = TRUE)
  invisible(file)
}

#' @export
print.varnel_report <- function(x, ...) {
  cat(x)
  invisible(x)
}
