// Category probabilities of the LROC model.  mu, sigma (entry ndist the
// non-target) and z (boundaries 1..ncat-1) point to element 1.
#pragma once

#include "numeric/tables.h"

int distr_param2__(double* mu, double* sigma, const double* z, ctable& p, ctable& f,
                   ctable& ildmu, ctable& ilds, ctable& cldmu, ctable& clds, ctable& fd,
                   ctable& ild, ctable& cld, ctable& ildmud, ctable& ildsd, ctable& cldmud,
                   ctable& cldsd);
int distr_param3__(const double* mu, const double* sigma, const double* z, ctable& fd,
                   ctable& ild, ctable& cld);
