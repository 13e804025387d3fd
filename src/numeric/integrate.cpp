// Romberg integration of the model integrands over finite intervals, and the
// wrappers through which the model builds its cumulative integral tables.
// All work tables are fixed and shared by every integration: an integrand must
// never start another integration.
#include "numeric/integrate.h"

#include <cmath>

#include "numeric/cum_pdf1.h"
#include "output/io_routs.h"

namespace {

// Romberg state: the last stage (20) plus the entry carried past it.
constexpr int max_stages = 20;
// Points extrapolated to step zero.
constexpr int romberg_points = 5;

double h[max_stages + 1];  // step measures, h(j) = 0.25^(j-1)
double s[max_stages + 1];  // trapezoid sums of stages 1..20
int it;                    // new interior points of the next trapezoid stage
double c[romberg_points];  // Neville tableau, upward corrections
double d[romberg_points];  // Neville tableau, downward corrections

// The three integrands of one interval of the derivative variant, fct1a_
// (a = 0, b = 1, cc = mu, dd = sigma), fct4_ and fct5_ (a = mu, b = sigma),
// evaluated together at x: they share the standardized signal value y and
// fct5_ is fct4_ times (x - mu), divided by sigma.  Each value is computed
// exactly as its own routine computes it; `want` says which are still needed.
void joint_integrands(const double& x, const double& mu, const double& sigma,
                      const bool want[3], double value[3])
{
    static constexpr double inv_sqrt_2pi = 0.3989422804014;
    static constexpr double inv_2pi = 0.1591549430919;

    const double y = (x - mu) / sigma;
    if (want[0]) {
        ++integrand_evaluations__;
        value[0] = inv_sqrt_2pi * std::exp(-x * x / 2.0) * cum_pdf1__(y);
    }
    if (want[1] || want[2]) {
        const double mu_term = -inv_2pi * std::exp(-(x * x + y * y) / 2.0) / sigma;
        if (want[1]) {
            ++integrand_evaluations__;
            value[1] = mu_term;
        }
        if (want[2]) {
            ++integrand_evaluations__;
            value[2] = mu_term * (x - mu) / sigma;
        }
    }
}

// Romberg integrals of the three integrands of joint_integrands over
// [ll, ul], run side by side on the same trapezoid points.  Each integral
// keeps its own trapezoid sums and stops at its own convergence, so every
// result is the one integrate_func__ gives for that integrand alone; only the
// evaluations at shared points are saved.
void integrate_joint(const double& ll, const double& ul, const double& mu, const double& sigma,
                     double result[3])
{
    static constexpr double eps = 1.0e-7;
    static constexpr double negligible = 1.0e-290;
    static double sj[3][max_stages + 1];  // trapezoid sums per integrand

    bool want[3] = {true, true, true};
    double value[3] = {0.0, 0.0, 0.0};
    double sum[3];
    int active = 3;
    int points = 1;  // new interior points of the next stage
    h[0] = 1.0;
    for (int j = 1; j <= max_stages; ++j) {
        // Stage j of the extended trapezoid rule for every integrand still open.
        if (j == 1) {
            double lo[3], hi[3];
            joint_integrands(ll, mu, sigma, want, lo);
            joint_integrands(ul, mu, sigma, want, hi);
            for (int m = 0; m < 3; ++m)
                if (want[m]) sj[m][0] = 0.5 * (ul - ll) * (lo[m] + hi[m]);
        } else {
            const double tnm = points;
            const double del = (ul - ll) / tnm;
            double x = ll + 0.5 * del;
            sum[0] = sum[1] = sum[2] = 0.0;
            for (int k = 1; k <= points; ++k) {
                joint_integrands(x, mu, sigma, want, value);
                for (int m = 0; m < 3; ++m)
                    if (want[m]) sum[m] += value[m];
                x += del;
            }
            for (int m = 0; m < 3; ++m)
                if (want[m]) sj[m][j - 1] = 0.5 * (sj[m][j - 1] + (ul - ll) * sum[m] / tnm);
            points *= 2;
        }
        if (j >= romberg_points) {
            const int first = j - romberg_points;
            for (int m = 0; m < 3; ++m) {
                if (!want[m]) continue;
                double ss = 0.0, dss = 0.0;
                polint_(&h[first], &sj[m][first], romberg_points, ss, dss);
                if (std::fabs(dss) < eps * std::fabs(ss) ||
                    std::fabs(ss) + std::fabs(dss) < negligible) {
                    result[m] = ss;
                    want[m] = false;
                    --active;
                }
            }
            if (active == 0) return;
        }
        for (int m = 0; m < 3; ++m) sj[m][j] = sj[m][j - 1];
        h[j] = 0.25 * h[j - 1];
    }
    stop_run__("Too many steps in Romberg integration", 2);
}

// The value, mean-derivative and sigma-derivative integrals of target j over
// [lim1, lim2] (and [lim2, lim3] when twice), accumulated onto row i - 1.
void integrate_all(int twice, const int& i, const int& j, const double& lim1,
                   const double& lim2, const double& lim3, const double& muj,
                   const double& sigmaj, ctable& il, ctable& ilds, ctable& ildmu)
{
    double part[3];
    integrate_joint(lim1, lim2, muj, sigmaj, part);
    il(i, j) = part[0];
    ildmu(i, j) = part[1];
    ilds(i, j) = part[2];
    if (twice) {
        integrate_joint(lim2, lim3, muj, sigmaj, part);
        il(i, j) += part[0];
        ildmu(i, j) += part[1];
        ilds(i, j) += part[2];
    }
    il(i, j) += il(i - 1, j);
    ildmu(i, j) += ildmu(i - 1, j);
    ilds(i, j) += ilds(i - 1, j);
}

}  // namespace

// Stage n of the extended trapezoid rule on [ll, ul] (Numerical Recipes
// trapzd): stage 1 uses the end points, each later stage halves the spacing
// and refines s, which must hold the previous stage's value.
int trapzd_(integrand_fn func, const double& ll, const double& ul, const double& a,
            const double& b, const double& cc, const double& dd, double& s, const int& n)
{
    if (n == 1) {
        s = 0.5 * (ul - ll) * (func(ll, a, b, cc, dd) + func(ul, a, b, cc, dd));
        it = 1;
        return 0;
    }
    const double tnm = it;
    const double del = (ul - ll) / tnm;
    double x = ll + 0.5 * del;
    double sum = 0.0;
    for (int k = 1; k <= it; ++k) {
        sum += func(x, a, b, cc, dd);
        x += del;
    }
    s = 0.5 * (s + (ul - ll) * sum / tnm);
    it *= 2;
    return 0;
}

// Value y at x = 0 of the polynomial through the n points (xa, ya), n <= 5,
// by Neville's algorithm; dy is the last correction added, the error estimate.
int polint_(const double* xa, const double* ya, const int& n, double& y, double& dy)
{
    int ns = 1;
    double dif = std::fabs(xa[0]);
    for (int i = 1; i <= n; ++i) {
        const double dift = std::fabs(xa[i - 1]);
        if (dift < dif) {
            ns = i;
            dif = dift;
        }
        c[i - 1] = ya[i - 1];
        d[i - 1] = ya[i - 1];
    }
    y = ya[ns - 1];
    --ns;
    for (int m = 1; m <= n - 1; ++m) {
        for (int i = 1; i <= n - m; ++i) {
            const double ho = xa[i - 1];
            const double hp = xa[i + m - 1];
            const double w = c[i] - d[i - 1];
            double den = ho - hp;
            if (den == 0.0)
                stop_run__("polint error", 2);
            den = w / den;
            d[i - 1] = hp * den;
            c[i - 1] = ho * den;
        }
        if (2 * ns < n - m) {
            dy = c[ns];
        } else {
            dy = d[ns - 1];
            --ns;
        }
        y += dy;
    }
    return 0;
}

// Romberg integral of fct_func(x, a, b, cc, dd) over x from ll to ul: the
// trapezoid stages extrapolated to step zero through their last five values,
// until the error estimate is below 1e-7 of the value.  An integral that is
// zero or subnormal (|ss| + |dss| < 1e-290, far below any probability floor
// of the model) has converged too; a relative test could never accept it.
double integrate_func__(const double& ll, const double& ul, const double& a, const double& b,
                        const double& cc, const double& dd, integrand_fn fct_func)
{
    static constexpr double eps = 1.0e-7;
    static constexpr double negligible = 1.0e-290;

    double ss = 0.0;
    double dss = 0.0;
    h[0] = 1.0;
    for (int j = 1; j <= max_stages; ++j) {
        trapzd_(fct_func, ll, ul, a, b, cc, dd, s[j - 1], j);
        if (j >= romberg_points) {
            const int first = j - romberg_points;
            polint_(&h[first], &s[first], romberg_points, ss, dss);
            if (std::fabs(dss) < eps * std::fabs(ss) ||
                std::fabs(ss) + std::fabs(dss) < negligible)
                return ss;
        }
        s[j] = s[j - 1];
        h[j] = 0.25 * h[j - 1];
    }
    stop_run__("Too many steps in Romberg integration", 2);
}

// Integral of fct_func over [lim1, lim2], plus the one over [lim2, lim3] when
// twice is set: each stretch gets its own Romberg run at its own scale.
double integ2_(const int& twice, const double& lim1, const double& lim2, const double& lim3,
               const double& a, const double& b, const double& cc, const double& dd,
               integrand_fn fct_func)
{
    double sum = integrate_func__(lim1, lim2, a, b, cc, dd, fct_func);
    if (twice)
        sum += integrate_func__(lim2, lim3, a, b, cc, dd, fct_func);
    return sum;
}

// P(non-signal value x in [lim1, lim2] and signal value below x), the signal
// normal with mean cc and standard deviation dd.
double cumf_(const double& lim1, const double& lim2, const double& a, const double& b,
             const double& cc, const double& dd)
{
    return integ2_(0, lim1, lim2, lim2, a, b, cc, dd, fct1a_);
}

// As cumf_, over [lim1, lim2] and [lim2, lim3] integrated separately.
double cf2_(const double& lim1, const double& lim2, const double& lim3, const double& a,
            const double& b, const double& cc, const double& dd)
{
    return integ2_(1, lim1, lim2, lim3, a, b, cc, dd, fct1a_);
}

// Row i of the cumulative integral tables of target j over [lim1, lim2]: the
// probability (il) and its derivatives in the mean (ildmu) and in the
// standard deviation (ilds), each added to row i - 1.
int integrate_once__(const int& i, const int& j, const double& lim1, const double& lim2,
                     const double& muj, const double& sigmaj, ctable& il, ctable& ilds,
                     ctable& ildmu)
{
    integrate_all(0, i, j, lim1, lim2, lim2, muj, sigmaj, il, ilds, ildmu);
    return 0;
}

// As integrate_once__, with the range split at lim2 into two Romberg runs.
int integrate_twice__(const int& i, const int& j, const double& lim1, const double& lim2,
                      const double& lim3, const double& muj, const double& sigmaj, ctable& il,
                      ctable& ilds, ctable& ildmu)
{
    integrate_all(1, i, j, lim1, lim2, lim3, muj, sigmaj, il, ilds, ildmu);
    return 0;
}
