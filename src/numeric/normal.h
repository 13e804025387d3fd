// Standard normal distribution functions of the model.
#pragma once

namespace varnel::numeric {

// erfc(x) for x >= 0 by the Chebyshev-fitted approximation of Numerical
// Recipes ("erfcc", fractional error below 1.2e-7).
double erfc_approx(double x);
// Phi(x) = P(N(0,1) <= x) from erfc_approx.
double normal_cdf(double x);
// Normal deviates zdev[0..l-1] of the cumulative proportions cump (a list one
// entry longer than l has its first entry skipped); with a count datsum,
// proportions 0 and 1 are pulled in by half an observation.
void normal_deviates(const double* cump, int n, int l, int datsum, double* zdev);

}  // namespace varnel::numeric
