// Inversion of the (damped) information matrix by LU decomposition: Crout's
// method with partial pivoting and implicit row scaling (Numerical Recipes
// ludcmp/lubksb), solving for the columns of the identity.
#include "numeric/lu.h"

#include <cmath>

namespace varnel::numeric {

namespace {

// Rows the scaling table of lu_decompose has room for.
constexpr int max_rows = 100;

// Element (i, j) of a column-major matrix with leading dimension np.
inline double& at(double* a, int np, int i, int j) { return a[(j - 1) * np + (i - 1)]; }
inline double at(const double* a, int np, int i, int j) { return a[(j - 1) * np + (i - 1)]; }

}  // namespace

bool invert_matrix(double* x, double* y, int n, int np, int* indx)
{
    for (int j = 1; j <= n; ++j)
        for (int i = 1; i <= n; ++i)
            at(y, np, i, j) = (i == j) ? 1.0 : 0.0;

    double d;
    if (!lu_decompose(x, n, np, indx, d))
        return false;
    for (int j = 1; j <= n; ++j)
        lu_solve(x, n, np, indx, &at(y, np, 1, j));
    return true;
}

// A zero pivot other than a row of zeros goes unreported.
bool lu_decompose(double* a, int n, int np, int* indx, double& d)
{
    static constexpr double tiny = 1.0e-20;
    double vv[max_rows];

    d = 1.0;
    for (int i = 1; i <= n; ++i) {
        double aamax = 0.0;
        for (int j = 1; j <= n; ++j)
            if (std::fabs(at(a, np, i, j)) > aamax)
                aamax = std::fabs(at(a, np, i, j));
        if (aamax == 0.0)
            return false;
        vv[i - 1] = 1.0 / aamax;
    }

    for (int j = 1; j <= n; ++j) {
        for (int i = 1; i <= j - 1; ++i) {
            double sum = at(a, np, i, j);
            for (int k = 1; k <= i - 1; ++k)
                sum -= at(a, np, i, k) * at(a, np, k, j);
            at(a, np, i, j) = sum;
        }
        // The pivot row starts at j so that it is defined even when no
        // candidate compares (a NaN column).
        int imax = j;
        double aamax = 0.0;
        for (int i = j; i <= n; ++i) {
            double sum = at(a, np, i, j);
            for (int k = 1; k <= j - 1; ++k)
                sum -= at(a, np, i, k) * at(a, np, k, j);
            at(a, np, i, j) = sum;
            const double dum = vv[i - 1] * std::fabs(sum);
            if (dum >= aamax) {
                imax = i;
                aamax = dum;
            }
        }
        if (j != imax) {
            for (int k = 1; k <= n; ++k) {
                const double dum = at(a, np, imax, k);
                at(a, np, imax, k) = at(a, np, j, k);
                at(a, np, j, k) = dum;
            }
            d = -d;
            vv[imax - 1] = vv[j - 1];
        }
        indx[j - 1] = imax;
        if (j != n) {
            if (at(a, np, j, j) == 0.0)
                at(a, np, j, j) = tiny;
            const double dum = 1.0 / at(a, np, j, j);
            for (int i = j + 1; i <= n; ++i)
                at(a, np, i, j) *= dum;
        }
    }
    if (at(a, np, n, n) == 0.0)
        at(a, np, n, n) = tiny;
    return true;
}

// Leading zeros of b are skipped.
void lu_solve(const double* a, int n, int np, const int* indx, double* b)
{
    int ii = 0;
    for (int i = 1; i <= n; ++i) {
        const int ll = indx[i - 1];
        double sum = b[ll - 1];
        b[ll - 1] = b[i - 1];
        if (ii != 0) {
            for (int j = ii; j <= i - 1; ++j)
                sum -= at(a, np, i, j) * b[j - 1];
        } else if (sum != 0.0) {
            ii = i;
        }
        b[i - 1] = sum;
    }
    for (int i = n; i >= 1; --i) {
        double sum = b[i - 1];
        for (int j = i + 1; j <= n; ++j)
            sum -= at(a, np, i, j) * b[j - 1];
        b[i - 1] = sum / at(a, np, i, i);
    }
}

}  // namespace varnel::numeric
