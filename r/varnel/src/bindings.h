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

}  // namespace varnel::r
