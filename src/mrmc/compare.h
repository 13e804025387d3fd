// The empirical MRMC comparison of a reader study: design checks, the FOM
// matrix of each target class and its analyses.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "mrmc/analysis.h"
#include "mrmc/fom.h"
#include "mrmc/result.h"
#include "study/cases.h"

namespace varnel::mrmc {

struct CompareOptions {
    FomSpec fom;          // empirical, or model-based with a MatrixMaker
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

// Makes the FOM matrix of one target class (the model-based path).
using MatrixMaker = std::function<Result<FomMatrix>(int target_class)>;

// Runs the checks, fills the FOM matrices (from `make` when given, else the
// empirical ones from the ratings) and analyses them.
Result<CompareResult> compare_cases(const study::CaseStudy& study, const CompareOptions& options,
                                    const MatrixMaker& make = {});

}  // namespace varnel::mrmc
