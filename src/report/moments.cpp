// Moments of the rating distributions of the fitted model.
#include <cmath>

#include "numeric/normal.h"
#include "report/blocks.h"

namespace varnel::report {

// Mean, standard deviation, skew and excess kurtosis of each distribution's
// rating (for a target the larger of X ~ N(mu, sigma^2) and Z ~ N(0, 1), for
// the non-target N(0, 1)), from interval masses on -7 .. 7 with spacing
// 14/54, each floored at 1e-5; and the binormal d_a and Az they imply.
void moments(const double* a, const double* b, int nd, double* mean, double* sd, double* skew,
             double* kurt, double* app_da, double* app_az)
{
    constexpr int np = 56;
    constexpr double delta = 14.0 / (np - 2);
    constexpr double zlow = -7.0;
    constexpr double mass_floor = 1.0e-5;
    constexpr double root2 = 1.414213562;
    // Distribution function per grid slot and distribution, the floored
    // interval masses, and the raw moments 1..4 per distribution.
    Table<double, np, max_distributions> f, fd;
    Table<double, 4, max_distributions> e;

    for (int j = 1; j <= nd; ++j) {
        f(1, j) = 0.0;
        f(np, j) = 1.0;
        for (int i = 2; i <= np - 1; ++i) {
            const double z = zlow + (i - 1) * delta;
            f(i, j) = numeric::normal_cdf((z - a[j - 1]) / b[j - 1]);
        }
    }

    for (int j = 1; j <= nd; ++j) {
        for (int i = 2; i <= np; ++i) {
            const int k = i - 1;
            if (j < nd)
                fd(k, j) = f(i, j) * f(i, nd) - f(i - 1, j) * f(i - 1, nd);
            else
                fd(k, j) = f(i, j) - f(i - 1, j);
            if (fd(k, j) < mass_floor) fd(k, j) = mass_floor;
        }
    }

    for (int j = 1; j <= nd; ++j) {
        for (int l = 1; l <= 4; ++l) e(l, j) = 0.0;
        for (int k = 1; k <= np - 2; ++k) {
            const double m = zlow + (k - 0.5) * delta;
            double mpow = 1.0;
            for (int l = 1; l <= 4; ++l) {
                mpow *= m;
                e(l, j) += mpow * fd(k, j);
            }
        }
    }

    for (int j = 1; j <= nd; ++j) {
        const double e1 = e(1, j), e2 = e(2, j), e3 = e(3, j), e4 = e(4, j);
        const double v = e2 - e1 * e1;
        const double s = std::sqrt(std::fabs(v));
        const double s2 = s * s;
        mean[j - 1] = e1;
        sd[j - 1] = s;
        skew[j - 1] = (e3 - 3.0 * e1 * s2 - e1 * e1 * e1) / (s2 * s);
        kurt[j - 1] =
            (e4 - 4.0 * e1 * e3 + 6.0 * e1 * e1 * s2 + 3.0 * e1 * e1 * e1 * e1) / (s2 * s2) - 3.0;
        app_da[j - 1] = mean[j - 1] * std::sqrt(2.0 / (1.0 + s2));
        app_az[j - 1] = numeric::normal_cdf(app_da[j - 1] / root2);
    }
}

// Moments table: the non-target column under index 0, then the targets.
void write_moments(output::Printer& out, int ndist, const double* mean, const double* sd,
                   const double* skew, const double* kurt, const double* app_da,
                   const double* app_az)
{
    static const char value_fmt[] = "(1x,f8.4,$)";
    const int last = ndist - 1;
    const int nt = ndist - 1;  // index of the non-target value, 0-based
    out.text("(/,'Moments from distribution parameters of LROC model')");
    out.index_row("('Target dist #',$)", "(4x,1i2,'   ',$)", 0, last);
    out.write("('Mean        ',1x,f8.4,$)", mean[nt]);
    out.value_row("($)", value_fmt, mean, 1, last);
    out.write("('St. dev.    ',1x,f8.4,$)", sd[nt]);
    out.value_row("($)", value_fmt, sd, 1, last);
    out.write("('Skew        ',1x,f8.4,$)", skew[nt]);
    out.value_row("($)", value_fmt, skew, 1, last);
    out.write("('Kurtosis    ',1x,f8.4,$)", kurt[nt]);
    out.value_row("($)", value_fmt, kurt, 1, last);
    out.write("('Implied d-a ',1x,f8.4,$)", app_da[nt]);
    out.value_row("($)", value_fmt, app_da, 1, last);
    out.write("('Implied Az  ',1x,f8.4,$)", app_az[nt]);
    out.value_row("($)", value_fmt, app_az, 1, last);
}

}  // namespace varnel::report
