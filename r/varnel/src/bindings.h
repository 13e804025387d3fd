// The functions behind the package's .Call entry points.  Each returns
// list(value = ...) or list(error = ...) (convert.h); the R side unwraps it.
#pragma once

#include <string>

#include <cpp11.hpp>

namespace varnel::r {

// A rating data file as a study value.
cpp11::writable::list read_study_binding(const std::string& path);

// The fit of a study value with everything the reports show of it: the
// study as fitted, the fit's verdict and parameters, their covariance and
// standard errors, areas, localization, moments, likelihood statistics,
// curves, and the console program's report texts.  chance: one value per
// target; noloc as FitSettings::noloc.
cpp11::writable::list lroc_fit_binding(const cpp11::list& study, double criterion,
                                       const cpp11::doubles& chance, int noloc);

// Whole studies.  `cases`: a per-case study as case_study() takes it
// (study_options.h); `options`: the lists of the options functions there.

// The binning of the bin command: the categories, one table per reader and
// modality (reader-major), their data file names and texts, and the text the
// command prints.
cpp11::writable::list study_bin_binding(const cpp11::list& cases, const cpp11::list& options);

// The fit command's results table and what the fits used (binning,
// settings).  `input`: list(paths = ...) for a CSV file or rating data files
// as the command reads them, or a per-case study.
cpp11::writable::list study_fit_binding(const cpp11::list& input, const cpp11::list& options);

// The compare command's analyses as tables, and its text report.
cpp11::writable::list study_compare_binding(const cpp11::list& cases, const cpp11::list& options);

// Power from variance components: `components` with kind "modality" or
// "reference"; `plan` the plan's other values.  target_power NaN: the power
// of every analysis for each number of readers and cases; else for each
// number of readers the smallest number of cases (up to max_cases) that
// reaches it.
cpp11::writable::list study_power_binding(const cpp11::list& components, const cpp11::list& plan,
                                          const cpp11::integers& readers,
                                          const cpp11::integers& cases, double target_power,
                                          int max_cases);

}  // namespace varnel::r
