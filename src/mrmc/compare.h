// The comparison of a reader study from FOM matrices: design checks, the FOM
// matrix of each target class (empirical, or from a given maker) and its
// analyses.  compare() (varnel/compare.h) makes the model-based matrices.
#pragma once

#include <functional>

#include "mrmc/jackknife.h"
#include "mrmc/model_fom.h"
#include "varnel/compare.h"

namespace varnel::mrmc {

// Makes the FOM matrix of one target class (the model-based path).
using MatrixMaker = std::function<Expected<FomMatrix>(int target_class)>;

// Runs the checks, fills the FOM matrices (from `make` when given, else the
// empirical ones from the ratings) and analyses them; options.binning, fit
// and run are not used.
Expected<CompareResult> compare_cases(const study::CaseStudy& study, const CompareOptions& options,
                                      const MatrixMaker& make = {});

// How far the fits of a model-based comparison can be trusted: per class the
// tables' fits completed with their observed operating range, unmarked
// share and empirical counterpart (with the z of the difference and Holm's
// test over all tables), the empirical analysis, and the warnings.
// `fits` holds one ModelFits per analysed class.
void check_fits(const study::CaseStudy& study, const CompareOptions& options,
                std::vector<ModelFits> fits, CompareResult& result);

}  // namespace varnel::mrmc
