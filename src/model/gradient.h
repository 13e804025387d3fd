// Gradient of the LROC log-likelihood and the ordering of the boundaries.
#pragma once

#include "model/probabilities.h"

namespace varnel::model {

// d logL / d(parameter) for every parameter position (means, standard
// deviations, boundaries) of the log-likelihood of the ratings with their
// localization outcomes; the tables come from probabilities_with_derivatives
// at the point (a, b, z).
void log_likelihood_gradient(const ModelSpec& spec, const FitCounts& counts,
                             const DerivativeTables& t, const double* a, const double* b,
                             const double* z, double* der1);

// Sorts the boundaries bnd(1..n) into ascending order (bubble sort with a
// shrinking pass; equal values keep their order).
void sort_boundaries(double* bnd, int n);

}  // namespace varnel::model
