// Reports of a comparison (varnel/compare.h), and the JSON document itself
// for the tests that read it.
#pragma once

#include <nlohmann/json.hpp>

#include "varnel/compare.h"

namespace varnel::mrmc {

// The JSON report as a document (keys in varnel/compare.h).
nlohmann::json report_json(const CompareResult& result);

}  // namespace varnel::mrmc
