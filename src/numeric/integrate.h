// Romberg integration of the model integrands.
#pragma once

#include "numeric/fct.h"
#include "numeric/tables.h"

double integrate_func__(const double& ll, const double& ul, const double& a, const double& b,
                        const double& cc, const double& dd, integrand_fn fct_func);
int trapzd_(integrand_fn func, const double& ll, const double& ul, const double& a,
            const double& b, const double& cc, const double& dd, double& s, const int& n);
// xa, ya point to element 1; the polynomial is evaluated at x = 0.
int polint_(const double* xa, const double* ya, const int& n, double& y, double& dy);
double integ2_(const int& twice, const double& lim1, const double& lim2, const double& lim3,
               const double& a, const double& b, const double& cc, const double& dd,
               integrand_fn fct_func);
double cumf_(const double& lim1, const double& lim2, const double& a, const double& b,
             const double& cc, const double& dd);
double cf2_(const double& lim1, const double& lim2, const double& lim3, const double& a,
            const double& b, const double& cc, const double& dd);
int integrate_once__(const int& i, const int& j, const double& lim1, const double& lim2,
                     const double& muj, const double& sigmaj, ctable& il, ctable& ilds,
                     ctable& ildmu);
int integrate_twice__(const int& i, const int& j, const double& lim1, const double& lim2,
                      const double& lim3, const double& muj, const double& sigmaj, ctable& il,
                      ctable& ilds, ctable& ildmu);
