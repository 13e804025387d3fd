// Reports of a comparison: readable text, JSON for programs and the
// jackknife values as CSV.
//
// JSON keys (numbers are doubles; null where a value is undefined (NaN) or
// infinite; infinite degrees of freedom mean normal-theory results):
//   source, fom (name as parse_fom reads it), alpha,
//   analyses: one object per target class:
//     target_class, readers [names], modalities [names],
//     cases {total, normal, target},
//     fom_table [per reader: [per modality]],
//     modality_comparison (null with one modality):
//       readers [names taking part], modality_means [per modality],
//       covariances {var, cov1, cov2, cov3},
//       modality_covariances [per modality: {var, cov2}], modality_ms_r [per modality],
//       mean_squares {t, r, tr}, variance_components {reader, modality_reader},
//       random_readers_random_cases, fixed_readers_random_cases,
//       random_readers_fixed_cases: each
//         {statistic_name ("F" or "chi2"), statistic, ndf, ddf, p,
//          differences [{first, second (modality names; first - second),
//                        estimate, std_error, df, t, p, lower, upper}],
//          means [{modality, estimate, std_error, df, lower, upper}]}
//     reference_analyses [per modality, empty without a reference reader]:
//       {modality, reference, readers [names], psi [per reader],
//        reference_fom, readers_mean, ms_r, var, cov2, ms_den,
//        random_readers_random_cases, random_readers_fixed_cases: each
//          {estimate (mean psi), std_error, df, t, p, lower, upper}}
#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "mrmc/compare.h"

namespace varnel::mrmc {

// The text report: study size, FOM table, covariances, mean squares and each
// analysis's statistics, p values and intervals, in aligned columns.
std::string format_text_report(const CompareResult& result);

// The same numbers as JSON (keys above).
nlohmann::json report_json(const CompareResult& result);

// The jackknife FOMs as CSV with the header `reader,modality,case,value`,
// preceded by a `target` column when the study has several target classes;
// values written to read back exactly, names quoted where CSV needs it.
std::string format_jackknife_csv(const CompareResult& result);

}  // namespace varnel::mrmc
