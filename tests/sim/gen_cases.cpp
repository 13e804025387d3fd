// The gen_cases program: its options make the same study as the design they
// spell, and its exit statuses say what went wrong.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "case_sim.h"

namespace fs = std::filesystem;

namespace {

struct Outcome {
    int status;
    std::string out, err;
};

std::string slurp(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Runs gen_cases with the arguments in a fresh temporary folder.
class GenCases : public testing::Test {
protected:
    fs::path dir = fs::temp_directory_path() /
                   ("gen_cases_test_" + std::to_string(::getpid()) + "_" +
                    testing::UnitTest::GetInstance()->current_test_info()->name());
    void SetUp() override { fs::create_directories(dir); }
    void TearDown() override { fs::remove_all(dir); }

    Outcome run(const std::string& args)
    {
        const std::string cmd = std::string("'") + GEN_CASES_EXE + "' " + args + " >'" +
                                (dir / "out").string() + "' 2>'" + (dir / "err").string() + "'";
        const int raw = std::system(cmd.c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, slurp(dir / "out"), slurp(dir / "err")};
    }
};

}  // namespace

// Per-modality lists, per-class counts, components, levels and the no-mark
// threshold given as options give the bytes of the same design, on standard
// output and in a file.
TEST_F(GenCases, OptionsSpellTheDesign)
{
    const std::string args =
        "-r 2 -m 2 -n 5 -t 3,4 --mu 1,2 --sigma 1.2 --q 0.1,0.2,0.3,0.4 --var-case 0.2 "
        "--var-modality-reader 0.1 --reader-shift 0.5 --levels 5 --no-mark-at-or-below 1 -s 7";
    case_sim::Design d;
    d.readers = 2;
    d.normal_cases = 5;
    d.target_cases = {3, 4};
    d.targets = {{{1, 1.2, 0.1}, {1, 1.2, 0.2}}, {{2, 1.2, 0.3}, {2, 1.2, 0.4}}};
    d.variance = {.c = 0.2, .mr = 0.1};
    d.reader_shift = 0.5;
    d.levels = 5;
    d.no_mark_at_or_below = 1;
    d.seed = 7;
    const std::string expected = case_sim::csv_text(case_sim::simulate(d));

    const Outcome to_stdout = run(args);
    EXPECT_EQ(to_stdout.status, 0) << to_stdout.err;
    EXPECT_EQ(to_stdout.out, expected);
    const Outcome to_file = run(args + " -o '" + (dir / "s.csv").string() + "'");
    EXPECT_EQ(to_file.status, 0) << to_file.err;
    EXPECT_EQ(slurp(dir / "s.csv"), expected);
    EXPECT_EQ(to_file.out, "");
}

// Bad options end with status 2 and a message naming the option; an output
// that cannot be written ends with status 1 and names the file.
TEST_F(GenCases, FailuresSayWhat)
{
    const Outcome mu = run("-m 2 --mu 1,2,3");
    EXPECT_EQ(mu.status, 2);
    EXPECT_NE(mu.err.find("gen_cases: --mu: 3 values given"), std::string::npos) << mu.err;
    const Outcome var = run("--var-reader 0.8 --var-case 0.5");
    EXPECT_EQ(var.status, 2);
    EXPECT_NE(var.err.find("sum to 1.3"), std::string::npos) << var.err;
    const Outcome targets = run("-c 3 -t 4,5");
    EXPECT_EQ(targets.status, 2);
    EXPECT_NE(targets.err.find("--targets"), std::string::npos) << targets.err;
    const Outcome unknown = run("--no-such-option");
    EXPECT_EQ(unknown.status, 2);
    const Outcome help = run("-h");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--var-modality-case"), std::string::npos);

    const std::string missing = (dir / "no_folder" / "x.csv").string();
    const Outcome unwritable = run("-o '" + missing + "'");
    EXPECT_EQ(unwritable.status, 1);
    EXPECT_NE(unwritable.err.find(missing + ": cannot open for writing"), std::string::npos)
        << unwritable.err;
}
