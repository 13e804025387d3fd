// Localization index and probability of correct localization in closed form.
#include <cmath>

#include "numeric/cum_pdf1.h"
#include "output/io_routs.h"
#include "report/reports.h"

// For each target t: d_loc = (mu_t - mu_0) / rms(sigma_t, sigma_0) and the
// probability that the target location's value exceeds the highest
// non-target value, Phi(d_loc / sqrt 2), with sqrt 2 as the decimal constant.
int pclroc_(const int& nd, const double* a, const double* b, double* pcl, double* dloc)
{
    constexpr double root2 = 1.414213562;
    for (int t = 1; t <= nd - 1; ++t) {
        const double dem = std::sqrt(0.5 * (b[t - 1] * b[t - 1] + b[nd - 1] * b[nd - 1]));
        dloc[t - 1] = (a[t - 1] - a[nd - 1]) / dem;
        pcl[t - 1] = cum_pdf1__(dloc[t - 1] / root2);
    }
    return 0;
}

// d_loc and localization probability with their standard errors, in the
// columns of the area table above.
int wrtpcl2_(const int& lun, const int& ndist, const double* dloc, const double* sedloc,
             const double* pcl, const double* stderr_pcl__)
{
    static const char value_fmt[] = "(1x,f8.4,$)";
    const int last = ndist - 1;
    out_str__(lun, "(/,'Direct calculation from parameter values')");
    out_arr_r__(lun, "('Dloc         ',$)", value_fmt, dloc, 1, last);
    out_arr_r__(lun, "('   std err   ',$)", value_fmt, sedloc, 1, last);
    out_arr_r__(lun, "('Prob Local   ',$)", value_fmt, pcl, 1, last);
    out_arr_r__(lun, "('   std err   ',$)", value_fmt, stderr_pcl__, 1, last);
    return 0;
}
