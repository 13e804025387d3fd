// Purge of empty rating categories and the check for target distributions
// without cases.
#include "input/confu.h"

#include <cstring>

#include "model/lroc_common.h"

// Removes every rating category that no case fell into, in any distribution:
// later categories move one place down in both count tables, their labels with
// them; ncat drops by one per removed category and noloc by one per removed
// category among the first noloc.
int purgconfu_(itable& freqnon, itable& freq, label_table& rating)
{
    const int old_ncat = globals_.ncat;
    const int ndist = globals_.ndist;

    // A category is empty when its two counts add up to 0 in every
    // distribution (opposite counts cancel).  The sum is taken wide so that
    // extreme counts cannot overflow.
    bool empty[max_cat + 1] = {};
    for (int i = 1; i <= old_ncat; ++i) {
        empty[i] = true;
        for (int m = 1; m <= ndist; ++m) {
            if (static_cast<long long>(freq(i, m)) + freqnon(i, m) != 0) {
                empty[i] = false;
                break;
            }
        }
    }

    // Walking from the top keeps the marks of the categories still to be
    // visited valid: only categories above i have moved.
    for (int i = old_ncat; i >= 1; --i) {
        if (!empty[i])
            continue;
        const int live_top = globals_.ncat;  // highest category still in use
        --globals_.ncat;
        if (i <= globals_.noloc)
            --globals_.noloc;
        for (int k = i; k < live_top; ++k) {
            for (int m = 1; m <= ndist; ++m) {
                freqnon(k, m) = freqnon(k + 1, m);
                freq(k, m) = freq(k + 1, m);
            }
            std::memcpy(rating[k - 1], rating[k], sizeof(label_field));
        }
        // The vacated top row holds no category any more.
        for (int m = 1; m <= ndist; ++m) {
            freqnon(live_top, m) = 0;
            freq(live_top, m) = 0;
        }
        std::memset(rating[live_top - 1], ' ', sizeof(label_field));
    }
    return 0;
}

// The first target distribution (numbered 1 upward, as in the echo) whose
// counts in the input-order tables are all 0, or 0 when every target has cases.
int empty_target__(const itable& freqnon, const itable& freq)
{
    for (int m = 2; m <= globals_.ndist; ++m) {
        bool no_cases = true;
        for (int i = 1; i <= globals_.ncat; ++i) {
            if (freqnon(i, m) != 0 || freq(i, m) != 0) {
                no_cases = false;
                break;
            }
        }
        if (no_cases)
            return m - 1;
    }
    return 0;
}
