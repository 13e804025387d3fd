// The fit report: the data echo, the fit section and the statistics after
// the fit, in the exact layout of the console program and its output file.
#pragma once

#include "varnel/fit.h"
#include "varnel/printer.h"
#include "varnel/summary.h"

namespace varnel::report {

// Identifiers, numbers of distributions and categories, chance values and the
// count tables as the fit uses them.
void write_echo(output::Printer& out, const PreparedStudy& prepared);
// Verdict, iteration figures, and the fitted next to the initial means,
// standard deviations and boundaries.
void write_fit(output::Printer& out, const PreparedStudy& prepared, const FitResult& fit);
// Parameters with standard errors, areas, localization, moments and the
// likelihood statistics; with full, also the curves (when the summary has
// them) and the standard-error and correlation matrix (the output file).  Returns false, after the blocks
// before the likelihood statistics, when the summary could not evaluate them
// (summary.likelihood_error).
bool write_summary(output::Printer& out, const PreparedStudy& prepared, const FitResult& fit,
                   const Summary& summary, bool full);
// The whole output file: echo, fit and full summary (false as write_summary).
bool write_output_file(output::Printer& out, const PreparedStudy& prepared, const FitResult& fit,
                       const Summary& summary);
// One list-directed line per negative variance (the trace file's notes).
void write_negative_variances(output::Printer& trace, const Summary& summary);

}  // namespace varnel::report
