// Standard errors of the fitted parameters and of the derived indices.
#include <cmath>

#include "report/blocks.h"

namespace varnel::report {

namespace {

// Notes a negative variance; its standard error is NaN.
void note_negative(Summary& s, NegativeVariance::Kind kind, int index, double value)
{
    if (s.negative_variance_count < max_parameters)
        s.negative_variances[s.negative_variance_count++] = {kind, index, value};
}

}  // namespace

// Standard errors are the square roots of the covariance matrix's diagonal
// for the means, standard deviations and boundaries; the delta method gives
// those of d_loc = mu sqrt(2/(1+sigma^2)), AreaROC and the localization
// accuracy.  A negative variance gives NaN and a note.
void standard_errors(const ModelSpec& spec, const double* mu, const double* sigma,
                     const ParameterMatrix& xp, Summary& s)
{
    const int nd = spec.distributions;
    for (int k = 0; k < max_distributions; ++k) {
        s.se_mean[k] = 0.0;
        s.se_sigma[k] = 0.0;
    }
    for (double& v : s.se_bounds) v = 0.0;
    for (int k = 0; k < max_targets; ++k) {
        s.se_dloc[k] = 0.0;
        s.se_area_roc[k] = 0.0;
        s.se_area_lroc[k] = 0.0;
        s.se_loc_accuracy[k] = 0.0;
    }
    s.negative_variance_count = 0;

    // Area derivatives per target.
    double duaz[max_targets], dsaz[max_targets], dual1[max_targets], dsal[max_targets];
    area_derivatives(nd, mu, sigma, duaz, dsaz, dual1, dsal);

    for (int t = 1; t <= nd - 1; ++t) {
        const double m = mu[t - 1];
        const double sd = sigma[t - 1];
        const int i = t;
        const int k = t + nd - 1;
        const double vii = xp(i, i);
        const double vkk = xp(k, k);
        const double vik = xp(i, k);

        if (vii < 0.0) note_negative(s, NegativeVariance::mean, i, vii);
        s.se_mean[t - 1] = std::sqrt(vii);
        if (vkk < 0.0) note_negative(s, NegativeVariance::sigma, k, vkk);
        s.se_sigma[t - 1] = std::sqrt(vkk);

        // d_loc in absolute form: finite for every mean, zero included.
        const double s2p1 = sd * sd + 1.0;
        const double dd_dmu = std::sqrt(2.0 / s2p1);
        const double dd_dsigma = -m * sd / s2p1 * dd_dmu;
        s.se_dloc[t - 1] = std::sqrt(dd_dmu * dd_dmu * vii + dd_dsigma * dd_dsigma * vkk +
                                     2.0 * dd_dmu * dd_dsigma * vik);

        const double gmu = duaz[t - 1] / sd;
        const double gsigma = (dsaz[t - 1] - m * duaz[t - 1]) / (sd * sd);
        s.se_area_roc[t - 1] =
            std::sqrt(gmu * gmu * vii + gsigma * gsigma * vkk + 2.0 * gmu * gsigma * vik);
        // AreaLROC is linear in AreaROC.
        s.se_area_lroc[t - 1] = 2.0 * s.se_area_roc[t - 1];

        s.se_loc_accuracy[t - 1] =
            std::sqrt(dual1[t - 1] * dual1[t - 1] * vii + dsal[t - 1] * dsal[t - 1] * vkk +
                      2.0 * dual1[t - 1] * dsal[t - 1] * vik);
    }

    for (int b = 1; b <= spec.categories - 1; ++b) {
        const int k = b + 2 * (nd - 1);
        if (xp(k, k) < 0.0) note_negative(s, NegativeVariance::boundary, k, xp(k, k));
        s.se_bounds[b - 1] = std::sqrt(xp(k, k));
    }
}

}  // namespace varnel::report
