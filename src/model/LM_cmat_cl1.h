// Damped expected-information matrix of the LROC model.
#pragma once

#include "numeric/tables.h"

int lmcmatcl1_(const double& lambda, const double* a, const double* b, const double* z,
               const double* xnstim, const ctable& f, const ctable& p, const ctable& ild,
               const ctable& cld, const ctable& ilda, const ctable& ildb, const ctable& ildad,
               const ctable& ildbd, const ctable& clda, const ctable& cldb, const ctable& cldad,
               const ctable& cldbd, const ctable& fd, ptable& xx);
