// Moments of the rating distributions and the indices they imply.
#include <cmath>

#include <gtest/gtest.h>

#include "report/support/report_support.h"

namespace {

namespace report = varnel::report;

struct moments {
    double mean[16], sd[16], skew[16], kurt[16], da[16], az[16];
};

// Columns: target mu = 1.5, sigma = 1.2; target mu = 0, sigma = 1; non-target.
// The rating of a target image is max(X, Z); the 1e-5 floor on the tail
// intervals of the 14/54 grid shifts the spread and the kurtosis upward.
TEST(Moments, WorkedDistributions)
{
    const double a[3] = {1.5, 0.0, 0.0}, b[3] = {1.2, 1.0, 1.0};
    moments m;
    report::moments(a, b, 3, m.mean, m.sd, m.skew, m.kurt, m.da, m.az);

    // Non-target N(0, 1): mean, skew, d_a zero to print accuracy, Az 0.5;
    // sd about 1.006 and excess kurtosis about 0.19 from the floor.
    EXPECT_NEAR(m.mean[2], 0.0, 5e-5);
    EXPECT_NEAR(m.skew[2], 0.0, 5e-5);
    EXPECT_NEAR(m.da[2], 0.0, 5e-5);
    EXPECT_NEAR(m.az[2], 0.5, 5e-5);
    EXPECT_NEAR(m.sd[2], 1.006, 5e-4);
    EXPECT_NEAR(m.kurt[2], 0.19, 5e-3);

    // Larger of two standard normals: mean 1/sqrt(pi) = 0.5642; the grid
    // shows sd about 0.834 (exact 0.826).
    EXPECT_NEAR(m.mean[1], 1.0 / std::sqrt(M_PI), 5e-4);
    EXPECT_NEAR(m.sd[1], 0.834, 5e-4);

    // mu = 1.5, sigma = 1.2.
    EXPECT_NEAR(m.mean[0], 1.639, 5e-4);
    EXPECT_NEAR(m.sd[0], 1.072, 5e-4);
    EXPECT_NEAR(m.skew[0], 0.205, 5e-4);
    EXPECT_NEAR(m.kurt[0], 0.259, 5e-4);
    EXPECT_NEAR(m.da[0], 1.582, 5e-4);
    EXPECT_NEAR(m.az[0], 0.868, 5e-4);

    // The implied indices follow from mean and sd in binormal form.
    for (int j = 0; j < 3; ++j) {
        const double da = m.mean[j] * std::sqrt(2 / (1 + m.sd[j] * m.sd[j]));
        EXPECT_NEAR(m.da[j], da, 1e-14);
        // Phi is an erfc approximation good to about 1.2e-7 relative.
        EXPECT_NEAR(m.az[j], 0.5 * std::erfc(-da / 2.0), 2e-7);
    }
}

// The table: the non-target column first under index 0, then the targets.
TEST(Moments, TableText)
{
    const double mean[3] = {1.6391, 0.5642, 0.0}, sd[3] = {1.0719, 0.8343, 1.0061};
    const double skew[3] = {0.2051, 0.1401, -0.00001}, kurt[3] = {0.2589, 0.1, 0.1912};
    const double da[3] = {1.5821, 0.5, 0.0}, az[3] = {0.8683, 0.6381, 0.5};
    text_printer p;
    report::write_moments(p.out, 3, mean, sd, skew, kurt, da, az);
    EXPECT_EQ(p.text,
              "\n"
              "Moments from distribution parameters of LROC model\n"
              "Target dist #     0        1        2   \n"
              "Mean           0.0000   1.6391   0.5642\n"
              "St. dev.       1.0061   1.0719   0.8343\n"
              "Skew           0.0000   0.2051   0.1401\n"
              "Kurtosis       0.1912   0.2589   0.1000\n"
              "Implied d-a    0.0000   1.5821   0.5000\n"
              "Implied Az     0.5000   0.8683   0.6381\n");
}

}  // namespace
