// Category probabilities of the LROC model: for every distribution and rating
// category the probability of a rating there and, for target images, its split
// into correct and incorrect localization.
#include "model/dist_param.h"

#include <cmath>

#include "model/lroc_common.h"
#include "numeric/cum_pdf1.h"
#include "numeric/integrate.h"

namespace {

// A probability below the floor, or not a number, becomes the floor.
inline void floor_at(double& v, double mindiff) {
    if (!(v >= mindiff)) v = mindiff;
}

// Work tables of the derivative variant: P(max(X, Z) <= z), P(X < Z <= z),
// P(Z < X <= z), cumulative over the boundary positions.
ctable ff2, il2, cl2;
// Work tables of the plain variant (f too, which its callers do not need).
ctable f3, ff3, il3, cl3;

}  // namespace

// The model's category probabilities fd, ild, cld together with everything
// the gradient and the information matrix need: the normal density p and
// distribution f at every boundary, d/dmu and d/dsigma of the cumulative
// incorrect (il) and correct (cl) localization probabilities and of the
// per-category ones, and the derivatives of P(max(X, Z) <= z) in terms_.
// Integrals by Romberg integration (relative tolerance 1e-7), split at -3/3.
int distr_param2__(double* mu_, double* sigma_, const double* z_, ctable& p, ctable& f,
                   ctable& ildmu, ctable& ilds, ctable& cldmu, ctable& clds, ctable& fd,
                   ctable& ild, ctable& cld, ctable& ildmud, ctable& ildsd, ctable& cldmud,
                   ctable& cldsd) {
    constexpr double mindiff = 1e-10;
    constexpr double lower_limit = -7.0;
    constexpr double lower_split = -3.0;
    constexpr double upper_split = 3.0;
    constexpr double min_ulimit = 7.0;
    constexpr double ulimit_margin = 2.0;
    constexpr double inv_sqrt_2pi = 0.3989422804014;
    constexpr double exp_cutoff = -88.0;

    auto mu = [&](int j) -> double& { return mu_[j - 1]; };
    auto sigma = [&](int j) -> double& { return sigma_[j - 1]; };
    auto z = [&](int k) { return z_[k - 1]; };
    ctable& ff = ff2;
    ctable& il = il2;
    ctable& cl = cl2;
    ctable& ffdmu = terms_.ffdmu;
    ctable& ffds = terms_.ffds;
    ctable& ffdmud = terms_.ffdmud;
    ctable& ffdsd = terms_.ffdsd;

    const int nc = globals_.ncat;
    const int nd = globals_.ndist;
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
            f(i, j) = cum_pdf1__(y);
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
            integrate_twice__(2, j, lower_limit, lower_split, z(1), mu(j), sigma(j), il, ilds,
                              ildmu);
            lim = z(1);
            start = 3;
        }
        for (int i = start; i <= nc; ++i) {
            integrate_once__(i, j, lim, z(i - 1), mu(j), sigma(j), il, ilds, ildmu);
            lim = z(i - 1);
        }
        if (z(nc - 1) >= upper_split) {
            integrate_once__(ne, j, z(nc - 1), ulimit, mu(j), sigma(j), il, ilds, ildmu);
        } else {
            integrate_twice__(ne, j, z(nc - 1), upper_split, ulimit, mu(j), sigma(j), il, ilds,
                              ildmu);
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
    return 0;
}

// The model's category probabilities alone: fd (rating in category k), ild
// (rating in k, incorrectly localized), cld (correctly localized), floored at
// 1e-8.  Expects mu(ndist) = 0 and sigma(ndist) = 1.  Integrals by Romberg
// integration (relative tolerance 1e-7), split at -4/4.
int distr_param3__(const double* mu_, const double* sigma_, const double* z_, ctable& fd,
                   ctable& ild, ctable& cld) {
    constexpr double mindiff = 1e-8;
    constexpr double lower_limit = -7.0;
    constexpr double lower_split = -4.0;
    constexpr double upper_split = 4.0;
    constexpr double min_ulimit = 7.0;
    constexpr double ulimit_margin = 2.0;

    auto mu = [&](int j) { return mu_[j - 1]; };
    auto sigma = [&](int j) { return sigma_[j - 1]; };
    auto z = [&](int k) { return z_[k - 1]; };
    ctable& f = f3;
    ctable& ff = ff3;
    ctable& il = il3;
    ctable& cl = cl3;

    const int nc = globals_.ncat;
    const int nd = globals_.ndist;
    const int ne = nc + 1;

    for (int j = nd; j >= 1; --j) {
        f(1, j) = 0.0;
        f(ne, j) = 1.0;
        ff(1, j) = 0.0;
        ff(ne, j) = 1.0;
        il(1, j) = 0.0;
        cl(1, j) = 0.0;
        for (int i = 2; i <= nc; ++i) {
            f(i, j) = cum_pdf1__(z(i - 1) / sigma(j) - mu(j) / sigma(j));
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
            il(2, j) = cf2_(lower_limit, lower_split, z(1), mu(nd), sigma(nd), mu(j), sigma(j)) +
                       il(1, j);
            lim = z(1);
            start = 3;
        }
        for (int i = start; i <= nc; ++i) {
            il(i, j) = cumf_(lim, z(i - 1), mu(nd), sigma(nd), mu(j), sigma(j)) + il(i - 1, j);
            lim = z(i - 1);
        }
        if (z(nc - 1) >= upper_split) {
            il(ne, j) = cumf_(z(nc - 1), ulimit, mu(nd), sigma(nd), mu(j), sigma(j)) + il(nc, j);
        } else {
            il(ne, j) = cf2_(z(nc - 1), upper_split, ulimit, mu(nd), sigma(nd), mu(j), sigma(j)) +
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
    return 0;
}
