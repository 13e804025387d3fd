// Gradient of the LROC log-likelihood logd1 and boundary sorting.
//
// The gradient is assembled boundary by boundary.  Each category probability
// is the difference of a cumulative probability at its upper and its lower
// boundary, so the derivative of a cumulative quantity at boundary position i
// is paired with the count-to-probability weight of the category below the
// boundary (k = i - 1) minus that of the category above it (i).  Categories
// 1..noloc are single cells (cumulative P(max(X, Z) <= z)); the categories
// above noloc are, for a target, a correct-localization cell (cumulative
// q*il + cl) and an incorrect one ((1 - q)*il).  At position noloc + 1 the two
// kinds meet: the category below enters as a single cell, the one above by
// its two localization cells.
#include "model/gradient.h"

namespace varnel::model {

void log_likelihood_gradient(const ModelSpec& spec, const FitCounts& counts,
                             const DerivativeTables& tables, const double* a_, const double* b_,
                             const double* z_, double* der1_) {
    const FrequencyTable& freqe = counts.incorrect;
    const FrequencyTable& freqc = counts.correct;
    const BoundaryTable& ild = tables.ild;
    const BoundaryTable& ilda = tables.ilda;
    const BoundaryTable& ildb = tables.ildb;
    const BoundaryTable& cld = tables.cld;
    const BoundaryTable& clda = tables.clda;
    const BoundaryTable& cldb = tables.cldb;
    const BoundaryTable& f = tables.f;
    const BoundaryTable& fd = tables.fd;
    const BoundaryTable& p = tables.p;
    auto a = [&](int j) { return a_[j - 1]; };
    auto b = [&](int j) { return b_[j - 1]; };
    auto z = [&](int k) { return z_[k - 1]; };
    auto der1 = [&](int n) -> double& { return der1_[n - 1]; };

    const int nc = spec.categories;
    const int nd = spec.distributions;
    const int noloc = spec.noloc;
    const int nar = nc - 3 + 2 * nd;

    for (int n = 1; n <= nar; ++n) der1(n) = 0.0;

    for (int i = 2; i <= nc; ++i) {
        const int k = i - 1;
        const int ii = 2 * (nd - 1) + k;
        for (int j = 1; j <= nd - 1; ++j) {
            const int jj = nd - 1 + j;
            const double q = spec.q(j);
            if (i <= noloc || (i == noloc + 1 && q == 1.0)) {
                // Both neighbours single cells (for a ROC-only target the
                // category above has the same probability either way).
                const double temp1 = freqc(k, j) / fd(k, j) - freqc(i, j) / fd(i, j);
                der1(j) -= temp1 * f(i, nd) * p(i, j) / b(j);
                der1(jj) -= temp1 * f(i, nd) * p(i, j) * (z(k) - a(j)) / (b(j) * b(j));
                der1(ii) += temp1 * (p(i, j) * f(i, nd) / b(j) + p(i, nd) * f(i, j));
            } else if (i == noloc + 1) {
                // Below: category noloc, one cell of probability fd, cumulative
                // f(X)f(Z).  Above: category noloc + 1 by its correct and
                // incorrect localization cells.
                const double w_below = freqc(k, j) / fd(k, j);
                const double wc_above = freqc(i, j) / (q * ild(i, j) + cld(i, j));
                const double we_above = freqe(i, j) / ild(i, j);
                const double ff_mu = -f(i, nd) * p(i, j) / b(j);
                const double ff_sigma = ff_mu * (z(k) - a(j)) / b(j);
                const double ff_z = p(i, j) * f(i, nd) / b(j) + p(i, nd) * f(i, j);
                const double il_z = p(i, nd) * f(i, j);
                const double loc_z = p(i, j) * f(i, nd) / b(j) + q * il_z;
                der1(j) += w_below * ff_mu - (q * ilda(i, j) + clda(i, j)) * wc_above -
                           ilda(i, j) * we_above;
                der1(jj) += w_below * ff_sigma - (q * ildb(i, j) + cldb(i, j)) * wc_above -
                            ildb(i, j) * we_above;
                der1(ii) += w_below * ff_z - loc_z * wc_above - il_z * we_above;
            } else {
                // Both neighbours split by localization.
                const double temp1 = freqe(k, j) / ild(k, j) - freqe(i, j) / ild(i, j);
                const double temp2 = freqc(k, j) / (q * ild(k, j) + cld(k, j)) -
                                     freqc(i, j) / (q * ild(i, j) + cld(i, j));
                der1(j) += (q * ilda(i, j) + clda(i, j)) * temp2 + temp1 * ilda(i, j);
                der1(jj) += (q * ildb(i, j) + cldb(i, j)) * temp2 + temp1 * ildb(i, j);
                der1(ii) += (p(i, j) * f(i, nd) / b(j) + q * p(i, nd) * f(i, j)) * temp2 +
                            temp1 * p(i, nd) * f(i, j);
            }
        }
        der1(ii) += (freqc(k, nd) / fd(k, nd) - freqc(i, nd) / fd(i, nd)) * p(i, nd);
    }

    // Top of the scale: the cumulative localization probabilities at +infinity
    // still depend on the target's mean and standard deviation.
    if (nc > noloc) {
        const int ne = nc + 1;
        for (int j = 1; j <= nd - 1; ++j) {
            const double q = spec.q(j);
            if (q == 1.0) continue;
            const int jj = nd - 1 + j;
            const double t = freqc(nc, j) / (q * ild(nc, j) + cld(nc, j));
            const double e = freqe(nc, j) / ild(nc, j);
            der1(j) += (q * ilda(ne, j) + clda(ne, j)) * t + e * ilda(ne, j);
            der1(jj) += (q * ildb(ne, j) + cldb(ne, j)) * t + e * ildb(ne, j);
        }
    }
}

void sort_boundaries(double* bnd_, int count) {
    auto bnd = [&](int m) -> double& { return bnd_[m - 1]; };
    int n = count;
    bool in_order;
    do {
        in_order = true;
        n = n - 1;
        for (int m = 1; m <= n; ++m) {
            if (bnd(m) > bnd(m + 1)) {
                const double t = bnd(m);
                bnd(m) = bnd(m + 1);
                bnd(m + 1) = t;
                in_order = false;
            }
        }
    } while (!in_order && n > 0);
}

}  // namespace varnel::model
