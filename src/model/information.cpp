// Damped expected-information matrix of the LROC model.
//
// For N images of a distribution and cells of probability P_c the expected
// information is N sum_c dP_c/da dP_c/db / P_c.  Every cell probability is the
// difference of a cumulative one at the category's two boundaries, so the
// sum is assembled boundary by boundary: the derivative of a cumulative
// probability at position i times the relative derivative dP/P of the
// category below the boundary minus that of the category above it, plus, for
// the localization cells, the term of the top of the scale where the
// cumulative localization probabilities still depend on the target.  The
// cells are those of logd1: single cells (probability fd) for categories
// 1..noloc, a correct (q*ild + cld) and an incorrect ((1 - q)*ild)
// localization cell above noloc; both kinds meet at position noloc + 1.
#include "model/information.h"

#include <algorithm>

namespace varnel::model {

namespace {

// Adds v to xx(m, n) and, off the diagonal, to its mirror xx(n, m).
inline void add_sym(ParameterMatrix& xx, int m, int n, double v) {
    xx(m, n) += v;
    if (m != n) xx(n, m) += v;
}

}  // namespace

void information_matrix(const ModelSpec& spec, double lambda, const double* b_,
                        const double* images, const DerivativeTables& tables,
                        ParameterMatrix& xx) {
    auto b = [&](int j) { return b_[j - 1]; };
    auto xnstim = [&](int j) { return images[j - 1]; };
    const BoundaryTable& f = tables.f;
    const BoundaryTable& p = tables.p;
    const BoundaryTable& ild = tables.ild;
    const BoundaryTable& cld = tables.cld;
    const BoundaryTable& ilda = tables.ilda;
    const BoundaryTable& ildb = tables.ildb;
    const BoundaryTable& ildad = tables.ildad;
    const BoundaryTable& ildbd = tables.ildbd;
    const BoundaryTable& clda = tables.clda;
    const BoundaryTable& cldb = tables.cldb;
    const BoundaryTable& cldad = tables.cldad;
    const BoundaryTable& cldbd = tables.cldbd;
    const BoundaryTable& fd = tables.fd;
    const BoundaryTable& ffdmu = tables.ffdmu;
    const BoundaryTable& ffds = tables.ffds;
    const BoundaryTable& ffdmud = tables.ffdmud;
    const BoundaryTable& ffdsd = tables.ffdsd;

    const int nc = spec.categories;
    const int nd = spec.distributions;
    const int noloc = spec.noloc;
    const int nar = nc - 3 + 2 * nd;
    const double r = 1.0 + lambda;

    std::fill(xx.v, xx.v + ParameterMatrix::rows * nar, 0.0);

    for (int i = 2; i <= nc; ++i) {
        const int k = i - 1;
        const int ii = 2 * (nd - 1) + k;
        for (int j = 1; j <= nd - 1; ++j) {
            const int jj = nd - 1 + j;
            const double n = xnstim(j);
            const double q = spec.q(j);
            const double q1 = 1.0 - q;
            // d/dz of the cumulative probabilities at position i and k:
            // P(max(X, Z) <= z), P(X < Z <= z), P(Z < X <= z).
            const double pfi = p(i, nd) * f(i, j);
            const double pfk = p(k, nd) * f(k, j);
            const double fpb = f(i, nd) * p(i, j) / b(j);
            if (i <= noloc || (i == noloc + 1 && q == 1.0)) {
                // Both neighbours single cells.
                const double ffdz = p(i, nd) * f(i, j) + f(i, nd) * p(i, j) / b(j);
                const double fdj = 1.0 / fd(i, j) + 1.0 / fd(k, j);
                const double fmud = ffdmud(k, j) / fd(k, j) - ffdmud(i, j) / fd(i, j);
                const double fsd = ffdsd(k, j) / fd(k, j) - ffdsd(i, j) / fd(i, j);
                xx(j, j) += r * n * ffdmu(i, j) * fmud;
                add_sym(xx, j, jj, n * ffds(i, j) * fmud);
                add_sym(xx, ii, j, n * ffdz * fmud);
                xx(jj, jj) += r * n * ffds(i, j) * fsd;
                add_sym(xx, ii, jj, n * ffdz * fsd);
                xx(ii, ii) += r * n * (ffdz * ffdz) * fdj;
                if (k != 1) {
                    add_sym(xx, ii, ii - 1,
                            -(n * ffdz * (f(k, nd) * p(k, j) / b(j) + p(k, nd) * f(k, j)) /
                              fd(k, j)));
                }
            } else if (i == noloc + 1) {
                // Below: category noloc, a single cell.  Above: category
                // noloc + 1, its correct and incorrect localization cells.
                const double ffdz = p(i, nd) * f(i, j) + f(i, nd) * p(i, j) / b(j);
                const double qpf = q * pfi + fpb;
                const double qici = 1.0 / (q * ild(i, j) + cld(i, j));
                // Relative derivatives dP/P of the cells: below (mu, sigma),
                // above correct (C) and incorrect (E) localization.
                const double below_mu = ffdmud(k, j) / fd(k, j);
                const double below_s = ffdsd(k, j) / fd(k, j);
                const double c_mu = (q * ildad(i, j) + cldad(i, j)) * qici;
                const double e_mu = ildad(i, j) / ild(i, j);
                const double c_s = (q * ildbd(i, j) + cldbd(i, j)) * qici;
                const double e_s = ildbd(i, j) / ild(i, j);
                // Cumulative derivatives at position i of the cells above.
                const double cum_c_mu = q * ilda(i, j) + clda(i, j);
                const double cum_c_s = q * ildb(i, j) + cldb(i, j);
                xx(j, j) += r * n *
                            (ffdmu(i, j) * below_mu - cum_c_mu * c_mu - q1 * ilda(i, j) * e_mu);
                add_sym(xx, j, jj,
                        n * (ffds(i, j) * below_mu - cum_c_s * c_mu - q1 * ildb(i, j) * e_mu));
                add_sym(xx, ii, j, n * (ffdz * below_mu - qpf * c_mu - q1 * pfi * e_mu));
                xx(jj, jj) += r * n *
                              (ffds(i, j) * below_s - cum_c_s * c_s - q1 * ildb(i, j) * e_s);
                add_sym(xx, ii, jj, n * (ffdz * below_s - qpf * c_s - q1 * pfi * e_s));
                xx(ii, ii) += r * n *
                              (ffdz * ffdz / fd(k, j) + qpf * qpf * qici +
                               q1 * pfi * pfi / ild(i, j));
                if (k != 1) {
                    add_sym(xx, ii, ii - 1,
                            -(n * ffdz * (f(k, nd) * p(k, j) / b(j) + p(k, nd) * f(k, j)) /
                              fd(k, j)));
                }
            } else {
                // Both neighbours split by localization.
                const double qpf = q * pfi + fpb;
                const double qick = 1.0 / (q * ild(k, j) + cld(k, j));
                const double qici = 1.0 / (q * ild(i, j) + cld(i, j));
                const double ca = n * ((q * ildad(k, j) + cldad(k, j)) * qick -
                                       (q * ildad(i, j) + cldad(i, j)) * qici);
                const double ea = n * (ildad(k, j) / ild(k, j) - ildad(i, j) / ild(i, j));
                xx(j, j) += r * ((q * ilda(i, j) + clda(i, j)) * ca + q1 * ilda(i, j) * ea);
                add_sym(xx, j, jj, (q * ildb(i, j) + cldb(i, j)) * ca + q1 * ildb(i, j) * ea);
                add_sym(xx, ii, j, qpf * ca + q1 * pfi * ea);
                const double cb = n * ((q * ildbd(k, j) + cldbd(k, j)) * qick -
                                       (q * ildbd(i, j) + cldbd(i, j)) * qici);
                const double eb = n * (ildbd(k, j) / ild(k, j) - ildbd(i, j) / ild(i, j));
                xx(jj, jj) += r * ((q * ildb(i, j) + cldb(i, j)) * cb + q1 * ildb(i, j) * eb);
                add_sym(xx, ii, jj, qpf * cb + q1 * pfi * eb);
                xx(ii, ii) += r * n *
                              ((qick + qici) * (qpf * qpf) +
                               (1.0 / ild(i, j) + 1.0 / ild(k, j)) * (pfi * pfi) * q1);
                if (k != 1) {
                    add_sym(xx, ii, ii - 1,
                            -(n * ((p(k, j) * f(k, nd) / b(j) + q * pfk) * qpf * qick +
                                   pfi * pfk * q1 / ild(k, j))));
                }
            }
        }
        const double n0 = xnstim(nd);
        xx(ii, ii) += r * n0 * (p(i, nd) * p(i, nd)) * (1.0 / fd(i, nd) + 1.0 / fd(k, nd));
        if (k != 1) add_sym(xx, ii, ii - 1, -(n0 * p(i, nd) * p(k, nd) / fd(k, nd)));
    }

    // Top of the scale: the localization cells of category ncat, whose
    // cumulative probabilities at +infinity depend on the target.
    if (nc > noloc) {
        const int ne = nc + 1;
        for (int j = 1; j <= nd - 1; ++j) {
            const double q = spec.q(j);
            if (q == 1.0) continue;
            const int jj = nd - 1 + j;
            const double n = xnstim(j);
            const double q1 = 1.0 - q;
            const double pc = q * ild(nc, j) + cld(nc, j);
            const double pi = ild(nc, j);
            const double c_ad = q * ildad(nc, j) + cldad(nc, j);
            const double c_bd = q * ildbd(nc, j) + cldbd(nc, j);
            const double c_a = q * ilda(ne, j) + clda(ne, j);
            const double c_b = q * ildb(ne, j) + cldb(ne, j);
            xx(j, j) += r * n * (c_ad * c_a / pc + q1 * ilda(ne, j) * ildad(nc, j) / pi);
            xx(jj, jj) += r * n * (c_bd * c_b / pc + q1 * ildb(ne, j) * ildbd(nc, j) / pi);
            add_sym(xx, jj, j, n * (c_ad * c_b / pc + q1 * ildb(ne, j) * ildad(nc, j) / pi));
        }
    }
}

}  // namespace varnel::model
