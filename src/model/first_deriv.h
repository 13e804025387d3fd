// Gradient of the LROC log-likelihood, boundary sorting, matrix clearing.
#pragma once

#include "numeric/tables.h"

int first_deriv__(const ftable& freqe, const ftable& freqc, const ctable& ild,
                  const ctable& ilda, const ctable& ildb, const ctable& cld, const ctable& clda,
                  const ctable& cldb, const ctable& f, const ctable& fd, const ctable& p,
                  const double* a, const double* b, const double* z, double* der1);
int checkbound_(double* bnd);
int zero_array__(double* array, const int& idim, const int& jdim);
