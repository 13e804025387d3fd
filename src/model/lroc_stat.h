// Log-likelihoods, deviance and Pearson statistics of the LROC model.
#pragma once

#include "numeric/tables.h"

int lroc_logl__(const ftable& freqc, const ftable& freqe, const ctable& fd, const ctable& ild,
                const ctable& cld, double& logd1, double& logd2);
int lroc_logl2__(const ftable& freqc, const ftable& freqe, const ctable& fd, const ctable& ild,
                 const ctable& cld, double& logl1, double& logl2);
int lroc_chisq__(const ftable& freqc, const ftable& freqe, const ctable& fd, const ctable& ild,
                 const ctable& cld, double& chi1, double& chi2);
int lroc_fit__(const double* a, const double* b, const double* z, const ftable& freqc,
               const ftable& freqe, double& logd1, double& logd2, double& logl1, double& logl2,
               double& chi1, double& chi2);
