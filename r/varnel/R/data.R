#' A simulated reader study
#'
#' Per-case ratings of a study drawn from the LROC model by the project's
#' simulator (`gen_cases`, seed 7; the script is `data-raw/make.sh` in the
#' project's `r/varnel` folder): 5 readers (`R01` to `R05`) read 100 cases
#' (`C0001` to `C0050` without a target, `C0051` to `C0100` with one) in 2
#' modalities (`M1`, `M2`; the target is easier to see in `M2`, mean 1.9
#' against 1.3), with reader, case, reader x case and modality x case
#' variability.  Ratings are 1 to 6; target cases rated 2 or lower carry no
#' localization.  The same ratings as a CSV file are
#' `system.file("extdata", "lroc_cases.csv", package = "varnel")`.
#'
#' @format A data frame of 1,000 rows (one per reader, modality and case) and
#'   the columns of [varnel_cases]: `reader`, `modality`, `case` (character),
#'   `truth` (0 or 1), `rating` (1 to 6), `localized` (1, 0, or `NA` for cases
#'   without a target and target cases without a mark).
#' @source Simulated.
#' @examples
#' table(lroc_cases$modality, lroc_cases$rating)
#' study_compare(lroc_cases, fom = "wilcoxon")$tests
#' @name lroc_cases
#' @docType data
#' @keywords datasets
NULL
