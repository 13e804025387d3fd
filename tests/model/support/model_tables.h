// Helpers shared by the model tests: the model dimensions, one set of the
// derivative variant's tables, and logd1 evaluated from them.
#pragma once

#include "model/lroc_common.h"
#include "numeric/tables.h"

// Sets ncat, ndist, noloc and npar in the shared record.
void set_dims(int ncat, int ndist, int noloc);

// All tables that distr_param2__ fills for its caller.
struct deriv_tables {
    ctable p, f, ildmu, ilds, cldmu, clds, fd, ild, cld, ildmud, ildsd, cldmud, cldsd;
};

// Evaluates the derivative variant at (mu, sigma, z) into t (mu, sigma are
// copied, so the caller's arrays are left alone).
void eval_model2(const double* mu, const double* sigma, const double* z, deriv_tables& t);

// logd1 from the derivative variant's tables at (mu, sigma, z).
double logd1_at(const double* mu, const double* sigma, const double* z, const ftable& freqc,
                const ftable& freqe);

// Parameter vector <-> (mu, sigma, z), in the fit's order: target means,
// target standard deviations, boundaries.  mu(ndist), sigma(ndist) = 0, 1.
void unpack_params(const double* theta, double* mu, double* sigma, double* z);
void pack_params(const double* mu, const double* sigma, const double* z, double* theta);

// A rating study for derivative checks: counts in fit order and a parameter
// point.  Counts follow a fixed pattern; categories 1..noloc and ROC-only
// targets (qset 1) hold their whole count in freqc.
struct study {
    ftable freqc, freqe;
    double xnstim[max_dist];
    double mu[max_dist], sigma[max_dist], z[max_cat];
};

// Sets the dimensions and qset(1..ndist-1) = q[0..], fills the counts, and
// places the point: target j at mean mu0 + dmu*(j-1), deviation s0 +
// ds*(j-1); boundaries z0 + dz*(k-1).
void make_study(study& s, int ncat, int ndist, int noloc, const double* q, double mu0, double dmu,
                double s0, double ds, double z0, double dz);

// Evaluates the derivative variant at the study's point.
void eval_study(const study& s, deriv_tables& t);
