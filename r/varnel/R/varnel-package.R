#' varnel: maximum-likelihood fits of the LROC rating model
#'
#' The package calls the same C++ library as the console program `varnel`:
#' [read_study()] reads a rating data file, [lroc_fit()] fits the LROC model
#' to it and returns an object with `print`, `summary`, `coef`, `vcov`,
#' `logLik`, `nobs` and `plot` methods, and [report()] gives the console
#' program's output file for the fit.  Faults are conditions of class
#' [`"varnel_error"`][varnel_error].
#'
#' @keywords internal
#' @useDynLib varnel, .registration = TRUE
#' @importFrom stats coef vcov logLik nobs
"_PACKAGE"
