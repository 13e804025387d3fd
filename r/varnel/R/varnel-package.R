#' varnel: maximum-likelihood fits of the LROC rating model
#'
#' The package calls the same C++ library as the console program `varnel`:
#' [read_study()] reads a rating data file, [lroc_fit()] fits the LROC model
#' to it and returns an object with `print`, `summary`, `coef`, `vcov`,
#' `logLik`, `nobs` and `plot` methods, and [report()] gives the console
#' program's output file for the fit.
#'
#' Whole reader studies, from per-case ratings in a data frame or CSV file
#' ([varnel_cases]; the example [lroc_cases]), as the program `varnel-study`
#' takes them: [study_bin()] makes one table per reader and modality,
#' [study_fit()] fits every table (on several threads) and gives the
#' command's results table, [study_compare()] compares modalities or readers
#' against a reference reader with empirical or model-based figures of merit
#' and prints the command's report, and [study_power()] gives power and
#' sample size from variance components.  Long calls stop promptly on a user
#' interrupt.  Faults are conditions of class
#' [`"varnel_error"`][varnel_error].
#'
#' @keywords internal
#' @useDynLib varnel, .registration = TRUE
#' @importFrom stats coef vcov logLik nobs
"_PACKAGE"
