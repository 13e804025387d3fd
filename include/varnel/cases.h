// Per-case ratings of a reader study: every reader rated every case once per
// modality; a target case may carry the reader's localization outcome.  Read
// from a CSV file or text, or built from columns held in memory (a data frame).
//
// The CSV file is RFC 4180 CSV in UTF-8 (a leading byte-order mark is
// skipped) with LF or CRLF line ends; the last line may lack its line end.
// The first row names the columns; the columns `reader`, `modality`, `case`,
// `truth` and `rating` are required and `localized` is optional, in any
// order, other columns are ignored.  Names match without regard to the case
// of their letters and blanks around them ("Reader", " TRUTH "); two columns
// with one name so are refused.
//
// Fields are separated by commas, semicolons or tabs, one separator for the
// whole file, taken from the first line that is not blank (quotes respected):
// commas when that line split at commas names one of the required columns;
// otherwise the semicolon or tab that names more of them; commas when
// neither names any.
//
// Blanks (spaces, and tabs unless tabs separate the fields) around a field
// are ignored, in the header and in the rows; inside quotes they are kept.  A
// quoted field may hold separators, line breaks and quotes written twice
// ("").  Lines that are empty or hold only blanks and separators are skipped.
//
// truth: 0 (no target) or a target class 1 to 15, also written with a
// decimal point and zeros ("2.0"); TRUE and FALSE (any case) are 1 and 0.
// rating: a finite number with a decimal point, higher meaning more confident
// that a target is present.  localized: 1 (correct) or 0 (incorrect) for a
// target case, also as 1.0, 0.0, TRUE and FALSE (any case); empty or NA (any
// case) where no localization was recorded, always so for a case without a
// target.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "varnel/error.h"

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
    // Where the reading came from (1-based): the line of the input file, or
    // the data row of columns in memory (CaseStudy::numbered_by_row); 0 when
    // made otherwise.
    int line = 0;
};

// Readers, modalities and cases in the order of their first appearance in the
// input, the truth of each case and the readings in input order.
struct CaseStudy {
    std::string source;  // file name (or the name given to columns), for messages
    std::vector<std::string> readers, modalities, cases;
    std::vector<int> truth;         // per case: 0 no target, 1 to 15 target class
    bool has_localization = false;  // the input has a `localized` column
    std::vector<Reading> readings;
    bool numbered_by_row = false;  // Reading::line counts data rows, not file lines
};

// Where a reading came from, for messages: "line 17", "row 17" (columns in
// memory), or "in memory" when its line is 0.
std::string place_of(const CaseStudy& study, int line);

// Reads and checks the ratings file at `path`; messages name the file as
// given and the line ("cases.csv:17: rating \"abc\" is not a number").  A
// header without a required column is shown in the message, with the
// separator ("found the column \"Leser;Fall\"; is the separator \";\"?").
Expected<CaseStudy> read_cases(const std::filesystem::path& path);

// The same for text in memory; `source` names it in messages.
Expected<CaseStudy> parse_cases(std::string_view text, const std::string& source);

// One column of a study in memory: one value per data row, as texts, numbers
// or truth values (a data frame's column of strings, of numbers or of
// booleans), with missing values marked.
struct Column {
    std::variant<std::vector<std::string>, std::vector<double>, std::vector<bool>> values;
    // Empty, or one flag per row: true where the value is missing (None, NA).
    // A NaN in a column of numbers counts as missing too.
    std::vector<bool> missing;

    std::size_t size() const;
};

// The columns of a per-case study, one entry per data row (row 1 first).
//
// reader, modality, case_name: names, taken exactly as given (blanks kept),
// not empty, valid UTF-8.
// truth: texts as the CSV reader reads them ("0" to "15", "2.0", "TRUE",
// "false"), numbers with an integral value 0 to 15, or truth values (false 0,
// true 1).
// rating: texts as the CSV reader reads them, finite numbers, or truth values
// (false 0, true 1).
// localized (optional; without it the study is ROC data): texts as the CSV
// reader reads them ("1", "0", "1.0", "TRUE", "false"; "" and "NA" not
// recorded), numbers 1 or 0, truth values (true correct, false incorrect); a
// missing value is "not recorded".
// A missing truth or rating is refused as an empty field of the CSV file is.
struct CaseColumns {
    std::vector<std::string> reader, modality, case_name;
    Column truth, rating;
    std::optional<Column> localized;
};

// Checks the columns row by row as the CSV reader checks the rows of a file
// and makes the study.  Messages name `source`, the 1-based data row and the
// column, with the texts of the CSV reader ("cases: row 17: rating \"abc\" is
// not a number"); numbers and truth values are shown as "1.5", "inf", "true".
Expected<CaseStudy> make_cases(const CaseColumns& columns, const std::string& source);

}  // namespace varnel::study
