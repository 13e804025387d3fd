// Fitting tables in fit order, with the counts merged wherever localization
// data is not used.
#include "input/confu.h"

#include <climits>

#include "model/lroc_common.h"

namespace {

// a + b for the input-order tables, held at the int range: a merged total too
// large for an int prints as an overflowing field in the echo either way.
int saturating_add(int a, int b)
{
    const long long s = static_cast<long long>(a) + b;
    if (s > INT_MAX)
        return INT_MAX;
    if (s < INT_MIN)
        return INT_MIN;
    return static_cast<int>(s);
}

}  // namespace

// Copies the counts into fit order (targets 1..ndist-1 first, the non-target
// distribution last), counts the images of each distribution, and adds the
// incorrect-localization count into the correct one for every category whose
// localization is not used: all categories of the non-target distribution and
// of a target with qset exactly 1.0, else the first noloc categories.  The
// same merge is applied to the input-order tables for the echo.
int setupconfu_(itable& freqnon, itable& freq, ftable& freqe, ftable& freqc, double* xnstim)
{
    const int ncat = globals_.ncat;
    const int ndist = globals_.ndist;
    const int noloc = globals_.noloc;

    for (int j = 1; j <= ndist; ++j) {
        const int k = (j < ndist) ? j + 1 : 1;  // input distribution of fit distribution j
        xnstim[j - 1] = 0.0;
        for (int i = 1; i <= ncat; ++i) {
            freqe(i, j) = freqnon(i, k);
            freqc(i, j) = freq(i, k);
            xnstim[j - 1] += freqe(i, j) + freqc(i, j);
        }
    }

    // The non-target test comes first, so qset is read only for targets.
    for (int j = 1; j <= ndist; ++j) {
        const int merged = (j == ndist || qset(j) == 1.0) ? ncat : noloc;
        for (int i = 1; i <= merged; ++i) {
            freqc(i, j) += freqe(i, j);
            freqe(i, j) = 0.0;
        }
    }

    for (int m = 1; m <= ndist; ++m) {
        const int merged = (m == 1 || qset(m - 1) == 1.0) ? ncat : noloc;
        for (int i = 1; i <= merged; ++i) {
            freq(i, m) = saturating_add(freq(i, m), freqnon(i, m));
            freqnon(i, m) = 0;
        }
    }
    return 0;
}
