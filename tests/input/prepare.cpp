// Category purge, fitting tables, data echo and the empty-target check.
#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>

#include "input/confu.h"
#include "model/lroc_common.h"
#include "output/io_routs.h"
#include "support/console_capture.h"
#include "support/rating_tables.h"

namespace {

constexpr int console = 6;

std::string echo_of(const rating_data& d)
{
    return run_with_console("", [&] {
        wrtlroc_(console, d.obsvr, d.cond, d.inum, d.rating, d.freqnon, d.freq);
    });
}

// Six categories A..F, two target distributions; category c of distribution m
// holds the non-hit count 10 * c + m and the hit count 100 * c + m unless the
// category is listed as empty.
void load_six(rating_data& d, int noloc, const std::string& empty)
{
    reset_run(d, 6, 2, noloc);
    for (int c = 1; c <= 6; ++c) {
        set_field(d.rating[c - 1], sizeof(label_field), std::string(1, char('A' + c - 1)));
        if (empty.find(char('A' + c - 1)) != std::string::npos)
            continue;
        for (int m = 1; m <= 3; ++m) {
            d.freqnon(c, m) = 10 * c + m;
            d.freq(c, m) = 100 * c + m;
        }
    }
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
        rating_data d;
        load_six(d, pc.noloc, pc.empty);
        purgconfu_(d.freqnon, d.freq, d.rating);
        ASSERT_EQ(pc.ncat_after, globals_.ncat);
        EXPECT_EQ(pc.noloc_after, globals_.noloc);
        const std::string kept = pc.kept;
        for (int i = 1; i <= globals_.ncat; ++i) {
            const int c = kept[i - 1] - 'A' + 1;  // original category now at i
            EXPECT_EQ(std::string(1, kept[i - 1]) + std::string(15, ' '), label_of(d.rating, i));
            for (int m = 1; m <= 3; ++m) {
                EXPECT_EQ(10 * c + m, d.freqnon(i, m)) << "category " << i << " dist " << m;
                EXPECT_EQ(100 * c + m, d.freq(i, m)) << "category " << i << " dist " << m;
            }
        }
    }
}

TEST(Purge, CountsThatCancelMakeAnEmptyCategory)
{
    rating_data d;
    load_six(d, 0, "BC");
    d.freqnon(2, 2) = 3;    // B: 3 and -3 in the same distribution cancel
    d.freq(2, 2) = -3;
    d.freqnon(3, 1) = 3;    // C: 3 here and -3 elsewhere do not
    d.freq(3, 2) = -3;
    d.freq(4, 1) = INT_MAX;  // extreme counts neither overflow nor cancel
    d.freqnon(4, 1) = INT_MAX;
    purgconfu_(d.freqnon, d.freq, d.rating);
    ASSERT_EQ(5, globals_.ncat);
    EXPECT_EQ('A', d.rating[0][0]);
    EXPECT_EQ('C', d.rating[1][0]);
    EXPECT_EQ(3, d.freqnon(2, 1));
    EXPECT_EQ('D', d.rating[2][0]);
    EXPECT_EQ(INT_MAX, d.freq(3, 1));
}

TEST(Setup, FitOrderPutsTheNonTargetDistributionLast)
{
    rating_data d;
    load_six(d, 2, "");
    ftable freqe{}, freqc{};
    double xnstim[16] = {};
    setupconfu_(d.freqnon, d.freq, freqe, freqc, xnstim);
    // Targets 1 and 2 (input distributions 2 and 3), then the non-target.
    for (int j = 1; j <= 3; ++j) {
        const int m = j < 3 ? j + 1 : 1;
        double total = 0;
        for (int c = 1; c <= 6; ++c) {
            SCOPED_TRACE("category " + std::to_string(c) + " fit distribution " + std::to_string(j));
            total += 110 * c + 2 * m;
            const bool merged = j == 3 || c <= 2;
            EXPECT_EQ(merged ? 0.0 : 10 * c + m, freqe(c, j));
            EXPECT_EQ(merged ? 110 * c + 2 * m : 100 * c + m, freqc(c, j));
        }
        EXPECT_EQ(total, xnstim[j - 1]);  // the merge keeps the number of images
    }
    // The input-order tables are merged the same way, for the echo.
    for (int m = 1; m <= 3; ++m) {
        for (int c = 1; c <= 6; ++c) {
            const bool merged = m == 1 || c <= 2;
            EXPECT_EQ(merged ? 0 : 10 * c + m, d.freqnon(c, m));
            EXPECT_EQ(merged ? 110 * c + 2 * m : 100 * c + m, d.freq(c, m));
        }
    }
}

TEST(Setup, OnlyAChanceValueOfExactlyOneMergesAWholeTarget)
{
    rating_data d;
    load_six(d, 1, "");
    qset(1) = 1.0;
    qset(2) = 0.999;
    ftable freqe{}, freqc{};
    double xnstim[16] = {};
    setupconfu_(d.freqnon, d.freq, freqe, freqc, xnstim);
    for (int c = 1; c <= 6; ++c) {
        SCOPED_TRACE("category " + std::to_string(c));
        EXPECT_EQ(0.0, freqe(c, 1));                     // qset 1.0: all merged
        EXPECT_EQ(110.0 * c + 4, freqc(c, 1));
        EXPECT_EQ(0, d.freqnon(c, 2));
        EXPECT_EQ(110 * c + 4, d.freq(c, 2));
        EXPECT_EQ(c <= 1 ? 0.0 : 10.0 * c + 3, freqe(c, 2));  // qset 0.999: only noloc rows
        EXPECT_EQ(c <= 1 ? 0 : 10 * c + 3, d.freqnon(c, 3));
    }
}

TEST(Setup, MergedCountsBeyondTheIntRangeStayExactInTheFitTables)
{
    rating_data d;
    reset_run(d, 2, 1, 0);
    d.freqnon(1, 1) = INT_MAX;
    d.freq(1, 1) = 5;
    d.freqnon(2, 1) = INT_MIN;
    d.freq(2, 1) = -1;
    d.freq(1, 2) = d.freq(2, 2) = 1;
    ftable freqe{}, freqc{};
    double xnstim[16] = {};
    setupconfu_(d.freqnon, d.freq, freqe, freqc, xnstim);
    EXPECT_EQ(double(INT_MAX) + 5, freqc(1, 2));
    EXPECT_EQ(double(INT_MIN) - 1, freqc(2, 2));
    EXPECT_EQ(INT_MAX, d.freq(1, 1));  // held at the int range for the echo
    EXPECT_EQ(INT_MIN, d.freq(2, 1));
}

TEST(Echo, ExampleStudyByteForByte)
{
    rating_data d;
    load_reader_a(d);
    ftable freqe{}, freqc{};
    double xnstim[16] = {};
    setupconfu_(d.freqnon, d.freq, freqe, freqc, xnstim);
    const std::string expected = reader_a_echo();
    EXPECT_EQ(expected, echo_of(d));
    EXPECT_EQ(expected, echo_of(d)) << "a second echo writes the same text";
}

TEST(Echo, ChanceValuesTotalsAndWideCounts)
{
    rating_data d;
    reset_run(d, 3, 2, 1);
    for (int i = 1; i <= 3; ++i)
        set_field(d.rating[i - 1], sizeof(label_field), "Cat" + std::to_string(i));
    const int counts[3][2] = {{7, 8}, {123456, -5}, {99999, -1234}};
    for (int m = 1; m <= 3; ++m)
        for (int i = 1; i <= 3; ++i) {
            d.freqnon(i, m) = counts[i - 1][0];
            d.freq(i, m) = counts[i - 1][1];
        }
    qset(1) = 1.0;
    qset(2) = 0.25;
    const std::string out = echo_of(d);
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
    rating_data d;
    reset_run(d, 2, 0, 0);
    d.freq(1, 1) = 3;
    d.freq(2, 1) = 4;
    const std::string out = echo_of(d);
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
        rating_data d;
        reset_run(d, 3, 3, 0);
        for (int m = 1; m <= 4; ++m) {
            if (m == tc.blank_dist || m == tc.blank_dist2)
                continue;
            d.freq(3, m) = 1;  // a single case in the top category is enough
        }
        EXPECT_EQ(tc.expected, empty_target__(d.freqnon, d.freq));
    }
    // Counts that cancel are still cases that were read.
    rating_data d;
    reset_run(d, 2, 1, 0);
    d.freq(1, 1) = 1;
    d.freqnon(2, 2) = 3;
    d.freq(2, 2) = -3;
    EXPECT_EQ(0, empty_target__(d.freqnon, d.freq));
}

// 17 categories and 15 targets fill every table; each table sits in its own
// allocation so that the sanitizer build sees any read past its end.
TEST(FullCapacity, PurgeSetupAndEchoStayInsideTheTables)
{
    auto freqnon = std::make_unique<itable>();
    auto freq = std::make_unique<itable>();
    auto freqe = std::make_unique<ftable>();
    auto freqc = std::make_unique<ftable>();
    auto xnstim = std::make_unique<double[]>(16);
    struct labels_t {
        label_table v;
    };
    auto labels = std::make_unique<labels_t>();
    label_table& rating = labels->v;
    auto ids = std::make_unique<id_field[]>(3);
    for (int k = 0; k < 3; ++k)
        set_field(ids[k], sizeof(id_field), "x");
    globals_ = {};
    qvals_ = {};
    globals_.ncat = 17;
    globals_.ndist = 16;
    globals_.noloc = 3;
    for (int i = 1; i <= 17; ++i) {
        set_field(rating[i - 1], sizeof(label_field), "L" + std::to_string(i));
        for (int m = 1; m <= 16; ++m) {
            const bool empty = i == 2 || i == 17;
            (*freqnon)(i, m) = empty ? 0 : i;
            (*freq)(i, m) = empty ? 0 : m;
        }
    }
    for (int t = 1; t <= 15; ++t)
        qset(t) = t == 15 ? 1.0 : 0.5;

    purgconfu_(*freqnon, *freq, rating);
    ASSERT_EQ(15, globals_.ncat);
    EXPECT_EQ(2, globals_.noloc);
    EXPECT_EQ(0, empty_target__(*freqnon, *freq));
    EXPECT_EQ("L15" + std::string(13, ' '), label_of(rating, 14));  // old 15, one place down
    EXPECT_EQ(15, (*freqnon)(14, 16));

    setupconfu_(*freqnon, *freq, *freqe, *freqc, xnstim.get());
    // Target 15 (qset 1.0) and the non-target distribution are merged whole.
    EXPECT_EQ(0.0, (*freqe)(15, 15));
    EXPECT_EQ(16.0 + 16, (*freqc)(15, 15));
    EXPECT_EQ(0.0, (*freqe)(15, 16));
    EXPECT_EQ(16.0 + 1, (*freqc)(15, 16));
    EXPECT_EQ(15.0, (*freqe)(14, 14));  // category 14 holds old category 15
    double images = 0;
    for (int i = 1; i <= 15; ++i)
        images += (*freqc)(i, 1) + (*freqe)(i, 1);
    EXPECT_EQ(images, xnstim[0]);

    const std::string out = run_with_console("", [&] {
        wrtlroc_(console, ids[0], ids[1], ids[2], rating, *freqnon, *freq);
    });
    EXPECT_NE(std::string::npos, out.find(" NDIST:15    Number of target distributions\n"));
    EXPECT_NE(std::string::npos,
              out.find("     0.500   0.500   0.500   0.500   0.500   0.500   0.500   0.500"
                       "   0.500   0.500   0.500   0.500   0.500   0.500   1.000\n"));
    EXPECT_NE(std::string::npos, out.find(" DISTRIBUTION: 15   Target distribution\n"));
    // Last row of the last target: merged (qset 1.0), total 16 + 16.
    const std::string last = "L16" + std::string(13, ' ') + std::string(18, ' ') + "   32\n";
    ASSERT_GE(out.size(), last.size());
    EXPECT_EQ(last, out.substr(out.size() - last.size()));
}

}  // namespace
