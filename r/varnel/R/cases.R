#' Per-case ratings of a reader study
#'
#' The whole-study functions [study_bin()], [study_fit()],
#' [study_compare()] and [study_power()] take the ratings of a reader study as a data frame, one
#' row per reader, modality and case, or as the name of a CSV file with the
#' same columns (the input of the command `varnel-study`; see the project's
#' README).  Columns are found by name, in any order, as the CSV reader
#' finds them: without regard to the case of their ASCII letters and to
#' blanks around them (`"Reader"`, `" TRUTH "`); two columns with one name so
#' are refused; others are ignored.
#' \describe{
#'   \item{`reader`, `modality`, `case`}{identifiers: character, factor or
#'     numbers (whole numbers are written without exponent); not missing and
#'     not empty.  Readers, modalities and cases are numbered in the order
#'     they first appear.}
#'   \item{`truth`}{0 for a case without a target, 1 to 15 for a target of
#'     that class (a case has one truth in all its rows): whole numbers,
#'     texts `"0"` to `"15"` (also `"2.0"`), or `TRUE`/`FALSE` (1/0).}
#'   \item{`rating`}{a finite number, higher meaning more confident that a
#'     target is present (numbers, or texts the CSV reader reads as numbers).}
#'   \item{`localized`}{optional: for a target case 1 or `TRUE` (the mark is
#'     on the target), 0 or `FALSE` (elsewhere; also the texts `"1.0"`,
#'     `"0.0"`, `"TRUE"`, `"false"`), `NA` (or the text `"NA"`) where no localization
#'     was recorded; always `NA` for a case without a target.  Without the
#'     column the study is ROC data.}
#' }
#' Every reader rates every case once in every modality (the comparisons
#' need this; the fits need every reader in every modality).
#'
#' @section Errors: A data frame the library cannot take stops with a
#'   [`"varnel_error"`][varnel_error] of kind `"bad_input"` whose message
#'   names the row and the column, with the texts of the CSV reader:
#'   `cases: row 17: rating "abc" is not a number`, `cases: no "truth"
#'   column; ...`.  A CSV file's faults name the file and its line
#'   (`cases.csv:18: ...`).
#' @name varnel_cases
#' @seealso [lroc_cases], a simulated study in this form.
#' @examples
#' head(lroc_cases)
#' cases <- data.frame(reader = "A", modality = "M", case = 1:4, truth = c(0, 0, 1, 1),
#'                     rating = c(1, 3, 2, "high"), localized = c(NA, NA, 1, 0))
#' e <- tryCatch(study_fit(cases), varnel_error = function(e) e)
#' conditionMessage(e)
NULL

case_columns_needed <- c("reader", "modality", "case", "truth", "rating")

# The study for a binding: list(path = ) for the name of a CSV file, list(paths
# = ) for several files where the caller takes them (`several`), or
# list(columns = , source = "cases") for a data frame.
case_input <- function(cases, several = FALSE) {
  if (is.character(cases) && !is.object(cases)) {
    if (length(cases) == 0L || anyNA(cases) || (!several && length(cases) != 1L)) {
      stop("'cases' must be a data frame or ",
           if (several) "file names" else "the name of a CSV file", call. = FALSE)
    }
    return(if (several) list(paths = path.expand(cases)) else list(path = path.expand(cases)))
  }
  if (!is.data.frame(cases)) {
    stop("'cases' must be a data frame or the name of a CSV file", call. = FALSE)
  }
  list(columns = case_columns(cases, "cases"), source = "cases")
}

# The columns of a data frame as the binding takes them: identifiers as UTF-8
# texts; truth, rating and localized as texts, numbers or truth values.
case_columns <- function(df, source) {
  bad <- function(message) {
    stop(new_varnel_error("bad_input", 0L, paste0(source, ": ", message)))
  }
  # Names match as the CSV reader matches them: blanks (spaces, tabs) around
  # them dropped, ASCII letters in lowercase ("Reader", " TRUTH ").
  given <- if (is.null(names(df))) character() else names(df)
  folded <- chartr("ABCDEFGHIJKLMNOPQRSTUVWXYZ", "abcdefghijklmnopqrstuvwxyz",
                   gsub("^[ \t]+|[ \t]+$", "", given))
  for (name in c(case_columns_needed, "localized")) {
    if (sum(folded == name) > 1L) {
      bad(paste0("the column \"", name, "\" appears twice"))
    }
  }
  df <- stats::setNames(as.list(df)[folded %in% c(case_columns_needed, "localized")],
                        folded[folded %in% c(case_columns_needed, "localized")])
  for (name in case_columns_needed) {
    if (!name %in% names(df)) {
      bad(paste0("no \"", name, "\" column; the data frame needs the columns reader, modality, ",
                 "case, truth and rating and optionally localized"))
    }
  }
  # A column as a plain vector of numbers, texts or truth values.
  plain <- function(name, v) {
    if (!is.atomic(v) || is.complex(v) || is.raw(v)) {
      bad(paste0("the column \"", name, "\" holds ", class(v)[1L],
                 " values; give numbers, texts or TRUE/FALSE"))
    }
    attributes(v) <- NULL
    v
  }
  identifiers <- function(name) {
    v <- df[[name]]
    # Factors, dates and other classes by their texts.
    v <- plain(name, if (is.object(v) && is.atomic(v)) as.character(v) else v)
    if (is.double(v) && all(is.na(v) | (v == trunc(v) & abs(v) < 1e15))) {
      # Whole numbers without exponent: case 100000 is "100000", not "1e+05".
      text <- sprintf("%.0f", v)
      text[is.na(v)] <- NA_character_
      v <- text
    }
    enc2utf8(as.character(v))
  }
  values <- function(name) {
    v <- df[[name]]
    v <- plain(name, if (is.factor(v)) as.character(v) else v)
    if (is.integer(v)) as.double(v) else if (is.character(v)) enc2utf8(v) else v
  }
  list(reader = identifiers("reader"), modality = identifiers("modality"),
       case = identifiers("case"), truth = values("truth"), rating = values("rating"),
       localized = if ("localized" %in% names(df)) values("localized"))
}
