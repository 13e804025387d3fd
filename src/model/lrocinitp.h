// Initial parameter estimates from the frequency tables.
#pragma once

#include "numeric/tables.h"

int lrocinitp_(double* est_ainit__, double* est_binit__, const ftable& freqc,
               const ftable& freqe, double* est_bndinit__, const double* xnstim);
