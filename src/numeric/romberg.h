// Romberg integration of the model integrands over finite intervals, and the
// cumulative integral tables the model builds from it.
#pragma once

#include "numeric/integrands.h"
#include "varnel/table.h"

namespace varnel::numeric {

// A numerical stop: the integration or its extrapolation could not go on.
// Thrown by the integration routines; the fit and the summary turn it into an
// error value.
struct NumericalStop {
    enum Kind { too_many_romberg_steps, polint_error } kind;
    const char* message() const
    {
        return kind == too_many_romberg_steps ? "Too many steps in Romberg integration"
                                              : "polint error";
    }
};

// Stage n of the extended trapezoid rule on [ll, ul] (Numerical Recipes
// trapzd): stage 1 uses the end points, each later stage halves the spacing
// and refines s, which must hold the previous stage's value.  points carries
// the number of new interior points from stage to stage.  Returns the number
// of integrand evaluations made.
int trapezoid_stage(Integrand f, double ll, double ul, double a, double b, double c, double d,
                    double& s, int n, int& points);

// Value y at x = 0 of the polynomial through the n points (xa, ya), n <= 5,
// by Neville's algorithm; dy is the last correction added, the error estimate.
// Throws NumericalStop (polint_error) for two equal abscissas.
void extrapolate_to_zero(const double* xa, const double* ya, int n, double& y, double& dy);

// Romberg integrals, counting the integrand evaluations they make.
class Romberg {
public:
    // Integral of f(x, a, b, c, d) over [ll, ul] to a relative accuracy of
    // 1e-7.  Throws NumericalStop after 20 stages without convergence.
    double integral(Integrand f, double ll, double ul, double a, double b, double c, double d);
    // The integrals of target_below_density (a = 0, b = 1, c = mu, d = sigma),
    // mean_derivative_density and sigma_derivative_density (a = mu,
    // b = sigma) over [ll, ul], on shared trapezoid points; each stops at its
    // own convergence, so each equals integral() of its integrand alone.
    void joint_integrals(double ll, double ul, double mu, double sigma, double result[3]);

    // P(non-target value x in [lim1, lim2] and the target value below x), the
    // target normal with mean mu and standard deviation sigma.
    double target_below(double lim1, double lim2, double mu, double sigma);
    // The same over [lim1, lim2] and [lim2, lim3], integrated separately.
    double target_below_split(double lim1, double lim2, double lim3, double mu, double sigma);

    // Row i of the cumulative integral tables of target j over [lim1, lim2]:
    // the probability (il) and its derivatives in the mean (ildmu) and the
    // standard deviation (ilds), each added to row i - 1.
    void accumulate(int i, int j, double lim1, double lim2, double mu, double sigma,
                    BoundaryTable& il, BoundaryTable& ilds, BoundaryTable& ildmu);
    // As accumulate, with the range split at lim2 into two Romberg runs.
    void accumulate_split(int i, int j, double lim1, double lim2, double lim3, double mu,
                          double sigma, BoundaryTable& il, BoundaryTable& ilds,
                          BoundaryTable& ildmu);

    // Integrand evaluations since construction (a figure for the benchmark).
    long long evaluations() const { return evaluations_; }

private:
    void accumulate_all(bool twice, int i, int j, double lim1, double lim2, double lim3,
                        double mu, double sigma, BoundaryTable& il, BoundaryTable& ilds,
                        BoundaryTable& ildmu);

    long long evaluations_ = 0;
};

}  // namespace varnel::numeric
