// ROC and LROC areas and the localization accuracy.
#include "numeric/normal.h"
#include "report/blocks.h"

namespace varnel::report {

// For each target t, by the trapezoid rule in the measure of the N(0, 1)
// non-target distribution on thresholds -5 .. 6.94 (spacing 12/198):
//   AreaROC  = 1 - int phi(z) Phi(z) Phi((z-mu)/sigma) dz,
//   LocAcc   = 1 - int phi(z) Phi((z-mu)/sigma) dz,
//   AreaLROC = 2 AreaROC - 1 (exact under the model);
// with chance localization entered, the areas adjusted for a lucky correct
// localization with probability q(t).
void areas(const ModelSpec& spec, const double* a, const double* b, double* arearoc,
           double* arealroc, double* locacc, double* adjarea, double* adjloc)
{
    constexpr int np = 200;
    constexpr double delta = 12.0 / 198.0;
    constexpr double zlow = -5.0;
    const int nd = spec.distributions;
    // Distribution function per grid point and distribution.
    Table<double, np, max_distributions> f;

    for (int j = 1; j <= nd; ++j) {
        f(1, j) = 0.0;
        for (int i = 2; i <= np - 1; ++i) {
            const double z = zlow + (i - 2) * delta;
            f(i, j) = numeric::normal_cdf((z - a[j - 1]) / b[j - 1]);
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
        if (spec.chance_entered) {
            const double q = spec.q(t);
            adjarea[t - 1] = (1.0 - arearoc[t - 1]) * q + arealroc[t - 1];
            adjloc[t - 1] = (1.0 - q) * locacc[t - 1] + q;
        }
    }
}

// Area table; the adjusted rows appear only when chance values were entered.
void write_areas(output::Printer& out, int ndist, const double* arearoc, const double* arealroc,
                 const double* locacc, const double* seaz, const double* seal, bool adjusted,
                 const double* adjarea, const double* adjloc)
{
    static const char value_fmt[] = "(1x,f8.4,$)";
    const int last = ndist - 1;
    out.text("(/,'Used numerical integration from parameter values')");
    out.index_row("('Target dist #',$)", "(4x,1i2,'   ',$)", 1, last);
    out.value_row("('AreaROC     ',$)", value_fmt, arearoc, 1, last);
    out.value_row("('   std err  ',$)", value_fmt, seaz, 1, last);
    out.value_row("('AreaLROC    ',$)", value_fmt, arealroc, 1, last);
    if (adjusted) out.value_row("('AdjArea     ',$)", value_fmt, adjarea, 1, last);
    out.value_row("('Loc Accuracy',$)", value_fmt, locacc, 1, last);
    if (adjusted) out.value_row("('Adj Loc Acc ',$)", value_fmt, adjloc, 1, last);
    out.value_row("('   std err  ',$)", value_fmt, seal, 1, last);
}

}  // namespace varnel::report
