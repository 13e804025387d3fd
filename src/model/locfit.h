// Fit driver and fit report.
#pragma once

#include "numeric/tables.h"

int locfit_(const ftable& freqe, const ftable& freqc, const double* xnstim,
            const double& convcrit, double* est_bound__, double* est_b__, double* est_a__,
            double* est_bndinit__, double* est_binit__, double* est_ainit__, double& lamda,
            int& ll, double& tnet, int& solution, ptable& xp);
int wrtresults_(const int& lun, const int& ndist, const int& ncat, const double* est_bound__,
                const double* est_b__, const double* est_a__, const double* est_bndinit__,
                const double* est_binit__, const double* est_ainit__, const int& solution,
                const int& ll, const double& tnet, const double& lambda);
