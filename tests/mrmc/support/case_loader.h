// Test support: per-case rating files (header
// `reader,modality,case,truth,rating[,localized]`) read into a CaseStudy by
// the program's reader.  Throws std::runtime_error with its message.
#pragma once

#include <string>

#include "varnel/cases.h"

namespace mrmc_test {

// Parses the file text; `source` names it in the study.
varnel::study::CaseStudy parse_cases(const std::string& text, const std::string& source = "test");

// Reads and parses a file.
varnel::study::CaseStudy load_cases(const std::string& path);

}  // namespace mrmc_test
