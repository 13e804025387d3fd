// Log-likelihoods, deviance and Pearson statistics of the LROC model, once with
// the localization outcomes (statistics 1) and once for the ratings alone
// (statistics 2).
//
// Cells: every non-target category and every target category 1..noloc is one
// cell with probability fd.  A target category above noloc is, for the
// statistics 1 and when qset < 1, two cells: correct localization with
// probability cld + q*ild, incorrect localization with (1 - q)*ild.
#include "model/lroc_stat.h"

#include <cmath>

#include "model/dist_param.h"
#include "model/lroc_common.h"

namespace {

// Deviance term O ln(O/E); a zero count contributes nothing.
inline double g_term(double o, double e) {
    const double ratio = o / e;
    return ratio == 0.0 ? 0.0 : o * std::log(ratio);
}

// Pearson term (O - E)^2 / E.
inline double p_term(double o, double e) {
    const double d = o - e;
    return d * d / e;
}

// Images of target distribution j, both localization outcomes.
double target_total(const ftable& freqc, const ftable& freqe, int j) {
    double n1 = 0.0;
    for (int k = 1; k <= globals_.ncat; ++k) n1 += freqc(k, j) + freqe(k, j);
    return n1;
}

double nontarget_total(const ftable& freqc) {
    const int nd = globals_.ndist;
    double n0 = 0.0;
    for (int k = 1; k <= globals_.ncat; ++k) n0 += freqc(k, nd);
    return n0;
}

// Category tables of lroc_fit__'s model evaluations.
ctable fit_fd, fit_ild, fit_cld;

}  // namespace

// Log-likelihoods without the multinomial constant: logd1 of the ratings with
// their localization outcomes, logd2 of the ratings alone.
int lroc_logl__(const ftable& freqc, const ftable& freqe, const ctable& fd, const ctable& ild,
                const ctable& cld, double& logd1, double& logd2) {
    const int nc = globals_.ncat;
    const int nd = globals_.ndist;
    const int noloc = globals_.noloc;

    logd1 = 0.0;
    for (int k = 1; k <= nc; ++k) logd1 += freqc(k, nd) * std::log(fd(k, nd));
    logd2 = logd1;

    double sum_noloc = 0.0;
    for (int j = 1; j <= nd - 1; ++j) {
        const double q = qset(j);
        for (int k = 1; k <= noloc; ++k) sum_noloc += freqc(k, j) * std::log(fd(k, j));
        for (int k = noloc + 1; k <= nc; ++k) {
            logd1 += freqc(k, j) * std::log(q * ild(k, j) + cld(k, j));
            if (q != 1.0) logd1 += freqe(k, j) * std::log((1.0 - q) * ild(k, j));
            logd2 += (freqc(k, j) + freqe(k, j)) * std::log(fd(k, j));
        }
    }
    logd1 += sum_noloc;
    logd2 += sum_noloc;
    return 0;
}

// Deviance (likelihood-ratio) statistics against the saturated model: logl1
// with localization outcomes, logl2 for the ratings alone.  A distribution
// without images has no cells and contributes nothing.
int lroc_logl2__(const ftable& freqc, const ftable& freqe, const ctable& fd, const ctable& ild,
                 const ctable& cld, double& logl1, double& logl2) {
    const int nc = globals_.ncat;
    const int nd = globals_.ndist;
    const int noloc = globals_.noloc;

    double sum0 = 0.0, sum1 = 0.0, sum2 = 0.0;
    const double n0 = nontarget_total(freqc);
    if (n0 != 0.0) {
        for (int k = 1; k <= nc; ++k) sum0 += g_term(freqc(k, nd), n0 * fd(k, nd));
    }
    for (int j = 1; j <= nd - 1; ++j) {
        const double n1 = target_total(freqc, freqe, j);
        if (n1 == 0.0) continue;
        const double q = qset(j);
        for (int k = 1; k <= noloc; ++k) sum0 += g_term(freqc(k, j), n1 * fd(k, j));
        for (int k = noloc + 1; k <= nc; ++k) {
            const double rating = g_term(freqc(k, j) + freqe(k, j), n1 * fd(k, j));
            if (q == 1.0) {
                sum0 += rating;
            } else {
                sum2 += rating;
                sum1 += g_term(freqe(k, j), (1.0 - q) * n1 * ild(k, j)) +
                        g_term(freqc(k, j), (q * ild(k, j) + cld(k, j)) * n1);
            }
        }
    }
    logl1 = 2.0 * (sum0 + sum1);
    logl2 = 2.0 * (sum0 + sum2);
    return 0;
}

// Pearson chi-square statistics over the same cells: chi1 with localization
// outcomes, chi2 for the ratings alone.  A zero count adds its expected count.
int lroc_chisq__(const ftable& freqc, const ftable& freqe, const ctable& fd, const ctable& ild,
                 const ctable& cld, double& chi1, double& chi2) {
    const int nc = globals_.ncat;
    const int nd = globals_.ndist;
    const int noloc = globals_.noloc;

    double sum0 = 0.0, sum1 = 0.0, sum2 = 0.0;
    const double n0 = nontarget_total(freqc);
    if (n0 != 0.0) {
        for (int k = 1; k <= nc; ++k) sum0 += p_term(freqc(k, nd), n0 * fd(k, nd));
    }
    for (int j = 1; j <= nd - 1; ++j) {
        const double n1 = target_total(freqc, freqe, j);
        if (n1 == 0.0) continue;
        const double q = qset(j);
        for (int k = 1; k <= noloc; ++k) sum0 += p_term(freqc(k, j), n1 * fd(k, j));
        for (int k = noloc + 1; k <= nc; ++k) {
            const double rating = p_term(freqc(k, j) + freqe(k, j), n1 * fd(k, j));
            if (q == 1.0) {
                sum0 += rating;
            } else {
                sum2 += rating;
                const double e_il = (1.0 - q) * n1 * ild(k, j);
                const double e_cl = (q * ild(k, j) + cld(k, j)) * n1;
                if (e_il != 0.0) sum1 += p_term(freqe(k, j), e_il);
                if (e_cl != 0.0) sum1 += p_term(freqc(k, j), e_cl);
            }
        }
    }
    chi1 = sum0 + sum1;
    chi2 = sum0 + sum2;
    return 0;
}

// All six statistics at the point (a, b, z), from the model without
// derivatives; a(ndist) and b(ndist) must be 0 and 1.
int lroc_fit__(const double* a, const double* b, const double* z, const ftable& freqc,
               const ftable& freqe, double& logd1, double& logd2, double& logl1, double& logl2,
               double& chi1, double& chi2) {
    distr_param3__(a, b, z, fit_fd, fit_ild, fit_cld);
    lroc_logl__(freqc, freqe, fit_fd, fit_ild, fit_cld, logd1, logd2);
    lroc_logl2__(freqc, freqe, fit_fd, fit_ild, fit_cld, logl1, logl2);
    lroc_chisq__(freqc, freqe, fit_fd, fit_ild, fit_cld, chi1, chi2);
    return 0;
}
