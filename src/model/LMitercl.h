// Levenberg-Marquardt iteration of the LROC fit.  Truth values are 32-bit ints.
#pragma once

#include "numeric/tables.h"

int lmitercl_(double* a, double* b, const ftable& freqe, const ftable& freqc, double* z,
              const double* xnstim, int& ll, int& solution, double& tnet,
              const double& convcrit, double& lamda_f, ptable& xp);
