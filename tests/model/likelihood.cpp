// Log-likelihoods, deviance and Pearson statistics, and their report block.
#include "model/likelihood.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "model/support/model_tables.h"
#include "report/blocks.h"

namespace {

using namespace varnel;
using model::CategoryTables;

// The small reader study: four categories, noloc 1, chance 0.1; non-target
// counts 31, 38, 24, 7; target correct 2, 8, 25, 49 and incorrect 0, 4, 8, 4;
// model at boundaries -0.5, 0.5, 1.5, target mean 1.5, deviation 1.2.
struct reader_study {
    FitCounts counts{};
    double a[2] = {1.5, 0.0}, b[2] = {1.2, 1.0}, z[3] = {-0.5, 0.5, 1.5};
    reader_study() {
        const double non[4] = {31, 38, 24, 7}, cor[4] = {2, 8, 25, 49}, inc[4] = {0, 4, 8, 4};
        for (int k = 1; k <= 4; ++k) {
            counts.correct(k, 2) = non[k - 1];
            counts.correct(k, 1) = cor[k - 1];
            counts.incorrect(k, 1) = inc[k - 1];
        }
    }
    // The same counts as a ROC-only study prepares them: whole counts in correct.
    void merge() {
        for (int k = 1; k <= 4; ++k) {
            counts.correct(k, 1) += counts.incorrect(k, 1);
            counts.incorrect(k, 1) = 0.0;
        }
    }
};

// All six statistics at (a, b, z), each evaluation with tables of its own.
LikelihoodStatistics fit_stats(const ModelSpec& spec, const FitCounts& counts, const double* a,
                               const double* b, const double* z) {
    const auto work = std::make_unique<CategoryTables>();
    numeric::Romberg romberg;
    return model::likelihood_statistics(spec, counts, a, b, z, *work, romberg);
}

LikelihoodStatistics table_stats(const ModelSpec& spec, const FitCounts& counts,
                                 const BoundaryTable& fd, const BoundaryTable& ild,
                                 const BoundaryTable& cld) {
    LikelihoodStatistics r;
    model::log_likelihoods(spec, counts, fd, ild, cld, r.log_likelihood, r.log_likelihood_ratings);
    model::deviances(spec, counts, fd, ild, cld, r.deviance, r.deviance_ratings);
    model::pearson_statistics(spec, counts, fd, ild, cld, r.pearson, r.pearson_ratings);
    return r;
}

// A one-target spec with chance value q.
ModelSpec spec_with(int ncat, int ndist, int noloc, double q) {
    const double chance[2] = {q, q};
    return model_spec(ncat, ndist, noloc, chance);
}

TEST(LikelihoodStatistics, ReaderStudyStatistics) {
    const ModelSpec spec = spec_with(4, 2, 1, 0.1);
    reader_study s;
    const LikelihoodStatistics r = fit_stats(spec, s.counts, s.a, s.b, s.z);
    // The study's statistics, quoted to 3 decimals.
    EXPECT_NEAR(r.log_likelihood, -269.756, 5e-4);
    EXPECT_NEAR(r.log_likelihood_ratings, -229.549, 5e-4);
    EXPECT_NEAR(r.deviance, 0.434, 5e-4);
    EXPECT_NEAR(r.deviance_ratings, 0.215, 5e-4);
    EXPECT_NEAR(r.pearson, 0.460, 5e-4);
    EXPECT_NEAR(r.pearson_ratings, 0.233, 5e-4);

    // The report's evaluation is the same computation with its own tables.
    const LikelihoodStatistics rep = fit_stats(spec, s.counts, s.a, s.b, s.z);
    EXPECT_EQ(rep.log_likelihood, r.log_likelihood);
    EXPECT_EQ(rep.log_likelihood_ratings, r.log_likelihood_ratings);
    EXPECT_EQ(rep.deviance, r.deviance);
    EXPECT_EQ(rep.deviance_ratings, r.deviance_ratings);
    EXPECT_EQ(rep.pearson, r.pearson);
    EXPECT_EQ(rep.pearson_ratings, r.pearson_ratings);
}

TEST(LikelihoodStatistics, WithoutLocalizationCellsBothKindsAgree) {
    // ROC-only target (chance 1, merged counts) and a study without any
    // localization data: the statistics 1 and 2 are the same cells.
    struct row_t {
        int noloc;
        double q;
        bool merged;
    } rows[] = {{1, 1.0, true}, {0, 1.0, true}, {4, 0.1, true}, {4, 0.0, true}};
    for (const row_t& row : rows) {
        SCOPED_TRACE(row.noloc);
        const ModelSpec spec = spec_with(4, 2, row.noloc, row.q);
        reader_study s;
        if (row.merged) s.merge();
        const LikelihoodStatistics r = fit_stats(spec, s.counts, s.a, s.b, s.z);
        EXPECT_EQ(r.deviance, r.deviance_ratings);
        EXPECT_EQ(r.pearson, r.pearson_ratings);
        EXPECT_GT(r.deviance, 0.0);
        if (row.noloc == 4) {
            EXPECT_EQ(r.log_likelihood, r.log_likelihood_ratings);
        } else {
            // ln(ild + cld) against ln fd: the same probability.
            EXPECT_NEAR(r.log_likelihood, r.log_likelihood_ratings, 1e-9);
        }
    }
}

// Hand-made probability tables for two categories, one target.
struct hand_tables {
    BoundaryTable fd{}, ild{}, cld{};
    FitCounts counts{};
    FrequencyTable& freqc = counts.correct;
    FrequencyTable& freqe = counts.incorrect;
    hand_tables(double n1, double n2, double il1, double il2, double cl1, double cl2) {
        fd(1, 2) = n1;
        fd(2, 2) = n2;
        ild(1, 1) = il1;
        ild(2, 1) = il2;
        cld(1, 1) = cl1;
        cld(2, 1) = cl2;
        fd(1, 1) = il1 + cl1;
        fd(2, 1) = il2 + cl2;
    }
};

TEST(LikelihoodStatistics, ZeroCountsAndHandComputedCells) {
    // Chance 0.5.  Category 1: correct cell 0.5*0.2 + 0.3 = 0.4, incorrect
    // 0.1; category 2: correct 0.45 with a zero count, incorrect 0.05.
    const ModelSpec spec = spec_with(2, 2, 0, 0.5);
    hand_tables h(0.4, 0.6, 0.2, 0.1, 0.3, 0.4);
    h.freqc(1, 2) = 4;
    h.freqc(2, 2) = 6;
    h.freqc(1, 1) = 3;
    h.freqe(1, 1) = 1;
    h.freqc(2, 1) = 0;
    h.freqe(2, 1) = 4;
    const LikelihoodStatistics r = table_stats(spec, h.counts, h.fd, h.ild, h.cld);
    const double nontarget = 4 * std::log(0.4) + 6 * std::log(0.6);
    EXPECT_NEAR(r.log_likelihood, nontarget + 3 * std::log(0.4) + std::log(0.1) + 4 * std::log(0.05),
                1e-12);
    EXPECT_NEAR(r.log_likelihood_ratings, nontarget + 8 * std::log(0.5), 1e-12);
    // Eight target images: expected counts 3.2, 0.8, 3.6, 0.4 and 4, 4; the
    // non-target counts are exactly their expectation.
    EXPECT_NEAR(r.deviance, 2 * (3 * std::log(3 / 3.2) + std::log(1 / 0.8) + 4 * std::log(4 / 0.4)),
                1e-12);
    EXPECT_NEAR(r.deviance_ratings, 0.0, 1e-15);
    EXPECT_NEAR(r.pearson, 0.04 / 3.2 + 0.04 / 0.8 + 3.6 + 3.6 * 3.6 / 0.4, 1e-12);
    EXPECT_NEAR(r.pearson_ratings, 0.0, 1e-15);
}

TEST(LikelihoodStatistics, CountsProportionalToTheModelGiveZeroStatistics) {
    // noloc 1, chance 0.5: category 1 one cell of 0.5; category 2 correct
    // 0.5*0.25 + 0.25 = 0.375, incorrect 0.125; eight images.  Non-target
    // 0.25, 0.75 of eight.
    const ModelSpec spec = spec_with(2, 2, 1, 0.5);
    hand_tables h(0.25, 0.75, 0.25, 0.25, 0.25, 0.25);
    h.freqc(1, 2) = 2;
    h.freqc(2, 2) = 6;
    h.freqc(1, 1) = 4;
    h.freqc(2, 1) = 3;
    h.freqe(2, 1) = 1;
    const LikelihoodStatistics r = table_stats(spec, h.counts, h.fd, h.ild, h.cld);
    EXPECT_EQ(r.deviance, 0.0);
    EXPECT_EQ(r.deviance_ratings, 0.0);
    EXPECT_EQ(r.pearson, 0.0);
    EXPECT_EQ(r.pearson_ratings, 0.0);
}

TEST(LikelihoodStatistics, DistributionsWithoutImagesContributeNothing) {
    const ModelSpec spec = spec_with(2, 3, 0, 0.5);
    hand_tables h(0.25, 0.75, 0.25, 0.25, 0.25, 0.25);
    // Target 2 (column 2) and the non-target (column 3) have no images;
    // target 1 is exactly at its expectation.
    for (int k = 1; k <= 2; ++k) {
        h.fd(k, 3) = h.fd(k, 2);
        h.fd(k, 2) = h.fd(k, 1);
        h.ild(k, 2) = h.ild(k, 1);
        h.cld(k, 2) = h.cld(k, 1);
    }
    h.freqc(1, 1) = 3;
    h.freqe(1, 1) = 1;
    h.freqc(2, 1) = 3;
    h.freqe(2, 1) = 1;
    const LikelihoodStatistics r = table_stats(spec, h.counts, h.fd, h.ild, h.cld);
    EXPECT_EQ(r.deviance, 0.0);
    EXPECT_EQ(r.deviance_ratings, 0.0);
    EXPECT_EQ(r.pearson, 0.0);
    EXPECT_EQ(r.pearson_ratings, 0.0);
    EXPECT_TRUE(std::isfinite(r.log_likelihood));
}

TEST(LikelihoodStatistics, ReportBlockText) {
    std::string text;
    output::Record rec = output::string_record(text);
    output::Printer out(rec);
    report::write_likelihood(out, {-269.756, -229.549, 0.434, 0.215, 0.460, 0.233});
    EXPECT_FALSE(out.failed());
    EXPECT_EQ(text,
              "\n"
              "Loglikelihood and chi-squared\n"
              "logd1,logd2    -269.75600    -229.54900\n"
              "logL1,logL2       0.43400       0.21500\n"
              "chi1,chi2         0.46000       0.23300\n");
}

TEST(LikelihoodStatistics, FullCapacity) {
    // Seventeen categories, fifteen targets, mixed chance values: finite
    // statistics, and the rating-only statistics of a fit without
    // localization equal their partners.
    double q[15];
    for (int j = 0; j < 15; ++j) q[j] = j % 3 == 0 ? 1.0 : 0.1 * (j % 4);
    for (int noloc : {0, 9, 17}) {
        const study s = pattern_study(17, 16, noloc, q, 0.421, 0.1097, 0.7, 0.05, -1.95, 0.2511);
        const LikelihoodStatistics r = fit_stats(s.spec, s.counts, s.mu, s.sigma, s.z);
        for (double v : {r.log_likelihood, r.log_likelihood_ratings, r.deviance,
                         r.deviance_ratings, r.pearson, r.pearson_ratings})
            EXPECT_TRUE(std::isfinite(v)) << noloc;
        EXPECT_GT(r.deviance, 0.0);
        if (noloc == 17) {
            EXPECT_EQ(r.deviance, r.deviance_ratings);
            EXPECT_EQ(r.pearson, r.pearson_ratings);
        }
    }
}

}  // namespace
