// The report sequence: section order on the console and in the output file.
#include <cmath>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "model/likelihood.h"
#include "report/support/report_support.h"
#include "support/rating_tables.h"

namespace {

namespace report = varnel::report;

// One target at mu = 1.5, sigma = 1.2, three categories with boundaries -0.5
// and 0.5; variances 0.01 (mean), 0.01 (sigma), 0.04 and bvar (boundaries).
struct fitted_case {
    varnel::PreparedStudy prepared;
    varnel::FitResult fit;

    explicit fitted_case(double bvar)
    {
        varnel::Study s = empty_study(3, 1, 0);
        const int nontarget[3] = {40, 35, 25}, correct[3] = {5, 20, 60}, wrong[3] = {4, 6, 5};
        for (int k = 1; k <= 3; ++k) {
            s.correct(k, 1) = nontarget[k - 1];
            s.correct(k, 2) = correct[k - 1];
            s.incorrect(k, 2) = wrong[k - 1];
        }
        prepared = varnel::prepare(s, {}).value();
        varnel::Parameters& e = fit.estimate;
        e.mean[0] = 1.5;
        e.sigma[0] = 1.2;
        e.sigma[1] = 1.0;
        e.bounds[0] = -0.5;
        e.bounds[1] = 0.5;
        const double v[4] = {0.01, 0.01, 0.04, bvar};
        diagonal_covariance(fit.covariance, v, 4);
    }
};

// The statistics after the fit written as on the console (full false) or in
// the output file (full true, with the curves and the matrix).
std::string summary_pass(const fitted_case& c, const varnel::Summary& s, bool full)
{
    text_printer p;
    EXPECT_TRUE(report::write_summary(p.out, c.prepared, c.fit, s, full));
    return p.text;
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
// values.
std::string likelihood_block(const fitted_case& c)
{
    varnel::model::CategoryTables work;
    varnel::numeric::Romberg romberg;
    const varnel::Parameters& e = c.fit.estimate;
    const varnel::LikelihoodStatistics l = varnel::model::likelihood_statistics(
        c.prepared.spec, c.prepared.counts, e.mean, e.sigma, e.bounds, work, romberg);
    text_printer p;
    report::write_likelihood(p.out, l);
    return p.text;
}

// The console pass writes the eleven report steps and no curves or matrix;
// the file pass repeats that text exactly and adds the curves and, last, the
// matrix of standard errors and correlations.
TEST(ReportSequence, ConsoleAndFilePasses)
{
    fitted_case c(0.09);
    const varnel::Summary s = varnel::summarize(c.prepared, c.fit);
    const std::string console = summary_pass(c, s, false);

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

    const std::string file = summary_pass(c, s, true);
    ASSERT_EQ(file.compare(0, console.size(), console), 0);
    const std::string extra = file.substr(console.size());
    EXPECT_EQ(extra.rfind("\nCurves from fit distribution parameters\n", 0), 0u);
    EXPECT_EQ(line_of(extra, 3), "  1.00000   1.0000 0.8315");
    EXPECT_EQ(count_lines(extra), 3 + 34 + count_lines(matrix_section));
    const std::size_t matrix_at = extra.size() - std::strlen(matrix_section);
    EXPECT_EQ(extra.substr(matrix_at), matrix_section);
    EXPECT_NEAR(s.correlation(1, 1), 0.1, 1e-15);
}

// A negative boundary variance: its standard error prints as NaN in the
// boundary table and the matrix, the "Z:" line goes to the trace only, and
// every later section is still written.
TEST(ReportSequence, NegativeBoundaryVariance)
{
    fitted_case c(-2.25);
    const varnel::Summary s = varnel::summarize(c.prepared, c.fit);
    const std::string file = summary_pass(c, s, true);
    text_printer trace;
    report::write_negative_variances(trace.out, s);
    EXPECT_EQ(trace.text, " Z: K =  4  xp(k,k) =  -2.25\n");
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

// A whole file pass, the statistics and their report with curves and matrix,
// works in fixed storage; the curves are the summary's one allocation.
TEST(ReportSequence, FilePassAllocatesNothing)
{
    fitted_case c(0.09);
    static char text[32768];
    varnel::output::Record record = varnel::output::memory_record(text, sizeof text);
    varnel::output::Printer out(record);
    const long before = allocation_count();
    const varnel::Summary s = varnel::summarize(c.prepared, c.fit);
    EXPECT_EQ(allocation_count(), before + 1);
    const bool written = report::write_summary(out, c.prepared, c.fit, s, true);
    EXPECT_EQ(allocation_count(), before + 1);
    EXPECT_TRUE(written);
    EXPECT_FALSE(out.failed());
    EXPECT_GT(count_lines(std::string(text, record.mem_len)), 60);
}

}  // namespace
