// Figures of merit: names, the empirical ROC area and the empirical LROC
// curve with its PCL and area, on hand-counted tables.
#include <cmath>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "mrmc/fom.h"

namespace {

using namespace varnel::mrmc;

FomSpec fom(const char* name)
{
    varnel::Expected<FomSpec> f = parse_fom(name);
    EXPECT_TRUE(f) << name << ": " << (f ? "" : f.error().message);
    return f ? f.value() : FomSpec{};
}

varnel::Expected<double> attempt(const FomSpec& f, const std::vector<double>& normal,
                                 const std::vector<TargetRating>& target)
{
    return empirical_fom(f, normal, target);
}

double value(const FomSpec& f, const std::vector<double>& normal,
             const std::vector<TargetRating>& target)
{
    varnel::Expected<double> v = attempt(f, normal, target);
    EXPECT_TRUE(v) << (v ? "" : v.error().message);
    return v ? v.value() : std::nan("");
}

TEST(FomName, EveryKindParsesAndNamesItself)
{
    const char* names[] = {"wilcoxon",  "pcl@0.2",   "alroc@0.2",    "model-auc",
                           "model-alroc", "model-loc", "model-pcl@0.2", "pcl@1", "alroc@0.05"};
    for (const char* n : names) EXPECT_EQ(fom_name(fom(n)), n);
    EXPECT_EQ(fom("alroc@0.25").kind, FomKind::alroc);
    EXPECT_EQ(fom("alroc@0.25").fpf, 0.25);
    EXPECT_EQ(fom("model-pcl@1").kind, FomKind::model_pcl);
    EXPECT_TRUE(is_model_based(fom("model-loc")));
    EXPECT_FALSE(is_model_based(fom("pcl@0.1")));
    EXPECT_FALSE(uses_localization(fom("wilcoxon")));
    EXPECT_FALSE(uses_localization(fom("model-auc")));
    EXPECT_TRUE(uses_localization(fom("alroc@0.1")));
}

TEST(FomName, BadNamesSayWhatIsWrong)
{
    struct Case {
        const char* text;
        const char* says;
    } cases[] = {
        {"auc", "unknown figure of merit \"auc\"; choose wilcoxon, pcl@X"},
        {"Wilcoxon", "unknown figure of merit"},
        {"", "unknown figure of merit"},
        {"pcl", "\"pcl\" needs a false-positive fraction, as in pcl@0.2"},
        {"pcl@", "\"\" is not a number"},
        {"pcl@abc", "\"abc\" is not a number"},
        {"pcl@0.2x", "\"0.2x\" is not a number"},
        {"alroc@0", "the false-positive fraction 0 must be in (0, 1]"},
        {"alroc@1.0001", "must be in (0, 1]"},
        {"model-pcl@-0.2", "must be in (0, 1]"},
        {"pcl@nan", "must be in (0, 1]"},
        {"pcl@inf", "must be in (0, 1]"},
        {"wilcoxon@0.2", "wilcoxon takes no false-positive fraction"},
        {"model-auc@1", "takes no false-positive fraction"},
    };
    for (const Case& c : cases) {
        varnel::Expected<FomSpec> f = parse_fom(c.text);
        ASSERT_FALSE(f) << c.text;
        EXPECT_NE(f.error().message.find(c.says), std::string::npos)
            << c.text << ": " << f.error().message;
    }
}

// Targets 2, 3, 4 against normals 1, 2, 3: target 2 wins 1 and ties 1 (1.5),
// target 3 wins 2 and ties 1 (2.5), target 4 wins 3: 7 of 9 pairs.
TEST(Wilcoxon, TiesCountHalf)
{
    const FomSpec w = fom("wilcoxon");
    EXPECT_DOUBLE_EQ(value(w, {1, 2, 3}, {{2, false}, {3, true}, {4, false}}), 7.0 / 9.0);
    EXPECT_DOUBLE_EQ(value(w, {5, 5}, {{5, true}, {5, false}}), 0.5);
    EXPECT_DOUBLE_EQ(value(w, {1, 2}, {{3, false}}), 1.0);
    EXPECT_DOUBLE_EQ(value(w, {3, 4}, {{1, false}, {2, true}}), 0.0);
}

// The Mann-Whitney count over all pairs, for comparison.
double pairwise_auc(const std::vector<double>& normal, const std::vector<TargetRating>& target)
{
    double s = 0.0;
    for (const TargetRating& t : target)
        for (double n : normal) s += t.rating > n ? 1.0 : t.rating == n ? 0.5 : 0.0;
    return s / (double(normal.size()) * target.size());
}

TEST(Wilcoxon, AgreesWithThePairCountOnRandomTables)
{
    std::mt19937 gen(7);
    std::uniform_int_distribution<int> rating(1, 6), size(1, 30);
    for (int trial = 0; trial < 200; ++trial) {
        std::vector<double> normal(size(gen));
        std::vector<TargetRating> target(size(gen));
        for (double& r : normal) r = rating(gen);
        for (TargetRating& t : target) t = {double(rating(gen) + 1), rating(gen) > 3};
        EXPECT_DOUBLE_EQ(value(fom("wilcoxon"), normal, target), pairwise_auc(normal, target))
            << "trial " << trial;
    }
}

// Normals 1, 2, 2, 3; targets (rating, localized) (2, 1), (3, 0), (3, 1),
// (4, 1), (1, 1).  K1 = 4, K2 = 5; thresholds 4, 3, 2, 1:
//   c = 4: FPF 0,    PCL 0
//   c = 3: FPF 0,    PCL 1/5   (the 4)
//   c = 2: FPF 1/4,  PCL 2/5   (the 4 and the localized 3)
//   c = 1: FPF 3/4,  PCL 3/5   (and the 2)
//   end:   FPF 1,    PCL 3/5
const std::vector<double> hand_normal{1, 2, 2, 3};
const std::vector<TargetRating> hand_target{{2, true}, {3, false}, {3, true}, {4, true}, {1, true}};

TEST(LrocCurve, PointsOfAHandCountedTable)
{
    const std::vector<LrocPoint> curve = lroc_curve(rating_groups(hand_normal, hand_target));
    const std::vector<LrocPoint> expected{{0, 0}, {0, 0.2}, {0.25, 0.4}, {0.75, 0.6}, {1, 0.6}};
    ASSERT_EQ(curve.size(), expected.size());
    for (std::size_t i = 0; i < curve.size(); ++i) {
        EXPECT_DOUBLE_EQ(curve[i].fpf, expected[i].fpf) << "point " << i;
        EXPECT_DOUBLE_EQ(curve[i].pcl, expected[i].pcl) << "point " << i;
    }
}

TEST(PclAt, InterpolatesBetweenNeighbouringPoints)
{
    // Between (0, 0.2) (the higher of the two points at FPF 0) and (0.25, 0.4).
    EXPECT_DOUBLE_EQ(value(fom("pcl@0.1"), hand_normal, hand_target), 0.28);
    // Between (0.25, 0.4) and (0.75, 0.6).
    EXPECT_DOUBLE_EQ(value(fom("pcl@0.5"), hand_normal, hand_target), 0.5);
    // Exactly at a point: that point.
    EXPECT_DOUBLE_EQ(value(fom("pcl@0.25"), hand_normal, hand_target), 0.4);
    EXPECT_DOUBLE_EQ(value(fom("pcl@0.75"), hand_normal, hand_target), 0.6);
    // At 1: localized targets rated above the lowest rating (4, 3, 2 of 5).
    EXPECT_DOUBLE_EQ(value(fom("pcl@1"), hand_normal, hand_target), 0.6);
}

TEST(AlrocAt, TrapezoidsUpToTheFpf)
{
    // (0,0) (0,0.2) (0.25,0.4) then (0.5, 0.5): 0.075 + 0.1125.
    EXPECT_DOUBLE_EQ(value(fom("alroc@0.5"), hand_normal, hand_target), 0.1875);
    // Exactly at a point: (0,0) (0,0.2) (0.25,0.4).
    EXPECT_DOUBLE_EQ(value(fom("alroc@0.25"), hand_normal, hand_target), 0.075);
    // Whole curve: 0.075 + 0.25 + 0.15.
    EXPECT_DOUBLE_EQ(value(fom("alroc@1"), hand_normal, hand_target), 0.475);
    // Below the first rise: the points at FPF 0 and (0.1, 0.28).
    EXPECT_DOUBLE_EQ(value(fom("alroc@0.1"), hand_normal, hand_target), 0.1 * (0.2 + 0.28) / 2);
}

// Every normal case rated above the lowest rating: normals 3, 3; localized
// targets 1, 2, 3.  Points (0,0) (1,1/3) (1,2/3) (1,2/3): PCL at FPF 1 is the
// first point reached there, and the area is that of the curve.
TEST(PclAt, SeveralPointsAtFpfOne)
{
    const std::vector<double> normal{3, 3};
    const std::vector<TargetRating> target{{1, true}, {2, true}, {3, true}};
    const std::vector<LrocPoint> curve = lroc_curve(rating_groups(normal, target));
    ASSERT_EQ(curve.size(), 4u);
    EXPECT_DOUBLE_EQ(curve[2].fpf, 1.0);
    EXPECT_DOUBLE_EQ(curve[2].pcl, 2.0 / 3.0);
    EXPECT_DOUBLE_EQ(value(fom("pcl@1"), normal, target), 1.0 / 3.0);
    EXPECT_DOUBLE_EQ(value(fom("pcl@0.5"), normal, target), 1.0 / 6.0);
    EXPECT_DOUBLE_EQ(value(fom("alroc@1"), normal, target), 1.0 / 6.0);
}

// The curve and PCL written out as the definition reads, threshold by
// threshold, for comparison on random tables.
double pcl_by_definition(const std::vector<double>& normal, const std::vector<TargetRating>& target,
                         double x)
{
    std::vector<double> thresholds = normal;
    for (const TargetRating& t : target) thresholds.push_back(t.rating);
    std::sort(thresholds.begin(), thresholds.end(), std::greater<>());
    thresholds.erase(std::unique(thresholds.begin(), thresholds.end()), thresholds.end());
    std::vector<LrocPoint> points;
    for (double c : thresholds) {
        double fp = 0, cl = 0;
        for (double n : normal) fp += n > c;
        for (const TargetRating& t : target) cl += t.localized && t.rating > c;
        points.push_back({fp / normal.size(), cl / target.size()});
    }
    points.push_back({1.0, points.back().pcl});
    double lx = -1, ly = -1, ux = 2, uy = 2;
    for (const LrocPoint& p : points) {
        if (p.fpf < x) {
            lx = std::max(lx, p.fpf);
            ly = std::max(ly, p.pcl);
        } else {
            ux = std::min(ux, p.fpf);
            uy = std::min(uy, p.pcl);
        }
    }
    return ly + (x - lx) * (uy - ly) / (ux - lx);
}

TEST(PclAt, AgreesWithTheDefinitionOnRandomTables)
{
    std::mt19937 gen(11);
    std::uniform_int_distribution<int> rating(1, 5), size(1, 12), coin(0, 1);
    const double fpfs[] = {0.05, 0.2, 0.25, 0.5, 1.0 / 3.0, 1.0};
    for (int trial = 0; trial < 300; ++trial) {
        std::vector<double> normal(size(gen));
        std::vector<TargetRating> target(size(gen));
        for (double& r : normal) r = rating(gen);
        for (TargetRating& t : target) t = {double(rating(gen)), coin(gen) == 1};
        for (double x : fpfs) {
            FomSpec f{FomKind::pcl, x};
            EXPECT_NEAR(value(f, normal, target), pcl_by_definition(normal, target, x), 1e-15)
                << "trial " << trial << " x " << x;
        }
    }
}

TEST(EmpiricalFom, RefusesWhatItCannotCompute)
{
    varnel::Expected<double> model = attempt(fom("model-auc"), {1}, {{2, true}});
    ASSERT_FALSE(model);
    EXPECT_NE(model.error().message.find("comes from model fits"), std::string::npos);
    varnel::Expected<double> empty = attempt(fom("wilcoxon"), {}, {{2, true}});
    ASSERT_FALSE(empty);
    EXPECT_NE(empty.error().message.find("at least one normal case and one target case"),
              std::string::npos);
    EXPECT_FALSE(attempt(fom("pcl@0.2"), {1}, {}));
    varnel::Expected<double> nan_rating = attempt(fom("wilcoxon"), {1, std::nan("")}, {{2, true}});
    ASSERT_FALSE(nan_rating);
    EXPECT_NE(nan_rating.error().message.find("finite"), std::string::npos);
    EXPECT_FALSE(attempt(fom("alroc@0.2"), {1}, {{INFINITY, true}}));
}

}  // namespace
