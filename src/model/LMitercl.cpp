// Levenberg-Marquardt maximization of the LROC log-likelihood, with its
// step-by-step trace on unit 3.
#include "model/LMitercl.h"

#include <cmath>
#include <limits>

#include "model/LM_cmat_cl1.h"
#include "model/dist_param.h"
#include "model/first_deriv.h"
#include "model/lroc_common.h"
#include "model/lroc_stat.h"
#include "numeric/invmat.h"
#include "output/io_routs.h"

namespace {

constexpr int trace_unit = 3;
constexpr int console_unit = 6;

// Marks the leading n x n block of xp as "no covariance matrix": every
// standard error and correlation derived from it then shows as NaN instead of
// numbers left over from a failed inversion.
void fill_nan(ptable& xp, int n) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (int j = 1; j <= n; ++j)
        for (int i = 1; i <= n; ++i) xp(i, j) = nan;
}

// Trace of one parameter point: means, standard deviations (non-target
// included) and boundaries, one line each.
void trace_point(const double* a, const double* b, const double* z) {
    out_arr_r__(trace_unit, "($)", "(1x,f10.5,$)", a, 1, globals_.ndist);
    out_arr_r__(trace_unit, "($)", "(1x,f10.5,$)", b, 1, globals_.ndist);
    out_arr_r__(trace_unit, "($)", "(1x,f10.5,$)", z, 1, globals_.ncat - 1);
}

// Trace of one trial: its log-likelihood, the step sum and the damping value.
void trace_loglike(double logd1, double tnet, double lamda) {
    out_real3__(trace_unit, "(' loglike =',f11.2,'   tnet =',f16.8,'   lamda =',f16.8)", logd1,
                tnet, lamda);
}

}  // namespace

// Undamped expected-information matrix at the end of the fit, inverted into
// the covariance matrix xp; NaN block when the matrix has a row of zeros.
int lmcovar_(const double* a, const double* b, const double* z, const double* xnstim,
             const ctable& f, const ctable& p, const ctable& ild, const ctable& cld,
             const ctable& ilda, const ctable& ildb, const ctable& ildad, const ctable& ildbd,
             const ctable& clda, const ctable& cldb, const ctable& cldad, const ctable& cldbd,
             const ctable& fd, ptable& xx, ptable& xp, int& crashed) {
    constexpr double undamped = 0.0;
    int indx[max_par] = {};
    lmcmatcl1_(undamped, a, b, z, xnstim, f, p, ild, cld, ilda, ildb, ildad, ildbd, clda, cldb,
               cldad, cldbd, fd, xx);
    crashed = 0;
    invert_matrix__(xx.v, xp.v, globals_.npar, max_par, indx, crashed);
    if (crashed) fill_nan(xp, globals_.npar);
    return 0;
}

// Maximum-likelihood fit of means, standard deviations and boundaries by
// Marquardt's multiplicative damping: solve (I with diagonal * (1 + lamda)) step
// = gradient; a worse or out-of-range trial raises lamda tenfold, an accepted
// one lowers it tenfold.  Leaves the estimates in a, b, z and the covariance
// matrix (inverse of the undamped information matrix) in xp.
int lmitercl_(double* a, double* b, const ftable& freqe, const ftable& freqc, double* z,
              const double* xnstim, int& ll, int& solution, double& tnet,
              const double& convcrit, double& lamda_f, ptable& xp) {
    constexpr int max_iterations = 1000;
    constexpr double lamda_start = 0.001;
    constexpr double lamda_factor = 10.0;
    constexpr double lamda_converged = 1e-5;  // lamda at or below this allows convergence
    constexpr double tnet_start = 1000.0;
    constexpr double max_sigma = 10.0;      // trial standard deviations above are refused
    constexpr double max_abs_mean = 100.0;  // trial means beyond +-this are refused
    constexpr double min_sigma = 0.1;       // trial standard deviations below are refused

    const int ncat = globals_.ncat;
    const int ndist = globals_.ndist;
    const int nar = globals_.npar;

    // Model tables at the current point (derivative variant), gradient, matrices.
    ctable p{}, f{}, ilda{}, ildb{}, clda{}, cldb{}, fd{}, ild{}, cld{};
    ctable ildad{}, ildbd{}, cldad{}, cldbd{};
    ptable xx{};
    double der1[max_par] = {};
    double corr[max_par] = {};
    int indx[max_par] = {};
    int crashed = 0;
    // Trial point.
    double a_pi[max_dist] = {};
    double b_pi[max_dist] = {};
    double z_pi[max_cat] = {};
    double logd1 = 0.0, logd2 = 0.0, logd1_old = 0.0;
    double logl1 = 0.0, logl2 = 0.0, chi1 = 0.0, chi2 = 0.0;

    tnet = tnet_start;
    double tnetmin = tnet_start;
    out_int6__(trace_unit, "(3x,'nc   nb   nd   ne  nar  noloc',/,6(2x,1i3))", ncat, ncat - 1,
               ndist, ncat + 1, nar, globals_.noloc);
    solution = 0;
    int istop = 0;
    double lamda = lamda_start;
    ll = 0;

    while (ll < max_iterations && istop == 0 && lamda != 0.0) {
        ++ll;
        out_int__(trace_unit, "(/,' Begin main loop, ll =',1i3,$)", ll);
        out_real__(trace_unit, "(5x,'lambda =',f16.9)", lamda);

        distr_param2__(a, b, z, p, f, ilda, ildb, clda, cldb, fd, ild, cld, ildad, ildbd, cldad,
                       cldbd);
        first_deriv__(freqe, freqc, ild, ilda, ildb, cld, clda, cldb, f, fd, p, a, b, z, der1);

        // Inner passes: one damping value, one inversion, one trial point each.
        for (;;) {
            out_str__(trace_unit, "(' Top of inside loop')");
            lmcmatcl1_(lamda, a, b, z, xnstim, f, p, ild, cld, ilda, ildb, ildad, ildbd, clda,
                       cldb, cldad, cldbd, fd, xx);
            invert_matrix__(xx.v, xp.v, nar, max_par, indx, crashed);
            if (crashed) {
                out_str__(trace_unit, "(' invert_matrix returned crashed flag')");
                fill_nan(xp, nar);
                return 0;
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
                fill_nan(xp, nar);
                return 0;
            }
            tnet = step_sum;

            lroc_logl__(freqc, freqe, fd, ild, cld, logd1_old, logd2);

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
            int iflag = 0;
            for (int j = 1; j <= ndist - 1; ++j) {
                if (b_pi[j - 1] > max_sigma) {
                    out_real__(trace_unit, "('b_pi > 10 ',f12.4)", b_pi[j - 1]);
                    iflag = 1;
                }
                if (std::fabs(a_pi[j - 1]) > max_abs_mean) {
                    out_real__(trace_unit, "('a_pi > 100 ',f12.4)", a_pi[j - 1]);
                    iflag = 1;
                }
                if (b_pi[j - 1] < min_sigma) {
                    out_real__(trace_unit, "('b_pi < 0.1 ',f12.4)", b_pi[j - 1]);
                    iflag = 1;
                }
            }
            if (iflag) {
                out_real__(trace_unit, "(' Model parameters out of range, lamda =',g12.7)",
                           lamda);
                lamda *= lamda_factor;
                continue;
            }

            checkbound_(z_pi);
            lroc_fit__(a_pi, b_pi, z_pi, freqc, freqe, logd1, logd2, logl1, logl2, chi1, chi2);

            if (logd1_old > logd1) {
                // Strictly worse: refuse; a step sum within the criterion converges.
                out_real2__(trace_unit, "(/,' Old LogL greater than New LogL',/,2(1x,f12.7,8x))",
                            logd1_old, logd1);
                lamda *= lamda_factor;
                if (tnet <= convcrit) {
                    istop = 1;
                    out_str__(trace_unit, "(' Convergence')");
                    trace_loglike(logd1, tnet, lamda);
                    out_str__(trace_unit, "(' Bottom of inside loop')");
                    break;
                }
                trace_point(a_pi, b_pi, z_pi);
                trace_loglike(logd1, tnet, lamda);
                out_str__(trace_unit, "(' Bottom of inside loop')");
                continue;
            }

            // At least as good (or undecided): accept.
            out_real2__(trace_unit, "(/,' Old LogL less than New LogL',/,2(1x,f12.7,8x))",
                        logd1_old, logd1);
            for (int j = 1; j <= ndist - 1; ++j) {
                a[j - 1] = a_pi[j - 1];
                b[j - 1] = b_pi[j - 1];
            }
            for (int k = 1; k <= ncat - 1; ++k) z[k - 1] = z_pi[k - 1];
            trace_point(a, b, z);
            trace_loglike(logd1, tnet, lamda);
            lamda /= lamda_factor;
            if (tnet < tnetmin) tnetmin = tnet;
            if (lamda <= lamda_converged && tnet <= convcrit) istop = 1;
            break;
        }
        out_str__(trace_unit, "(' At bottom of main loop!!')");
    }

    out_int__(trace_unit, "(/,' Exited main loop, ll =',1i3,$)", ll);
    out_real__(trace_unit, "(5x,'lambda =',f16.9)", lamda);
    lamda_f = lamda;
    out_str__(trace_unit, "(/,' Exiting LMitercl -- procedure not diverging')");
    solution = 1;

    // Covariance matrix from the tables of the last main iteration and the
    // current standard deviations.  Without it the fit has no standard errors
    // and counts as failed.
    lmcovar_(a, b, z, xnstim, f, p, ild, cld, ilda, ildb, ildad, ildbd, clda, cldb, cldad, cldbd,
             fd, xx, xp, crashed);
    if (crashed) solution = 0;

    for (int k = 2; k <= ncat - 1; ++k)
        if (z[k - 1] < z[k - 2]) solution = 0;
    if (ll >= max_iterations) {
        out_str__(console_unit, "(' maximum iterations reached')");
        out_real__(console_unit, "(' lamda_f = ',f16.7)", lamda_f);
        solution = 0;
    }
    if (lamda_f == 0.0) {
        out_str__(console_unit, "(' Lambda is equal to zero')");
        solution = 0;
    }
    if (!solution) tnet = tnetmin;
    return 0;
}
