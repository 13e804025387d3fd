// Expected information matrix of the LROC model, damped for the
// Levenberg-Marquardt step.
#pragma once

#include "model/probabilities.h"

namespace varnel::model {

// Expected information matrix of the log-likelihood of the ratings with
// their localization outcomes at the current point, every diagonal
// contribution multiplied by 1 + lambda (lambda 0: the undamped matrix).  The
// tables come from probabilities_with_derivatives at the point; of the
// parameters only the standard deviations b are read.
void information_matrix(const ModelSpec& spec, double lambda, const double* b,
                        const double* images, const DerivativeTables& tables,
                        ParameterMatrix& xx);

}  // namespace varnel::model
