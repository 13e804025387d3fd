// ROC and LROC areas and the localization accuracy.
#include "model/lroc_common.h"
#include "numeric/cum_pdf1.h"
#include "output/io_routs.h"
#include "report/reports.h"

namespace {
// Distribution function per grid point (200) and distribution (16).
table_t<double, 200, 16> f;
}  // namespace

// For each target t, by the trapezoid rule in the measure of the N(0, 1)
// non-target distribution on thresholds -5 .. 6.94 (spacing 12/198):
//   AreaROC  = 1 - int phi(z) Phi(z) Phi((z-mu)/sigma) dz,
//   LocAcc   = 1 - int phi(z) Phi((z-mu)/sigma) dz,
//   AreaLROC = 2 AreaROC - 1 (exact under the model);
// with chance localization entered, the areas adjusted for a lucky correct
// localization with probability qset(t).
int areasroc_(const double* a, const double* b, double* arearoc, double* arealroc,
              double* locacc, double* adjarea, double* adjloc)
{
    constexpr int np = 200;
    constexpr double delta = 12.0 / 198.0;
    constexpr double zlow = -5.0;
    const int nd = globals_.ndist;

    for (int j = 1; j <= nd; ++j) {
        f(1, j) = 0.0;
        for (int i = 2; i <= np - 1; ++i) {
            const double z = zlow + (i - 2) * delta;
            f(i, j) = cum_pdf1__((z - a[j - 1]) / b[j - 1]);
        }
    }

    const int n = nd;
    for (int t = 1; t <= nd - 1; ++t) {
        double sroc = 0.0, sloc = 0.0;
        for (int i = 2; i <= np - 1; ++i) {
            const double dfn = f(i, n) - f(i - 1, n);
            sroc += dfn * (f(i - 1, t) * f(i - 1, n) + f(i, t) * f(i, n)) * 0.5;
            sloc += dfn * (f(i, t) + f(i - 1, t)) * 0.5;
        }
        arearoc[t - 1] = 1.0 - sroc;
        locacc[t - 1] = 1.0 - sloc;
        arealroc[t - 1] = 2.0 * arearoc[t - 1] - 1.0;
        if (qvals_.qflag != 0) {
            const double q = qset(t);
            adjarea[t - 1] = (1.0 - arearoc[t - 1]) * q + arealroc[t - 1];
            adjloc[t - 1] = (1.0 - q) * locacc[t - 1] + q;
        }
    }
    return 0;
}

// Area table; the adjusted rows appear only when chance values were entered.
int wrtareas2_(const int& lun, const int& ndist, const double* arearoc, const double* arealroc,
               const double* locacc, const double* seaz, const double* seal, const int& flag__,
               const double* adjarea, const double* adjloc)
{
    static const char value_fmt[] = "(1x,f8.4,$)";
    const int last = ndist - 1;
    out_str__(lun, "(/,'Used numerical integration from parameter values')");
    out_ind__(lun, "('Target dist #',$)", "(4x,1i2,'   ',$)", 1, last);
    out_arr_r__(lun, "('AreaROC     ',$)", value_fmt, arearoc, 1, last);
    out_arr_r__(lun, "('   std err  ',$)", value_fmt, seaz, 1, last);
    out_arr_r__(lun, "('AreaLROC    ',$)", value_fmt, arealroc, 1, last);
    if (flag__ != 0) out_arr_r__(lun, "('AdjArea     ',$)", value_fmt, adjarea, 1, last);
    out_arr_r__(lun, "('Loc Accuracy',$)", value_fmt, locacc, 1, last);
    if (flag__ != 0) out_arr_r__(lun, "('Adj Loc Acc ',$)", value_fmt, adjloc, 1, last);
    out_arr_r__(lun, "('   std err  ',$)", value_fmt, seal, 1, last);
    return 0;
}
