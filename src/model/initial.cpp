// Initial parameter estimates of the LROC fit from the frequency tables.
#include "model/initial.h"

#include <cmath>

#include "model/gradient.h"
#include "numeric/normal.h"

namespace varnel::model {

// Starting point of the fit, without iteration: boundaries at the normal
// deviates of the pooled cumulative proportions of the ratings that behave
// like non-target ratings (non-target images and incorrectly localized target
// images); every target standard deviation 2 and a mean that puts the
// binormal area Phi(mean / sqrt(5)) at the target's empirical area (when
// noloc >= 2 or for a ROC-only target) or at its chance-corrected fraction of
// correct localizations.  The non-target starts at mean 0, deviation 1.
void initial_estimates(const ModelSpec& spec, const FitCounts& counts, Parameters& start) {
    constexpr double start_sigma = 2.0;
    // sqrt(1 + start_sigma^2): the binormal area of the starting model is
    // Phi(mean / area_scale).
    const double area_scale = std::sqrt(5.0);

    auto ainit = [&](int j) -> double& { return start.mean[j - 1]; };
    auto binit = [&](int j) -> double& { return start.sigma[j - 1]; };
    auto xnstim = [&](int j) { return counts.images[j - 1]; };
    const FrequencyTable& freqc = counts.correct;
    const FrequencyTable& freqe = counts.incorrect;
    double* est_bndinit = start.bounds;

    const int nc = spec.categories;
    const int nd = spec.distributions;
    const int noloc = spec.noloc;

    // A distribution without images has no proportions; they count as 0.
    auto share = [&](double count, int m) { return xnstim(m) > 0.0 ? count / xnstim(m) : 0.0; };

    // cf(k, m): upper-tail proportion of the correctly localized counts (all
    // counts where localization is not used); ca(k, m): of all images.  Row
    // ncat + 1 of either is 0 and not stored.
    FrequencyTable cf, ca;
    double trapa[max_distributions];
    for (int m = 1; m <= nd - 1; ++m) {
        double tail_c = 0.0, tail_all = 0.0;
        for (int k = nc; k >= 1; --k) {
            tail_c += freqc(k, m);
            tail_all += freqc(k, m) + freqe(k, m);
            cf(k, m) = share(tail_c, m);
            ca(k, m) = share(tail_all, m);
        }
        // Empirical area: P(rating of m above the non-target rating) plus
        // half P(equal ratings), over all images of m.
        double area = 0.0;
        for (int k = 1; k <= nc; ++k) {
            const double above = k < nc ? ca(k + 1, m) : 0.0;
            area += share(freqc(k, nd), nd) * 0.5 * (ca(k, m) + above);
        }
        trapa[m - 1] = area;
    }

    // Pooled cumulative proportions from the bottom; an empty pooled category
    // counts as one rating so that every boundary stays finite.
    double bf[max_categories] = {};
    double running = 0.0;
    for (int k = 1; k <= nc; ++k) {
        double c = freqc(k, nd);
        for (int m = 1; m <= nd - 1; ++m) c += freqe(k, m);
        if (c == 0.0) c = 1.0;
        running += c;
        bf[k - 1] = running;
    }
    for (int k = 1; k <= nc; ++k) bf[k - 1] /= bf[nc - 1];

    double zdev[max_categories];
    numeric::normal_deviates(bf, nc, nc, 1, zdev);
    for (int k = 1; k <= nc - 1; ++k) est_bndinit[k - 1] = zdev[k - 1];
    sort_boundaries(est_bndinit, nc - 1);

    for (int m = 1; m <= nd - 1; ++m) {
        const double q = spec.q(m);
        double cp;
        if (q == 1.0 || noloc >= 2) {
            cp = 2.0 * trapa[m - 1] - 1.0;
        } else {
            cp = (q + 1.0) * cf(1, m) - q;
        }
        if (!(cp >= 0.0)) cp = 0.0;
        // The count clamps cp into (0, 1); without images a neutral 1/2.
        int count = static_cast<int>(xnstim(m));
        if (count < 1) count = 1;
        double d;
        numeric::normal_deviates(&cp, 1, 1, count, &d);
        binit(m) = start_sigma;
        ainit(m) = area_scale * d;
    }
    binit(nd) = 1.0;
    ainit(nd) = 0.0;
}

}  // namespace varnel::model
