// Helpers shared by the model tests: the model dimensions, the derivative
// variant's tables at a point, logd1 evaluated from them, and a rating study
// with a fixed count pattern for derivative checks.
#pragma once

#include "model/probabilities.h"
#include "varnel/fit.h"

// The dimensions of a fit and the chance values q[0..ndist-2] of its targets
// (all 0 without q).
varnel::ModelSpec model_spec(int ncat, int ndist, int noloc, const double* q = nullptr);

// Images per distribution, from the count tables.
void count_images(const varnel::ModelSpec& spec, varnel::FitCounts& counts);

// Evaluates the derivative variant at (mu, sigma, z) into t (mu, sigma are
// copied, so the caller's arrays are left alone).
void eval_derivative_model(const varnel::ModelSpec& spec, const double* mu, const double* sigma,
                           const double* z, varnel::model::DerivativeTables& t);

// logd1 from the derivative variant's tables at (mu, sigma, z).
double logd1_at(const varnel::ModelSpec& spec, const varnel::FitCounts& counts, const double* mu,
                const double* sigma, const double* z);

// Parameter vector <-> (mu, sigma, z), in the fit's order: target means,
// target standard deviations, boundaries.  mu(ndist), sigma(ndist) = 0, 1.
void unpack_params(const varnel::ModelSpec& spec, const double* theta, double* mu, double* sigma,
                   double* z);
void pack_params(const varnel::ModelSpec& spec, const double* mu, const double* sigma,
                 const double* z, double* theta);

// A rating study for derivative checks: dimensions, counts in fit order and a
// parameter point.  Counts follow a fixed pattern; categories 1..noloc and
// ROC-only targets (chance 1) hold their whole count in `correct`.
struct study {
    varnel::ModelSpec spec;
    varnel::FitCounts counts;
    double mu[varnel::max_distributions], sigma[varnel::max_distributions];
    double z[varnel::max_categories];
};

// The pattern study with chance values q[0..ndist-2] and the point: target j
// at mean mu0 + dmu*(j-1), deviation s0 + ds*(j-1); boundaries z0 + dz*(k-1).
study pattern_study(int ncat, int ndist, int noloc, const double* q, double mu0, double dmu,
                    double s0, double ds, double z0, double dz);

// Evaluates the derivative variant at the study's point.
void eval_study(const study& s, varnel::model::DerivativeTables& t);
