// Levenberg-Marquardt maximization of the LROC log-likelihood.
#pragma once

#include "model/workspace.h"

namespace varnel::output {
class Printer;
}

namespace varnel::model {

// Maximum-likelihood fit of means, standard deviations and boundaries from
// result.estimate (set by the caller to the starting point): fills every
// other field of result but initial and log_likelihood.  With a trace, writes
// the step-by-step trace there.  Throws numeric::NumericalStop.
// options.initial_damping, max_sigma and max_abs_mean set the first damping
// value and the range of the trial points.
void levenberg_marquardt(const ModelSpec& spec, const FitCounts& counts, double criterion,
                         const FitOptions& options, Workspace::Tables& ws,
                         output::Printer* trace, FitResult& result);

// The same with the default FitOptions (the console program's).
inline void levenberg_marquardt(const ModelSpec& spec, const FitCounts& counts, double criterion,
                                Workspace::Tables& ws, output::Printer* trace, FitResult& result)
{
    levenberg_marquardt(spec, counts, criterion, FitOptions{}, ws, trace, result);
}

// Covariance matrix at the end of the iteration: the undamped information
// matrix from the given model tables inverted into covariance.  When the
// inversion fails (a row of zeros) it returns false and fills the leading
// block with NaN, since no covariance matrix exists.
bool covariance_matrix(const ModelSpec& spec, const double* b, const double* images,
                       const DerivativeTables& tables, ParameterMatrix& information,
                       ParameterMatrix& covariance);

}  // namespace varnel::model
