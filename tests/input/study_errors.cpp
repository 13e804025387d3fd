// Error values of reading, making and preparing a study: the same numbers and
// texts the console program shows for the same faults.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string>

#include "support/run_program.h"
#include "support/temp_dir.h"
#include "varnel/fit.h"

using varnel::ErrorKind;

namespace {

// A data file of one target, three categories, the lowest without
// localization.
std::string small_file(int nontarget_middle = 20, int target_hits_top = 9)
{
    return "LROCDATA\nOBSERVER: R\nCONDITION: C\nREPLICATION: 1\nNDIST: 1\nNCAT: 3\nNOLOC: 1\n"
           "Non-target distribution\n"
           " 1                   30\n"
           " 2                " + std::to_string(nontarget_middle) + "    0\n"
           " 3                    5    0\n"
           "Target distribution 1\n"
           " 1                    5\n"
           " 2                    4    6\n"
           " 3                    2   " + std::to_string(target_hits_top) + "\n";
}

std::string replaced(std::string text, const std::string& from, const std::string& to)
{
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return text.replace(at, from.size(), to);
}

}  // namespace

// Each fault of a data file: the reader's error and the console program's
// output for the same file.
TEST(ReadStudyErrors, CarryTheConsoleProgramsNumbersAndTexts)
{
    const std::string good = small_file();
    struct Case {
        const char* what;
        std::string text;
        ErrorKind kind;
        int number;
    };
    const Case cases[] = {
        {"no header", replaced(good, "LROCDATA", "LROCDAT"), ErrorKind::bad_data, 1},
        {"keyword line without colon", replaced(good, "OBSERVER: R", "OBSERVER R"),
         ErrorKind::bad_data, 2},
        {"condition misnamed", replaced(good, "CONDITION", "CONDITON"), ErrorKind::bad_data, 3},
        {"replication misnamed", replaced(good, "REPLICATION", "REPLICA"), ErrorKind::bad_data, 4},
        {"ndist misnamed", replaced(good, "NDIST", "NDISTS"), ErrorKind::bad_data, 5},
        {"ncat misnamed", replaced(good, "NCAT", "NCATS"), ErrorKind::bad_data, 6},
        {"noloc above ncat", replaced(good, "NOLOC: 1", "NOLOC: 4"), ErrorKind::bad_data, 7},
        {"negative count", replaced(good, "  4    6", " -4    6"), ErrorKind::bad_data, 8},
        {"count beyond 32 bits", replaced(good, "   30", " 2147483648"), ErrorKind::bad_data, 8},
        {"ndist 16", replaced(good, "NDIST: 1", "NDIST: 16"), ErrorKind::bad_data, 9},
        {"ncat 18", replaced(good, "NCAT: 3", "NCAT: 18"), ErrorKind::bad_data, 10},
        {"ends early", good.substr(0, good.rfind(" 2                    4")), ErrorKind::read_failed, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        temp_dir dir;
        const std::string path = dir.write("study.lrc", c.text);
        const varnel::Expected<varnel::Study> study = varnel::read_study(path);
        ASSERT_FALSE(study.ok());
        EXPECT_EQ(study.error().kind, c.kind);
        EXPECT_EQ(study.error().number, c.number);

        const program_result run = run_program({"study.lrc"}, "", dir.path);
        EXPECT_EQ(run.status, 1);
        if (c.kind == ErrorKind::bad_data) {
            EXPECT_EQ(study.error().message, "Input file has errors (" + std::to_string(c.number) + ")");
            EXPECT_EQ(run.out, study.error().message);
        } else {
            EXPECT_EQ(study.error().message, "Error reading input file: unexpected end of file");
            EXPECT_EQ(run.err, study.error().message + "\n");
        }
    }
}

TEST(ReadStudyErrors, FileThatCannotBeOpenedGivesTheSystemsReason)
{
    const varnel::Expected<varnel::Study> study = varnel::read_study("/nonexistent/study.lrc");
    ASSERT_FALSE(study.ok());
    EXPECT_EQ(study.error().kind, ErrorKind::open_failed);
    EXPECT_EQ(study.error().message, "Error opening input file: No such file or directory");
}

// A study made from counts in memory equals the one read from the same data.
TEST(MakeStudy, EqualsTheStudyReadFromTheSameData)
{
    temp_dir dir;
    const auto read = varnel::read_study(dir.write("study.lrc", small_file()));
    ASSERT_TRUE(read.ok());

    varnel::StudyCounts c;
    c.observer = " R";
    c.condition = " C";
    c.replication = " 1";
    c.noloc = 1;
    for (int k = 1; k <= 3; ++k) c.labels.push_back(std::to_string(k) + std::string(15, ' '));
    c.distributions = {{{0, 30}, {20, 0}, {5, 0}}, {{0, 5}, {4, 6}, {2, 9}}};
    const auto made = varnel::make_study(c);
    ASSERT_TRUE(made.ok()) << made.error().message;

    EXPECT_EQ(made->observer, read->observer);
    EXPECT_EQ(made->condition, read->condition);
    EXPECT_EQ(made->replication, read->replication);
    EXPECT_EQ(made->targets, read->targets);
    EXPECT_EQ(made->categories, read->categories);
    EXPECT_EQ(made->noloc, read->noloc);
    for (int k = 1; k <= 3; ++k) {
        EXPECT_EQ(made->labels[k - 1], read->labels[k - 1]);
        for (int m = 1; m <= 2; ++m) {
            EXPECT_EQ(made->incorrect(k, m), read->incorrect(k, m)) << k << " " << m;
            EXPECT_EQ(made->correct(k, m), read->correct(k, m)) << k << " " << m;
        }
    }
}

TEST(MakeStudy, RefusesWhatTheReaderRefusesWithItsNumbers)
{
    auto base = [] {
        varnel::StudyCounts c;
        c.labels = {"a", "b"};
        c.distributions = {{{0, 3}, {0, 4}}, {{1, 2}, {0, 5}}};
        return c;
    };
    auto number_of = [](const varnel::StudyCounts& c) {
        const auto s = varnel::make_study(c);
        EXPECT_FALSE(s.ok());
        if (s.ok()) return 0;
        EXPECT_EQ(s.error().kind, ErrorKind::bad_data);
        EXPECT_EQ(s.error().message.rfind("Study has errors (" + std::to_string(s.error().number) +
                                              "): ",
                                          0),
                  0u)
            << s.error().message;
        return s.error().number;
    };
    ASSERT_TRUE(varnel::make_study(base()).ok());

    varnel::StudyCounts c = base();
    c.distributions.clear();
    EXPECT_EQ(number_of(c), 9);
    c = base();
    c.distributions.resize(17, c.distributions[1]);
    EXPECT_EQ(number_of(c), 9);
    c = base();
    c.labels.clear();
    c.distributions = {{}, {}};
    EXPECT_EQ(number_of(c), 10);
    c = base();
    c.labels.resize(18, "x");
    EXPECT_EQ(number_of(c), 10);
    c = base();
    c.noloc = 3;
    EXPECT_EQ(number_of(c), 7);
    c = base();
    c.noloc = -1;
    EXPECT_EQ(number_of(c), 7);
    c = base();
    c.distributions[1].pop_back();
    EXPECT_EQ(number_of(c), 8);
    c = base();
    c.distributions[0][1].incorrect = -1;
    EXPECT_EQ(number_of(c), 8);
    c = base();
    c.distributions[1][0].correct = static_cast<long long>(INT_MAX) + 1;
    EXPECT_EQ(number_of(c), 8);
    c = base();
    c.distributions[1][0] = {INT_MAX - 1, 2};  // the category's total
    EXPECT_EQ(number_of(c), 8);
    c = base();
    c.distributions[1][0] = {0, INT_MAX - 3};  // the distribution's total
    EXPECT_EQ(number_of(c), 8);
    c.distributions[1][1] = {0, 3};
    EXPECT_TRUE(varnel::make_study(c).ok());
}

// The checks before a fit: the console program stops with the same text.
TEST(PrepareErrors, TooFewCategoriesAndEmptyTargetsAsTheConsoleProgramSays)
{
    struct Case {
        const char* what;
        std::string text;
        ErrorKind kind;
        int number;
        std::string message;
    };
    const std::string one_category =
        "LROCDATA\nOBSERVER: R\nCONDITION: C\nREPLICATION: 1\nNDIST: 0\nNCAT: 2\nNOLOC: 0\n"
        "Non-target distribution\n 1                   30\n 2                    0    0\n";
    std::string empty_target = replaced(small_file(), "NDIST: 1", "NDIST: 2") +
                               "Target distribution 2\n 1                    0\n"
                               " 2                    0    0\n 3                    0    0\n";
    const Case cases[] = {
        {"one category with cases", one_category, ErrorKind::too_few_categories, 0,
         "There are less than two non-empty categories"},
        {"target 2 without cases", empty_target, ErrorKind::empty_target, 2,
         "Target distribution 2 has no cases"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        temp_dir dir;
        const auto study = varnel::read_study(dir.write("study.lrc", c.text));
        ASSERT_TRUE(study.ok()) << study.error().message;
        const auto prepared = varnel::prepare(*study, varnel::FitSettings{});
        ASSERT_FALSE(prepared.ok());
        EXPECT_EQ(prepared.error().kind, c.kind);
        EXPECT_EQ(prepared.error().number, c.number);
        EXPECT_EQ(prepared.error().message, c.message);
        const auto check = varnel::check_fittable(varnel::without_empty_categories(*study));
        ASSERT_TRUE(check.has_value());
        EXPECT_EQ(check->message, c.message);

        const program_result run = run_program({"study.lrc"}, "", dir.path);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out, c.message + "\n");
    }
}

TEST(PrepareErrors, SettingsOutsideTheirRangeAreRefused)
{
    temp_dir dir;
    const auto study = varnel::read_study(dir.write("study.lrc", small_file()));
    ASSERT_TRUE(study.ok());
    for (double q : {-0.01, 1.01, std::nan("")}) {
        varnel::FitSettings s;
        s.chance[0] = q;
        const auto prepared = varnel::prepare(*study, s);
        ASSERT_FALSE(prepared.ok()) << q;
        EXPECT_EQ(prepared.error().kind, ErrorKind::bad_settings);
        EXPECT_EQ(prepared.error().message, "Chance value of target 1 must be 0.0 to 1.0");
    }
    varnel::FitSettings s;
    s.criterion = std::nan("");
    EXPECT_EQ(varnel::prepare(*study, s).error().kind, ErrorKind::bad_settings);

    // A chance value for a target the study does not have is not looked at.
    s = varnel::FitSettings{};
    s.chance[5] = 7.0;
    EXPECT_TRUE(varnel::prepare(*study, s).ok());
}

// NOLOC is raised as the console dialogue raises it, and only then.
TEST(Prepare, RaisesNolocOnlyWithinItsRange)
{
    temp_dir dir;
    const auto study = varnel::read_study(dir.write("study.lrc", small_file()));
    ASSERT_TRUE(study.ok());
    const int expected[][2] = {{0, 1}, {1, 1}, {2, 2}, {3, 3}, {4, 1}, {-2, 1}};
    for (const auto& e : expected) {
        varnel::FitSettings s;
        s.noloc = e[0];
        const auto prepared = varnel::prepare(*study, s);
        ASSERT_TRUE(prepared.ok());
        EXPECT_EQ(prepared->spec.noloc, e[1]) << e[0];
        EXPECT_EQ(prepared->study.noloc, e[1]) << e[0];
    }
}
