// Small numeric helpers and the distribution functions of the significance
// tests (Student t, F, chi-square and normal from Boost.Math), defined for
// every input: NaN in or undefined gives NaN out, never an exception.
#pragma once

#include <span>

namespace varnel::mrmc {

// Mean of the values, computed about the first one so that equal values give
// exactly that value; NaN for none.
double mean_of(std::span<const double> values);

// num / den with 0/0 undefined (NaN) and x/0 the infinite limit of x's sign.
double quotient(double num, double den);

// P(F > f) for F on (ndf, ddf) degrees of freedom; an infinite ddf gives the
// chi-square limit P(chi2(ndf) > ndf f); f = +inf gives 0 even when ddf
// is undefined.
double f_upper_tail(double f, double ndf, double ddf);

// P(chi2(df) > x); x = +inf gives 0.
double chi2_upper_tail(double x, double df);

// Two-sided P(|T| >= |t|) for Student's t on df degrees of freedom (infinite:
// standard normal); |t| = inf gives 0 even when df is undefined.
double t_two_sided_p(double t, double df);

// P(T <= t) for Student's t on df degrees of freedom (infinite: standard
// normal); t = -inf gives 0 and t = +inf gives 1 even when df is undefined.
double t_lower_tail(double t, double df);

// The upper `tail` quantile of Student's t on df degrees of freedom
// (infinite: standard normal), 0 < tail < 1: the factor of a one-sided
// (1 - tail) confidence bound.
double t_upper_quantile(double tail, double df);

// The upper alpha/2 quantile of Student's t on df degrees of freedom
// (infinite: standard normal), the half-width factor of a (1 - alpha)
// confidence interval.
double t_critical(double alpha, double df);

}  // namespace varnel::mrmc
