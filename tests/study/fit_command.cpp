// varnel-study fit end to end: simulated LROC studies and rating data files
// in, the results table, the results folder and the exit status out; each
// report equals the console program's output file for the same table and
// answers, and the output does not depend on the number of threads.
#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <filesystem>
#include <thread>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "sim/case_sim.h"
#include "support/helpers.h"
#include "varnel/fit.h"

using study_test::read_text;
using study_test::run;
using study_test::TempDir;
namespace fs = std::filesystem;

namespace {

const std::string study_exe = VARNEL_STUDY_EXE;

// Three readers, two modalities, 80 normal and 80 target cases of one class;
// target cases rated at or below -0.5 carry no mark.
std::string lroc_cases(std::uint64_t seed, int classes = 1)
{
    case_sim::Design d;
    d.readers = 3;
    d.modalities = 2;
    d.normal_cases = 80;
    d.target_cases = std::vector<int>(classes, 80);
    d.targets = case_sim::same_targets(2, classes, {1.6, 1.2, 0.0});
    d.targets[1][0].mu = 2.1;
    d.variance = {0.1, 0.2, 0.05, 0.05, 0.05};
    d.no_mark_at_or_below = -0.5;
    d.seed = seed;
    const case_sim::Simulation sim = case_sim::simulate(d);
    EXPECT_TRUE(sim.error.empty()) << sim.error;
    return case_sim::csv_text(sim);
}

std::vector<std::string> lines_of(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1)
        lines.push_back(text.substr(start, nl - start));
    return lines;
}

// The console program's answers for a data file: criterion, chance values,
// NOLOC (asked only when some category has localization data), then an
// output file.
std::string answers_for(const fs::path& data_file, const std::string& criterion,
                        const std::vector<std::string>& chance, const std::string& noloc)
{
    const auto study = varnel::read_study(data_file.string());
    EXPECT_TRUE(study.ok());
    const varnel::Study purged = varnel::without_empty_categories(*study);
    std::string a = criterion + "\n";
    if (chance.empty()) {
        a += "\n";
    } else {
        a += "y\n";
        for (const std::string& q : chance) a += q + "\n";
    }
    if (purged.noloc != purged.categories) a += noloc + "\n";
    return a + "y\nreport.txt\n";
}

}  // namespace

// Every report of the results folder is the output file the console program
// writes for that table's data file with the same answers.
TEST(FitCommand, ReportsEqualTheConsoleProgramsOutputFiles)
{
    TempDir dir;
    dir.write("cases.csv", lroc_cases(11));
    const auto fit = run(study_exe,
                         {"fit", "cases.csv", "--categories", "6", "--criterion", "0.0005",
                          "--chance", "0.1", "--noloc", "2", "--out", "results", "-j", "2"},
                         dir.path());
    ASSERT_EQ(fit.status, 0) << fit.err;
    const fs::path results = dir.path() / "results";
    EXPECT_EQ(read_text(results / "results.csv"), fit.out);
    int reports = 0;
    for (const auto& entry : fs::directory_iterator(results)) {
        if (entry.path().extension() != ".lrc") continue;
        SCOPED_TRACE(entry.path().filename().string());
        const fs::path report = fs::path(entry.path()).replace_extension(".txt");
        const fs::path picture = fs::path(entry.path()).replace_extension(".svg");
        ASSERT_TRUE(fs::exists(report));
        EXPECT_NE(read_text(picture).find("<svg"), std::string::npos);

        TempDir console;
        fs::copy_file(entry.path(), console.path() / "table.lrc");
        const std::string answers = answers_for(entry.path(), "0.0005", {"0.1"}, "2");
        const auto run_console = run(VARNEL_EXE, {"table.lrc"}, console.path(), &answers);
        ASSERT_EQ(run_console.status, 0) << run_console.err;
        EXPECT_EQ(read_text(console.path() / "report.txt"), read_text(report));
        ++reports;
    }
    EXPECT_EQ(reports, 6);
    // Header and one row per reader x modality (one target class).
    EXPECT_EQ(lines_of(fit.out).size(), 7u);
}

// The same bytes on standard output and in the folder whatever -j is.
TEST(FitCommand, OutputDoesNotDependOnTheNumberOfThreads)
{
    TempDir dir;
    dir.write("cases.csv", lroc_cases(12, 2));
    std::vector<std::string> outs;
    for (const char* j : {"1", "3"}) {
        const std::string out = std::string("out") + j;
        const auto r = run(study_exe, {"fit", "cases.csv", "-j", j, "--out", out, "--quiet"},
                           dir.path());
        ASSERT_EQ(r.status, 0) << r.err;
        outs.push_back(r.out);
    }
    EXPECT_EQ(outs[0], outs[1]);
    const auto names = [](const fs::path& p) {
        std::vector<std::string> v;
        for (const auto& e : fs::directory_iterator(p)) v.push_back(e.path().filename().string());
        std::sort(v.begin(), v.end());
        return v;
    };
    const auto files = names(dir.path() / "out1");
    ASSERT_EQ(files, names(dir.path() / "out3"));
    EXPECT_EQ(files.size(), 1u + 6 * 3);
    for (const std::string& f : files)
        EXPECT_EQ(read_text(dir.path() / "out1" / f), read_text(dir.path() / "out3" / f)) << f;
    // Two target classes: two rows per table.
    EXPECT_EQ(lines_of(outs[0]).size(), 1u + 6 * 2);
}

// Rating data files as input; a table that cannot be fitted has its rows
// with the reason, the others are fitted, and the exit status is 2.
TEST(FitCommand, DataFilesAndATableThatCannotBeFitted)
{
    TempDir dir;
    fs::copy_file(fs::path(VARNEL_SOURCE_DIR) / "examples/reader_a.lrc", dir.path() / "a.lrc");
    fs::copy_file(fs::path(VARNEL_SOURCE_DIR) / "examples/two_targets_chance.lrc",
                  dir.path() / "b.lrc");
    dir.write("c.lrc",
              "LROCDATA\nOBSERVER: Reader C\nCONDITION: Single\nREPLICATION: 1\nNDIST: 1\nNCAT: 3\n"
              "NOLOC: 3\nNon-target\n 1                   30\n 2                    0\n"
              " 3                    0\nTarget 1\n 1                   20\n 2                    0\n"
              " 3                    0\n");
    const auto r = run(study_exe, {"fit", "a.lrc", "b.lrc", "c.lrc", "--format", "json"},
                       dir.path());
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("1 of 3 tables could not be fitted"), std::string::npos) << r.err;
    const auto doc = nlohmann::json::parse(r.out);
    const auto& rows = doc.at("results");
    ASSERT_EQ(rows.size(), 4u);  // 1 + 2 + 1 target classes
    EXPECT_EQ(rows[0].at("reader"), "Reader A");
    EXPECT_EQ(rows[0].at("status"), "");
    EXPECT_TRUE(rows[0].at("converged").get<bool>());
    // The console program's figures of the example (its golden report).
    EXPECT_NEAR(rows[0].at("area_lroc").get<double>(), 0.6020, 5e-5);
    EXPECT_EQ(rows[2].at("target"), 2);
    EXPECT_EQ(rows[3].at("reader"), "Reader C");
    EXPECT_EQ(rows[3].at("status"), "There are less than two non-empty categories");
    EXPECT_TRUE(rows[3].at("area_lroc").is_null());
    EXPECT_EQ(rows[3].at("normal_cases"), 30);
    EXPECT_EQ(rows[3].at("target_cases"), 20);
}

// Bad input or options: a message, status 1, nothing written.
TEST(FitCommand, BadInputLeavesNothingBehind)
{
    TempDir dir;
    dir.write("cases.csv", lroc_cases(13));
    dir.write("bad.csv", "reader,modality,case,truth,rating\nR1,M1,C1,0,abc\n");
    fs::copy_file(fs::path(VARNEL_SOURCE_DIR) / "examples/reader_a.lrc", dir.path() / "a.lrc");
    fs::create_directory(dir.path() / "full");
    dir.write("full/x.txt", "");
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const Case cases[] = {
        {{"missing.csv"}, "missing.csv: cannot be read"},
        {{"bad.csv"}, "bad.csv:2: rating \"abc\" is not a number"},
        {{"cases.csv", "a.lrc"}, "not both"},
        {{"cases.csv", "--criterion", "1e-9"}, "--criterion must be a number of at least 1e-8"},
        {{"cases.csv", "--chance", "0.1,0.2"}, "2 values for 1 target classes"},
        {{"cases.csv", "--chance", "1.5"}, "--chance: 1.5 is not between 0 and 1"},
        {{"cases.csv", "--format", "xml"}, "--format must be csv or json"},
        {{"cases.csv", "-j", "0"}, "-j must be at least 1"},
        {{"cases.csv", "--categories", "1"}, "categories"},
        {{"cases.csv", "--out", "full"}, "full"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args{"fit"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        if (std::find(c.args.begin(), c.args.end(), "--out") == c.args.end()) {
            args.push_back("--out");
            args.push_back("results");
        }
        const auto r = run(study_exe, args, dir.path());
        EXPECT_EQ(r.status, 1) << c.message;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(r.err.rfind("varnel-study: ", 0), 0u) << r.err;
        EXPECT_TRUE(r.out.empty()) << c.message;
        EXPECT_FALSE(fs::exists(dir.path() / "results")) << c.message;
    }
    // Only the files written above: no temporary folder left behind.
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"a.lrc", "bad.csv", "cases.csv", "full"}));
}

// A data file whose identifiers are not UTF-8 (Latin-1): the JSON results
// show the replacement character instead of ending the program.
TEST(FitCommand, IdentifiersThatAreNotUtf8InJson)
{
    TempDir dir;
    std::string data = read_text(fs::path(VARNEL_SOURCE_DIR) / "examples/reader_a.lrc");
    const std::size_t at = data.find("OBSERVER:");
    ASSERT_NE(at, std::string::npos);
    data.replace(at, data.find('\n', at) - at, "OBSERVER: Ren\xE9");
    dir.write("latin.lrc", data);
    const auto r = run(study_exe, {"fit", "latin.lrc", "--format", "json"}, dir.path());
    ASSERT_EQ(r.status, 0) << r.err;
    const auto doc = nlohmann::json::parse(r.out);
    EXPECT_EQ(doc.at("results").at(0).at("reader"), "Ren\xEF\xBF\xBD");
}

// SIGINT or SIGTERM while the tables of `fit --out` are fitted: status 130
// or 143, nothing on standard output, no folder and no temporary folder left.
TEST(FitCommand, InterruptedRunLeavesNothing)
{
    TempDir dir;
    case_sim::Design d;  // 1,500 tables of three target classes
    d.readers = 150;
    d.modalities = 10;
    d.normal_cases = 40;
    d.target_cases = {20, 20, 20};
    d.targets = case_sim::same_targets(10, 3, {1.5, 1.2, 0.0});
    d.seed = 17;
    const case_sim::Simulation sim = case_sim::simulate(d);
    ASSERT_TRUE(sim.error.empty()) << sim.error;
    dir.write("cases.csv", case_sim::csv_text(sim));
    TempDir io;
    for (const int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal);
        const pid_t pid = study_test::start(
            study_exe, {"fit", "cases.csv", "--categories", "17", "--out", "results", "-j", "1"},
            dir.path(), io.path() / "out", io.path() / "err");
        ASSERT_GT(pid, 0);
        // The temporary folder appears once the input is checked, before the fits.
        bool fitting = false;
        const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!fitting && std::chrono::steady_clock::now() < give_up) {
            for (const auto& e : fs::directory_iterator(dir.path()))
                fitting = fitting || e.path().filename().string().rfind(".results.tmp-", 0) == 0;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        EXPECT_TRUE(fitting);
        kill(pid, signal);
        EXPECT_EQ(study_test::wait_for_exit(pid), 128 + signal) << read_text(io.path() / "err");
        EXPECT_EQ(read_text(io.path() / "out"), "");
        EXPECT_EQ(dir.entries(), std::vector<std::string>{"cases.csv"});
    }
}
