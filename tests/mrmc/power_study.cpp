// The planning call power::power: from a pilot through compare's jackknife
// (the published Van Dyke size, a model-based pilot against a reference
// reader, its progress and cancellation), from given components, the checks
// made before the pilot's fits, and the shapes of the CSV, JSON and text
// reports.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <filesystem>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "mrmc/compare.h"
#include "mrmc/pilot.h"
#include "sim/case_sim.h"
#include "support/case_loader.h"
#include "varnel/power.h"

namespace {

using namespace varnel;
using power::Analysis;
using power::PowerOptions;
using power::PowerResult;

constexpr double nan_value = std::numeric_limits<double>::quiet_NaN();

study::CaseStudy vandyke()
{
    EXPECT_TRUE(std::filesystem::exists(VANDYKE_CASES)) << VANDYKE_CASES;
    return mrmc_test::load_cases(VANDYKE_CASES);
}

PowerOptions wilcoxon_options()
{
    PowerOptions o;
    o.pilot.fom = mrmc::parse_fom("wilcoxon").value();
    return o;
}

PowerResult planned(const study::CaseStudy& pilot, const PowerOptions& o)
{
    auto r = power::power(pilot, o);
    EXPECT_TRUE(r) << r.error().message;
    return r ? r.value() : PowerResult{};
}

// The Van Dyke components as `compare --fom wilcoxon` prints them, K* = 114.
power::ModalityComponents vandyke_printed()
{
    return {8.022883e-04, 3.466137e-04, 3.440748e-04, 2.390284e-04, 2.004025e-04, {}, 114};
}

const power::CasesForPower& search_of(const PowerResult& r, int readers, Analysis a)
{
    for (const power::CasesForPower& s : r.smallest_cases)
        if (s.readers == readers && s.analysis == a) return s;
    throw std::runtime_error("no search");
}

// Acceptance: 10 readers, d = 0.0438, 80% power: 163 cases for random readers
// and cases, from the file and from the components it prints.
TEST(PowerCall, VanDykeNeeds163CasesFromThePilotAndFromItsComponents)
{
    PowerOptions o = wilcoxon_options();
    o.readers = {10};
    o.effect = 0.0438;
    o.target_power = 0.8;
    const PowerResult pilot = planned(vandyke(), o);
    ASSERT_EQ(pilot.smallest_cases.size(), 3u);
    const power::CasesForPower& rr = search_of(pilot, 10, Analysis::random_readers_random_cases);
    ASSERT_TRUE(rr.cases);
    EXPECT_EQ(*rr.cases, 163);
    EXPECT_GE(rr.power.power, 0.8);

    // What the result says about the pilot.
    EXPECT_EQ(pilot.pilot_cases, 114);
    EXPECT_EQ(pilot.pilot_normal_cases, 69);
    EXPECT_EQ(pilot.pilot_target_cases, 45);
    EXPECT_EQ(pilot.target_class, 1);
    EXPECT_EQ(pilot.pilot_readers.size(), 5u);
    EXPECT_EQ(pilot.pilot_modalities, (std::vector<std::string>{"M1", "M2"}));
    ASSERT_TRUE(pilot.modality_components);
    EXPECT_FALSE(pilot.reference());
    EXPECT_NEAR(pilot.modality_components->var_tr, 2.004025e-04, 5e-11);
    EXPECT_EQ(pilot.modalities, 2);
    EXPECT_FALSE(pilot.effect_from_pilot);
    EXPECT_EQ(pilot.effect, 0.0438);
    EXPECT_TRUE(pilot.powers.empty());

    auto given = power::power(vandyke_printed(), o);
    ASSERT_TRUE(given) << given.error().message;
    EXPECT_EQ(search_of(*given, 10, Analysis::random_readers_random_cases).cases, 163);
    EXPECT_FALSE(given->fom);
    EXPECT_EQ(given->pilot_cases, 114);
    // The other analyses agree between file and printed components.
    for (Analysis a : {Analysis::fixed_readers_random_cases, Analysis::random_readers_fixed_cases})
        EXPECT_EQ(search_of(*given, 10, a).cases, search_of(pilot, 10, a).cases);
}

// Without an effect, the pilot's observed difference M1 - M2; the grid of
// planned studies readers outer, each the power of plan_power for the
// pilot's components.
TEST(PowerCall, PilotEffectAndTheGridOfPlannedStudies)
{
    PowerOptions o = wilcoxon_options();
    o.readers = {4, 10};
    o.cases = {50, 163};
    const PowerResult r = planned(vandyke(), o);
    EXPECT_TRUE(r.effect_from_pilot);
    EXPECT_NEAR(r.effect, 0.897037 - 0.940837, 1e-6);
    ASSERT_EQ(r.powers.size(), 4u);
    const std::pair<int, int> order[] = {{4, 50}, {4, 163}, {10, 50}, {10, 163}};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(r.powers[i].readers, order[i].first);
        EXPECT_EQ(r.powers[i].cases, order[i].second);
        power::Plan plan;
        plan.readers = order[i].first;
        plan.cases = order[i].second;
        auto direct = power::plan_power(*r.modality_components, plan);
        ASSERT_TRUE(direct) << direct.error().message;
        ASSERT_EQ(r.powers[i].analyses.size(), 3u);
        for (std::size_t a = 0; a < 3; ++a)
            EXPECT_EQ(r.powers[i].analyses[a].power, direct->analyses[a].power);
    }
    // More readers, more power (random readers and cases at 163 cases).
    EXPECT_LT(r.powers[1].analyses[0].power, r.powers[3].analyses[0].power);
}

// A reference reader in a pilot of two modalities: the components of the
// named modality's reference analysis, the readers besides the reference.
TEST(PowerCall, ReferenceReaderOfOneModality)
{
    PowerOptions o = wilcoxon_options();
    o.pilot.analysis.reference_reader = "R1";
    o.reference_modality = "M2";
    o.readers = {10};
    o.cases = {100};
    o.effect = 0.03;
    const PowerResult r = planned(vandyke(), o);
    ASSERT_TRUE(r.reference());
    EXPECT_FALSE(r.modality_components);
    EXPECT_EQ(r.reference_reader, "R1");
    EXPECT_EQ(r.reference_modality, "M2");
    EXPECT_EQ(r.pilot_readers, (std::vector<std::string>{"R2", "R3", "R4", "R5"}));
    EXPECT_EQ(r.modalities, 1);

    mrmc::CompareOptions c;
    c.fom = o.pilot.fom;
    c.analysis.reference_reader = "R1";
    auto analysed = mrmc::compare(vandyke(), c);
    ASSERT_TRUE(analysed) << analysed.error().message;
    auto expected = mrmc::reference_components(analysed->classes.at(0), 1);
    ASSERT_TRUE(expected);
    EXPECT_EQ(r.reference_components->var, expected->var);
    EXPECT_EQ(r.reference_components->cov2, expected->cov2);
    EXPECT_EQ(r.reference_components->var_r, expected->var_r);
    EXPECT_EQ(r.reference_components->mean_psi, expected->mean_psi);
    ASSERT_EQ(r.powers.size(), 1u);
    ASSERT_EQ(r.powers[0].analyses.size(), 2u);
    EXPECT_EQ(r.powers[0].analyses[0].analysis, Analysis::reference_random_readers_random_cases);

    // Without the modality the pilot's two modalities leave it open.
    o.reference_modality.clear();
    auto open = power::power(vandyke(), o);
    ASSERT_FALSE(open);
    EXPECT_NE(open.error().message.find("name the one"), std::string::npos)
        << open.error().message;
    o.reference_modality = "M3";
    auto unknown = power::power(vandyke(), o);
    ASSERT_FALSE(unknown);
    EXPECT_NE(unknown.error().message.find("\"M3\" is not a modality"), std::string::npos);
}

// Four readers (R01 fixed, an algorithm) in one modality, 40 normal and 40
// target cases.
study::CaseStudy algorithm_pilot(std::uint64_t seed)
{
    case_sim::Design d;
    d.readers = 4;
    d.modalities = 1;
    d.normal_cases = 40;
    d.target_cases = {40};
    d.targets = case_sim::same_targets(1, 1, {1.5, 1.2, 0.0});
    d.variance = {0.05, 0.2, 0.05, 0.0, 0.0};
    d.seed = seed;
    const case_sim::Simulation sim = case_sim::simulate(d);
    EXPECT_TRUE(sim.error.empty()) << sim.error;
    return mrmc_test::parse_cases(case_sim::csv_text(sim), "pilot.csv");
}

// A model-based pilot: the same fits and refits as compare (the components
// equal those of its analysis), with its progress; cancelled, an error.
TEST(PowerCall, ModelBasedPilotRunsCompareWithItsRunControl)
{
    const study::CaseStudy pilot = algorithm_pilot(5);
    PowerOptions o;
    o.pilot.fom = mrmc::parse_fom("model-alroc").value();
    o.pilot.analysis.reference_reader = "R01";
    o.pilot.binning.categories = 6;
    o.pilot.run.threads = 2;
    int reports = 0;
    o.pilot.run.progress = [&](int, int) { ++reports; };
    o.readers = {5, 10};
    o.target_power = 0.8;
    o.effect = 0.05;
    const PowerResult r = planned(pilot, o);
    EXPECT_GT(reports, 0);
    ASSERT_TRUE(r.reference());
    EXPECT_EQ(r.smallest_cases.size(), 4u);
    EXPECT_EQ(mrmc::fom_name(*r.fom), "model-alroc");

    mrmc::CompareOptions c = o.pilot;
    c.run.progress = nullptr;
    auto analysed = mrmc::compare(pilot, c);
    ASSERT_TRUE(analysed) << analysed.error().message;
    auto expected = mrmc::reference_components(analysed->classes.at(0), 0);
    ASSERT_TRUE(expected);
    EXPECT_EQ(r.reference_components->var, expected->var);
    EXPECT_EQ(r.reference_components->var_r, expected->var_r);

    std::atomic<bool> cancel{true};
    o.pilot.run.cancel = &cancel;
    auto stopped = power::power(pilot, o);
    ASSERT_FALSE(stopped);
    EXPECT_EQ(stopped.error().kind, ErrorKind::cancelled);
}

// Three modalities without a given effect: the pilot's means (no single
// difference, d undefined), their sum of squared deviations in lambda.
TEST(PowerCall, PilotMeansOfThreeModalities)
{
    case_sim::Design d;
    d.readers = 4;
    d.modalities = 3;
    d.normal_cases = 40;
    d.target_cases = {40};
    d.targets = {{{1.2, 1.0, 0.0}}, {{1.5, 1.0, 0.0}}, {{1.9, 1.0, 0.0}}};
    d.variance = {0.05, 0.2, 0.05, 0.0, 0.0};
    d.seed = 7;
    const case_sim::Simulation sim = case_sim::simulate(d);
    ASSERT_TRUE(sim.error.empty()) << sim.error;
    PowerOptions o = wilcoxon_options();
    o.readers = {6};
    o.cases = {100};
    const PowerResult r = planned(mrmc_test::parse_cases(case_sim::csv_text(sim), "three.csv"), o);
    ASSERT_EQ(r.modality_components->modality_means.size(), 3u);
    EXPECT_EQ(r.modalities, 3);
    EXPECT_TRUE(std::isnan(r.effect));
    const std::vector<double>& tau = r.modality_components->modality_means;
    const double mean = (tau[0] + tau[1] + tau[2]) / 3;
    double ss = 0.0;
    for (double t : tau) ss += (t - mean) * (t - mean);
    EXPECT_NEAR(r.effect_sum_squares, ss, 1e-15);
    const power::AnalysisPower& rr = r.powers.at(0).analyses.at(0);
    EXPECT_EQ(rr.ndf, 2.0);
    EXPECT_NEAR(rr.lambda, 6 * ss / rr.denominator, 1e-12);
    EXPECT_NE(power::format_power_text(r).find("Effect: the pilot's modality means (sum of "
                                               "squared deviations"),
              std::string::npos);
    EXPECT_TRUE(nlohmann::json::parse(power::format_power_json(r)).at("effect").is_null());

    // Planning for two of them needs the difference.
    o.modalities = 2;
    auto two = power::power(mrmc_test::parse_cases(case_sim::csv_text(sim), "three.csv"), o);
    ASSERT_FALSE(two);
    EXPECT_NE(two.error().message.find("for 2 modalities give the difference"), std::string::npos)
        << two.error().message;
}

// A table that cannot be fitted ends the planning with status 2: reader C
// rates every case alike.
TEST(PowerCall, FailedFitIsStatusTwo)
{
    std::string csv = "reader,modality,case,truth,rating\n";
    for (const char* r : {"A", "B", "C"})
        for (const char* m : {"M1", "M2"})
            for (int c = 0; c < 20; ++c)
                csv += std::string(r) + "," + m + ",c" + std::to_string(c) + "," +
                       (c < 10 ? "0" : "1") + "," +
                       (r[0] == 'C' ? std::string("3") : std::to_string(1 + (c * 7) % 5 + c / 10)) +
                       "\n";
    PowerOptions o;
    o.pilot.fom = mrmc::parse_fom("model-auc").value();
    o.pilot.run.threads = 2;
    o.readers = {10};
    o.cases = {100};
    auto r = power::power(mrmc_test::parse_cases(csv, "alike.csv"), o);
    ASSERT_FALSE(r);
    EXPECT_EQ(r.error().kind, ErrorKind::failed_fit);
    EXPECT_EQ(r.error().status, 2);
    EXPECT_NE(r.error().message.find("reader C, modality M1: the fit failed"), std::string::npos)
        << r.error().message;
}

// Bad options are refused before the pilot's fits start (no progress is
// reported), with a message naming the fault.
TEST(PowerCall, BadOptionsBeforeAnyFit)
{
    const study::CaseStudy pilot = algorithm_pilot(6);
    struct Case {
        const char* says;
        void (*change)(PowerOptions&);
    };
    const Case cases[] = {
        {"readers: give the numbers", [](PowerOptions& o) { o.readers.clear(); }},
        {"readers 1: a planned study needs at least two readers besides the reference",
         [](PowerOptions& o) { o.readers = {5, 1}; }},
        {"cases: give the numbers", [](PowerOptions& o) { o.cases.clear(); }},
        {"cases 0: a planned study needs at least two cases",
         [](PowerOptions& o) { o.cases = {0}; }},
        {"power 1 must lie between 0 and 1", [](PowerOptions& o) { o.target_power = 1.0; }},
        {"alpha 0 must lie between 0 and 1", [](PowerOptions& o) { o.alpha = 0.0; }},
        {"effect 0: give the difference", [](PowerOptions& o) { o.effect = 0.0; }},
        {"the effect is not a finite number", [](PowerOptions& o) { o.effect = nan_value; }},
        {"the largest number of cases to search, 1",
         [](PowerOptions& o) { o.target_power = 0.8, o.max_cases = 1; }},
        {"the pilot has cases of target classes", [](PowerOptions&) {}},  // see below
    };
    for (const Case& c : cases) {
        PowerOptions o;
        o.pilot.fom = mrmc::parse_fom("model-auc").value();
        o.pilot.analysis.reference_reader = "R01";
        int reports = 0;
        o.pilot.run.progress = [&](int, int) { ++reports; };
        o.readers = {5};
        o.cases = {100};
        c.change(o);
        const bool two_classes = std::string(c.says).rfind("the pilot has", 0) == 0;
        study::CaseStudy s = pilot;
        if (two_classes)  // the last target case made a case of class 2
            for (std::size_t k = s.truth.size(); k-- > 0;)
                if (s.truth[k] == 1) {
                    s.truth[k] = 2;
                    break;
                }
        auto r = power::power(s, o);
        ASSERT_FALSE(r) << c.says;
        EXPECT_EQ(r.error().status, 1) << c.says;
        EXPECT_NE(r.error().message.find(c.says), std::string::npos) << r.error().message;
        EXPECT_EQ(reports, 0) << c.says;
    }

    // One modality planned without a reference reader.
    PowerOptions o = wilcoxon_options();
    o.readers = {5};
    o.cases = {100};
    o.modalities = 1;
    auto one = power::power(vandyke(), o);
    ASSERT_FALSE(one);
    EXPECT_NE(one.error().message.find("modalities 1: a comparison of modalities needs two"),
              std::string::npos)
        << one.error().message;
    auto given = power::power(vandyke_printed(), o);
    ASSERT_FALSE(given);
    EXPECT_NE(given.error().message.find("modalities 1"), std::string::npos);
}

// ---------------------------------------------------------------------------
// Reports.

std::vector<std::vector<std::string>> csv_rows(const std::string& text)
{
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::vector<std::string> cells;
        std::string cell;
        bool quoted = false;
        for (char ch : line) {
            if (ch == '"') quoted = !quoted;
            else if (ch == ',' && !quoted) cells.push_back(cell), cell.clear();
            else cell += ch;
        }
        cells.push_back(cell);
        rows.push_back(cells);
    }
    return rows;
}

// Components of a pilot with one reader: Cov2, Cov3 and VarTR undefined, so
// that no analysis has a number; the reasons are written instead.
power::ModalityComponents one_reader_pilot()
{
    return {8e-4, 3e-4, nan_value, nan_value, nan_value, {}, 100};
}

TEST(PowerReports, CsvOfPlannedStudies)
{
    PowerOptions o;
    o.readers = {5, 10};
    o.cases = {50, 100, 200};
    o.effect = 0.05;
    auto r = power::power(vandyke_printed(), o);
    ASSERT_TRUE(r) << r.error().message;
    const auto rows = csv_rows(power::format_power_csv(*r));
    ASSERT_EQ(rows.size(), 1u + 2 * 3 * 3);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"readers", "cases", "analysis", "power", "lambda",
                                                 "ndf", "ddf", "critical_value", "reason"}));
    for (std::size_t i = 1; i < rows.size(); ++i) {
        ASSERT_EQ(rows[i].size(), 9u) << i;
        const double p = std::stod(rows[i][3]);
        EXPECT_GT(p, 0.05);
        EXPECT_LT(p, 1.0);
        EXPECT_TRUE(rows[i][8].empty());
        // The chi-square test has no denominator degrees of freedom.
        EXPECT_EQ(rows[i][6] == "Inf", rows[i][2] == "fixed_readers_random_cases") << i;
    }
    EXPECT_EQ(rows[1][0], "5");
    EXPECT_EQ(rows[1][1], "50");
    EXPECT_EQ(rows[18][0], "10");
    EXPECT_EQ(rows[18][1], "200");
    // The numbers read back exactly.
    EXPECT_EQ(std::stod(rows[1][3]), r->powers[0].analyses[0].power);

    // Without a number: empty cells and the reason, quoted where it has commas.
    auto gap = power::power(one_reader_pilot(), o);
    ASSERT_TRUE(gap) << gap.error().message;
    const auto gap_rows = csv_rows(power::format_power_csv(*gap));
    ASSERT_EQ(gap_rows.size(), 19u);
    for (std::size_t i = 1; i < gap_rows.size(); ++i) {
        ASSERT_EQ(gap_rows[i].size(), 9u);
        EXPECT_TRUE(gap_rows[i][3].empty());
        EXPECT_EQ(gap_rows[i][8].rfind("no power: Cov2", 0), 0u) << gap_rows[i][8];
    }
}

TEST(PowerReports, CsvAndJsonOfTheSearch)
{
    PowerOptions o;
    o.readers = {2, 10};
    o.effect = 0.0438;
    o.target_power = 0.8;
    auto r = power::power(vandyke_printed(), o);
    ASSERT_TRUE(r) << r.error().message;
    const auto rows = csv_rows(power::format_power_csv(*r));
    ASSERT_EQ(rows.size(), 1u + 2 * 3);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"readers", "analysis", "target_power", "cases",
                                                 "power", "lambda", "ndf", "ddf",
                                                 "critical_value", "note"}));
    // Two readers: VarTR caps the random-readers power below 80%.
    EXPECT_EQ(rows[1][0], "2");
    EXPECT_EQ(rows[1][1], "random_readers_random_cases");
    EXPECT_TRUE(rows[1][3].empty());
    EXPECT_TRUE(rows[1][4].empty());
    EXPECT_EQ(rows[1][9].rfind("not reached", 0), 0u);
    EXPECT_EQ(rows[4][0], "10");
    EXPECT_EQ(rows[4][3], "163");
    EXPECT_EQ(rows[4][2], "0.8");

    const auto doc = nlohmann::json::parse(power::format_power_json(*r));
    EXPECT_EQ(doc.at("comparison"), "modalities");
    EXPECT_TRUE(doc.at("fom").is_null());
    EXPECT_TRUE(doc.at("pilot").is_null());
    EXPECT_EQ(doc.at("pilot_cases"), 114);
    EXPECT_EQ(doc.at("components").at("var_tr").get<double>(), 2.004025e-04);
    EXPECT_EQ(doc.at("target_power").get<double>(), 0.8);
    EXPECT_TRUE(doc.at("powers").empty());
    const auto& s = doc.at("smallest_cases");
    ASSERT_EQ(s.size(), 6u);
    EXPECT_TRUE(s[0].at("cases").is_null());
    EXPECT_FALSE(s[0].at("reached").get<bool>());
    EXPECT_LT(s[0].at("power").at("power").get<double>(), 0.8);  // at 100,000 cases
    EXPECT_EQ(s[3].at("cases"), 163);
    EXPECT_TRUE(s[3].at("reached").get<bool>());
    EXPECT_EQ(s[4].at("power").at("statistic"), "chi2");
    EXPECT_TRUE(s[4].at("power").at("ddf").is_null());  // infinite
    EXPECT_NE(doc.at("note").get<std::string>().find("VarTR"), std::string::npos);
}

TEST(PowerReports, JsonOfAPilot)
{
    PowerOptions o = wilcoxon_options();
    o.readers = {6};
    o.cases = {120};
    const PowerResult r = planned(vandyke(), o);
    const auto doc = nlohmann::json::parse(power::format_power_json(r));
    EXPECT_EQ(doc.at("fom"), "wilcoxon");
    EXPECT_EQ(doc.at("target_class"), 1);
    EXPECT_TRUE(doc.at("reference_reader").is_null());
    EXPECT_EQ(doc.at("pilot").at("readers").size(), 5u);
    EXPECT_EQ(doc.at("pilot").at("normal_cases"), 69);
    EXPECT_EQ(doc.at("components").at("modality_means").size(), 2u);
    EXPECT_TRUE(doc.at("effect_from_pilot").get<bool>());
    const auto& p = doc.at("powers");
    ASSERT_EQ(p.size(), 1u);
    EXPECT_EQ(p[0].at("readers"), 6);
    EXPECT_NEAR(p[0].at("case_ratio").get<double>(), 114.0 / 120.0, 1e-15);
    ASSERT_EQ(p[0].at("analyses").size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        const auto& a = p[0].at("analyses")[i];
        EXPECT_EQ(a.at("status"), "ok");
        EXPECT_EQ(a.at("analysis"), power::analysis_key(r.powers[0].analyses[i].analysis));
        EXPECT_EQ(a.at("power").get<double>(), r.powers[0].analyses[i].power);
    }
}

// The text: components and effect above the tables, every analysis with its
// rows or reasons, undefined components named, the note on what the powers
// rest on below.
TEST(PowerReports, TextReport)
{
    PowerOptions o;
    o.readers = {10};
    o.effect = 0.0438;
    o.target_power = 0.8;
    auto r = power::power(vandyke_printed(), o);
    ASSERT_TRUE(r);
    const std::string text = power::format_power_text(*r);
    for (const char* line : {
             "Power of a comparison of modalities\n",
             "Components (K* = 114 pilot cases)\n",
             "  VarTR  2.004025e-04\n",
             "Effect: d = 0.043800 (given)\n",
             "Smallest number of cases with power 0.8 or more (searched 2 to 100000)\n",
             "Random readers and random cases: F(1, ddf), ddf by Hillis\n",
             "       10    163  0.8016  8.1269  63.1378      3.9930\n",
             "Fixed readers and random cases: chi-square on 1 df\n",
             "Note: The powers take these components as the true ones.",
         })
        EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;

    o.target_power.reset();
    o.cases = {100};
    auto gap = power::power(one_reader_pilot(), o);
    ASSERT_TRUE(gap);
    const std::string gap_text = power::format_power_text(*gap);
    EXPECT_NE(gap_text.find("  Cov2   undefined\n"), std::string::npos) << gap_text;
    EXPECT_NE(gap_text.find("       10    100  no power: Cov2, Cov3 and VarTR are undefined"),
              std::string::npos)
        << gap_text;
}

}  // namespace
