// Writes the synthetic example data files of examples/ by drawing observer
// studies from the LROC model with a fixed seed, so the files can be made
// again bit for bit:  gen_examples OUTDIR
#include "lroc_sim.h"

using namespace lroc_sim;

namespace {

std::vector<double> spread(int ncat, double lo, double hi)
{
    std::vector<double> b;
    for (int k = 1; k < ncat; ++k) b.push_back(lo + (hi - lo) * (k - 1) / (ncat - 2 > 0 ? ncat - 2 : 1));
    return b;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: gen_examples OUTDIR\n");
        return 1;
    }
    std::vector<study> studies;
    studies.push_back({"two_targets_chance.lrc", "Reader B", "Two lesion sizes, 4 locations", 1,
                       {-0.6, 0.1, 0.8, 1.5, 2.2}, 300,
                       {{1.2, 1.3, 0.25, 300}, {2.0, 1.1, 0.25, 300}}, 1001});
    studies.push_back({"roc_only.lrc", "Reader C", "Ratings without localization", 5,
                       {-0.4, 0.3, 1.0, 1.7}, 200, {{1.4, 1.2, 0.0, 200}}, 1002});
    studies.push_back({"two_categories.lrc", "Reader D", "Yes/no detection task", 0, {0.8}, 250,
                       {{1.6, 1.0, 0.0, 250}}, 1003});
    {
        std::vector<target> ts;
        for (int t = 0; t < 10; ++t) ts.push_back({0.4 + 0.25 * t, 1.0 + 0.05 * t, 0.0, 200});
        studies.push_back({"ten_targets.lrc", "Reader E", "Ten contrast levels", 1,
                           {-0.5, 0.2, 0.9, 1.6, 2.3}, 400, ts, 1004});
    }
    {
        std::vector<target> ts;
        for (int t = 0; t < 15; ++t) ts.push_back({0.3 + 0.2 * t, 0.9 + 0.04 * t, 0.0, 2000});
        studies.push_back({"full_capacity.lrc", "Reader F", "Fifteen conditions, 17 categories",
                           2, spread(17, -1.6, 3.2), 4000, ts, 1005});
    }
    bool ok = true;
    for (const study& s : studies) ok = write_study(argv[1], s) && ok;
    return ok ? 0 : 1;
}
