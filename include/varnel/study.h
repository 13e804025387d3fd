// What a rating data file holds: one observer's ratings in one reading
// condition, as counts per rating category.
#pragma once

#include <array>
#include <string>

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

}  // namespace varnel
