// The fit and the fit section of the report: the initial estimates the fit
// starts from (and the console program shows), the verdict on the trace, and
// the report layout for successful and failed fits.
#include "varnel/fit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "model/iteration.h"
#include "model/support/lm_support.h"
#include "model/support/lm_trace.h"
#include "model/workspace.h"
#include "support/alloc_count.h"
#include "support/run_program.h"
#include "varnel/printer.h"
#include "varnel/report.h"

using namespace lmtest;
using namespace varnel;

namespace {

// A fit and its trace.
struct fit_state {
    FitResult result;
    std::string trace;
    std::vector<std::string> lines;
};

// The public fit from the initial estimates, with the trace into a string.
std::unique_ptr<fit_state> run_fit(const fit_data& d, double criterion) {
    auto s = std::make_unique<fit_state>();
    FitSettings settings;
    settings.criterion = criterion;
    Workspace workspace;
    output::Record rec = output::string_record(s->trace);
    output::Printer trace(rec);
    FitOptions options;
    options.trace = &trace;
    Expected<FitResult> r = fit(d, settings, workspace, options);
    if (r)
        s->result = *r;
    else
        ADD_FAILURE() << "fit stopped: " << r.error().message;
    s->lines = split_lines(s->trace);
    return s;
}

// The fit section of the report as text.
std::string report_text(const fit_data& d, const FitResult& r) {
    std::string text;
    output::Record rec = output::string_record(text);
    output::Printer out(rec);
    report::write_fit(out, d, r);
    EXPECT_FALSE(out.failed());
    return text;
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
        fit_data d;
        d.spec = model_spec(c.ncat, c.ndist, 0);
        const auto r = std::make_unique<FitResult>();
        std::copy(c.a.begin(), c.a.end(), r->estimate.mean);
        std::copy(c.b.begin(), c.b.end(), r->estimate.sigma);
        std::copy(c.z.begin(), c.z.end(), r->estimate.bounds);
        std::copy(c.ai.begin(), c.ai.end(), r->initial.mean);
        std::copy(c.bi.begin(), c.bi.end(), r->initial.sigma);
        std::copy(c.zi.begin(), c.zi.end(), r->initial.bounds);
        r->converged = c.solution == 1;
        r->iterations = c.ll;
        r->stopping_index = c.tnet;
        r->damping = c.lamda;
        EXPECT_EQ(report_text(d, *r), c.expected);
    }
}

// The example reader's study through the fit: it starts from the initial
// estimates exactly as the initial-estimate routine gives them, which the
// console program shows with eight decimals; the verdict "satisfactory" on
// the trace after the iteration's own lines, and a report whose fitted rows
// are the estimates (mu 1.0256, sigma 1.5964 within the criterion, boundaries
// -0.1680 0.4425 0.9626 1.6454 at the maximum of the log-likelihood) and whose
// initial rows repeat the console's values with four decimals; the console and
// file sections are identical.
TEST(FitDriver, ExampleStudyShowsInitialValuesFitsAndReports) {
    const fit_data d = reader_a();
    const Parameters init = initial_estimates(d);
    const double *ai = init.mean, *bi = init.sigma, *zi = init.bounds;

    auto s = run_fit(d, 0.001);
    const FitResult& f = s->result;
    for (int j = 0; j < 2; ++j) {
        EXPECT_EQ(f.initial.mean[j], ai[j]);
        EXPECT_EQ(f.initial.sigma[j], bi[j]);
    }
    for (int k = 0; k < 4; ++k) EXPECT_EQ(f.initial.bounds[k], zi[k]);
    EXPECT_TRUE(f.converged);
    EXPECT_NEAR(f.estimate.mean[0], 1.0256, 2e-3);
    EXPECT_NEAR(f.estimate.sigma[0], 1.5964, 2e-3);
    EXPECT_EQ(f.estimate.mean[1], 0.0);
    EXPECT_EQ(f.estimate.sigma[1], 1.0);

    const walk w = walk_trace(s->lines, 0);
    ASSERT_EQ(w.error, "") << s->trace;
    ASSERT_EQ(w.end + 1, s->lines.size());
    EXPECT_EQ(s->lines.back(), " Have a satisfactory fit!!!");
    EXPECT_EQ(w.iterations, f.iterations);

    const std::string text = report_text(d, f);
    const std::string head = "\nProcedure has estimates of model parameters\n" +
                             fmt("    Number of interations =   %5d\n", f.iterations) +
                             "    Stopping index (tnet) =" + f_field(13, 8, f.stopping_index) +
                             "  lambda = " + e_field(22, 14, f.damping) + "\n" +
                             "    Number of distributions =     2\n";
    const std::string body = "\n    Mean of distributions\n" +
                             row("Fit   ", 8, 4, f.estimate.mean, 2) + row("Inital", 8, 4, ai, 2) +
                             "\n    Sigma of distributions\n" +
                             row("Fit   ", 8, 4, f.estimate.sigma, 2) + row("Inital", 8, 4, bi, 2) +
                             "\n    Boundaries\n" + row("Fit   ", 8, 4, f.estimate.bounds, 4) +
                             row("Inital", 8, 4, zi, 4);
    EXPECT_EQ(text, head + body);
    EXPECT_NE(text.find("Fit      1.0256   0.0000\n"), std::string::npos) << text;
    // sigma stops within the criterion of 1.59644, shown as 1.5964 or 1.5965.
    EXPECT_NE(text.find("Fit      1.596"), std::string::npos) << text;
    EXPECT_NE(text.find("Fit     -0.1680   0.4425   0.9626   1.6454\n"), std::string::npos) << text;

    // The console pass writes the same section through a stream record.
    ::testing::internal::CaptureStdout();
    output::Record console = output::file_record(stdout);
    output::Printer out(console);
    report::write_fit(out, d, f);
    std::fflush(stdout);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), text);

    // The console program on the example data file (this study) with the
    // dialogue's defaults shows the initial estimates before the fit.
    const std::string expected_console = "\n Finding initial values\n\n initial parameter estimates:\n" +
                                         row(" mu =        ", 13, 8, ai, 2) +
                                         row(" sigma =     ", 13, 8, bi, 2) +
                                         row(" boundaries =", 13, 8, zi, 4) +
                                         "\n Sigma for distributions set by fit\n";
    temp_dir dir;
    std::filesystem::copy_file(source_file("examples/reader_a.lrc"), dir.file("reader_a.lrc"));
    const program_result p = run_program({"reader_a.lrc"}, "\n\n\nn\n", dir.path);
    EXPECT_EQ(p.status, 0) << p.err;
    EXPECT_NE(p.out.find(expected_console), std::string::npos) << p.out;
}

// A study whose target is far wider than the largest allowed standard
// deviation (drawn with sigma 20): every step toward the maximum pushes the
// standard deviation past 10 and is refused and retried with more damping,
// so the fit creeps toward the limit and never converges.  The cap of 1000
// main iterations ends it: the result carries the cap note the console
// program shows with the damping value (too large for its field), the trace
// the failure verdict with the count, the smallest accepted step sum and the
// last accepted means and standard deviations, and the report says the fit
// failed.
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
    auto s = run_fit(d, 0.001);
    const FitResult& f = s->result;
    EXPECT_FALSE(f.converged);
    EXPECT_EQ(f.iterations, 1000);
    EXPECT_LE(f.estimate.sigma[0], 10.0);
    EXPECT_GT(f.estimate.sigma[0], 9.9);
    EXPECT_EQ(console_notes(f), "iteration limit;");
    EXPECT_EQ(f_field(16, 7, f.damping), "****************");

    const walk w = walk_trace(s->lines, 0);
    ASSERT_EQ(w.error, "");
    EXPECT_EQ(w.iterations, 1000);
    EXPECT_DOUBLE_EQ(w.lamda, f.damping);
    EXPECT_GT(w.range_refusals, 0);
    for (const std::string& r : w.range_lines) EXPECT_EQ(r.rfind("b_pi > 10 ", 0), 0u) << r;
    EXPECT_NEAR(f.stopping_index, w.tnet_min_accepted, 5e-9);
    const std::vector<std::string> verdict(s->lines.begin() + w.end, s->lines.end());
    const std::vector<std::string> want = {
        " No solution after 1000 iterations",
        " tnet = " + f_field(13, 8, f.stopping_index),
        " est. mu =    " + f_field(13, 8, f.estimate.mean[0]) + f_field(13, 8, 0.0),
        " est. sigma = " + f_field(13, 8, f.estimate.sigma[0]) + f_field(13, 8, 1.0)};
    EXPECT_EQ(verdict, want);

    const std::string text = report_text(d, f);
    EXPECT_EQ(text.rfind("\nProcedure has failed to fit ratings\n    Number of interations =    1000\n", 0), 0u) << text;
    EXPECT_NE(text.find("  lambda = " + e_field(22, 14, f.damping) + "\n"), std::string::npos) << text;
}

// A failed damped inversion (constructed: a target without images or counts
// gives the matrix rows of zeros): the iteration's failure line ends the
// trace, the result notes the singular matrix for the console program, and
// the report shows the failure, one iteration begun, the stopping index 1000
// and no damping value (0).  The covariance block is NaN, so no standard
// error is made up.
TEST(FitDriver, FailedInversionReportsNoDampingValue) {
    fit_data d = reader_a();
    for (int k = 1; k <= 5; ++k) d.counts.correct(k, 1) = d.counts.incorrect(k, 1) = 0.0;
    d.counts.images[0] = 0.0;
    const auto r = std::make_unique<FitResult>();
    const double a0[2] = {1.0, 0.0}, b0[2] = {1.5, 1.0}, z0[4] = {-0.2, 0.4, 1.0, 1.6};
    std::copy(a0, a0 + 2, r->initial.mean);
    std::copy(b0, b0 + 2, r->initial.sigma);
    std::copy(z0, z0 + 4, r->initial.bounds);
    r->estimate = r->initial;
    r->damping = -7.0;  // the iteration must replace it
    {
        std::string trace_text;
        output::Record rec = output::string_record(trace_text);
        output::Printer trace(rec);
        Workspace workspace;
        ::testing::internal::CaptureStdout();
        model::levenberg_marquardt(d.spec, d.counts, 0.001, workspace.tables(), &trace, *r);
        EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
        EXPECT_EQ(split_lines(trace_text).back(), " invert_matrix returned crashed flag");
    }
    EXPECT_FALSE(r->converged);
    EXPECT_EQ(console_notes(*r), "singular matrix;");
    for (int i = 1; i <= 6; ++i) EXPECT_TRUE(std::isnan(r->covariance(i, i)));
    EXPECT_EQ(report_text(d, *r),
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
// the trace) runs in the workspace and fixed storage: not one heap allocation
// once the workspace exists.
TEST(FitDriver, FitWorksInFixedStorage) {
    const fit_data d = reader_a();
    FitSettings settings;
    settings.criterion = 1e-8;
    Workspace workspace;
    std::vector<char> buffer(1 << 17);
    output::Record rec = output::memory_record(buffer.data(), static_cast<int>(buffer.size()));
    output::Printer trace(rec);
    FitOptions options;
    options.trace = &trace;
    const long before = allocation_count();
    const Expected<FitResult> r = fit(d, settings, workspace, options);
    const long used = allocation_count() - before;
    ASSERT_TRUE(r.ok()) << r.error().message;
    EXPECT_TRUE(r->converged);
    EXPECT_GT(r->iterations, 2);
    EXPECT_EQ(used, 0);
    EXPECT_FALSE(trace.failed()) << "the trace must fit in the buffer";
}
