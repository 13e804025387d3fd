// Initial parameter estimates from the frequency tables.
#include "model/initial.h"

#include <gtest/gtest.h>

#include <cmath>

#include "model/support/model_tables.h"
#include "numeric/normal.h"

namespace {

using namespace varnel;
using numeric::normal_deviates;

// The small reader study in fit order: one target, four categories.
struct counts : FitCounts {
    void set(int k, double non, double cor, double inc) {
        correct(k, 2) = non;
        correct(k, 1) = cor;
        incorrect(k, 1) = inc;
    }
};

// Starting point for the study's spec and counts (images counted first).
Parameters run(const ModelSpec& spec, counts c) {
    count_images(spec, c);
    Parameters s{};
    model::initial_estimates(spec, c, s);
    return s;
}

// Normal deviate of p by the program's own approximation, times sqrt(5).
double start_mean(double cp, int images) {
    double d = 0.0;
    normal_deviates(&cp, 1, 1, images, &d);
    return std::sqrt(5.0) * d;
}

// Dimensions with the chance value q for every target.
ModelSpec spec_with(int ncat, int ndist, int noloc, double q) {
    ModelSpec spec = model_spec(ncat, ndist, noloc);
    for (int t = 1; t <= ndist - 1; ++t) spec.chance[t - 1] = q;
    spec.chance_entered = q != 0.0;
    return spec;
}

TEST(InitialEstimates, ReaderStudyFractionForm) {
    // noloc 1, chance 0.1: pooled counts 31, 42, 32, 11 put the boundaries at
    // the deviates of 0.26724, 0.62931, 0.90517; 84 of 100 images counted as
    // correctly localized give 1.1*0.84 - 0.1 = 0.824, deviate 0.93063.
    const ModelSpec spec = spec_with(4, 2, 1, 0.1);
    counts c;
    c.set(1, 31, 2, 0);
    c.set(2, 38, 8, 4);
    c.set(3, 24, 25, 8);
    c.set(4, 7, 49, 4);
    const Parameters s = run(spec, c);
    EXPECT_NEAR(s.bounds[0], -0.62084, 6e-6);
    EXPECT_NEAR(s.bounds[1], 0.32959, 6e-6);
    EXPECT_NEAR(s.bounds[2], 1.31180, 6e-6);
    EXPECT_NEAR(s.mean[0], 2.08095, 6e-6);
    EXPECT_EQ(s.sigma[0], 2.0);
    EXPECT_EQ(s.mean[1], 0.0);
    EXPECT_EQ(s.sigma[1], 1.0);
}

TEST(InitialEstimates, AreaFormCountsAllImagesOfTheTarget) {
    // The same study with noloc 2 (category 2 whole among the correct
    // counts): the empirical area over all 100 target images is 0.84185, so
    // cp = 0.6837.  Counting only the correctly localized images would give
    // 0.73845 (cp 0.4769).
    const ModelSpec spec = spec_with(4, 2, 2, 0.1);
    counts c;
    c.set(1, 31, 2, 0);
    c.set(2, 38, 12, 0);
    c.set(3, 24, 25, 8);
    c.set(4, 7, 49, 4);
    const Parameters s = run(spec, c);
    EXPECT_NEAR(s.mean[0], start_mean(0.6837, 100), 1e-9);
    EXPECT_NEAR(s.mean[0], std::sqrt(5.0) * 0.4778, 2e-3);  // Phi^-1(0.6837) = 0.4778
    // Pooled counts 31, 38, 32, 11 of 112.
    double pooled[3] = {31.0 / 112, 69.0 / 112, 101.0 / 112}, dev[3];
    normal_deviates(pooled, 3, 3, 0, dev);
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(s.bounds[k], dev[k], 1e-12) << k;

    // A ROC-only target (chance 1) with noloc 1 uses the area as well, and
    // with every count among the correct ones it is the same area.
    const ModelSpec roc_only = spec_with(4, 2, 1, 1.0);
    counts r;
    r.set(1, 31, 2, 0);
    r.set(2, 38, 12, 0);
    r.set(3, 24, 33, 0);
    r.set(4, 7, 53, 0);
    EXPECT_NEAR(run(roc_only, r).mean[0], start_mean(0.6837, 100), 1e-9);
}

TEST(InitialEstimates, FormChoice) {
    // Fraction form for noloc 0 or 1 with chance below 1; area form from
    // noloc 2 on (the area of all images does not depend on noloc).
    struct row_t {
        int noloc;
        double q, cp;
    } rows[] = {
        {0, 0.0, 0.84},                  // plain fraction of correct localizations
        {1, 0.0, 0.84},                  //
        {1, 0.5, 1.5 * 0.84 - 0.5},      // chance-corrected
        {2, 0.0, 2 * 0.84185 - 1},       // area, all images
        {2, 0.5, 2 * 0.84185 - 1},       //
        {4, 0.3, 2 * 0.84185 - 1},       //
    };
    for (const row_t& row : rows) {
        SCOPED_TRACE(row.noloc);
        const ModelSpec spec = spec_with(4, 2, row.noloc, row.q);
        // Categories up to noloc hold the whole count among the correct ones.
        const double cor[4] = {2, 8, 25, 49}, inc[4] = {0, 4, 8, 4};
        counts c;
        for (int k = 1; k <= 4; ++k) {
            const bool whole = k <= row.noloc;
            c.set(k, k == 1 ? 31 : k == 2 ? 38 : k == 3 ? 24 : 7,
                  whole ? cor[k - 1] + inc[k - 1] : cor[k - 1], whole ? 0 : inc[k - 1]);
        }
        EXPECT_NEAR(run(spec, c).mean[0], start_mean(row.cp, 100), 1e-9);
    }
}

TEST(InitialEstimates, ClampsKeepTheStartingMeansFinite) {
    const ModelSpec spec = spec_with(3, 3, 2, 0.2);
    counts c;
    // Target 1 rated lowest of all (area below 1/2), target 2 above every
    // non-target image (area 1); 100 images each.
    c.correct(1, 1) = 100;
    c.correct(3, 2) = 100;
    c.correct(1, 3) = 50;
    c.correct(2, 3) = 50;
    const Parameters s = run(spec, c);
    // cp 0 becomes 1/200, cp 1 becomes 199/200: deviates -/+2.5762.
    EXPECT_NEAR(s.mean[0], -5.7606, 2e-4);
    EXPECT_NEAR(s.mean[1], 5.7606, 2e-4);
    EXPECT_NEAR(s.mean[0], -s.mean[1], 1e-12);
    EXPECT_EQ(s.mean[2], 0.0);
    EXPECT_EQ(s.sigma[2], 1.0);
    EXPECT_EQ(s.sigma[0], 2.0);
    EXPECT_EQ(s.sigma[1], 2.0);
}

TEST(InitialEstimates, EmptyPooledCategoryCountsAsOneRating) {
    const ModelSpec spec = spec_with(4, 2, 0, 0.0);
    counts c;
    c.set(1, 31, 2, 3);
    c.set(2, 0, 8, 0);  // nothing pooled here
    c.set(3, 24, 25, 8);
    c.set(4, 7, 49, 4);
    const Parameters s = run(spec, c);
    // Pooled 34, 1, 32, 11 of 78.
    double pooled[3] = {34.0 / 78, 35.0 / 78, 67.0 / 78}, dev[3];
    normal_deviates(pooled, 3, 3, 0, dev);
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(s.bounds[k], dev[k], 1e-12) << k;
    EXPECT_LT(s.bounds[0], s.bounds[1]);

    // Two categories: one boundary at the deviate of the pooled share of
    // category 1.
    const ModelSpec two_categories = spec_with(2, 2, 0, 0.0);
    counts two;
    two.correct(1, 2) = 30;
    two.correct(2, 2) = 10;
    two.correct(1, 1) = 5;
    two.incorrect(1, 1) = 10;
    two.correct(2, 1) = 20;
    two.incorrect(2, 1) = 0;
    double share = 40.0 / 50, d = 0.0;
    normal_deviates(&share, 1, 1, 0, &d);
    EXPECT_NEAR(run(two_categories, two).bounds[0], d, 1e-12);
    // Plain fraction of images counted as correctly localized: 25 of 35.
    EXPECT_NEAR(run(two_categories, two).mean[0], start_mean(25.0 / 35, 35), 1e-12);
}

TEST(InitialEstimates, TargetWithoutImagesStartsNeutral) {
    const ModelSpec spec = spec_with(3, 3, 0, 0.0);
    counts c;
    c.correct(1, 3) = 20;
    c.correct(2, 3) = 15;
    c.correct(3, 3) = 5;
    c.correct(2, 1) = 6;
    c.incorrect(1, 1) = 4;
    c.correct(3, 1) = 10;
    const Parameters s = run(spec, c);  // target 2 has no images
    EXPECT_TRUE(std::isfinite(s.mean[1]));
    EXPECT_NEAR(s.mean[1], 0.0, 1e-6);
    EXPECT_NEAR(s.mean[0], start_mean(16.0 / 20, 20), 1e-12);
}

TEST(InitialEstimates, FullCapacity) {
    double q[15];
    for (int j = 0; j < 15; ++j) q[j] = j % 3 == 0 ? 1.0 : 0.1 * (j % 4);
    for (int noloc : {0, 1, 2, 17}) {
        const study st = pattern_study(17, 16, noloc, q, 0.421, 0.1097, 0.7, 0.05, -1.95, 0.2511);
        Parameters s{};
        s.bounds[16] = 99.0;  // beyond the 16 boundaries: untouched
        model::initial_estimates(st.spec, st.counts, s);
        for (int k = 1; k < 16; ++k) EXPECT_LT(s.bounds[k - 1], s.bounds[k]) << k;
        EXPECT_EQ(s.bounds[16], 99.0);
        for (int j = 0; j < 15; ++j) {
            EXPECT_TRUE(std::isfinite(s.mean[j])) << j;
            EXPECT_EQ(s.sigma[j], 2.0);
        }
        EXPECT_EQ(s.mean[15], 0.0);
        EXPECT_EQ(s.sigma[15], 1.0);
    }
}

}  // namespace
