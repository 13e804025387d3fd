// Reads a rating data file, fits the LROC model with the default settings
// and prints each target's AreaLROC with its standard error.
//   area_lroc STUDY.lrc
#include <cstdio>

#include "varnel/varnel.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: area_lroc STUDY.lrc\n");
        return 1;
    }
    auto study = varnel::read_study(argv[1]);
    if (!study) {
        std::fprintf(stderr, "%s: %s\n", argv[1], study.error().message.c_str());
        return 1;
    }
    const varnel::FitSettings settings;  // the console program's defaults
    auto prepared = varnel::prepare(*study, settings);
    if (!prepared) {
        std::fprintf(stderr, "%s: %s\n", argv[1], prepared.error().message.c_str());
        return 1;
    }
    varnel::Workspace workspace;
    auto fit = varnel::fit(*prepared, settings, workspace);
    if (!fit) {
        std::fprintf(stderr, "%s: %s\n", argv[1], fit.error().message.c_str());
        return 2;
    }
    const varnel::Summary summary = varnel::summarize(*prepared, *fit);
    std::printf("%s: %s after %d iterations\n", argv[1],
                fit->converged ? "converged" : "did not converge", fit->iterations);
    for (int t = 1; t <= prepared->spec.targets(); ++t)
        std::printf("target %d: AreaLROC %.4f (standard error %.4f)\n", t,
                    summary.area_lroc[t - 1], summary.se_area_lroc[t - 1]);
    return 0;
}
