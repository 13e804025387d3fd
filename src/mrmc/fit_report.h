// The parts of a comparison's reports that only model-based FOMs have: how
// the tables were fitted and how far their fits can be trusted.  Empty (text)
// or null (JSON) for empirical FOMs, so their reports are unchanged.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "varnel/compare.h"

namespace varnel::mrmc {

// Lines after the report's heading: what the fits used (localization
// outcomes, binning, settings) and the warnings.
std::string model_fits_heading_text(const CompareResult& result);

// Sections after the analyses: per class the tables' goodness of fit and
// refits, their observed ranges and the FOM against its empirical
// counterpart; when the model disagrees with the data, the empirical
// analysis.
std::string model_fits_text(const CompareResult& result);

// The "model_fits" object of the JSON report.
nlohmann::json model_fits_json(const CompareResult& result);

}  // namespace varnel::mrmc
