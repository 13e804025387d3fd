// Romberg integration of the model integrands over finite intervals, and the
// wrappers through which the model builds its cumulative integral tables.
// All state lives on the stack of the call, so integrations may run on any
// number of threads at once.
#include "numeric/romberg.h"

#include <cmath>

#include "numeric/normal.h"

namespace varnel::numeric {

namespace {

// The last stage (20) plus the entry carried past it.
constexpr int max_stages = 20;
// Points extrapolated to step zero.
constexpr int romberg_points = 5;
// Relative accuracy of every integral.
constexpr double eps = 1.0e-7;
// An integral that is zero or subnormal (|ss| + |dss| below this, far below
// any probability floor of the model) has converged too; a relative test
// could never accept it.
constexpr double negligible = 1.0e-290;

bool converged(double ss, double dss)
{
    return std::fabs(dss) < eps * std::fabs(ss) || std::fabs(ss) + std::fabs(dss) < negligible;
}

// The three integrands of Romberg::joint_integrals evaluated together at x:
// they share the standardized target value y, and the sigma derivative is
// the mean derivative times (x - mu), divided by sigma.  Each value is
// computed exactly as its own integrand computes it; `want` says which are
// still needed.  Returns the number of evaluations.
int joint_integrands(double x, double mu, double sigma, const bool want[3], double value[3])
{
    int evaluations = 0;
    const double y = (x - mu) / sigma;
    if (want[0]) {
        ++evaluations;
        value[0] = inv_sqrt_2pi * std::exp(-x * x / 2.0) * normal_cdf(y);
    }
    if (want[1] || want[2]) {
        const double mu_term = -inv_2pi * std::exp(-(x * x + y * y) / 2.0) / sigma;
        if (want[1]) {
            ++evaluations;
            value[1] = mu_term;
        }
        if (want[2]) {
            ++evaluations;
            value[2] = mu_term * (x - mu) / sigma;
        }
    }
    return evaluations;
}

}  // namespace

int trapezoid_stage(Integrand f, double ll, double ul, double a, double b, double c, double d,
                    double& s, int n, int& points)
{
    if (n == 1) {
        s = 0.5 * (ul - ll) * (f(ll, a, b, c, d) + f(ul, a, b, c, d));
        points = 1;
        return 2;
    }
    const int evaluations = points;
    const double tnm = points;
    const double del = (ul - ll) / tnm;
    double x = ll + 0.5 * del;
    double sum = 0.0;
    for (int k = 1; k <= points; ++k) {
        sum += f(x, a, b, c, d);
        x += del;
    }
    s = 0.5 * (s + (ul - ll) * sum / tnm);
    points *= 2;
    return evaluations;
}

void extrapolate_to_zero(const double* xa, const double* ya, int n, double& y, double& dy)
{
    double c[romberg_points];  // Neville tableau, upward corrections
    double d[romberg_points];  // and downward ones
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
                throw NumericalStop{NumericalStop::polint_error};
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
}

// The trapezoid stages extrapolated to step zero through their last five
// values, until the error estimate is below 1e-7 of the value.
double Romberg::integral(Integrand f, double ll, double ul, double a, double b, double c,
                         double d)
{
    double h[max_stages + 1];  // step measures, h(j) = 0.25^(j-1)
    double s[max_stages + 1];  // trapezoid sums of stages 1..20
    int points = 0;
    double ss = 0.0;
    double dss = 0.0;
    h[0] = 1.0;
    for (int j = 1; j <= max_stages; ++j) {
        evaluations_ += trapezoid_stage(f, ll, ul, a, b, c, d, s[j - 1], j, points);
        if (j >= romberg_points) {
            const int first = j - romberg_points;
            extrapolate_to_zero(&h[first], &s[first], romberg_points, ss, dss);
            if (converged(ss, dss))
                return ss;
        }
        s[j] = s[j - 1];
        h[j] = 0.25 * h[j - 1];
    }
    throw NumericalStop{NumericalStop::too_many_romberg_steps};
}

// Each integral keeps its own trapezoid sums and stops at its own
// convergence; only the evaluations at shared points are saved.
void Romberg::joint_integrals(double ll, double ul, double mu, double sigma, double result[3])
{
    double h[max_stages + 1];
    double sj[3][max_stages + 1];  // trapezoid sums per integrand
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
            evaluations_ += joint_integrands(ll, mu, sigma, want, lo);
            evaluations_ += joint_integrands(ul, mu, sigma, want, hi);
            for (int m = 0; m < 3; ++m)
                if (want[m]) sj[m][0] = 0.5 * (ul - ll) * (lo[m] + hi[m]);
        } else {
            const double tnm = points;
            const double del = (ul - ll) / tnm;
            double x = ll + 0.5 * del;
            sum[0] = sum[1] = sum[2] = 0.0;
            for (int k = 1; k <= points; ++k) {
                evaluations_ += joint_integrands(x, mu, sigma, want, value);
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
                extrapolate_to_zero(&h[first], &sj[m][first], romberg_points, ss, dss);
                if (converged(ss, dss)) {
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
    throw NumericalStop{NumericalStop::too_many_romberg_steps};
}

double Romberg::target_below(double lim1, double lim2, double mu, double sigma)
{
    return integral(target_below_density, lim1, lim2, 0.0, 1.0, mu, sigma);
}

// Each stretch gets its own Romberg run at its own scale.
double Romberg::target_below_split(double lim1, double lim2, double lim3, double mu, double sigma)
{
    double sum = integral(target_below_density, lim1, lim2, 0.0, 1.0, mu, sigma);
    sum += integral(target_below_density, lim2, lim3, 0.0, 1.0, mu, sigma);
    return sum;
}

void Romberg::accumulate_all(bool twice, int i, int j, double lim1, double lim2, double lim3,
                             double mu, double sigma, BoundaryTable& il, BoundaryTable& ilds,
                             BoundaryTable& ildmu)
{
    double part[3];
    joint_integrals(lim1, lim2, mu, sigma, part);
    il(i, j) = part[0];
    ildmu(i, j) = part[1];
    ilds(i, j) = part[2];
    if (twice) {
        joint_integrals(lim2, lim3, mu, sigma, part);
        il(i, j) += part[0];
        ildmu(i, j) += part[1];
        ilds(i, j) += part[2];
    }
    il(i, j) += il(i - 1, j);
    ildmu(i, j) += ildmu(i - 1, j);
    ilds(i, j) += ilds(i - 1, j);
}

void Romberg::accumulate(int i, int j, double lim1, double lim2, double mu, double sigma,
                         BoundaryTable& il, BoundaryTable& ilds, BoundaryTable& ildmu)
{
    accumulate_all(false, i, j, lim1, lim2, lim2, mu, sigma, il, ilds, ildmu);
}

void Romberg::accumulate_split(int i, int j, double lim1, double lim2, double lim3, double mu,
                               double sigma, BoundaryTable& il, BoundaryTable& ilds,
                               BoundaryTable& ildmu)
{
    accumulate_all(true, i, j, lim1, lim2, lim3, mu, sigma, il, ilds, ildmu);
}

}  // namespace varnel::numeric
