// Test support: reads small per-case rating files (comma-separated, no
// quotes; header `reader,modality,case,truth,rating[,localized]`) into a
// CaseStudy.  Throws std::runtime_error on anything it does not expect.
#pragma once

#include <string>

#include "study/cases.h"

namespace mrmc_test {

// Parses the file text; `source` names it in the study.
varnel::study::CaseStudy parse_cases(const std::string& text, const std::string& source = "test");

// Reads and parses a file.
varnel::study::CaseStudy load_cases(const std::string& path);

}  // namespace mrmc_test
