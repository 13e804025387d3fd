// varnel-study power end to end: the published Van Dyke size from the pilot
// file and from its printed components, the lists and ranges of planned
// studies, the picture, a failed refit, and the input it refuses.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "support/helpers.h"

using study_test::read_text;
using study_test::run;
using study_test::TempDir;
namespace fs = std::filesystem;

namespace {

const std::string study_exe = VARNEL_STUDY_EXE;
const fs::path vandyke = fs::path(VANDYKE_DIR) / "vandyke_cases.csv";

// The Van Dyke components as `compare --fom wilcoxon` prints them.
const std::vector<std::string> vandyke_components{
    "--var",  "8.022883e-04", "--cov1",   "3.466137e-04", "--cov2",        "3.440748e-04",
    "--cov3", "2.390284e-04", "--var-tr", "2.004025e-04", "--pilot-cases", "114"};

std::vector<std::string> joined(std::vector<std::string> a, const std::vector<std::string>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The rows of the random readers and cases analysis in a search's CSV.
std::map<int, std::string> random_random_cases(const std::string& csv)
{
    std::map<int, std::string> found;
    std::istringstream lines(csv);
    std::string line;
    while (std::getline(lines, line)) {
        std::vector<std::string> cells;
        std::stringstream s(line);
        std::string cell;
        while (std::getline(s, cell, ',')) cells.push_back(cell);
        if (cells.size() > 3 && cells[1] == "random_readers_random_cases")
            found[std::stoi(cells[0])] = cells[3];
    }
    return found;
}

}  // namespace

// Acceptance: 10 readers, the difference 0.0438 and 80% power need 163 cases
// (random readers and cases), from the pilot file and from its components.
TEST(PowerCommand, VanDykeNeeds163Cases)
{
    if (!fs::exists(vandyke)) GTEST_SKIP() << "no " << vandyke;
    TempDir dir;
    const std::vector<std::string> plan{"--readers", "5:10:5", "--effect", "0.0438", "--power",
                                        "0.8", "--format", "csv"};
    const auto pilot =
        run(study_exe, joined({"power", vandyke.string(), "--fom", "wilcoxon"}, plan), dir.path());
    ASSERT_EQ(pilot.status, 0) << pilot.err;
    const auto from_file = random_random_cases(pilot.out);
    EXPECT_EQ(from_file.at(10), "163");
    EXPECT_EQ(from_file.at(5), "344");

    const auto given = run(study_exe, joined(joined({"power"}, vandyke_components), plan),
                           dir.path());
    ASSERT_EQ(given.status, 0) << given.err;
    EXPECT_EQ(random_random_cases(given.out), from_file);
    // The same number in the text report, with the note under it.
    const auto text = run(study_exe,
                          joined(joined({"power"}, vandyke_components),
                                 {"--readers", "10", "--effect", "0.0438", "--power", "0.8"}),
                          dir.path());
    ASSERT_EQ(text.status, 0) << text.err;
    EXPECT_NE(text.out.find("       10    163  0.8016"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("Note: The powers take these components as the true ones."),
              std::string::npos);
}

// A grid of lists and ranges, the pilot's own difference, JSON, and the
// picture with one line per reader count.
TEST(PowerCommand, GridJsonAndPicture)
{
    if (!fs::exists(vandyke)) GTEST_SKIP() << "no " << vandyke;
    TempDir dir;
    const auto r = run(study_exe,
                       {"power", vandyke.string(), "--fom", "wilcoxon", "--readers", "4:8:2,12",
                        "--cases", "50:150:50", "--format", "json", "--plot", "power.svg", "-j",
                        "1", "--quiet"},
                       dir.path());
    ASSERT_EQ(r.status, 0) << r.err;
    const auto doc = nlohmann::json::parse(r.out);
    EXPECT_NEAR(doc.at("effect").get<double>(), -0.0438, 5e-7);
    EXPECT_TRUE(doc.at("effect_from_pilot").get<bool>());
    const auto& powers = doc.at("powers");
    ASSERT_EQ(powers.size(), 4u * 3u);
    EXPECT_EQ(powers[0].at("readers"), 4);
    EXPECT_EQ(powers[0].at("cases"), 50);
    EXPECT_EQ(powers[11].at("readers"), 12);
    EXPECT_EQ(powers[11].at("cases"), 150);
    EXPECT_EQ(powers[11].at("analyses").size(), 3u);

    const std::string svg = read_text(dir.path() / "power.svg");
    EXPECT_EQ(svg.rfind("<?xml", 0), 0u);
    auto count = [&](const std::string& what) {
        std::size_t n = 0;
        for (std::size_t at = svg.find(what); at != std::string::npos; at = svg.find(what, at + 1))
            ++n;
        return n;
    };
    EXPECT_EQ(count("class=\"power-curve\""), 4u);
    EXPECT_EQ(count("class=\"power-mark\""), 4u * 3u);
    EXPECT_EQ(count("class=\"target\""), 0u);  // no target power
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"power.svg"});
}

// A reference reader against the other readers, from the pilot.
TEST(PowerCommand, ReferenceReader)
{
    if (!fs::exists(vandyke)) GTEST_SKIP() << "no " << vandyke;
    TempDir dir;
    const auto r = run(study_exe,
                       {"power", vandyke.string(), "--fom", "wilcoxon", "--reference", "R1",
                        "--modality", "M1", "--readers", "10", "--cases", "100", "--effect",
                        "0.03"},
                       dir.path());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Power of a comparison of readers with a reference reader\n"),
              std::string::npos);
    EXPECT_NE(r.out.find("4 readers and the reference reader R1, modality M1"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("rest most on VarR_psi"), std::string::npos);

    // The same from given components of a reference reader.
    const std::vector<std::string> psi{"power",         "--var-psi", "6e-4", "--cov2-psi",
                                       "2e-4",          "--var-r-psi", "1e-3", "--pilot-cases",
                                       "114",           "--readers", "10",   "--cases",
                                       "100",           "--effect",  "0.03"};
    const auto given = run(study_exe, joined(psi, {"--format", "csv"}), dir.path());
    ASSERT_EQ(given.status, 0) << given.err;
    EXPECT_NE(given.out.find("\n10,100,reference_random_readers_random_cases,0."),
              std::string::npos)
        << given.out;
    const auto named = run(study_exe, joined(psi, {"--reference", "CAD"}), dir.path());
    ASSERT_EQ(named.status, 0) << named.err;
    EXPECT_NE(named.out.find("Reference reader: CAD\nComponents (K* = 114 pilot cases)\n"
                             "  Var_psi   6.000000e-04\n"),
              std::string::npos)
        << named.out;
}

// A refit of a model-based pilot that fails: status 2, named as compare names
// it, no picture and no report.
TEST(PowerCommand, FailedFitIsStatusTwo)
{
    // Reader C rates every case alike: its tables cannot be fitted.
    std::string csv = "reader,modality,case,truth,rating\n";
    for (const char* r : {"A", "B", "C"})
        for (const char* m : {"M1", "M2"})
            for (int c = 0; c < 20; ++c)
                csv += std::string(r) + "," + m + ",c" + std::to_string(c) + "," +
                       (c < 10 ? "0" : "1") + "," +
                       (r[0] == 'C' ? std::string("3") : std::to_string(1 + (c * 7) % 5 + c / 10)) +
                       "\n";
    TempDir dir;
    dir.write("alike.csv", csv);
    const auto r = run(study_exe,
                       {"power", "alike.csv", "--fom", "model-auc", "--readers", "10",
                        "--cases", "100", "--plot", "power.svg", "-j", "2"},
                       dir.path());
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("reader C, modality M1: the fit failed"), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty());
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"alike.csv"});
}

// The pilot takes compare's --localization: refused when it is neither use
// nor ignore, or for a localization FOM; a ratings-only model-auc pilot and
// one with the outcomes give the same numbers on ROC data (Van Dyke has no
// localization outcomes).
TEST(PowerCommand, PilotTakesTheLocalizationOption)
{
    if (!fs::exists(vandyke)) GTEST_SKIP() << "no " << vandyke;
    TempDir dir;
    const std::vector<std::string> base{"power",     vandyke.string(), "--readers", "10",
                                        "--cases",   "100",            "--effect",  "0.05",
                                        "--format",  "json",           "--quiet"};
    auto bad = joined(base, {"--fom", "model-auc", "--localization", "maybe"});
    auto r = run(study_exe, bad, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("--localization: \"maybe\" is not use or ignore"), std::string::npos)
        << r.err;
    bad = joined(base, {"--fom", "model-loc", "--localization", "ignore"});
    r = run(study_exe, bad, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("model-loc is a localization FOM"), std::string::npos) << r.err;
    const auto use = run(study_exe, joined(base, {"--fom", "model-auc", "--localization", "use"}),
                         dir.path());
    const auto ignore = run(
        study_exe, joined(base, {"--fom", "model-auc", "--localization", "ignore"}), dir.path());
    ASSERT_EQ(use.status, 0) << use.err;
    ASSERT_EQ(ignore.status, 0) << ignore.err;
    EXPECT_EQ(nlohmann::json::parse(use.out)["components"],
              nlohmann::json::parse(ignore.out)["components"]);
}

// A model-based pilot passes on the warnings of its fits: in the report, in
// the JSON and on standard error, as compare gives them (the Van Dyke study:
// R4's modality M2 table degenerate, ranges that end early, R5 apart).
TEST(PowerCommand, ModelBasedPilotCarriesItsFitWarnings)
{
    TempDir dir;
    const std::vector<std::string> args{"power",    vandyke.string(), "--fom", "model-auc",
                                        "--readers", "10",            "--cases", "100",
                                        "--effect",  "0.03",          "--quiet"};
    const auto text = run(study_exe, args, dir.path());
    ASSERT_EQ(text.status, 0) << text.err;
    EXPECT_NE(text.out.find("Warnings of the pilot's fits (the components rest on them):\n"
                            "  - no finite maximum of the likelihood"),
              std::string::npos)
        << text.out;
    EXPECT_NE(text.err.find("varnel-study: warning: no finite maximum"), std::string::npos);
    const auto json = run(study_exe, joined(args, {"--format", "json"}), dir.path());
    ASSERT_EQ(json.status, 0) << json.err;
    const nlohmann::json warnings = nlohmann::json::parse(json.out)["pilot"]["warnings"];
    ASSERT_EQ(warnings.size(), 3u);
    EXPECT_EQ(warnings[0]["kind"], "degenerate");
    EXPECT_EQ(warnings[2]["kind"], "model_disagrees");
    // An empirical pilot has none.
    const auto empirical =
        run(study_exe, {"power", vandyke.string(), "--fom", "wilcoxon", "--readers", "10",
                        "--cases", "100", "--format", "json", "--quiet"}, dir.path());
    ASSERT_EQ(empirical.status, 0) << empirical.err;
    EXPECT_TRUE(nlohmann::json::parse(empirical.out)["pilot"]["warnings"].empty());
    EXPECT_EQ(empirical.err, "");
}

// Bad input: status 1, a message naming the fault, nothing on standard output
// and no picture.
TEST(PowerCommand, BadInputIsRefused)
{
    TempDir dir;
    struct Case {
        std::vector<std::string> change;  // option and value replacing the default
        const char* says;
    };
    const Case cases[] = {
        {{"--var", "-0.001"}, "Var -0.001 is negative"},
        {{"--var-tr", "-2e-4"}, "VarTR -2e-04 is negative"},
        {{"--cov2", "abc"}, "--cov2: \"abc\" is not a number"},
        {{"--var", "nan"}, "--var: nan is not a finite number"},
        {{"--cov3", "inf"}, "--cov3: inf is not a finite number"},
        {{"--effect", "0"}, "effect 0: give the difference to detect"},
        {{"--cases", "200:100"}, "--cases: the range \"200:100\" is reversed"},
        {{"--cases", "100:200:0"}, "the step of \"100:200:0\" must be 1 or more"},
        {{"--cases", ""}, "--cases: empty"},
        {{"--cases", "50,,60"}, "--cases: an empty entry"},
        {{"--readers", "1"}, "readers 1: a planned study needs at least two readers"},
        {{"--readers", "2.5"}, "--readers: \"2.5\" is not a whole number"},
        {{"--cases", "1"}, "cases 1: a planned study needs at least two cases"},
        {{"--alpha", "0"}, "alpha 0 must lie between 0 and 1"},
        {{"--alpha", "1.2"}, "alpha 1.2 must lie between 0 and 1"},
        {{"--modalities", "1"}, "--modalities 1: a comparison of modalities needs 2 or more"},
        {{"--pilot-cases", "1"}, "pilot cases 1"},
        {{"--format", "xml"}, "--format must be text, csv or json"},
    };
    const std::vector<std::string> base = joined(
        joined({"power"}, vandyke_components),
        {"--readers", "10", "--cases", "100", "--effect", "0.05", "--plot", "power.svg"});
    for (const Case& c : cases) {
        std::vector<std::string> args = base;
        const auto at = std::find(args.begin(), args.end(), c.change[0]);
        if (at != args.end())
            *(at + 1) = c.change[1];
        else
            args.insert(args.end(), c.change.begin(), c.change.end());
        const auto r = run(study_exe, args, dir.path());
        EXPECT_EQ(r.status, 1) << c.says;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << c.says << ": " << r.err;
        EXPECT_TRUE(r.out.empty()) << c.says;
    }
    // Power outside (0, 1), in place of the cases.
    for (const char* p : {"0", "1", "1.5", "-0.2"}) {
        std::vector<std::string> args = base;
        const auto at = std::find(args.begin(), args.end(), "--cases");
        *at = "--power";
        *(at + 1) = p;
        const auto r = run(study_exe, args, dir.path());
        EXPECT_EQ(r.status, 1) << p;
        EXPECT_NE(r.err.find("must lie between 0 and 1 (0.8 for 80%)"), std::string::npos)
            << r.err;
    }
    // Components missing, mixed, or beside a pilot; neither cases nor power.
    const std::pair<std::vector<std::string>, const char*> wrong[] = {
        {{"power", "--var", "1e-3", "--pilot-cases", "100", "--readers", "5", "--cases", "50",
          "--effect", "0.1"},
         "--cov1 is missing"},
        {joined(joined({"power"}, vandyke_components), {"--var-psi", "1e-3", "--readers", "5",
                                                        "--cases", "50", "--effect", "0.1"}),
         "not both"},
        {joined(joined({"power"}, vandyke_components), {"--readers", "5", "--cases", "50"}),
         "--effect: give the difference to detect"},
        {joined(joined({"power"}, vandyke_components), {"--readers", "5", "--effect", "0.1"}),
         "give --cases"},
        {joined(joined({"power"}, vandyke_components),
                {"--readers", "5", "--cases", "50", "--effect", "0.1", "--fom", "wilcoxon"}),
         "--fom goes with a pilot file"},
        {{"power", "--readers", "5", "--cases", "50"}, "give a pilot file"},
        {{"power", vandyke.string(), "--readers", "5", "--cases", "50"}, "--fom"},
        {{"power", vandyke.string(), "--fom", "wilcoxon", "--readers", "5", "--cases", "50",
          "--modalities", "1"},
         "give --reference"},
    };
    for (const auto& [args, says] : wrong) {
        const auto r = run(study_exe, args, dir.path());
        EXPECT_EQ(r.status, 1) << says;
        EXPECT_NE(r.err.find(says), std::string::npos) << says << ": " << r.err;
    }
    EXPECT_TRUE(dir.entries().empty());
}
