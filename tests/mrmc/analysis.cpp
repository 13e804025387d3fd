// Analyses of FOM matrices built by hand: the Obuchowski–Rockette quantities
// of a 2 × 2 study, the reference-reader analysis, the plan checks and the
// degenerate cases.
#include <cmath>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "varnel/analysis.h"
#include "support/matrices.h"

namespace {

using namespace varnel::mrmc;

constexpr double inf = std::numeric_limits<double>::infinity();
constexpr double pi = 3.14159265358979323846;
constexpr double z975 = 1.959963984540054;  // upper 2.5% point of the normal

using mrmc_test::two_case_matrix;

ClassAnalysis analyzed(FomMatrix x, AnalysisOptions options = {})
{
    varnel::Expected<ClassAnalysis> a = analyze(std::move(x), options);
    EXPECT_TRUE(a) << a.error().message;
    return a ? std::move(a).value() : ClassAnalysis{};
}

// Readers R1 (0.8, 0.9) and R2 (0.7, 0.85); s = (0.01, 0.02), (0.03, 0.04).
//   Var  = (1 + 4 + 9 + 16)/4 e-4 = 7.5e-4      Cov1 = (2 + 12)/2 e-4 = 7e-4
//   Cov2 = (3 + 8)/2 e-4 = 5.5e-4               Cov3 = (4 + 6)/2 e-4 = 5e-4
//   modality means 0.75, 0.875; reader means 0.85, 0.775; grand 0.8125
//   MS(T) = 2 (2 * 0.0625^2) = 0.015625, MS(R) = 2 (2 * 0.0375^2) = 0.005625,
//   MS(TR) = 4 * 0.0125^2 = 0.000625
TEST(ObuchowskiRockette, HandComputedTwoByTwo)
{
    const ClassAnalysis c =
        analyzed(two_case_matrix({{0.8, 0.9}, {0.7, 0.85}}, {{0.01, 0.02}, {0.03, 0.04}}));
    ASSERT_TRUE(c.modalities);
    const ModalityAnalysis& a = *c.modalities;
    EXPECT_TRUE(c.references.empty());
    EXPECT_NEAR(a.cov.var, 7.5e-4, 1e-15);
    EXPECT_NEAR(a.cov.cov1, 7e-4, 1e-15);
    EXPECT_NEAR(a.cov.cov2, 5.5e-4, 1e-15);
    EXPECT_NEAR(a.cov.cov3, 5e-4, 1e-15);
    EXPECT_NEAR(a.ms.t, 0.015625, 1e-15);
    EXPECT_NEAR(a.ms.r, 0.005625, 1e-15);
    EXPECT_NEAR(a.ms.tr, 0.000625, 1e-15);
    // VarTR = MS(TR) - Var + Cov1 + Cov2 - Cov3; VarR = (MS(R) - Var - Cov1
    // + Cov2 + Cov3 - VarTR) / 2.
    EXPECT_NEAR(a.var_tr, 0.000625, 1e-15);
    EXPECT_NEAR(a.var_r, 0.0023, 1e-15);

    // Random readers and cases: denominator 0.000625 + 2 * 0.5e-4 = 0.000725.
    const ModalityTest& rr = a.random_readers_random_cases;
    EXPECT_NEAR(rr.statistic, 0.015625 / 0.000725, 1e-11);
    EXPECT_NEAR(rr.ddf, 1.16 * 1.16, 1e-12);
    const Contrast& d = rr.differences[0].contrast;
    EXPECT_NEAR(d.estimate.value, -0.125, 1e-15);
    EXPECT_NEAR(d.estimate.std_error, std::sqrt(0.000725), 1e-15);
    // F(1, ddf) = t(ddf)^2: the F test and the t test of the difference agree.
    EXPECT_NEAR(d.t * d.t, rr.statistic, 1e-10);
    EXPECT_NEAR(d.p, rr.p, 1e-12);
    // Modality 1: MS(R) 0.005, Cov2 3e-4: 0.0056 / 2, df (0.0056 / 0.005)^2.
    EXPECT_NEAR(rr.means[0].std_error, std::sqrt(0.0028), 1e-15);
    EXPECT_NEAR(rr.means[0].df, 1.12 * 1.12, 1e-12);

    // Fixed readers: denominator 7.5e-4 - 7e-4 + 0.5e-4 = 1e-4.
    const ModalityTest& fr = a.fixed_readers_random_cases;
    EXPECT_EQ(fr.statistic_name, "chi2");
    EXPECT_NEAR(fr.statistic, 156.25, 1e-9);
    EXPECT_EQ(fr.ddf, inf);
    EXPECT_NEAR(fr.p, std::erfc(std::sqrt(156.25 / 2)), 1e-40);
    const Estimate& fd = fr.differences[0].contrast.estimate;
    EXPECT_NEAR(fd.std_error, 0.01, 1e-15);
    EXPECT_NEAR(fd.lower, -0.125 - z975 * 0.01, 1e-12);
    EXPECT_NEAR(fd.upper, -0.125 + z975 * 0.01, 1e-12);
    // Modality 1: (Var 5e-4 + Cov2 3e-4) / 2.
    EXPECT_NEAR(fr.means[0].std_error, 0.02, 1e-15);

    // Fixed cases: F = 25 on (1, 1), t = -5 on 1 df (Cauchy).
    const ModalityTest& fc = a.random_readers_fixed_cases;
    EXPECT_NEAR(fc.statistic, 25.0, 1e-11);
    EXPECT_EQ(fc.ddf, 1.0);
    EXPECT_NEAR(fc.p, 1 - 2 / pi * std::atan(5.0), 1e-12);
    const Estimate& cd = fc.differences[0].contrast.estimate;
    EXPECT_NEAR(cd.std_error, 0.025, 1e-15);
    EXPECT_NEAR(cd.upper, -0.125 + std::tan(pi * 0.475) * 0.025, 1e-10);
    EXPECT_NEAR(fc.means[0].std_error, 0.05, 1e-15);
    EXPECT_EQ(fc.means[0].df, 1.0);
}

TEST(ObuchowskiRockette, ThreeModalitiesGiveEveryPair)
{
    const ClassAnalysis c = analyzed(two_case_matrix(
        {{0.8, 0.9, 0.85}, {0.7, 0.85, 0.8}, {0.75, 0.8, 0.9}},
        {{0.01, 0.02, 0.01}, {0.03, 0.04, 0.02}, {0.02, 0.02, 0.03}}));
    const ModalityTest& t = c.modalities->random_readers_random_cases;
    EXPECT_EQ(t.ndf, 2.0);
    ASSERT_EQ(t.differences.size(), 3u);
    EXPECT_EQ(t.differences[1].first, 0);
    EXPECT_EQ(t.differences[1].second, 2);
    EXPECT_NEAR(t.differences[2].contrast.estimate.value, 0.85 - 0.85, 1e-15);
    EXPECT_EQ(t.means.size(), 3u);
    EXPECT_GT(t.p, 0.0);
    EXPECT_LT(t.p, 1.0);
}

// Two-sided p of Student's t on an even number of degrees of freedom, from
// the finite series of its distribution function.
double t_p_even_df(double t, int df)
{
    const double x = std::fabs(t) / std::sqrt(df + t * t), q = df / (df + t * t);
    double term = 1.0, sum = 0.0;
    for (int j = 0; j < df / 2; ++j) {
        sum += term;
        term *= q * (2.0 * j + 1) / (2.0 * j + 2);
    }
    return 1 - x * sum;
}

// Reference REF against B, C, D in one modality, three cases.  FOMs 0.8
// (REF), 0.80, 0.86, 0.92: psi = 0, 0.06, 0.12, mean 0.06, MS(R) = 0.0036.
// Leave-one-out psi_j deviate by (-0.03, 0, 0.03) for every reader, so every
// jackknife covariance of the psi is 2/3 * 0.0018 = 0.0012 (Var and Cov2).
// MSden = 0.0036 + 3 * 0.0012 = 0.0072, ddf = 0.0072^2 / (0.0036^2 / 2) = 8,
// t = 0.06 / sqrt(0.0072 / 3) = sqrt(1.5).  Fixed cases: t = 0.06 /
// sqrt(0.0036 / 3) = sqrt(3) on 2 df.
FomMatrix reference_matrix()
{
    FomMatrix x;
    x.readers = {"REF", "B", "C", "D"};
    x.modalities = {"M"};
    x.cases = {"c1", "c2", "c3"};
    x.theta = {{0.8}, {0.8}, {0.86}, {0.92}};
    const std::vector<double> ref_dev{0.01, -0.02, 0.01}, psi_dev{-0.03, 0.0, 0.03};
    for (std::size_t r = 0; r < 4; ++r) {
        std::vector<double> loo;
        for (int k = 0; k < 3; ++k)
            loo.push_back(x.theta[r][0] + ref_dev[k] + (r == 0 ? 0.0 : psi_dev[k]));
        x.jackknife.push_back({loo});
    }
    return x;
}

TEST(ReferenceReader, HandComputed)
{
    AnalysisOptions options;
    options.reference_reader = "REF";
    const ClassAnalysis c = analyzed(reference_matrix(), options);
    EXPECT_FALSE(c.modalities);
    ASSERT_EQ(c.references.size(), 1u);
    const ReferenceAnalysis& a = c.references[0];
    EXPECT_EQ(a.reference, 0);
    EXPECT_EQ(a.readers, (std::vector<int>{1, 2, 3}));
    ASSERT_EQ(a.psi.size(), 3u);
    EXPECT_NEAR(a.psi[0], 0.0, 1e-15);
    EXPECT_NEAR(a.psi[2], 0.12, 1e-15);
    EXPECT_NEAR(a.reference_fom, 0.8, 1e-15);
    EXPECT_NEAR(a.readers_mean, 0.86, 1e-15);
    EXPECT_NEAR(a.ms_r, 0.0036, 1e-15);
    EXPECT_NEAR(a.var, 0.0012, 1e-15);
    EXPECT_NEAR(a.cov2, 0.0012, 1e-15);
    EXPECT_NEAR(a.ms_den, 0.0072, 1e-15);

    const Contrast& rr = a.random_readers_random_cases;
    EXPECT_NEAR(rr.estimate.value, 0.06, 1e-15);
    EXPECT_NEAR(rr.estimate.df, 8.0, 1e-10);
    EXPECT_NEAR(rr.estimate.std_error, std::sqrt(0.0024), 1e-15);
    EXPECT_NEAR(rr.t, std::sqrt(1.5), 1e-12);
    EXPECT_NEAR(rr.p, t_p_even_df(std::sqrt(1.5), 8), 1e-10);
    // t(0.975; 8) = 2.306004135 from tables.
    EXPECT_NEAR(rr.estimate.lower, 0.06 - 2.306004135 * std::sqrt(0.0024), 1e-9);
    EXPECT_NEAR(rr.estimate.upper, 0.06 + 2.306004135 * std::sqrt(0.0024), 1e-9);

    const Contrast& fc = a.random_readers_fixed_cases;
    EXPECT_EQ(fc.estimate.df, 2.0);
    EXPECT_NEAR(fc.t, std::sqrt(3.0), 1e-12);
    EXPECT_NEAR(fc.p, 1 - std::sqrt(3.0 / 5.0), 1e-12);
    EXPECT_NEAR(fc.estimate.upper, 0.06 + 4.302652730 * std::sqrt(0.0012), 1e-9);
}

// With two modalities the reference is compared in each, and the modalities
// are compared over the other readers only.
TEST(ReferenceReader, TwoModalities)
{
    FomMatrix x = two_case_matrix({{0.9, 0.9}, {0.8, 0.85}, {0.7, 0.8}, {0.75, 0.8}},
                                  {{0.01, 0.01}, {0.02, 0.03}, {0.01, 0.02}, {0.03, 0.01}});
    AnalysisOptions options;
    options.reference_reader = "R1";
    const ClassAnalysis c = analyzed(x, options);
    ASSERT_EQ(c.references.size(), 2u);
    EXPECT_EQ(c.references[1].modality, 1);
    EXPECT_NEAR(c.references[1].random_readers_random_cases.estimate.value,
                (0.85 + 0.8 + 0.8) / 3 - 0.9, 1e-15);
    ASSERT_TRUE(c.modalities);
    EXPECT_EQ(c.modalities->readers, (std::vector<int>{1, 2, 3}));
    EXPECT_NEAR(c.modalities->modality_means[0], 0.75, 1e-15);
    // The other readers alone give the same modality analysis.
    const ClassAnalysis alone = analyzed(two_case_matrix(
        {{0.8, 0.85}, {0.7, 0.8}, {0.75, 0.8}}, {{0.02, 0.03}, {0.01, 0.02}, {0.03, 0.01}}));
    EXPECT_EQ(c.modalities->random_readers_random_cases.statistic,
              alone.modalities->random_readers_random_cases.statistic);
    EXPECT_EQ(c.modalities->cov.cov3, alone.modalities->cov.cov3);
}

// Each reader against the reference with cases random: the psi_j of the
// study above all deviate by (-0.03, 0, 0.03) when a case is left out, so
// every psi_j has jackknife variance (K - 1)^2 / K = 4/3 times their sample
// variance 0.0009, 0.0012: z = 0, sqrt 3, 2 sqrt 3.  The reference's own
// leave-one-out values deviate by (0.01, -0.02, 0.01): variance 4/3 * 3e-4.
TEST(ReferenceReader, PerReaderPsiAndReferenceFomByHand)
{
    AnalysisOptions options;
    options.reference_reader = "REF";
    const ClassAnalysis c = analyzed(reference_matrix(), options);
    const ReferenceAnalysis& a = c.references[0];
    ASSERT_EQ(a.reader_differences.size(), 3u);
    const double se = std::sqrt(0.0012);
    const double z[] = {0.0, std::sqrt(3.0), 2 * std::sqrt(3.0)};
    const double p[] = {1.0, std::erfc(z[1] / std::sqrt(2.0)), std::erfc(z[2] / std::sqrt(2.0))};
    for (int j = 0; j < 3; ++j) {
        const Contrast& d = a.reader_differences[j].contrast;
        EXPECT_NEAR(d.estimate.value, 0.06 * j, 1e-15) << j;
        EXPECT_NEAR(d.estimate.std_error, se, 1e-15) << j;
        EXPECT_EQ(d.estimate.df, inf) << j;
        EXPECT_NEAR(d.t, z[j], 1e-12) << j;
        EXPECT_NEAR(d.p, p[j], 1e-12) << j;
        EXPECT_NEAR(d.estimate.lower, 0.06 * j - z975 * se, 1e-12) << j;
        EXPECT_NEAR(d.estimate.upper, 0.06 * j + z975 * se, 1e-12) << j;
        EXPECT_FALSE(d.non_inferiority) << "only the mean psi is tested against a margin";
    }
    // Holm over the three readers: D (smallest p) times 3, then C times 2
    // (above D's), then B's p of 1.
    EXPECT_NEAR(a.reader_differences[2].p_holm, 3 * p[2], 1e-12);
    EXPECT_NEAR(a.reader_differences[1].p_holm, 2 * p[1], 1e-12);
    EXPECT_EQ(a.reader_differences[0].p_holm, 1.0);

    EXPECT_NEAR(a.reference_estimate.value, 0.8, 1e-15);
    EXPECT_NEAR(a.reference_estimate.std_error, 0.02, 1e-15);
    EXPECT_EQ(a.reference_estimate.df, inf);
    EXPECT_NEAR(a.reference_estimate.lower, 0.8 - z975 * 0.02, 1e-12);
    EXPECT_NEAR(a.reference_estimate.upper, 0.8 + z975 * 0.02, 1e-12);
    // The same FOM estimate as the class's table of every reader's FOM.
    EXPECT_EQ(c.fom_estimates[0][0].std_error, a.reference_estimate.std_error);
    EXPECT_NEAR(c.fom_estimates[3][0].value, 0.92, 1e-15);

    // The readers' mean: every other reader's leave-one-out FOMs deviate by
    // (-0.02, -0.02, 0.04), so Cov2 = 4/3 * 1.2e-3 = 1.6e-3; MS(R) 0.0036;
    // denominator 0.0036 + 3 * 0.0016 = 0.0084 on 2 (0.0084 / 0.0036)^2 df.
    const Estimate& m = a.readers_mean_estimate;
    EXPECT_NEAR(m.value, 0.86, 1e-15);
    EXPECT_NEAR(m.std_error, std::sqrt(0.0028), 1e-15);
    EXPECT_NEAR(m.df, 2 * (0.0084 / 0.0036) * (0.0084 / 0.0036), 1e-10);
}

// With two modalities the readers' mean of a reference analysis is the
// modality mean the random-readers analysis of the same readers gives.
TEST(ReferenceReader, ReadersMeanAsTheModalityAnalysisGivesIt)
{
    AnalysisOptions options;
    options.reference_reader = "R1";
    const ClassAnalysis c = analyzed(
        two_case_matrix({{0.9, 0.9}, {0.8, 0.85}, {0.7, 0.8}, {0.75, 0.8}},
                        {{0.01, 0.01}, {0.02, 0.03}, {0.01, 0.02}, {0.03, 0.01}}),
        options);
    for (int m = 0; m < 2; ++m) {
        const Estimate& want = c.modalities->random_readers_random_cases.means[m];
        const Estimate& got = c.references[m].readers_mean_estimate;
        EXPECT_NEAR(got.value, want.value, 1e-15) << m;
        EXPECT_NEAR(got.std_error, want.std_error, 1e-15) << m;
        EXPECT_NEAR(got.df, want.df, 1e-9) << m;
        EXPECT_NEAR(got.upper, want.upper, 1e-12) << m;
    }
}

// Holm's method by hand: p = (0.01, 0.04, 0.03, 0.005) sorted 0.005, 0.01,
// 0.03, 0.04 and multiplied by 4, 3, 2, 1: 0.02, 0.03, 0.06, 0.04, the last
// raised to 0.06 (never below an earlier step).
TEST(Holm, ByHand)
{
    const std::vector<double> p{0.01, 0.04, 0.03, 0.005};
    const std::vector<double> h = holm_adjust(p);
    ASSERT_EQ(h.size(), 4u);
    EXPECT_NEAR(h[0], 0.03, 1e-15);
    EXPECT_NEAR(h[1], 0.06, 1e-15);
    EXPECT_NEAR(h[2], 0.06, 1e-15);
    EXPECT_NEAR(h[3], 0.02, 1e-15);
    // Capped at 1: 3 * 0.4, then 2 * 0.45 and 0.5 raised to it.
    EXPECT_EQ(holm_adjust(std::vector<double>{0.5, 0.4, 0.45}),
              (std::vector<double>{1.0, 1.0, 1.0}));
    // Ties: 3 * 0.01, 2 * 0.02, and 0.02 raised to 0.04.
    const std::vector<double> ties = holm_adjust(std::vector<double>{0.02, 0.01, 0.02});
    EXPECT_NEAR(ties[0], 0.04, 1e-15);
    EXPECT_NEAR(ties[1], 0.03, 1e-15);
    EXPECT_NEAR(ties[2], 0.04, 1e-15);
    // A NaN stays NaN and still counts: the other p values are multiplied by
    // 3 and 2 as in a family of three.
    const std::vector<double> with_nan = holm_adjust(std::vector<double>{0.02, std::nan(""), 0.01});
    EXPECT_NEAR(with_nan[2], 0.03, 1e-15);
    EXPECT_NEAR(with_nan[0], 0.04, 1e-15);
    EXPECT_TRUE(std::isnan(with_nan[1]));
    EXPECT_TRUE(holm_adjust(std::vector<double>{}).empty());
    EXPECT_EQ(holm_adjust(std::vector<double>{0.3}), std::vector<double>{0.3});
}

// Three modalities: each test's pairwise p values also Holm-adjusted (and
// the one-sided ones with a margin); two modalities: none.
TEST(Holm, PairwiseDifferencesOfThreeModalities)
{
    AnalysisOptions options;
    options.margin = 0.05;
    const ClassAnalysis c = analyzed(two_case_matrix(
        {{0.8, 0.9, 0.85}, {0.7, 0.85, 0.8}, {0.75, 0.8, 0.9}},
        {{0.01, 0.02, 0.01}, {0.03, 0.04, 0.02}, {0.02, 0.02, 0.03}}), options);
    for (const ModalityTest* t :
         {&c.modalities->random_readers_random_cases, &c.modalities->fixed_readers_random_cases,
          &c.modalities->random_readers_fixed_cases}) {
        std::vector<double> p, p_ni;
        for (const ModalityDifference& d : t->differences) {
            p.push_back(d.contrast.p);
            p_ni.push_back(d.contrast.non_inferiority->p);
        }
        const std::vector<double> holm = holm_adjust(p), holm_ni = holm_adjust(p_ni);
        for (std::size_t i = 0; i < 3; ++i) {
            EXPECT_EQ(t->differences[i].p_holm, holm[i]) << t->statistic_name << i;
            EXPECT_EQ(t->differences[i].contrast.non_inferiority->p_holm, holm_ni[i]);
            EXPECT_GE(t->differences[i].p_holm, t->differences[i].contrast.p);
        }
    }
    const ClassAnalysis two = analyzed(
        two_case_matrix({{0.8, 0.9}, {0.7, 0.85}}, {{0.01, 0.02}, {0.03, 0.04}}), options);
    EXPECT_TRUE(std::isnan(two.modalities->random_readers_random_cases.differences[0].p_holm));
    const ModalityDifference& d = two.modalities->random_readers_random_cases.differences[0];
    EXPECT_TRUE(std::isnan(d.contrast.non_inferiority->p_holm));
}

// The one-sided test against a bound of 0 uses the two-sided test's t and
// df: half its p value when the estimate lies on the side of H1, 1 - half
// otherwise; its confidence bound is the end of the two-sided interval at
// twice alpha.  Checked on the tests of the 2 x 2 study (t, normal and
// Cauchy) and of the reference study (t on 8 df).
TEST(NonInferiority, OneSidedAgainstTheTwoSidedTest)
{
    AnalysisOptions ten;
    ten.alpha = 0.1;
    const ClassAnalysis c = analyzed(
        two_case_matrix({{0.8, 0.9}, {0.7, 0.85}}, {{0.01, 0.02}, {0.03, 0.04}}));
    const ClassAnalysis c10 = analyzed(
        two_case_matrix({{0.8, 0.9}, {0.7, 0.85}}, {{0.01, 0.02}, {0.03, 0.04}}), ten);
    AnalysisOptions ref;
    ref.reference_reader = "REF";
    const ClassAnalysis r = analyzed(reference_matrix(), ref);
    ref.alpha = 0.1;
    const ClassAnalysis r10 = analyzed(reference_matrix(), ref);
    const std::pair<const Contrast*, const Contrast*> contrasts[] = {
        {&c.modalities->random_readers_random_cases.differences[0].contrast,
         &c10.modalities->random_readers_random_cases.differences[0].contrast},
        {&c.modalities->fixed_readers_random_cases.differences[0].contrast,
         &c10.modalities->fixed_readers_random_cases.differences[0].contrast},
        {&c.modalities->random_readers_fixed_cases.differences[0].contrast,
         &c10.modalities->random_readers_fixed_cases.differences[0].contrast},
        {&r.references[0].random_readers_random_cases, &r10.references[0].random_readers_random_cases}};
    for (const auto& [two_sided, at_ten] : contrasts) {
        SCOPED_TRACE(two_sided->estimate.df);
        const double half = two_sided->p / 2;
        const bool negative = two_sided->estimate.value < 0;
        const OneSidedTest less = one_sided_test(two_sided->estimate, 0.0, Alternative::less, 0.05);
        const OneSidedTest greater =
            one_sided_test(two_sided->estimate, 0.0, Alternative::greater, 0.05);
        EXPECT_NEAR(less.t, two_sided->t, 1e-12);
        EXPECT_NEAR(greater.t, two_sided->t, 1e-12);
        EXPECT_NEAR(less.p, negative ? half : 1 - half, 1e-12);
        EXPECT_NEAR(greater.p, negative ? 1 - half : half, 1e-12);
        EXPECT_NEAR(less.confidence_bound, at_ten->estimate.upper, 1e-12);
        EXPECT_NEAR(greater.confidence_bound, at_ten->estimate.lower, 1e-12);
        // H0 rejected exactly when the bound lies beyond 0 on the side of H1.
        EXPECT_EQ(less.rejected, less.confidence_bound < 0.0);
        EXPECT_EQ(greater.rejected, greater.confidence_bound > 0.0);
    }
}

// Margins in the analyses.  Reference study: mean psi 0.06 with standard
// error sqrt(0.0024) on 8 df, t(0.95; 8) = 1.859548038 (tables): upper
// bound 0.151099.  Margin 0.1: t = -0.04 / sqrt(0.0024), not rejected;
// margin 0.2: t = -0.14 / sqrt(0.0024) = -2.857738, rejected.  The 2 x 2
// study: difference -0.125, tested against -d.
TEST(NonInferiority, MarginsInTheAnalyses)
{
    const double se = std::sqrt(0.0024);
    const double upper = 0.06 + 1.859548038 * se;
    for (const double d : {0.1, 0.2}) {
        AnalysisOptions options;
        options.reference_reader = "REF";
        options.margin = d;
        const ClassAnalysis c = analyzed(reference_matrix(), options);
        const Contrast& rr = c.references[0].random_readers_random_cases;
        ASSERT_TRUE(rr.non_inferiority);
        const OneSidedTest& n = *rr.non_inferiority;
        const double t = (0.06 - d) / se;
        EXPECT_EQ(n.bound, d);
        EXPECT_EQ(n.alternative, Alternative::less);
        EXPECT_NEAR(n.t, t, 1e-12);
        EXPECT_NEAR(n.p, t_p_even_df(t, 8) / 2, 1e-10);
        EXPECT_NEAR(n.confidence_bound, upper, 1e-8);
        EXPECT_EQ(n.rejected, upper < d) << d;
        EXPECT_TRUE(std::isnan(n.p_holm));
        ASSERT_TRUE(c.references[0].random_readers_fixed_cases.non_inferiority);
        EXPECT_NEAR(c.references[0].random_readers_fixed_cases.non_inferiority->t,
                    (0.06 - d) / std::sqrt(0.0012), 1e-12);
    }

    AnalysisOptions options;
    options.margin = 0.2;
    const ClassAnalysis c = analyzed(
        two_case_matrix({{0.8, 0.9}, {0.7, 0.85}}, {{0.01, 0.02}, {0.03, 0.04}}), options);
    const Contrast& fr = c.modalities->fixed_readers_random_cases.differences[0].contrast;
    ASSERT_TRUE(fr.non_inferiority);
    // Standard error 0.01 on normal theory: z = (-0.125 + 0.2) / 0.01 = 7.5.
    EXPECT_EQ(fr.non_inferiority->bound, -0.2);
    EXPECT_EQ(fr.non_inferiority->alternative, Alternative::greater);
    EXPECT_NEAR(fr.non_inferiority->t, 7.5, 1e-12);
    EXPECT_NEAR(fr.non_inferiority->p, std::erfc(7.5 / std::sqrt(2.0)) / 2, 1e-25);
    EXPECT_NEAR(fr.non_inferiority->confidence_bound, -0.125 - 1.6448536269514722 * 0.01, 1e-12);
    EXPECT_TRUE(fr.non_inferiority->rejected);
    // Without a margin there is no one-sided test.
    EXPECT_FALSE(analyzed(two_case_matrix({{0.8, 0.9}, {0.7, 0.85}}, {{0.01, 0.02}, {0.03, 0.04}}))
                     .modalities->fixed_readers_random_cases.differences[0]
                     .contrast.non_inferiority);
}

// Undefined standard errors give undefined one-sided tests, never a
// rejection; an estimate exactly on the bound with no error is undefined too.
TEST(NonInferiority, UndefinedAndExactEstimates)
{
    const Estimate nan_se{0.1, std::nan(""), 5.0, 0.0, 0.0};
    const OneSidedTest a = one_sided_test(nan_se, 0.05, Alternative::less, 0.05);
    EXPECT_TRUE(std::isnan(a.p));
    EXPECT_FALSE(a.rejected);
    const OneSidedTest b = one_sided_test({0.05, 0.0, 5.0, 0.05, 0.05}, 0.05, Alternative::less, 0.05);
    EXPECT_TRUE(std::isnan(b.t));
    EXPECT_FALSE(b.rejected);
    // Below the bound without error: t = -inf, p = 0, rejected.
    const OneSidedTest c = one_sided_test({0.0, 0.0, 5.0, 0.0, 0.0}, 0.05, Alternative::less, 0.05);
    EXPECT_EQ(c.p, 0.0);
    EXPECT_TRUE(c.rejected);
    EXPECT_EQ(c.confidence_bound, 0.0);
}

TEST(AnalysisPlan, ErrorsSayWhatToDo)
{
    struct Case {
        std::string what;
        FomMatrix x;
        AnalysisOptions options;
        std::string says;
    };
    AnalysisOptions ref_x, ref_b, alpha0, alpha1, margin0, margin_nan;
    margin0.margin = 0.0;
    margin_nan.margin = std::nan("");
    ref_x.reference_reader = "X";
    ref_b.reference_reader = "R2";
    alpha0.alpha = 0.0;
    alpha1.alpha = 1.0;
    FomMatrix one_modality = reference_matrix();
    FomMatrix two_by_two = two_case_matrix({{0.8, 0.9}, {0.7, 0.85}}, {{0.01, 0.02}, {0.03, 0.04}});
    FomMatrix nan_fom = two_by_two;
    nan_fom.theta[1][1] = std::nan("");
    const Case cases[] = {
        {"one modality", one_modality, {},
         "the study has one modality: compare two or more modalities, or name a reference reader"},
        {"unknown reference", one_modality, ref_x,
         "reference reader \"X\" is not in the study; its readers are REF, B, C, D"},
        {"one other reader", two_by_two, ref_b,
         "the reference analysis needs at least two readers besides \"R2\"; the study has 1"},
        {"alpha 0", two_by_two, alpha0, "alpha 0 must lie between 0 and 1"},
        {"alpha 1", two_by_two, alpha1, "alpha 1 must lie between 0 and 1"},
        {"margin 0", two_by_two, margin0, "margin 0 must be above 0"},
        {"margin NaN", two_by_two, margin_nan, "margin nan must be above 0"},
        {"failed FOM", nan_fom, {}, "the FOM of reader \"R2\", modality \"M2\" is not a finite"},
    };
    for (const Case& c : cases) {
        varnel::Expected<ClassAnalysis> a = analyze(c.x, c.options);
        ASSERT_FALSE(a) << c.what;
        EXPECT_NE(a.error().message.find(c.says), std::string::npos)
            << c.what << ": " << a.error().message;
    }
}

// No variation anywhere: the tests are undefined (NaN), the estimates exact.
TEST(Degenerate, NothingVaries)
{
    const ClassAnalysis c =
        analyzed(two_case_matrix({{0.1, 0.1}, {0.1, 0.1}, {0.1, 0.1}}, {{0, 0}, {0, 0}, {0, 0}}));
    const ModalityAnalysis& a = *c.modalities;
    EXPECT_EQ(a.ms.t, 0.0);
    EXPECT_EQ(a.ms.tr, 0.0);
    EXPECT_EQ(a.modality_means[0], 0.1);
    for (const ModalityTest* t : {&a.random_readers_random_cases, &a.fixed_readers_random_cases,
                                  &a.random_readers_fixed_cases}) {
        EXPECT_TRUE(std::isnan(t->statistic)) << t->statistic_name;
        EXPECT_TRUE(std::isnan(t->p)) << t->statistic_name;
        EXPECT_EQ(t->differences[0].contrast.estimate.value, 0.0);
        EXPECT_TRUE(std::isnan(t->differences[0].contrast.t));
    }
    EXPECT_TRUE(std::isnan(a.random_readers_random_cases.ddf));
}

// Equal FOMs whose jackknife values vary with Cov2 > Cov3: F = 0 with
// MS(TR) = 0, so the ddf are infinite and the test takes its normal limit.
TEST(Degenerate, EqualFomsInfiniteDdf)
{
    const ClassAnalysis c =
        analyzed(two_case_matrix({{0.5, 0.5}, {0.5, 0.5}}, {{0.02, 0.01}, {0.02, 0.01}}));
    const ModalityTest& t = c.modalities->random_readers_random_cases;
    EXPECT_EQ(t.statistic, 0.0);
    EXPECT_EQ(t.ddf, inf);
    EXPECT_EQ(t.p, 1.0);
    // Cov2 - Cov3 = (4 + 1)/2 e-4 - (2 + 2)/2 e-4; se = sqrt(2/2 * 2 * 0.5e-4).
    const Estimate& d = t.differences[0].contrast.estimate;
    EXPECT_NEAR(d.std_error, 0.01, 1e-15);
    EXPECT_NEAR(d.upper, z975 * 0.01, 1e-12);
}

// Parallel readers (MS(TR) = 0) with Cov2 > Cov3: infinite ddf, the F test
// becomes chi-square on 1 df.  Modality means differ by 1/128.
TEST(Degenerate, NoInteractionUsesTheChiSquareLimit)
{
    const double d = 1.0 / 128;
    const ClassAnalysis c = analyzed(
        two_case_matrix({{0.5, 0.5 + d}, {0.625, 0.625 + d}}, {{0.02, 0.01}, {0.02, 0.01}}));
    const ModalityTest& t = c.modalities->random_readers_random_cases;
    EXPECT_EQ(c.modalities->ms.tr, 0.0);
    EXPECT_EQ(t.ddf, inf);
    // MS(T) = 2 * 2 (d/2)^2 = d^2; F = d^2 / 1e-4.
    EXPECT_NEAR(t.statistic, d * d / 1e-4, 1e-10);
    EXPECT_NEAR(t.p, std::erfc(std::sqrt(t.statistic / 2)), 1e-14);
    // Random readers, fixed cases: F = MS(T) / 0 is infinite, p = 0.
    EXPECT_EQ(c.modalities->random_readers_fixed_cases.statistic, inf);
    EXPECT_EQ(c.modalities->random_readers_fixed_cases.p, 0.0);
}

// A perfect, noiseless difference: every denominator is 0.
TEST(Degenerate, DifferenceWithoutNoise)
{
    const ClassAnalysis c =
        analyzed(two_case_matrix({{0.5, 0.75}, {0.625, 0.875}}, {{0.01, 0.01}, {0.01, 0.01}}));
    for (const ModalityTest* t :
         {&c.modalities->random_readers_random_cases, &c.modalities->fixed_readers_random_cases}) {
        EXPECT_EQ(t->statistic, inf) << t->statistic_name;
        EXPECT_EQ(t->p, 0.0) << t->statistic_name;
        EXPECT_EQ(t->differences[0].contrast.t, -inf);
        EXPECT_EQ(t->differences[0].contrast.p, 0.0);
    }
}

// One reader, two modalities: the random-reader analyses are undefined, the
// fixed-reader one stands: Var 2.5e-4, Cov1 2e-4, MS(T) = 0.005, chi2 = 100.
TEST(Degenerate, OneReader)
{
    const ClassAnalysis c = analyzed(two_case_matrix({{0.7, 0.8}}, {{0.02, 0.01}}));
    const ModalityAnalysis& a = *c.modalities;
    EXPECT_TRUE(std::isnan(a.ms.r));
    EXPECT_TRUE(std::isnan(a.cov.cov2));
    EXPECT_TRUE(std::isnan(a.random_readers_random_cases.p));
    EXPECT_TRUE(std::isnan(a.random_readers_fixed_cases.p));
    EXPECT_NEAR(a.fixed_readers_random_cases.statistic, 100.0, 1e-9);
    EXPECT_NEAR(a.fixed_readers_random_cases.p, std::erfc(10 / std::sqrt(2.0)), 1e-30);
    EXPECT_NEAR(a.fixed_readers_random_cases.means[0].std_error, std::sqrt(4e-4), 1e-15);
}

}  // namespace
