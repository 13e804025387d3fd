// The operating points and fitted curves of each reader x modality table,
// for the pictures of a comparison (TableCurves in varnel/compare.h).
#pragma once

#include <vector>

#include "varnel/compare.h"
#include "varnel/summary.h"

namespace varnel::mrmc {

// Empirical operating points of every table of a fully crossed study for
// target class t, from the ratings: [reader][modality].
std::vector<std::vector<TableCurves>> empirical_operating_points(const study::CaseStudy& study,
                                                                 int target_class);

// Operating points of target class t of a binned table (varnel::Study): the
// fractions of cases in the categories at or above each threshold.
TableCurves binned_operating_points(const Study& table, int target_class);

// The fitted curves of target class t: (fp, tp) and (fp, ctp), or ctp with
// chance localization when `adjusted`.
void add_fitted_curves(const Curves& curves, int target_class, bool adjusted, TableCurves& into);

}  // namespace varnel::mrmc
