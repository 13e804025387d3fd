// LU decomposition (Crout, partial pivoting, implicit scaling) and inversion.
// Matrices are column-major with leading dimension np; only the leading
// n x n block is read or written.  Truth values are 32-bit integers.
#pragma once

int invert_matrix__(double* x, double* y, const int& n, const int& np, int* indx, int& crashed);
int ludcmp_(double* a, const int& n, const int& np, int* indx, double& d, int& crashed);
int lubksb_(const double* a, const int& n, const int& np, const int* indx, double* b);
