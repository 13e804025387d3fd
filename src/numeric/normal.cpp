// Standard normal distribution function, its complementary error function and
// the conversion of cumulative proportions to normal deviates.
#include "numeric/normal.h"

#include <cmath>

namespace varnel::numeric {

// erfc(x) for x >= 0 by the Chebyshev-fitted approximation "erfcc" of
// Numerical Recipes (fractional error below 1.2e-7 everywhere).  The value at
// 0 is 1.00000003, not exactly 1, and the model's results carry that.
double erfc_approx(double x)
{
    // Polynomial P(t) in the exponent, constant term first (Numerical Recipes).
    static constexpr double coef[10] = {-1.26551223, 1.00002368, 0.37409196, 0.09678418,
                                        -0.18628806, 0.27886807, -1.13520398, 1.48851587,
                                        -0.82215223, 0.17087277};

    const double z = std::fabs(x);
    const double t = 1.0 / (1.0 + 0.5 * z);
    double poly = coef[9];
    for (int k = 8; k >= 0; --k)
        poly = coef[k] + t * poly;
    return t * std::exp(-z * z + poly);
}

// Phi(x) = P(N(0,1) <= x) from erfc_approx; the upper half (x >= 0, zero included)
// is taken as 1 - lower tail, so Phi(0) = 0.499999985.
double normal_cdf(double x)
{
    const double arg = std::fabs(x) / std::sqrt(2.0);
    const double y = 0.5 * erfc_approx(arg);
    return x >= 0.0 ? 1.0 - y : y;
}

// Normal deviates zdev(1..l) of the cumulative proportions cump, for the
// starting estimates: a list one entry longer than l has its first entry
// skipped; with a count datsum, proportions 0 and 1 are pulled in by half an
// observation.  Uses the rational approximation 26.2.23 of Abramowitz and
// Stegun (absolute error below 4.5e-4).
void normal_deviates(const double* cump, int n, int l, int datsum, double* zdev)
{
    static constexpr double c0 = 2.515517;
    static constexpr double c1 = 0.802853;
    static constexpr double c2 = 0.010328;
    static constexpr double d1 = 1.432788;
    static constexpr double d2 = 0.189269;
    static constexpr double d3 = 0.001308;

    for (int i = 1; i <= l; ++i)
        zdev[i - 1] = 0.0;

    const int k = (n - l == 1) ? 1 : 0;
    for (int i = 1; i <= l; ++i)
        zdev[i - 1] = cump[i - 1 + k];

    if (datsum != 0) {
        const double half = 1.0 / (2.0 * datsum);
        for (int i = 1; i <= l; ++i) {
            if (zdev[i - 1] == 0.0)
                zdev[i - 1] = half;
            if (zdev[i - 1] >= 1.0)
                zdev[i - 1] = 1.0 - half;
        }
    }

    for (int i = 1; i <= l; ++i) {
        const double p = zdev[i - 1];
        double sign;
        double q;
        if (p > 0.5) {
            sign = 1.0;
            q = 1.0 - p;
        } else {
            sign = -1.0;
            q = p;
        }
        const double t = std::sqrt(std::log(1.0 / (q * q)));
        const double w =
            t - (c0 + c1 * t + c2 * t * t) / (1.0 + d1 * t + d2 * t * t + d3 * t * t * t);
        zdev[i - 1] = sign * std::fabs(w);
    }
}

}  // namespace varnel::numeric
