// The operating points and fitted curves the pictures of a comparison draw:
// by hand from ratings and from a binned table, the categories without
// localization left out of the LROC points, and what compare() stores.
#include <gtest/gtest.h>

#include "mrmc/compare.h"
#include "mrmc/curves.h"
#include "sim/case_sim.h"
#include "support/case_loader.h"
#include "varnel/binning.h"
#include "varnel/fit.h"

namespace {

using namespace varnel::mrmc;
using varnel::study::CaseStudy;

void expect_points(const std::vector<CurvePoint>& got, const std::vector<CurvePoint>& want)
{
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
        EXPECT_DOUBLE_EQ(got[i].x, want[i].x) << i;
        EXPECT_DOUBLE_EQ(got[i].y, want[i].y) << i;
    }
}

// Reader A: normal cases rated 1, 2, 2, 3; class 1 targets rated 2 (found),
// 4 (found), 5 (missed), 5 (found); a class 2 target that is not in the
// analysis of class 1.  Thresholds 5 .. 1 hold (normal, target, found)
// cases at or above them: (0,2,1) (0,3,2) (1,3,2) (3,4,3) (4,4,3).
const char* small_study = "reader,modality,case,truth,rating,localized\n"
                          "A,M,n1,0,1,\nA,M,n2,0,2,\nA,M,n3,0,2,\nA,M,n4,0,3,\n"
                          "A,M,t1,1,2,1\nA,M,t2,1,4,1\nA,M,t3,1,5,0\nA,M,t4,1,5,1\nA,M,u1,2,6,1\n";

TEST(OperatingPoints, FromRatingsByHand)
{
    const CaseStudy s = mrmc_test::parse_cases(small_study);
    const auto points = empirical_operating_points(s, 1);
    ASSERT_EQ(points.size(), 1u);
    ASSERT_EQ(points[0].size(), 1u);
    const TableCurves& c = points[0][0];
    // ROC at every threshold but the lowest; LROC at every one.
    expect_points(c.roc, {{0, 0.5}, {0, 0.75}, {0.25, 0.75}, {0.75, 1}});
    expect_points(c.lroc, {{0, 0.25}, {0, 0.5}, {0.25, 0.5}, {0.75, 0.75}, {1, 0.75}});
    EXPECT_TRUE(c.fitted_roc.empty());
    // Class 2: one target, rated above everything.
    const auto class2 = empirical_operating_points(s, 2);
    expect_points(class2[0][0].roc, {{0, 1}, {0.25, 1}, {0.75, 1}});
    // Without a localized column: no LROC points.
    const CaseStudy r = mrmc_test::parse_cases(
        "reader,modality,case,truth,rating\nA,M,n1,0,1\nA,M,n2,0,3\nA,M,t1,1,2\nA,M,t2,1,4\n");
    const auto roc_only = empirical_operating_points(r, 1);
    expect_points(roc_only[0][0].roc, {{0, 0.5}, {0.5, 0.5}, {0.5, 1}});
    EXPECT_TRUE(roc_only[0][0].lroc.empty());
}

// A binned table of 4 categories with NOLOC 2: the LROC points stop above
// the categories without localization (their counts are totals).
TEST(OperatingPoints, FromABinnedTable)
{
    varnel::Study t;
    t.targets = 1;
    t.categories = 4;
    t.noloc = 2;
    const int normals[] = {4, 3, 2, 1}, totals[] = {1, 2}, missed[] = {0, 0, 1, 1},
              found[] = {0, 0, 2, 3};
    for (int k = 1; k <= 4; ++k) {
        t.correct(k, 1) = normals[k - 1];
        if (k <= 2) {
            t.correct(k, 2) = totals[k - 1];
        } else {
            t.incorrect(k, 2) = missed[k - 1];
            t.correct(k, 2) = found[k - 1];
        }
    }
    // 10 normal and 10 target cases; from the top (normal, target, found):
    // (1,4,3) (3,7,5) (6,9,5) (10,10,5).
    const TableCurves c = binned_operating_points(t, 1);
    expect_points(c.roc, {{0.1, 0.4}, {0.3, 0.7}, {0.6, 0.9}});
    expect_points(c.lroc, {{0.1, 0.3}, {0.3, 0.5}});
    t.noloc = 0;
    t.correct(1, 2) = 0;
    t.correct(2, 2) = 0;
    t.incorrect(4, 2) = 4;  // the 3 targets of categories 1 and 2 missed in 4 instead
    // Every category localized: LROC points at every threshold, the lowest
    // (all cases) included: (1, 5/10).
    const TableCurves all = binned_operating_points(t, 1);
    expect_points(all.lroc, {{0.1, 0.3}, {0.3, 0.5}, {0.6, 0.5}, {1.0, 0.5}});
    expect_points(all.roc, {{0.1, 0.7}, {0.3, 1.0}, {0.6, 1.0}});
}

// compare() keeps per class, reader and modality the points the pictures
// draw: the ratings' points for an empirical FOM; for a model-based one the
// binned tables' points and the fitted curves, whose ROC area is the FOM.
TEST(OperatingPoints, KeptByCompare)
{
    case_sim::Design d;
    d.readers = 3;
    d.modalities = 2;
    d.normal_cases = 40;
    d.target_cases = {40};
    d.targets = case_sim::same_targets(2, 1, {1.5, 1.0, 0.0});
    d.variance = {0.05, 0.2, 0.05, 0.0, 0.0};
    d.levels = 5;
    d.seed = 5;
    const CaseStudy s = mrmc_test::parse_cases(case_sim::csv_text(case_sim::simulate(d)), "sim.csv");

    CompareOptions options;
    options.fom = parse_fom("wilcoxon").value();
    const auto empirical = compare(s, options);
    ASSERT_TRUE(empirical) << empirical.error().message;
    ASSERT_EQ(empirical->curves.size(), 1u);
    ASSERT_EQ(empirical->curves[0].size(), 3u);
    ASSERT_EQ(empirical->curves[0][2].size(), 2u);
    const auto want = empirical_operating_points(s, 1);
    expect_points(empirical->curves[0][2][1].roc, want[2][1].roc);
    EXPECT_TRUE(empirical->curves[0][2][1].fitted_roc.empty());

    options.fom = parse_fom("model-auc").value();
    options.run.threads = 2;
    const auto model = compare(s, options);
    ASSERT_TRUE(model) << model.error().message;
    const auto tables = varnel::study::make_tables(s, *model->binning);
    ASSERT_TRUE(tables);
    for (int r = 0; r < 3; ++r)
        for (int m = 0; m < 2; ++m) {
            SCOPED_TRACE(r * 2 + m);
            const TableCurves& c = model->curves[0][r][m];
            expect_points(c.roc, binned_operating_points((*tables)[r * 2 + m], 1).roc);
            ASSERT_EQ(c.fitted_roc.size(), std::size_t(varnel::curve_points));
            ASSERT_EQ(c.fitted_lroc.size(), std::size_t(varnel::curve_points));
            // Trapezoidal area under the fitted ROC points (FPF decreasing)
            // against the model's AreaROC.
            double area = 0;
            for (std::size_t i = 1; i < c.fitted_roc.size(); ++i)
                area += (c.fitted_roc[i - 1].x - c.fitted_roc[i].x) *
                        (c.fitted_roc[i - 1].y + c.fitted_roc[i].y) / 2;
            EXPECT_NEAR(area, model->classes[0].matrix.theta[r][m], 2e-3);
            EXPECT_EQ(c.fitted_roc.front().x, 1.0);
            EXPECT_EQ(c.fitted_roc.back().x, 0.0);
        }
}

}  // namespace
