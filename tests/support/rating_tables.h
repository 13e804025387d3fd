// Rating data of a run as the reader leaves it, for the input and dialogue
// tests.
#pragma once

#include <string>

#include "varnel/study.h"

// An empty study with the given dimensions (labels blank, counts 0).
inline varnel::Study empty_study(int ncat, int ntarget, int noloc)
{
    varnel::Study s;
    s.categories = ncat;
    s.targets = ntarget;
    s.noloc = noloc;
    for (auto& l : s.labels)
        l = std::string(16, ' ');
    return s;
}

// The example study of one reader: one target distribution, five categories,
// the lowest without localization; identifiers keep the blank after the colon.
inline varnel::Study reader_a_study()
{
    varnel::Study s = empty_study(5, 1, 1);
    s.observer = " Reader A";
    s.condition = " Baseline";
    s.replication = " 1";
    const int nontarget[5] = {40, 25, 15, 12, 8};
    const int nonhit[5] = {0, 6, 5, 3, 1};
    const int hit[5] = {10, 4, 9, 15, 27};
    for (int i = 1; i <= 5; ++i) {
        s.labels[i - 1] = std::to_string(i) + std::string(15, ' ');
        // A row of one count stores it as hits; "25 0" stores 25 as non-hits.
        s.correct(i, 1) = i == 1 ? nontarget[i - 1] : 0;
        s.incorrect(i, 1) = i == 1 ? 0 : nontarget[i - 1];
        s.incorrect(i, 2) = nonhit[i - 1];
        s.correct(i, 2) = hit[i - 1];
    }
    return s;
}

// The data echo of that study with the chance value declined, as the reader
// of the report sees it; the identifiers fill their 64-character fields.
inline std::string reader_a_echo()
{
    return " OBSERVER: Reader A" + std::string(55, ' ') + "\n"
           " CONDITION: Baseline" + std::string(55, ' ') + "\n"
           " REPLICATION: 1" + std::string(62, ' ') + "\n"
           R"(
 NDIST: 1    Number of target distributions
 NCAT:  5    Number of rating categories
 NOLOC: 1    Number of categories without localization

 Chance Correct Location (qset) values:
       1
     0.000

 DISTRIBUTION:  0   Non-target distribution
            Rating               Frequency
1                                    40
2                                    25
3                                    15
4                                    12
5                                     8
 DISTRIBUTION:  1   Target distribution
            Rating      Non-hit     Hit
1                                    10
2                          6          4
3                          5          9
4                          3         15
5                          1         27
)";
}
