// LU decomposition (Crout, partial pivoting, implicit scaling) and inversion.
// Matrices are column-major with leading dimension np; only the leading
// n x n block is read or written.
#pragma once

namespace varnel::numeric {

// Inverse of the leading n x n block of x into y (x is destroyed).  Returns
// false, leaving y the identity, when a row of x is entirely zero.
bool invert_matrix(double* x, double* y, int n, int np, int* indx);
// LU decomposition in place of the row-permuted leading n x n block of a;
// indx records the pivot rows and d the parity of the interchanges.  Returns
// false, leaving a untouched, for a row of zeros; any other zero pivot is
// replaced by 1e-20.
bool lu_decompose(double* a, int n, int np, int* indx, double& d);
// Solution of A x = b for one right-hand side, overwriting b, from the
// decomposition and pivot rows of lu_decompose.
void lu_solve(const double* a, int n, int np, const int* indx, double* b);

}  // namespace varnel::numeric
