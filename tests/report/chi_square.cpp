// Degrees of freedom and asymptotic p-values of the likelihood statistics.
#include <gtest/gtest.h>

#include <boost/math/distributions/chi_squared.hpp>
#include <cmath>
#include <limits>

#include "support/rating_tables.h"
#include "varnel/summary.h"

namespace {

using varnel::ChiSquareTests;
using varnel::FitSettings;
using varnel::LikelihoodStatistics;
using varnel::Study;

// A study whose every cell holds one case: nothing is dropped, every
// distribution has images.
Study full_study(int ncat, int ntarget, int noloc)
{
    Study s = empty_study(ncat, ntarget, noloc);
    for (int m = 1; m <= ntarget + 1; ++m)
        for (int k = 1; k <= ncat; ++k) {
            s.correct(k, m) = 1;
            s.incorrect(k, m) = (m > 1 && k > noloc) ? 1 : 0;
        }
    return s;
}

ChiSquareTests tests_of(const Study& s, const FitSettings& settings = {},
                        const LikelihoodStatistics& l = {})
{
    const auto prepared = varnel::prepare(s, settings);
    EXPECT_TRUE(prepared.ok()) << prepared.error().message;
    return varnel::chi_square_tests(*prepared, l);
}

// Expected: cells with localization, cells of the ratings, and the two
// degrees of freedom.
void expect_counts(const ChiSquareTests& t, int cells, int cells_ratings, int df, int df_ratings)
{
    EXPECT_EQ(cells, t.cells);
    EXPECT_EQ(cells_ratings, t.cells_ratings);
    EXPECT_EQ(df, t.df);
    EXPECT_EQ(df_ratings, t.df_ratings);
}

double boost_p(double x, int df)
{
    return boost::math::cdf(boost::math::complement(boost::math::chi_squared(df), x));
}

}  // namespace

// One target: 6 categories, NOLOC 1 gives 6 non-target cells and 1 + 2 x 5
// target cells, less 2 totals and 5 boundaries + 2 target parameters: 8
// (the worked example); the ratings alone 12 - 2 - 7 = 3.  Without
// NOLOC every target category splits: 6 + 12 - 9 = 9.  NOLOC equal to the
// number of categories leaves no localization: both counts agree.
TEST(DegreesOfFreedom, OneTargetWithAndWithoutNoloc)
{
    expect_counts(tests_of(full_study(6, 1, 1)), 17, 12, 8, 3);
    expect_counts(tests_of(full_study(6, 1, 0)), 18, 12, 9, 3);
    expect_counts(tests_of(full_study(4, 1, 4)), 8, 8, 1, 1);
    // NOLOC raised by the settings, as the console dialogue raises it:
    // 5 + (3 + 2 x 2) cells - 2 - 6 parameters.
    FitSettings raised;
    raised.noloc = 3;
    expect_counts(tests_of(full_study(5, 1, 1), raised), 12, 10, 4, 2);
}

// Three targets over 5 categories, NOLOC 2, chance values 0, 0.25 and 1:
// the non-target 5 cells, the first two targets 2 + 2 x 3 = 8 each (a
// chance value below 1 keeps both outcomes), the third 5 (chance value 1
// uses no localization); 26 cells - 4 totals - (4 + 6) parameters = 12; the
// ratings 20 - 14 = 6.
TEST(DegreesOfFreedom, SeveralTargetsAndChanceValueOne)
{
    FitSettings chance;
    chance.chance[0] = 0.0;
    chance.chance[1] = 0.25;
    chance.chance[2] = 1.0;
    expect_counts(tests_of(full_study(5, 3, 2), chance), 26, 20, 12, 6);
    // Every target at chance value 1: one cell per category throughout.
    FitSettings all_one;
    all_one.chance.fill(1.0);
    expect_counts(tests_of(full_study(5, 3, 2), all_one), 20, 20, 6, 6);
}

// Cells count as the statistics sum them: a category no case fell into is
// dropped before the fit (the study below has 4 categories left, NOLOC 0),
// and a distribution without images has no cells and no total to fix (the
// empty non-target distribution: 1 + 2 x 4 target cells - 1 - 6).
TEST(DegreesOfFreedom, DroppedCategoriesAndEmptyDistributions)
{
    Study gap = full_study(5, 1, 1);
    for (int m = 1; m <= 2; ++m) {
        gap.correct(1, m) = 0;
        gap.incorrect(1, m) = 0;
    }
    expect_counts(tests_of(gap), 12, 8, 5, 1);

    Study no_normals = full_study(5, 1, 1);
    for (int k = 1; k <= 5; ++k)
        no_normals.correct(k, 1) = 0;
    expect_counts(tests_of(no_normals), 9, 5, 2, -2);
}

// The p-values are the upper tails of Boost's chi-square distribution with
// the counted degrees of freedom, for each of the four statistics.
TEST(ChiSquarePValue, UpperTailOfTheChiSquareDistribution)
{
    const LikelihoodStatistics l{-300.0, -250.0, 9.5, 4.25, 10.75, 3.5};
    const ChiSquareTests t = tests_of(full_study(6, 1, 1), {}, l);
    EXPECT_DOUBLE_EQ(boost_p(10.75, 8), t.p_pearson);
    EXPECT_DOUBLE_EQ(boost_p(9.5, 8), t.p_deviance);
    EXPECT_DOUBLE_EQ(boost_p(3.5, 3), t.p_pearson_ratings);
    EXPECT_DOUBLE_EQ(boost_p(4.25, 3), t.p_deviance_ratings);
    // A value to check the direction by: P(chi-square(8) >= 15.507) = 0.05.
    EXPECT_NEAR(0.05, varnel::chi_square_p_value(15.507313, 8), 1e-6);
    const double median = boost::math::median(boost::math::chi_squared(3));
    EXPECT_NEAR(0.5, varnel::chi_square_p_value(median, 3), 1e-12);
}

// No degrees of freedom, or no statistic, give no p-value; the ends of the
// range give 1 and 0.
TEST(ChiSquarePValue, EdgeCases)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_TRUE(std::isnan(varnel::chi_square_p_value(3.0, 0)));
    EXPECT_TRUE(std::isnan(varnel::chi_square_p_value(3.0, -2)));
    EXPECT_TRUE(std::isnan(varnel::chi_square_p_value(nan, 4)));
    EXPECT_EQ(1.0, varnel::chi_square_p_value(0.0, 4));
    EXPECT_EQ(1.0, varnel::chi_square_p_value(-1e-12, 4));
    EXPECT_EQ(0.0, varnel::chi_square_p_value(std::numeric_limits<double>::infinity(), 4));

    // The empty non-target case above has -2 degrees of freedom for the
    // ratings alone: its ratings p-values are NaN, the others are numbers.
    Study no_normals = full_study(5, 1, 1);
    for (int k = 1; k <= 5; ++k)
        no_normals.correct(k, 1) = 0;
    const ChiSquareTests t = tests_of(no_normals, {}, {-1.0, -1.0, 2.0, 2.0, 2.0, 2.0});
    EXPECT_TRUE(std::isnan(t.p_pearson_ratings));
    EXPECT_TRUE(std::isnan(t.p_deviance_ratings));
    EXPECT_DOUBLE_EQ(boost_p(2.0, 2), t.p_pearson);
}

// summarize() fills the tests from the fit's own statistics: the example
// reader (5 categories, NOLOC 1) has 5 + 1 + 2 x 4 = 14 cells, 6
// parameters, 6 degrees of freedom, and 2 for the ratings alone.
TEST(ChiSquarePValue, InTheSummary)
{
    const auto prepared = varnel::prepare(reader_a_study(), {});
    ASSERT_TRUE(prepared.ok());
    varnel::Workspace ws;
    const auto fit = varnel::fit(*prepared, {}, ws);
    ASSERT_TRUE(fit.ok());
    ASSERT_TRUE(fit->converged);
    varnel::Summary s;
    varnel::summarize(*prepared, *fit, s, false);
    ASSERT_FALSE(s.likelihood_error);
    expect_counts(s.chi_square, 14, 10, 6, 2);
    EXPECT_DOUBLE_EQ(boost_p(s.likelihood.pearson, 6), s.chi_square.p_pearson);
    EXPECT_DOUBLE_EQ(boost_p(s.likelihood.deviance, 6), s.chi_square.p_deviance);
    EXPECT_DOUBLE_EQ(boost_p(s.likelihood.pearson_ratings, 2), s.chi_square.p_pearson_ratings);
    EXPECT_DOUBLE_EQ(boost_p(s.likelihood.deviance_ratings, 2), s.chi_square.p_deviance_ratings);
}
