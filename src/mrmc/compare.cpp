// The empirical comparison: checks first, then one analysis per target class.
#include "mrmc/compare.h"

namespace varnel::mrmc {

Result<CompareResult> compare_cases(const study::CaseStudy& study, const CompareOptions& options,
                                    const MatrixMaker& make)
{
    const std::string src = (study.source.empty() ? std::string("study") : study.source) + ": ";
    if (Problem p = check_design(study)) return *p;
    if (Problem p = check_plan(study.readers, int(study.modalities.size()), options.analysis))
        return Error{src + p->message};

    const std::vector<int> present = target_classes(study);
    std::vector<int> chosen = present;
    if (options.target != 0) chosen = {options.target};
    if (chosen.empty())
        return Error{src + "the study has no target cases (truth 1 to 15)"};

    CompareResult result;
    result.source = study.source;
    result.fom = options.fom;
    result.alpha = options.analysis.alpha;
    result.several_target_classes = present.size() > 1;
    for (int t : chosen) {
        Result<FomMatrix> matrix =
            make ? make(t) : empirical_fom_matrix(study, t, options.fom);
        if (!matrix) return matrix.failure();
        Result<ClassAnalysis> analysis = analyze(std::move(matrix).value(), options.analysis);
        if (!analysis) return Error{src + analysis.error()};
        result.classes.push_back(std::move(analysis).value());
    }
    return result;
}

}  // namespace varnel::mrmc
