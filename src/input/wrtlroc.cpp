// Data echo: identifiers, dimensions, chance values and the count tables.
#include "input/confu.h"

#include <climits>

#include "model/lroc_common.h"
#include "output/io_routs.h"

// Writes the rating data as the fit will use it on unit lun: the identifiers,
// the numbers of distributions, categories and categories without
// localization, the chance value of each target, and per input distribution
// one row per category: the total where localization is not used (the
// non-target distribution, categories 1..noloc, targets with qset 1.0), else
// the non-hit and hit counts.
int wrtlroc_(const int& lun, const id_field& obsvr, const id_field& cond, const id_field& inum,
             const label_table& rating, const itable& freqnon, const itable& freq)
{
    constexpr int id_len = sizeof(id_field);
    constexpr int label_len = sizeof(label_field);
    const int ncat = globals_.ncat;
    const int ndist = globals_.ndist;
    const int noloc = globals_.noloc;
    const int ntarget = ndist - 1;
    const int first = 1;

    out_str_v__(lun, "(' OBSERVER:',1a64)", obsvr, id_len);
    out_str_v__(lun, "(' CONDITION:',1a64)", cond, id_len);
    out_str_v__(lun, "(' REPLICATION:',1a64,/)", inum, id_len);
    out_int__(lun, "(' NDIST:',1i2,4x,'Number of target distributions')", ntarget);
    out_int__(lun, "(' NCAT:',1i3,4x,'Number of rating categories')", ncat);
    out_int__(lun, "(' NOLOC:',1i2,4x,'Number of categories without localization')", noloc);
    out_str__(lun, "(/,' Chance Correct Location (qset) values:')");
    out_ind__(lun, "($)", "(6x,i2,$)", first, ntarget);
    out_arr_r__(lun, "('  ',$)", "(1x,f7.3,$)", qvals_.qset, first, ntarget);
    out_nl__(lun);

    for (int m = 1; m <= ndist; ++m) {
        const int shown = m - 1;
        if (m == 1) {
            out_int__(lun, "(' DISTRIBUTION:',1i3,3x,'Non-target distribution')", shown);
            out_str__(lun, "('            Rating               Frequency')");
        } else {
            out_int__(lun, "(' DISTRIBUTION:',1i3,3x,'Target distribution')", shown);
            out_str__(lun, "('            Rating      Non-hit     Hit')");
        }
        // The non-target test comes first, so qset is read only for targets.
        const bool roc_only = (m == 1 || qset(m - 1) == 1.0);
        for (int n = 1; n <= ncat; ++n) {
            out_str_v__(lun, "(1a16,$)", rating[n - 1], label_len);
            if (roc_only || n <= noloc) {
                // A total beyond the int range overflows the I5 field all the same.
                long long sum = static_cast<long long>(freq(n, m)) + freqnon(n, m);
                const int total = sum > INT_MAX ? INT_MAX : sum < INT_MIN ? INT_MIN
                                                                          : static_cast<int>(sum);
                out_int__(lun, "(18x,1i5)", total);
            } else {
                out_int2__(lun, "(7x,1i5,6x,1i5)", freqnon(n, m), freq(n, m));
            }
        }
    }
    return 0;
}
