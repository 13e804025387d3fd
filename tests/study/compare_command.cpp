// varnel-study compare end to end: the published two-modality study, a
// model-based analysis against a reference reader, and the designs and
// options it refuses.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "sim/case_sim.h"
#include "support/helpers.h"

using study_test::read_text;
using study_test::run;
using study_test::TempDir;
namespace fs = std::filesystem;

namespace {

const std::string study_exe = VARNEL_STUDY_EXE;
const fs::path vandyke = fs::path(VANDYKE_DIR) / "vandyke_cases.csv";

// Four readers in one modality (reader R01 standing for an algorithm),
// 50 normal and 50 target cases with localization.
std::string one_modality_cases()
{
    case_sim::Design d;
    d.readers = 4;
    d.modalities = 1;
    d.normal_cases = 50;
    d.target_cases = {50};
    d.targets = case_sim::same_targets(1, 1, {1.6, 1.2, 0.0});
    d.variance = {0.05, 0.2, 0.05, 0.0, 0.0};
    d.seed = 21;
    const case_sim::Simulation sim = case_sim::simulate(d);
    EXPECT_TRUE(sim.error.empty()) << sim.error;
    return case_sim::csv_text(sim);
}

}  // namespace

// The published analysis of the Van Dyke study through the command.
TEST(CompareCommand, VanDykeStudyAsPublished)
{
    if (!fs::exists(vandyke)) GTEST_SKIP() << "no " << vandyke;
    TempDir dir;
    const auto r = run(study_exe,
                       {"compare", vandyke.string(), "--fom", "wilcoxon", "--format", "json",
                        "--jackknife", "jack.csv"},
                       dir.path());
    ASSERT_EQ(r.status, 0) << r.err;
    const auto doc = nlohmann::json::parse(r.out);
    const auto& m = doc.at("analyses").at(0).at("modality_comparison");
    EXPECT_NEAR(m.at("modality_means")[0].get<double>(), 0.897037, 5e-7);
    EXPECT_NEAR(m.at("modality_means")[1].get<double>(), 0.940837, 5e-7);
    const auto& rr = m.at("random_readers_random_cases");
    EXPECT_NEAR(rr.at("statistic").get<double>(), 4.4563, 5e-5);
    EXPECT_NEAR(rr.at("ddf").get<double>(), 15.260, 5e-4);
    EXPECT_NEAR(rr.at("p").get<double>(), 0.05167, 5e-6);
    EXPECT_NEAR(rr.at("differences")[0].at("lower").get<double>(), -0.087959, 5e-7);
    EXPECT_NEAR(rr.at("differences")[0].at("upper").get<double>(), 0.000359, 5e-7);
    EXPECT_NEAR(m.at("fixed_readers_random_cases").at("statistic").get<double>(), 5.4760, 5e-5);
    EXPECT_NEAR(m.at("fixed_readers_random_cases").at("p").get<double>(), 0.01928, 5e-6);
    EXPECT_NEAR(m.at("random_readers_fixed_cases").at("statistic").get<double>(), 8.704, 5e-4);
    EXPECT_NEAR(m.at("random_readers_fixed_cases").at("p").get<double>(), 0.04196, 5e-6);
    const std::string jack = read_text(dir.path() / "jack.csv");
    EXPECT_EQ(jack.rfind("reader,modality,case,value\n", 0), 0u);
    EXPECT_EQ(std::count(jack.begin(), jack.end(), '\n'), 1 + 5 * 2 * 114);

    // Model-based with the defaults: the refit of reader R2, modality M2
    // without case c071 needs the retries, reader R4's modality M2 table is
    // degenerate; the report says so, and its warnings go to standard error
    // too.  The same output on 1 and 2 threads.
    std::vector<std::string> outs;
    for (const char* j : {"1", "2"}) {
        const auto model = run(study_exe,
                               {"compare", vandyke.string(), "--fom", "model-auc", "--jackknife",
                                "model.csv", "-j", j},
                               dir.path());
        ASSERT_EQ(model.status, 0) << model.err;
        EXPECT_NE(model.out.find("limit above 3, 6 refits"), std::string::npos) << model.out;
        EXPECT_NE(model.err.find("varnel-study: warning: no finite maximum of the likelihood (no "
                                 "normal case above some category) for the full tables of R4 (M2)"),
                  std::string::npos)
            << model.err;
        EXPECT_NE(model.out.find("  - no finite maximum of the likelihood"), std::string::npos);
        outs.push_back(model.out + model.err);
    }
    EXPECT_EQ(outs[0], outs[1]);
    EXPECT_TRUE(fs::exists(dir.path() / "model.csv"));
}

// A model-based FOM against a reference reader: the same report whatever -j
// is, with both tests of the reference analysis and a jackknife file.
TEST(CompareCommand, ModelBasedReferenceAnalysis)
{
    TempDir dir;
    dir.write("cases.csv", one_modality_cases());
    std::vector<std::string> outs;
    for (const char* j : {"1", "2"}) {
        const auto r = run(study_exe,
                           {"compare", "cases.csv", "--fom", "model-pcl@0.2", "--reference", "R01",
                            "--categories", "6", "-j", j, "--jackknife",
                            std::string("jack") + j + ".csv"},
                           dir.path());
        ASSERT_EQ(r.status, 0) << r.err;
        outs.push_back(r.out);
    }
    EXPECT_EQ(outs[0], outs[1]);
    EXPECT_EQ(read_text(dir.path() / "jack1.csv"), read_text(dir.path() / "jack2.csv"));
    EXPECT_NE(outs[0].find("model-pcl@0.2"), std::string::npos);
    EXPECT_NE(outs[0].find("R01"), std::string::npos);
    const std::string jack = read_text(dir.path() / "jack1.csv");
    EXPECT_EQ(std::count(jack.begin(), jack.end(), '\n'), 1 + 4 * 100);

    const auto json = run(study_exe,
                          {"compare", "cases.csv", "--fom", "model-alroc", "--reference", "R01",
                           "--categories", "6", "--format", "json"},
                          dir.path());
    ASSERT_EQ(json.status, 0) << json.err;
    const auto doc = nlohmann::json::parse(json.out);
    const auto& ref = doc.at("analyses").at(0).at("reference_analyses").at(0);
    EXPECT_EQ(ref.at("reference"), "R01");
    EXPECT_EQ(ref.at("psi").size(), 3u);
    EXPECT_TRUE(ref.at("random_readers_random_cases").at("p").is_number());
    EXPECT_TRUE(ref.at("random_readers_fixed_cases").at("p").is_number());
}

// Designs that do not fit and bad options: a message, status 1, no output.
TEST(CompareCommand, RefusedDesignsAndOptions)
{
    TempDir dir;
    const std::string cases = one_modality_cases();
    dir.write("cases.csv", cases);
    // Reader R02 without its first case.
    std::string missing = cases;
    const std::size_t at = missing.find("\nR02,");
    missing.erase(at, missing.find('\n', at + 1) - at);
    dir.write("missing.csv", missing);
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const Case refused[] = {
        {{"cases.csv", "--fom", "wilcoxon"}, "the study has one modality"},
        {{"cases.csv", "--fom", "wilcoxon", "--reference", "R09"}, "R09"},
        {{"missing.csv", "--fom", "wilcoxon", "--reference", "R01"}, "was not read by reader"},
        {{"cases.csv", "--fom", "sensitivity", "--reference", "R01"}, "sensitivity"},
        {{"cases.csv", "--fom", "pcl@1.5", "--reference", "R01"}, "pcl@1.5"},
        {{"cases.csv", "--fom", "model-pcl@0", "--reference", "R01"}, "model-pcl@0"},
        {{"cases.csv", "--fom", "wilcoxon", "--reference", "R01", "--format", "xml"},
         "--format must be text or json"},
        {{"cases.csv", "--fom", "model-auc", "--reference", "R01", "--criterion", "0"},
         "--criterion"},
        {{"cases.csv", "--fom", "model-auc", "--reference", "R01", "--localization", "maybe"},
         "--localization: \"maybe\" is not use or ignore"},
        {{"cases.csv", "--fom", "model-loc", "--reference", "R01", "--localization", "ignore"},
         "--localization: model-loc is a localization FOM"},
        {{"cases.csv", "--fom", "model-auc", "--reference", "R01", "--binning", "readers"},
         "--binning: \"readers\" is not study or reader"},
        {{"cases.csv", "--fom", "model-auc", "--reference", "R01", "--gof-bootstrap", "-5"},
         "--gof-bootstrap must be 0"},
    };
    for (const Case& c : refused) {
        std::vector<std::string> args{"compare"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        args.push_back("--jackknife");
        args.push_back("jack.csv");
        const auto r = run(study_exe, args, dir.path());
        EXPECT_EQ(r.status, 1) << c.message << ": " << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_TRUE(r.out.empty()) << c.message;
        EXPECT_FALSE(fs::exists(dir.path() / "jack.csv")) << c.message;
    }
    // Fewer than two readers besides the reference.
    std::string two_readers = "reader,modality,case,truth,rating,localized\n";
    for (std::size_t start = cases.find('\n') + 1; start < cases.size();) {
        const std::size_t end = cases.find('\n', start);
        const std::string line = cases.substr(start, end - start);
        if (line.rfind("R01,", 0) == 0 || line.rfind("R02,", 0) == 0) two_readers += line + "\n";
        start = end + 1;
    }
    dir.write("two.csv", two_readers);
    const auto r = run(study_exe, {"compare", "two.csv", "--fom", "wilcoxon", "--reference", "R01"},
                       dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("two"), std::string::npos) << r.err;
}
