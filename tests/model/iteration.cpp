// The Levenberg-Marquardt fit: the example study's maximum, agreement with an
// independent maximum, recovery of simulated studies, and the iteration trace
// line by line for the ordinary and the failing paths.
#include "model/iteration.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "model/gradient.h"
#include "model/information.h"
#include "model/likelihood.h"
#include "model/probabilities.h"
#include "model/support/lm_support.h"
#include "model/support/lm_trace.h"
#include "numeric/lu.h"
#include "varnel/printer.h"

using namespace lmtest;
using namespace varnel;

namespace {

// What one run of the iteration leaves: its result, its trace and whatever
// it wrote to standard output (the library writes nothing there).
struct fit_run {
    FitResult result;
    std::string trace, console;
    std::vector<std::string> lines;
};

// Runs the iteration from the given start with the trace into a string and
// standard output captured.  The damping value starts at a sentinel (-7) that
// the iteration must replace.
std::unique_ptr<fit_run> run_fit(const fit_data& d, const double* a0, const double* b0,
                                 const double* z0, double criterion) {
    auto r = std::make_unique<fit_run>();
    Parameters& start = r->result.estimate;
    std::copy(a0, a0 + d.spec.distributions, start.mean);
    std::copy(b0, b0 + d.spec.distributions, start.sigma);
    std::copy(z0, z0 + d.spec.categories - 1, start.bounds);
    r->result.damping = -7.0;
    Workspace workspace;
    output::Record rec = output::string_record(r->trace);
    output::Printer trace(rec);
    ::testing::internal::CaptureStdout();
    model::levenberg_marquardt(d.spec, d.counts, criterion, workspace.tables(), &trace,
                               r->result);
    r->console = ::testing::internal::GetCapturedStdout();
    r->lines = split_lines(r->trace);
    return r;
}

std::unique_ptr<fit_run> fit_from_initial(const fit_data& d, double criterion) {
    const Parameters s = initial_estimates(d);
    return run_fit(d, s.mean, s.sigma, s.bounds, criterion);
}

// logd1 at a parameter point (plain model variant, as the iteration judges trials).
double trial_logd1(const fit_data& d, const Parameters& p) {
    const auto work = std::make_unique<model::CategoryTables>();
    numeric::Romberg romberg;
    return model::likelihood_statistics(d.spec, d.counts, p.mean, p.sigma, p.bounds, *work,
                                        romberg)
        .log_likelihood;
}

// Parameter position n of the vector (means, standard deviations, boundaries).
double& param(Parameters& p, int ndist, int n) {
    if (n <= ndist - 1) return p.mean[n - 1];
    if (n <= 2 * (ndist - 1)) return p.sigma[n - (ndist - 1) - 1];
    return p.bounds[n - 2 * (ndist - 1) - 1];
}

bool block_is_nan(const ParameterMatrix& xp, int n) {
    for (int j = 1; j <= n; ++j)
        for (int i = 1; i <= n; ++i)
            if (!std::isnan(xp(i, j))) return false;
    return true;
}

// One target, three categories, 100 images per distribution but every count
// zero: the gradient vanishes at any point (constructed).
fit_data zero_count_study() {
    fit_data d;
    set_spec(d, 3, 2, 0);
    d.counts.images[0] = 100;
    d.counts.images[1] = 100;
    return d;
}

// The model tables at (a, b, z) (a and b get the non-target's 0 and 1).
std::unique_ptr<model::DerivativeTables> tables_at(const fit_data& d, double* a, double* b,
                                                   const double* z) {
    auto t = std::make_unique<model::DerivativeTables>();
    numeric::Romberg romberg;
    model::probabilities_with_derivatives(d.spec, a, b, z, *t, romberg);
    return t;
}

}  // namespace

// The example reader's study fitted from the initial estimates with the
// default criterion 0.001 reaches the maximum of logd1: mu 1.0256, sigma
// 1.5964, boundaries -0.1680 0.4425 0.9626 1.6454, logd1 -299.407 (values
// found by maximizing logd1 directly; a step sum within 0.001 leaves every
// parameter within about 0.001 of them).
TEST(ExampleStudy, FitsAtTheMaximumOfTheLogLikelihood) {
    const fit_data d = reader_a();
    auto r = fit_from_initial(d, 0.001);
    const FitResult& f = r->result;
    const Parameters& e = f.estimate;
    const ParameterMatrix& xp = f.covariance;
    ASSERT_TRUE(f.converged) << r->trace;
    EXPECT_NEAR(e.mean[0], 1.0256, 2e-3);
    EXPECT_NEAR(e.sigma[0], 1.5964, 2e-3);
    const double zmax[4] = {-0.1680, 0.4425, 0.9626, 1.6454};
    for (int k = 0; k < 4; ++k) EXPECT_NEAR(e.bounds[k], zmax[k], 2e-3) << "boundary " << k + 1;
    EXPECT_EQ(e.mean[1], 0.0);
    EXPECT_EQ(e.sigma[1], 1.0);
    const double l = trial_logd1(d, e);
    EXPECT_NEAR(l, -299.407, 0.01);
    EXPECT_LE(f.stopping_index, 0.001);
    EXPECT_GT(f.iterations, 1);
    EXPECT_LE(f.damping, 1e-5 * (1 + 1e-12));
    // Standard errors from the covariance matrix are finite and positive.
    for (int i = 1; i <= 6; ++i) {
        EXPECT_TRUE(std::isfinite(xp(i, i)) && xp(i, i) > 0.0) << i;
    }
    for (int i = 1; i <= 6; ++i)
        for (int j = 1; j <= 6; ++j) EXPECT_NEAR(xp(i, j), xp(j, i), 1e-9 * (1 + std::fabs(xp(i, j))));
    std::printf("example fit: mu %.6f sigma %.6f z %.6f %.6f %.6f %.6f logd1 %.6f ll %d tnet %.10f "
                "lamda_f %.3g se(mu) %.5f se(sigma) %.5f\n",
                e.mean[0], e.sigma[0], e.bounds[0], e.bounds[1], e.bounds[2], e.bounds[3], l,
                f.iterations, f.stopping_index, f.damping, std::sqrt(xp(1, 1)),
                std::sqrt(xp(2, 2)));
    const walk w = walk_trace(r->lines, 0);
    EXPECT_EQ(w.error, "");
    EXPECT_EQ(w.iterations, f.iterations);
    EXPECT_EQ(console_notes(f), "");
    EXPECT_EQ(r->console, "");
}

// With the tightest criterion the dialogue allows (1e-8) the fitted point is
// a maximum of logd1 found independently of the iteration: the central-
// difference gradient of logd1 is near zero and no small move along any
// parameter improves logd1.
TEST(ExampleStudy, AgreesWithAnIndependentMaximum) {
    const fit_data d = reader_a();
    auto r = fit_from_initial(d, 1e-8);
    const Parameters& e = r->result.estimate;
    ASSERT_TRUE(r->result.converged) << r->trace;
    const double l0 = trial_logd1(d, e);
    const int np = 6;
    for (int p = 1; p <= np; ++p) {
        for (double h : {1e-2, 1e-3}) {
            Parameters moved = e;
            const double x0 = param(moved, 2, p);
            param(moved, 2, p) = x0 + h;
            const double up = trial_logd1(d, moved);
            param(moved, 2, p) = x0 - h;
            const double down = trial_logd1(d, moved);
            // A move of h costs about I h^2 / 2 (I of order 100 here); the
            // fitted point must not be beaten by more than the integration noise.
            EXPECT_LE(up, l0 + 1e-6) << "parameter " << p << " +" << h;
            EXPECT_LE(down, l0 + 1e-6) << "parameter " << p << " -" << h;
            if (h == 1e-3) {
                const double grad = (up - down) / (2 * h);
                EXPECT_NEAR(grad, 0.0, 2e-3) << "parameter " << p;
            }
        }
    }
    // The iteration's own gradient at the fitted point is near zero as well.
    Parameters p = e;
    const auto t = tables_at(d, p.mean, p.sigma, p.bounds);
    double der1[max_parameters] = {};
    model::log_likelihood_gradient(d.spec, d.counts, *t, p.mean, p.sigma, p.bounds, der1);
    for (int i = 0; i < np; ++i) EXPECT_NEAR(der1[i], 0.0, 1e-4) << "gradient " << i + 1;
    std::printf("tight fit: mu %.7f sigma %.7f z %.7f %.7f %.7f %.7f logd1 %.7f ll %d tnet %.3g\n",
                e.mean[0], e.sigma[0], e.bounds[0], e.bounds[1], e.bounds[2], e.bounds[3], l0,
                r->result.iterations, r->result.stopping_index);
}

// Studies drawn from the model with a fixed seed: the fit recovers the
// generating means, standard deviations and boundaries within four standard
// errors taken from the covariance matrix.
TEST(SimulatedStudies, RecoverTheGeneratingParameters) {
    struct study {
        const char* name;
        model_point m;
        int noloc;
        double q[15];
        int n_target, n_nontarget;
        std::uint64_t seed;
    };
    std::vector<study> studies(3);
    studies[0] = {"one target", {}, 1, {0.0}, 4000, 4000, 11};
    studies[0].m.ntarget = 1;
    studies[0].m.ncat = 5;
    studies[0].m.mu[0] = 1.5;
    studies[0].m.sigma[0] = 1.3;
    {
        const double z[4] = {-0.5, 0.2, 0.9, 1.6};
        std::copy(z, z + 4, studies[0].m.z);
    }
    studies[1] = {"two targets, chance", {}, 0, {0.1, 0.25}, 3000, 5000, 12};
    studies[1].m.ntarget = 2;
    studies[1].m.ncat = 6;
    studies[1].m.mu[0] = 1.0;
    studies[1].m.sigma[0] = 1.2;
    studies[1].m.mu[1] = 2.0;
    studies[1].m.sigma[1] = 0.8;
    {
        const double z[5] = {-0.8, -0.2, 0.4, 1.0, 1.7};
        std::copy(z, z + 5, studies[1].m.z);
    }
    studies[2] = {"three targets, ROC-only and noloc 2", {}, 2, {0.0, 1.0, 0.2}, 3000, 6000, 13};
    studies[2].m.ntarget = 3;
    studies[2].m.ncat = 4;
    studies[2].m.mu[0] = 0.8;
    studies[2].m.sigma[0] = 1.0;
    studies[2].m.mu[1] = 1.8;
    studies[2].m.sigma[1] = 1.5;
    studies[2].m.mu[2] = 1.2;
    studies[2].m.sigma[2] = 2.0;
    {
        const double z[3] = {0.0, 0.8, 1.5};
        std::copy(z, z + 3, studies[2].m.z);
    }

    for (const study& s : studies) {
        SCOPED_TRACE(s.name);
        const fit_data d = simulate(s.m, s.noloc, s.q, s.n_target, s.n_nontarget, s.seed);
        auto r = fit_from_initial(d, 0.001);
        ASSERT_TRUE(r->result.converged) << console_notes(r->result);
        const int nt = s.m.ntarget;
        const int np = (s.m.ncat - 1) + 2 * nt;
        for (int p = 1; p <= np; ++p) {
            double truth;
            if (p <= nt)
                truth = s.m.mu[p - 1];
            else if (p <= 2 * nt)
                truth = s.m.sigma[p - nt - 1];
            else
                truth = s.m.z[p - 2 * nt - 1];
            const double est = param(r->result.estimate, nt + 1, p);
            const double se = std::sqrt(r->result.covariance(p, p));
            ASSERT_TRUE(std::isfinite(se) && se > 0.0) << "parameter " << p;
            EXPECT_LT(se, 0.2) << "parameter " << p;
            EXPECT_LE(std::fabs(est - truth), 4.0 * se)
                << "parameter " << p << " est " << est << " truth " << truth << " se " << se;
        }
    }
}

// A small fit's trace: the header with the dimensions, then every main
// iteration and inner pass in the documented order, the damping value in
// each line following the refusals (times 10) and acceptances (divided by 10),
// and the last accepted point equal to the estimates handed back.
TEST(IterationTrace, SmallFitFollowsTheIterationRules) {
    const fit_data d = reader_a();
    auto r = fit_from_initial(d, 0.001);
    const FitResult& f = r->result;
    ASSERT_GE(r->lines.size(), 3u);
    EXPECT_EQ(r->lines[0], "   nc   nb   nd   ne  nar  noloc");
    EXPECT_EQ(r->lines[1], "    5    4    2    6    6    1");
    const walk w = walk_trace(r->lines, 0);
    ASSERT_EQ(w.error, "") << r->trace;
    EXPECT_EQ(w.end, r->lines.size());
    EXPECT_EQ(w.iterations, f.iterations);
    EXPECT_EQ(w.accepted + (w.converged_on_refusal ? 1 : 0), f.iterations);
    EXPECT_DOUBLE_EQ(w.lamda, f.damping);
    EXPECT_NEAR(w.tnet_last, f.stopping_index, 5e-9);
    if (!w.converged_on_refusal) {
        const Parameters& e = f.estimate;
        ASSERT_EQ(w.last_point.size(), 3u);
        std::string a = fmt(" %10.5f %10.5f", e.mean[0], e.mean[1]);
        std::string b = fmt(" %10.5f %10.5f", e.sigma[0], e.sigma[1]);
        std::string z;
        for (int k = 0; k < 4; ++k) z += " " + f_field(10, 5, e.bounds[k]);
        EXPECT_EQ(w.last_point[0], a);
        EXPECT_EQ(w.last_point[1], b);
        EXPECT_EQ(w.last_point[2], z);
    }
}

// Zero counts give a zero gradient, hence a zero step: the trial equals the
// current point, is accepted (equal log-likelihoods), and the second accepted
// step brings the damping value to 1e-5, which with a step sum of 0 ends the
// iteration.  The whole trace is known to the byte.
TEST(IterationTrace, ZeroGradientConvergesAtTheSecondAcceptedStep) {
    const fit_data d = zero_count_study();
    const double a0[2] = {1.0, 0.0}, b0[2] = {1.5, 1.0}, z0[2] = {-0.5, 0.5};
    auto r = run_fit(d, a0, b0, z0, 0.001);
    const FitResult& f = r->result;
    EXPECT_TRUE(f.converged);
    EXPECT_EQ(f.iterations, 2);
    EXPECT_EQ(f.stopping_index, 0.0);
    EXPECT_EQ(f.damping, 0.001 / 10 / 10);
    EXPECT_EQ(f.estimate.mean[0], 1.0);
    EXPECT_EQ(f.estimate.sigma[0], 1.5);
    EXPECT_EQ(f.estimate.bounds[0], -0.5);
    EXPECT_EQ(f.estimate.bounds[1], 0.5);
    const std::string logl = "    0.0000000            0.0000000";
    const std::string point = "    1.00000    0.00000\n    1.50000    1.00000\n   -0.50000    0.50000\n";
    const std::string expected =
        "   nc   nb   nd   ne  nar  noloc\n"
        "    3    2    2    4    4    0\n"
        "\n"
        " Begin main loop, ll =  1     lambda =     0.001000000\n"
        " Top of inside loop\n"
        "\n"
        " Old LogL less than New LogL\n" +
        logl + "\n" + point +
        " loglike =       0.00   tnet =      0.00000000   lamda =      0.00100000\n"
        " At bottom of main loop!!\n"
        "\n"
        " Begin main loop, ll =  2     lambda =     0.000100000\n"
        " Top of inside loop\n"
        "\n"
        " Old LogL less than New LogL\n" +
        logl + "\n" + point +
        " loglike =       0.00   tnet =      0.00000000   lamda =      0.00010000\n"
        " At bottom of main loop!!\n"
        "\n"
        " Exited main loop, ll =  2     lambda =     0.000010000\n"
        "\n"
        " Exiting LMitercl -- procedure not diverging\n";
    EXPECT_EQ(r->trace, expected);
    EXPECT_EQ(console_notes(f), "");
    EXPECT_EQ(r->console, "");
}

// Two targets (the example reader's target twice), both started narrow: the
// first step throws target 1's standard deviation above 10 and its mean
// below -100, and target 2's standard deviation above 10.  Each failed test
// writes its line with the trial value, target by target and in the order
// > 10, |mean| > 100, < 0.1, then the refusal line shows the damping value in
// use; the next pass rebuilds the matrix with ten times the damping value
// without a new gradient (Top follows directly).  The expected trial values
// are recomputed here from the model tables, gradient and damped matrix.
TEST(IterationTrace, OutOfRangeTrialWritesOneLinePerFailedTestThenTheRefusal) {
    const fit_data one = reader_a();
    fit_data d;
    for (int k = 1; k <= 5; ++k)
        for (int t = 1; t <= 2; ++t) {
            d.counts.correct(k, t) = one.counts.correct(k, 1);
            d.counts.incorrect(k, t) = one.counts.incorrect(k, 1);
            d.counts.correct(k, 3) = one.counts.correct(k, 2);
        }
    set_spec(d, 5, 3, 1);
    const double a0[3] = {6.0, 2.0, 0.0}, b0[3] = {0.12, 0.15, 1.0};
    const double z0[4] = {-0.5, 0.3, 1.0, 1.8};

    // The first trial point, from the same building blocks.
    double a[3], b[3];
    std::copy(a0, a0 + 3, a);
    std::copy(b0, b0 + 3, b);
    const auto t = tables_at(d, a, b, z0);
    double der1[max_parameters] = {};
    model::log_likelihood_gradient(d.spec, d.counts, *t, a, b, z0, der1);
    auto xx = std::make_unique<ParameterMatrix>();
    auto inv = std::make_unique<ParameterMatrix>();
    model::information_matrix(d.spec, 0.001, b, d.counts.images, *t, *xx);
    int indx[max_parameters];
    ASSERT_TRUE(numeric::invert_matrix(xx->v, inv->v, 8, max_parameters, indx));
    double corr[8] = {};
    for (int j = 1; j <= 8; ++j)
        for (int i = 1; i <= 8; ++i) corr[j - 1] += der1[i - 1] * (*inv)(i, j);
    const double a1 = a0[0] + corr[0], b1 = b0[0] + corr[2], b2 = b0[1] + corr[3];
    ASSERT_GT(b1, 10.0);
    ASSERT_LT(a1, -100.0);
    ASSERT_GT(b2, 10.0);
    ASSERT_LE(std::fabs(a0[1] + corr[1]), 100.0);

    auto r = run_fit(d, a0, b0, z0, 0.001);
    const std::vector<std::string> first_refusal = {
        " Top of inside loop",
        "b_pi > 10 " + f_field(12, 4, b1),
        "a_pi > 100 " + f_field(12, 4, a1),
        "b_pi > 10 " + f_field(12, 4, b2),
        " Model parameters out of range, lamda =.1000000E-02",
        " Top of inside loop"};
    ASSERT_GE(r->lines.size(), 10u);
    EXPECT_EQ(std::vector<std::string>(r->lines.begin() + 4, r->lines.begin() + 10), first_refusal);
    const walk w = walk_trace(r->lines, 0);
    ASSERT_EQ(w.error, "") << r->trace;
    EXPECT_GE(w.range_refusals, 2);
    // Every range line holds a value that violates its own test (or a field
    // of asterisks for a value too wide to show).
    for (const std::string& s : w.range_lines) {
        const std::string field = s.substr(s.size() - 12);
        ASSERT_TRUE(s.size() == 22 || s.size() == 23) << s;
        if (field == "************") continue;
        const double v = std::atof(field.c_str());
        if (s.rfind("b_pi > 10 ", 0) == 0)
            EXPECT_GT(v, 10.0) << s;
        else if (s.rfind("a_pi > 100 ", 0) == 0)
            EXPECT_GT(std::fabs(v), 100.0) << s;
        else if (s.rfind("b_pi < 0.1 ", 0) == 0)
            EXPECT_LT(v, 0.1) << s;
        else
            ADD_FAILURE() << s;
    }
    // The fit goes on from there to a maximum where the two targets, which
    // hold the same data, get the same estimates.
    EXPECT_TRUE(r->result.converged);
    EXPECT_NEAR(r->result.estimate.mean[0], r->result.estimate.mean[1], 1e-3);
    EXPECT_NEAR(r->result.estimate.sigma[0], r->result.estimate.sigma[1], 1e-3);
}

// Constructed: zero counts and an unreachable criterion; every trial is
// accepted, so the damping value is divided by ten until it underflows to 0
// (321 divisions of 0.001): the loop stops, the result carries the note the
// console program shows for it, and the fit fails with the smallest accepted
// step sum (0).
TEST(IterationTrace, DampingUnderflowToZeroFailsTheFit) {
    const fit_data d = zero_count_study();
    const double a0[2] = {1.0, 0.0}, b0[2] = {1.5, 1.0}, z0[2] = {-0.5, 0.5};
    auto r = run_fit(d, a0, b0, z0, -1.0);
    const FitResult& f = r->result;
    EXPECT_EQ(f.iterations, 321);
    EXPECT_EQ(f.damping, 0.0);
    EXPECT_FALSE(f.converged);
    EXPECT_EQ(f.stopping_index, 0.0);
    EXPECT_EQ(console_notes(f), "damping zero;");
    EXPECT_EQ(r->console, "");
    const walk w = walk_trace(r->lines, 0);
    EXPECT_EQ(w.error, "");
    EXPECT_EQ(w.accepted, 321);
}

// Constructed: a target with no images and no counts gives the damped matrix
// two rows of zeros.  The inversion fails at once: the failure line ends the
// trace, the fit fails with the start values, the stopping index of the pass
// before (1000 at the first) and no damping value (0), the result notes the
// singular matrix for the console program, and the covariance block is NaN
// rather than the identity the inversion left.
TEST(FailedInversion, DampedMatrixWithAZeroRowEndsTheFit) {
    fit_data d = reader_a();
    for (int k = 1; k <= 5; ++k) d.counts.correct(k, 1) = d.counts.incorrect(k, 1) = 0.0;
    d.counts.images[0] = 0.0;
    const double a0[2] = {1.0, 0.0}, b0[2] = {1.5, 1.0}, z0[4] = {-0.2, 0.4, 1.0, 1.6};
    auto r = run_fit(d, a0, b0, z0, 0.001);
    const FitResult& f = r->result;
    EXPECT_FALSE(f.converged);
    EXPECT_EQ(f.iterations, 1);
    EXPECT_EQ(f.stopping_index, 1000.0);
    EXPECT_EQ(f.damping, 0.0);
    EXPECT_EQ(f.estimate.mean[0], 1.0);
    EXPECT_EQ(f.estimate.sigma[0], 1.5);
    EXPECT_TRUE(block_is_nan(f.covariance, 6));
    EXPECT_EQ(console_notes(f), "singular matrix;");
    EXPECT_EQ(r->console, "");
    const std::vector<std::string> want = {"   nc   nb   nd   ne  nar  noloc",
                                           "    5    4    2    6    6    1",
                                           "",
                                           " Begin main loop, ll =  1     lambda =     0.001000000",
                                           " Top of inside loop",
                                           " invert_matrix returned crashed flag"};
    EXPECT_EQ(r->lines, want);
}

// Constructed: a count that is not a number makes the gradient, hence the
// step, NaN.  Such a step would pass every range test and be accepted; it
// ends the fit like a failed inversion instead: nothing accepted, NaN
// covariance block, damping value not raised or handed back (0).
TEST(FailedInversion, NonFiniteStepEndsTheFitLikeAFailedInversion) {
    fit_data d = reader_a();
    d.counts.correct(3, 1) = std::nan("");
    const Parameters s = initial_estimates(reader_a());
    auto r = run_fit(d, s.mean, s.sigma, s.bounds, 0.001);
    const FitResult& f = r->result;
    EXPECT_FALSE(f.converged);
    EXPECT_EQ(f.iterations, 1);
    EXPECT_EQ(f.stopping_index, 1000.0);
    EXPECT_EQ(f.damping, 0.0);
    EXPECT_EQ(f.estimate.mean[0], s.mean[0]);
    EXPECT_EQ(f.estimate.sigma[0], s.sigma[0]);
    EXPECT_TRUE(block_is_nan(f.covariance, 6));
    const walk w = walk_trace(r->lines, 0);
    EXPECT_EQ(w.error, "");
    EXPECT_TRUE(w.cut);
    EXPECT_EQ(w.accepted, 0);
    EXPECT_EQ(w.range_refusals, 0);
}

// Constructed: criterion 0 on the example study.  Near the maximum every
// trial is judged slightly worse (the trial's log-likelihood comes from the
// plain model variant), so the damping value is raised pass after pass while
// the step sum shrinks toward 0 without reaching it, until the damped matrix
// overflows and the step stops being finite.  The fit then ends as failed
// (no damping value handed back) instead of accepting the step or looping
// for ever.
TEST(FailedInversion, DampingOverflowEndsTheFit) {
    const fit_data d = reader_a();
    auto r = fit_from_initial(d, 0.0);
    const FitResult& f = r->result;
    EXPECT_FALSE(f.converged);
    EXPECT_EQ(f.damping, 0.0);
    EXPECT_TRUE(block_is_nan(f.covariance, 6));
    EXPECT_EQ(console_notes(f), "");
    EXPECT_EQ(r->console, "");
    const walk w = walk_trace(r->lines, 0);
    EXPECT_EQ(w.error, "");
    EXPECT_TRUE(w.cut);
    EXPECT_EQ(w.iterations, f.iterations);
    EXPECT_GT(w.refused, 300);
    EXPECT_GT(w.lamda, 1e300);
    // The estimates are those of the last accepted step, still near the maximum.
    EXPECT_NEAR(f.estimate.mean[0], 1.0256, 2e-3);
    EXPECT_NEAR(f.stopping_index, w.tnet_last, 5e-9);
}

// The covariance step at the end of the fit: the inverse of the undamped
// matrix; when that matrix has a row of zeros (a target without images) the
// inversion fails (the result says so; nothing is printed), and the used
// block is NaN (not the identity), so that no standard error is made up from
// it.  Entries outside the block are left as they were.
TEST(FinalCovariance, IsTheInverseOfTheUndampedMatrixOrNaN) {
    fit_data d = reader_a();
    double a[2] = {1.0, 0.0}, b[2] = {1.6, 1.0}, z[4] = {-0.2, 0.4, 1.0, 1.6};
    const auto t = tables_at(d, a, b, z);
    auto xx = std::make_unique<ParameterMatrix>();
    auto xp = std::make_unique<ParameterMatrix>();
    auto x0 = std::make_unique<ParameterMatrix>();
    EXPECT_TRUE(model::covariance_matrix(d.spec, b, d.counts.images, *t, *xx, *xp));
    // xx was destroyed by the inversion: rebuild the undamped matrix.
    model::information_matrix(d.spec, 0.0, b, d.counts.images, *t, *x0);
    for (int i = 1; i <= 6; ++i)
        for (int j = 1; j <= 6; ++j) {
            double s = 0.0;
            for (int k = 1; k <= 6; ++k) s += (*x0)(i, k) * (*xp)(k, j);
            EXPECT_NEAR(s, i == j ? 1.0 : 0.0, 1e-9) << i << "," << j;
        }

    d.counts.images[0] = 0.0;
    (*xp)(7, 7) = 42.0;
    (*xp)(1, 7) = 43.0;
    ::testing::internal::CaptureStdout();
    const bool inverted = model::covariance_matrix(d.spec, b, d.counts.images, *t, *xx, *xp);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    EXPECT_FALSE(inverted);
    EXPECT_TRUE(block_is_nan(*xp, 6));
    EXPECT_EQ((*xp)(7, 7), 42.0);
    EXPECT_EQ((*xp)(1, 7), 43.0);
}


