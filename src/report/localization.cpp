// Localization index and probability of correct localization in closed form.
#include <cmath>

#include "numeric/normal.h"
#include "report/blocks.h"

namespace varnel::report {

// For each target t: d_loc = (mu_t - mu_0) / rms(sigma_t, sigma_0) and the
// probability that the target location's value exceeds the highest
// non-target value, Phi(d_loc / sqrt 2), with sqrt 2 as the decimal constant.
void localization(int nd, const double* a, const double* b, double* pcl, double* dloc)
{
    constexpr double root2 = 1.414213562;
    for (int t = 1; t <= nd - 1; ++t) {
        const double dem = std::sqrt(0.5 * (b[t - 1] * b[t - 1] + b[nd - 1] * b[nd - 1]));
        dloc[t - 1] = (a[t - 1] - a[nd - 1]) / dem;
        pcl[t - 1] = numeric::normal_cdf(dloc[t - 1] / root2);
    }
}

// d_loc and localization probability with their standard errors, in the
// columns of the area table above.
void write_localization(output::Printer& out, int ndist, const double* dloc,
                        const double* sedloc, const double* pcl, const double* sepcl)
{
    static const char value_fmt[] = "(1x,f8.4,$)";
    const int last = ndist - 1;
    out.text("(/,'Direct calculation from parameter values')");
    out.value_row("('Dloc         ',$)", value_fmt, dloc, 1, last);
    out.value_row("('   std err   ',$)", value_fmt, sedloc, 1, last);
    out.value_row("('Prob Local   ',$)", value_fmt, pcl, 1, last);
    out.value_row("('   std err   ',$)", value_fmt, sepcl, 1, last);
}

}  // namespace varnel::report
