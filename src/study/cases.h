// Per-case ratings of a reader study: every reader rated every case once per
// modality; a target case may carry the reader's localization outcome.
#pragma once

#include <string>
#include <vector>

namespace varnel::study {

// Localization outcome of one reading of a target case.
enum class Localization : signed char { unknown = -1, incorrect = 0, correct = 1 };

// One rating: reader, modality and case are indices into the lists of
// CaseStudy.
struct Reading {
    int reader = 0;
    int modality = 0;
    int case_index = 0;
    double rating = 0.0;
    // unknown for a case without a target and where none was recorded.
    Localization localization = Localization::unknown;
    int line = 0;  // line of the input file (1-based; 0 when made in memory)
};

// Readers, modalities and cases in the order of their first appearance in the
// input, the truth of each case and the readings in input order.
struct CaseStudy {
    std::string source;  // file name, for messages
    std::vector<std::string> readers, modalities, cases;
    std::vector<int> truth;         // per case: 0 no target, 1 to 15 target class
    bool has_localization = false;  // the input has a `localized` column
    std::vector<Reading> readings;
};

}  // namespace varnel::study
