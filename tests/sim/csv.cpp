// What the drawn study's CSV says: bytes per seed, layout, levels, marks,
// and the designs that are refused.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <sstream>

#include "case_sim.h"

using namespace case_sim;

namespace {

std::vector<std::string> split(const std::string& s, char sep)
{
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(s);
    while (std::getline(in, part, sep)) parts.push_back(part);
    if (!s.empty() && s.back() == sep) parts.push_back("");
    return parts;
}

// Three readers, two modalities, three normal cases and target classes of
// two and one cases, with every component in play.
Design small_design()
{
    Design d;
    d.readers = 3;
    d.normal_cases = 3;
    d.target_cases = {2, 1};
    d.targets = {{{1.0, 1.0, 0.2}, {2.0, 0.9, 0.0}}, {{1.3, 1.2, 0.2}, {0.5, 1.0, 0.0}}};
    d.variance = {0.1, 0.1, 0.1, 0.1, 0.1};
    d.reader_shift = 1.0;
    d.seed = 42;
    return d;
}

}  // namespace

TEST(CsvText, SameSeedGivesTheSameBytesAnotherSeedOthers)
{
    Design d = small_design();
    const std::string first = csv_text(simulate(d));
    EXPECT_EQ(first, csv_text(simulate(d)));
    d.seed = 43;
    EXPECT_NE(first, csv_text(simulate(d)));
}

// Header, LF line ends, one row per reader x modality x case in that order,
// names, truth, ratings that read back to the same double, localized 0/1 on
// target rows and empty on normal rows.
TEST(CsvText, RowsFollowTheDrawnReadings)
{
    const Simulation sim = simulate(small_design());
    ASSERT_EQ(sim.error, "");
    const std::string text = csv_text(sim);
    EXPECT_EQ(text.find('\r'), std::string::npos);
    EXPECT_EQ(text.back(), '\n');
    const std::vector<std::string> lines = split(text.substr(0, text.size() - 1), '\n');
    ASSERT_EQ(lines.size(), 1 + 3 * 2 * 6u);
    EXPECT_EQ(lines[0], "reader,modality,case,truth,rating,localized");
    ASSERT_EQ(sim.readings.size(), lines.size() - 1);
    for (std::size_t i = 0; i < sim.readings.size(); ++i) {
        const Reading& x = sim.readings[i];
        const std::vector<std::string> f = split(lines[i + 1], ',');
        ASSERT_EQ(f.size(), 6u) << lines[i + 1];
        EXPECT_EQ(f[0], reader_name(static_cast<int>(i / 12)));
        EXPECT_EQ(f[1], modality_name(static_cast<int>(i / 6 % 2)));
        EXPECT_EQ(f[2], case_name(static_cast<int>(i % 6)));
        EXPECT_EQ(f[3], std::to_string(i % 6 < 3 ? 0 : i % 6 < 5 ? 1 : 2));
        EXPECT_EQ(std::strtod(f[4].c_str(), nullptr), x.rating) << f[4];
        EXPECT_EQ(f[5], x.truth == 0 ? "" : x.mark == Mark::correct ? "1" : "0");
    }
    EXPECT_EQ(lines[1].substr(0, 15), "R01,M1,C0001,0,");
    EXPECT_EQ(lines.back().substr(0, 15), "R03,M2,C0006,2,");
}

TEST(CsvText, RocOnlyWritesNoLocalizedColumn)
{
    Design d = small_design();
    d.roc_only = true;
    const std::vector<std::string> lines = split(csv_text(simulate(d)), '\n');
    EXPECT_EQ(lines[0], "reader,modality,case,truth,rating");
    for (std::size_t i = 1; i + 1 < lines.size(); ++i) EXPECT_EQ(split(lines[i], ',').size(), 5u);
}

TEST(CsvText, NamesWidenPastTheirMinimumDigits)
{
    EXPECT_EQ(reader_name(0), "R01");
    EXPECT_EQ(reader_name(99), "R100");
    EXPECT_EQ(modality_name(11), "M12");
    EXPECT_EQ(case_name(12344), "C12345");
}

// A rating on L levels is 1 + the number of thresholds below the continuous
// rating drawn with the same seed; the default thresholds spread an
// unshifted reader's normal cases evenly over the levels.
TEST(Levels, RatingIsTheLevelOfTheContinuousRating)
{
    Design d;
    d.readers = 1;
    d.modalities = 1;
    d.normal_cases = 10000;
    d.target_cases = {100};
    d.targets = same_targets(1, 1, {});
    const Simulation continuous = simulate(d);
    d.levels = 5;
    const Simulation five = simulate(d);
    ASSERT_EQ(five.thresholds.size(), 4u);
    std::vector<int> count(6, 0);
    for (std::size_t i = 0; i < five.readings.size(); ++i) {
        const double v = continuous.readings[i].rating;
        const int level = 1 + static_cast<int>(std::count_if(
                                  five.thresholds.begin(), five.thresholds.end(),
                                  [&](double t) { return t < v; }));
        EXPECT_EQ(five.readings[i].rating, level);
        if (five.readings[i].truth == 0) ++count[level];
    }
    const double se = std::sqrt(0.2 * 0.8 / d.normal_cases);
    for (int k = 1; k <= 5; ++k) EXPECT_NEAR(count[k] / 10000.0, 0.2, 4.5 * se) << "level " << k;

    d.levels = 3;
    d.thresholds = {0.0, 1.0};
    const Simulation three = simulate(d);
    for (std::size_t i = 0; i < three.readings.size(); ++i) {
        const double v = continuous.readings[i].rating;
        EXPECT_EQ(three.readings[i].rating, v <= 0.0 ? 1 : v <= 1.0 ? 2 : 3);
    }
}

// Target cases rated at or below the no-mark threshold have no mark; the
// others keep theirs, and normal cases never have one.
TEST(NoMark, TargetCasesAtOrBelowTheThresholdHaveNoMark)
{
    Design d = small_design();
    d.normal_cases = 200;
    d.target_cases = {200, 200};
    d.levels = 5;
    const Simulation marked = simulate(d);
    d.no_mark_at_or_below = 2.0;
    const Simulation sim = simulate(d);
    int unmarked = 0;
    for (std::size_t i = 0; i < sim.readings.size(); ++i) {
        const Reading& x = sim.readings[i];
        if (x.truth == 0 || x.rating <= 2.0) {
            EXPECT_EQ(x.mark, Mark::none);
            unmarked += x.truth > 0;
        } else {
            EXPECT_EQ(x.mark, marked.readings[i].mark);
        }
    }
    EXPECT_GT(unmarked, 0);
    EXPECT_NE(csv_text(sim).find(",2,\n"), std::string::npos);  // a level-2 target row, unmarked
}

// Each refused design names what is wrong.
TEST(DesignError, NamesTheProblem)
{
    using Change = std::function<void(Design&)>;
    const std::vector<std::pair<Change, std::string>> cases = {
        {[](Design& d) { d.readers = 0; }, "readers must be at least 1"},
        {[](Design& d) { d.targets.pop_back(); }, "cover 1 modalities; the study has 2"},
        {[](Design& d) { d.target_cases.push_back(4); }, "modality 1 cover 2 classes; the study has 3"},
        {[](Design& d) { d.target_cases.assign(16, 1); }, "1 to 15 target classes"},
        {[](Design& d) { d.targets[1][0].sigma = 0; }, "sigma of modality 2 class 1"},
        {[](Design& d) { d.targets[0][1].q = 1.5; }, "q of modality 1 class 2"},
        {[](Design& d) { d.variance = {0.5, 0.5, 0.1, 0, 0}; }, "sum to 1.1;"},
        {[](Design& d) { d.variance.mc = -0.1; }, "between 0 and 1"},
        {[](Design& d) { d.levels = 1; }, "levels must be 0"},
        {[](Design& d) { d.levels = 3, d.thresholds = {1.0}; }, "3 levels need 2"},
        {[](Design& d) { d.levels = 3, d.thresholds = {1.0, 1.0}; }, "strictly ascending"},
        {[](Design& d) { d.normal_cases = 0, d.target_cases = {0, 0}; }, "no cases"},
        {[](Design& d) { d.readers = 100000, d.normal_cases = 1000; }, "draw a smaller study"},
    };
    EXPECT_EQ(simulate(small_design()).error, "");
    for (const auto& [change, fragment] : cases) {
        Design d = small_design();
        change(d);
        const std::string error = simulate(d).error;
        EXPECT_NE(error.find(fragment), std::string::npos) << error << "\nexpected: " << fragment;
    }
}
