// varnel-study bin, run as a user would: the files it writes, what it prints,
// its exit statuses, and nothing left behind after a failure.
#include <gtest/gtest.h>

#include "varnel/binning.h"
#include "varnel/cases.h"
#include "varnel/data_file.h"
#include "support/helpers.h"

namespace {

namespace fs = std::filesystem;
using study_test::read_text;
using study_test::run;
using study_test::RunResult;
using study_test::TempDir;

RunResult bin(const TempDir& dir, std::vector<std::string> args)
{
    args.insert(args.begin(), "bin");
    return run(VARNEL_STUDY_EXE, args, dir.path());
}

TEST(BinCommand, WritesOneDataFilePerReaderAndModalityAndShowsTheBinning)
{
    TempDir dir;
    dir.write("cases.csv", study_test::two_reader_lroc_csv);
    const RunResult r = bin(dir, {"cases.csv", "--out", "out"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(
        r.out,
        "cases.csv: 2 readers, 2 modalities, 5 cases (2 without a target, 3 with), 20 ratings\n"
        "\n"
        "Rating categories: 5, one per distinct rating\n"
        "  category  label  range       ratings\n"
        "         1  1      r <= 1            6\n"
        "         2  2      1 < r <= 2        3\n"
        "         3  3      2 < r <= 3        3\n"
        "         4  4      3 < r <= 4        3\n"
        "         5  5      r > 4             5\n"
        "\n"
        "Tables (NOLOC: lowest categories without localization; ratings of cases without and with "
        "a target):\n"
        "  file         reader  modality  NOLOC  no target  target\n"
        "  01_R1_A.lrc  R1      A             2          2       3\n"
        "  02_R1_B.lrc  R1      B             1          2       3\n"
        "  03_R2_A.lrc  R2      A             5          2       3\n"
        "  04_R2_B.lrc  R2      B             0          2       3\n"
        "\n"
        "4 data files written to out\n");
    const fs::path out = dir.path() / "out";
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"cases.csv", "out"}));
    const std::vector<std::string> names{"01_R1_A.lrc", "02_R1_B.lrc", "03_R2_A.lrc",
                                         "04_R2_B.lrc"};
    auto tables = varnel::study::bin_study(
        *varnel::study::parse_cases(study_test::two_reader_lroc_csv, "cases.csv"), {});
    ASSERT_TRUE(tables.ok());
    for (std::size_t t = 0; t < names.size(); ++t)
        EXPECT_EQ(read_text(out / names[t]), *varnel::study::format_data_file(tables->tables[t]))
            << names[t];
    // varnel takes a file the command wrote (the others fit as slowly as
    // five cases make them; the writer's own tests read back every layout).
    EXPECT_EQ(run(VARNEL_EXE, {"02_R1_B.lrc"}, out).status, 0);
}

TEST(BinCommand, CutpointsAndAnEmptyExistingFolder)
{
    TempDir dir;
    dir.write("cases.csv", study_test::two_reader_lroc_csv);
    fs::create_directory(dir.path() / "out");
    const RunResult r = bin(dir, {"cases.csv", "--out", "out", "--cutpoints", " 2.5 "});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Rating categories: 2, from the cutpoints\n"
                         "  category  label  range     ratings\n"
                         "         1  <=2.5  r <= 2.5        9\n"
                         "         2  >2.5   r > 2.5        11\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(read_text(dir.path() / "out" / "04_R2_B.lrc").find("NCAT: 2\nNOLOC: 0\n"),
              std::string::npos);
}

// One reader in one modality: every count of the summary in the singular
// where it is one.
TEST(BinCommand, CountsOfOneAreSingular)
{
    TempDir dir;
    dir.write("one.csv", "reader,modality,case,truth,rating,localized\n"
                         "R,A,n,0,1,\nR,A,t,1,2,1\n");
    const RunResult r = bin(dir, {"one.csv", "--out", "out"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("one.csv: 1 reader, 1 modality, 2 cases (1 without a target, 1 with), "
                          "2 ratings\n",
                          0),
              0u)
        << r.out;
    EXPECT_NE(r.out.find("\n1 data file written to out\n"), std::string::npos) << r.out;
}

struct Refused {
    std::vector<std::string> args;
    std::string err;
};

TEST(BinCommand, BadInputOrOptionsExitOneAndLeaveNothingBehind)
{
    TempDir dir;
    dir.write("cases.csv", study_test::two_reader_lroc_csv);
    dir.write("bad.csv", "reader,modality,case,truth,rating\nR1,A,c1,0,1\nR1,A,c2,0,x\n");
    dir.write(
        "mixed.csv",
        "reader,modality,case,truth,rating,localized\nR,A,n,0,1,\nR,A,t1,1,4,\nR,A,t2,1,4,1\n");
    fs::create_directory(dir.path() / "full");
    dir.write("full/theirs", "keep");
    const std::string hint =
        "; give --cutpoints that keep the target ratings without localization below those with it";
    const Refused cases[] = {
        {{"bad.csv", "--out", "out"}, "varnel-study: bad.csv:3: rating \"x\" is not a number\n"},
        {{"missing.csv", "--out", "out"},
         "varnel-study: missing.csv: cannot read the file: No such file or directory\n"},
        {{"mixed.csv", "--out", "out"},
         "varnel-study: mixed.csv: reader \"R\", modality \"A\": category 2 \"4\" has target cases "
         "with localization "
         "(line 4) and without (line 3)" +
             hint + "\n"},
        {{"cases.csv", "--out", "out", "--categories", "1"},
         "varnel-study: categories 1 is outside 2 to 17\n"},
        {{"cases.csv", "--out", "out", "--cutpoints", "1, x"},
         "varnel-study: --cutpoints: \"x\" is not a number; give increasing numbers separated by "
         "commas\n"},
        {{"cases.csv", "--out", "out", "--cutpoints", "2,1"},
         "varnel-study: cutpoint 2 (1) is not above cutpoint 1 (2); cutpoints must increase\n"},
        {{"cases.csv", "--out", "out", "--categories", "abc"},
         "varnel-study: Could not convert: --categories = abc; run varnel-study --help\n"},
        {{"cases.csv"}, "varnel-study: --out is required; run varnel-study --help\n"},
        {{"cases.csv", "--out", "full"},
         "varnel-study: \"full\" is not empty; name a new or empty folder for the output\n"},
    };
    for (const Refused& c : cases) {
        const RunResult r = bin(dir, c.args);
        EXPECT_EQ(r.status, 1) << c.err;
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(dir.entries(),
                  (std::vector<std::string>{"bad.csv", "cases.csv", "full", "mixed.csv"}))
            << c.err;
    }
    EXPECT_EQ(read_text(dir.path() / "full" / "theirs"), "keep");
    const RunResult none = run(VARNEL_STUDY_EXE, {}, dir.path());
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.err, "varnel-study: A subcommand is required; run varnel-study --help\n");
}

TEST(BinCommand, HelpExitsZero)
{
    TempDir dir;
    const RunResult top = run(VARNEL_STUDY_EXE, {"--help"}, dir.path());
    EXPECT_EQ(top.status, 0);
    EXPECT_NE(top.out.find("bin"), std::string::npos);
    const RunResult sub = run(VARNEL_STUDY_EXE, {"bin", "-h"}, dir.path());
    EXPECT_EQ(sub.status, 0);
    EXPECT_NE(sub.out.find("--cutpoints"), std::string::npos);
    EXPECT_NE(sub.out.find("--categories INT=10"), std::string::npos);
}

// The public two-modality ROC study: 5 readers, 114 cases, ratings 1 to 5,
// no localization recorded.
TEST(BinCommand, VanDykeStudyBinsIntoTenRocTables)
{
    const fs::path data = fs::path(VANDYKE_DIR) / "vandyke_cases.csv";
    if (!fs::exists(data))
        GTEST_SKIP() << data << " is not on this machine";
    TempDir dir;
    const RunResult r = bin(dir, {fs::absolute(data).string(), "--out", "out"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(
        r.out.find(
            ": 5 readers, 2 modalities, 114 cases (69 without a target, 45 with), 1140 ratings\n"),
        std::string::npos);
    EXPECT_NE(r.out.find("Rating categories: 5, one per distinct rating\n"), std::string::npos);
    const fs::path out = dir.path() / "out";
    std::vector<std::string> files;
    for (const auto& e : fs::directory_iterator(out))
        files.push_back(e.path().filename().string());
    std::sort(files.begin(), files.end());
    ASSERT_EQ(files.size(), 10u);
    EXPECT_EQ(files.front(), "01_R1_M1.lrc");
    EXPECT_EQ(files.back(), "10_R5_M2.lrc");
    for (const std::string& f : files) {
        EXPECT_NE(r.out.find("  " + f + "  R"), std::string::npos) << f;
        EXPECT_NE(read_text(out / f).find("NDIST: 1\nNCAT: 5\nNOLOC: 5\n"), std::string::npos) << f;
    }
    EXPECT_EQ(run(VARNEL_EXE, {"01_R1_M1.lrc"}, out).status, 0);
}

}  // namespace
