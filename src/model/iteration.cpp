// Levenberg-Marquardt maximization of the LROC log-likelihood, with its
// step-by-step trace.
#include "model/iteration.h"

#include <cmath>
#include <limits>

#include "model/gradient.h"
#include "model/information.h"
#include "model/likelihood.h"
#include "numeric/lu.h"
#include "varnel/printer.h"

namespace varnel::model {

namespace {

// Marks the leading n x n block of xp as "no covariance matrix": every
// standard error and correlation derived from it then shows as NaN instead of
// numbers left over from a failed inversion.
void fill_nan(ParameterMatrix& xp, int n) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (int j = 1; j <= n; ++j)
        for (int i = 1; i <= n; ++i) xp(i, j) = nan;
}

// Trace of one parameter point: means, standard deviations (non-target
// included) and boundaries, one line each.
void trace_point(output::Printer* trace, const ModelSpec& spec, const double* a, const double* b,
                 const double* z) {
    if (!trace) return;
    trace->value_row("($)", "(1x,f10.5,$)", a, 1, spec.distributions);
    trace->value_row("($)", "(1x,f10.5,$)", b, 1, spec.distributions);
    trace->value_row("($)", "(1x,f10.5,$)", z, 1, spec.categories - 1);
}

// Trace of one trial: its log-likelihood, the step sum and the damping value.
void trace_loglike(output::Printer* trace, double logd1, double tnet, double lamda) {
    if (!trace) return;
    trace->write("(' loglike =',f11.2,'   tnet =',f16.8,'   lamda =',f16.8)", logd1, tnet, lamda);
}

void trace_text(output::Printer* trace, const char* fmt) {
    if (trace) trace->text(fmt);
}

}  // namespace

bool covariance_matrix(const ModelSpec& spec, const double* b, const double* images,
                       const DerivativeTables& tables, ParameterMatrix& information,
                       ParameterMatrix& covariance) {
    constexpr double undamped = 0.0;
    int indx[max_parameters] = {};
    information_matrix(spec, undamped, b, images, tables, information);
    if (!numeric::invert_matrix(information.v, covariance.v, spec.parameters, max_parameters,
                                indx)) {
        fill_nan(covariance, spec.parameters);
        return false;
    }
    return true;
}

// Marquardt's multiplicative damping: solve (information with its diagonal
// times 1 + lamda) step = gradient; a worse or out-of-range trial raises
// lamda tenfold, an accepted one lowers it tenfold.  Leaves the covariance
// matrix (inverse of the undamped information matrix) in result.covariance.
void levenberg_marquardt(const ModelSpec& spec, const FitCounts& counts, double criterion,
                         const FitOptions& options, Workspace::Tables& ws,
                         output::Printer* trace, FitResult& result) {
    constexpr int max_iterations = 1000;
    constexpr double lamda_factor = 10.0;
    constexpr double lamda_converged = 1e-5;  // lamda at or below this allows convergence
    constexpr double tnet_start = 1000.0;
    constexpr double min_sigma = 0.1;       // trial standard deviations below are refused
    const double lamda_start = options.initial_damping;
    const double max_sigma = options.max_sigma;        // trial standard deviations above are refused
    const double max_abs_mean = options.max_abs_mean;  // trial means beyond +-this are refused

    const int ncat = spec.categories;
    const int ndist = spec.distributions;
    const int nar = spec.parameters;
    double* a = result.estimate.mean;
    double* b = result.estimate.sigma;
    double* z = result.estimate.bounds;
    DerivativeTables& t = ws.model;
    ParameterMatrix& xx = ws.information;
    ParameterMatrix& xp = result.covariance;

    double der1[max_parameters] = {};
    double corr[max_parameters] = {};
    int indx[max_parameters] = {};
    // Trial point.
    double a_pi[max_distributions] = {};
    double b_pi[max_distributions] = {};
    double z_pi[max_categories] = {};
    double logd1 = 0.0, logd2 = 0.0, logd1_old = 0.0;

    double tnet = tnet_start;
    double tnetmin = tnet_start;
    if (trace)
        trace->write("(3x,'nc   nb   nd   ne  nar  noloc',/,6(2x,1i3))", ncat, ncat - 1, ndist,
                     ncat + 1, nar, spec.noloc);
    result.converged = false;
    result.damping = 0.0;
    int istop = 0;
    double lamda = lamda_start;
    int ll = 0;

    // The iteration ends early, without a covariance matrix, when the damped
    // matrix cannot be inverted or the step is not finite.
    auto end_early = [&] {
        fill_nan(xp, nar);
        result.iterations = ll;
        result.stopping_index = tnet;
    };

    while (ll < max_iterations && istop == 0 && lamda != 0.0) {
        ++ll;
        if (trace) {
            trace->write("(/,' Begin main loop, ll =',1i3,$)", ll);
            trace->write("(5x,'lambda =',f16.9)", lamda);
        }

        probabilities_with_derivatives(spec, a, b, z, t, ws.romberg);
        log_likelihood_gradient(spec, counts, t, a, b, z, der1);

        // Inner passes: one damping value, one inversion, one trial point each.
        for (;;) {
            trace_text(trace, "(' Top of inside loop')");
            information_matrix(spec, lamda, b, counts.images, t, xx);
            if (!numeric::invert_matrix(xx.v, xp.v, nar, max_parameters, indx)) {
                trace_text(trace, "(' invert_matrix returned crashed flag')");
                result.singular_matrix = true;
                end_early();
                return;
            }

            // Step and stopping index.  A step that is not finite (lamda
            // overflowed, or NaN in the tables) would pass every range test,
            // so it ends the iteration like a failed inversion.
            double step_sum = 0.0;
            bool finite = true;
            for (int j = 1; j <= nar; ++j) {
                double s = 0.0;
                for (int i = 1; i <= nar; ++i) s += der1[i - 1] * xp(i, j);
                corr[j - 1] = s;
                if (!std::isfinite(s)) finite = false;
                step_sum += std::fabs(s);
            }
            if (!finite || !std::isfinite(step_sum)) {
                end_early();
                return;
            }
            tnet = step_sum;

            log_likelihoods(spec, counts, t.fd, t.ild, t.cld, logd1_old, logd2);

            // Trial point; the non-target keeps mean 0 and standard deviation 1.
            a_pi[ndist - 1] = a[ndist - 1];
            b_pi[ndist - 1] = b[ndist - 1];
            for (int j = 1; j <= ndist - 1; ++j) {
                const int jj = ndist - 1 + j;
                a_pi[j - 1] = a[j - 1] + corr[j - 1];
                b_pi[j - 1] = b[j - 1] + corr[jj - 1];
            }
            for (int k = 1; k <= ncat - 1; ++k) {
                const int ii = 2 * (ndist - 1) + k;
                z_pi[k - 1] = z[k - 1] + corr[ii - 1];
            }

            // Range of the trial means and standard deviations.
            bool out_of_range = false;
            for (int j = 1; j <= ndist - 1; ++j) {
                if (b_pi[j - 1] > max_sigma) {
                    if (trace) trace->write("('b_pi > 10 ',f12.4)", b_pi[j - 1]);
                    out_of_range = true;
                }
                if (std::fabs(a_pi[j - 1]) > max_abs_mean) {
                    if (trace) trace->write("('a_pi > 100 ',f12.4)", a_pi[j - 1]);
                    out_of_range = true;
                }
                if (b_pi[j - 1] < min_sigma) {
                    if (trace) trace->write("('b_pi < 0.1 ',f12.4)", b_pi[j - 1]);
                    out_of_range = true;
                }
            }
            if (out_of_range) {
                if (trace)
                    trace->write("(' Model parameters out of range, lamda =',g12.7)", lamda);
                lamda *= lamda_factor;
                continue;
            }

            sort_boundaries(z_pi, ncat - 1);
            category_probabilities(spec, a_pi, b_pi, z_pi, ws.trial, ws.romberg);
            log_likelihoods(spec, counts, ws.trial.fd, ws.trial.ild, ws.trial.cld, logd1, logd2);

            if (logd1_old > logd1) {
                // Strictly worse: refuse; a step sum within the criterion converges.
                if (trace)
                    trace->write("(/,' Old LogL greater than New LogL',/,2(1x,f12.7,8x))",
                                 logd1_old, logd1);
                lamda *= lamda_factor;
                if (tnet <= criterion) {
                    istop = 1;
                    trace_text(trace, "(' Convergence')");
                    trace_loglike(trace, logd1, tnet, lamda);
                    trace_text(trace, "(' Bottom of inside loop')");
                    break;
                }
                trace_point(trace, spec, a_pi, b_pi, z_pi);
                trace_loglike(trace, logd1, tnet, lamda);
                trace_text(trace, "(' Bottom of inside loop')");
                continue;
            }

            // At least as good (or undecided): accept.
            if (trace)
                trace->write("(/,' Old LogL less than New LogL',/,2(1x,f12.7,8x))", logd1_old,
                             logd1);
            for (int j = 1; j <= ndist - 1; ++j) {
                a[j - 1] = a_pi[j - 1];
                b[j - 1] = b_pi[j - 1];
            }
            for (int k = 1; k <= ncat - 1; ++k) z[k - 1] = z_pi[k - 1];
            result.log_likelihood = logd1;
            trace_point(trace, spec, a, b, z);
            trace_loglike(trace, logd1, tnet, lamda);
            lamda /= lamda_factor;
            if (tnet < tnetmin) tnetmin = tnet;
            if (lamda <= lamda_converged && tnet <= criterion) istop = 1;
            break;
        }
        trace_text(trace, "(' At bottom of main loop!!')");
    }

    if (trace) {
        trace->write("(/,' Exited main loop, ll =',1i3,$)", ll);
        trace->write("(5x,'lambda =',f16.9)", lamda);
        trace->text("(/,' Exiting LMitercl -- procedure not diverging')");
    }
    bool solution = true;

    // Covariance matrix from the tables of the last main iteration and the
    // current standard deviations.  Without it the fit has no standard errors
    // and counts as failed.
    if (!covariance_matrix(spec, b, counts.images, t, xx, xp)) {
        result.singular_matrix = true;
        solution = false;
    }

    for (int k = 2; k <= ncat - 1; ++k)
        if (z[k - 1] < z[k - 2]) solution = false;
    if (ll >= max_iterations) {
        result.iteration_limit_reached = true;
        solution = false;
    }
    if (lamda == 0.0) {
        result.damping_zero = true;
        solution = false;
    }
    result.converged = solution;
    result.iterations = ll;
    result.stopping_index = solution ? tnet : tnetmin;
    result.damping = lamda;
}

}  // namespace varnel::model
