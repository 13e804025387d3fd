// Rating data files for the console program varnel, and the names they are
// saved under.
//
// The text: an LROCDATA line, the keyword lines OBSERVER, CONDITION,
// REPLICATION, NDIST, NCAT and NOLOC, then one table per distribution (the
// non-target one first): a heading line and one row per category, lowest
// rating first.  Lines end in LF.  A row has a blank in column 1, the label in
// columns 2 to 17 and the counts from column 18, each right-aligned in six
// columns after at least one blank: one count (the category's total) in the
// first NOLOC + 1 rows wherever the incorrect count is 0, else two (incorrect,
// correct).
//
// Identifiers: varnel keeps the 64 characters after a keyword's colon, and
// the file puts one blank there, so an identifier keeps its first 63 bytes
// (cut before an incomplete UTF-8 character); control characters (line
// breaks, tabs) become blanks.  Labels are cut to 16 bytes the same way.
#pragma once

#include <string>
#include <string_view>

#include "varnel/error.h"
#include "varnel/study.h"

namespace varnel::study {

// The data file text of a table; an error when the table is outside varnel's
// limits (targets 0 to 15, categories 1 to 17, NOLOC 0 to categories) or holds
// a negative count.
Expected<std::string> format_data_file(const Study& study);

// An identifier as the data file holds it: control characters as blanks, at
// most 63 bytes.
std::string data_file_identifier(std::string_view text);

// A name as part of a file name: letters, digits, '-', '.' and '_' (ASCII)
// kept, every other character one '_', cut to 40 characters.
std::string file_name_part(std::string_view text);

// The file name of table `number` (1-based) among `count` tables:
// "<number>_<reader>_<modality>.lrc".  The number has at least two digits, as
// many as `count` needs, so the names are unique and sort in table order; in
// the reader and modality names, letters, digits, '-', '.' and '_' (ASCII)
// are kept and every other character becomes '_', each name cut to 40
// characters.
std::string data_file_name(int number, int count, std::string_view reader,
                           std::string_view modality);

}  // namespace varnel::study
