// The fit driver and the fit section of the report: the initial estimates on
// the console, the verdict on the trace unit, and the report layout for
// successful and failed fits.
#include "model/locfit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "model/LMitercl.h"
#include "model/lroc_common.h"
#include "model/lrocinitp.h"
#include "model/support/lm_support.h"
#include "model/support/lm_trace.h"
#include "support/alloc_count.h"

using namespace lmtest;

namespace {

// Everything the run sequence keeps for the fit.
struct fit_state {
    double est_a[16] = {}, est_b[16] = {}, est_bound[17] = {};
    double est_ainit[16] = {}, est_binit[16] = {}, est_bndinit[17] = {};
    double lamda = 0.0;  // the run sequence's value before the fit
    int ll = -1;
    double tnet = -1.0;
    int solution = -1;
    ptable xp{};
    std::string console, trace;
    std::vector<std::string> lines;
};

std::unique_ptr<fit_state> run_locfit(const fit_data& d, double convcrit, const char* tag) {
    install(d);
    auto s = std::make_unique<fit_state>();
    trace_file tf(tag);
    ::testing::internal::CaptureStdout();
    locfit_(d.freqe, d.freqc, d.xnstim, convcrit, s->est_bound, s->est_b, s->est_a,
            s->est_bndinit, s->est_binit, s->est_ainit, s->lamda, s->ll, s->tnet, s->solution,
            s->xp);
    s->console = ::testing::internal::GetCapturedStdout();
    s->trace = tf.text();
    s->lines = split_lines(s->trace);
    return s;
}

// The fit section written to a file unit, as the file pass writes it.
std::string report_text(const fit_state& s, int ndist, int ncat, const char* tag) {
    const std::string path = ::testing::TempDir() + "lm_report_" + tag + ".txt";
    std::remove(path.c_str());
    char name[256];
    std::memset(name, ' ', sizeof name);
    std::memcpy(name, path.data(), path.size());
    open_file__(1, name, 256, " ");
    wrtresults_(1, ndist, ncat, s.est_bound, s.est_b, s.est_a, s.est_bndinit, s.est_binit,
                s.est_ainit, s.solution, s.ll, s.tnet, s.lamda);
    close_file__(1);
    std::ifstream in(path, std::ios::binary);
    std::ostringstream o;
    o << in.rdbuf();
    std::remove(path.c_str());
    return o.str();
}

std::string row(const char* label, int w, int dd, const double* v, int n) {
    std::string s = label;
    for (int i = 0; i < n; ++i) s += (w == 8 ? " " : "") + f_field(w, dd, v[i]);
    return s + "\n";
}

}  // namespace

// The report layout, field by field: verdict, iteration count (I5), stopping
// index (F13.8) and damping value (E22.14) on one line, the number of
// distributions with the non-target counted, then fitted and initial rows of
// nine-character values, the non-target last.
TEST(FitReport, LayoutForSuccessfulAndFailedFits) {
    struct report_case {
        const char* name;
        int ndist, ncat, solution, ll;
        double tnet, lamda;
        std::vector<double> a, b, z, ai, bi, zi;
        std::string expected;
    };
    const std::vector<report_case> cases = {
        {"two targets, success", 3, 4, 1, 5, 0.000323, 1e-8,
         {1.0256, -0.5, 0.0}, {1.5964, 0.8, 1.0}, {-0.168, 0.4425, 0.9626},
         {0.8, -1.2, 0.0}, {2.0, 2.0, 1.0}, {-0.2, 0.4, 1.1},
         "\n"
         "Procedure has estimates of model parameters\n"
         "    Number of interations =       5\n"
         "    Stopping index (tnet) =   0.00032300  lambda =   0.10000000000000E-07\n"
         "    Number of distributions =     3\n"
         "\n"
         "    Mean of distributions\n"
         "Fit      1.0256  -0.5000   0.0000\n"
         "Inital   0.8000  -1.2000   0.0000\n"
         "\n"
         "    Sigma of distributions\n"
         "Fit      1.5964   0.8000   1.0000\n"
         "Inital   2.0000   2.0000   1.0000\n"
         "\n"
         "    Boundaries\n"
         "Fit     -0.1680   0.4425   0.9626\n"
         "Inital  -0.2000   0.4000   1.1000\n"},
        // A failed inversion leaves the stopping index at 1000 and the damping
        // value the run held before the fit (0); two categories give one
        // boundary per row.
        {"two categories, failed inversion", 2, 2, 0, 1, 1000.0, 0.0,
         {2.5, 0.0}, {1.25, 1.0}, {0.3}, {2.5, 0.0}, {1.25, 1.0}, {0.3},
         "\n"
         "Procedure has failed to fit ratings\n"
         "    Number of interations =       1\n"
         "    Stopping index (tnet) =1000.00000000  lambda =   0.00000000000000E+00\n"
         "    Number of distributions =     2\n"
         "\n"
         "    Mean of distributions\n"
         "Fit      2.5000   0.0000\n"
         "Inital   2.5000   0.0000\n"
         "\n"
         "    Sigma of distributions\n"
         "Fit      1.2500   1.0000\n"
         "Inital   1.2500   1.0000\n"
         "\n"
         "    Boundaries\n"
         "Fit      0.3000\n"
         "Inital   0.3000\n"},
        // The iteration cap: 1000 iterations, a large final damping value.
        {"iteration cap", 2, 3, 0, 1000, 0.0000123456789, 1e15,
         {-12.34567, 0.0}, {9.99999, 1.0}, {-1.0, 0.00004}, {-5.7606, 0.0}, {2.0, 1.0},
         {-1.2, -0.00004},
         "\n"
         "Procedure has failed to fit ratings\n"
         "    Number of interations =    1000\n"
         "    Stopping index (tnet) =   0.00001235  lambda =   0.10000000000000E+16\n"
         "    Number of distributions =     2\n"
         "\n"
         "    Mean of distributions\n"
         "Fit    -12.3457   0.0000\n"
         "Inital  -5.7606   0.0000\n"
         "\n"
         "    Sigma of distributions\n"
         "Fit     10.0000   1.0000\n"
         "Inital   2.0000   1.0000\n"
         "\n"
         "    Boundaries\n"
         "Fit     -1.0000   0.0000\n"
         "Inital  -1.2000   0.0000\n"},
    };
    for (const report_case& c : cases) {
        SCOPED_TRACE(c.name);
        fit_state s;
        std::copy(c.a.begin(), c.a.end(), s.est_a);
        std::copy(c.b.begin(), c.b.end(), s.est_b);
        std::copy(c.z.begin(), c.z.end(), s.est_bound);
        std::copy(c.ai.begin(), c.ai.end(), s.est_ainit);
        std::copy(c.bi.begin(), c.bi.end(), s.est_binit);
        std::copy(c.zi.begin(), c.zi.end(), s.est_bndinit);
        s.solution = c.solution;
        s.ll = c.ll;
        s.tnet = c.tnet;
        s.lamda = c.lamda;
        EXPECT_EQ(report_text(s, c.ndist, c.ncat, "layout"), c.expected);
    }
}

// The example reader's study through the fit driver: the initial estimates
// on the console with eight decimals (as the initial-estimate routine gives
// them, kept unchanged), the verdict "satisfactory" on the trace after the
// iteration's own lines, and a report whose fitted rows are the estimates
// (mu 1.0256, sigma 1.5964 within the criterion, boundaries -0.1680 0.4425 0.9626 1.6454 at the
// maximum of the log-likelihood) and whose initial rows repeat the console's
// values with four decimals; the console and file sections are identical.
TEST(FitDriver, ExampleStudyShowsInitialValuesFitsAndReports) {
    const fit_data d = reader_a();
    double ai[16] = {}, bi[16] = {}, zi[17] = {};
    install(d);
    lrocinitp_(ai, bi, d.freqc, d.freqe, zi, d.xnstim);

    auto s = run_locfit(d, 0.001, "driver");
    const std::string expected_console = "\n Finding initial values\n\n initial parameter estimates:\n" +
                                         row(" mu =        ", 13, 8, ai, 2) +
                                         row(" sigma =     ", 13, 8, bi, 2) +
                                         row(" boundaries =", 13, 8, zi, 4) +
                                         "\n Sigma for distributions set by fit\n";
    EXPECT_EQ(s->console, expected_console);
    for (int j = 0; j < 2; ++j) {
        EXPECT_EQ(s->est_ainit[j], ai[j]);
        EXPECT_EQ(s->est_binit[j], bi[j]);
    }
    for (int k = 0; k < 4; ++k) EXPECT_EQ(s->est_bndinit[k], zi[k]);
    EXPECT_EQ(s->solution, 1);
    EXPECT_NEAR(s->est_a[0], 1.0256, 2e-3);
    EXPECT_NEAR(s->est_b[0], 1.5964, 2e-3);
    EXPECT_EQ(s->est_a[1], 0.0);
    EXPECT_EQ(s->est_b[1], 1.0);

    const walk w = walk_trace(s->lines, 0);
    ASSERT_EQ(w.error, "") << s->trace;
    ASSERT_EQ(w.end + 1, s->lines.size());
    EXPECT_EQ(s->lines.back(), " Have a satisfactory fit!!!");
    EXPECT_EQ(w.iterations, s->ll);

    const std::string text = report_text(*s, 2, 5, "driver");
    const std::string head = "\nProcedure has estimates of model parameters\n" +
                             fmt("    Number of interations =   %5d\n", s->ll) +
                             "    Stopping index (tnet) =" + f_field(13, 8, s->tnet) +
                             "  lambda = " + e_field(22, 14, s->lamda) + "\n" +
                             "    Number of distributions =     2\n";
    const std::string body = "\n    Mean of distributions\n" + row("Fit   ", 8, 4, s->est_a, 2) +
                             row("Inital", 8, 4, ai, 2) + "\n    Sigma of distributions\n" +
                             row("Fit   ", 8, 4, s->est_b, 2) + row("Inital", 8, 4, bi, 2) +
                             "\n    Boundaries\n" + row("Fit   ", 8, 4, s->est_bound, 4) +
                             row("Inital", 8, 4, zi, 4);
    EXPECT_EQ(text, head + body);
    EXPECT_NE(text.find("Fit      1.0256   0.0000\n"), std::string::npos) << text;
    // sigma stops within the criterion of 1.59644, shown as 1.5964 or 1.5965.
    EXPECT_NE(text.find("Fit      1.596"), std::string::npos) << text;
    EXPECT_NE(text.find("Fit     -0.1680   0.4425   0.9626   1.6454\n"), std::string::npos) << text;

    // The console pass writes the same section.
    ::testing::internal::CaptureStdout();
    wrtresults_(6, 2, 5, s->est_bound, s->est_b, s->est_a, s->est_bndinit, s->est_binit,
                s->est_ainit, s->solution, s->ll, s->tnet, s->lamda);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), text);
}

// A study whose target is far wider than the largest allowed standard
// deviation (drawn with sigma 20): every step toward the maximum pushes the
// standard deviation past 10 and is refused and retried with more damping,
// so the fit creeps toward the limit and never converges.  The cap of 1000
// main iterations ends it: the console shows the cap lines (the damping value
// too large for its field), the trace the failure verdict with the count, the
// smallest accepted step sum and the last accepted means and standard
// deviations, and the report says the fit failed.
TEST(FitDriver, IterationCapGivesTheFailureVerdictAndReport) {
    model_point m;
    m.ntarget = 1;
    m.ncat = 5;
    m.mu[0] = 0.5;
    m.sigma[0] = 20.0;
    const double z[4] = {-0.5, 0.2, 0.9, 1.6};
    std::copy(z, z + 4, m.z);
    const double q[15] = {};
    const fit_data d = simulate(m, 0, q, 3000, 3000, 5);
    auto s = run_locfit(d, 0.001, "drivercap");
    EXPECT_EQ(s->solution, 0);
    EXPECT_EQ(s->ll, 1000);
    EXPECT_LE(s->est_b[0], 10.0);
    EXPECT_GT(s->est_b[0], 9.9);
    const std::string cap_lines =
        " maximum iterations reached\n lamda_f = " + f_field(16, 7, s->lamda) + "\n";
    EXPECT_EQ(s->console.substr(s->console.size() - cap_lines.size()), cap_lines);
    EXPECT_EQ(f_field(16, 7, s->lamda), "****************");

    const walk w = walk_trace(s->lines, 0);
    ASSERT_EQ(w.error, "");
    EXPECT_EQ(w.iterations, 1000);
    EXPECT_DOUBLE_EQ(w.lamda, s->lamda);
    EXPECT_GT(w.range_refusals, 0);
    for (const std::string& r : w.range_lines) EXPECT_EQ(r.rfind("b_pi > 10 ", 0), 0u) << r;
    EXPECT_NEAR(s->tnet, w.tnet_min_accepted, 5e-9);
    const std::vector<std::string> verdict(s->lines.begin() + w.end, s->lines.end());
    const std::vector<std::string> want = {
        " No solution after 1000 iterations",
        " tnet = " + f_field(13, 8, s->tnet),
        " est. mu =    " + f_field(13, 8, s->est_a[0]) + f_field(13, 8, 0.0),
        " est. sigma = " + f_field(13, 8, s->est_b[0]) + f_field(13, 8, 1.0)};
    EXPECT_EQ(verdict, want);

    const std::string text = report_text(*s, 2, 5, "drivercap");
    EXPECT_EQ(text.rfind("\nProcedure has failed to fit ratings\n    Number of interations =    1000\n", 0), 0u) << text;
    EXPECT_NE(text.find("  lambda = " + e_field(22, 14, s->lamda) + "\n"), std::string::npos) << text;
}

// A failed damped inversion (constructed: a target without images or counts
// gives the matrix rows of zeros): the driver's failure verdict, and a report
// that shows the failure, one iteration begun, the stopping index 1000 and
// the damping value the run held before the fit, which the iteration does not
// overwrite.  The covariance block is NaN, so no standard error is made up.
TEST(FitDriver, FailedInversionReportsTheRunsDampingValue) {
    fit_data d = reader_a();
    for (int k = 1; k <= 5; ++k) d.freqc(k, 1) = d.freqe(k, 1) = 0.0;
    d.xnstim[0] = 0.0;
    install(d);
    fit_state s;
    const double a0[2] = {1.0, 0.0}, b0[2] = {1.5, 1.0}, z0[4] = {-0.2, 0.4, 1.0, 1.6};
    std::copy(a0, a0 + 2, s.est_a);
    std::copy(b0, b0 + 2, s.est_b);
    std::copy(z0, z0 + 4, s.est_bound);
    std::copy(a0, a0 + 2, s.est_ainit);
    std::copy(b0, b0 + 2, s.est_binit);
    std::copy(z0, z0 + 4, s.est_bndinit);
    s.lamda = 0.0;
    {
        trace_file tf("driverinv");
        ::testing::internal::CaptureStdout();
        lmitercl_(s.est_a, s.est_b, d.freqe, d.freqc, s.est_bound, d.xnstim, s.ll, s.solution,
                  s.tnet, 0.001, s.lamda, s.xp);
        EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Singular matrix.\n");
        EXPECT_EQ(split_lines(tf.text()).back(), " invert_matrix returned crashed flag");
    }
    EXPECT_EQ(s.solution, 0);
    for (int i = 1; i <= 6; ++i) EXPECT_TRUE(std::isnan(s.xp(i, i)));
    EXPECT_EQ(report_text(s, 2, 5, "driverinv"),
              "\n"
              "Procedure has failed to fit ratings\n"
              "    Number of interations =       1\n"
              "    Stopping index (tnet) =1000.00000000  lambda =   0.00000000000000E+00\n"
              "    Number of distributions =     2\n"
              "\n"
              "    Mean of distributions\n"
              "Fit      1.0000   0.0000\n"
              "Inital   1.0000   0.0000\n"
              "\n"
              "    Sigma of distributions\n"
              "Fit      1.5000   1.0000\n"
              "Inital   1.5000   1.0000\n"
              "\n"
              "    Boundaries\n"
              "Fit     -0.2000   0.4000   1.0000   1.6000\n"
              "Inital  -0.2000   0.4000   1.0000   1.6000\n");
}

// The whole fit (initial estimates, every iteration, the covariance matrix and
// the trace) runs in the fixed tables: not one heap allocation.
TEST(FitDriver, FitWorksInFixedStorage) {
    const fit_data d = reader_a();
    install(d);
    auto s = std::make_unique<fit_state>();
    trace_file tf("fixed_storage");
    ::testing::internal::CaptureStdout();
    const long before = allocation_count();
    locfit_(d.freqe, d.freqc, d.xnstim, 1e-8, s->est_bound, s->est_b, s->est_a, s->est_bndinit,
            s->est_binit, s->est_ainit, s->lamda, s->ll, s->tnet, s->solution, s->xp);
    const long used = allocation_count() - before;
    ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(s->solution, 1);
    EXPECT_GT(s->ll, 2);
    EXPECT_EQ(used, 0);
}
