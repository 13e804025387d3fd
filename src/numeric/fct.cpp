// Integrands of the LROC model: the non-signal density, the probability that
// the signal value lies below the non-signal value, and its derivatives with
// respect to the target mean and standard deviation.
#include "numeric/fct.h"

#include <cmath>

#include "numeric/cum_pdf1.h"

long long integrand_evaluations__ = 0;

// The integrand routine with three entries, chosen by `which`:
// 1 = phi(x); 2 = phi(x) * d/da Phi((x - a)/b); 3 = phi(x) * d/db Phi((x - a)/b).
double fcts_(int which, const double& x, const double& a, const double& b, const double& cc,
             const double& dd)
{
    // 1/sqrt(2 pi), stored as the model has always used it.
    static constexpr double inv_sqrt_2pi = 0.3989422804014;

    (void)cc;
    (void)dd;
    switch (which) {
    case 1:
        return inv_sqrt_2pi * std::exp(-x * x / 2.0);
    case 2:
        return expmusig_(x, a, b);
    default:
        return expmusig_(x, a, b) * (x - a) / b;
    }
}

// phi(x), the density of the highest non-signal value; a and b are ignored.
double fct1_(const double& x, const double& a, const double& b, const double& cc,
             const double& dd)
{
    return fcts_(1, x, a, b, cc, dd);
}

// phi(x) times the derivative of Phi((x - a)/b) with respect to the mean a.
double fct4_(const double& x, const double& a, const double& b, const double& cc,
             const double& dd)
{
    ++integrand_evaluations__;
    return fcts_(2, x, a, b, cc, dd);
}

// phi(x) times the derivative of Phi((x - a)/b) with respect to the
// standard deviation b.
double fct5_(const double& x, const double& a, const double& b, const double& cc,
             const double& dd)
{
    ++integrand_evaluations__;
    return fcts_(3, x, a, b, cc, dd);
}

// Density of the event "the non-signal value is x and the signal value,
// normal with mean cc and standard deviation dd, lies below it".
double fct1a_(const double& x, const double& a, const double& b, const double& cc,
              const double& dd)
{
    ++integrand_evaluations__;
    return fct1_(x, a, b, cc, dd) * cum_pdf1__((x - cc) / dd);
}

// phi(x) * d/da Phi((x - a)/b) = -exp(-(x^2 + ((x - a)/b)^2)/2) / (2 pi b).
double expmusig_(const double& x, const double& a, const double& b)
{
    // 1/(2 pi), stored as the model has always used it.
    static constexpr double inv_2pi = 0.1591549430919;

    const double y = (x - a) / b;
    return -inv_2pi * std::exp(-(x * x + y * y) / 2.0) / b;
}
