// Standard errors of the fitted parameters and of the derived indices.
#include <cmath>

#include "model/lroc_common.h"
#include "output/io_routs.h"
#include "report/reports.h"

namespace {
// Area derivatives per target, kept for the run.
double duaz[15];
double dsaz[15];
double dual1[15];
double dsal[15];

// One list-directed warning line on the trace unit for a negative variance.
void warn_negative(const char* head, int index, const char* tail, double value)
{
    constexpr int trace_unit = 3;
    const list_item items[] = {li(head), li(index), li(tail), li(value)};
    out_list__(trace_unit, items, 4);
}
}  // namespace

// Standard errors from the covariance matrix xp: square roots of its diagonal
// for the means, standard deviations and boundaries; the delta method for
// d_loc = mu sqrt(2/(1+sigma^2)), AreaROC and the localization accuracy.
// A negative variance gives NaN; the diagonal cases are reported on unit 3.
int lrocstderr1j_(const double* mu, const double* sigma, const double* /*z__*/,
                  const ptable& xp, double* semean, double* sesigma, double* sez,
                  double* sedloc, double* seaz, double* seal)
{
    const int nd = globals_.ndist;
    for (int s = 0; s < max_dist; ++s) {
        semean[s] = 0.0;
        sesigma[s] = 0.0;
        sez[s] = 0.0;
    }
    for (int s = 0; s < max_dist - 1; ++s) {
        sedloc[s] = 0.0;
        seaz[s] = 0.0;
        seal[s] = 0.0;
    }

    lroc_areaj__(nd, mu, sigma, duaz, dsaz, dual1, dsal);

    for (int t = 1; t <= nd - 1; ++t) {
        const double m = mu[t - 1];
        const double s = sigma[t - 1];
        const int i = t;
        const int k = t + nd - 1;
        const double vii = xp(i, i);
        const double vkk = xp(k, k);
        const double vik = xp(i, k);

        if (vii < 0.0) warn_negative("M: I = ", i, "  xp(i,i) = ", vii);
        semean[t - 1] = std::sqrt(vii);
        if (vkk < 0.0) warn_negative("M: K = ", k, "  xp(k,k) = ", vkk);
        sesigma[t - 1] = std::sqrt(vkk);

        // d_loc in absolute form: finite for every mean, zero included.
        const double s2p1 = s * s + 1.0;
        const double dd_dmu = std::sqrt(2.0 / s2p1);
        const double dd_dsigma = -m * s / s2p1 * dd_dmu;
        sedloc[t - 1] = std::sqrt(dd_dmu * dd_dmu * vii + dd_dsigma * dd_dsigma * vkk +
                                  2.0 * dd_dmu * dd_dsigma * vik);

        const double gmu = duaz[t - 1] / s;
        const double gsigma = (dsaz[t - 1] - m * duaz[t - 1]) / (s * s);
        seaz[t - 1] = std::sqrt(gmu * gmu * vii + gsigma * gsigma * vkk + 2.0 * gmu * gsigma * vik);

        seal[t - 1] = std::sqrt(dual1[t - 1] * dual1[t - 1] * vii + dsal[t - 1] * dsal[t - 1] * vkk +
                                2.0 * dual1[t - 1] * dsal[t - 1] * vik);
    }

    for (int b = 1; b <= globals_.ncat - 1; ++b) {
        const int k = b + 2 * (nd - 1);
        if (xp(k, k) < 0.0) warn_negative("Z: K = ", k, "  xp(k,k) = ", xp(k, k));
        sez[b - 1] = std::sqrt(xp(k, k));
    }
    return 0;
}
