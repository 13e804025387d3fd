// Fits of many tables (one per reader and modality) on several threads, with
// what each gives: one result row per target class, and on request the
// report file and the picture of the fit.
#pragma once

#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "varnel/summary.h"

namespace varnel::study {

// One table to fit.
struct Table {
    std::string reader, modality;
    Study study;            // as the console program reads its data file
    std::string data_file;  // the data file's text
    std::string file_stem;  // name of its files in a results folder, without extension
};

struct BatchSettings {
    FitSettings fit;
    int threads = 1;
    bool reports = false;  // also the report file and the picture of each fit
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

struct TableResult {
    std::string status;  // empty, or why the table could not be fitted
    int categories = 0;  // after dropping empty ones
    int noloc = 0;       // as the fit used it
    bool converged = false;
    int iterations = 0;
    LikelihoodStatistics likelihood{};  // NaN where not fitted
    std::vector<TargetResult> targets;
    std::string report;   // with BatchSettings::reports: the output file of the console program
    std::string picture;  // and the SVG picture of the fit
};

// Runs job(i, workspace) for i = 0 .. count - 1 on `threads` threads, each
// with its own workspace, the indices in turn.  `progress`, when given, is
// called on the calling thread with the numbers of jobs done and in all, now
// and then while the jobs run.
void run_parallel(int count, int threads, const std::function<void(int, Workspace&)>& job,
                  const std::function<void(int, int)>& progress = {});

// Fits every table, `threads` at a time, each thread with its own workspace;
// the results are in table order and the same whatever the number of threads.
// `progress`, when given, is called on the calling thread with the numbers of
// tables done and in all, now and then while the fits run.
std::vector<TableResult> fit_tables(const std::vector<Table>& tables, const BatchSettings& settings,
                                    const std::function<void(int, int)>& progress = {});

}  // namespace varnel::study
