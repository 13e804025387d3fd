#' Errors from the varnel library
#'
#' Reading a data file, checking a study and fitting it, and the faults of
#' whole studies (per-case ratings, options, a design the analysis cannot
#' take, a failed refit), stop with a condition of class `"varnel_error"`
#' (and `"error"`, `"condition"`), so that callers can catch them with
#' `tryCatch(..., varnel_error = function(e) ...)`.  It carries the console
#' program's (or `varnel-study`'s) number and text for the same fault:
#' \describe{
#'   \item{`message`}{the console program's text, e.g. `"Input file has
#'     errors (8)"` or `"There are less than two non-empty categories"`.}
#'   \item{`number`}{for `kind = "bad_data"` the data file error number: 1
#'     no `LROCDATA` header or a keyword line of colons only; 2 a keyword line
#'     without a colon or value, or no `OBSERVER` line; 3, 4, 5, 6 the
#'     `CONDITION`, `REPLICATION`, `NDIST`, `NCAT` line missing or misnamed; 7
#'     `NOLOC` below 0 or above `NCAT`; 8 a table row without the counts it
#'     needs, a negative count, or a count or total beyond 2,147,483,647; 9
#'     `NDIST` outside 0 to 15; 10 `NCAT` outside 1 to 17.  For
#'     `"empty_target"` and a chance value in `"bad_settings"` the target;
#'     else 0.}
#'   \item{`kind`}{what went wrong: `"open_failed"` (the file could not be
#'     opened), `"read_failed"` (reading failed or the file ended early),
#'     `"bad_data"`, `"too_few_categories"` (fewer than two non-empty rating
#'     categories), `"empty_target"` (a target distribution without cases),
#'     `"bad_settings"` (a chance value outside 0 to 1, a stopping criterion
#'     that is not a number) or `"numerical_stop"` (the integration could not
#'     go on); for whole studies `"bad_input"` (per-case ratings, options or
#'     a study design the call cannot take: the message names the row and
#'     column, the option or what the design lacks) or `"failed_fit"` (a fit
#'     or refit a comparison depends on failed or did not converge: the
#'     message names the reader, the modality and the case left out).}
#'   \item{`status`}{the program's exit status for the fault: 2 for a
#'     numerical stop or a failed fit, else 1.}
#' }
#' Mistakes in the arguments themselves (a chance vector of the wrong length,
#' a path that is not a string) are ordinary R errors.
#'
#' @name varnel_error
#' @examples
#' bad <- tempfile(fileext = ".lrc")
#' writeLines(c("LROCDATA", "OBSERVER: A", "CONDITION: B", "REPLICATION: 1",
#'              "NDIST: 20", "NCAT: 5"), bad)
#' e <- tryCatch(read_study(bad), varnel_error = function(e) e)
#' conditionMessage(e)
#' e$number
#' e$kind
NULL

new_varnel_error <- function(kind, number, message, call = NULL, status = 1L) {
  structure(
    class = c("varnel_error", "error", "condition"),
    list(message = message, call = call, kind = kind, number = number, status = status)
  )
}

# A binding's list(value = ...) or list(error = ...): the value, or the error
# raised as a "varnel_error".
unwrap <- function(result, call) {
  e <- result$error
  if (!is.null(e)) {
    stop(new_varnel_error(e$kind, e$number, e$message, call, e$status))
  }
  result$value
}
