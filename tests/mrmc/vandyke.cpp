// Acceptance: the published Obuchowski–Rockette analysis of the Van Dyke
// study (5 readers, 2 modalities, 69 normal and 45 abnormal cases) with the
// empirical (trapezoidal) AUC.
#include <algorithm>
#include <filesystem>

#include <gtest/gtest.h>

#include "mrmc/compare.h"
#include "mrmc/report.h"
#include "support/case_loader.h"

namespace {

using namespace varnel::mrmc;

class VanDyke : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!std::filesystem::exists(VANDYKE_CASES)) GTEST_SKIP() << VANDYKE_CASES << " missing";
        CompareOptions options;
        options.fom = parse_fom("wilcoxon").value();
        varnel::Expected<CompareResult> r =
            compare_cases(mrmc_test::load_cases(VANDYKE_CASES), options);
        ASSERT_TRUE(r) << r.error().message;
        ASSERT_EQ(r.value().classes.size(), 1u);
        ASSERT_TRUE(r.value().classes[0].modalities.has_value());
        analysis = *r.value().classes[0].modalities;
        result = r.value();
    }
    ModalityAnalysis analysis;
    CompareResult result;
};

// Tolerances are half a unit of the last printed digit.
TEST_F(VanDyke, ReaderAveragedAucs)
{
    EXPECT_NEAR(analysis.modality_means[0], 0.897037, 5e-7);
    EXPECT_NEAR(analysis.modality_means[1], 0.940837, 5e-7);
}

TEST_F(VanDyke, RandomReadersRandomCases)
{
    const ModalityTest& t = analysis.random_readers_random_cases;
    EXPECT_NEAR(t.statistic, 4.4563, 5e-5);
    EXPECT_EQ(t.ndf, 1.0);
    EXPECT_NEAR(t.ddf, 15.260, 5e-4);
    EXPECT_NEAR(t.p, 0.05167, 5e-6);
    ASSERT_EQ(t.differences.size(), 1u);
    const Estimate& d = t.differences[0].contrast.estimate;
    EXPECT_NEAR(d.value, -0.043800, 5e-7);
    EXPECT_NEAR(d.lower, -0.087959, 5e-7);
    EXPECT_NEAR(d.upper, 0.000359, 5e-7);
    // With two modalities the difference's t test is the F test.
    EXPECT_NEAR(t.differences[0].contrast.t * t.differences[0].contrast.t, t.statistic, 1e-9);
    EXPECT_NEAR(t.differences[0].contrast.p, t.p, 1e-9);
}

TEST_F(VanDyke, FixedReadersRandomCases)
{
    const ModalityTest& t = analysis.fixed_readers_random_cases;
    EXPECT_NEAR(t.statistic, 5.4760, 5e-5);
    EXPECT_NEAR(t.p, 0.01928, 5e-6);
}

TEST_F(VanDyke, RandomReadersFixedCases)
{
    const ModalityTest& t = analysis.random_readers_fixed_cases;
    EXPECT_NEAR(t.statistic, 8.704, 5e-4);
    EXPECT_EQ(t.ddf, 4.0);
    EXPECT_NEAR(t.p, 0.04196, 5e-6);
}

// The published figures as the text report prints them.
TEST_F(VanDyke, TextReport)
{
    const std::string text = format_text_report(result);
    for (const char* line : {
             "Target class 1: 5 readers, 2 modalities, 114 cases (69 normal, 45 target)\n",
             "\n  Mean  0.897037  0.940837\n",
             "\n  F = 4.4563 on 1 and 15.2597 df, p = 0.051666\n",
             "\n  M1 - M2     -0.043800   0.020749  15.2597  -2.1110  0.051666  -0.087959  0.000359\n",
             "\n  chi2 = 5.4760 on 1 df, p = 0.019280\n",
             "\n  F = 8.7040 on 1 and 4.0000 df, p = 0.041959\n",
         })
        EXPECT_NE(text.find(line), std::string::npos) << line << "\nnot in\n" << text;
}

// One row per reader, modality and case.
TEST_F(VanDyke, JackknifeCsv)
{
    const std::string csv = format_jackknife_csv(result);
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 1 + 5 * 2 * 114);
    EXPECT_EQ(csv.rfind("reader,modality,case,value\nR1,M1,c001,", 0), 0u);
}

}  // namespace
