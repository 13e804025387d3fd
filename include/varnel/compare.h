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

#include <cstdint>
#include <limits>
#include <memory>
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
#include "varnel/summary.h"

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
// the target independently of the ratings (bench/robustness_study; `use` then
// rejects a true null in about half of the studies).
inline constexpr LocalizationUse default_localization = LocalizationUse::ignore;

// Parses `use` or `ignore`.
Expected<LocalizationUse> parse_localization(std::string_view text);

// `use` or `ignore`.
std::string localization_name(LocalizationUse use);

// How far the fits behind a model-based FOM can be trusted: which warnings
// a comparison gives.
enum class WarningKind {
    fit_rejected,       // a table's goodness of fit rejected at 0.05
    sparse_binning,     // the study-wide binning leaves some table few categories
    degenerate,         // a table whose likelihood has its maximum at an infinite boundary
    extrapolation,      // a full-area FOM with some table's observed FPF range ending below 0.5
    model_disagrees,    // model FOM and empirical counterpart apart beyond Holm's threshold
    marks_not_tied,     // model AUC below the empirical, model localization above
    unmarked_cases,     // tables that leave many target cases unmarked, others few
};

// The kind's name as the JSON report gives it ("fit_rejected", ...).
const char* warning_kind_name(WarningKind kind);

struct CompareWarning {
    WarningKind kind = WarningKind::fit_rejected;
    std::string message;  // one line, without the line end
};

// The fit of one reader x modality table behind a model-based FOM, its
// goodness of fit, its observed operating range and how its FOM compares
// with the empirical counterpart.  Numbers are NaN where not available.
struct TableFit {
    static constexpr double none = std::numeric_limits<double>::quiet_NaN();
    std::string reader, modality;
    int categories = 0;  // after dropping empty ones
    int noloc = 0;       // as the fit used it
    // Fits tried for the full table: 1 when the first converged; then cold
    // with a smaller first step, then with a wider parameter range.
    int attempts = 0;
    // No finite maximum: the likelihood's supremum lies where the boundary
    // above `degenerate_category` (the highest holding a normal case) grows
    // without bound, and the FOM is the limit there (see the README).
    bool degenerate = false;
    int degenerate_category = 0;
    // Goodness of fit with the localization outcomes as the fit used them
    // (degenerate: of the limit model, over its cells of positive
    // probability; ratings-alone values NaN).
    LikelihoodStatistics likelihood{none, none, none, none, none, none};
    ChiSquareTests chi_square{0, 0, 0, 0, none, none, none, none};
    // With a parametric bootstrap (CompareOptions::gof_bootstrap).
    int bootstrap_replicates = 0;
    int bootstrap_failed = 0;
    double bootstrap_p_pearson = none;
    double bootstrap_p_deviance = none;
    // Rejected at 0.05 by the Pearson statistic (its bootstrap p-value when
    // computed, else the chi-square one).
    bool fit_rejected = false;
    // The refits of the jackknife: distinct tables refitted, those that
    // needed a retry (the warm start failed) and those that were degenerate.
    int refits = 0;
    int retried_refits = 0;
    int degenerate_refits = 0;
    // The observed operating range: FPF and TPF (target class of the
    // analysis) of the lowest threshold above the no-mark category (the
    // lowest NOLOC categories; category 1 without them).
    double observed_fpf = none;
    double observed_tpf = none;
    // Share of the class's target cases without a mark (no localization
    // recorded); NaN for ROC data.
    double unmarked_share = none;
    // The model FOM, its empirical counterpart (e.g. wilcoxon for
    // model-auc), the difference with its jackknife standard error, z and
    // two-sided normal p; disagrees: beyond Holm's threshold over all tables.
    double fom = none;
    double empirical = none;
    double difference = none;
    double se_difference = none;
    double z = none;
    double p = none;
    bool disagrees = false;
    // From the same fit: model AUC and localization accuracy against
    // wilcoxon and pcl@1 (marks not tied to ratings show as model AUC below,
    // model localization above; NaN without localization outcomes).
    double model_auc = none, empirical_auc = none;
    double model_loc = none, empirical_loc = none;
};

// The fits of one analysed target class.
struct ClassFits {
    int target_class = 1;
    std::vector<TableFit> tables;  // reader-major, as the FOM matrix
    // The empirical counterpart of the FOM (model-auc: wilcoxon; model-pcl@x:
    // pcl@x; model-loc: pcl@1; model-alroc: alroc@1, the area under the
    // empirical LROC curve); none when the data cannot give it (no
    // localization outcomes).
    std::optional<FomSpec> empirical;
};

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
    // Model-based FOMs: parametric bootstrap replicates of each table's
    // goodness of fit (0: none) and their seed; the p-values are the same
    // for a seed whatever the number of threads.
    int gof_bootstrap = 0;
    std::uint64_t seed = 1;
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
    // Model-based FOMs: the chance value of each target class, from class 1
    // to the highest in the study (those of `fit` beyond it are unused).
    std::vector<double> chance;
    // Model-based FOMs: whether the fits used the localization outcomes.
    std::optional<LocalizationUse> localization;
    // Model-based FOMs, with scope reader: each reader's categories (binning
    // is then empty).
    std::vector<study::Binning> reader_binnings;
    // Model-based FOMs: per analysed class (as `classes`) the tables' fits,
    // and the warnings they give, in the order of WarningKind.
    std::vector<ClassFits> fits;
    std::vector<CompareWarning> warnings;
    // Model-based FOMs: the same study analysed with the empirical
    // counterpart of the FOM (none when the data cannot give it).
    std::shared_ptr<const CompareResult> empirical;
    // For the pictures, per analysed class (as `classes`), per reader and
    // modality: curves[c][reader][modality].
    std::vector<std::vector<std::vector<TableCurves>>> curves;
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
