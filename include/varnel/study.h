// What a rating data file holds: one observer's ratings in one reading
// condition, as counts per rating category.
#pragma once

#include <array>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "varnel/error.h"
#include "varnel/table.h"

namespace varnel {

struct Study {
    std::string observer, condition, replication;  // identifiers (the report shows 64 characters)
    int targets = 0;     // target distributions, 0 to 15
    int categories = 0;  // rating categories, 1 to 17, lowest rating first
    int noloc = 0;       // lowest categories without localization data, 0 to categories
    // Category labels (the report shows 16 characters).
    std::array<std::string, max_categories> labels{};
    // Per category and distribution: images whose mark missed the target
    // (incorrect localization) and images correctly localized.  Where only a
    // category's total is known (the non-target distribution, categories
    // without localization data) the total is in `correct` and `incorrect`
    // is 0.
    CountTable incorrect{};
    CountTable correct{};
};

// Reads a rating data file.  Errors: the file cannot be opened or read (or
// ends early), or its content has errors; the error's number and text are
// those the console program shows ("Input file has errors (8)").
Expected<Study> read_study(const std::string& path);
// The same from an open stream, read to the end of the data.
Expected<Study> read_study(std::FILE* file);
// The same from the text of a data file in memory.
Expected<Study> read_study_text(std::string_view text);

// One category's counts of one distribution, wide enough to be checked.
struct CategoryCounts {
    long long incorrect = 0;
    long long correct = 0;
};

// A study described in memory, before it is checked.
struct StudyCounts {
    std::string observer, condition, replication;
    int noloc = 0;
    std::vector<std::string> labels;  // one per category, lowest rating first
    // distributions[0] the non-target distribution, distributions[t] target
    // t; one entry per category each.
    std::vector<std::vector<CategoryCounts>> distributions;
};

// Checks the counts as the data file reader checks a file (capacities,
// NOLOC, negative counts, counts and totals beyond 2,147,483,647; the error
// numbers are the reader's) and makes the study.
Expected<Study> make_study(const StudyCounts& counts);

}  // namespace varnel
