// Binning into rating categories: each rule, NOLOC per table, the mixing
// errors and leave-one-out, with counts checked against hand-counted studies.
#include "varnel/binning.h"

#include <map>

#include <gtest/gtest.h>

#include "sim/case_sim.h"
#include "support/helpers.h"

namespace {

using namespace varnel::study;
using study_test::study_from;

// Non-zero cells of a table, column by column: "c(k,m)=n" for correct(k, m),
// "i(k,m)=n" for incorrect(k, m).
std::string cells(const varnel::Study& s)
{
    std::string text;
    for (int m = 1; m <= s.targets + 1; ++m)
        for (int k = 1; k <= s.categories; ++k)
            for (const auto& [tag, table] :
                 {std::pair{'c', &s.correct}, std::pair{'i', &s.incorrect}})
                if (const int n = (*table)(k, m); n != 0)
                    text += std::string(text.empty() ? "" : " ") + tag + "(" + std::to_string(k) +
                            "," + std::to_string(m) + ")=" + std::to_string(n);
    return text;
}

// One reader and modality, one case per rating; the cases in `targets`
// (indices) have truth 1 and the localization given there ("" none).
CaseStudy ladder(const std::vector<double>& ratings, const std::map<int, std::string>& targets = {})
{
    std::string csv = "reader,modality,case,truth,rating,localized\n";
    for (std::size_t i = 0; i < ratings.size(); ++i) {
        const auto t = targets.find(static_cast<int>(i));
        csv += "R,A,c" + std::to_string(i) + "," + (t == targets.end() ? "0," : "1,") +
               std::to_string(ratings[i]) + "," + (t == targets.end() ? "" : t->second) + "\n";
    }
    return study_from(csv);
}

std::vector<double> one_to(int n)
{
    std::vector<double> r;
    for (int i = 1; i <= n; ++i)
        r.push_back(i);
    return r;
}

Binning binning_of(const CaseStudy& s, const BinningOptions& o = {})
{
    varnel::Expected<Binning> b = make_binning(s, o);
    EXPECT_TRUE(b.ok()) << (b.ok() ? "" : b.error().message);
    return b.ok() ? *b : Binning{};
}

std::string error_of(const CaseStudy& s, const BinningOptions& o = {})
{
    varnel::Expected<BinnedStudy> b = bin_study(s, o);
    return b.ok() ? "(binned)" : b.error().message;
}

TEST(BinningTables, HandCountedLrocStudyWithNolocPerTable)
{
    varnel::Expected<BinnedStudy> b = bin_study(study_from(study_test::two_reader_lroc_csv), {});
    ASSERT_TRUE(b.ok()) << b.error().message;
    EXPECT_EQ(b->binning.rule, BinningRule::distinct_ratings);
    ASSERT_EQ(b->tables.size(), 4u);
    const varnel::Study& r1a = b->tables[0];
    EXPECT_EQ(r1a.observer, "R1");
    EXPECT_EQ(r1a.condition, "A");
    EXPECT_EQ(r1a.replication, "1");
    EXPECT_EQ(r1a.targets, 2);
    EXPECT_EQ(r1a.categories, 5);
    EXPECT_EQ(b->tables[1].observer + b->tables[1].condition, "R1B");  // reader-major
    EXPECT_EQ(b->tables[2].observer + b->tables[2].condition, "R2A");

    EXPECT_EQ(cells(r1a), "c(1,1)=1 c(2,1)=1 c(2,2)=1 i(5,2)=1 c(4,3)=1");
    EXPECT_EQ(cells(b->tables[1]), "c(1,1)=1 c(3,1)=1 c(1,2)=1 c(5,2)=1 i(5,3)=1");
    EXPECT_EQ(cells(b->tables[2]), "c(1,1)=2 c(3,2)=1 c(5,2)=1 c(4,3)=1");
    EXPECT_EQ(cells(b->tables[3]), "c(4,1)=1 c(5,1)=1 c(1,2)=1 i(3,2)=1 c(2,3)=1");
    // NOLOC: up to each table's highest target reading without localization
    // (R1 A: rating 2, category 3 holds no target; R1 B: rating 1), all
    // categories without any localized one (R2 A), 0 without any unlocalized
    // one (R2 B).
    EXPECT_EQ(r1a.noloc, 2);
    EXPECT_EQ(b->tables[1].noloc, 1);
    EXPECT_EQ(b->tables[2].noloc, 5);
    EXPECT_EQ(b->tables[3].noloc, 0);
}

// One table, one category per rating 1 to 6, hand-counted: NOLOC ends with
// the highest category that holds a target without localization.
TEST(BinningTables, NolocEndsWithTheHighestUnlocalizedTargetCategory)
{
    const auto noloc = [](const std::map<int, std::string>& targets) {
        varnel::Expected<BinnedStudy> b = bin_study(ladder(one_to(6), targets), {});
        EXPECT_TRUE(b.ok()) << (b.ok() ? "" : b.error().message);
        return b.ok() ? b->tables[0].noloc : -1;
    };
    // Category 2 holds no target: localization is recorded from it on.
    EXPECT_EQ(noloc({{0, ""}, {2, "1"}, {4, "0"}}), 1);
    EXPECT_EQ(noloc({{0, ""}, {1, ""}, {3, "1"}}), 2);
    // Every target localized, none in categories 1 and 2.
    EXPECT_EQ(noloc({{2, "1"}, {3, "0"}}), 0);
    // No target localized (ROC data), none in categories 4 to 6.
    EXPECT_EQ(noloc({{0, ""}, {2, ""}}), 6);

    // Leaving out the only target of category NOLOC lowers it to the next
    // category down with an unlocalized target, or to 0; leaving out the
    // only localized target makes the table ROC data.
    const CaseStudy s = ladder(one_to(6), {{0, ""}, {2, ""}, {4, "1"}});
    const Binning b = binning_of(s);
    varnel::Expected<std::vector<varnel::Study>> full = make_tables(s, b);
    ASSERT_TRUE(full.ok()) << full.error().message;
    EXPECT_EQ((*full)[0].noloc, 3);
    const std::vector<std::pair<int, int>> left_out_noloc{{2, 1}, {0, 3}, {4, 6}, {1, 3}};
    for (const auto& [c, expected] : left_out_noloc) {
        varnel::Expected<std::vector<varnel::Study>> without = make_tables_without_case(s, b, c);
        ASSERT_TRUE(without.ok()) << without.error().message;
        EXPECT_EQ((*without)[0].noloc, expected) << "case " << c;
        EXPECT_EQ(table_without((*full)[0], cell_of(s, b, s.readings[c])).noloc, expected)
            << "case " << c;
    }
    const CaseStudy low = ladder(one_to(6), {{0, ""}, {4, "1"}});
    varnel::Expected<std::vector<varnel::Study>> without_low = make_tables_without_case(low, b, 0);
    ASSERT_TRUE(without_low.ok()) << without_low.error().message;
    EXPECT_EQ((*without_low)[0].noloc, 0);
}

TEST(BinningTables, LeaveOneOutKeepsTheFullStudysCategories)
{
    const CaseStudy s = study_from(study_test::two_reader_lroc_csv);
    const Binning full = binning_of(s);
    varnel::Expected<std::vector<varnel::Study>> without_t2 = make_tables_without_case(s, full, 3);
    ASSERT_TRUE(without_t2.ok()) << without_t2.error().message;
    const varnel::Study& r1a = (*without_t2)[0];
    EXPECT_EQ(cells(r1a), "c(1,1)=1 c(2,1)=1 c(2,2)=1 i(5,2)=1");
    EXPECT_EQ(r1a.noloc, 2);    // its highest unlocalized target is still at 2
    EXPECT_EQ(r1a.targets, 2);  // class 2 has no case left but stays

    // The only rating 3 left out: category 3 stays, empty.
    const CaseStudy three = ladder({1, 2, 3, 1, 2});
    varnel::Expected<std::vector<varnel::Study>> t =
        make_tables_without_case(three, binning_of(three), 2);
    ASSERT_TRUE(t.ok()) << t.error().message;
    EXPECT_EQ((*t)[0].categories, 3);
    EXPECT_EQ(cells((*t)[0]), "c(1,1)=2 c(2,1)=2");
    EXPECT_EQ(make_tables_without_case(three, binning_of(three), 5).error().message,
              "t.csv: case index 5 is outside the study's 5 cases");
}

// Everything a table holds, for comparing two tables.
std::string table_text(const varnel::Study& s)
{
    std::string text = s.observer + "|" + s.condition + "|" + s.replication + "|targets " +
                       std::to_string(s.targets) + "|categories " + std::to_string(s.categories) +
                       "|noloc " + std::to_string(s.noloc) + "|";
    for (const std::string& label : s.labels)
        text += label + ",";
    // Every count, also those outside the table's categories and targets.
    for (const auto& [tag, t] : {std::pair{'c', &s.correct}, std::pair{'i', &s.incorrect}})
        for (std::size_t j = 0; j < std::size(t->v); ++j)
            if (t->v[j] != 0)
                text += " " + std::string(1, tag) + std::to_string(j) + "=" +
                        std::to_string(t->v[j]);
    return text;
}

// Each table without each reading in turn, from the table alone, is the
// table make_tables_without_case makes for that reading's case.
void expect_tables_without_each_reading(const CaseStudy& s, const Binning& b)
{
    varnel::Expected<std::vector<varnel::Study>> full = make_tables(s, b);
    ASSERT_TRUE(full.ok()) << full.error().message;
    const int modalities = static_cast<int>(s.modalities.size());
    for (int c = 0; c < static_cast<int>(s.cases.size()); ++c) {
        varnel::Expected<std::vector<varnel::Study>> without = make_tables_without_case(s, b, c);
        ASSERT_TRUE(without.ok()) << without.error().message;
        for (const Reading& r : s.readings) {
            if (r.case_index != c)
                continue;
            const std::size_t t = static_cast<std::size_t>(r.reader) * modalities + r.modality;
            EXPECT_EQ(table_text(table_without((*full)[t], cell_of(s, b, r))),
                      table_text((*without)[t]))
                << s.source << ": case " << s.cases[c] << ", table " << t;
        }
    }
}

TEST(BinningTables, ATableWithoutOneReadingIsTheLeaveOneOutTable)
{
    // Hand-counted tables with NOLOC 2, 1, 5 and 0.
    const CaseStudy two = study_from(study_test::two_reader_lroc_csv);
    expect_tables_without_each_reading(two, binning_of(two));
    // Its reader R1 in modality A without t2 (class 2, correctly localized
    // at rating 4): NOLOC stays 2.
    varnel::Expected<std::vector<varnel::Study>> r1a = make_tables(two, binning_of(two));
    ASSERT_TRUE(r1a.ok());
    const Cell t2{4, 3, Localization::correct};
    EXPECT_EQ(cell_of(two, binning_of(two), two.readings[3]), t2);
    const varnel::Study without_t2 = table_without((*r1a)[0], t2);
    EXPECT_EQ(cells(without_t2), "c(1,1)=1 c(2,1)=1 c(2,2)=1 i(5,2)=1");
    EXPECT_EQ(without_t2.noloc, 2);

    // ROC data with cutpoints that leave categories empty.
    const CaseStudy roc = ladder({1, 2, 3, 4, 5, 6, 7, 8}, {{1, ""}, {4, ""}, {7, ""}});
    expect_tables_without_each_reading(roc, binning_of(roc, {{0.5, 2.5, 4.5, 6.5, 9}, 10}));
    // Every target localized, none in the lowest categories.
    const CaseStudy localized = ladder({1, 2, 3, 4, 5, 6}, {{3, "1"}, {4, "0"}, {5, "1"}});
    expect_tables_without_each_reading(localized, binning_of(localized));

    // A drawn study: three readers, two modalities, two target classes,
    // target ratings at or below -0.3 unmarked; quantile categories with the
    // no-localization group, and cutpoints above it.
    case_sim::Design d;
    d.readers = 3;
    d.modalities = 2;
    d.normal_cases = 15;
    d.target_cases = {12, 8};
    d.targets = case_sim::same_targets(2, 2, {1.2, 1.0, 0.2});
    d.no_mark_at_or_below = -0.3;
    d.seed = 3;
    const case_sim::Simulation sim = case_sim::simulate(d);
    ASSERT_TRUE(sim.error.empty()) << sim.error;
    const CaseStudy drawn = study_from(case_sim::csv_text(sim));
    const Binning quantiles = binning_of(drawn, {{}, 5});
    ASSERT_TRUE(quantiles.noloc_group);
    expect_tables_without_each_reading(drawn, quantiles);
    expect_tables_without_each_reading(
        drawn, binning_of(drawn, {{quantiles.upper[0], quantiles.upper[0] + 0.4, 1.0, 2.0}, 10}));
}

TEST(BinningTables, TargetClassesUpToTheHighestTruthStayInEvenWithoutCases)
{
    varnel::Expected<BinnedStudy> b = bin_study(study_from("reader,modality,case,truth,rating\n"
                                                           "R,A,a,1,1\nR,A,b,3,2\nR,A,c,0,1\n"),
                                                {});
    ASSERT_TRUE(b.ok()) << b.error().message;
    EXPECT_EQ(b->tables[0].targets, 3);
    EXPECT_EQ(b->tables[0].noloc, 2);  // no localization column: ROC data
    EXPECT_EQ(cells(b->tables[0]), "c(1,1)=1 c(1,2)=1 c(2,4)=1");
}

TEST(BinningRules, CutpointsBoundCategoriesFromAboveAndEmptyOnesStay)
{
    const CaseStudy s = ladder({1, 1.5, 1.6, 2.5, 7});
    const Binning b = binning_of(s, {{1.5, 2.5, 5}, 10});
    EXPECT_EQ(b.rule, BinningRule::cutpoints);
    EXPECT_EQ(b.labels, (std::vector<std::string>{"<=1.5", "(1.5,2.5]", "(2.5,5]", ">5"}));
    EXPECT_EQ(category_of(b, 1.5), 1);
    EXPECT_EQ(category_of(b, 1.5000001), 2);
    EXPECT_EQ(category_of(b, 2.5), 2);
    EXPECT_EQ(category_of(b, 5.1), 4);
    varnel::Expected<std::vector<varnel::Study>> t = make_tables(s, b);
    ASSERT_TRUE(t.ok()) << t.error().message;
    EXPECT_EQ((*t)[0].categories, 4);
    EXPECT_EQ(cells((*t)[0]), "c(1,1)=2 c(2,1)=2 c(4,1)=1");
}

TEST(BinningRules, OneCategoryPerDistinctRatingUpTo17)
{
    std::vector<double> r = one_to(17);
    r.push_back(0.30000000000000004);
    r.erase(r.begin());  // 17 distinct ratings
    const Binning b = binning_of(ladder(r), {{}, 4});
    EXPECT_EQ(b.rule, BinningRule::distinct_ratings);
    ASSERT_EQ(b.categories(), 17);
    EXPECT_EQ(b.labels[0], "0.3");  // the exact text has 19 characters
    EXPECT_EQ(b.labels[16], "17");
    EXPECT_EQ(error_of(ladder({3, 3, 3})),
              "t.csv: every rating is 3; rating categories need at least two different ratings");
}

TEST(BinningRules, QuantilesOfAllRatingsNeverSplitTies)
{
    const Binning even = binning_of(ladder(one_to(40)), {{}, 4});
    EXPECT_EQ(even.rule, BinningRule::quantiles);
    EXPECT_EQ(even.upper, (std::vector<double>{10, 20, 30}));
    EXPECT_EQ(even.labels, (std::vector<std::string>{"<=10", "(10,20]", "(20,30]", ">30"}));

    // 18 ratings and 60 more at 2 (78 in all): the quartiles 19.5, 39 and
    // 58.5 fall nearest after rating 1 (1 reading), 2 (61) and 2 again, so the
    // last two cuts meet and three categories remain.
    std::vector<double> tied = one_to(18);
    tied.insert(tied.end(), 60, 2.0);
    const Binning merged = binning_of(ladder(tied), {{}, 4});
    EXPECT_EQ(merged.upper, (std::vector<double>{1, 2}));
    EXPECT_EQ(merged.labels, (std::vector<std::string>{"<=1", "(1,2]", ">2"}));

    // Without any localization the study is ROC data: NOLOC = categories.
    varnel::Expected<BinnedStudy> roc = bin_study(ladder(one_to(40), {{3, ""}, {30, ""}}), {{}, 4});
    ASSERT_TRUE(roc.ok()) << roc.error().message;
    EXPECT_EQ(roc->tables[0].noloc, 4);
}

TEST(BinningRules, UnlocalizedTargetRatingsFormTheLowestQuantileCategory)
{
    // Ratings 1 to 30; targets at 3 and 5 without localization, at 10, 20 and
    // 30 with.  Category 1 holds ratings <= 5; ratings 6 to 30 (25) are cut
    // nearest their terciles 8.33 and 16.67: after 13 (8 readings) and 22 (17).
    const std::map<int, std::string> targets{{2, ""}, {4, ""}, {9, "1"}, {19, "0"}, {29, "1"}};
    varnel::Expected<BinnedStudy> b = bin_study(ladder(one_to(30), targets), {{}, 4});
    ASSERT_TRUE(b.ok()) << b.error().message;
    EXPECT_TRUE(b->binning.noloc_group);
    EXPECT_EQ(b->binning.labels, (std::vector<std::string>{"<=5", "(5,13]", "(13,22]", ">22"}));
    EXPECT_EQ(b->tables[0].noloc, 1);
    EXPECT_EQ(cells(b->tables[0]),
              "c(1,1)=3 c(2,1)=7 c(3,1)=8 c(4,1)=7 c(1,2)=2 c(2,2)=1 i(3,2)=1 c(4,2)=1");

    std::map<int, std::string> low = targets;
    low[3] = "1";  // a localized target at rating 4 on line 5
    EXPECT_EQ(error_of(ladder(one_to(30), low), {{}, 4}),
              "t.csv:5: reader \"R\", modality \"A\", case \"c3\" is localized at rating 4, not "
              "above the highest "
              "target rating without localization (5, line 6), which the lowest category holds; "
              "give --cutpoints "
              "that keep the target ratings without localization below those with it");
}

TEST(BinningRules, LabelsFitSixteenCharacters)
{
    const Binning b = binning_of(ladder({1, 2}), {{1e-5, 0.30000000000000004, 123456.789}, 10});
    EXPECT_EQ(b.labels, (std::vector<std::string>{"<=1e-5", "(1e-5,0.3]", "(0.3,123456.789]",
                                                  ">123456.789"}));
    const Binning tiny = binning_of(ladder({1, 2}), {{-1.2345678901234e-300, -1.1e-300}, 10});
    // Digits dropped to fit; a middle category whose two bounds cannot share
    // 16 characters shows its upper bound alone.
    EXPECT_EQ(tiny.labels,
              (std::vector<std::string>{"<=-1.234568e-300", "<=-1.1e-300", ">-1.1e-300"}));
}

TEST(BinningErrors, OptionsOutsideTheirLimits)
{
    const CaseStudy s = ladder({1, 2});
    EXPECT_EQ(error_of(s, {{}, 1}), "categories 1 is outside 2 to 17");
    EXPECT_EQ(error_of(s, {{}, 18}), "categories 18 is outside 2 to 17");
    EXPECT_EQ(error_of(s, {{1, 1}, 10}),
              "cutpoint 2 (1) is not above cutpoint 1 (1); cutpoints must increase");
    EXPECT_EQ(error_of(s, {{2, 1}, 10}),
              "cutpoint 2 (1) is not above cutpoint 1 (2); cutpoints must increase");
    EXPECT_EQ(error_of(s, {{1, std::numeric_limits<double>::infinity()}, 10}),
              "cutpoint 2 (inf) is not a finite number");
    EXPECT_EQ(error_of(s, {{std::numeric_limits<double>::quiet_NaN()}, 10}),
              "cutpoint 1 (nan) is not a finite number");
    const std::vector<double> seventeen = one_to(17);
    EXPECT_EQ(error_of(s, {seventeen, 10}), "17 cutpoints given; at most 16 (17 categories)");
    EXPECT_EQ(error_of(s, {{one_to(16)}, 10}), "(binned)");
}

TEST(BinningErrors, CategoriesMixingTargetsWithAndWithoutLocalization)
{
    const std::string hint =
        "; give --cutpoints that keep the target ratings without localization below those with it";
    const std::string head = "reader,modality,case,truth,rating,localized\nR1,A,n,0,1,\n";
    EXPECT_EQ(error_of(study_from(head + "R1,A,t1,1,4,\nR1,A,t2,1,4,1\n")),
              "t.csv: reader \"R1\", modality \"A\": category 2 \"4\" has target cases with "
              "localization (line 4) and "
              "without (line 3)" +
                  hint);
    EXPECT_EQ(error_of(study_from(head + "R1,A,t1,1,2,0\nR1,A,t2,1,3,\n")),
              "t.csv: reader \"R1\", modality \"A\": category 3 \"3\" has target cases without "
              "localization (line 4) "
              "above category 2 \"2\" with localization (line 3)" +
                  hint);
    // With cutpoints that merge the two ratings the mix is in one category.
    EXPECT_EQ(error_of(study_from(head + "R1,A,t1,1,2,0\nR1,A,t2,1,3,\n"), {{1.5}, 10}),
              "t.csv: reader \"R1\", modality \"A\": category 2 \">1.5\" has target cases with "
              "localization (line 3) "
              "and without (line 4)" +
                  hint);
}

TEST(BinningErrors, StudiesTheTablesCannotHold)
{
    EXPECT_EQ(error_of(study_from(
                  "reader,modality,case,truth,rating\nR1,A,a,0,1\nR1,B,a,0,2\nR2,A,a,0,3\n")),
              "t.csv: reader \"R2\" has no ratings in modality \"B\"; every reader rates the cases "
              "in every modality");
    CaseStudy s = ladder({1, 2});
    s.truth[0] = 16;  // made in memory, past the reader's checks
    EXPECT_EQ(error_of(s),
              "t.csv: case \"c0\" has truth 16; the tables hold target classes 1 to 15");
    s.truth[0] = 0;
    s.readings[1].case_index = 7;
    EXPECT_EQ(error_of(s),
              "t.csv: line 3: a reading refers to a reader, modality or case that is not listed");
}

}  // namespace
