// The Levenberg-Marquardt fit: the example study's maximum, agreement with an
// independent maximum, recovery of simulated studies, and the iteration trace
// line by line for the ordinary and the failing paths.
#include "model/LMitercl.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "model/LM_cmat_cl1.h"
#include "model/dist_param.h"
#include "model/first_deriv.h"
#include "model/lroc_common.h"
#include "model/lroc_stat.h"
#include "model/lrocinitp.h"
#include "numeric/invmat.h"
#include "model/support/lm_support.h"
#include "model/support/lm_trace.h"

using namespace lmtest;

namespace {

struct fit_result {
    double a[16] = {}, b[16] = {}, z[17] = {};
    int ll = -1;
    int solution = -1;
    double tnet = -1.0;
    double lamda_f = -7.0;  // sentinel: lmitercl_ leaves it alone on a failed inversion
    ptable xp{};
    std::string trace, console;
    std::vector<std::string> lines;
};

// Runs lmitercl_ from the given start with the trace on a temporary file and
// the console captured.
std::unique_ptr<fit_result> run_fit(const fit_data& d, const double* a0, const double* b0,
                                    const double* z0, double convcrit, const char* tag) {
    install(d);
    auto r = std::make_unique<fit_result>();
    for (int j = 0; j < d.ndist; ++j) {
        r->a[j] = a0[j];
        r->b[j] = b0[j];
    }
    for (int k = 0; k < d.ncat - 1; ++k) r->z[k] = z0[k];
    trace_file tf(tag);
    ::testing::internal::CaptureStdout();
    lmitercl_(r->a, r->b, d.freqe, d.freqc, r->z, d.xnstim, r->ll, r->solution, r->tnet,
              convcrit, r->lamda_f, r->xp);
    r->console = ::testing::internal::GetCapturedStdout();
    r->trace = tf.text();
    r->lines = split_lines(r->trace);
    return r;
}

// Starting values as the fit driver obtains them.
struct start_point {
    double a[16] = {}, b[16] = {}, z[17] = {};
};
start_point initial(const fit_data& d) {
    install(d);
    start_point s;
    lrocinitp_(s.a, s.b, d.freqc, d.freqe, s.z, d.xnstim);
    return s;
}

std::unique_ptr<fit_result> fit_from_initial(const fit_data& d, double convcrit, const char* tag) {
    const start_point s = initial(d);
    return run_fit(d, s.a, s.b, s.z, convcrit, tag);
}

// logd1 at a parameter point (plain model variant, as the iteration judges trials).
double logd1_at(const fit_data& d, const double* a, const double* b, const double* z) {
    double l1, l2, g1, g2, c1, c2;
    lroc_fit__(a, b, z, d.freqc, d.freqe, l1, l2, g1, g2, c1, c2);
    return l1;
}

// Parameter position p of the vector (means, standard deviations, boundaries).
double& param(double* a, double* b, double* z, int ndist, int p) {
    if (p <= ndist - 1) return a[p - 1];
    if (p <= 2 * (ndist - 1)) return b[p - (ndist - 1) - 1];
    return z[p - 2 * (ndist - 1) - 1];
}

bool block_is_nan(const ptable& xp, int n) {
    for (int j = 1; j <= n; ++j)
        for (int i = 1; i <= n; ++i)
            if (!std::isnan(xp(i, j))) return false;
    return true;
}

// One target, three categories, 100 images per distribution but every count
// zero: the gradient vanishes at any point (constructed).
fit_data zero_count_study() {
    fit_data d;
    d.ncat = 3;
    d.ndist = 2;
    d.noloc = 0;
    d.xnstim[0] = 100;
    d.xnstim[1] = 100;
    return d;
}

}  // namespace

// The example reader's study fitted from the initial estimates with the
// default criterion 0.001 reaches the maximum of logd1: mu 1.0256, sigma
// 1.5964, boundaries -0.1680 0.4425 0.9626 1.6454, logd1 -299.407 (values
// found by maximizing logd1 directly; a step sum within 0.001 leaves every
// parameter within about 0.001 of them).
TEST(ExampleStudy, FitsAtTheMaximumOfTheLogLikelihood) {
    const fit_data d = reader_a();
    auto r = fit_from_initial(d, 0.001, "example");
    ASSERT_EQ(r->solution, 1) << r->trace;
    EXPECT_NEAR(r->a[0], 1.0256, 2e-3);
    EXPECT_NEAR(r->b[0], 1.5964, 2e-3);
    const double zmax[4] = {-0.1680, 0.4425, 0.9626, 1.6454};
    for (int k = 0; k < 4; ++k) EXPECT_NEAR(r->z[k], zmax[k], 2e-3) << "boundary " << k + 1;
    EXPECT_EQ(r->a[1], 0.0);
    EXPECT_EQ(r->b[1], 1.0);
    const double l = logd1_at(d, r->a, r->b, r->z);
    EXPECT_NEAR(l, -299.407, 0.01);
    EXPECT_LE(r->tnet, 0.001);
    EXPECT_GT(r->ll, 1);
    EXPECT_LE(r->lamda_f, 1e-5 * (1 + 1e-12));
    // Standard errors from the covariance matrix are finite and positive.
    for (int i = 1; i <= 6; ++i) {
        EXPECT_TRUE(std::isfinite(r->xp(i, i)) && r->xp(i, i) > 0.0) << i;
    }
    for (int i = 1; i <= 6; ++i)
        for (int j = 1; j <= 6; ++j) EXPECT_NEAR(r->xp(i, j), r->xp(j, i), 1e-9 * (1 + std::fabs(r->xp(i, j))));
    std::printf("example fit: mu %.6f sigma %.6f z %.6f %.6f %.6f %.6f logd1 %.6f ll %d tnet %.10f "
                "lamda_f %.3g se(mu) %.5f se(sigma) %.5f\n",
                r->a[0], r->b[0], r->z[0], r->z[1], r->z[2], r->z[3], l, r->ll, r->tnet,
                r->lamda_f, std::sqrt(r->xp(1, 1)), std::sqrt(r->xp(2, 2)));
    const walk w = walk_trace(r->lines, 0);
    EXPECT_EQ(w.error, "");
    EXPECT_EQ(w.iterations, r->ll);
    EXPECT_EQ(r->console, "");
}

// With the tightest criterion the dialogue allows (1e-8) the fitted point is
// a maximum of logd1 found independently of the iteration: the central-
// difference gradient of logd1 is near zero and no small move along any
// parameter improves logd1.
TEST(ExampleStudy, AgreesWithAnIndependentMaximum) {
    const fit_data d = reader_a();
    auto r = fit_from_initial(d, 1e-8, "tight");
    ASSERT_EQ(r->solution, 1) << r->trace;
    const double l0 = logd1_at(d, r->a, r->b, r->z);
    const int np = 6;
    for (int p = 1; p <= np; ++p) {
        for (double h : {1e-2, 1e-3}) {
            double a[16], b[16], z[17];
            std::copy(r->a, r->a + 16, a);
            std::copy(r->b, r->b + 16, b);
            std::copy(r->z, r->z + 17, z);
            const double x0 = param(a, b, z, 2, p);
            param(a, b, z, 2, p) = x0 + h;
            const double up = logd1_at(d, a, b, z);
            param(a, b, z, 2, p) = x0 - h;
            const double down = logd1_at(d, a, b, z);
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
    install(d);
    ctable p{}, f{}, ilda{}, ildb{}, clda{}, cldb{}, fd{}, ild{}, cld{}, ildad{}, ildbd{},
        cldad{}, cldbd{};
    double a[16], b[16];
    std::copy(r->a, r->a + 16, a);
    std::copy(r->b, r->b + 16, b);
    distr_param2__(a, b, r->z, p, f, ilda, ildb, clda, cldb, fd, ild, cld, ildad, ildbd, cldad,
                   cldbd);
    double der1[46] = {};
    first_deriv__(d.freqe, d.freqc, ild, ilda, ildb, cld, clda, cldb, f, fd, p, a, b, r->z, der1);
    for (int i = 0; i < np; ++i) EXPECT_NEAR(der1[i], 0.0, 1e-4) << "gradient " << i + 1;
    std::printf("tight fit: mu %.7f sigma %.7f z %.7f %.7f %.7f %.7f logd1 %.7f ll %d tnet %.3g\n",
                r->a[0], r->b[0], r->z[0], r->z[1], r->z[2], r->z[3], l0, r->ll, r->tnet);
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
        auto r = fit_from_initial(d, 0.001, "sim");
        ASSERT_EQ(r->solution, 1) << r->console;
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
            const double est = param(r->a, r->b, r->z, nt + 1, p);
            const double se = std::sqrt(r->xp(p, p));
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
    auto r = fit_from_initial(d, 0.001, "small");
    ASSERT_GE(r->lines.size(), 3u);
    EXPECT_EQ(r->lines[0], "   nc   nb   nd   ne  nar  noloc");
    EXPECT_EQ(r->lines[1], "    5    4    2    6    6    1");
    const walk w = walk_trace(r->lines, 0);
    ASSERT_EQ(w.error, "") << r->trace;
    EXPECT_EQ(w.end, r->lines.size());
    EXPECT_EQ(w.iterations, r->ll);
    EXPECT_EQ(w.accepted + (w.converged_on_refusal ? 1 : 0), r->ll);
    EXPECT_DOUBLE_EQ(w.lamda, r->lamda_f);
    EXPECT_NEAR(w.tnet_last, r->tnet, 5e-9);
    if (!w.converged_on_refusal) {
        ASSERT_EQ(w.last_point.size(), 3u);
        std::string a = fmt(" %10.5f %10.5f", r->a[0], r->a[1]);
        std::string b = fmt(" %10.5f %10.5f", r->b[0], r->b[1]);
        std::string z;
        for (int k = 0; k < 4; ++k) z += " " + f_field(10, 5, r->z[k]);
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
    auto r = run_fit(d, a0, b0, z0, 0.001, "zero");
    EXPECT_EQ(r->solution, 1);
    EXPECT_EQ(r->ll, 2);
    EXPECT_EQ(r->tnet, 0.0);
    EXPECT_EQ(r->lamda_f, 0.001 / 10 / 10);
    EXPECT_EQ(r->a[0], 1.0);
    EXPECT_EQ(r->b[0], 1.5);
    EXPECT_EQ(r->z[0], -0.5);
    EXPECT_EQ(r->z[1], 0.5);
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
    d.ncat = 5;
    d.ndist = 3;
    d.noloc = 1;
    for (int k = 1; k <= 5; ++k)
        for (int t = 1; t <= 2; ++t) {
            d.freqc(k, t) = one.freqc(k, 1);
            d.freqe(k, t) = one.freqe(k, 1);
            d.freqc(k, 3) = one.freqc(k, 2);
        }
    count_images(d);
    const double a0[3] = {6.0, 2.0, 0.0}, b0[3] = {0.12, 0.15, 1.0};
    const double z0[4] = {-0.5, 0.3, 1.0, 1.8};

    // The first trial point, from the same building blocks.
    install(d);
    ctable p{}, f{}, ilda{}, ildb{}, clda{}, cldb{}, fd{}, ild{}, cld{}, ildad{}, ildbd{},
        cldad{}, cldbd{};
    double a[3], b[3];
    std::copy(a0, a0 + 3, a);
    std::copy(b0, b0 + 3, b);
    distr_param2__(a, b, z0, p, f, ilda, ildb, clda, cldb, fd, ild, cld, ildad, ildbd, cldad,
                   cldbd);
    double der1[46] = {};
    first_deriv__(d.freqe, d.freqc, ild, ilda, ildb, cld, clda, cldb, f, fd, p, a, b, z0, der1);
    auto xx = std::make_unique<ptable>();
    auto inv = std::make_unique<ptable>();
    lmcmatcl1_(0.001, a, b, z0, d.xnstim, f, p, ild, cld, ilda, ildb, ildad, ildbd, clda, cldb,
               cldad, cldbd, fd, *xx);
    int indx[46], crashed = 0;
    invert_matrix__(xx->v, inv->v, 8, 46, indx, crashed);
    ASSERT_EQ(crashed, 0);
    double corr[8] = {};
    for (int j = 1; j <= 8; ++j)
        for (int i = 1; i <= 8; ++i) corr[j - 1] += der1[i - 1] * (*inv)(i, j);
    const double a1 = a0[0] + corr[0], b1 = b0[0] + corr[2], b2 = b0[1] + corr[3];
    ASSERT_GT(b1, 10.0);
    ASSERT_LT(a1, -100.0);
    ASSERT_GT(b2, 10.0);
    ASSERT_LE(std::fabs(a0[1] + corr[1]), 100.0);

    auto r = run_fit(d, a0, b0, z0, 0.001, "range");
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
    EXPECT_EQ(r->solution, 1);
    EXPECT_NEAR(r->a[0], r->a[1], 1e-3);
    EXPECT_NEAR(r->b[0], r->b[1], 1e-3);
}

// Constructed: zero counts and an unreachable criterion; every trial is
// accepted, so the damping value is divided by ten until it underflows to 0
// (321 divisions of 0.001): the loop stops, the console says so, and the
// fit fails with the smallest accepted step sum (0).
TEST(IterationTrace, DampingUnderflowToZeroFailsTheFit) {
    const fit_data d = zero_count_study();
    const double a0[2] = {1.0, 0.0}, b0[2] = {1.5, 1.0}, z0[2] = {-0.5, 0.5};
    auto r = run_fit(d, a0, b0, z0, -1.0, "underflow");
    EXPECT_EQ(r->ll, 321);
    EXPECT_EQ(r->lamda_f, 0.0);
    EXPECT_EQ(r->solution, 0);
    EXPECT_EQ(r->tnet, 0.0);
    EXPECT_EQ(r->console, " Lambda is equal to zero\n");
    const walk w = walk_trace(r->lines, 0);
    EXPECT_EQ(w.error, "");
    EXPECT_EQ(w.accepted, 321);
}

// Constructed: a target with no images and no counts gives the damped matrix
// two rows of zeros.  The inversion fails at once: the failure line ends the
// trace, the fit fails with the start values, the stopping index of the pass
// before (1000 at the first) and the caller's damping value untouched, and the
// covariance block is NaN rather than the identity the inversion left.
TEST(FailedInversion, DampedMatrixWithAZeroRowEndsTheFit) {
    fit_data d = reader_a();
    for (int k = 1; k <= 5; ++k) d.freqc(k, 1) = d.freqe(k, 1) = 0.0;
    d.xnstim[0] = 0.0;
    const double a0[2] = {1.0, 0.0}, b0[2] = {1.5, 1.0}, z0[4] = {-0.2, 0.4, 1.0, 1.6};
    auto r = run_fit(d, a0, b0, z0, 0.001, "crash");
    EXPECT_EQ(r->solution, 0);
    EXPECT_EQ(r->ll, 1);
    EXPECT_EQ(r->tnet, 1000.0);
    EXPECT_EQ(r->lamda_f, -7.0);
    EXPECT_EQ(r->a[0], 1.0);
    EXPECT_EQ(r->b[0], 1.5);
    EXPECT_TRUE(block_is_nan(r->xp, 6));
    EXPECT_EQ(r->console, "Singular matrix.\n");
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
// covariance block, damping value not raised or handed back.
TEST(FailedInversion, NonFiniteStepEndsTheFitLikeAFailedInversion) {
    fit_data d = reader_a();
    d.freqc(3, 1) = std::nan("");
    const start_point s = initial(reader_a());
    auto r = run_fit(d, s.a, s.b, s.z, 0.001, "nanstep");
    EXPECT_EQ(r->solution, 0);
    EXPECT_EQ(r->ll, 1);
    EXPECT_EQ(r->tnet, 1000.0);
    EXPECT_EQ(r->lamda_f, -7.0);
    EXPECT_EQ(r->a[0], s.a[0]);
    EXPECT_EQ(r->b[0], s.b[0]);
    EXPECT_TRUE(block_is_nan(r->xp, 6));
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
// instead of accepting the step or looping for ever.
TEST(FailedInversion, DampingOverflowEndsTheFit) {
    const fit_data d = reader_a();
    auto r = fit_from_initial(d, 0.0, "overflow");
    EXPECT_EQ(r->solution, 0);
    EXPECT_EQ(r->lamda_f, -7.0);
    EXPECT_TRUE(block_is_nan(r->xp, 6));
    EXPECT_EQ(r->console, "");
    const walk w = walk_trace(r->lines, 0);
    EXPECT_EQ(w.error, "");
    EXPECT_TRUE(w.cut);
    EXPECT_EQ(w.iterations, r->ll);
    EXPECT_GT(w.refused, 300);
    EXPECT_GT(w.lamda, 1e300);
    // The estimates are those of the last accepted step, still near the maximum.
    EXPECT_NEAR(r->a[0], 1.0256, 2e-3);
    EXPECT_NEAR(r->tnet, w.tnet_last, 5e-9);
}

// The covariance step at the end of the fit: the inverse of the undamped
// matrix; when that matrix has a row of zeros (a target without images) the
// inversion fails, and the used block is NaN (not the identity), so that no
// standard error is made up from it.  Entries outside the block are left as
// they were.
TEST(FinalCovariance, IsTheInverseOfTheUndampedMatrixOrNaN) {
    fit_data d = reader_a();
    install(d);
    ctable p{}, f{}, ilda{}, ildb{}, clda{}, cldb{}, fd{}, ild{}, cld{}, ildad{}, ildbd{},
        cldad{}, cldbd{};
    double a[2] = {1.0, 0.0}, b[2] = {1.6, 1.0}, z[4] = {-0.2, 0.4, 1.0, 1.6};
    distr_param2__(a, b, z, p, f, ilda, ildb, clda, cldb, fd, ild, cld, ildad, ildbd, cldad,
                   cldbd);
    auto xx = std::make_unique<ptable>();
    auto xp = std::make_unique<ptable>();
    auto x0 = std::make_unique<ptable>();
    int crashed = -1;
    lmcovar_(a, b, z, d.xnstim, f, p, ild, cld, ilda, ildb, ildad, ildbd, clda, cldb, cldad, cldbd,
             fd, *xx, *xp, crashed);
    EXPECT_EQ(crashed, 0);
    // xx was destroyed by the inversion: rebuild the undamped matrix.
    lmcmatcl1_(0.0, a, b, z, d.xnstim, f, p, ild, cld, ilda, ildb, ildad, ildbd, clda, cldb, cldad,
               cldbd, fd, *x0);
    for (int i = 1; i <= 6; ++i)
        for (int j = 1; j <= 6; ++j) {
            double s = 0.0;
            for (int k = 1; k <= 6; ++k) s += (*x0)(i, k) * (*xp)(k, j);
            EXPECT_NEAR(s, i == j ? 1.0 : 0.0, 1e-9) << i << "," << j;
        }

    d.xnstim[0] = 0.0;
    (*xp)(7, 7) = 42.0;
    (*xp)(1, 7) = 43.0;
    ::testing::internal::CaptureStdout();
    lmcovar_(a, b, z, d.xnstim, f, p, ild, cld, ilda, ildb, ildad, ildbd, clda, cldb, cldad, cldbd,
             fd, *xx, *xp, crashed);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Singular matrix.\n");
    EXPECT_EQ(crashed, 1);
    EXPECT_TRUE(block_is_nan(*xp, 6));
    EXPECT_EQ((*xp)(7, 7), 42.0);
    EXPECT_EQ((*xp)(1, 7), 43.0);
}


