#include "model/support/model_tables.h"

#include "model/dist_param.h"
#include "model/lroc_stat.h"

void set_dims(int ncat, int ndist, int noloc) {
    globals_.ncat = ncat;
    globals_.ndist = ndist;
    globals_.noloc = noloc;
    globals_.npar = (ncat - 1) + 2 * (ndist - 1);
}

void eval_model2(const double* mu, const double* sigma, const double* z, deriv_tables& t) {
    double m[max_dist], s[max_dist];
    for (int j = 0; j < globals_.ndist; ++j) {
        m[j] = mu[j];
        s[j] = sigma[j];
    }
    distr_param2__(m, s, z, t.p, t.f, t.ildmu, t.ilds, t.cldmu, t.clds, t.fd, t.ild, t.cld,
                   t.ildmud, t.ildsd, t.cldmud, t.cldsd);
}

double logd1_at(const double* mu, const double* sigma, const double* z, const ftable& freqc,
                const ftable& freqe) {
    static deriv_tables t;
    eval_model2(mu, sigma, z, t);
    double logd1 = 0.0, logd2 = 0.0;
    lroc_logl__(freqc, freqe, t.fd, t.ild, t.cld, logd1, logd2);
    return logd1;
}

void unpack_params(const double* theta, double* mu, double* sigma, double* z) {
    const int nd = globals_.ndist, nt = nd - 1;
    for (int j = 0; j < nt; ++j) {
        mu[j] = theta[j];
        sigma[j] = theta[nt + j];
    }
    mu[nd - 1] = 0.0;
    sigma[nd - 1] = 1.0;
    for (int k = 0; k < globals_.ncat - 1; ++k) z[k] = theta[2 * nt + k];
}

void pack_params(const double* mu, const double* sigma, const double* z, double* theta) {
    const int nt = globals_.ndist - 1;
    for (int j = 0; j < nt; ++j) {
        theta[j] = mu[j];
        theta[nt + j] = sigma[j];
    }
    for (int k = 0; k < globals_.ncat - 1; ++k) theta[2 * nt + k] = z[k];
}

void make_study(study& s, int ncat, int ndist, int noloc, const double* q, double mu0, double dmu,
                double s0, double ds, double z0, double dz) {
    set_dims(ncat, ndist, noloc);
    s = study{};
    const int nd = ndist;
    for (int j = 1; j <= nd - 1; ++j) qset(j) = q[j - 1];
    for (int k = 1; k <= ncat; ++k) {
        s.freqc(k, nd) = 3 + (7 * k + 2) % 13;
        for (int j = 1; j <= nd - 1; ++j) {
            const double correct = 2 + (5 * k + 3 * j) % 17;
            const double wrong = 1 + (3 * k + 2 * j) % 6;
            if (k <= noloc || qset(j) == 1.0) {
                s.freqc(k, j) = correct + wrong;
            } else {
                s.freqc(k, j) = correct;
                s.freqe(k, j) = wrong;
            }
        }
    }
    for (int j = 1; j <= nd; ++j) {
        double n = 0.0;
        for (int k = 1; k <= ncat; ++k) n += s.freqc(k, j) + s.freqe(k, j);
        s.xnstim[j - 1] = n;
    }
    for (int j = 1; j <= nd - 1; ++j) {
        s.mu[j - 1] = mu0 + dmu * (j - 1);
        s.sigma[j - 1] = s0 + ds * (j - 1);
    }
    s.mu[nd - 1] = 0.0;
    s.sigma[nd - 1] = 1.0;
    for (int k = 1; k <= ncat - 1; ++k) s.z[k - 1] = z0 + dz * (k - 1);
}

void eval_study(const study& s, deriv_tables& t) { eval_model2(s.mu, s.sigma, s.z, t); }
