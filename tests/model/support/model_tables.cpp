#include "model/support/model_tables.h"

#include <memory>

#include "model/likelihood.h"

using namespace varnel;

ModelSpec model_spec(int ncat, int ndist, int noloc, const double* q) {
    ModelSpec spec;
    spec.categories = ncat;
    spec.distributions = ndist;
    spec.noloc = noloc;
    spec.parameters = (ncat - 1) + 2 * (ndist - 1);
    for (int t = 1; q != nullptr && t <= ndist - 1; ++t) {
        spec.chance[t - 1] = q[t - 1];
        if (q[t - 1] != 0.0) spec.chance_entered = true;
    }
    return spec;
}

void count_images(const ModelSpec& spec, FitCounts& counts) {
    for (int j = 1; j <= spec.distributions; ++j) {
        double n = 0.0;
        for (int k = 1; k <= spec.categories; ++k) n += counts.correct(k, j) + counts.incorrect(k, j);
        counts.images[j - 1] = n;
    }
}

void eval_derivative_model(const ModelSpec& spec, const double* mu, const double* sigma,
                           const double* z, model::DerivativeTables& t) {
    double m[max_distributions], s[max_distributions];
    for (int j = 0; j < spec.distributions; ++j) {
        m[j] = mu[j];
        s[j] = sigma[j];
    }
    numeric::Romberg romberg;
    model::probabilities_with_derivatives(spec, m, s, z, t, romberg);
}

double logd1_at(const ModelSpec& spec, const FitCounts& counts, const double* mu,
                const double* sigma, const double* z) {
    const auto t = std::make_unique<model::DerivativeTables>();
    eval_derivative_model(spec, mu, sigma, z, *t);
    double logd1 = 0.0, logd2 = 0.0;
    model::log_likelihoods(spec, counts, t->fd, t->ild, t->cld, logd1, logd2);
    return logd1;
}

void unpack_params(const ModelSpec& spec, const double* theta, double* mu, double* sigma,
                   double* z) {
    const int nd = spec.distributions, nt = nd - 1;
    for (int j = 0; j < nt; ++j) {
        mu[j] = theta[j];
        sigma[j] = theta[nt + j];
    }
    mu[nd - 1] = 0.0;
    sigma[nd - 1] = 1.0;
    for (int k = 0; k < spec.categories - 1; ++k) z[k] = theta[2 * nt + k];
}

void pack_params(const ModelSpec& spec, const double* mu, const double* sigma, const double* z,
                 double* theta) {
    const int nt = spec.distributions - 1;
    for (int j = 0; j < nt; ++j) {
        theta[j] = mu[j];
        theta[nt + j] = sigma[j];
    }
    for (int k = 0; k < spec.categories - 1; ++k) theta[2 * nt + k] = z[k];
}

study pattern_study(int ncat, int ndist, int noloc, const double* q, double mu0, double dmu,
                    double s0, double ds, double z0, double dz) {
    study s{};
    s.spec = model_spec(ncat, ndist, noloc, q);
    const int nd = ndist;
    FrequencyTable& freqc = s.counts.correct;
    FrequencyTable& freqe = s.counts.incorrect;
    for (int k = 1; k <= ncat; ++k) {
        freqc(k, nd) = 3 + (7 * k + 2) % 13;
        for (int j = 1; j <= nd - 1; ++j) {
            const double correct = 2 + (5 * k + 3 * j) % 17;
            const double wrong = 1 + (3 * k + 2 * j) % 6;
            if (k <= noloc || s.spec.q(j) == 1.0) {
                freqc(k, j) = correct + wrong;
            } else {
                freqc(k, j) = correct;
                freqe(k, j) = wrong;
            }
        }
    }
    count_images(s.spec, s.counts);
    for (int j = 1; j <= nd - 1; ++j) {
        s.mu[j - 1] = mu0 + dmu * (j - 1);
        s.sigma[j - 1] = s0 + ds * (j - 1);
    }
    s.mu[nd - 1] = 0.0;
    s.sigma[nd - 1] = 1.0;
    for (int k = 1; k <= ncat - 1; ++k) s.z[k - 1] = z0 + dz * (k - 1);
    return s;
}

void eval_study(const study& s, model::DerivativeTables& t) {
    eval_derivative_model(s.spec, s.mu, s.sigma, s.z, t);
}
