// Rating data of a run as the reader leaves it, for the input tests.
#pragma once

#include <cstring>
#include <string>

#include "input/lroc_data.h"
#include "model/lroc_common.h"

struct rating_data {
    id_field obsvr;
    id_field cond;
    id_field inum;
    label_table rating;
    itable freqnon;
    itable freq;
};

// Blank-padded copy of text into a field of n characters.
inline void set_field(char* field, int n, const std::string& text)
{
    std::memset(field, ' ', n);
    std::memcpy(field, text.data(), text.size() < size_t(n) ? text.size() : size_t(n));
}

inline std::string label_of(const label_table& rating, int i)
{
    return std::string(rating[i - 1], sizeof(label_field));
}

// Zeroed tables and records with the given dimensions.
inline void reset_run(rating_data& d, int ncat, int ntarget, int noloc)
{
    std::memset(&d, 0, sizeof d);
    set_field(d.obsvr, sizeof d.obsvr, "");
    set_field(d.cond, sizeof d.cond, "");
    set_field(d.inum, sizeof d.inum, "");
    for (auto& l : d.rating)
        set_field(l, sizeof l, "");
    globals_ = {};
    qvals_ = {};
    globals_.ncat = ncat;
    globals_.ndist = ntarget + 1;
    globals_.noloc = noloc;
}

// The example study of one reader: one target distribution, five categories,
// the lowest without localization; identifiers keep the blank after the colon.
inline void load_reader_a(rating_data& d)
{
    reset_run(d, 5, 1, 1);
    set_field(d.obsvr, sizeof d.obsvr, " Reader A");
    set_field(d.cond, sizeof d.cond, " Baseline");
    set_field(d.inum, sizeof d.inum, " 1");
    const int nontarget[5] = {40, 25, 15, 12, 8};
    const int nonhit[5] = {0, 6, 5, 3, 1};
    const int hit[5] = {10, 4, 9, 15, 27};
    for (int i = 1; i <= 5; ++i) {
        set_field(d.rating[i - 1], sizeof(label_field), std::to_string(i));
        // A row of one count stores it as hits; "25 0" stores 25 as non-hits.
        d.freq(i, 1) = i == 1 ? nontarget[i - 1] : 0;
        d.freqnon(i, 1) = i == 1 ? 0 : nontarget[i - 1];
        d.freqnon(i, 2) = nonhit[i - 1];
        d.freq(i, 2) = hit[i - 1];
    }
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
