// The FOM matrix of a reader study and its case jackknife: the FOM of every
// reader × modality table on all cases and with each case left out in turn.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "mrmc/fom.h"
#include "varnel/analysis.h"
#include "varnel/cases.h"

namespace varnel::mrmc {

// The design of a fully crossed study: readings refer to listed readers,
// modalities and cases, ratings are finite, truths are 0 to 15, and every
// reader read every case exactly once in every modality.
Problem check_design(const study::CaseStudy& study);

// The target classes that have cases, in increasing order.
std::vector<int> target_classes(const study::CaseStudy& study);

// The cases of one target class's analysis and how many are normal and target.
struct ClassCases {
    std::vector<int> cases;  // study case indices, study order
    int normals = 0, targets = 0;
};

// The normal cases and those of class t, or what keeps the class from being
// analysed (no such class, no normal or target cases, fewer than two of
// either for the jackknife).
Expected<ClassCases> class_cases(const study::CaseStudy& study, int target_class);

// The matrix of one analysis with its names and counts, every FOM 0.
FomMatrix empty_fom_matrix(const study::CaseStudy& study, const ClassCases& cases,
                           int target_class, const FomSpec& fom);

// The empirical FOM matrix of target class `target_class`: the design checks
// above, then the checks of the class (it has cases, there are at least two
// normal and two target cases, localization outcomes exist for a FOM that
// uses them; a target case without a recorded mark counts as not correctly
// localized) and the FOMs.  Leave-one-out values are computed from the rating
// groups of the full table: cases that share a rating, truth and
// localization outcome share one recomputation of O(number of ratings).
Expected<FomMatrix> empirical_fom_matrix(const study::CaseStudy& study, int target_class,
                                       const FomSpec& fom);

}  // namespace varnel::mrmc
