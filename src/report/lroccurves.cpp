// ROC and LROC curves of each target on a fixed threshold grid.
#include <cmath>

#include "model/lroc_common.h"
#include "numeric/cum_pdf1.h"
#include "output/io_routs.h"
#include "report/reports.h"

namespace {
// Distribution function and density per grid point (300) and distribution (16).
curve_table f;
curve_table p;
}  // namespace

// For thresholds z = -5 .. 6.96 (spacing 12/298), with point 1 below and point
// 300 above everything: FP = 1 - Phi(z), TP = 1 - Phi(z) Phi((z-mu)/sigma),
// CTP = TP - int_z^inf phi(u) Phi((u-mu)/sigma) du (rectangle rule from the
// top), and CTPadj with that integral weighted by 1 - qset(t).
int lroccurves_(const double* a, const double* b, double* fp, curve_table& tp,
                curve_table& ctp, curve_table& ctpadj)
{
    constexpr int np = 300;
    constexpr double delta = 12.0 / (np - 2);
    constexpr double zlow = -5.0;
    constexpr double twopi = 6.283185307179586;
    constexpr double min_exponent = -88.0;  // density taken as 0 below this exponent
    const double sqrt2pi = std::sqrt(twopi);
    const int nd = globals_.ndist;

    fp[0] = 1.0;
    fp[np - 1] = 0.0;
    for (int j = 1; j <= nd; ++j) {
        tp(1, j) = 1.0;
        tp(np, j) = 0.0;
        ctp(np, j) = 0.0;
        ctpadj(np, j) = 0.0;
    }

    for (int j = 1; j <= nd; ++j) {
        for (int i = 2; i <= np - 1; ++i) {
            const double z = zlow + (i - 2) * delta;
            const double y = (z - a[j - 1]) / b[j - 1];
            const double ex = -y * y / 2.0;
            p(i, j) = ex >= min_exponent ? std::exp(ex) / (sqrt2pi * b[j - 1]) : 0.0;
            f(i, j) = cum_pdf1__(y);
            fp[i - 1] = 1.0 - f(i, j);
        }
    }

    for (int t = 1; t <= nd - 1; ++t)
        for (int i = 2; i <= np - 1; ++i) tp(i, t) = 1.0 - f(i, nd) * f(i, t);

    for (int t = 1; t <= nd - 1; ++t) {
        const double q = qset(t);
        double s = 0.0;
        for (int i = np - 1; i >= 2; --i) {
            s += p(i, nd) * f(i, t) * delta;
            ctp(i, t) = tp(i, t) - s;
            ctpadj(i, t) = tp(i, t) - (1.0 - q) * s;
        }
        ctp(1, t) = ctp(2, t);
        ctpadj(1, t) = ctpadj(2, t);
    }
    return 0;
}

// Curve table: the first and last points and every fifth point between whose
// false-positive fraction lies strictly inside (0.0005, 0.999); two values per
// target (TP, CTP), or three with the chance-adjusted CTP when flag__ is set.
int wrtcurves_(const int& lun, const int& nd, const double* fp, const curve_table& tp,
               const curve_table& ctp, const curve_table& ctpadj, const int& flag__)
{
    constexpr int np = 300;
    constexpr int step = 5;
    constexpr double fp_low = 0.0005;
    constexpr double fp_high = 0.999;
    constexpr int ld = curve_table::rows;

    out_str__(lun, "(/,'Curves from fit distribution parameters')");
    if (flag__ == 0)
        out_ind__(lun, "(' False Pos',$)", "(6x,'Tar',1i2,'    ',$)", 1, nd - 1);
    else
        out_ind__(lun, "(' False Pos',$)", "(10x,'Tar',1i2,6x,' ',$)", 1, nd - 1);

    for (int i = 1; i <= np; ++i) {
        const bool selected = i == 1 || i == np ||
                              ((i - 2) % step == 0 && fp[i - 1] > fp_low && fp[i - 1] < fp_high);
        if (!selected) continue;
        out_real__(lun, "(1x,f8.5,$)", fp[i - 1]);
        if (flag__ == 0)
            out_arr2_r_2__(lun, "(' ',$)", "(2X,f6.4,1X,f6.4,$)", &tp(i, 1), &ctp(i, 1), 1,
                           nd - 1, ld, ld);
        else
            out_arr2_r_3__(lun, "(' ',$)", "(2X,f6.4,1X,f6.4,1X,f6.4,$)", &tp(i, 1), &ctp(i, 1),
                           &ctpadj(i, 1), 1, nd - 1, ld, ld, ld);
    }
    return 0;
}
