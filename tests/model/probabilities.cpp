// Category probabilities of the LROC model, both variants.
#include "model/probabilities.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "model/support/model_tables.h"

namespace {

using namespace varnel;
using model::CategoryTables;
using model::DerivativeTables;
using numeric::Romberg;

// Exact standard normal distribution function, for reference values.
double phi_cdf(double x) { return 0.5 * std::erfc(-x / std::sqrt(2.0)); }

// The small study used throughout: four categories, boundaries -0.5, 0.5, 1.5,
// one target with mean 1.5 and standard deviation 1.2.
struct example_point {
    double mu[2] = {1.5, 0.0};
    double sigma[2] = {1.2, 1.0};
    double z[3] = {-0.5, 0.5, 1.5};
};

// Its category probabilities to 6 decimals, rows k = 1..4: non-target fd,
// target fd, ild (wrong location), cld (right location).
constexpr double example_probs[4][4] = {
    {0.308538, 0.014745, 0.006130, 0.008616},
    {0.382925, 0.125157, 0.042872, 0.082285},
    {0.241730, 0.326694, 0.077090, 0.249604},
    {0.066807, 0.533404, 0.042366, 0.491038},
};
// Its derivative columns, rows k = 1..4: ffdmud, ildmud, cldmud, ffdsd, ildsd,
// cldsd.
constexpr double example_derivs[4][6] = {
    {-0.025577, -0.011818, -0.013759, 0.042628, 0.023072, 0.019557},
    {-0.136866, -0.059148, -0.077718, 0.092741, 0.069957, 0.022784},
    {-0.147799, -0.070024, -0.077775, -0.135369, 0.032156, -0.167525},
    {0.310242, -0.020066, 0.330308, 0.000000, -0.006373, 0.006373},
};
// Values printed to 6 decimals, plus the integration tolerance.
constexpr double six_digits = 1.5e-6;

class CategoryProbabilities : public ::testing::Test {
protected:
    // The derivative variant at (mu, sigma, z) into t.
    void eval2(const double* mu, const double* sigma, const double* z) {
        eval_derivative_model(spec, mu, sigma, z, t);
    }
    // The plain variant at (mu, sigma, z) into fd3, ild3, cld3.
    void eval3(const double* mu, const double* sigma, const double* z) {
        Romberg romberg;
        model::category_probabilities(spec, mu, sigma, z, c, romberg);
    }
    const ModelSpec spec = model_spec(4, 2, 1);
    // The fixture lives on the heap (gtest makes it with new).
    DerivativeTables t{};
    CategoryTables c{};
    const BoundaryTable& fd3 = c.fd;
    const BoundaryTable& ild3 = c.ild;
    const BoundaryTable& cld3 = c.cld;
};

TEST_F(CategoryProbabilities, WorkedExampleProbabilitiesBothVariants) {
    example_point e;
    eval2(e.mu, e.sigma, e.z);
    eval3(e.mu, e.sigma, e.z);
    for (int k = 1; k <= 4; ++k) {
        SCOPED_TRACE(k);
        const double* row = example_probs[k - 1];
        EXPECT_NEAR(t.fd(k, 2), row[0], six_digits);
        EXPECT_NEAR(t.fd(k, 1), row[1], six_digits);
        EXPECT_NEAR(t.ild(k, 1), row[2], six_digits);
        EXPECT_NEAR(t.cld(k, 1), row[3], six_digits);
        EXPECT_NEAR(fd3(k, 2), row[0], six_digits);
        EXPECT_NEAR(fd3(k, 1), row[1], six_digits);
        EXPECT_NEAR(ild3(k, 1), row[2], six_digits);
        EXPECT_NEAR(cld3(k, 1), row[3], six_digits);
        // A category's probability is the sum of its two localization outcomes.
        EXPECT_NEAR(t.fd(k, 1), t.ild(k, 1) + t.cld(k, 1), 1e-15);
        EXPECT_NEAR(fd3(k, 1), ild3(k, 1) + cld3(k, 1), 1e-15);
    }
    // Over the whole scale, P(Z > X) = Phi(-mu / sqrt(1 + sigma^2)).
    double il_top = 0.0, il3_top = 0.0;
    for (int k = 1; k <= 4; ++k) {
        il_top += t.ild(k, 1);
        il3_top += ild3(k, 1);
    }
    EXPECT_NEAR(il_top, 0.168458, 1e-6);
    EXPECT_NEAR(il_top, phi_cdf(-1.5 / std::sqrt(2.44)), 1e-6);
    EXPECT_NEAR(il3_top, 0.168458, 1e-6);
}

TEST_F(CategoryProbabilities, WorkedExampleDerivativeColumns) {
    example_point e;
    eval2(e.mu, e.sigma, e.z);
    const BoundaryTable* cols[6] = {&t.ffdmud, &t.ildad, &t.cldad, &t.ffdsd, &t.ildbd, &t.cldbd};
    double col_sum_mu = 0.0, col_sum_s = 0.0;
    for (int k = 1; k <= 4; ++k) {
        SCOPED_TRACE(k);
        for (int c = 0; c < 6; ++c) EXPECT_NEAR((*cols[c])(k, 1), example_derivs[k - 1][c], six_digits);
        EXPECT_NEAR(t.ffdmud(k, 1), t.ildad(k, 1) + t.cldad(k, 1), 1e-15);
        EXPECT_NEAR(t.ffdsd(k, 1), t.ildbd(k, 1) + t.cldbd(k, 1), 1e-15);
        col_sum_mu += t.ffdmud(k, 1);
        col_sum_s += t.ffdsd(k, 1);
    }
    // The category probabilities of a target always sum to 1.
    EXPECT_NEAR(col_sum_mu, 0.0, 1e-15);
    EXPECT_NEAR(col_sum_s, 0.0, 1e-15);
    // The top boundary equals the mean: no sigma-derivative of P(max <= 1.5).
    EXPECT_EQ(t.ffds(4, 1), 0.0);
    // Density and distribution at the boundaries, and their ends.
    EXPECT_NEAR(t.p(3, 1), std::exp(-0.5 * (1.0 / 1.2) * (1.0 / 1.2)) / std::sqrt(2 * M_PI), 1e-12);
    EXPECT_NEAR(t.f(2, 2), phi_cdf(-0.5), 2e-7);
    EXPECT_EQ(t.f(1, 1), 0.0);
    EXPECT_EQ(t.f(5, 1), 1.0);
    EXPECT_EQ(t.p(5, 2), 0.0);
}

TEST_F(CategoryProbabilities, StandardNormalTargetSplitsEveryCategoryInHalves) {
    // A target distributed as the non-signal values: each is the larger with
    // probability 1/2 in every category.  (No interval symmetric about 0: the
    // sigma-derivative integral would be exactly 0 there, which Romberg
    // integration cannot converge on.)
    double mu[2] = {0.0, 0.0}, sigma[2] = {1.0, 1.0}, z[3] = {-0.4, 0.7, 1.5};
    eval2(mu, sigma, z);
    eval3(mu, sigma, z);
    for (int k = 1; k <= 4; ++k) {
        SCOPED_TRACE(k);
        EXPECT_NEAR(t.ild(k, 1), t.fd(k, 1) / 2, 1e-7);
        EXPECT_NEAR(t.cld(k, 1), t.fd(k, 1) / 2, 1e-7);
        EXPECT_NEAR(ild3(k, 1), fd3(k, 1) / 2, 1e-7);
        EXPECT_NEAR(cld3(k, 1), fd3(k, 1) / 2, 1e-7);
    }
}

TEST_F(CategoryProbabilities, UpperIntegrationLimitIsTopBoundaryPlusTwoButAtLeastSeven) {
    // A target far below the non-target: P(X < Z) is 1 throughout, so the top
    // category's wrong-location probability is the non-target mass between
    // the top boundary and the upper integration limit.
    struct row_t {
        double top, ulimit;
    } rows[] = {{6.0, 8.0}, {4.0, 7.0}, {5.5, 7.5}};
    for (const row_t& r : rows) {
        SCOPED_TRACE(r.top);
        double mu[2] = {-10.0, 0.0}, sigma[2] = {1.0, 1.0}, z[3] = {-0.5, 0.5, r.top};
        eval2(mu, sigma, z);
        const double expected = phi_cdf(r.ulimit) - phi_cdf(r.top);
        EXPECT_NEAR(t.ild(4, 1), expected, 1e-6 * expected);
    }
}

TEST_F(CategoryProbabilities, NonTargetColumnIsStandardNormalWhateverComesIn) {
    example_point e;
    e.mu[1] = 5.0;
    e.sigma[1] = 3.0;
    Romberg romberg;
    model::probabilities_with_derivatives(spec, e.mu, e.sigma, e.z, t, romberg);
    EXPECT_EQ(e.mu[1], 0.0);
    EXPECT_EQ(e.sigma[1], 1.0);
    for (int k = 1; k <= 4; ++k) EXPECT_NEAR(t.fd(k, 2), example_probs[k - 1][0], six_digits);
}

TEST_F(CategoryProbabilities, ProbabilitiesBelowTheFloorBecomeTheFloor) {
    // A lowest boundary at -12: the first category is (nearly) empty for both
    // distributions, and its first integral runs downward and comes out
    // slightly negative.
    example_point e;
    e.z[0] = -12.0;
    eval2(e.mu, e.sigma, e.z);
    eval3(e.mu, e.sigma, e.z);
    EXPECT_EQ(t.fd(1, 1), 1e-10);
    EXPECT_EQ(t.fd(1, 2), 1e-10);
    EXPECT_EQ(t.ild(1, 1), 1e-10);
    EXPECT_EQ(t.cld(1, 1), 1e-10);
    EXPECT_EQ(fd3(1, 1), 1e-8);
    EXPECT_EQ(fd3(1, 2), 1e-8);
    EXPECT_EQ(ild3(1, 1), 1e-8);
    EXPECT_EQ(cld3(1, 1), 1e-8);
    // The other categories are ordinary probabilities.
    EXPECT_GT(t.fd(2, 1), 0.1);
    EXPECT_GT(fd3(2, 2), 0.5);
}

// Lowest and highest boundaries exactly on a split point take the
// single-range branch.  A zero-width second range would integrate to exactly
// 0, so the probabilities cannot tell the branches apart; the number of
// integrand evaluations can: the model must cost exactly what the four
// single-range integrals of its intervals cost when run directly.
TEST_F(CategoryProbabilities, BoundariesOnTheSplitPointsTakeTheSingleRangeBranch) {
    const double mu = 1.5, sigma = 1.2;
    double m[2] = {mu, 0.0}, s[2] = {sigma, 1.0};
    const double lo = -7.0, top = 7.0;

    // Derivative variant, split points -3 and 3.
    const double z2[3] = {-3.0, 0.5, 3.0};
    BoundaryTable il{}, ilds{}, ildmu{};
    Romberg direct2;
    direct2.accumulate(2, 1, lo, z2[0], mu, sigma, il, ilds, ildmu);
    direct2.accumulate(3, 1, z2[0], z2[1], mu, sigma, il, ilds, ildmu);
    direct2.accumulate(4, 1, z2[1], z2[2], mu, sigma, il, ilds, ildmu);
    direct2.accumulate(5, 1, z2[2], top, mu, sigma, il, ilds, ildmu);
    Romberg model2;
    model::probabilities_with_derivatives(spec, m, s, z2, t, model2);
    EXPECT_EQ(model2.evaluations(), direct2.evaluations());
    for (int i = 2; i <= 5; ++i)
        EXPECT_EQ(t.ild(i - 1, 1), std::max(il(i, 1) - il(i - 1, 1), 1e-10)) << i;

    // Plain variant, split points -4 and 4.
    const double z3[3] = {-4.0, 0.5, 4.0};
    Romberg direct3;
    direct3.target_below(lo, z3[0], mu, sigma);
    direct3.target_below(z3[0], z3[1], mu, sigma);
    direct3.target_below(z3[1], z3[2], mu, sigma);
    const double top_piece = direct3.target_below(z3[2], top, mu, sigma);
    Romberg model3;
    model::category_probabilities(spec, m, s, z3, c, model3);
    EXPECT_EQ(model3.evaluations(), direct3.evaluations());
    EXPECT_NEAR(ild3(4, 1), top_piece, 1e-15);
}

// P(X < Z <= upper) for a target (mu, sigma), Z standard normal, X normal:
// composite Simpson rule from -7 with the exact normal functions.
double il_reference(double upper, double mu, double sigma) {
    const int n = 20000;
    const double lo = -7.0, h = (upper - lo) / n;
    auto g = [&](double x) {
        return std::exp(-0.5 * x * x) / std::sqrt(2 * M_PI) * phi_cdf((x - mu) / sigma);
    };
    double s = g(lo) + g(upper);
    for (int i = 1; i < n; ++i) s += (i % 2 ? 4.0 : 2.0) * g(lo + i * h);
    return s * h / 3.0;
}

TEST_F(CategoryProbabilities, IntegralsAgreeWithReferenceAroundTheSplitPoints) {
    // Lowest and highest boundaries inside, on and outside the split points of
    // both variants: every cumulative wrong-location probability matches an
    // independent quadrature.  Romberg integration stops on its own error
    // estimate, which now and then leaves a few 1e-6 relative (0.5 to 3.9
    // here); a wrong range or a lost piece would be off by far more.
    const double bounds[][3] = {{-2.9, 0.5, 2.9},  {-3.0, 0.5, 3.0}, {-3.1, 0.5, 3.1},
                                {-3.9, 0.5, 3.9},  {-4.0, 0.5, 4.0}, {-4.1, 0.6, 4.1},
                                {-5.0, -1.0, 5.5}, {-1.0, 0.2, 1.0}};
    const double mu = 0.8, sigma = 1.4;
    for (const auto& z : bounds) {
        SCOPED_TRACE(z[0]);
        double m[2] = {mu, 0.0}, s[2] = {sigma, 1.0};
        eval2(m, s, z);
        eval3(m, s, z);
        double cum2 = 0.0, cum3 = 0.0;
        for (int k = 1; k <= 3; ++k) {
            cum2 += t.ild(k, 1);
            cum3 += ild3(k, 1);
            const double ref = il_reference(z[k - 1], mu, sigma);
            EXPECT_NEAR(cum2, ref, 1e-5 * ref + 1e-9) << k;
            EXPECT_NEAR(cum3, ref, 1e-5 * ref + 1e-8) << k;
        }
        const double top = il_reference(std::max(7.0, z[2] + 2.0), mu, sigma);
        EXPECT_NEAR(cum2 + t.ild(4, 1), top, 1e-5 * top);
        EXPECT_NEAR(cum3 + ild3(4, 1), top, 1e-5 * top);
    }
}

TEST(CategoryProbabilitiesCapacity, SeventeenCategoriesFifteenTargets) {
    // Full tables: every row and column the capacity allows.
    const ModelSpec spec = model_spec(17, 16, 3);
    double mu[16], sigma[16], z[16];
    for (int j = 0; j < 15; ++j) {
        mu[j] = -0.5 + 0.2 * j;
        sigma[j] = 0.6 + 0.1 * j;
    }
    mu[15] = 0.0;
    sigma[15] = 1.0;
    for (int k = 0; k < 16; ++k) z[k] = -2.2 + 0.3 * k;
    const auto t = std::make_unique<DerivativeTables>();
    const auto c = std::make_unique<CategoryTables>();
    eval_derivative_model(spec, mu, sigma, z, *t);
    Romberg romberg;
    model::category_probabilities(spec, mu, sigma, z, *c, romberg);
    for (int j = 1; j <= 16; ++j) {
        double s2 = 0.0, s3 = 0.0;
        for (int k = 1; k <= 17; ++k) {
            s2 += t->fd(k, j);
            s3 += c->fd(k, j);
        }
        EXPECT_NEAR(s2, 1.0, 1e-9) << j;
        EXPECT_NEAR(s3, 1.0, 1e-8) << j;
    }
    for (int j = 1; j <= 15; ++j) {
        double il_top = 0.0;
        for (int k = 1; k <= 17; ++k) il_top += t->ild(k, j);
        EXPECT_NEAR(il_top, phi_cdf(-mu[j - 1] / std::sqrt(1 + sigma[j - 1] * sigma[j - 1])), 1e-6)
            << j;
    }
}

}  // namespace
