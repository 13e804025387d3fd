// Multi-reader multi-case significance tests of a reader study, the work of
// `varnel-study compare`: a figure of merit per reader x modality table,
// empirical or from the LROC model's fits, its case jackknife, and the
// analyses of modalities or of readers against a reference reader, per
// target class.
//
//     varnel::mrmc::CompareOptions options;
//     options.fom = *varnel::mrmc::parse_fom("wilcoxon");
//     options.analysis.reference_reader = "algorithm";
//     auto result = varnel::mrmc::compare(cases, options);
//     if (result) std::fputs(varnel::mrmc::format_text_report(*result).c_str(), stdout);
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "varnel/analysis.h"
#include "varnel/binning.h"
#include "varnel/cases.h"
#include "varnel/error.h"
#include "varnel/fit_study.h"
#include "varnel/fom.h"
#include "varnel/run_control.h"

namespace varnel::mrmc {

// Whether the fits behind model-auc use the localization outcomes: `use`
// fits each table with them (as the fit command does), `ignore` from its
// ratings alone (every category merged, as when NOLOC equals the number of
// categories).  Under the model without chance localization AreaLROC =
// 2 AreaROC - 1, so with `use` model-auc and model-alroc come from the same
// fits and give the same test; with `ignore` model-auc no longer rests on
// the marks.  model-alroc, model-loc and model-pcl@X are localization FOMs
// and always use them.
enum class LocalizationUse { use, ignore };

// What model-auc uses when CompareOptions::localization is not given: the
// setting that keeps the size of its test when marks are placed away from
// the target independently of the ratings (bench/misspec_study; `use` then
// rejects a true null in about half of the studies).
inline constexpr LocalizationUse default_localization = LocalizationUse::ignore;

// Parses `use` or `ignore`.
Expected<LocalizationUse> parse_localization(std::string_view text);

// `use` or `ignore`.
std::string localization_name(LocalizationUse use);

struct CompareOptions {
    FomSpec fom;     // the figure of merit (default wilcoxon)
    int target = 0;  // target class to analyse; 0: every class that has cases
    AnalysisOptions analysis;  // alpha and the reference reader
    // Model-based FOMs only: the rating categories of the tables (one
    // binning for the whole study, as the bin command makes it) and the
    // settings of their fits.
    study::BinningOptions binning;
    study::TableFitOptions fit;
    // model-auc: whether its fits use the localization outcomes; not given:
    // default_localization.  `ignore` with another model-based FOM is an
    // error (they need the outcomes); empirical FOMs do not use it.
    std::optional<LocalizationUse> localization;
    // Threads, progress and cancellation of the fits (model-based FOMs; the
    // empirical ones take no noticeable time).
    RunControl run;
};

// The analyses of a study, one per target class.
struct CompareResult {
    std::string source;  // the study's source (file name)
    FomSpec fom;
    double alpha = 0.05;
    bool several_target_classes = false;  // the study has cases of more than one class
    // One per analysed target class, increasing: the FOM matrix with its
    // jackknife values, the modality analysis (two or more modalities) and
    // the reference-reader analyses (one per modality).
    std::vector<ClassAnalysis> classes;
    // Model-based FOMs: the binning of the tables and the fit settings used.
    std::optional<study::Binning> binning;
    std::optional<FitSettings> fit;
    // Model-based FOMs: whether the fits used the localization outcomes.
    std::optional<LocalizationUse> localization;
};

// Checks the design (every reader read every case once in every modality),
// the plan (two or more modalities, or a reference reader with at least two
// other readers) and the target classes; for a model-based FOM bins the study
// and fits every table and, for the jackknife, every table with each case
// left out (warm-started from its full fit); then analyses each class.
// With `ignore`, each table's localization outcomes are merged before its
// fit and its refits.
// Errors: bad input, options or design (kind bad_input, bad_settings; status
// 1); a fit or refit that failed or did not converge, named by reader,
// modality and case (kind failed_fit, status 2); cancelled.
Expected<CompareResult> compare(const study::CaseStudy& study, const CompareOptions& options);

// The text report of the compare command: study size, FOM table,
// covariances, mean squares and each analysis's statistics, p values and
// intervals, in aligned columns.
std::string format_text_report(const CompareResult& result);

// The compare command's JSON report (indented by 2, ending in a line end).
// Keys (numbers are doubles; null where a value is undefined (NaN) or
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
std::string format_json_report(const CompareResult& result);

// The jackknife FOMs as CSV with the header `reader,modality,case,value`,
// preceded by a `target` column when the study has several target classes;
// values written to read back exactly, names quoted where CSV needs it.
std::string format_jackknife_csv(const CompareResult& result);

}  // namespace varnel::mrmc
