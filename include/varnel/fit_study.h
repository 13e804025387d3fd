// Fits of every table of a reader study (one per reader and modality), the
// work of `varnel-study fit`: per-case ratings binned into tables, or rating
// data files, each table fitted on its own thread; one result row per table
// and target class, and on request each table's report file and picture.
//
//     varnel::study::FitStudyOptions options;        // the command's defaults
//     options.binning.categories = 6;
//     auto result = varnel::study::fit_study(cases, options);
//     if (result) std::fputs(varnel::study::format_results_csv(*result).c_str(), stdout);
#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "varnel/binning.h"
#include "varnel/cases.h"
#include "varnel/error.h"
#include "varnel/fit.h"
#include "varnel/run_control.h"
#include "varnel/summary.h"

namespace varnel::study {

// The fit settings of every table as a front end's options give them.
struct TableFitOptions {
    // Stopping criterion of the fit; at least 1e-8.
    double criterion = FitSettings{}.criterion;
    // Chance of a correct localization by luck (0 to 1): empty for 0, one
    // value for every target class, or one value per target class (class 1
    // first).
    std::vector<double> chance;
    // Raise the number of lowest categories without localization to this (as
    // the console dialogue does: ignored unless above a table's own and at
    // most its number of categories).
    int noloc = 0;
};

// The settings of the fits of tables with `target_classes` target classes.
// Errors (kind bad_settings; the message begins with the setting's name): a
// criterion below 1e-8 or not a number ("criterion must be ..."), a number of
// chance values that is neither 1 nor `target_classes`, a chance value outside
// 0 to 1 ("chance: ...").
Expected<FitSettings> fit_settings(const TableFitOptions& options, int target_classes);

// The highest target class of the study's cases (0 without target cases).
int highest_target_class(const CaseStudy& study);

// One table to fit.
struct Table {
    std::string reader, modality;
    Study study;            // as the console program reads its data file
    std::string data_file;  // the data file's text
    std::string file_stem;  // name of its files in a results folder, without extension
};

// One target class of a fitted table.  Numbers are NaN where the fit gave
// none (a table that could not be fitted; the adjusted values without
// chance values).
struct TargetResult {
    static constexpr double none = std::numeric_limits<double>::quiet_NaN();
    int target = 0;
    long long normal_cases = 0, target_cases = 0;
    double chance = 0.0;
    double mu = none, se_mu = none, sigma = none, se_sigma = none;
    double area_roc = none, se_area_roc = none, area_lroc = none, se_area_lroc = none;
    double loc_accuracy = none, se_loc_accuracy = none;
    double adjusted_area_lroc = none, adjusted_loc_accuracy = none;
    double dloc = none, se_dloc = none, pcl = none, se_pcl = none;
};

// The fit of one table.
struct TableResult {
    std::string status;  // empty, or why the table could not be fitted
    int categories = 0;  // after dropping empty ones
    int noloc = 0;       // as the fit used it
    bool converged = false;
    int iterations = 0;
    LikelihoodStatistics likelihood{};  // NaN where not fitted
    // Degrees of freedom and asymptotic p-values of the statistics (p NaN
    // where not fitted), and with FitStudyOptions::gof_bootstrap the
    // parametric bootstrap's (varnel/goodness_of_fit.h; NaN without).
    ChiSquareTests chi_square{0, 0, 0, 0, TargetResult::none, TargetResult::none,
                              TargetResult::none, TargetResult::none};
    int bootstrap_replicates = 0;
    int bootstrap_failed = 0;
    double bootstrap_p_pearson = TargetResult::none;
    double bootstrap_p_deviance = TargetResult::none;
    std::vector<TargetResult> targets;  // one per target class
    std::string report;   // with FitStudyOptions::reports: the console program's output file
    std::string picture;  // and the SVG picture of the fit
};

struct FitStudyOptions {
    BinningOptions binning;  // per-case input: the rating categories
    TableFitOptions fit;
    bool reports = false;  // also each table's report file and picture (the fit --out folder)
    // Parametric bootstrap replicates of each table's goodness of fit (0:
    // none) and their seed; a table's p-values are the same for a seed
    // whatever the number of threads.
    int gof_bootstrap = 0;
    std::uint64_t seed = 1;
    RunControl run;
};

// The tables to fit and where they came from: checked input, ready for the
// fits.
struct FitInput {
    std::vector<Table> tables;  // reader-major for per-case input, else in file order
    FitSettings settings;       // resolved for the tables' target classes
    int target_classes = 0;     // the highest of the tables
    // Per-case input: its source and the binning (scope study) or each
    // reader's (scope reader: binning empty, reader_binnings and readers one
    // per reader); data files: their paths.
    std::string cases;
    std::optional<Binning> binning;
    std::vector<Binning> reader_binnings;
    std::vector<std::string> readers;
    std::vector<std::string> data_files;
};

// The tables of per-case ratings, binned with options.binning, and the
// settings of their fits.
Expected<FitInput> make_fit_input(const CaseStudy& cases, const FitStudyOptions& options);

// The input of the fit command: one per-case ratings file (CSV) or rating
// data files (each read as the console program reads it; a file whose first
// word is LROCDATA is a data file), then the settings.  Errors name the file.
Expected<FitInput> read_fit_input(const std::vector<std::string>& paths,
                                  const FitStudyOptions& options);

// Every table fitted and what the fits gave.
struct FitStudyResult {
    FitInput input;
    std::vector<TableResult> results;  // one per table, in table order

    // Tables that could not be fitted (their status says why).
    int failed_tables() const;
};

// Fits every table of the input with input.settings, on options.run.threads
// threads (options.binning and options.fit were used by the input already);
// with options.reports also each table's report file and picture.  A table
// that cannot be fitted is a row with its status, not an error; the errors
// are bad options (kind bad_input) and a cancelled call.
Expected<FitStudyResult> fit_study(FitInput input, const FitStudyOptions& options);

// make_fit_input, then the fits.
Expected<FitStudyResult> fit_study(const CaseStudy& cases, const FitStudyOptions& options);

// The columns of the results table, in order: reader, modality, target,
// normal_cases, target_cases, categories (after dropping empty ones), noloc
// (as the fit used it), chance, converged (true/false), iterations, mu, se_mu,
// sigma, se_sigma, area_roc, se_area_roc, area_lroc, se_area_lroc,
// loc_accuracy, se_loc_accuracy, adjusted_area_lroc, adjusted_loc_accuracy
// (with chance values only), dloc, se_dloc, pcl, se_pcl, log_likelihood,
// log_likelihood_ratings, deviance, deviance_ratings, pearson,
// pearson_ratings, status; then the goodness of fit: cells, df, p_pearson,
// p_deviance (with the localization outcomes), cells_ratings, df_ratings,
// p_pearson_ratings, p_deviance_ratings (the ratings alone),
// bootstrap_replicates, bootstrap_failed, bootstrap_p_pearson,
// bootstrap_p_deviance (empty without a bootstrap).
const std::vector<std::string>& result_columns();

// The results table as the fit command prints it in CSV: a header row, one
// row per table and target class (RFC 4180 quoting).  Numbers in their
// shortest exact form; a value the fit did not give is empty; NaN and
// infinities are NaN, Inf, -Inf.
std::string format_results_csv(const FitStudyResult& result);

// The same as the fit command's JSON document (indented by 2, ending in a
// line end): {"cases" and "binning" {categories, upper_bounds, labels}, or
// "data_files"; "criterion", "chance" (one per target class), "noloc",
// "results": [rows as objects keyed by column]}; values the fit did not
// give, NaN and infinities are null.
std::string format_results_json(const FitStudyResult& result);

}  // namespace varnel::study
