// Model integrands.  Every integrand takes (x, a, b, cc, dd) by reference.
#pragma once

using integrand_fn = double (*)(const double& x, const double& a, const double& b,
                                const double& cc, const double& dd);

// The integrand routine with its three entries: 1 = fct1_, 2 = fct4_, 3 = fct5_.
double fcts_(int which, const double& x, const double& a, const double& b, const double& cc,
             const double& dd);
double fct1_(const double& x, const double& a, const double& b, const double& cc,
             const double& dd);
double fct4_(const double& x, const double& a, const double& b, const double& cc,
             const double& dd);
double fct5_(const double& x, const double& a, const double& b, const double& cc,
             const double& dd);
double fct1a_(const double& x, const double& a, const double& b, const double& cc,
              const double& dd);
double expmusig_(const double& x, const double& a, const double& b);

// Evaluations of the model integrands fct1a_, fct4_ and fct5_ since the start
// of the program: a figure for the benchmark, read by nothing else.
extern long long integrand_evaluations__;
