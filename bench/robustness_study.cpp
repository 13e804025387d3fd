// The robustness study, run by hand (not a test): reader studies of an
// algorithm against 5 readers (100 normal + 100 target cases, 6 rating
// categories) drawn from models other than the LROC model
// (tools/sim/robustness_sim.h), analysed with the empirical and the model-based
// FOMs; for each scenario and FOM the rate at which the random-readers
// random-cases test rejects at alpha 0.05, in the reference-reader analysis
// (the algorithm as reference) and in a comparison of two modalities (the
// readers reading one modality as readers, the other as the algorithm does).
// Each scenario sets the algorithm's mean so that one true quantity (AUC,
// latent AUC or PCL@1) of the algorithm equals the readers' (less the
// scenario's difference); every FOM's line shows the true difference of the
// quantity it estimates, so a rate is a size exactly where that is 0.
// At the end, per plan, one Markdown table of every scenario run.
//   robustness_study [--scenario NAME]... [--studies N] [--seed S] [-j THREADS] [--list]
#include <CLI/CLI.hpp>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "sim/robustness_sim.h"
#include "varnel/cases.h"
#include "varnel/compare.h"

using namespace varnel;
using robustness_sim::Quantity;

namespace {

constexpr double alpha = 0.05;
constexpr int categories = 6;
// A true difference below this counts as none: the quantity made equal is
// equal to 1e-9, but against random readers a fixed algorithm cannot have
// two quantities equal at once (the readers' mean over their spread of mu
// moves the AUC and the PCL differently: 0.001 apart in the LROC model).
constexpr double null_tolerance = 2e-3;

struct Scenario {
    const char* name;
    const char* description;
    robustness_sim::Arm algorithm;  // its mu is solved for
    robustness_sim::Arm reader;
    Quantity equal;     // the quantity made equal, less the difference
    double difference;  // readers minus algorithm in that quantity (0: the null hypothesis)
};

robustness_sim::Arm arm(std::vector<int> sites = {1}, std::vector<double> unmarked = {0.0},
                     double misplaced = 0.0)
{
    robustness_sim::Arm a;
    a.sites = std::move(sites);
    a.unmarked = std::move(unmarked);
    a.misplaced = misplaced;
    return a;
}

const std::vector<Scenario>& scenarios()
{
    static const std::vector<Scenario> list{
        {"model", "the LROC model for both", arm(), arm(), Quantity::auc, 0.0},
        {"sites-1-vs-1to5", "algorithm 1 non-target site, readers 1 to 5 (each at random)",
         arm({1}), arm({1, 2, 3, 4, 5}), Quantity::auc, 0.0},
        {"sites-5-vs-1", "algorithm 5 non-target sites, readers 1", arm({5}), arm({1}),
         Quantity::auc, 0.0},
        {"sites-pcl", "as sites-1-vs-1to5, PCL@1 made equal", arm({1}), arm({1, 2, 3, 4, 5}),
         Quantity::pcl, 0.0},
        {"unmarked-algorithm", "algorithm leaves 40% of cases unmarked, readers mark all",
         arm({1}, {0.4}), arm(), Quantity::auc, 0.0},
        {"unmarked-algorithm-latent", "as unmarked-algorithm, latent AUC made equal",
         arm({1}, {0.4}), arm(), Quantity::latent_auc, 0.0},
        {"unmarked-readers",
         "readers leave 30-50% unmarked (30, 35, .., 50% at random), algorithm marks all", arm(),
         arm({1}, {0.3, 0.35, 0.4, 0.45, 0.5}), Quantity::auc, 0.0},
        {"unmarked-readers-latent", "as unmarked-readers, latent AUC made equal", arm(),
         arm({1}, {0.3, 0.35, 0.4, 0.45, 0.5}), Quantity::latent_auc, 0.0},
        {"misplaced", "algorithm marks away from the target in 15% of cases",
         arm({1}, {0.0}, 0.15), arm(), Quantity::auc, 0.0},
        {"misplaced-pcl", "as misplaced, PCL@1 made equal", arm({1}, {0.0}, 0.15), arm(),
         Quantity::pcl, 0.0},
        {"power-model", "the LROC model, readers' AUC 0.05 above the algorithm's", arm(), arm(),
         Quantity::auc, 0.05},
        {"power-misplaced", "as misplaced, readers' AUC 0.05 above the algorithm's",
         arm({1}, {0.0}, 0.15), arm(), Quantity::auc, 0.05},
    };
    return list;
}

// One analysis made of every study: a FOM, how its tables are fitted, and
// the true quantity it estimates.
struct Method {
    const char* label;
    const char* fom;
    bool ignore_localization;
    Quantity estimand;
};

const Method methods[] = {
    {"wilcoxon", "wilcoxon", false, Quantity::auc},
    {"pcl@1", "pcl@1", false, Quantity::pcl},
    {"model-auc (loc. used)", "model-auc", false, Quantity::latent_auc},
    {"model-auc (loc. ignored)", "model-auc", true, Quantity::latent_auc},
    {"model-loc", "model-loc", false, Quantity::latent_pcl},
};
constexpr int method_count = static_cast<int>(std::size(methods));
constexpr robustness_sim::Plan plans[] = {robustness_sim::Plan::reference, robustness_sim::Plan::modalities};

const char* plan_name(robustness_sim::Plan p)
{
    return p == robustness_sim::Plan::reference ? "reference" : "modalities";
}

// The outcome of one analysis of one study.
struct Outcome {
    bool analysed = false;
    bool rejected = false;
    double estimate = 0.0;  // readers minus algorithm
    std::string failure;
};

// A failure without the names of the table and case and without the advice
// after it: what went wrong.
std::string reason_of(const std::string& message)
{
    for (const char* stage : {"the refit failed: ", "the fit failed: "}) {
        const std::size_t at = message.find(stage);
        if (at == std::string::npos) continue;
        std::string rest = message.substr(at + std::string(stage).size());
        rest = rest.substr(0, std::min(rest.find(" (the same table"), rest.find(';')));
        return std::string(stage[4] == 'r' ? "refit: " : "fit: ") + rest;
    }
    return message;
}

Outcome analyse(const study::CaseStudy& cases, robustness_sim::Plan plan, const Method& method)
{
    mrmc::CompareOptions options;
    options.fom = *mrmc::parse_fom(method.fom);
    options.analysis.alpha = alpha;
    if (plan == robustness_sim::Plan::reference) options.analysis.reference_reader = "R01";
    options.binning.categories = categories;
    if (options.fom.kind == mrmc::FomKind::model_auc)
        options.localization =
            method.ignore_localization ? mrmc::LocalizationUse::ignore : mrmc::LocalizationUse::use;
    options.run.threads = 1;
    const auto result = mrmc::compare(cases, options);
    Outcome o;
    if (!result) {
        o.failure = reason_of(result.error().message);
        return o;
    }
    const mrmc::ClassAnalysis& a = result->classes.at(0);
    o.analysed = true;
    if (plan == robustness_sim::Plan::reference) {
        const mrmc::Contrast& c = a.references.at(0).random_readers_random_cases;
        o.estimate = c.estimate.value;
        o.rejected = c.p < alpha;
    } else {
        const mrmc::ModalityAnalysis& m = *a.modalities;
        o.estimate = m.modality_means[0] - m.modality_means[1];
        o.rejected = m.random_readers_random_cases.p < alpha;
    }
    return o;
}

// Outcomes of study n: [plan][method].
using StudyOutcomes = std::vector<std::vector<Outcome>>;

StudyOutcomes run_study(const std::vector<robustness_sim::Design>& designs, std::uint64_t seed, int n)
{
    // Per study one seed, and from it one per plan.
    lroc_sim::rng mix = case_sim::stream(seed, static_cast<std::uint64_t>(n) + 1);
    const std::uint64_t study_seed = mix.next();
    StudyOutcomes out;
    for (std::size_t p = 0; p < designs.size(); ++p) {
        robustness_sim::Design d = designs[p];
        d.seed = study_seed + p;
        const robustness_sim::Simulation sim = robustness_sim::simulate(d);
        std::vector<Outcome> row(method_count);
        auto cases = sim.error.empty()
                         ? study::parse_cases(robustness_sim::csv_text(sim), "robustness.csv")
                         : Expected<study::CaseStudy>(input_error(sim.error));
        for (int k = 0; k < method_count; ++k) {
            if (!cases) {
                row[k].failure = cases.error().message;
                continue;
            }
            row[k] = analyse(*cases, d.plan, methods[k]);
        }
        out.push_back(std::move(row));
    }
    return out;
}

// Studies 0..count-1 on `threads` threads; the outcomes in study order.
std::vector<StudyOutcomes> run_studies(const std::vector<robustness_sim::Design>& designs,
                                       std::uint64_t seed, int count, int threads)
{
    std::vector<StudyOutcomes> results(count);
    std::atomic<int> next{0}, done{0};
    auto work = [&] {
        for (int n; (n = next++) < count;) {
            results[n] = run_study(designs, seed, n);
            if (const int d = ++done; d % 100 == 0)
                std::fprintf(stderr, "  %d of %d studies\n", d, count);
        }
    };
    std::vector<std::thread> pool;
    for (int t = 1; t < threads; ++t) pool.emplace_back(work);
    work();
    for (std::thread& t : pool) t.join();
    return results;
}

struct Tally {
    int analysed = 0, rejected = 0;
    double estimate_sum = 0.0;
    std::map<std::string, int> failures;

    double rate() const { return analysed ? double(rejected) / analysed : NAN; }
    double se() const { return analysed ? std::sqrt(rate() * (1 - rate()) / analysed) : NAN; }
    double mean_estimate() const { return analysed ? estimate_sum / analysed : NAN; }
    int failed() const
    {
        int n = 0;
        for (const auto& [reason, count] : failures) n += count;
        return n;
    }
};

std::string failure_text(const Tally& t)
{
    std::string s;
    for (const auto& [reason, count] : t.failures)
        s += (s.empty() ? "" : "; ") + std::to_string(count) + " " + reason;
    return s;
}

// What one analysis of a scenario found.
struct Cell {
    Tally tally;
    double truth = 0.0;  // the true difference of the quantity the FOM estimates
    bool null() const { return std::fabs(truth) < null_tolerance; }
};

struct ScenarioResult {
    const Scenario* scenario;
    std::vector<std::vector<Cell>> cells;  // [plan][method]
};

ScenarioResult run_scenario(const Scenario& s, int studies, std::uint64_t seed, int threads)
{
    const auto start = std::chrono::steady_clock::now();
    std::vector<robustness_sim::Design> designs;
    for (robustness_sim::Plan p : plans) {
        robustness_sim::Design d;
        d.plan = p;
        d.algorithm = s.algorithm;
        d.reader = s.reader;
        d.algorithm.mu = robustness_sim::solve_algorithm_mu(s.equal, d, s.difference);
        if (std::isnan(d.algorithm.mu)) {
            std::fprintf(stderr, "%s: no algorithm mean in [-5, 10] gives the asked %s\n", s.name,
                         robustness_sim::quantity_name(s.equal));
            std::exit(2);
        }
        designs.push_back(d);
    }

    std::printf("\n%s: %s; %s %s (readers minus algorithm %g)\n", s.name, s.description,
                s.difference == 0.0 ? "null hypothesis:" : "alternative:",
                robustness_sim::quantity_name(s.equal), s.difference);
    std::map<std::pair<std::size_t, Quantity>, double> truth;
    for (std::size_t p = 0; p < designs.size(); ++p) {
        const robustness_sim::Design& d = designs[p];
        std::printf("  %-10s algorithm mu %.4f (readers %.4f), true algorithm/readers:",
                    plan_name(d.plan), d.algorithm.mu, d.reader.mu);
        for (Quantity q :
             {Quantity::auc, Quantity::latent_auc, Quantity::pcl, Quantity::latent_pcl}) {
            const robustness_sim::TrueValues v = robustness_sim::true_values(q, d);
            truth[{p, q}] = v.difference();
            std::printf(" %s %.4f/%.4f", robustness_sim::quantity_name(q), v.algorithm, v.readers);
        }
        std::printf("\n");
    }
    std::fflush(stdout);

    const std::vector<StudyOutcomes> results = run_studies(designs, seed, studies, threads);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("  %-10s %-25s %9s %9s %8s %14s  %s\n", "analysis", "FOM", "true diff", "mean est",
                "analysed", "rate (SE)", "not analysed");
    ScenarioResult out{&s, {}};
    for (std::size_t p = 0; p < designs.size(); ++p) {
        out.cells.emplace_back(method_count);
        for (int k = 0; k < method_count; ++k) {
            Cell& cell = out.cells[p][k];
            Tally& t = cell.tally;
            for (const StudyOutcomes& r : results) {
                const Outcome& o = r[p][k];
                if (!o.analysed) {
                    ++t.failures[o.failure];
                    continue;
                }
                ++t.analysed;
                t.rejected += o.rejected;
                t.estimate_sum += o.estimate;
            }
            cell.truth = truth[{p, methods[k].estimand}];
            std::printf("  %-10s %-25s %+9.4f %+9.4f %8d  %.3f (%.3f)%s  %s\n",
                        plan_name(designs[p].plan), methods[k].label, cell.truth,
                        t.mean_estimate(), t.analysed, t.rate(), t.se(),
                        cell.null() ? " size" : "     ", failure_text(t).c_str());
        }
    }
    std::printf("  (%d studies, seed %llu, %d threads, %.0f s)\n", studies,
                static_cast<unsigned long long>(seed), threads, seconds);
    std::fflush(stdout);
    return out;
}

// Per plan Markdown tables, one of the null scenarios and one of the
// alternatives: a row per scenario, a column per FOM, each cell the
// rejection rate (binomial SE); under a null a dagger where the FOM's own
// true difference is not 0 (the rate is then no size), under an alternative
// the FOM's true difference; the numbers of studies not analysed in the last
// column (the reasons are in the scenario's lines).
void print_summary(const std::vector<ScenarioResult>& results)
{
    for (bool alternatives : {false, true})
        for (std::size_t p = 0; p < std::size(plans); ++p) {
            std::vector<const ScenarioResult*> rows;
            for (const ScenarioResult& r : results)
                if ((r.scenario->difference != 0.0) == alternatives) rows.push_back(&r);
            if (rows.empty()) continue;
            std::printf("\n%s analysis, %s, random readers and cases: rejection rate at alpha %.2f "
                        "(binomial SE)%s\n\n",
                        plan_name(plans[p]), alternatives ? "alternatives" : "null hypotheses",
                        alpha,
                        alternatives ? " [true difference of the FOM's quantity]" : "");
            std::printf("| scenario |");
            for (const Method& m : methods) std::printf(" %s |", m.label);
            std::printf(" not analysed |\n|---|");
            for (int k = 0; k < method_count; ++k) std::printf("---:|");
            std::printf("---|\n");
            for (const ScenarioResult* r : rows) {
                std::printf("| %s |", r->scenario->name);
                std::string failed;
                for (int k = 0; k < method_count; ++k) {
                    const Cell& c = r->cells[p][k];
                    std::printf(" %.3f (%.3f)", c.tally.rate(), c.tally.se());
                    if (alternatives)
                        std::printf(" [%+.3f]", c.truth);
                    else if (!c.null())
                        std::printf(" †");
                    std::printf(" |");
                    if (c.tally.failed() > 0)
                        failed += (failed.empty() ? "" : "; ") + std::string(methods[k].label) +
                                  " " + std::to_string(c.tally.failed());
                }
                std::printf(" %s |\n", failed.empty() ? "0" : failed.c_str());
            }
        }
}

}  // namespace

int main(int argc, char** argv)
{
    CLI::App app{"The robustness study: rejection rates of the significance tests on "
                 "studies drawn from models other than the LROC model"};
    std::vector<std::string> chosen;
    int studies = 1000;
    std::uint64_t seed = 1;
    int threads = 2;
    bool list = false;
    app.add_option("--scenario", chosen, "a scenario to run (repeatable; default all)");
    app.add_option("--studies", studies, "studies per scenario")->check(CLI::Range(1, 1000000));
    app.add_option("--seed", seed, "seed of the first study");
    app.add_option("-j,--threads", threads, "threads")->check(CLI::Range(1, 256));
    app.add_flag("--list", list, "list the scenarios and stop");
    CLI11_PARSE(app, argc, argv);

    if (list) {
        for (const Scenario& s : scenarios()) std::printf("%-26s %s\n", s.name, s.description);
        return 0;
    }
    std::vector<const Scenario*> run;
    for (const std::string& name : chosen) {
        const auto it = std::find_if(scenarios().begin(), scenarios().end(),
                                     [&](const Scenario& s) { return name == s.name; });
        if (it == scenarios().end()) {
            std::fprintf(stderr, "unknown scenario \"%s\"; --list shows them\n", name.c_str());
            return 1;
        }
        run.push_back(&*it);
    }
    if (chosen.empty())
        for (const Scenario& s : scenarios()) run.push_back(&s);
    std::printf("Robustness study: algorithm against %d readers, %d + %d cases, %d "
                "categories, "
                "alpha %.2f, random readers and cases; true values algorithm/readers\n",
                robustness_sim::Design{}.readers, robustness_sim::Design{}.normal_cases,
                robustness_sim::Design{}.target_cases, categories, alpha);
    std::vector<ScenarioResult> results;
    for (const Scenario* s : run) results.push_back(run_scenario(*s, studies, seed, threads));
    print_summary(results);
    return 0;
}
