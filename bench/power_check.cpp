// Check of the power predictions by simulation, run by hand (not a test).
// For the FOMs wilcoxon and model-alroc, and for a comparison of two
// modalities and of readers against a fixed reference reader (an algorithm,
// the same in every study): the variance components of one large simulated
// pilot predict the power of the random-readers random-cases test for a
// planned study with a real effect; then STUDIES studies of the planned size
// are drawn from the same model and analysed, and their rejection rate is
// set against the prediction in binomial standard errors.
//
// The effect fed to the prediction is the expected FOM difference, estimated
// by the mean observed difference of the drawn studies (its standard error
// is printed with the range of predictions it spans); the pilot's own
// observed difference is printed beside it, and the standard deviation of
// the observed differences beside the one the components predict.
//   power_check [STUDIES [SEED]]
//
// With "spread", how far the components of a small pilot move the
// prediction: the rejection rate of STUDIES planned studies (FOM wilcoxon
// unless named) is set
// against the predictions from PILOTS pilots of 5 readers x 100 cases and of
// 10 readers x 200 cases each (the effect fed to them is the planned
// studies' mean difference, as above), as percentiles of the predictions.
//   power_check spread [PILOTS [STUDIES [SEED [FOM]]]]
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "mrmc/compare.h"
#include "mrmc/model_fom.h"
#include "mrmc/pilot.h"
#include "sim/case_sim.h"
#include "varnel/cases.h"
#include "varnel/power.h"

using namespace varnel;

namespace {

constexpr double alpha = 0.05;
constexpr int categories = 6;               // binning of the model-based FOM
constexpr std::uint64_t algorithm_seed = 4242;  // the fixed reference reader's own effects
constexpr int pilot_readers = 300;
constexpr int pilot_cases = 400;  // half normal, half target

// One kind of comparison and its planned study.
struct Scenario {
    const char* name;
    bool reference;  // readers (modality M1) against a fixed reader reading in M2
    int readers;     // planned J (besides the reference reader)
    int cases;       // planned K
    double mu2;      // the target mean of modality M2 (M1: 1.5)
};

// Readers and cases drawn with reader, case and interaction variability;
// with a reference, one more reader (the first) with fixed own effects.
case_sim::Design design_of(const Scenario& s, int readers, int cases, std::uint64_t seed)
{
    case_sim::Design d;
    d.readers = readers + (s.reference ? 1 : 0);
    d.modalities = 2;
    d.normal_cases = cases / 2;
    d.target_cases = {cases - cases / 2};
    d.targets = {{{1.5, 1.2, 0.0}}, {{s.mu2, 1.2, 0.0}}};
    d.variance = {0.05, 0.3, 0.1, 0.05, 0.05};
    d.no_mark_at_or_below = -1.0;
    if (s.reference) d.fixed_reader_seed = algorithm_seed;
    d.seed = seed;
    return d;
}

// The per-case CSV of a drawn study.  With a reference: one modality, the
// other readers' M1 readings and the first reader's M2 readings (R01, the
// reference).
std::string study_text(const Scenario& s, case_sim::Simulation sim)
{
    if (s.reference) {
        std::vector<case_sim::Reading> kept;
        for (case_sim::Reading x : sim.readings)
            if ((x.reader == 0) == (x.modality == 1)) {
                x.modality = 0;
                kept.push_back(x);
            }
        sim.readings = std::move(kept);
    }
    return case_sim::csv_text(sim);
}

// The analyses of one drawn study, or the reason there are none.
struct Analysed {
    std::optional<mrmc::ClassAnalysis> analysis;
    std::string error;
};

Analysed analyse(const Scenario& s, const char* fom, int readers, int cases, std::uint64_t seed)
{
    const case_sim::Simulation sim = case_sim::simulate(design_of(s, readers, cases, seed));
    if (!sim.error.empty()) return {std::nullopt, sim.error};
    auto study = study::parse_cases(study_text(s, sim), "power_check.csv");
    if (!study) return {std::nullopt, study.error().message};
    mrmc::CompareOptions options;
    options.fom = *mrmc::parse_fom(fom);
    options.analysis.alpha = alpha;
    if (s.reference) options.analysis.reference_reader = case_sim::reader_name(0);
    std::optional<study::Binning> binning;
    mrmc::MatrixMaker make;
    mrmc::ModelFomOptions model;
    model.threads = 2;
    if (mrmc::is_model_based(options.fom)) {
        auto b = study::make_binning(*study, study::BinningOptions{{}, categories});
        if (!b) return {std::nullopt, b.error().message};
        binning = std::move(b).value();
        make = [&](int t) { return mrmc::model_fom_matrix(*study, *binning, t, options.fom, model); };
    }
    auto result = mrmc::compare_cases(*study, options, make);
    if (!result) return {std::nullopt, result.error().message};
    return {std::move(result->classes.at(0)), {}};
}

// The observed difference and the p value of the random-readers
// random-cases test.
struct Outcome {
    double effect;
    double p;
};

Outcome outcome_of(const Scenario& s, const mrmc::ClassAnalysis& a)
{
    if (s.reference) {
        const mrmc::Contrast& c = a.references.at(0).random_readers_random_cases;
        return {c.estimate.value, c.p};
    }
    const mrmc::ModalityAnalysis& m = *a.modalities;
    return {m.modality_means[0] - m.modality_means[1], m.random_readers_random_cases.p};
}

// The random-readers random-cases test of the planned study for effect d.
power::AnalysisPower predicted(const Scenario& s, const mrmc::ClassAnalysis& pilot, double d)
{
    power::Plan plan;
    plan.readers = s.readers;
    plan.cases = s.cases;
    plan.alpha = alpha;
    plan.effect = d;
    auto p = s.reference ? power::plan_power(*mrmc::reference_components(pilot, 0), plan)
                         : power::plan_power(*mrmc::modality_components(pilot), plan);
    if (!p) {
        std::fprintf(stderr, "no prediction: %s\n", p.error().message.c_str());
        std::exit(2);
    }
    return p->analyses.at(0);
}

// The standard deviation of the observed difference the components predict:
// its variance is 2 D / J for two modalities, D / J for the mean psi.
double predicted_sd(const Scenario& s, const power::AnalysisPower& test)
{
    return std::sqrt((s.reference ? 1.0 : 2.0) * test.denominator / s.readers);
}

void print_components(const Scenario& s, const mrmc::ClassAnalysis& pilot)
{
    if (s.reference) {
        const power::ReferenceComponents r = *mrmc::reference_components(pilot, 0);
        std::fprintf(stderr, "  pilot: Var_psi %.4e Cov2_psi %.4e VarR_psi %.4e, mean psi %.5f\n",
                     r.var, r.cov2, r.var_r, *r.mean_psi);
    } else {
        const power::ModalityComponents m = *mrmc::modality_components(pilot);
        std::fprintf(stderr,
                     "  pilot: Var %.4e Cov1 %.4e Cov2 %.4e Cov3 %.4e VarTR %.4e, difference "
                     "%.5f\n",
                     m.var, m.cov1, m.cov2, m.cov3, m.var_tr,
                     m.modality_means[0] - m.modality_means[1]);
    }
}

// The q-quantile of sorted values (linear between order statistics).
double quantile(const std::vector<double>& sorted, double q)
{
    const double at = q * double(sorted.size() - 1);
    const std::size_t i = std::size_t(at);
    if (i + 1 >= sorted.size()) return sorted.back();
    return sorted[i] + (at - double(i)) * (sorted[i + 1] - sorted[i]);
}

// The spread of the predictions from small pilots (see the top).
int spread(int pilots, int studies, std::uint64_t seed, const char* fom)
{
    const Scenario scenarios[] = {
        {"modalities", false, 10, 200, 2.1},
        {"reference", true, 10, 200, 2.2},
    };
    struct PilotSize {
        int readers, cases;
    };
    const PilotSize sizes[] = {{5, 100}, {10, 200}};
    std::printf("FOM %s; planned studies of 10 readers x 200 cases: %d studies, %d pilots per "
                "size; alpha %.2f; seed %llu\n",
                fom, studies, pilots, alpha, static_cast<unsigned long long>(seed));
    std::printf("%-11s %-8s %-15s %-14s %-9s %-7s %-7s %-7s %-7s %-7s %s\n", "comparison",
                "studies", "effect", "rate (SE)", "pilot", "p10", "p25", "median", "p75", "p90",
                "within 0.1 (pilots)");
    for (const Scenario& s : scenarios) {
        int analysed = 0, rejected = 0;
        double sum = 0.0;
        for (int n = 0; n < studies; ++n) {
            const Analysed a = analyse(s, fom, s.readers, s.cases, seed + 1 + n);
            if (!a.analysis) continue;
            const Outcome o = outcome_of(s, *a.analysis);
            ++analysed;
            rejected += o.p < alpha;
            sum += o.effect;
        }
        if (analysed < 2) {
            std::fprintf(stderr, "%s: fewer than two studies analysed\n", s.name);
            return 2;
        }
        const double effect = sum / analysed;
        const double rate = double(rejected) / analysed;
        const double rate_se = std::sqrt(rate * (1 - rate) / analysed);
        for (const PilotSize& size : sizes) {
            std::vector<double> predictions;
            for (int n = 0; n < pilots; ++n) {
                const Analysed pilot =
                    analyse(s, fom, size.readers, size.cases, seed + 1000000 + n);
                if (!pilot.analysis) continue;
                const double p = predicted(s, *pilot.analysis, effect).power;
                if (std::isfinite(p)) predictions.push_back(p);
            }
            if (predictions.empty()) {
                std::fprintf(stderr, "%s: no pilot gave a prediction\n", s.name);
                return 2;
            }
            std::sort(predictions.begin(), predictions.end());
            const auto near = std::count_if(predictions.begin(), predictions.end(),
                                            [&](double p) { return std::fabs(p - rate) <= 0.1; });
            char effect_text[32], rate_text[32], pilot_text[32];
            std::snprintf(effect_text, sizeof effect_text, "%.4f", effect);
            std::snprintf(rate_text, sizeof rate_text, "%.3f (%.3f)", rate, rate_se);
            std::snprintf(pilot_text, sizeof pilot_text, "%d x %d", size.readers, size.cases);
            std::printf("%-11s %-8d %-15s %-14s %-9s %-7.3f %-7.3f %-7.3f %-7.3f %-7.3f "
                        "%.2f of %zu\n",
                        s.name, analysed, effect_text, rate_text, pilot_text,
                        quantile(predictions, 0.1), quantile(predictions, 0.25),
                        quantile(predictions, 0.5),
                        quantile(predictions, 0.75), quantile(predictions, 0.9),
                        double(near) / predictions.size(), predictions.size());
            std::fflush(stdout);
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::string(argv[1]) == "spread") {
        const int pilots = argc > 2 ? std::atoi(argv[2]) : 1000;
        const int studies = argc > 3 ? std::atoi(argv[3]) : 500;
        const std::uint64_t seed = argc > 4 ? std::strtoull(argv[4], nullptr, 10) : 1;
        const char* fom = argc > 5 ? argv[5] : "wilcoxon";
        if (pilots < 1 || studies < 2 || !mrmc::parse_fom(fom)) {
            std::fprintf(stderr, "usage: power_check spread [PILOTS (1 or more) [STUDIES (2 or "
                                 "more) [SEED [FOM]]]]\n");
            return 1;
        }
        return spread(pilots, studies, seed, fom);
    }
    const int studies = argc > 1 ? std::atoi(argv[1]) : 500;
    const std::uint64_t seed = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 1;
    if (studies < 2) {
        std::fprintf(stderr, "usage: power_check [STUDIES (2 or more) [SEED]]\n");
        return 1;
    }
    const Scenario scenarios[] = {
        {"modalities", false, 10, 200, 2.1},
        {"reference", true, 10, 200, 2.2},
    };
    const char* foms[] = {"wilcoxon", "model-alroc"};

    std::printf("Pilot %d readers x %d cases; planned studies of %d each; alpha %.2f; seed %llu\n",
                pilot_readers, pilot_cases, studies, alpha,
                static_cast<unsigned long long>(seed));
    std::printf("%-12s %-11s %-9s %-16s %-9s %-17s %-21s %-14s %5s\n", "FOM", "comparison",
                "J x K", "effect (SE)", "pilot's", "SD obs / pred", "power (effect -+ SE)",
                "rate (SE)", "z");
    for (const char* fom : foms)
        for (const Scenario& s : scenarios) {
            std::fprintf(stderr, "%s, %s: pilot\n", fom, s.name);
            const Analysed pilot = analyse(s, fom, pilot_readers, pilot_cases, seed);
            if (!pilot.analysis) {
                std::fprintf(stderr, "the pilot could not be analysed: %s\n", pilot.error.c_str());
                return 2;
            }
            print_components(s, *pilot.analysis);

            int analysed = 0, rejected = 0, failed = 0;
            double sum = 0.0, sum_squares = 0.0;
            for (int n = 0; n < studies; ++n) {
                const Analysed a = analyse(s, fom, s.readers, s.cases, seed + 1 + n);
                if (!a.analysis) {
                    ++failed;
                    continue;
                }
                const Outcome o = outcome_of(s, *a.analysis);
                ++analysed;
                rejected += o.p < alpha;
                sum += o.effect;
                sum_squares += o.effect * o.effect;
            }
            if (analysed < 2) {
                std::fprintf(stderr, "%s, %s: fewer than two studies analysed\n", fom, s.name);
                return 2;
            }
            const double effect = sum / analysed;
            const double sd = std::sqrt((sum_squares - analysed * effect * effect) / (analysed - 1));
            const double effect_se = sd / std::sqrt(analysed);
            const power::AnalysisPower test = predicted(s, *pilot.analysis, effect);
            const double p = test.power;
            const double low = predicted(s, *pilot.analysis, effect + effect_se).power;
            const double high = predicted(s, *pilot.analysis, effect - effect_se).power;
            const double rate = double(rejected) / analysed;
            const double se = std::sqrt(p * (1 - p) / analysed);
            char size[32], effect_text[32], sds[32], range[32], rate_text[32];
            std::snprintf(size, sizeof size, "%d x %d", s.readers, s.cases);
            std::snprintf(effect_text, sizeof effect_text, "%.4f (%.4f)", effect, effect_se);
            std::snprintf(sds, sizeof sds, "%.4f / %.4f", sd, predicted_sd(s, test));
            std::snprintf(range, sizeof range, "%.3f (%.3f-%.3f)", p, std::min(low, high),
                          std::max(low, high));
            std::snprintf(rate_text, sizeof rate_text, "%.3f (%.3f)", rate, se);
            std::printf("%-12s %-11s %-9s %-16s %-9.4f %-17s %-21s %-14s %+5.1f", fom, s.name,
                        size, effect_text, outcome_of(s, *pilot.analysis).effect, sds, range,
                        rate_text, (rate - p) / se);
            if (failed > 0) std::printf("  (%d of %d not analysed)", failed, studies);
            std::printf("\n");
            std::fflush(stdout);
        }
    return 0;
}
