// Check of the reference-reader tests under the null hypothesis, run by hand
// (not a test).  Studies of one modality with six readers (R01 the
// reference) drawn from the LROC model without reader effects (reader and
// modality x reader variance 0), so every reader's true FOM equals the
// reference's and every psi_j is 0 in expectation; cases and reader x case
// interactions vary.  Per FOM, the rejection rates at alpha = 0.05 of
//   - each reader's z test of psi_j (case jackknife, normal theory), over
//     all readers of all studies;
//   - the family of the five readers of a study: some raw p below alpha,
//     and some Holm-adjusted p below alpha (the family-wise error rates);
//   - the one-sided test of the mean psi against a bound equal to its true
//     value, 0 (H0: mean psi >= 0), on the random-readers random-cases t,
//     as the non-inferiority test makes it at its margin; and the two-sided
//     test of the same t.
// Each should lie near 0.05 (the family-wise rates at most 0.05 with Holm).
//   reference_check [STUDIES [SEED [CASES]]]
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

namespace {

constexpr double alpha = 0.05;
constexpr int readers = 6;
constexpr int categories = 6;  // binning of the model-based FOM

struct Tally {
    int studies = 0, failed = 0;
    long reader_tests = 0, reader_rejections = 0;
    int family_raw = 0, family_holm = 0, one_sided = 0, two_sided = 0;
};

void print_rate(const char* name, long rejected, long tests)
{
    const double rate = tests ? double(rejected) / tests : NAN;
    const double se = std::sqrt(alpha * (1 - alpha) / double(std::max(1L, tests)));
    std::printf("  %-44s %7ld / %7ld  %.4f (SE at 0.05: %.4f)\n", name, rejected, tests, rate,
                se);
}

}  // namespace

int main(int argc, char** argv)
{
    const int studies = argc > 1 ? std::atoi(argv[1]) : 1000;
    const std::uint64_t seed = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 1;
    const int cases = argc > 3 ? std::atoi(argv[3]) : 100;  // half normal, half target
    const char* foms[] = {"wilcoxon", "model-alroc"};
    Tally tally[2];

    for (int n = 0; n < studies; ++n) {
        case_sim::Design d;
        d.readers = readers;
        d.modalities = 1;
        d.normal_cases = cases / 2;
        d.target_cases = {cases - cases / 2};
        d.targets = case_sim::same_targets(1, 1, {1.5, 1.2, 0.0});
        d.variance = {0.0, 0.3, 0.1, 0.0, 0.0};
        d.no_mark_at_or_below = -1.0;
        d.seed = seed + n;
        const auto study =
            study::parse_cases(case_sim::csv_text(case_sim::simulate(d)), "null.csv");
        if (!study) {
            std::fprintf(stderr, "%s\n", study.error().message.c_str());
            return 1;
        }
        for (int f = 0; f < 2; ++f) {
            mrmc::CompareOptions options;
            options.fom = *mrmc::parse_fom(foms[f]);
            options.analysis.reference_reader = "R01";
            options.analysis.alpha = alpha;
            options.binning.categories = categories;
            options.run.threads = 2;
            const auto result = mrmc::compare(*study, options);
            Tally& t = tally[f];
            if (!result) {
                ++t.failed;
                continue;
            }
            ++t.studies;
            const mrmc::ReferenceAnalysis& a = result->classes[0].references[0];
            bool raw = false, holm = false;
            for (const mrmc::ReaderDifference& r : a.reader_differences) {
                ++t.reader_tests;
                raw = raw || r.contrast.p < alpha;
                holm = holm || r.p_holm < alpha;
                t.reader_rejections += r.contrast.p < alpha;
            }
            t.family_raw += raw;
            t.family_holm += holm;
            const mrmc::Contrast& rr = a.random_readers_random_cases;
            t.one_sided +=
                mrmc::one_sided_test(rr.estimate, 0.0, mrmc::Alternative::less, alpha).rejected;
            t.two_sided += rr.p < alpha;
        }
    }
    std::printf("%d studies: %d readers (R01 the reference), 1 modality, %d cases, no reader "
                "effects; alpha %.2f\n",
                studies, readers, cases, alpha);
    for (int f = 0; f < 2; ++f) {
        const Tally& t = tally[f];
        std::printf("%s: %d studies analysed, %d not (a fit or refit failed)\n", foms[f], t.studies,
                    t.failed);
        print_rate("each reader's z test of psi_j", t.reader_rejections, t.reader_tests);
        print_rate("some reader of a study, raw p", t.family_raw, t.studies);
        print_rate("some reader of a study, Holm-adjusted p", t.family_holm, t.studies);
        print_rate("mean psi one-sided (H0: mean psi >= 0)", t.one_sided, t.studies);
        print_rate("mean psi two-sided", t.two_sided, t.studies);
    }
    return 0;
}
