// The likelihood statistics at the final estimates, and their report block.
#pragma once

#include "numeric/tables.h"

int loglchi_(const double* a, const double* b, const double* z, const ftable& freqc,
             const ftable& freqe, double& logd1, double& logd2, double& logl1, double& logl2,
             double& chi1, double& chi2);
int wrtloglchi_(const int& lun, const double& logd1, const double& logd2, const double& logl1,
                const double& logl2, const double& chi1, const double& chi2);
