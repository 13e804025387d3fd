// Category probabilities of the LROC model: for every distribution and rating
// category the probability of a rating there and, for target images, its split
// into correct and incorrect localization.
#include "model/probabilities.h"

#include <cmath>

#include "numeric/integrands.h"
#include "numeric/normal.h"

namespace varnel::model {

namespace {

// A probability below the floor, or not a number, becomes the floor.
inline void floor_at(double& v, double mindiff) {
    if (!(v >= mindiff)) v = mindiff;
}

}  // namespace

// The normal density p and distribution f at every boundary, d/dmu and
// d/dsigma of the cumulative incorrect (il) and correct (cl) localization
// probabilities and of the per-category ones, and the derivatives of
// P(max(X, Z) <= z).
void probabilities_with_derivatives(const ModelSpec& spec, double* mu_, double* sigma_,
                                    const double* z_, DerivativeTables& t,
                                    numeric::Romberg& romberg) {
    constexpr double mindiff = 1e-10;
    constexpr double lower_limit = -7.0;
    constexpr double lower_split = -3.0;
    constexpr double upper_split = 3.0;
    constexpr double min_ulimit = 7.0;
    constexpr double ulimit_margin = 2.0;
    constexpr double exp_cutoff = -88.0;
    using numeric::inv_sqrt_2pi;

    auto mu = [&](int j) -> double& { return mu_[j - 1]; };
    auto sigma = [&](int j) -> double& { return sigma_[j - 1]; };
    auto z = [&](int k) { return z_[k - 1]; };
    BoundaryTable& p = t.p;
    BoundaryTable& f = t.f;
    BoundaryTable& fd = t.fd;
    BoundaryTable& ild = t.ild;
    BoundaryTable& cld = t.cld;
    BoundaryTable& ildmu = t.ilda;
    BoundaryTable& ilds = t.ildb;
    BoundaryTable& cldmu = t.clda;
    BoundaryTable& clds = t.cldb;
    BoundaryTable& ildmud = t.ildad;
    BoundaryTable& ildsd = t.ildbd;
    BoundaryTable& cldmud = t.cldad;
    BoundaryTable& cldsd = t.cldbd;
    BoundaryTable& ff = t.ff;
    BoundaryTable& il = t.il;
    BoundaryTable& cl = t.cl;
    BoundaryTable& ffdmu = t.ffdmu;
    BoundaryTable& ffds = t.ffds;
    BoundaryTable& ffdmud = t.ffdmud;
    BoundaryTable& ffdsd = t.ffdsd;

    const int nc = spec.categories;
    const int nd = spec.distributions;
    const int ne = nc + 1;

    // The non-target distribution is standard normal, whatever came in.
    mu(nd) = 0.0;
    sigma(nd) = 1.0;

    double ulimit = z(nc - 1) + ulimit_margin;
    if (ulimit < min_ulimit) ulimit = min_ulimit;

    // Normal density and distribution at every boundary, and P(max(X, Z) <= z)
    // with its derivatives; the non-target column first, the targets need it.
    for (int j = nd; j >= 1; --j) {
        f(1, j) = 0.0;
        f(ne, j) = 1.0;
        ff(1, j) = 0.0;
        ff(ne, j) = 1.0;
        ffdmu(1, j) = 0.0;
        ffdmu(ne, j) = 0.0;
        ffds(1, j) = 0.0;
        ffds(ne, j) = 0.0;
        p(1, j) = 0.0;
        p(ne, j) = 0.0;
        il(1, j) = 0.0;
        ildmu(1, j) = 0.0;
        ilds(1, j) = 0.0;
        cl(1, j) = 0.0;
        cldmu(1, j) = 0.0;
        clds(1, j) = 0.0;
        for (int i = 2; i <= nc; ++i) {
            const double y = (z(i - 1) - mu(j)) / sigma(j);
            const double arg = -0.5 * y * y;
            p(i, j) = arg >= exp_cutoff ? inv_sqrt_2pi * std::exp(arg) : 0.0;
            f(i, j) = numeric::normal_cdf(y);
            ff(i, j) = f(i, j) * f(i, nd);
            ffdmu(i, j) = -f(i, nd) * p(i, j) / sigma(j);
            ffds(i, j) = ffdmu(i, j) * y;
        }
    }

    // P(X < Z <= z(i-1)) and its derivatives, accumulated upward.
    for (int j = 1; j <= nd - 1; ++j) {
        double lim = lower_limit;
        int start = 2;
        if (z(1) > lower_split) {
            romberg.accumulate_split(2, j, lower_limit, lower_split, z(1), mu(j), sigma(j), il,
                                     ilds, ildmu);
            lim = z(1);
            start = 3;
        }
        for (int i = start; i <= nc; ++i) {
            romberg.accumulate(i, j, lim, z(i - 1), mu(j), sigma(j), il, ilds, ildmu);
            lim = z(i - 1);
        }
        if (z(nc - 1) >= upper_split) {
            romberg.accumulate(ne, j, z(nc - 1), ulimit, mu(j), sigma(j), il, ilds, ildmu);
        } else {
            romberg.accumulate_split(ne, j, z(nc - 1), upper_split, ulimit, mu(j), sigma(j), il,
                                     ilds, ildmu);
        }
    }

    // Per-category tables as differences of neighbouring boundary positions.
    for (int i = 2; i <= ne; ++i) {
        const int k = i - 1;
        for (int j = 1; j <= nd - 1; ++j) {
            cl(i, j) = ff(i, j) - il(i, j);
            cldmu(i, j) = ffdmu(i, j) - ildmu(i, j);
            clds(i, j) = ffds(i, j) - ilds(i, j);
            fd(k, j) = ff(i, j) - ff(k, j);
            ffdmud(k, j) = ffdmu(i, j) - ffdmu(k, j);
            ffdsd(k, j) = ffds(i, j) - ffds(k, j);
            ild(k, j) = il(i, j) - il(k, j);
            cld(k, j) = cl(i, j) - cl(k, j);
            ildmud(k, j) = ildmu(i, j) - ildmu(k, j);
            ildsd(k, j) = ilds(i, j) - ilds(k, j);
            cldmud(k, j) = cldmu(i, j) - cldmu(k, j);
            cldsd(k, j) = clds(i, j) - clds(k, j);
            floor_at(ild(k, j), mindiff);
            floor_at(cld(k, j), mindiff);
            floor_at(fd(k, j), mindiff);
        }
        fd(k, nd) = f(i, nd) - f(k, nd);
        floor_at(fd(k, nd), mindiff);
    }
}

void category_probabilities(const ModelSpec& spec, const double* mu_, const double* sigma_,
                            const double* z_, CategoryTables& t, numeric::Romberg& romberg) {
    constexpr double mindiff = 1e-8;
    constexpr double lower_limit = -7.0;
    constexpr double lower_split = -4.0;
    constexpr double upper_split = 4.0;
    constexpr double min_ulimit = 7.0;
    constexpr double ulimit_margin = 2.0;

    auto mu = [&](int j) { return mu_[j - 1]; };
    auto sigma = [&](int j) { return sigma_[j - 1]; };
    auto z = [&](int k) { return z_[k - 1]; };
    BoundaryTable& fd = t.fd;
    BoundaryTable& ild = t.ild;
    BoundaryTable& cld = t.cld;
    BoundaryTable& f = t.f;
    BoundaryTable& ff = t.ff;
    BoundaryTable& il = t.il;
    BoundaryTable& cl = t.cl;

    const int nc = spec.categories;
    const int nd = spec.distributions;
    const int ne = nc + 1;

    for (int j = nd; j >= 1; --j) {
        f(1, j) = 0.0;
        f(ne, j) = 1.0;
        ff(1, j) = 0.0;
        ff(ne, j) = 1.0;
        il(1, j) = 0.0;
        cl(1, j) = 0.0;
        for (int i = 2; i <= nc; ++i) {
            f(i, j) = numeric::normal_cdf(z(i - 1) / sigma(j) - mu(j) / sigma(j));
            ff(i, j) = f(i, j) * f(i, nd);
        }
    }

    double ulimit = z(nc - 1) + ulimit_margin;
    if (ulimit < min_ulimit) ulimit = min_ulimit;

    // P(X < Z <= z(i-1)), accumulated upward.
    for (int j = 1; j <= nd - 1; ++j) {
        double lim = lower_limit;
        int start = 2;
        if (z(1) > lower_split) {
            il(2, j) = romberg.target_below_split(lower_limit, lower_split, z(1), mu(j), sigma(j)) +
                       il(1, j);
            lim = z(1);
            start = 3;
        }
        for (int i = start; i <= nc; ++i) {
            il(i, j) = romberg.target_below(lim, z(i - 1), mu(j), sigma(j)) + il(i - 1, j);
            lim = z(i - 1);
        }
        if (z(nc - 1) >= upper_split) {
            il(ne, j) = romberg.target_below(z(nc - 1), ulimit, mu(j), sigma(j)) + il(nc, j);
        } else {
            il(ne, j) = romberg.target_below_split(z(nc - 1), upper_split, ulimit, mu(j), sigma(j)) +
                        il(nc, j);
        }
    }

    for (int i = 2; i <= ne; ++i) {
        const int k = i - 1;
        for (int j = 1; j <= nd - 1; ++j) {
            cl(i, j) = ff(i, j) - il(i, j);
            fd(k, j) = ff(i, j) - ff(k, j);
            ild(k, j) = il(i, j) - il(k, j);
            cld(k, j) = cl(i, j) - cl(k, j);
            floor_at(ild(k, j), mindiff);
            floor_at(cld(k, j), mindiff);
            floor_at(fd(k, j), mindiff);
        }
        fd(k, nd) = f(i, nd) - f(k, nd);
        floor_at(fd(k, nd), mindiff);
    }
}

}  // namespace varnel::model
