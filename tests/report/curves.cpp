// ROC and LROC curves on the threshold grid and their table.
#include <cmath>
#include <cstdio>

#include <gtest/gtest.h>

#include "report/support/report_support.h"

namespace {

namespace report = varnel::report;

double fp[varnel::curve_points];
varnel::CurveTable tp, ctp, ctpadj;

double phi_cdf(double x) { return 0.5 * std::erfc(-x / std::sqrt(2.0)); }

// One target at mu = 1.5, sigma = 1.2 with chance value 0.25 entered: the
// first row reads FP 1.00000, TP 1.0000, CTP 0.8315 (the localization
// accuracy), CTPadj 0.8737; the row at FP 0.00057 reads 0.0723, 0.0717,
// 0.0719; the last row is all zeros.
TEST(Curves, WorkedTargetWithChanceValue)
{
    varnel::ModelSpec spec = model_spec(2, 3);
    spec.chance_entered = true;
    spec.chance[0] = 0.25;
    const double a[2] = {1.5, 0.0}, b[2] = {1.2, 1.0};
    report::curves(spec, a, b, fp, tp, ctp, ctpadj);
    EXPECT_NEAR(ctp(1, 1), 0.8315, 5e-5);
    EXPECT_NEAR(ctpadj(1, 1), 0.8737, 5e-5);

    text_printer p;
    report::write_curves(p.out, 2, fp, tp, ctp, ctpadj, true);
    const std::string& text = p.text;
    ASSERT_EQ(count_lines(text), 3 + 34);
    EXPECT_EQ(line_of(text, 0), "");
    EXPECT_EQ(line_of(text, 1), "Curves from fit distribution parameters");
    EXPECT_EQ(line_of(text, 2), " False Pos          Tar 1       ");
    EXPECT_EQ(line_of(text, 3), "  1.00000   1.0000 0.8315 0.8737");
    EXPECT_EQ(line_of(text, 35), "  0.00057   0.0723 0.0717 0.0719");
    EXPECT_EQ(line_of(text, 36), "  0.00000   0.0000 0.0000 0.0000");
}

// The selection never changes: point 1, the 32 points i = 52, 57, ..., 207
// whose FP = 1 - Phi(-5 + (i-2) 12/298) lies inside (0.0005, 0.999), and
// point 300.  Each target column is 15 characters wide with two values.
TEST(Curves, ThirtyFourRowsTwoValuesPerTarget)
{
    const double a[3] = {1.5, 0.0, 0.0}, b[3] = {1.2, 1.0, 1.0};
    report::curves(model_spec(3, 3), a, b, fp, tp, ctp, ctpadj);
    text_printer p;
    report::write_curves(p.out, 3, fp, tp, ctp, ctpadj, false);
    const std::string& text = p.text;
    ASSERT_EQ(count_lines(text), 3 + 34);
    EXPECT_EQ(line_of(text, 2), " False Pos      Tar 1          Tar 2    ");
    EXPECT_EQ(line_of(text, 3), "  1.00000   1.0000 0.8315  1.0000 0.5000");
    for (int r = 1; r <= 32; ++r) {
        const int i = 52 + 5 * (r - 1);
        const double z = -5.0 + (i - 2) * 12.0 / 298.0;
        char want[16];
        std::snprintf(want, sizeof want, "%9.5f", 1.0 - phi_cdf(z));
        const std::string line = line_of(text, 3 + r);
        EXPECT_EQ(line.substr(0, 9), want) << "point " << i;
        EXPECT_EQ(line.size(), 10u + 2 * 15) << "point " << i;
    }
    EXPECT_EQ(line_of(text, 4).substr(0, 9), "  0.99859");
    EXPECT_EQ(line_of(text, 35).substr(0, 9), "  0.00057");
    EXPECT_EQ(line_of(text, 36), "  0.00000   0.0000 0.0000  0.0000 0.0000");
}

// A target identical to the non-target: TP(z) = 1 - Phi(z)^2 and
// CTP(z) = (1 - Phi(z)^2)/2 up to the rectangle rule; with chance value 1 the
// adjusted curve is the ROC curve, with 0 it is the LROC curve.
// Phi is an erfc approximation good to about 1.2e-7 relative.
TEST(Curves, IndistinguishableTargetAndChanceExtremes)
{
    varnel::ModelSpec spec = model_spec(3, 3);
    spec.chance_entered = true;
    spec.chance[0] = 1.0;
    spec.chance[1] = 0.0;
    const double a[3] = {0.0, 0.0, 0.0}, b[3] = {1.0, 1.0, 1.0};
    report::curves(spec, a, b, fp, tp, ctp, ctpadj);
    EXPECT_EQ(fp[0], 1.0);
    EXPECT_EQ(fp[299], 0.0);
    for (int i = 2; i <= 299; ++i) {
        const double z = -5.0 + (i - 2) * 12.0 / 298.0;
        const double roc = 1 - phi_cdf(z) * phi_cdf(z);
        EXPECT_NEAR(fp[i - 1], 1 - phi_cdf(z), 2e-7);
        EXPECT_NEAR(tp(i, 1), roc, 5e-7);
        EXPECT_NEAR(ctp(i, 1), roc / 2, 0.01) << "point " << i;
        EXPECT_EQ(ctpadj(i, 1), tp(i, 1));
        EXPECT_EQ(ctpadj(i, 2), ctp(i, 2));
    }
    for (int t = 1; t <= 2; ++t) {
        EXPECT_EQ(tp(1, t), 1.0);
        EXPECT_EQ(ctp(1, t), ctp(2, t));
        EXPECT_EQ(tp(300, t), 0.0);
        EXPECT_EQ(ctp(300, t), 0.0);
        EXPECT_EQ(ctpadj(300, t), 0.0);
    }
}

}  // namespace
