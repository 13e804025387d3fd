// Standard-error and correlation matrix report.
#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include "report/support/report_support.h"

namespace {

namespace report = varnel::report;

varnel::ParameterMatrix xp;

// The matrix report as the output file has it: xp converted in place, then written.
std::string matrix_text(const varnel::ModelSpec& spec)
{
    report::correlation_matrix(xp, spec.parameters);
    text_printer p;
    report::write_correlation(p.out, spec, xp);
    return p.text;
}

// Heading and label widths: headings and elements 9 characters, labels 5.
std::string heading(char letter, int n) { return std::string(n <= 9 ? 7 : 6, ' ') + letter + std::to_string(n); }
std::string label(char letter, int n) { return std::string(" ") + letter + std::to_string(n) + (n <= 9 ? "  " : " "); }

std::string mean_sigma_heading(int nd)
{
    std::string h = " ";
    for (int n = 2; n <= nd; ++n) {
        if (n == 10) h += " ";
        h += heading('m', n);
    }
    for (int n = 2; n <= nd; ++n) h += heading('s', n);
    return h;
}

// One target and two categories (npar 3: m2, s2, b1) with standard errors
// 0.2, 0.3, 0.1 and correlations 0.4 (m2, s2), -0.5 (m2, b1), 0.25 (s2, b1).
TEST(MatrixReport, OneTargetTwoCategories)
{
    const double v[3] = {0.04, 0.09, 0.01};
    diagonal_covariance(xp, v, 3);
    xp(1, 2) = xp(2, 1) = 0.4 * 0.2 * 0.3;
    xp(1, 3) = xp(3, 1) = -0.5 * 0.2 * 0.1;
    xp(2, 3) = xp(3, 2) = 0.25 * 0.3 * 0.1;
    EXPECT_EQ(matrix_text(model_spec(2, 2)),
              "\n"
              "    Standard Error -- Correlation matrix\n"
              "\n"
              "   Mean and sigma part of matrix\n"
              "        m2       s2\n"
              " m2  0.20000  0.40000  \n"
              " s2  0.40000  0.30000  \n"
              "\n"
              "    Boundary part of matrix\n"
              "        b1\n"
              " b1  0.10000  \n"
              "\n"
              "   Mean and sigma by boundary\n"
              "        m2       s2\n"
              " b1  -.50000  0.25000  \n");
    // The conversion happened in place.
    EXPECT_NEAR(xp(2, 2), 0.3, 1e-15);
    EXPECT_NEAR(xp(3, 1), -0.5, 1e-15);
}

// Ten targets (ndist 11): headings and labels switch to two digits at m10 and
// s10, with one more blank before m10; sigma rows are labelled s2..s11.
TEST(MatrixReport, TwoDigitDistributionLabels)
{
    const varnel::ModelSpec spec = model_spec(11, 3);  // npar = 2 + 20
    double v[22];
    for (double& x : v) x = 1.0;
    diagonal_covariance(xp, v, 22);
    const std::string text = matrix_text(spec);
    const std::string h = mean_sigma_heading(11);
    EXPECT_EQ(line_of(text, 4), h);
    EXPECT_EQ(h.size(), 2u + 20 * 9);
    EXPECT_EQ(h.substr(0, 19), "        m2       m3");
    EXPECT_NE(h.find("       m9       m10      m11       s2"), std::string::npos);
    for (int r = 1; r <= 20; ++r) {
        const std::string row = line_of(text, 4 + r);
        const std::string want = r <= 10 ? label('m', r + 1) : label('s', r - 9);
        EXPECT_EQ(row.substr(0, 5), want) << "row " << r;
        EXPECT_EQ(row.size(), 5u + 20 * 9) << "row " << r;
        EXPECT_EQ(row.substr(5 + (r - 1) * 9, 9), "1.00000  ") << "row " << r;
    }
    EXPECT_EQ(line_of(text, 25), "");
    EXPECT_EQ(line_of(text, 26), "    Boundary part of matrix");
    EXPECT_EQ(line_of(text, 27), "        b1       b2");
    EXPECT_EQ(line_of(text, 28), " b1  1.00000  0.00000  ");
    EXPECT_EQ(line_of(text, 32), h);
    EXPECT_EQ(line_of(text, 33).substr(0, 14), " b1  0.00000  ");
    EXPECT_EQ(count_lines(text), 35);
}

// Exactly nine boundaries (ncat 10): b1..b9 and no two-digit part; eleven
// boundaries add b10, b11 with labels " b10 ".
TEST(MatrixReport, BoundaryHeadings)
{
    for (int ncat : {10, 12}) {
        const varnel::ModelSpec spec = model_spec(2, ncat);
        const int npar = spec.parameters;
        double v[46];
        for (int i = 0; i < npar; ++i) v[i] = 0.25;
        diagonal_covariance(xp, v, npar);
        const std::string text = matrix_text(spec);
        std::string h = " ";
        for (int b = 1; b <= ncat - 1; ++b) h += heading('b', b);
        EXPECT_EQ(line_of(text, 9), h) << "ncat " << ncat;
        for (int b = 1; b <= ncat - 1; ++b) {
            const std::string row = line_of(text, 9 + b);
            EXPECT_EQ(row.substr(0, 5), label('b', b));
            EXPECT_EQ(row.size(), 5u + (ncat - 1) * 9);
            EXPECT_EQ(row.substr(5 + (b - 1) * 9, 9), "0.50000  ");
            const std::string tail = line_of(text, 12 + ncat - 1 + b);
            EXPECT_EQ(tail.substr(0, 5), label('b', b));
            EXPECT_EQ(tail.size(), 5u + 2 * 9);
        }
        EXPECT_EQ(count_lines(text), 13 + 2 * (ncat - 1));
    }
    EXPECT_EQ(heading('b', 9), "       b9");
    EXPECT_EQ(label('b', 10), " b10 ");
}

// A negative variance gives NaN as that standard error and NaN correlations in
// its row and column; the rest of the report is unaffected.
TEST(MatrixReport, NegativeVarianceRendersNaN)
{
    const double v[3] = {0.04, -0.09, 0.01};
    diagonal_covariance(xp, v, 3);
    xp(1, 3) = xp(3, 1) = 0.5 * 0.2 * 0.1;
    const std::string text = matrix_text(model_spec(2, 2));
    EXPECT_EQ(line_of(text, 5), " m2  0.20000      nan  ");
    EXPECT_EQ(line_of(text, 6), " s2      nan      nan  ");
    EXPECT_EQ(line_of(text, 10), " b1  0.10000  ");
    EXPECT_EQ(line_of(text, 14), " b1  0.50000      nan  ");
}

}  // namespace
