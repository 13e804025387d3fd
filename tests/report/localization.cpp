// Localization index d_loc and probability of correct localization.
#include <cmath>

#include <gtest/gtest.h>

#include "report/support/report_support.h"

namespace {

namespace report = varnel::report;

// d_loc = mu sqrt(2/(1+sigma^2)) and P(correct) = Phi(mu / sqrt(1+sigma^2))
// against the N(0, 1) non-target, for a spread of targets: the worked target
// (1.3580, 0.8315), one indistinguishable from the non-target (0, 0.5), one
// below it (negative index, probability under 0.5), and sigma = 1 (d_loc = mu).
TEST(LocalizationProbability, ClosedForm)
{
    const double a[5] = {1.5, 0.0, -0.7, 0.9, 0.0}, b[5] = {1.2, 1.0, 0.8, 1.0, 1.0};
    double pcl[15], dloc[15];
    report::localization(5, a, b, pcl, dloc);
    EXPECT_NEAR(dloc[0], 1.3580, 5e-5);
    EXPECT_NEAR(pcl[0], 0.8315, 5e-5);
    EXPECT_EQ(dloc[1], 0.0);
    // Phi is the Chebyshev erfc approximation, good to about 1.2e-7 relative.
    EXPECT_NEAR(pcl[1], 0.5, 2e-7);
    EXPECT_LT(dloc[2], 0.0);
    EXPECT_LT(pcl[2], 0.5);
    EXPECT_NEAR(dloc[3], 0.9, 1e-15);
    for (int t = 0; t < 4; ++t) {
        EXPECT_NEAR(dloc[t], a[t] * std::sqrt(2 / (1 + b[t] * b[t])), 1e-14);
        // Phi(mu/sqrt(1+s^2)) through the library erfc; the report's Phi
        // approximation and its decimal 1.414213562 together stay within 2e-7.
        const double exact = 0.5 * std::erfc(-a[t] / std::sqrt(1 + b[t] * b[t]) / std::sqrt(2.0));
        EXPECT_NEAR(pcl[t], exact, 2e-7) << "target " << t + 1;
    }
}

// The table has no index row; it follows the columns of the area table.
TEST(LocalizationProbability, TableText)
{
    const double a[3] = {1.5, -0.7, 0.0}, b[3] = {1.2, 0.8, 1.0};
    double pcl[15], dloc[15];
    report::localization(3, a, b, pcl, dloc);
    const double sedloc[2] = {0.1125, 0.25}, sepcl[2] = {0.02, 0.0};
    text_printer p;
    report::write_localization(p.out, 3, dloc, sedloc, pcl, sepcl);
    // Target 2: d_loc = -0.7 sqrt(2/1.64) = -0.7730, P = Phi(-0.7/sqrt(1.64)) = 0.2923.
    EXPECT_EQ(p.text,
              "\n"
              "Direct calculation from parameter values\n"
              "Dloc            1.3580  -0.7730\n"
              "   std err      0.1125   0.2500\n"
              "Prob Local      0.8315   0.2923\n"
              "   std err      0.0200   0.0000\n");
}

}  // namespace
