// Standard-error and correlation matrix of the fitted parameters.
#include <algorithm>
#include <cmath>

#include "model/lroc_common.h"
#include "output/io_routs.h"
#include "report/reports.h"

namespace {
constexpr int ld = ptable::rows;  // leading dimension of xp
constexpr int last_one_digit = 9;
constexpr char element_fmt[] = "(f7.5,'  ',$)";

// Heading line over the mean and standard-deviation columns m2..mD, s2..sD,
// switching to the two-digit forms (with one extra blank before m10) from 10 on.
void mean_sigma_heading(const int& lun, int nd)
{
    out_ind_n__(lun, "(' ',$)", "(7x,'m',1i1,$)", 2, std::min(nd, last_one_digit));
    if (nd > last_one_digit) out_ind_n__(lun, "(' ',$)", "(6x,'m',1i2,$)", 10, nd);
    out_ind_n__(lun, "($)", "(7x,'s',1i1,$)", 2, std::min(nd, last_one_digit));
    if (nd <= last_one_digit)
        out_nl__(lun);
    else
        out_ind__(lun, "($)", "(6x,'s',1i2,$)", 10, nd);
}

// Row label of number n: one digit and two blanks, or two digits and one.
void row_label(const int& lun, const char* one_digit, const char* two_digits, int n)
{
    out_int__(lun, n <= last_one_digit ? one_digit : two_digits, n);
}

void mean_row_label(const int& lun, int n) { row_label(lun, "(' m',1i1,'  ',$)", "(' m',1i2,' ',$)", n); }
void sigma_row_label(const int& lun, int n) { row_label(lun, "(' s',1i1,'  ',$)", "(' s',1i2,' ',$)", n); }
void bound_row_label(const int& lun, int n) { row_label(lun, "(' b',1i1,'  ',$)", "(' b',1i2,' ',$)", n); }
}  // namespace

// Turns the covariance matrix into standard errors (diagonal) and
// correlations (off the diagonal), in place over the npar x npar block.
int convert_xp__(ptable& xp)
{
    const int n = globals_.npar;
    for (int j = 1; j <= n; ++j) xp(j, j) = std::sqrt(xp(j, j));
    for (int i = 1; i <= n; ++i)
        for (int j = 1; j <= n; ++j)
            if (j != i) xp(i, j) = xp(i, j) / xp(i, i) / xp(j, j);
    return 0;
}

// Matrix report in three blocks: means and standard deviations among
// themselves, boundaries among themselves, boundaries against means and
// standard deviations.  Converts xp first.
int wrtxp_(const int& lun, ptable& xp)
{
    const int nd = globals_.ndist;
    const int nc = globals_.ncat;
    const int m = 2 * (nd - 1);
    const int nb = nc - 1;

    convert_xp__(xp);
    out_str__(lun, "(/,'    Standard Error -- Correlation matrix')");
    out_str__(lun, "(/,'   Mean and sigma part of matrix')");
    mean_sigma_heading(lun, nd);
    for (int t = 1; t <= nd - 1; ++t) {
        mean_row_label(lun, t + 1);
        out_arr2_r__(lun, "($)", element_fmt, &xp(t, 1), 1, m, ld);
    }
    for (int r = nd; r <= m; ++r) {
        sigma_row_label(lun, r - (nd - 2));
        out_arr2_r__(lun, "($)", element_fmt, &xp(r, 1), 1, m, ld);
    }

    out_str__(lun, "(/,'    Boundary part of matrix')");
    out_ind_n__(lun, "(' ',$)", "(7x,'b',i1,$)", 1, std::min(last_one_digit, nb));
    if (nc <= last_one_digit)
        out_nl__(lun);
    else
        out_ind__(lun, "($)", "(6x,'b',i2,$)", 10, nb);
    for (int b = 1; b <= nb; ++b) {
        bound_row_label(lun, b);
        out_arr2_r__(lun, "($)", element_fmt, &xp(m + b, m + 1), 1, nb, ld);
    }

    out_str__(lun, "(/,'   Mean and sigma by boundary')");
    mean_sigma_heading(lun, nd);
    for (int b = 1; b <= nb; ++b) {
        bound_row_label(lun, b);
        out_arr2_r__(lun, "($)", element_fmt, &xp(m + b, 1), 1, m, ld);
    }
    return 0;
}
