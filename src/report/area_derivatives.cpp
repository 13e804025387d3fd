// Derivatives of the two areas with respect to each target's parameters.
#include <cmath>

#include "numeric/normal.h"
#include "report/blocks.h"

namespace varnel::report {

// Rectangle-rule values, for each target t against the N(0, 1) non-target, of
//   duaz  = int phi(z) phi((z-mu)/sigma) Phi(z) dz      (dAreaROC/dmu = duaz/sigma)
//   dsaz  = int z phi(z) phi((z-mu)/sigma) Phi(z) dz    (dAreaROC/dsigma = (dsaz-mu duaz)/sigma^2)
//   dual1 = dLocAcc/dmu,  dsal = dLocAcc/dsigma,
// on thresholds -5 .. 6.94 with spacing 12/198.
void area_derivatives(int nd, const double* a, const double* b, double* duaz, double* dsaz,
                      double* dual1, double* dsal)
{
    constexpr int np = 200;
    constexpr double delta = 12.0 / (np - 2);
    constexpr double zlow = -5.0;
    constexpr double twopi = 6.283185307179586;
    constexpr double min_exponent = -88.0;  // density taken as 0 below this exponent
    const double rsqrt2pi = 1.0 / std::sqrt(twopi);
    // Grid point by distribution: standard normal density of the
    // standardized abscissa (not divided by sigma) and its distribution function.
    Table<double, np, max_distributions> f, p;

    for (int j = 1; j <= nd; ++j) {
        for (int i = 2; i <= np - 1; ++i) {
            const double z = zlow + (i - 2) * delta;
            const double y = (z - a[j - 1]) / b[j - 1];
            const double ex = -y * y / 2.0;
            p(i, j) = ex >= min_exponent ? std::exp(ex) * rsqrt2pi : 0.0;
            f(i, j) = numeric::normal_cdf(y);
        }
    }

    const int n = nd;
    for (int t = 1; t <= nd - 1; ++t) {
        const double at = a[t - 1];
        const double bt = b[t - 1];
        double su = 0.0, ss = 0.0, sl = 0.0, sls = 0.0;
        for (int i = 2; i <= np - 1; ++i) {
            const double z = zlow + (i - 2) * delta;
            su += p(i, n) * p(i, t) * f(i, n) * delta;
            ss += z * p(i, n) * p(i, t) * f(i, n) * delta;
            sl += (1.0 / bt) * p(i, n) * p(i, t) * delta;
            sls += ((z - at) / (bt * bt)) * p(i, n) * p(i, t) * delta;
        }
        duaz[t - 1] = su;
        dsaz[t - 1] = ss;
        dual1[t - 1] = sl;
        dsal[t - 1] = sls;
    }
}

}  // namespace varnel::report
