// Reader of per-case ratings: a CSV file with one row per reader, modality
// and case.
//
// The file is RFC 4180 CSV in UTF-8 (a leading byte-order mark is skipped)
// with LF or CRLF line ends; the last line may lack its line end.  The first
// row names the columns; the columns `reader`, `modality`, `case`, `truth`
// and `rating` are required and `localized` is optional, in any order, other
// columns are ignored.  Names are exact and lowercase.
//
// Blanks (spaces and tabs) around a field are ignored, in the header and in
// the rows; inside quotes they are kept.  A quoted field may hold commas,
// line breaks and quotes written twice ("").  Lines that are empty or hold
// only blanks are skipped.
//
// truth: 0 (no target) or a target class 1 to 15.  rating: a finite number,
// higher meaning more confident that a target is present.  localized: 1
// (correct) or 0 (incorrect) for a target case, empty where no localization
// was recorded, always empty for a case without a target.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "study/cases.h"
#include "study/result.h"

namespace varnel::study {

// Reads and checks the ratings file at `path`; messages name the file as
// given and the line ("cases.csv:17: rating \"abc\" is not a number").
Result<CaseStudy> read_cases(const std::filesystem::path& path);

// The same for text in memory; `source` names it in messages.
Result<CaseStudy> parse_cases(std::string_view text, const std::string& source);

}  // namespace varnel::study
