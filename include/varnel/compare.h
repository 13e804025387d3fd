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
#include <vector>

#include "varnel/analysis.h"
#include "varnel/binning.h"
#include "varnel/cases.h"
#include "varnel/error.h"
#include "varnel/fit_study.h"
#include "varnel/fom.h"
#include "varnel/run_control.h"

namespace varnel::mrmc {

struct CompareOptions {
    FomSpec fom;     // the figure of merit (default wilcoxon)
    int target = 0;  // target class to analyse; 0: every class that has cases
    AnalysisOptions analysis;  // alpha and the reference reader
    // Model-based FOMs only: the rating categories of the tables (one
    // binning for the whole study, as the bin command makes it) and the
    // settings of their fits.
    study::BinningOptions binning;
    study::TableFitOptions fit;
    // Threads, progress and cancellation of the fits (model-based FOMs; the
    // empirical ones take no noticeable time).
    RunControl run;
};

// A point of an ROC or LROC curve: x the false-positive fraction, y the
// true-positive fraction (ROC) or the fraction of target cases rated at or
// above the threshold and correctly localized (LROC).
struct CurvePoint {
    double x = 0.0;
    double y = 0.0;
};

// What the pictures show of one reader x modality table in the analysis of
// one target class.
struct TableCurves {
    // Operating points, highest threshold first: for an empirical FOM at each
    // distinct rating (a target case without a recorded mark counting as not
    // correctly localized, as in the FOMs), for a model-based one at each
    // category of the binned table.  ROC: every threshold above the lowest
    // (the lowest gives (1, 1)).  LROC: every threshold, the lowest included,
    // except where the binned table has no localization data (its NOLOC
    // categories); none for a study without localization outcomes.
    std::vector<CurvePoint> roc, lroc;
    // Model-based FOMs: the fitted curves of the table's fit (the 300 points
    // of summarize_curves, false-positive fraction decreasing; the LROC curve
    // with chance localization when chance values were given, as the
    // observed points count lucky localizations); empty otherwise.
    std::vector<CurvePoint> fitted_roc, fitted_lroc;
};

// The analyses of a study, one per target class.
struct CompareResult {
    std::string source;  // the study's source (file name)
    FomSpec fom;
    double alpha = 0.05;
    std::optional<double> margin;  // the non-inferiority margin, when one was given
    bool several_target_classes = false;  // the study has cases of more than one class
    // One per analysed target class, increasing: the FOM matrix with its
    // jackknife values, the modality analysis (two or more modalities) and
    // the reference-reader analyses (one per modality).
    std::vector<ClassAnalysis> classes;
    // Model-based FOMs: the binning of the tables and the fit settings used.
    std::optional<study::Binning> binning;
    std::optional<FitSettings> fit;
    // For the pictures, per analysed class (as `classes`), per reader and
    // modality: curves[c][reader][modality].
    std::vector<std::vector<std::vector<TableCurves>>> curves;
};

// Checks the design (every reader read every case once in every modality),
// the plan (two or more modalities, or a reference reader with at least two
// other readers) and the target classes; for a model-based FOM bins the study
// and fits every table and, for the jackknife, every table with each case
// left out (warm-started from its full fit); then analyses each class.
// Errors: bad input, options or design (kind bad_input, bad_settings; status
// 1); a fit or refit that failed or did not converge, named by reader,
// modality and case (kind failed_fit, status 2); cancelled.
Expected<CompareResult> compare(const study::CaseStudy& study, const CompareOptions& options);

// The text report of the compare command: study size, FOM table,
// covariances, mean squares and each analysis's statistics, p values
// (Holm-adjusted beside them where there is a family) and intervals, the
// non-inferiority tests with their hypotheses and verdicts in words, in
// aligned columns.
std::string format_text_report(const CompareResult& result);

// The compare command's JSON report (indented by 2, ending in a line end).
// Keys (numbers are doubles; null where a value is undefined (NaN) or
// infinite; infinite degrees of freedom mean normal-theory results).  Every
// number has a key of its own, except in the arrays fom_table,
// modality_means, modality_ms_r and psi, kept beside their labelled forms:
//   source, fom (name as parse_fom reads it), alpha, margin (null without),
//   analyses: one object per target class:
//     target_class, readers [names], modalities [names],
//     cases {total, normal, target},
//     fom_table [per reader: [per modality]],
//     foms [{reader, modality, value, std_error, lower, upper}] (jackknife
//       standard error, normal-theory interval),
//     modality_comparison (null with one modality):
//       readers [names taking part], modality_means [per modality],
//       reader_averaged_foms [{modality, value}],
//       covariances {var, cov1, cov2, cov3},
//       modality_covariances [{modality, var, cov2, ms_r}], modality_ms_r [per modality],
//       mean_squares {t, r, tr}, variance_components {reader, modality_reader},
//       random_readers_random_cases, fixed_readers_random_cases,
//       random_readers_fixed_cases: each
//         {statistic_name ("F" or "chi2"), statistic, ndf, ddf, p,
//          differences [{first, second (modality names; first - second),
//                        estimate, std_error, df, t, p, lower, upper,
//                        p_holm (three or more modalities),
//                        non_inferiority (with a margin)}],
//          means [{modality, estimate, std_error, df, lower, upper}]}
//     reference_analyses [per modality, empty without a reference reader]:
//       {modality, reference, readers [names], psi [per reader],
//        reader_differences [{reader, fom, estimate (psi), std_error, df, t, p,
//                             p_holm, lower, upper}],
//        reference_fom, reference_estimate, readers_mean, readers_mean_estimate
//        ({estimate, std_error, df, lower, upper}), ms_r, var, cov2, ms_den,
//        random_readers_random_cases, random_readers_fixed_cases: each
//          {estimate (mean psi), std_error, df, t, p, lower, upper,
//           non_inferiority (with a margin)}}
//   non_inferiority: {null_hypothesis, alternative (texts: "mean psi >= 0.05",
//     "first - second <= -0.05"), bound, t, p (one-sided), confidence_bound,
//     rejected (true/false), p_holm (three or more modalities)}
std::string format_json_report(const CompareResult& result);

// The pictures of a comparison, SVG documents drawn from the result alone
// (the titles, axis labels and legends of the fit pictures).  Class indices
// refer to result.classes.
//
// The forest plot of one analysed class: each reader's FOM per modality
// with its interval (case jackknife, normal theory), the reference reader
// apart, the readers' averages (random readers and cases); below, each
// reader's psi against the reference with its interval and their mean
// (random readers and cases), and the modality differences of the random
// readers and cases analysis; with a margin, its lines.  An error for an
// index out of range.
Expected<std::string> format_forest_svg(const CompareResult& result, std::size_t class_index);

// The operating-points picture of one modality (0-based) in one analysed
// class: ROC and LROC panels with every reader's operating points and, for a
// model-based FOM, the fitted curves with their vertical average over the
// readers other than the reference.  An error for an index out of range or
// a result without curves.
Expected<std::string> format_operating_points_svg(const CompareResult& result,
                                                  std::size_t class_index, int modality);

// A picture and the name of its file.
struct ComparePicture {
    std::string file_name;
    std::string svg;
};

// Every picture of a comparison: per analysed class t `forest_target<t>.svg`
// and per modality `operating_points_target<t>_<NN>_<modality>.svg` (NN the
// modality's number, two digits or more; the name as in data file names).
std::vector<ComparePicture> compare_pictures(const CompareResult& result);

// The jackknife FOMs as CSV with the header `reader,modality,case,value`,
// preceded by a `target` column when the study has several target classes;
// values written to read back exactly, names quoted where CSV needs it.
std::string format_jackknife_csv(const CompareResult& result);

}  // namespace varnel::mrmc
