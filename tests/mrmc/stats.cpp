// Distribution functions and helpers: closed forms where they exist, limits,
// and defined results for undefined input.
#include <cmath>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "mrmc/stats.h"

namespace {

using namespace varnel::mrmc;

constexpr double inf = std::numeric_limits<double>::infinity();
constexpr double pi = 3.14159265358979323846;

TEST(Quotient, ZeroDenominators)
{
    EXPECT_EQ(quotient(3.0, 2.0), 1.5);
    EXPECT_TRUE(std::isnan(quotient(0.0, 0.0)));
    EXPECT_EQ(quotient(2.0, 0.0), inf);
    EXPECT_EQ(quotient(-2.0, 0.0), -inf);
    EXPECT_TRUE(std::isnan(quotient(std::nan(""), 0.0)));
}

TEST(MeanOf, EqualValuesGiveThatValueExactly)
{
    // A plain sum gives 0.30000000000000004 / 3 here.
    EXPECT_EQ(mean_of(std::vector<double>{0.1, 0.1, 0.1}), 0.1);
    EXPECT_DOUBLE_EQ(mean_of(std::vector<double>{1, 2, 6}), 3.0);
    EXPECT_TRUE(std::isnan(mean_of(std::vector<double>{})));
}

// Student t on 1 df is Cauchy; on 2 df P(|T| > t) = 1 - t / sqrt(2 + t^2).
TEST(StudentT, ClosedForms)
{
    EXPECT_NEAR(t_two_sided_p(5.0, 1.0), 1 - 2 / pi * std::atan(5.0), 1e-14);
    EXPECT_NEAR(t_two_sided_p(-1.5, 2.0), 1 - 1.5 / std::sqrt(2 + 2.25), 1e-14);
    EXPECT_NEAR(t_critical(0.05, 1.0), std::tan(pi * 0.475), 1e-10);
    EXPECT_NEAR(t_critical(0.05, 2.0), 4.302652729749464, 1e-12);
    // Infinite df: the normal, P(|Z| > z) = erfc(z / sqrt 2).
    EXPECT_NEAR(t_two_sided_p(2.0, inf), std::erfc(2.0 / std::sqrt(2.0)), 1e-15);
    EXPECT_NEAR(t_critical(0.05, inf), 1.959963984540054, 1e-14);
    EXPECT_NEAR(t_critical(0.10, inf), 1.6448536269514722, 1e-14);
}

// The one-sided tail and quantile: on 2 df P(T <= t) = 1/2 + t / (2 sqrt(2 + t^2)),
// whose upper 5% point is 2.919985580 (tables); the normal's is 1.644853627.
TEST(StudentT, OneSidedTailAndQuantile)
{
    EXPECT_NEAR(t_lower_tail(-1.5, 2.0), 0.5 - 1.5 / (2 * std::sqrt(2 + 2.25)), 1e-14);
    EXPECT_NEAR(t_lower_tail(1.5, 2.0), 0.5 + 1.5 / (2 * std::sqrt(2 + 2.25)), 1e-14);
    EXPECT_NEAR(t_lower_tail(-2.0, inf), std::erfc(2.0 / std::sqrt(2.0)) / 2, 1e-16);
    EXPECT_NEAR(t_upper_quantile(0.05, 2.0), 2.919985580, 1e-9);
    EXPECT_NEAR(t_upper_quantile(0.05, inf), 1.6448536269514722, 1e-14);
    // The two-sided factor is the one-sided one at alpha / 2.
    EXPECT_EQ(t_critical(0.05, 7.5), t_upper_quantile(0.025, 7.5));
    EXPECT_EQ(t_lower_tail(-inf, std::nan("")), 0.0);
    EXPECT_EQ(t_lower_tail(inf, std::nan("")), 1.0);
    EXPECT_TRUE(std::isnan(t_lower_tail(1.0, 0.0)));
    EXPECT_TRUE(std::isnan(t_upper_quantile(0.0, 4.0)));
    EXPECT_TRUE(std::isnan(t_upper_quantile(1.0, 4.0)));
}

// F(1, ddf) is the square of t(ddf); chi-square on 1 df is the squared normal.
TEST(FAndChiSquare, RelationsAndLimits)
{
    EXPECT_NEAR(f_upper_tail(25.0, 1.0, 1.0), 1 - 2 / pi * std::atan(5.0), 1e-14);
    EXPECT_NEAR(f_upper_tail(4.0, 1.0, 2.0), 1 - 2 / std::sqrt(6.0), 1e-14);
    EXPECT_NEAR(chi2_upper_tail(4.0, 1.0), std::erfc(2.0 / std::sqrt(2.0)), 1e-15);
    // chi-square on 2 df is exponential with mean 2.
    EXPECT_NEAR(chi2_upper_tail(3.0, 2.0), std::exp(-1.5), 1e-15);
    // Infinite ddf: chi2(ndf) / ndf.
    EXPECT_NEAR(f_upper_tail(1.5, 2.0, inf), std::exp(-1.5), 1e-15);
    EXPECT_NEAR(f_upper_tail(1.5, 2.0, 1e9), std::exp(-1.5), 1e-8);
    EXPECT_EQ(f_upper_tail(0.0, 2.0, 5.0), 1.0);
}

TEST(Distributions, UndefinedInputGivesNaNAndInfiniteStatisticsZero)
{
    const double nan = std::nan("");
    EXPECT_TRUE(std::isnan(f_upper_tail(nan, 1, 5)));
    EXPECT_TRUE(std::isnan(f_upper_tail(2, 1, nan)));
    EXPECT_TRUE(std::isnan(f_upper_tail(2, 1, 0)));
    EXPECT_TRUE(std::isnan(f_upper_tail(2, 0, 4)));
    EXPECT_TRUE(std::isnan(f_upper_tail(-1, 1, 4)));
    EXPECT_EQ(f_upper_tail(inf, 1, nan), 0.0);
    EXPECT_EQ(f_upper_tail(inf, 1, 4), 0.0);
    EXPECT_TRUE(std::isnan(chi2_upper_tail(nan, 1)));
    EXPECT_TRUE(std::isnan(chi2_upper_tail(1, -2)));
    EXPECT_EQ(chi2_upper_tail(inf, 1), 0.0);
    EXPECT_TRUE(std::isnan(t_two_sided_p(nan, 4)));
    EXPECT_TRUE(std::isnan(t_two_sided_p(1, 0)));
    EXPECT_TRUE(std::isnan(t_two_sided_p(1, nan)));
    EXPECT_EQ(t_two_sided_p(-inf, nan), 0.0);
    EXPECT_TRUE(std::isnan(t_critical(0.05, nan)));
    EXPECT_TRUE(std::isnan(t_critical(0.05, 0)));
    EXPECT_TRUE(std::isnan(t_critical(0.0, 4)));
    EXPECT_TRUE(std::isnan(t_critical(1.0, 4)));
}

}  // namespace
