// The report sequence after the fit.
#pragma once

#include "numeric/tables.h"

int para2output_(const int& lun, const double* est_sigma__, const double* est_mean__,
                 const double* est_bound__, const ftable& freqe, const ftable& freqc,
                 ptable& xp);
