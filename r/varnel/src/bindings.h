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

// The fit command's results table and what the fits used (binning, or each
// reader's, and settings).  `input`: list(paths = ...) for a CSV file or rating data files
// as the command reads them, or a per-case study.
cpp11::writable::list study_fit_binding(const cpp11::list& input, const cpp11::list& options);

// The compare command's analyses as tables (for model-based FOMs also the
// fits of the tables, the warnings and the empirical counterpart, converted
// alike), its pictures and its text report.
cpp11::writable::list study_compare_binding(const cpp11::list& cases, const cpp11::list& options);

// Power and sample size (power::power): `plan` the R list of the plan
// (power_options in power_bindings.cpp) with `reference` (the name of the
// reference reader, or NULL).  From variance components: `components` with
// kind "modality" or "reference"; from a pilot: a per-case study and the
// compare options (study_options.h).  The result: the table of powers, or
// of the smallest numbers of cases, the components used, the pilot's
// description and the reports (text, CSV, JSON, SVG per analysis).
cpp11::writable::list study_power_binding(const cpp11::list& components, const cpp11::list& plan);
cpp11::writable::list study_power_pilot_binding(const cpp11::list& cases,
                                                const cpp11::list& compare,
                                                const cpp11::list& plan);

}  // namespace varnel::r
