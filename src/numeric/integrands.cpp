// Integrands of the LROC model: the non-target density, the probability that
// the target value lies below the non-target value, and its derivatives with
// respect to the target mean and standard deviation.
#include "numeric/integrands.h"

#include <cmath>

#include "numeric/normal.h"

namespace varnel::numeric {

namespace {

// phi(x) * d/da Phi((x - a)/b).
double mean_term(double x, double a, double b)
{
    const double y = (x - a) / b;
    return -inv_2pi * std::exp(-(x * x + y * y) / 2.0) / b;
}

}  // namespace

double normal_density(double x, double, double, double, double)
{
    return inv_sqrt_2pi * std::exp(-x * x / 2.0);
}

double target_below_density(double x, double a, double b, double c, double d)
{
    return normal_density(x, a, b, c, d) * normal_cdf((x - c) / d);
}

double mean_derivative_density(double x, double a, double b, double, double)
{
    return mean_term(x, a, b);
}

double sigma_derivative_density(double x, double a, double b, double, double)
{
    return mean_term(x, a, b) * (x - a) / b;
}

}  // namespace varnel::numeric
