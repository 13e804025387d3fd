#' Bin a reader study into one table per reader and modality
#'
#' Makes the rating categories every table of a study shares and counts each
#' reader's ratings in each modality into a table of the console program's
#' kind, as `varnel-study bin` does.  The categories come from, in this
#' order: `cutpoints` (category 1 holds the ratings at or below the first,
#' the last those above the last); one category per distinct rating when
#' there are at most 17; otherwise `categories` categories from the
#' quantiles of all ratings, runs of equal ratings never split (so heavily
#' tied ratings give fewer).  When some target cases lack localization and
#' others have it, the ratings up to the highest unlocalized target rating
#' form the lowest category.  A table's NOLOC is the number of its lowest
#' categories up to the highest one holding a target case without
#' localization.
#'
#' @param cases The per-case ratings: a data frame or the name of a CSV file
#'   (see [varnel_cases]).
#' @param cutpoints `NULL`, or the upper bounds of the categories (at most
#'   16, increasing).
#' @param categories The number of quantile categories (2 to 17), used when
#'   there are no cutpoints and more than 17 distinct ratings.
#' @param binning Whose ratings the categories come from: `"study"` (one set
#'   for every table, from all ratings) or `"reader"` (each reader's own, from
#'   that reader's ratings in every modality: for readers on different rating
#'   scales, e.g. an algorithm's scores and radiologists' ratings); cutpoints
#'   are the same for every reader either way.
#' @return An object of class `"varnel_binning"`, a list with
#'   \item{categories}{a data frame, one row per category: `category`,
#'     `label` (as the data files show it), `lower` and `upper` (the category
#'     holds the ratings r with lower < r <= upper) and `ratings` (how many
#'     ratings of the study fall into it); with `binning = "reader"` one set
#'     per reader, the `reader` first and `ratings` counting that reader's.}
#'   \item{rule}{how the categories were made: `"cutpoints"`,
#'     `"distinct_ratings"` or `"quantiles"`; `noloc_group` whether category
#'     1 is the group of unlocalized target ratings (with `binning =
#'     "reader"`, one per reader, named by reader).}
#'   \item{tables}{a data frame, one row per table (reader by reader, the
#'     modalities within): `reader`, `modality`, `noloc`, `normal_ratings`
#'     and `target_ratings` (ratings of cases without and with a target) and
#'     `file`, the data file name `varnel-study bin` gives it.}
#'   \item{studies}{the tables as [`"varnel_study"`][read_study] objects in
#'     a list matrix with a row per reader and a column per modality:
#'     `x$studies[["R1", "M2"]]` is reader R1's table in modality M2, ready
#'     for [lroc_fit()].}
#'   \item{data_files}{the text of each table's data file, named by file.}
#'   \item{text}{what `varnel-study bin` prints (without the file column),
#'     which `print` shows.}
#' @section Errors: Faults of the ratings, of the options, and tables the
#'   binning cannot make (a reader without ratings in a modality; a category
#'   mixing target cases with and without localization, which `cutpoints`
#'   can avoid) stop with a [`"varnel_error"`][varnel_error].
#' @seealso [study_fit()] fits every table; [lroc_fit()] fits one.
#' @export
#' @examples
#' bins <- study_bin(lroc_cases)
#' bins
#' bins$categories
#' fit <- lroc_fit(bins$studies[["R03", "M2"]])
#' summary(fit)$areas
#'
#' # Three categories from cutpoints.
#' study_bin(lroc_cases, cutpoints = c(2, 4))$tables
#'
#' # Each reader's own categories.
#' study_bin(lroc_cases, binning = "reader")$categories[1:8, ]
study_bin <- function(cases, cutpoints = NULL, categories = 10, binning = "study") {
  call <- sys.call()
  v <- unwrap(.Call(varnel_study_bin_, case_input(cases),
                    binning_options(cutpoints, categories, binning)), call)
  studies <- lapply(v$tables, new_study)
  files <- v$file_names
  images <- function(s, columns) as.integer(sum(s$incorrect[, columns], s$correct[, columns]))
  tables <- data.frame(
    reader = rep(v$readers, each = length(v$modalities)),
    modality = rep(v$modalities, times = length(v$readers)),
    noloc = vapply(studies, function(s) s$noloc, 0L),
    normal_ratings = vapply(studies, images, 0L, columns = 1L),
    target_ratings = vapply(studies, function(s) images(s, -1L), 0L),
    file = files,
    stringsAsFactors = FALSE
  )
  # The tables are reader-major over the study's readers and modalities.
  matrix_of <- matrix(studies, nrow = length(v$readers), byrow = TRUE,
                      dimnames = list(reader = v$readers, modality = v$modalities))
  # The categories and the ratings in each, of the study or of each reader.
  category_frame <- function(b, tables) {
    counts <- Reduce(`+`, lapply(tables, function(s) rowSums(s$incorrect) + rowSums(s$correct)))
    data.frame(category = seq_along(b$labels), label = b$labels, lower = c(-Inf, b$upper),
               upper = c(b$upper, Inf), ratings = as.integer(unname(counts)),
               stringsAsFactors = FALSE)
  }
  if (is.null(v$reader_binnings)) {
    b <- v$binning
    categories_frame <- category_frame(b, studies)
  } else {
    per_reader <- lapply(v$readers, function(r) {
      cbind(reader = r, category_frame(v$reader_binnings[[r]], matrix_of[r, ]),
            stringsAsFactors = FALSE)
    })
    categories_frame <- do.call(rbind, per_reader)
    rownames(categories_frame) <- NULL
    b <- v$reader_binnings[[1L]]
  }
  structure(list(
    call = call,
    categories = categories_frame,
    rule = if (is.null(v$reader_binnings)) b$rule
           else vapply(v$reader_binnings, function(x) x$rule, ""),
    noloc_group = if (is.null(v$reader_binnings)) b$noloc_group
                  else vapply(v$reader_binnings, function(x) x$noloc_group, NA),
    tables = tables,
    studies = matrix_of,
    data_files = stats::setNames(v$data_files, files),
    text = v$text
  ), class = "varnel_binning")
}

#' @export
print.varnel_binning <- function(x, ...) {
  cat(x$text)
  invisible(x)
}
