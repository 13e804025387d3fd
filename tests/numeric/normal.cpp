// Normal distribution functions: erfc_approx, normal_cdf (Phi) and
// normal_deviates.
#include "numeric/normal.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

namespace {

using varnel::numeric::erfc_approx;
using varnel::numeric::normal_cdf;
using varnel::numeric::normal_deviates;

// erfc_approx is a Chebyshev fit with fractional error below 1.2e-7; a wrong or
// mistyped coefficient shows up as a much larger error somewhere on the range.
TEST(ErfcApprox, FractionalErrorBelowPublishedBoundOverWholeRange)
{
    double worst = 0.0;
    for (double z = 0.0; z <= 26.0; z += 0.01) {
        const double exact = std::erfc(z);
        worst = std::max(worst, std::fabs(erfc_approx(z) - exact) / exact);
    }
    EXPECT_LT(worst, 1.2e-7);
    // Nine coefficients that are all right still leave a visible error: the
    // approximation, not the library function, is in use.
    EXPECT_GT(worst, 1.0e-9);
}

TEST(ErfcApprox, ValueAtZeroIsTheApproximations)
{
    // The fit gives erfc(0) = 1.00000003 rather than 1.
    EXPECT_NEAR(erfc_approx(0.0), 1.00000003, 5e-9);
    EXPECT_NE(erfc_approx(0.0), 1.0);
}

// Reference values of the standard normal distribution as this program
// computes them (the erfc_approx approximation), to the digits quoted.
TEST(NormalCdf, WorkedValues)
{
    struct Case {
        double x, phi, tol;
    };
    const Case cases[] = {
        {0.0, 0.499999985, 5e-10},   // Phi(0) as the approximation gives it
        {1.96, 0.975002, 5e-7},      // upper 2.5 % point
        {-1.96, 0.024998, 5e-7},     // lower 2.5 % point
        {1.0, 0.841345, 5e-7},       // one standard deviation
        {-3.0, 0.001350, 5e-7},
    };
    for (const Case& c : cases)
        EXPECT_NEAR(normal_cdf(c.x), c.phi, c.tol) << "x = " << c.x;
}

TEST(NormalCdf, AgreesWithNormalDistributionToApproximationAccuracy)
{
    for (double x = -8.0; x <= 8.0; x += 0.125) {
        const double exact = 0.5 * std::erfc(-x / std::sqrt(2.0));
        const double lower = std::min(exact, 1.0 - exact);
        // The error is that of erfc_approx on the smaller tail.
        EXPECT_NEAR(normal_cdf(x), exact, 1.2e-7 * lower + 1e-16) << "x = " << x;
    }
}

TEST(NormalCdf, SymmetricPairsSumToOne)
{
    for (double x = 0.0625; x <= 9.0; x += 0.0625) {
        EXPECT_DOUBLE_EQ(normal_cdf(x) + normal_cdf(-x), 1.0) << "x = " << x;
        EXPECT_LE(normal_cdf(x - 0.0625), normal_cdf(x)) << "monotone at x = " << x;
    }
}

// erfc(0) = 1.00000003 makes Phi jump by 3e-8 at 0: the upper branch
// (1 - tail) covers 0 itself, the lower branch (tail) everything below.
TEST(NormalCdf, StepAtZero)
{
    const double below = -std::numeric_limits<double>::denorm_min();
    const double above = std::numeric_limits<double>::denorm_min();
    EXPECT_NEAR(normal_cdf(below), 0.500000015, 5e-10);
    EXPECT_NEAR(normal_cdf(-1e-12), 0.500000015, 5e-10);
    EXPECT_EQ(normal_cdf(0.0), normal_cdf(above));
    EXPECT_EQ(normal_cdf(-0.0), normal_cdf(0.0));
    EXPECT_NEAR(normal_cdf(below) - normal_cdf(0.0), 3e-8, 5e-10);
}

// Deviates from the normal-deviate approximation, to the six decimals quoted
// for the usual percentage points.
TEST(NormalDeviates, PercentagePoints)
{
    struct Case {
        double p, z, tol;
    };
    const Case cases[] = {
        {0.975, 1.960395, 5e-7},
        {0.025, -1.960395, 5e-7},
        {0.9, 1.281729, 5e-7},
        {0.1, -1.281729, 5e-7},
        // The approximation does not vanish at 0.5 and p = 0.5 takes the
        // lower branch, so the deviate is a small negative number.
        {0.5, -1.0e-7, 5e-9},
    };
    for (const Case& c : cases) {
        double z = 99.0;
        normal_deviates(&c.p, 1, 1, 0, &z);
        EXPECT_NEAR(z, c.z, c.tol) << "p = " << c.p;
    }
    double z = 0.0;
    const double half = 0.5;
    normal_deviates(&half, 1, 1, 0, &z);
    EXPECT_LT(z, 0.0);
}

// With a count behind the proportions, 0 and anything at or above 1 are
// pulled in by half an observation; nothing else is touched.
TEST(NormalDeviates, ClampsWithObservationCount)
{
    const double cump[] = {0.0, 1.0, 1.2, -0.1, 0.9};
    double zdev[5];
    normal_deviates(cump, 5, 5, 10, zdev);
    EXPECT_NEAR(zdev[0], -1.645211, 5e-7);  // 0 -> 1/20 = 0.05
    EXPECT_NEAR(zdev[1], 1.645211, 5e-7);   // 1 -> 0.95
    EXPECT_NEAR(zdev[2], 1.645211, 5e-7);   // above 1 -> 0.95
    // A negative value is left alone: q = -0.1 gives the deviate of 0.1.
    EXPECT_NEAR(zdev[3], -1.281729, 5e-7);
    EXPECT_NEAR(zdev[4], 1.281729, 5e-7);

    // Without a count a value above 1 is converted as it stands (q = -0.2,
    // the deviate of 0.8), not clamped.
    normal_deviates(cump, 5, 5, 0, zdev);
    EXPECT_NEAR(zdev[2], 0.841457, 1e-5);
    EXPECT_NEAR(zdev[4], 1.281729, 5e-7);
}

// A list one entry longer than the deviates wanted has its first entry
// skipped; any other length is read from its start.
TEST(NormalDeviates, OffsetOnlyWhenListIsOneLonger)
{
    const double cump[] = {0.1, 0.975, 0.9, 0.025};
    struct Case {
        int n, l;
        double first, second;
    };
    const Case cases[] = {
        {3, 2, 1.960395, 1.281729},    // n = l + 1: cump(2..3)
        {2, 2, -1.281729, 1.960395},   // n = l: cump(1..2)
        {4, 2, -1.281729, 1.960395},   // n = l + 2: no offset
        {1, 2, -1.281729, 1.960395},   // n < l: no offset
    };
    for (const Case& c : cases) {
        double zdev[3] = {7.0, 7.0, 7.0};
        normal_deviates(cump, c.n, c.l, 0, zdev);
        EXPECT_NEAR(zdev[0], c.first, 5e-7) << "n = " << c.n;
        EXPECT_NEAR(zdev[1], c.second, 5e-7) << "n = " << c.n;
        EXPECT_EQ(zdev[2], 7.0) << "only l entries are written, n = " << c.n;
    }
}

TEST(NormalDeviates, NoDeviatesWanted)
{
    const double cump[] = {0.3};
    double zdev[2] = {7.0, 7.0};
    normal_deviates(cump, 1, 0, 10, zdev);
    EXPECT_EQ(zdev[0], 7.0);
    EXPECT_EQ(zdev[1], 7.0);
}

}  // namespace
