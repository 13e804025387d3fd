// ROC and LROC curves of each target on a fixed threshold grid.
#include <cmath>

#include "numeric/normal.h"
#include "report/blocks.h"

namespace varnel::report {

// For thresholds z = -5 .. 6.96 (spacing 12/298), with point 1 below and point
// 300 above everything: FP = 1 - Phi(z), TP = 1 - Phi(z) Phi((z-mu)/sigma),
// CTP = TP - int_z^inf phi(u) Phi((u-mu)/sigma) du (rectangle rule from the
// top), and CTPadj with that integral weighted by 1 - q(t).
void curves(const ModelSpec& spec, const double* a, const double* b, double* fp, CurveTable& tp,
            CurveTable& ctp, CurveTable& ctpadj)
{
    constexpr int np = 300;
    constexpr double delta = 12.0 / (np - 2);
    constexpr double zlow = -5.0;
    constexpr double twopi = 6.283185307179586;
    constexpr double min_exponent = -88.0;  // density taken as 0 below this exponent
    const double sqrt2pi = std::sqrt(twopi);
    const int nd = spec.distributions;
    // Distribution function and density per grid point and distribution.
    CurveTable f, p;

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
            f(i, j) = numeric::normal_cdf(y);
            fp[i - 1] = 1.0 - f(i, j);
        }
    }

    for (int t = 1; t <= nd - 1; ++t)
        for (int i = 2; i <= np - 1; ++i) tp(i, t) = 1.0 - f(i, nd) * f(i, t);

    for (int t = 1; t <= nd - 1; ++t) {
        const double q = spec.q(t);
        double s = 0.0;
        for (int i = np - 1; i >= 2; --i) {
            s += p(i, nd) * f(i, t) * delta;
            ctp(i, t) = tp(i, t) - s;
            ctpadj(i, t) = tp(i, t) - (1.0 - q) * s;
        }
        ctp(1, t) = ctp(2, t);
        ctpadj(1, t) = ctpadj(2, t);
    }
}

// Curve table: the first and last points and every fifth point between whose
// false-positive fraction lies strictly inside (0.0005, 0.999); two values per
// target (TP, CTP), or three with the chance-adjusted CTP when adjusted.
void write_curves(output::Printer& out, int nd, const double* fp, const CurveTable& tp,
                  const CurveTable& ctp, const CurveTable& ctpadj, bool adjusted)
{
    constexpr int np = 300;
    constexpr int step = 5;
    constexpr double fp_low = 0.0005;
    constexpr double fp_high = 0.999;
    constexpr int ld = CurveTable::rows;

    out.text("(/,'Curves from fit distribution parameters')");
    if (!adjusted)
        out.index_row("(' False Pos',$)", "(6x,'Tar',1i2,'    ',$)", 1, nd - 1);
    else
        out.index_row("(' False Pos',$)", "(10x,'Tar',1i2,6x,' ',$)", 1, nd - 1);

    for (int i = 1; i <= np; ++i) {
        const bool selected = i == 1 || i == np ||
                              ((i - 2) % step == 0 && fp[i - 1] > fp_low && fp[i - 1] < fp_high);
        if (!selected) continue;
        out.write("(1x,f8.5,$)", fp[i - 1]);
        if (!adjusted)
            out.strided_row("(' ',$)", "(2X,f6.4,1X,f6.4,$)", &tp(i, 1), &ctp(i, 1), 1, nd - 1,
                            ld);
        else
            out.strided_row("(' ',$)", "(2X,f6.4,1X,f6.4,1X,f6.4,$)", &tp(i, 1), &ctp(i, 1),
                            &ctpadj(i, 1), 1, nd - 1, ld);
    }
}

}  // namespace varnel::report
