// gen_cases: draws a whole reader study from the LROC model with a fixed seed
// and writes its per-case ratings as CSV (see case_sim.h for the model).
// Exit status: 0 written, 1 the output could not be written, 2 bad options.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>

#include "case_sim.h"

namespace {

constexpr int exit_written = 0;
constexpr int exit_write_failed = 1;
constexpr int exit_bad_options = 2;

// Per-modality, per-class values from a list of 1 (all), M (per modality)
// or M x J (modality-major) values; empty with a message on a wrong count.
std::vector<std::vector<double>> per_modality_class(const std::vector<double>& list, int modalities,
                                                    int classes, const char* name,
                                                    std::string& error)
{
    const auto n = static_cast<int>(list.size());
    if (n != 1 && n != modalities && n != modalities * classes) {
        error = std::string("--") + name + ": " + std::to_string(n) + " values given; give 1, " +
                std::to_string(modalities) + " (one per modality) or " +
                std::to_string(modalities * classes) + " (per modality, class by class)";
        return {};
    }
    std::vector<std::vector<double>> v(modalities, std::vector<double>(classes));
    for (int m = 0; m < modalities; ++m)
        for (int j = 0; j < classes; ++j)
            v[m][j] = n == 1 ? list[0] : n == modalities ? list[m] : list[m * classes + j];
    return v;
}

// Target cases per class from a list of 1 (every class) or one per class.
std::vector<int> cases_per_class(const std::vector<int>& list, int classes, std::string& error)
{
    if (list.size() == 1) return std::vector<int>(classes, list[0]);
    if (static_cast<int>(list.size()) == classes) return list;
    error = "--targets: " + std::to_string(list.size()) + " values given for " +
            std::to_string(classes) + " classes; give 1 or one per class";
    return {};
}

// The target parameters of every modality and class from the three lists.
std::vector<std::vector<case_sim::TargetModel>> target_models(const std::vector<double>& mu,
                                                              const std::vector<double>& sigma,
                                                              const std::vector<double>& q,
                                                              int modalities, int classes,
                                                              std::string& error)
{
    const auto mus = per_modality_class(mu, modalities, classes, "mu", error);
    if (!error.empty()) return {};
    const auto sigmas = per_modality_class(sigma, modalities, classes, "sigma", error);
    if (!error.empty()) return {};
    const auto qs = per_modality_class(q, modalities, classes, "q", error);
    if (!error.empty()) return {};
    std::vector<std::vector<case_sim::TargetModel>> t(modalities,
                                                      std::vector<case_sim::TargetModel>(classes));
    for (int m = 0; m < modalities; ++m)
        for (int j = 0; j < classes; ++j) t[m][j] = {mus[m][j], sigmas[m][j], qs[m][j]};
    return t;
}

}  // namespace

int main(int argc, char** argv)
{
    CLI::App app{"Draws a reader study from the LROC model with a fixed seed and writes its "
                 "per-case ratings as CSV (reader,modality,case,truth,rating,localized)."};
    app.footer("Each reading's values follow the LROC model; the variance fractions (summing to at "
               "most 1) correlate readings sharing a reader, case or modality (tools/sim/case_sim.h).\n"
               "Exit status: 0 written, 1 the output could not be written, 2 bad options.");
    case_sim::Design d;
    std::vector<int> targets{60};
    int classes = 0;
    std::vector<double> mu{1.5}, sigma{1.0}, q{0.0};
    double no_mark = 0.0;
    std::string output = "-";
    app.add_option("-r,--readers", d.readers, "Readers")->capture_default_str();
    app.add_option("-m,--modalities", d.modalities, "Modalities")->capture_default_str();
    app.add_option("-n,--normal", d.normal_cases, "Normal cases (no target)")->capture_default_str();
    app.add_option("-t,--targets", targets, "Target cases: one count for every class, or one per class")
        ->delimiter(',')->capture_default_str();
    app.add_option("-c,--classes", classes, "Target classes (default: the number of --targets values)");
    app.add_option("--mu", mu, "Target means: 1, one per modality, or per modality class by class")
        ->delimiter(',')->capture_default_str();
    app.add_option("--sigma", sigma, "Target standard deviations, listed as --mu")
        ->delimiter(',')->capture_default_str();
    app.add_option("--q", q, "Chance of a lucky correct localization, listed as --mu")
        ->delimiter(',')->capture_default_str();
    app.add_option("--var-reader", d.variance.r, "Variance fraction of the reader effect")
        ->capture_default_str();
    app.add_option("--var-case", d.variance.c, "Variance fraction of the case effect")
        ->capture_default_str();
    app.add_option("--var-reader-case", d.variance.rc, "Variance fraction of the reader x case effect")
        ->capture_default_str();
    app.add_option("--var-modality-reader", d.variance.mr,
                   "Variance fraction of the modality x reader effect")->capture_default_str();
    app.add_option("--var-modality-case", d.variance.mc,
                   "Variance fraction of the modality x case effect")->capture_default_str();
    app.add_option("--reader-shift", d.reader_shift,
                   "Standard deviation of the readers' shifts of all their ratings")
        ->capture_default_str();
    app.add_option("--levels", d.levels, "Rating levels 1..L (0: continuous ratings)")
        ->capture_default_str();
    app.add_option("--thresholds", d.thresholds,
                   "levels-1 ascending thresholds (default: normal quantiles of k/L)")
        ->delimiter(',');
    auto* no_mark_opt = app.add_option("--no-mark-at-or-below", no_mark,
                                       "Target cases rated at or below this get no localization");
    app.add_flag("--roc-only", d.roc_only, "Write no localized column (ROC data)");
    app.add_option("-s,--seed", d.seed, "Seed of the generator")->capture_default_str();
    app.add_option("-o,--output", output, "Output file (- for standard output)")
        ->capture_default_str();
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? exit_written : exit_bad_options;
    }

    std::string error;
    if (classes == 0) classes = static_cast<int>(targets.size());
    if (classes < 1 || classes > case_sim::max_classes)
        error = "--classes: give 1 to " + std::to_string(case_sim::max_classes);
    if (error.empty()) d.target_cases = cases_per_class(targets, classes, error);
    if (error.empty()) error = case_sim::size_error(d);
    if (error.empty())
        d.targets = target_models(mu, sigma, q, d.modalities, classes, error);
    if (no_mark_opt->count() > 0) d.no_mark_at_or_below = no_mark;
    const case_sim::Simulation sim =
        error.empty() ? case_sim::simulate(d) : case_sim::Simulation{d, {}, {}, error};
    if (!sim.error.empty()) {
        std::cerr << "gen_cases: " << sim.error << "\n";
        return exit_bad_options;
    }

    const std::string text = case_sim::csv_text(sim);
    if (output == "-") {
        const bool ok = std::fwrite(text.data(), 1, text.size(), stdout) == text.size() &&
                        std::fflush(stdout) == 0;
        if (!ok) std::cerr << "gen_cases: standard output: write failed\n";
        return ok ? exit_written : exit_write_failed;
    }
    if (std::string e = case_sim::write_file(output, text); !e.empty()) {
        std::cerr << "gen_cases: " << e << "\n";
        return exit_write_failed;
    }
    return exit_written;
}
