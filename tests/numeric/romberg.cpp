// Romberg integration, the model integrands and the cumulative integral
// tables of the derivative model.
#include "numeric/romberg.h"

#include <cmath>
#include <limits>
#include <optional>

#include <gtest/gtest.h>

#include "numeric/integrands.h"
#include "support/alloc_count.h"

namespace {

using namespace varnel::numeric;
using varnel::BoundaryTable;

constexpr double zero = 0.0;
constexpr double one = 1.0;
// The integrator stops once its error estimate is below this part of the value.
constexpr double romberg_tol = 1e-7;

// Exact standard normal distribution function, independent of erfc_approx.
double phi_exact(double x) { return 0.5 * std::erfc(-x / std::sqrt(2.0)); }

double constant(double, double, double, double, double) { return 2.5; }

double square(double x, double, double, double, double) { return x * x; }

// 1/sqrt(x), taken as 0 at x = 0: finite at every sample point, but the
// trapezoid error shrinks like sqrt(h) and extrapolation cannot remove it.
double inverse_root(double x, double, double, double, double)
{
    return x > 0.0 ? 1.0 / std::sqrt(x) : 0.0;
}

double not_a_number(double, double, double, double, double)
{
    return std::numeric_limits<double>::quiet_NaN();
}

// One Romberg integral of f, made by a fresh integrator.
double integral(double ll, double ul, Integrand f, double a = 0.0, double b = 1.0,
                double c = 0.0, double d = 1.0)
{
    Romberg r;
    return r.integral(f, ll, ul, a, b, c, d);
}

// The numerical stop a call throws, if any.
template <class F>
std::optional<NumericalStop> stop_of(F call)
{
    try {
        call();
    } catch (const NumericalStop& stop) {
        return stop;
    }
    return std::nullopt;
}

TEST(Integrands, ValuesAtAPoint)
{
    const double x = 0.7, mu = 1.3, sigma = 0.8;
    const double y = (x - mu) / sigma;
    const double dens = std::exp(-x * x / 2) / std::sqrt(2 * M_PI);
    // The constants 1/sqrt(2 pi) and 1/(2 pi) are stored to 13 decimals.
    EXPECT_NEAR(normal_density(x, mu, sigma, 5.0, 5.0), dens, 1e-13);
    EXPECT_NEAR(target_below_density(x, 7.0, 7.0, mu, sigma), dens * phi_exact(y), 1e-7 * dens);
    const double dmu = -dens * std::exp(-y * y / 2) / std::sqrt(2 * M_PI) / sigma;
    EXPECT_NEAR(mean_derivative_density(x, mu, sigma, 0.0, 1.0), dmu, 1e-13);
    EXPECT_NEAR(mean_derivative_density(x, mu, sigma, 5.0, 5.0), dmu, 1e-13);
    EXPECT_NEAR(sigma_derivative_density(x, mu, sigma, 5.0, 5.0), dmu * y, 1e-13);
}

// The sigma-derivative integrand is the mean-derivative one times (x - a),
// then divided by b, in that order: the last bit of every derivative table,
// and so the iteration path, depends on it.  The grid holds points where
// multiplying by the standardized value (x - a)/b instead gives another result.
TEST(Integrands, SigmaDerivativeMultipliesThenDivides)
{
    int differs = 0;
    for (int ix = 0; ix <= 40; ++ix) {
        for (const double a : {-1.3, 0.1, 0.7, 2.45}) {
            for (const double b : {0.3, 0.7, 1.1, 3.3}) {
                const double x = -5.0 + 0.25 * ix + 0.013;
                const double e = mean_derivative_density(x, a, b, zero, one);
                const double product_first = e * (x - a) / b;
                EXPECT_EQ(sigma_derivative_density(x, a, b, zero, one), product_first)
                    << "x " << x << " a " << a << " b " << b;
                if (product_first != e * ((x - a) / b)) ++differs;
            }
        }
    }
    EXPECT_GT(differs, 0) << "the grid must tell the two orders apart";
}

TEST(TrapezoidStage, StagesRefineTheTrapezoidSum)
{
    // x^2 on [0, 1] with 1, 2, 4, 8 panels.
    const double expected[] = {0.5, 0.375, 0.34375, 0.3359375};
    double s = 0.0;
    int points = 0;
    const double ll = 0.0, ul = 1.0;
    for (int n = 1; n <= 4; ++n) {
        trapezoid_stage(square, ll, ul, zero, one, zero, one, s, n, points);
        EXPECT_DOUBLE_EQ(s, expected[n - 1]) << "stage " << n;
    }
}

TEST(ExtrapolateToZero, ExtrapolatesAPolynomialToZeroExactly)
{
    // p(x) = 3 - 2x + x^2 - 0.5x^3 + 0.25x^4 through five unordered points.
    const double xa[] = {0.5, -1.0, 2.0, 0.25, 1.5};
    double ya[5];
    for (int i = 0; i < 5; ++i) {
        const double x = xa[i];
        ya[i] = 3 - 2 * x + x * x - 0.5 * x * x * x + 0.25 * x * x * x * x;
    }
    double y = 0.0, dy = 0.0;
    extrapolate_to_zero(xa, ya, 5, y, dy);
    EXPECT_NEAR(y, 3.0, 1e-13);

    // Through four points of a line the correction after the second point
    // vanishes: dy is the last correction added.
    const double xl[] = {1.0, 0.5, 0.25, 0.125};
    const double yl[] = {3.0, 2.0, 1.5, 1.25};  // 1 + 2x
    extrapolate_to_zero(xl, yl, 4, y, dy);
    EXPECT_NEAR(y, 1.0, 1e-14);
    EXPECT_NEAR(dy, 0.0, 1e-14);

    // Romberg's geometric step measures with a quadratic in h.
    const double h[] = {1.0, 0.25, 0.0625};
    const double s[] = {1.0 + 0.5 + 0.25, 1.0 + 0.125 + 0.25 / 16, 1.0 + 0.03125 + 0.25 / 256};
    extrapolate_to_zero(h, s, 3, y, dy);
    EXPECT_NEAR(y, 1.0, 1e-14);
}

// Integrals of the model integrands with known values.
TEST(RombergIntegral, KnownIntegrals)
{
    // The standard normal density over +-7 is 1, and the signal value of a
    // target equal to the non-target distribution lies below the non-signal
    // value half of the time.
    EXPECT_NEAR(integral(-7.0, 7.0, normal_density), 1.0, romberg_tol);
    EXPECT_NEAR(integral(-7.0, 7.0, target_below_density), 0.5, romberg_tol);

    // Pieces of the density against the exact distribution function.
    struct Range {
        double ll, ul;
    };
    const Range ranges[] = {{-7.0, -3.0}, {-3.0, 0.4}, {0.4, 1.7}, {-0.2, 0.2}, {2.5, 7.0}};
    for (const Range& r : ranges) {
        const double exact = phi_exact(r.ul) - phi_exact(r.ll);
        EXPECT_NEAR(integral(r.ll, r.ul, normal_density), exact, 1e-7 * exact)
            << r.ll << ".." << r.ul;
        // Reversed limits give the negative.
        EXPECT_NEAR(integral(r.ul, r.ll, normal_density), -exact, 1e-7 * exact);
    }

    // P(signal below non-signal) for a target N(mu, sigma) is
    // Phi(-mu / sqrt(1 + sigma^2)); the tails beyond +-7 are below 1e-11.
    struct Target {
        double mu, sigma;
    };
    const Target targets[] = {{1.5, 1.2}, {0.8, 0.5}, {2.5, 2.0}, {-0.5, 0.7}};
    for (const Target& t : targets) {
        const double exact = phi_exact(-t.mu / std::sqrt(1 + t.sigma * t.sigma));
        // Phi inside the integrand carries erfc_approx's 1.2e-7.
        EXPECT_NEAR(integral(-7.0, 7.0, target_below_density, 0.0, 1.0, t.mu, t.sigma), exact,
                    3e-7 * exact)
            << "mu " << t.mu << " sigma " << t.sigma;
    }
}

TEST(RombergIntegral, FirstTestAfterSeventeenEvaluations)
{
    // A constant is integrated exactly by every stage, so the first
    // extrapolation (after stage 5: 2 + 1 + 2 + 4 + 8 points) accepts it.
    Romberg r;
    EXPECT_DOUBLE_EQ(r.integral(constant, -1.0, 3.0, zero, one, zero, one), 10.0);
    EXPECT_EQ(r.evaluations(), 17);

    // Each integration starts afresh: the same integral again costs the same.
    long long before = r.evaluations();
    const double first = r.integral(normal_density, -7.0, 7.0, zero, one, zero, one);
    const long long used = r.evaluations() - before;
    before = r.evaluations();
    EXPECT_EQ(r.integral(normal_density, -7.0, 7.0, zero, one, zero, one), first);
    EXPECT_EQ(r.evaluations() - before, used);
    EXPECT_GT(used, 17);
}

// An integral that is exactly zero or subnormal has converged: the relative
// test alone would run all 20 stages and stop the integration.
// Row 2 of the tables of a narrow target (mu 0.78, sigma 0.1) over [-7, -3].
struct tables_t {
    BoundaryTable il, ilds, ildmu;
};
tables_t narrow_target_row()
{
    tables_t t{};
    Romberg r;
    r.accumulate(2, 1, -7.0, -3.0, 0.78, 0.1, t.il, t.ilds, t.ildmu);
    return t;
}

TEST(RombergIntegral, ZeroAndSubnormalIntegralsConverge)
{
    EXPECT_NO_THROW({
        integral(-7.0, -3.0, target_below_density, 0.0, 1.0, 0.78, 0.1);
        integral(-7.0, 7.0, target_below_density, 0.0, 1.0, 100.0, 0.1);
        integral(0.3, 0.3, target_below_density, 0.0, 1.0, 1.0, 0.5);
        narrow_target_row();
    });
    if (HasFailure())
        return;

    // A trial point of the fit: a narrow target far above [-7, -3], where
    // Phi((x - mu)/sigma) is a subnormal number or zero.
    const double tiny = integral(-7.0, -3.0, target_below_density, 0.0, 1.0, 0.78, 0.1);
    EXPECT_GE(tiny, 0.0);
    EXPECT_LT(tiny, std::numeric_limits<double>::min()) << "subnormal or zero";
    // So are the derivative integrals of the same interval.
    const tables_t t = narrow_target_row();
    EXPECT_EQ(t.il(2, 1), tiny);
    EXPECT_LT(std::fabs(t.ildmu(2, 1)), 1e-290);
    EXPECT_LT(std::fabs(t.ilds(2, 1)), 1e-290);

    // A target far above the whole range: Phi underflows to 0 everywhere.
    EXPECT_EQ(integral(-7.0, 7.0, target_below_density, 0.0, 1.0, 100.0, 0.1), 0.0);

    // Two equal neighbouring boundaries: an interval of zero width.
    Romberg r;
    EXPECT_EQ(r.integral(normal_density, 0.3, 0.3, zero, one, zero, one), 0.0);
    EXPECT_EQ(r.evaluations(), 17);
    EXPECT_EQ(integral(0.3, 0.3, mean_derivative_density, 1.0, 0.5), 0.0);
    EXPECT_EQ(integral(0.3, 0.3, sigma_derivative_density, 1.0, 0.5), 0.0);
}

TEST(RombergIntegral, NonConvergenceIsANumericalStop)
{
    for (const Integrand f : {inverse_root, not_a_number}) {
        const auto stop = stop_of([&] { integral(0.0, 1.0, f); });
        ASSERT_TRUE(stop.has_value());
        EXPECT_EQ(stop->kind, NumericalStop::too_many_romberg_steps);
        EXPECT_STREQ(stop->message(), "Too many steps in Romberg integration");
    }
}

TEST(ExtrapolateToZero, EqualAbscissaeAreANumericalStop)
{
    const double xa[] = {1.0, 0.5, 0.5};
    const double ya[] = {1.0, 2.0, 3.0};
    double y = 0.0, dy = 0.0;
    const auto stop = stop_of([&] { extrapolate_to_zero(xa, ya, 3, y, dy); });
    ASSERT_TRUE(stop.has_value());
    EXPECT_EQ(stop->kind, NumericalStop::polint_error);
    EXPECT_STREQ(stop->message(), "polint error");
}

TEST(TargetBelowSplit, SplitRangeMatchesUnsplit)
{
    const double mu = 1.5, sigma = 1.2;
    struct Split {
        double lim1, lim2, lim3;
    };
    const Split splits[] = {{-7.0, -3.0, 0.5}, {-7.0, -3.0, 7.0}, {-1.0, 0.0, 2.0}};
    for (const Split& sp : splits) {
        Romberg r;
        const double whole = r.target_below(sp.lim1, sp.lim3, mu, sigma);
        const double parts = r.target_below_split(sp.lim1, sp.lim2, sp.lim3, mu, sigma);
        EXPECT_NEAR(parts, whole, romberg_tol * whole) << sp.lim1 << " " << sp.lim3;
        const double first = integral(sp.lim1, sp.lim2, target_below_density, 0.0, 1.0, mu, sigma);
        const double second = integral(sp.lim2, sp.lim3, target_below_density, 0.0, 1.0, mu, sigma);
        EXPECT_EQ(parts, first + second);
        // The unsplit form over the first piece is that piece's integral.
        EXPECT_EQ(r.target_below(sp.lim1, sp.lim2, mu, sigma), first);
    }
}

// Cumulative tables as the derivative model builds them: row 1 zero, each
// later row adds the integrals over its interval to the row before.
TEST(Accumulate, CumulativeRows)
{
    BoundaryTable il{}, ilds{}, ildmu{};
    for (int i = 1; i <= 18; ++i)
        for (int j = 1; j <= 16; ++j)
            il(i, j) = ilds(i, j) = ildmu(i, j) = -5.0;
    const int j = 3;
    il(1, j) = ilds(1, j) = ildmu(1, j) = 0.0;
    const double mu = 1.1, sigma = 0.9;
    const double bounds[] = {-7.0, -0.5, 0.4, 0.4, 1.6, 7.0};  // an empty category included

    Romberg r;
    r.accumulate_split(2, j, bounds[0], -3.0, bounds[1], mu, sigma, il, ilds, ildmu);
    for (int i = 3; i <= 6; ++i)
        r.accumulate(i, j, bounds[i - 2], bounds[i - 1], mu, sigma, il, ilds, ildmu);

    for (int i = 2; i <= 6; ++i) {
        const double ll = bounds[i - 2], ul = bounds[i - 1];
        EXPECT_NEAR(il(i, j) - il(i - 1, j), integral(ll, ul, target_below_density, 0, 1, mu, sigma),
                    1e-7)
            << "row " << i;
        EXPECT_NEAR(ildmu(i, j) - ildmu(i - 1, j), integral(ll, ul, mean_derivative_density, mu, sigma),
                    1e-7);
        EXPECT_NEAR(ilds(i, j) - ilds(i - 1, j), integral(ll, ul, sigma_derivative_density, mu, sigma),
                    1e-7);
    }
    EXPECT_EQ(il(4, j), il(3, j)) << "the empty category adds nothing";
    // The last row is the whole range.
    EXPECT_NEAR(il(6, j), phi_exact(-mu / std::sqrt(1 + sigma * sigma)), 1e-6);

    // Other rows and distributions are left alone.
    EXPECT_EQ(il(1, j), 0.0);
    EXPECT_EQ(il(7, j), -5.0);
    for (int i = 1; i <= 18; ++i) {
        EXPECT_EQ(il(i, j - 1), -5.0);
        EXPECT_EQ(ilds(i, j + 1), -5.0);
        EXPECT_EQ(ildmu(i, j + 1), -5.0);
    }

    // The split row equals the unsplit one to the convergence tolerance; the
    // extrapolation's error estimate bounds the true error only to within a
    // small factor, hence the allowance of a few tolerances.
    const double split_tol = 5 * romberg_tol;
    BoundaryTable il2{}, ilds2{}, ildmu2{};
    r.accumulate(2, j, bounds[0], bounds[1], mu, sigma, il2, ilds2, ildmu2);
    EXPECT_NEAR(il2(2, j), il(2, j), split_tol * il(2, j));
    EXPECT_NEAR(ildmu2(2, j), ildmu(2, j), split_tol * std::fabs(ildmu(2, j)));
    EXPECT_NEAR(ilds2(2, j), ilds(2, j), split_tol * std::fabs(ilds(2, j)));
}

// The three integrals of an interval are run on shared trapezoid points, but
// each stops at its own convergence: every entry must be, to the last bit,
// what a Romberg run of that integrand alone gives (the printed reports depend
// on it).  Ranges where the three converge at different stages included.
TEST(Accumulate, SharedPointsGiveTheSeparateResultsExactly)
{
    struct Case {
        double ll, mid, ul, mu, sigma;
    };
    const Case cases[] = {{-7.0, -3.0, -0.2, 0.8, 1.3},  {-0.2, 0.5, 1.7, 2.5, 0.4},
                          {1.2, 3.0, 7.0, -1.0, 3.0},    {-7.0, -3.0, 2.0, 6.0, 0.15},
                          {0.3, 0.3, 0.3, 1.0, 1.0},     {-7.0, -3.0, -3.0, 0.78, 0.1},
                          {2.0, 3.0, 9.5, 12.0, 9.9}};
    // The integral of f over [ll, mid] plus that over [mid, ul], each a run of its own.
    const auto split = [](const Case& c, Integrand f, double a, double b, double cc, double d) {
        return integral(c.ll, c.mid, f, a, b, cc, d) + integral(c.mid, c.ul, f, a, b, cc, d);
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "[" << c.ll << ", " << c.mid << ", " << c.ul
                                        << "] mu " << c.mu << " sigma " << c.sigma);
        BoundaryTable il{}, ilds{}, ildmu{};
        Romberg r;
        r.accumulate(2, 1, c.ll, c.ul, c.mu, c.sigma, il, ilds, ildmu);
        r.accumulate_split(3, 1, c.ll, c.mid, c.ul, c.mu, c.sigma, il, ilds, ildmu);

        const double v = integral(c.ll, c.ul, target_below_density, zero, one, c.mu, c.sigma);
        const double dmu = integral(c.ll, c.ul, mean_derivative_density, c.mu, c.sigma, zero, one);
        const double ds = integral(c.ll, c.ul, sigma_derivative_density, c.mu, c.sigma, zero, one);
        EXPECT_EQ(il(2, 1), v);
        EXPECT_EQ(ildmu(2, 1), dmu);
        EXPECT_EQ(ilds(2, 1), ds);

        EXPECT_EQ(il(3, 1), r.target_below_split(c.ll, c.mid, c.ul, c.mu, c.sigma) + v);
        EXPECT_EQ(ildmu(3, 1), split(c, mean_derivative_density, c.mu, c.sigma, zero, one) + dmu);
        EXPECT_EQ(ilds(3, 1), split(c, sigma_derivative_density, c.mu, c.sigma, zero, one) + ds);
    }
}

// The integrals of the mean- and sigma-derivative integrands are the
// derivatives of the target_below_density integral with respect to the
// target mean and standard deviation.
TEST(Accumulate, DerivativesMatchCentralDifferences)
{
    struct Case {
        double ll, ul, mu, sigma;
    };
    const Case cases[] = {
        {-7.0, 7.0, 1.5, 1.2}, {-7.0, 0.2, 0.8, 0.6}, {-0.4, 1.1, 2.0, 1.5},
        {0.5, 2.5, 1.0, 0.3},  {1.0, 7.0, -0.3, 2.2},
    };
    // Step of the differences: truncation error (h^2) and the integrals'
    // convergence noise (1e-7 / h) both stay near 1e-6 of the derivative, so
    // 1e-5 separates a right integrand from a wrong one.
    const double h = 1e-3;
    const double rel_tol = 1e-5;
    for (const Case& c : cases) {
        BoundaryTable il{}, ilds{}, ildmu{};
        Romberg r;
        r.accumulate(2, 1, c.ll, c.ul, c.mu, c.sigma, il, ilds, ildmu);
        const auto value = [&](double mu, double sigma) {
            return integral(c.ll, c.ul, target_below_density, 0.0, 1.0, mu, sigma);
        };
        const double dmu = (value(c.mu + h, c.sigma) - value(c.mu - h, c.sigma)) / (2 * h);
        const double dsd = (value(c.mu, c.sigma + h) - value(c.mu, c.sigma - h)) / (2 * h);
        EXPECT_NEAR(ildmu(2, 1), dmu, rel_tol * std::fabs(dmu))
            << "mu " << c.mu << " sigma " << c.sigma << " on " << c.ll << ".." << c.ul;
        EXPECT_NEAR(ilds(2, 1), dsd, rel_tol * std::fabs(dsd))
            << "mu " << c.mu << " sigma " << c.sigma << " on " << c.ll << ".." << c.ul;
        EXPECT_LT(ildmu(2, 1), 0.0) << "a higher target mean lowers the probability";
    }
}

TEST(Accumulate, WorksInFixedStorage)
{
    BoundaryTable il{}, ilds{}, ildmu{};
    Romberg r;
    const long before = allocation_count();
    r.accumulate_split(2, 1, -7.0, -3.0, 0.5, 1.5, 1.2, il, ilds, ildmu);
    r.accumulate(3, 1, 0.5, 7.0, 1.5, 1.2, il, ilds, ildmu);
    EXPECT_EQ(allocation_count(), before);
    EXPECT_GT(il(3, 1), 0.0);
}

}  // namespace
