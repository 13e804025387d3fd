// The empirical MRMC comparison of a reader study: design checks, the FOM
// matrix of each target class and its analyses.
#pragma once

#include <string>
#include <vector>

#include "mrmc/analysis.h"
#include "mrmc/fom.h"
#include "mrmc/result.h"
#include "study/cases.h"

namespace varnel::mrmc {

struct CompareOptions {
    FomSpec fom;          // an empirical FOM: wilcoxon, pcl@X or alroc@X
    int target = 0;       // target class to analyse; 0: every class that has cases
    AnalysisOptions analysis;
};

// The analyses of a study, one per target class.
struct CompareResult {
    std::string source;  // data file name
    FomSpec fom;
    double alpha = 0.05;
    bool several_target_classes = false;  // the study has cases of more than one class
    std::vector<ClassAnalysis> classes;
};

// Runs the checks, fills the empirical FOM matrices and analyses them.
Result<CompareResult> compare_cases(const study::CaseStudy& study, const CompareOptions& options);

}  // namespace varnel::mrmc
