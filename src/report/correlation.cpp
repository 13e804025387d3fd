// Standard-error and correlation matrix of the fitted parameters.
#include <algorithm>
#include <cmath>

#include "report/blocks.h"

namespace varnel::report {

namespace {
constexpr int ld = ParameterMatrix::rows;  // leading dimension of xp
constexpr int last_one_digit = 9;
constexpr char element_fmt[] = "(f7.5,'  ',$)";

// Heading line over the mean and standard-deviation columns m2..mD, s2..sD,
// switching to the two-digit forms (with one extra blank before m10) from 10 on.
void mean_sigma_heading(output::Printer& out, int nd)
{
    out.index_row("(' ',$)", "(7x,'m',1i1,$)", 2, std::min(nd, last_one_digit), false);
    if (nd > last_one_digit) out.index_row("(' ',$)", "(6x,'m',1i2,$)", 10, nd, false);
    out.index_row("($)", "(7x,'s',1i1,$)", 2, std::min(nd, last_one_digit), false);
    if (nd <= last_one_digit)
        out.end_record();
    else
        out.index_row("($)", "(6x,'s',1i2,$)", 10, nd);
}

// Row label of number n: one digit and two blanks, or two digits and one.
void row_label(output::Printer& out, const char* one_digit, const char* two_digits, int n)
{
    out.write(n <= last_one_digit ? one_digit : two_digits, n);
}

void mean_row_label(output::Printer& out, int n) { row_label(out, "(' m',1i1,'  ',$)", "(' m',1i2,' ',$)", n); }
void sigma_row_label(output::Printer& out, int n) { row_label(out, "(' s',1i1,'  ',$)", "(' s',1i2,' ',$)", n); }
void bound_row_label(output::Printer& out, int n) { row_label(out, "(' b',1i1,'  ',$)", "(' b',1i2,' ',$)", n); }
}  // namespace

// Standard errors (diagonal) and correlations (off the diagonal), in place
// over the n x n block.
void correlation_matrix(ParameterMatrix& xp, int n)
{
    for (int j = 1; j <= n; ++j) xp(j, j) = std::sqrt(xp(j, j));
    for (int i = 1; i <= n; ++i)
        for (int j = 1; j <= n; ++j)
            if (j != i) xp(i, j) = xp(i, j) / xp(i, i) / xp(j, j);
}

// Matrix report in three blocks: means and standard deviations among
// themselves, boundaries among themselves, boundaries against means and
// standard deviations.
void write_correlation(output::Printer& out, const ModelSpec& spec, const ParameterMatrix& xp)
{
    const int nd = spec.distributions;
    const int nc = spec.categories;
    const int m = 2 * (nd - 1);
    const int nb = nc - 1;

    out.text("(/,'    Standard Error -- Correlation matrix')");
    out.text("(/,'   Mean and sigma part of matrix')");
    mean_sigma_heading(out, nd);
    for (int t = 1; t <= nd - 1; ++t) {
        mean_row_label(out, t + 1);
        out.strided_row("($)", element_fmt, &xp(t, 1), 1, m, ld);
    }
    for (int r = nd; r <= m; ++r) {
        sigma_row_label(out, r - (nd - 2));
        out.strided_row("($)", element_fmt, &xp(r, 1), 1, m, ld);
    }

    out.text("(/,'    Boundary part of matrix')");
    out.index_row("(' ',$)", "(7x,'b',i1,$)", 1, std::min(last_one_digit, nb), false);
    if (nc <= last_one_digit)
        out.end_record();
    else
        out.index_row("($)", "(6x,'b',i2,$)", 10, nb);
    for (int b = 1; b <= nb; ++b) {
        bound_row_label(out, b);
        out.strided_row("($)", element_fmt, &xp(m + b, m + 1), 1, nb, ld);
    }

    out.text("(/,'   Mean and sigma by boundary')");
    mean_sigma_heading(out, nd);
    for (int b = 1; b <= nb; ++b) {
        bound_row_label(out, b);
        out.strided_row("($)", element_fmt, &xp(m + b, 1), 1, m, ld);
    }
}

}  // namespace varnel::report
