// Romberg integration of the model integrands over finite intervals, and the
// wrappers through which the model builds its cumulative integral tables.
// All work tables are fixed and shared by every integration: an integrand must
// never start another integration.
#include "numeric/integrate.h"

#include <cmath>

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

// The value, mean-derivative and sigma-derivative integrals of target j over
// [lim1, lim2] (and [lim2, lim3] when twice), accumulated onto row i - 1.
void integrate_all(int twice, const int& i, const int& j, const double& lim1,
                   const double& lim2, const double& lim3, const double& muj,
                   const double& sigmaj, ctable& il, ctable& ilds, ctable& ildmu)
{
    static constexpr double zero = 0.0;
    static constexpr double one = 1.0;

    il(i, j) = integ2_(twice, lim1, lim2, lim3, zero, one, muj, sigmaj, fct1a_);
    ildmu(i, j) = integ2_(twice, lim1, lim2, lim3, muj, sigmaj, zero, one, fct4_);
    ilds(i, j) = integ2_(twice, lim1, lim2, lim3, muj, sigmaj, zero, one, fct5_);
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
