// ROC and LROC areas, localization accuracy and the area table.
#include <cmath>

#include <gtest/gtest.h>

#include "report/support/report_support.h"

namespace {

namespace report = varnel::report;

struct areas {
    double roc[15], lroc[15], loc[15], adjarea[15], adjloc[15];
};

void compute(const varnel::ModelSpec& spec, const double* a, const double* b, areas& r)
{
    report::areas(spec, a, b, r.roc, r.lroc, r.loc, r.adjarea, r.adjloc);
}

// AreaROC = 1 - int phi(z) Phi(z) Phi((z-mu)/sigma) dz and
// LocAcc  = 1 - int phi(z) Phi((z-mu)/sigma) dz by a fine Simpson rule on
// [-12, 12], as an independent reference for the coarse report grid.
void reference(double mu, double sigma, double& roc, double& loc)
{
    const int n = 24000;
    const double lo = -12.0, h = 24.0 / n;
    double sroc = 0, sloc = 0;
    for (int i = 0; i <= n; ++i) {
        const double z = lo + i * h;
        const double w = (i == 0 || i == n) ? 1 : (i % 2 ? 4 : 2);
        const double phi = std::exp(-z * z / 2) / std::sqrt(2 * M_PI);
        const double ft = 0.5 * std::erfc(-(z - mu) / sigma / std::sqrt(2.0));
        const double fz = 0.5 * std::erfc(-z / std::sqrt(2.0));
        sroc += w * phi * fz * ft;
        sloc += w * phi * ft;
    }
    roc = 1 - sroc * h / 3;
    loc = 1 - sloc * h / 3;
}

// Targets at mu = 1.5, sigma = 1.2 (areas about 0.8702, 0.7405, 0.8315) and
// indistinguishable from the non-target (exact 2/3, 1/3, 1/2; the grid gives
// AreaROC about 0.66661).  AreaLROC is 2 AreaROC - 1 exactly in the stored
// values.
TEST(Areas, WorkedTargetsAndIdentity)
{
    const double a[4] = {1.5, 0.0, 3.0, 0.0}, b[4] = {1.2, 1.0, 0.7, 1.0};
    areas r;
    compute(model_spec(4, 2), a, b, r);
    EXPECT_NEAR(r.roc[0], 0.8702, 5e-5);
    EXPECT_NEAR(r.lroc[0], 0.7405, 5e-5);
    EXPECT_NEAR(r.loc[0], 0.8315, 5e-5);
    EXPECT_NEAR(r.roc[1], 0.66661, 5e-6);
    EXPECT_NEAR(r.lroc[1], 0.3332, 5e-5);
    EXPECT_NEAR(r.loc[1], 0.5000, 5e-5);
    for (int t = 0; t < 3; ++t) {
        EXPECT_EQ(r.lroc[t], 2.0 * r.roc[t] - 1.0) << "target " << t + 1;
        double roc, loc;
        reference(a[t], b[t], roc, loc);
        // The report grid stops at -5 and 6.94 with spacing 12/198.
        EXPECT_NEAR(r.roc[t], roc, 2e-4) << "target " << t + 1;
        EXPECT_NEAR(r.loc[t], loc, 2e-4) << "target " << t + 1;
    }
    // A well separated target: both areas close to 1.
    EXPECT_GT(r.roc[2], 0.99);
    EXPECT_GT(r.loc[2], 0.99);
}

// Chance localization: AdjArea = AreaLROC + q (AreaROC - AreaLROC) and
// AdjLocAcc = (1 - q) LocAcc + q; with q = 1 they become AreaROC and 1.
// With no chance values entered the adjusted arrays are left as they were.
TEST(Areas, ChanceAdjustedValues)
{
    const double a[3] = {1.5, 0.8, 0.0}, b[3] = {1.2, 1.0, 1.0};
    varnel::ModelSpec spec = model_spec(3, 4);
    spec.chance_entered = true;
    spec.chance[0] = 0.25;
    spec.chance[1] = 1.0;
    areas r;
    compute(spec, a, b, r);
    EXPECT_NEAR(r.adjarea[0], r.lroc[0] + 0.25 * (r.roc[0] - r.lroc[0]), 1e-15);
    EXPECT_NEAR(r.adjloc[0], 0.75 * r.loc[0] + 0.25, 1e-15);
    EXPECT_NEAR(r.adjarea[1], r.roc[1], 1e-15);
    EXPECT_EQ(r.adjloc[1], 1.0);

    spec.chance_entered = false;
    for (int t = 0; t < 15; ++t) r.adjarea[t] = r.adjloc[t] = -7.0;
    compute(spec, a, b, r);
    EXPECT_EQ(r.adjarea[0], -7.0);
    EXPECT_EQ(r.adjloc[1], -7.0);
}

// The area table, byte for byte: five rows without chance values, seven with
// the adjusted rows after AreaLROC and after Loc Accuracy.
TEST(Areas, TableText)
{
    const double a[3] = {1.5, 0.0, 0.0}, b[3] = {1.2, 1.0, 1.0};
    const double seaz[2] = {0.01256, 0.0}, seal[2] = {0.02, 0.03126};
    areas r;
    compute(model_spec(3, 3), a, b, r);
    const char* head =
        "\n"
        "Used numerical integration from parameter values\n"
        "Target dist #     1        2   \n"
        "AreaROC        0.8702   0.6666\n"
        "   std err     0.0126   0.0000\n"
        "AreaLROC       0.7405   0.3332\n";
    {
        text_printer p;
        report::write_areas(p.out, 3, r.roc, r.lroc, r.loc, seaz, seal, false, r.adjarea, r.adjloc);
        EXPECT_EQ(p.text, std::string(head) +
                                  "Loc Accuracy   0.8315   0.5000\n"
                                  "   std err     0.0200   0.0313\n");
    }
    const double adjarea[2] = {0.5, 0.75}, adjloc[2] = {0.125, -0.5};
    {
        text_printer p;
        report::write_areas(p.out, 3, r.roc, r.lroc, r.loc, seaz, seal, true, adjarea, adjloc);
        EXPECT_EQ(p.text, std::string(head) +
                                  "AdjArea        0.5000   0.7500\n"
                                  "Loc Accuracy   0.8315   0.5000\n"
                                  "Adj Loc Acc    0.1250  -0.5000\n"
                                  "   std err     0.0200   0.0313\n");
    }
}

}  // namespace
