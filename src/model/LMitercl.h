// Levenberg-Marquardt iteration of the LROC fit.  Truth values are 32-bit ints.
#pragma once

#include "numeric/tables.h"

int lmitercl_(double* a, double* b, const ftable& freqe, const ftable& freqc, double* z,
              const double* xnstim, int& ll, int& solution, double& tnet,
              const double& convcrit, double& lamda_f, ptable& xp);

// Covariance matrix at the end of the iteration: the undamped information
// matrix built from the given model tables (xx is work space) and inverted
// into xp.  When the inversion fails (a row of zeros), crashed is set and the
// leading npar x npar block of xp is filled with NaN, since no covariance
// matrix exists.
int lmcovar_(const double* a, const double* b, const double* z, const double* xnstim,
             const ctable& f, const ctable& p, const ctable& ild, const ctable& cld,
             const ctable& ilda, const ctable& ildb, const ctable& ildad, const ctable& ildbd,
             const ctable& clda, const ctable& cldb, const ctable& cldad, const ctable& cldbd,
             const ctable& fd, ptable& xx, ptable& xp, int& crashed);
