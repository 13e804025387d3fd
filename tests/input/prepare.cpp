// Category purge, fitting tables, data echo and the empty-target check.
#include <gtest/gtest.h>

#include <climits>
#include <optional>
#include <string>

#include "support/rating_tables.h"
#include "varnel/fit.h"
#include "varnel/report.h"

namespace {

using varnel::FitSettings;
using varnel::PreparedStudy;
using varnel::Study;

// A category label as the reader stores it: 16 characters, blank-padded.
std::string label(const std::string& text) { return text + std::string(16 - text.size(), ' '); }

// The study prepared for the fit; a refused study fails the test.
PreparedStudy prepared_for_fit(const Study& s, const FitSettings& settings = {})
{
    varnel::Expected<PreparedStudy> p = varnel::prepare(s, settings);
    if (!p.ok()) {
        ADD_FAILURE() << "prepare refused the study: " << p.error().message;
        return PreparedStudy{};
    }
    return *p;
}

std::string echo_of(const PreparedStudy& p)
{
    std::string text;
    varnel::output::Record record = varnel::output::string_record(text);
    varnel::output::Printer out(record);
    varnel::report::write_echo(out, p);
    return text;
}

// The first target without cases (counted from 1), 0 when every target has
// cases, -1 when the study is refused for another reason.
int empty_target(const Study& s)
{
    const std::optional<varnel::Error> fault = varnel::check_fittable(s);
    if (!fault)
        return 0;
    return fault->kind == varnel::ErrorKind::empty_target ? fault->number : -1;
}

// Six categories A..F, two target distributions; category c of distribution m
// holds the non-hit count 10 * c + m and the hit count 100 * c + m unless the
// category is listed as empty.
Study six_categories(int noloc, const std::string& empty)
{
    Study d = empty_study(6, 2, noloc);
    for (int c = 1; c <= 6; ++c) {
        d.labels[c - 1] = label(std::string(1, char('A' + c - 1)));
        if (empty.find(char('A' + c - 1)) != std::string::npos)
            continue;
        for (int m = 1; m <= 3; ++m) {
            d.incorrect(c, m) = 10 * c + m;
            d.correct(c, m) = 100 * c + m;
        }
    }
    return d;
}

TEST(Purge, EmptyCategoriesGoAndLabelsStayWithTheirCounts)
{
    struct purge_case {
        const char* empty;  // labels of the empty categories
        int noloc;
        int ncat_after;
        int noloc_after;
        const char* kept;   // labels left, in order
    };
    const purge_case cases[] = {
        {"", 2, 6, 2, "ABCDEF"},
        {"ACF", 2, 3, 1, "BDE"},    // both ends and the middle; A lies within noloc
        {"F", 2, 5, 2, "ABCDE"},    // the top only
        {"A", 0, 5, 0, "BCDEF"},    // the bottom only
        {"C", 3, 5, 2, "ABDEF"},    // within noloc: noloc drops
        {"E", 3, 5, 3, "ABCDF"},    // above noloc: noloc stays
        {"AB", 2, 4, 0, "CDEF"},    // every category without localization
        {"ABCDE", 6, 1, 1, "F"},    // one left: the run will stop
        {"ABCDEF", 6, 0, 0, ""},
    };
    for (const auto& pc : cases) {
        SCOPED_TRACE(std::string("empty: ") + pc.empty);
        const Study d = varnel::without_empty_categories(six_categories(pc.noloc, pc.empty));
        ASSERT_EQ(pc.ncat_after, d.categories);
        EXPECT_EQ(pc.noloc_after, d.noloc);
        const std::string kept = pc.kept;
        for (int i = 1; i <= d.categories; ++i) {
            const int c = kept[i - 1] - 'A' + 1;  // original category now at i
            EXPECT_EQ(std::string(1, kept[i - 1]) + std::string(15, ' '), d.labels[i - 1]);
            for (int m = 1; m <= 3; ++m) {
                EXPECT_EQ(10 * c + m, d.incorrect(i, m)) << "category " << i << " dist " << m;
                EXPECT_EQ(100 * c + m, d.correct(i, m)) << "category " << i << " dist " << m;
            }
        }
    }
}

TEST(Purge, CountsThatCancelMakeAnEmptyCategory)
{
    Study d = six_categories(0, "BC");
    d.incorrect(2, 2) = 3;    // B: 3 and -3 in the same distribution cancel
    d.correct(2, 2) = -3;
    d.incorrect(3, 1) = 3;    // C: 3 here and -3 elsewhere do not
    d.correct(3, 2) = -3;
    d.correct(4, 1) = INT_MAX;  // extreme counts neither overflow nor cancel
    d.incorrect(4, 1) = INT_MAX;
    d = varnel::without_empty_categories(d);
    ASSERT_EQ(5, d.categories);
    EXPECT_EQ('A', d.labels[0][0]);
    EXPECT_EQ('C', d.labels[1][0]);
    EXPECT_EQ(3, d.incorrect(2, 1));
    EXPECT_EQ('D', d.labels[2][0]);
    EXPECT_EQ(INT_MAX, d.correct(3, 1));
}

TEST(Setup, FitOrderPutsTheNonTargetDistributionLast)
{
    const PreparedStudy p = prepared_for_fit(six_categories(2, ""));
    const varnel::FitCounts& f = p.counts;
    // Targets 1 and 2 (input distributions 2 and 3), then the non-target.
    for (int j = 1; j <= 3; ++j) {
        const int m = j < 3 ? j + 1 : 1;
        double total = 0;
        for (int c = 1; c <= 6; ++c) {
            SCOPED_TRACE("category " + std::to_string(c) + " fit distribution " + std::to_string(j));
            total += 110 * c + 2 * m;
            const bool merged = j == 3 || c <= 2;
            EXPECT_EQ(merged ? 0.0 : 10 * c + m, f.incorrect(c, j));
            EXPECT_EQ(merged ? 110 * c + 2 * m : 100 * c + m, f.correct(c, j));
        }
        EXPECT_EQ(total, f.images[j - 1]);  // the merge keeps the number of images
    }
    // The input-order tables are merged the same way, for the echo.
    for (int m = 1; m <= 3; ++m) {
        for (int c = 1; c <= 6; ++c) {
            const bool merged = m == 1 || c <= 2;
            EXPECT_EQ(merged ? 0 : 10 * c + m, p.echo_incorrect(c, m));
            EXPECT_EQ(merged ? 110 * c + 2 * m : 100 * c + m, p.echo_correct(c, m));
        }
    }
}

TEST(Setup, OnlyAChanceValueOfExactlyOneMergesAWholeTarget)
{
    FitSettings settings;
    settings.chance[0] = 1.0;
    settings.chance[1] = 0.999;
    const PreparedStudy p = prepared_for_fit(six_categories(1, ""), settings);
    const varnel::FitCounts& f = p.counts;
    for (int c = 1; c <= 6; ++c) {
        SCOPED_TRACE("category " + std::to_string(c));
        EXPECT_EQ(0.0, f.incorrect(c, 1));                     // chance 1.0: all merged
        EXPECT_EQ(110.0 * c + 4, f.correct(c, 1));
        EXPECT_EQ(0, p.echo_incorrect(c, 2));
        EXPECT_EQ(110 * c + 4, p.echo_correct(c, 2));
        EXPECT_EQ(c <= 1 ? 0.0 : 10.0 * c + 3, f.incorrect(c, 2));  // chance 0.999: only noloc rows
        EXPECT_EQ(c <= 1 ? 0 : 10 * c + 3, p.echo_incorrect(c, 3));
    }
}

TEST(Setup, MergedCountsBeyondTheIntRangeStayExactInTheFitTables)
{
    Study d = empty_study(2, 1, 0);
    d.incorrect(1, 1) = INT_MAX;
    d.correct(1, 1) = 5;
    d.incorrect(2, 1) = INT_MIN;
    d.correct(2, 1) = -1;
    d.correct(1, 2) = d.correct(2, 2) = 1;
    const PreparedStudy p = prepared_for_fit(d);
    EXPECT_EQ(double(INT_MAX) + 5, p.counts.correct(1, 2));
    EXPECT_EQ(double(INT_MIN) - 1, p.counts.correct(2, 2));
    EXPECT_EQ(INT_MAX, p.echo_correct(1, 1));  // held at the int range for the echo
    EXPECT_EQ(INT_MIN, p.echo_correct(2, 1));
}

TEST(Echo, ExampleStudyByteForByte)
{
    const PreparedStudy p = prepared_for_fit(reader_a_study());
    const std::string expected = reader_a_echo();
    EXPECT_EQ(expected, echo_of(p));
    EXPECT_EQ(expected, echo_of(p)) << "a second echo writes the same text";
}

TEST(Echo, ChanceValuesTotalsAndWideCounts)
{
    Study d = empty_study(3, 2, 1);
    for (int i = 1; i <= 3; ++i)
        d.labels[i - 1] = label("Cat" + std::to_string(i));
    const int counts[3][2] = {{7, 8}, {123456, -5}, {99999, -1234}};
    for (int m = 1; m <= 3; ++m)
        for (int i = 1; i <= 3; ++i) {
            d.incorrect(i, m) = counts[i - 1][0];
            d.correct(i, m) = counts[i - 1][1];
        }
    FitSettings settings;
    settings.chance[0] = 1.0;
    settings.chance[1] = 0.25;
    const std::string out = echo_of(prepared_for_fit(d, settings));
    const std::string label = std::string(12, ' ');
    const std::string expected_tail =
        " Chance Correct Location (qset) values:\n"
        "       1       2\n"
        "     1.000   0.250\n"
        "\n"
        " DISTRIBUTION:  0   Non-target distribution\n"
        "            Rating               Frequency\n"
        "Cat1" + label + std::string(18, ' ') + "   15\n"
        "Cat2" + label + std::string(18, ' ') + "*****\n"
        "Cat3" + label + std::string(18, ' ') + "98765\n"
        " DISTRIBUTION:  1   Target distribution\n"
        "            Rating      Non-hit     Hit\n"
        "Cat1" + label + std::string(18, ' ') + "   15\n"
        "Cat2" + label + std::string(18, ' ') + "*****\n"
        "Cat3" + label + std::string(18, ' ') + "98765\n"
        " DISTRIBUTION:  2   Target distribution\n"
        "            Rating      Non-hit     Hit\n"
        "Cat1" + label + std::string(18, ' ') + "   15\n"
        "Cat2" + label + std::string(7, ' ') + "*****" + std::string(6, ' ') + "   -5\n"
        "Cat3" + label + std::string(7, ' ') + "99999" + std::string(6, ' ') + "-1234\n";
    ASSERT_GE(out.size(), expected_tail.size());
    EXPECT_EQ(expected_tail, out.substr(out.size() - expected_tail.size()));
}

TEST(Echo, NoTargetDistributionGivesAnEmptyTargetLineAndTwoBlanks)
{
    Study d = empty_study(2, 0, 0);
    d.correct(1, 1) = 3;
    d.correct(2, 1) = 4;
    const std::string out = echo_of(prepared_for_fit(d));
    EXPECT_NE(std::string::npos,
              out.find(" NDIST: 0    Number of target distributions\n"
                       " NCAT:  2    Number of rating categories\n"
                       " NOLOC: 0    Number of categories without localization\n"
                       "\n"
                       " Chance Correct Location (qset) values:\n"
                       "\n"
                       "  \n"
                       "\n"
                       " DISTRIBUTION:  0   Non-target distribution\n"))
        << out;
}

TEST(EmptyTarget, FirstTargetWithoutCasesCountedFromOne)
{
    struct target_case {
        const char* name;
        int blank_dist;   // input distribution left without counts (0: none)
        int blank_dist2;
        int expected;
    };
    const target_case cases[] = {
        {"every target has cases", 0, 0, 0},
        {"the non-target distribution may be empty", 1, 0, 0},
        {"first target", 2, 0, 1},
        {"last target", 4, 0, 3},
        {"the first of two", 4, 3, 2},
    };
    for (const auto& tc : cases) {
        SCOPED_TRACE(tc.name);
        Study d = empty_study(3, 3, 0);
        for (int m = 1; m <= 4; ++m) {
            if (m == tc.blank_dist || m == tc.blank_dist2)
                continue;
            d.correct(3, m) = 1;  // a single case in the top category is enough
        }
        EXPECT_EQ(tc.expected, empty_target(d));
    }
    // Counts that cancel are still cases that were read.
    Study d = empty_study(2, 1, 0);
    d.correct(1, 1) = 1;
    d.incorrect(2, 2) = 3;
    d.correct(2, 2) = -3;
    EXPECT_EQ(0, empty_target(d));
}

// 17 categories and 15 targets fill every table.
TEST(FullCapacity, PurgeSetupAndEchoStayInsideTheTables)
{
    Study study = empty_study(17, 15, 3);
    study.observer = study.condition = study.replication = "x";
    for (int i = 1; i <= 17; ++i) {
        study.labels[i - 1] = label("L" + std::to_string(i));
        for (int m = 1; m <= 16; ++m) {
            const bool empty = i == 2 || i == 17;
            study.incorrect(i, m) = empty ? 0 : i;
            study.correct(i, m) = empty ? 0 : m;
        }
    }
    FitSettings settings;
    for (int t = 1; t <= 15; ++t)
        settings.chance[t - 1] = t == 15 ? 1.0 : 0.5;

    const Study purged = varnel::without_empty_categories(study);
    ASSERT_EQ(15, purged.categories);
    EXPECT_EQ(2, purged.noloc);
    EXPECT_EQ(0, empty_target(purged));
    EXPECT_EQ("L15" + std::string(13, ' '), purged.labels[13]);  // old 15, one place down
    EXPECT_EQ(15, purged.incorrect(14, 16));

    const PreparedStudy p = prepared_for_fit(study, settings);
    const varnel::FitCounts& f = p.counts;
    // Target 15 (chance 1.0) and the non-target distribution are merged whole.
    EXPECT_EQ(0.0, f.incorrect(15, 15));
    EXPECT_EQ(16.0 + 16, f.correct(15, 15));
    EXPECT_EQ(0.0, f.incorrect(15, 16));
    EXPECT_EQ(16.0 + 1, f.correct(15, 16));
    EXPECT_EQ(15.0, f.incorrect(14, 14));  // category 14 holds old category 15
    double images = 0;
    for (int i = 1; i <= 15; ++i)
        images += f.correct(i, 1) + f.incorrect(i, 1);
    EXPECT_EQ(images, f.images[0]);

    const std::string out = echo_of(p);
    EXPECT_NE(std::string::npos, out.find(" NDIST:15    Number of target distributions\n"));
    EXPECT_NE(std::string::npos,
              out.find("     0.500   0.500   0.500   0.500   0.500   0.500   0.500   0.500"
                       "   0.500   0.500   0.500   0.500   0.500   0.500   1.000\n"));
    EXPECT_NE(std::string::npos, out.find(" DISTRIBUTION: 15   Target distribution\n"));
    // Last row of the last target: merged (chance value 1.0), total 16 + 16.
    const std::string last = "L16" + std::string(13, ' ') + std::string(18, ' ') + "   32\n";
    ASSERT_GE(out.size(), last.size());
    EXPECT_EQ(last, out.substr(out.size() - last.size()));
}

}  // namespace
