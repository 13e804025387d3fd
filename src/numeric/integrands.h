// Integrands of the LROC model.  Every integrand takes (x, a, b, c, d); each
// uses the parameters its formula names and ignores the others.
#pragma once

namespace varnel::numeric {

using Integrand = double (*)(double x, double a, double b, double c, double d);

// phi(x), the density of the highest non-target value.
double normal_density(double x, double a, double b, double c, double d);
// phi(x) Phi((x - c)/d): the highest non-target value is x and the target
// value, normal with mean c and standard deviation d, lies below it.
double target_below_density(double x, double a, double b, double c, double d);
// phi(x) d/da Phi((x - a)/b) = -exp(-(x^2 + ((x - a)/b)^2)/2) / (2 pi b).
double mean_derivative_density(double x, double a, double b, double c, double d);
// phi(x) d/db Phi((x - a)/b): the mean derivative times (x - a)/b.
double sigma_derivative_density(double x, double a, double b, double c, double d);

// The constants 1/sqrt(2 pi) and 1/(2 pi) with the digits the model has
// always used.
inline constexpr double inv_sqrt_2pi = 0.3989422804014;
inline constexpr double inv_2pi = 0.1591549430919;

}  // namespace varnel::numeric
