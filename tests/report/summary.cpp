// The report sequence: section order on the console and in the output file.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "model/loglchi.h"
#include "model/lroc_common.h"
#include "report/para2output.h"
#include "report/reports.h"
#include "report/support/report_support.h"

namespace {

constexpr int file_unit = 1;

// One target at mu = 1.5, sigma = 1.2, three categories with boundaries -0.5
// and 0.5; variances 0.01 (mean), 0.01 (sigma), 0.04 and bvar (boundaries).
struct fitted_case {
    double sigma[16] = {1.2, 1.0};
    double mean[16] = {1.5, 0.0};
    double bound[16] = {-0.5, 0.5};
    ftable freqe{};
    ftable freqc{};
    ptable xp{};

    explicit fitted_case(double bvar)
    {
        set_model(2, 3);
        const double v[4] = {0.01, 0.01, 0.04, bvar};
        diagonal_xp(xp, v, 4);
        const double nontarget[3] = {40, 35, 25}, correct[3] = {5, 20, 60}, wrong[3] = {4, 6, 5};
        for (int k = 1; k <= 3; ++k) {
            freqc(k, 2) = nontarget[k - 1];
            freqc(k, 1) = correct[k - 1];
            freqe(k, 1) = wrong[k - 1];
        }
    }
};

std::string console_pass(fitted_case& c)
{
    testing::internal::CaptureStdout();
    para2output_(6, c.sigma, c.mean, c.bound, c.freqe, c.freqc, c.xp);
    std::fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

std::string file_pass(fitted_case& c)
{
    unit_file out(file_unit);
    para2output_(file_unit, c.sigma, c.mean, c.bound, c.freqe, c.freqc, c.xp);
    return out.text();
}

// The sections with known text for this case: the parameter and boundary
// tables (inputs and square roots of the variances), the areas of the
// target at 1.5/1.2 (0.8702, 0.7405, 0.8315 with errors 0.01256 and 0.0200)
// and its localization (Dloc 1.3580 +- 0.1125, Prob Local 0.8315).
const char* const leading_sections =
    "\n"
    "     Distibution parameter values\n"
    "Target dist #     1   \n"
    "Mean           1.50000  0.00000\n"
    "    Std err    0.10000  0.00000\n"
    "Sigma          1.20000  1.00000\n"
    "    Std err    0.10000  0.00000\n"
    "\n"
    "Boundaries    -0.50000  0.50000\n"
    "    Std err    0.20000  0.30000\n"
    "\n"
    "Used numerical integration from parameter values\n"
    "Target dist #     1   \n"
    "AreaROC        0.8702\n"
    "   std err     0.0126\n"
    "AreaLROC       0.7405\n"
    "Loc Accuracy   0.8315\n"
    "   std err     0.0200\n"
    "\n"
    "Direct calculation from parameter values\n"
    "Dloc            1.3580\n"
    "   std err      0.1125\n"
    "Prob Local      0.8315\n"
    "   std err      0.0200\n";

const char* const matrix_section =
    "\n"
    "    Standard Error -- Correlation matrix\n"
    "\n"
    "   Mean and sigma part of matrix\n"
    "        m2       s2\n"
    " m2  0.10000  0.00000  \n"
    " s2  0.00000  0.10000  \n"
    "\n"
    "    Boundary part of matrix\n"
    "        b1       b2\n"
    " b1  0.20000  0.00000  \n"
    " b2  0.00000  0.30000  \n"
    "\n"
    "   Mean and sigma by boundary\n"
    "        m2       s2\n"
    " b1  0.00000  0.00000  \n"
    " b2  0.00000  0.00000  \n";

// The likelihood block as the statistics routine writes it for the fitted
// values, with the correct-localization table before the incorrect one.
std::string likelihood_block(fitted_case& c)
{
    double d1, d2, l1, l2, c1, c2;
    loglchi_(c.mean, c.sigma, c.bound, c.freqc, c.freqe, d1, d2, l1, l2, c1, c2);
    unit_file out(27);
    wrtloglchi_(out.lun(), d1, d2, l1, l2, c1, c2);
    return out.text();
}

// The console pass writes the eleven report steps and no curves or matrix,
// and leaves xp as it was; the file pass repeats that text exactly and adds
// the curves and, last, the matrix, converting xp.
TEST(ReportSequence, ConsoleAndFilePasses)
{
    fitted_case c(0.09);
    const ptable before = c.xp;
    const std::string console = console_pass(c);
    EXPECT_EQ(std::memcmp(before.v, c.xp.v, sizeof before.v), 0);

    ASSERT_EQ(console.compare(0, std::strlen(leading_sections), leading_sections), 0) << console;
    const std::size_t moments_at = std::strlen(leading_sections);
    const std::string moments_head =
        "\nMoments from distribution parameters of LROC model\nTarget dist #     0        1   \n";
    ASSERT_EQ(console.compare(moments_at, moments_head.size(), moments_head), 0);
    const char* const rows[6] = {"Mean        ", "St. dev.    ", "Skew        ",
                                 "Kurtosis    ", "Implied d-a ", "Implied Az  "};
    // Non-target and target (1.5, 1.2) moments to three decimals.
    const double want[6][2] = {{0.0, 1.639}, {1.006, 1.072}, {0.0, 0.205},
                               {0.19, 0.259}, {0.0, 1.582}, {0.5, 0.868}};
    for (int r = 0; r < 6; ++r) {
        const std::string line = line_of(console, 27 + r);
        EXPECT_EQ(line.substr(0, 12), rows[r]);
        ASSERT_EQ(line.size(), 12u + 2 * 9) << line;
        EXPECT_NEAR(std::stod(line.substr(12, 9)), want[r][0], 5e-3) << line;
        EXPECT_NEAR(std::stod(line.substr(21, 9)), want[r][1], 5e-4) << line;
    }
    const std::size_t likelihood_at = console.find("\nLoglikelihood and chi-squared\n");
    ASSERT_NE(likelihood_at, std::string::npos);
    EXPECT_EQ(likelihood_at, moments_at + moments_head.size() + 6 * 31);
    EXPECT_EQ(console.substr(likelihood_at), likelihood_block(c));
    EXPECT_EQ(console.find("Curves"), std::string::npos);
    EXPECT_EQ(console.find("Correlation"), std::string::npos);

    const std::string file = file_pass(c);
    ASSERT_EQ(file.compare(0, console.size(), console), 0);
    const std::string extra = file.substr(console.size());
    EXPECT_EQ(extra.rfind("\nCurves from fit distribution parameters\n", 0), 0u);
    EXPECT_EQ(line_of(extra, 3), "  1.00000   1.0000 0.8315");
    EXPECT_EQ(count_lines(extra), 3 + 34 + count_lines(matrix_section));
    const std::size_t matrix_at = extra.size() - std::strlen(matrix_section);
    EXPECT_EQ(extra.substr(matrix_at), matrix_section);
    EXPECT_NEAR(c.xp(1, 1), 0.1, 1e-15);
}

// A negative boundary variance: its standard error prints as NaN in the
// boundary table and the matrix, the "Z:" line goes to the trace unit only,
// and every later section is still written.
TEST(ReportSequence, NegativeBoundaryVariance)
{
    unit_file trace(3);
    fitted_case c(-2.25);
    const std::string file = file_pass(c);
    EXPECT_EQ(trace.text(), " Z: K =  4  xp(k,k) =  -2.25\n");
    EXPECT_EQ(line_of(file, 9), "    Std err    0.20000      nan");
    EXPECT_EQ(file.find("Z: K"), std::string::npos);
    EXPECT_NE(file.find("\nLoglikelihood and chi-squared\n"), std::string::npos);
    EXPECT_NE(file.find("\nCurves from fit distribution parameters\n"), std::string::npos);
    const int n = count_lines(file);
    EXPECT_EQ(line_of(file, n - 7), " b1  0.20000      nan  ");
    EXPECT_EQ(line_of(file, n - 6), " b2      nan      nan  ");
    EXPECT_EQ(line_of(file, n - 2), " b1  0.00000  0.00000  ");
    EXPECT_EQ(line_of(file, n - 1), " b2      nan      nan  ");
}

// A whole file pass, curves and matrix included, works in fixed storage.
TEST(ReportSequence, FilePassAllocatesNothing)
{
    fitted_case c(0.09);
    unit_file out(file_unit);
    const long before = allocation_count();
    para2output_(file_unit, c.sigma, c.mean, c.bound, c.freqe, c.freqc, c.xp);
    EXPECT_EQ(allocation_count(), before);
    EXPECT_GT(count_lines(out.text()), 60);
}

}  // namespace
