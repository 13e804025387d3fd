// Log-likelihoods, deviance and Pearson statistics of the LROC model, once with
// the localization outcomes (statistics 1) and once for the ratings alone
// (statistics 2).
//
// Cells: every non-target category and every target category 1..noloc is one
// cell with probability fd.  A target category above noloc is, for the
// statistics 1 and when qset < 1, two cells: correct localization with
// probability cld + q*ild, incorrect localization with (1 - q)*ild.
#include "model/likelihood.h"

#include <cmath>

namespace varnel::model {

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
double target_total(const ModelSpec& spec, const FitCounts& counts, int j) {
    double n1 = 0.0;
    for (int k = 1; k <= spec.categories; ++k)
        n1 += counts.correct(k, j) + counts.incorrect(k, j);
    return n1;
}

double nontarget_total(const ModelSpec& spec, const FitCounts& counts) {
    const int nd = spec.distributions;
    double n0 = 0.0;
    for (int k = 1; k <= spec.categories; ++k) n0 += counts.correct(k, nd);
    return n0;
}

}  // namespace

void log_likelihoods(const ModelSpec& spec, const FitCounts& counts, const BoundaryTable& fd,
                     const BoundaryTable& ild, const BoundaryTable& cld, double& logd1,
                     double& logd2) {
    const FrequencyTable& freqc = counts.correct;
    const FrequencyTable& freqe = counts.incorrect;
    const int nc = spec.categories;
    const int nd = spec.distributions;
    const int noloc = spec.noloc;

    logd1 = 0.0;
    for (int k = 1; k <= nc; ++k) logd1 += freqc(k, nd) * std::log(fd(k, nd));
    logd2 = logd1;

    double sum_noloc = 0.0;
    for (int j = 1; j <= nd - 1; ++j) {
        const double q = spec.q(j);
        for (int k = 1; k <= noloc; ++k) sum_noloc += freqc(k, j) * std::log(fd(k, j));
        for (int k = noloc + 1; k <= nc; ++k) {
            logd1 += freqc(k, j) * std::log(q * ild(k, j) + cld(k, j));
            if (q != 1.0) logd1 += freqe(k, j) * std::log((1.0 - q) * ild(k, j));
            logd2 += (freqc(k, j) + freqe(k, j)) * std::log(fd(k, j));
        }
    }
    logd1 += sum_noloc;
    logd2 += sum_noloc;
}

// logl1 with localization outcomes, logl2 for the ratings alone.  A
// distribution without images has no cells and contributes nothing.
void deviances(const ModelSpec& spec, const FitCounts& counts, const BoundaryTable& fd,
               const BoundaryTable& ild, const BoundaryTable& cld, double& logl1,
               double& logl2) {
    const FrequencyTable& freqc = counts.correct;
    const FrequencyTable& freqe = counts.incorrect;
    const int nc = spec.categories;
    const int nd = spec.distributions;
    const int noloc = spec.noloc;

    double sum0 = 0.0, sum1 = 0.0, sum2 = 0.0;
    const double n0 = nontarget_total(spec, counts);
    if (n0 != 0.0) {
        for (int k = 1; k <= nc; ++k) sum0 += g_term(freqc(k, nd), n0 * fd(k, nd));
    }
    for (int j = 1; j <= nd - 1; ++j) {
        const double n1 = target_total(spec, counts, j);
        if (n1 == 0.0) continue;
        const double q = spec.q(j);
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
}

// chi1 with localization outcomes, chi2 for the ratings alone.  A zero count
// adds its expected count.
void pearson_statistics(const ModelSpec& spec, const FitCounts& counts, const BoundaryTable& fd,
                        const BoundaryTable& ild, const BoundaryTable& cld, double& chi1,
                        double& chi2) {
    const FrequencyTable& freqc = counts.correct;
    const FrequencyTable& freqe = counts.incorrect;
    const int nc = spec.categories;
    const int nd = spec.distributions;
    const int noloc = spec.noloc;

    double sum0 = 0.0, sum1 = 0.0, sum2 = 0.0;
    const double n0 = nontarget_total(spec, counts);
    if (n0 != 0.0) {
        for (int k = 1; k <= nc; ++k) sum0 += p_term(freqc(k, nd), n0 * fd(k, nd));
    }
    for (int j = 1; j <= nd - 1; ++j) {
        const double n1 = target_total(spec, counts, j);
        if (n1 == 0.0) continue;
        const double q = spec.q(j);
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
}

// Every cell of a distribution with images enters both sums, zero counts
// included (Pearson adds the expected count, the deviance nothing).  The
// Pearson sum's test for a zero expected count never skips a cell after
// category_probabilities, which floors every probability at 1e-8, so the
// count needs no look at the probabilities.
StatisticCells statistic_cells(const ModelSpec& spec, const FitCounts& counts) {
    const int nc = spec.categories;
    const int nd = spec.distributions;
    StatisticCells c;
    if (nontarget_total(spec, counts) != 0.0) {
        c.with_localization += nc;
        c.ratings += nc;
        ++c.distributions;
    }
    for (int j = 1; j <= nd - 1; ++j) {
        if (target_total(spec, counts, j) == 0.0) continue;
        const int localized = spec.q(j) == 1.0 ? 0 : nc - spec.noloc;
        c.with_localization += nc + localized;
        c.ratings += nc;
        ++c.distributions;
    }
    return c;
}

LikelihoodStatistics likelihood_statistics(const ModelSpec& spec, const FitCounts& counts,
                                           const double* a, const double* b, const double* z,
                                           CategoryTables& work, numeric::Romberg& romberg) {
    LikelihoodStatistics s;
    category_probabilities(spec, a, b, z, work, romberg);
    log_likelihoods(spec, counts, work.fd, work.ild, work.cld, s.log_likelihood,
                    s.log_likelihood_ratings);
    deviances(spec, counts, work.fd, work.ild, work.cld, s.deviance, s.deviance_ratings);
    pearson_statistics(spec, counts, work.fd, work.ild, work.cld, s.pearson, s.pearson_ratings);
    return s;
}

}  // namespace varnel::model
