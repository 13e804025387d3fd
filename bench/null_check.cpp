// Check of the significance tests under the null hypothesis, run by hand
// (not a test): two-modality studies with identical modalities (5 readers,
// 50 normal and 50 target cases, reader and case variability) drawn from the
// LROC model; for each FOM the fraction of studies whose random-readers
// random-cases test rejects at alpha = 0.05, which should lie near 0.05; and
// the same for the one-sided test of the difference M1 - M2 against its true
// value 0 (H0: M1 - M2 <= 0), as the non-inferiority test makes it at its
// margin.
//   null_check [STUDIES [SEED]]
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "mrmc/compare.h"
#include "mrmc/model_fom.h"
#include "sim/case_sim.h"
#include "varnel/cases.h"

using namespace varnel;

int main(int argc, char** argv)
{
    const int studies = argc > 1 ? std::atoi(argv[1]) : 300;
    const std::uint64_t seed = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 1;
    const char* foms[] = {"wilcoxon", "model-alroc"};
    struct Tally {
        int analysed = 0, rejected = 0, failed = 0, one_sided = 0;
    } tally[2];

    for (int n = 0; n < studies; ++n) {
        case_sim::Design d;
        d.readers = 5;
        d.modalities = 2;
        d.normal_cases = 50;
        d.target_cases = {50};
        d.targets = case_sim::same_targets(2, 1, {1.5, 1.2, 0.0});
        d.variance = {0.05, 0.3, 0.1, 0.05, 0.05};
        d.no_mark_at_or_below = -1.0;
        d.seed = seed + n;
        const case_sim::Simulation sim = case_sim::simulate(d);
        auto cases = study::parse_cases(case_sim::csv_text(sim), "null.csv");
        if (!cases) {
            std::fprintf(stderr, "%s\n", cases.error().message.c_str());
            return 1;
        }
        auto binning = study::make_binning(*cases, study::BinningOptions{{}, 6});
        if (!binning) {
            std::fprintf(stderr, "%s\n", binning.error().message.c_str());
            return 1;
        }
        for (int f = 0; f < 2; ++f) {
            mrmc::CompareOptions options;
            options.fom = *mrmc::parse_fom(foms[f]);
            mrmc::ModelFomOptions model;
            model.threads = 2;
            mrmc::MatrixMaker make;
            if (mrmc::is_model_based(options.fom))
                make = [&](int t) {
                    return mrmc::model_fom_matrix(*cases, *binning, t, options.fom, model);
                };
            const auto result = mrmc::compare_cases(*cases, options, make);
            if (!result) {
                ++tally[f].failed;
                continue;
            }
            ++tally[f].analysed;
            const mrmc::ModalityTest& t =
                result->classes[0].modalities->random_readers_random_cases;
            if (t.p < 0.05)
                ++tally[f].rejected;
            if (mrmc::one_sided_test(t.differences[0].contrast.estimate, 0.0,
                                     mrmc::Alternative::greater, 0.05)
                    .rejected)
                ++tally[f].one_sided;
        }
    }
    std::printf("%-12s %9s %9s %14s %15s %14s\n", "FOM", "studies", "rejected", "rate (SE)",
                "not analysed", "one-sided");
    for (int f = 0; f < 2; ++f) {
        const double n = std::max(1, tally[f].analysed);
        const double rate = tally[f].analysed ? double(tally[f].rejected) / n : NAN;
        const double one_sided = tally[f].analysed ? double(tally[f].one_sided) / n : NAN;
        const double se = std::sqrt(0.05 * 0.95 / n);
        std::printf("%-12s %9d %9d %7.3f (%.3f) %15d %14.3f\n", foms[f], tally[f].analysed,
                    tally[f].rejected, rate, se, tally[f].failed, one_sided);
    }
    return 0;
}
