// The public fit: warm starts, numerical stops as error values, and fits of
// the shipped examples on several threads at once.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/run_program.h"
#include "support/temp_dir.h"
#include "varnel/report.h"

namespace {

varnel::PreparedStudy prepared_of(const varnel::Study& study, const varnel::FitSettings& s)
{
    const auto prepared = varnel::prepare(study, s);
    EXPECT_TRUE(prepared.ok()) << prepared.error().message;
    return *prepared;
}

varnel::Study example(const std::string& file)
{
    const auto study = varnel::read_study(source_file("examples/" + file));
    EXPECT_TRUE(study.ok()) << file;
    return *study;
}

varnel::FitResult fitted(const varnel::PreparedStudy& p, const varnel::FitSettings& s,
                         const varnel::Parameters* start = nullptr)
{
    varnel::Workspace ws;
    varnel::FitOptions options;
    options.start = start;
    const auto r = varnel::fit(p, s, ws, options);
    EXPECT_TRUE(r.ok());
    return *r;
}

void expect_same_point(const varnel::FitResult& a, const varnel::FitResult& b,
                       const varnel::ModelSpec& spec, double tolerance)
{
    for (int j = 0; j < spec.distributions; ++j) {
        EXPECT_NEAR(a.estimate.mean[j], b.estimate.mean[j], tolerance) << "mean " << j + 1;
        EXPECT_NEAR(a.estimate.sigma[j], b.estimate.sigma[j], tolerance) << "sigma " << j + 1;
    }
    for (int k = 0; k < spec.categories - 1; ++k)
        EXPECT_NEAR(a.estimate.bounds[k], b.estimate.bounds[k], tolerance) << "boundary " << k + 1;
}

bool same_bits(const double* a, const double* b, size_t n)
{
    return std::memcmp(a, b, sizeof(double) * n) == 0;
}

}  // namespace

// A fit started at the maximum of its own table stays there; one started at
// the maximum of the full table reaches the maximum of the table with one
// case fewer, which a cold fit reaches (the jackknife's refits).
TEST(WarmStart, ReachesTheMaximumOfAColdFit)
{
    varnel::FitSettings s;
    s.criterion = 1e-6;
    for (const char* file : {"reader_a.lrc", "two_targets_chance.lrc", "ten_targets.lrc"}) {
        SCOPED_TRACE(file);
        varnel::Study study = example(file);
        const varnel::PreparedStudy full = prepared_of(study, s);
        const varnel::FitResult cold_full = fitted(full, s);
        ASSERT_TRUE(cold_full.converged);

        const varnel::FitResult again = fitted(full, s, &cold_full.estimate);
        EXPECT_TRUE(again.converged);
        EXPECT_LE(again.iterations, 2);
        EXPECT_NEAR(again.log_likelihood, cold_full.log_likelihood,
                    1e-10 * std::fabs(cold_full.log_likelihood));
        expect_same_point(again, cold_full, full.spec, 1e-6);

        // One correctly localized image of target 1 fewer in the top category.
        --study.correct(study.categories, 2);
        const varnel::PreparedStudy less = prepared_of(study, s);
        const varnel::FitResult cold = fitted(less, s);
        const varnel::FitResult warm = fitted(less, s, &cold_full.estimate);
        ASSERT_TRUE(cold.converged);
        EXPECT_TRUE(warm.converged);
        EXPECT_LE(warm.iterations, cold.iterations);
        EXPECT_EQ(warm.initial.mean[0], cold_full.estimate.mean[0]);
        EXPECT_NEAR(warm.log_likelihood, cold.log_likelihood, 1e-8 * std::fabs(cold.log_likelihood));
        expect_same_point(warm, cold, less.spec, 1e-4);
        EXPECT_NE(cold.log_likelihood, cold_full.log_likelihood);
    }
}

// A start where the model cannot be integrated: the fit is an error value
// with the console program's message, after the trace lines written so far.
TEST(NumericalStop, IsAnErrorResultNotAnExit)
{
    const varnel::FitSettings s;
    const varnel::PreparedStudy p = prepared_of(example("reader_a.lrc"), s);
    varnel::Parameters start = varnel::initial_estimates(p);
    start.mean[0] = std::numeric_limits<double>::quiet_NaN();

    std::string trace;
    varnel::output::Record rec = varnel::output::string_record(trace);
    varnel::output::Printer printer(rec);
    varnel::Workspace ws;
    const auto r = varnel::fit(p, s, ws, varnel::FitOptions{&start, &printer});
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error().kind, varnel::ErrorKind::numerical_stop);
    EXPECT_EQ(r.error().message, "Too many steps in Romberg integration");
    EXPECT_EQ(trace.rfind("   nc   nb   nd   ne  nar  noloc\n", 0), 0u) << trace;
    EXPECT_NE(trace.find(" Begin main loop, ll =  1"), std::string::npos);

    // The workspace is fine for the next fit.
    const auto next = varnel::fit(p, s, ws);
    ASSERT_TRUE(next.ok());
    EXPECT_TRUE(next->converged);

    // The summary of such a point has no likelihood statistics; the report
    // stops before them, after the blocks that could be written.
    varnel::FitResult broken = *next;
    broken.estimate = start;
    const varnel::Summary summary = varnel::summarize(p, broken);
    ASSERT_TRUE(summary.likelihood_error.has_value());
    EXPECT_EQ(summary.likelihood_error->message, "Too many steps in Romberg integration");
    std::string text;
    varnel::output::Record out_rec = varnel::output::string_record(text);
    varnel::output::Printer out(out_rec);
    EXPECT_FALSE(varnel::report::write_summary(out, p, broken, summary, true));
    EXPECT_NE(text.find("Moments from distribution parameters"), std::string::npos);
    EXPECT_EQ(text.find("Loglikelihood"), std::string::npos);
}

// The shipped examples fitted and summarized on four threads at once, each
// thread with one workspace for all its fits and the examples in its own
// order, give results bit-identical to a sequential run; the trace of the
// example reader equals the console program's trace file.
TEST(Concurrency, ThreadsGiveTheSequentialResultsBitForBit)
{
    struct Job {
        const char* file;
        double chance;
    };
    const Job jobs[] = {{"reader_a.lrc", 0.0},       {"reader_a_lf.lrc", 0.0},
                        {"two_targets_chance.lrc", 0.25}, {"roc_only.lrc", 0.0},
                        {"two_categories.lrc", 0.0}, {"ten_targets.lrc", 0.0},
                        {"full_capacity.lrc", 0.0}};
    constexpr int njobs = static_cast<int>(std::size(jobs));
    struct Outcome {
        varnel::FitResult fit;
        std::unique_ptr<varnel::Summary> summary;
        std::string trace;
    };
    std::vector<varnel::PreparedStudy> studies;
    for (const Job& j : jobs) {
        varnel::FitSettings s;
        s.chance.fill(j.chance);
        studies.push_back(prepared_of(example(j.file), s));
    }
    auto run = [&](int job, varnel::Workspace& ws, Outcome& o) {
        varnel::output::Record rec = varnel::output::string_record(o.trace);
        varnel::output::Printer trace(rec);
        varnel::FitSettings s;
        s.chance.fill(jobs[job].chance);
        auto r = varnel::fit(studies[job], s, ws, varnel::FitOptions{nullptr, &trace});
        ASSERT_TRUE(r.ok());
        o.fit = *r;
        o.summary = std::make_unique<varnel::Summary>();
        varnel::summarize(studies[job], o.fit, *o.summary);
    };

    std::vector<Outcome> sequential(njobs);
    for (int j = 0; j < njobs; ++j) {
        varnel::Workspace ws;
        run(j, ws, sequential[j]);
    }
    EXPECT_EQ(sequential[0].trace, read_file(source_file("tests/e2e/golden/reader_a.trace")));

    constexpr int nthreads = 4;
    constexpr int rounds = 2;
    std::vector<std::vector<Outcome>> parallel(nthreads * rounds);
    for (auto& v : parallel) v.resize(njobs);
    std::vector<std::thread> threads;
    for (int t = 0; t < nthreads; ++t) {
        threads.emplace_back([&, t] {
            varnel::Workspace ws;
            for (int round = 0; round < rounds; ++round)
                for (int k = 0; k < njobs; ++k) {
                    const int j = (k + 2 * t) % njobs;
                    run(j, ws, parallel[t * rounds + round][j]);
                }
        });
    }
    for (std::thread& th : threads) th.join();

    for (const auto& outcomes : parallel) {
        for (int j = 0; j < njobs; ++j) {
            SCOPED_TRACE(jobs[j].file);
            const Outcome& a = sequential[j];
            const Outcome& b = outcomes[j];
            EXPECT_EQ(a.fit.converged, b.fit.converged);
            EXPECT_EQ(a.fit.iterations, b.fit.iterations);
            EXPECT_TRUE(same_bits(&a.fit.stopping_index, &b.fit.stopping_index, 1));
            EXPECT_TRUE(same_bits(&a.fit.damping, &b.fit.damping, 1));
            EXPECT_TRUE(same_bits(&a.fit.log_likelihood, &b.fit.log_likelihood, 1));
            EXPECT_EQ(std::memcmp(&a.fit.initial, &b.fit.initial, sizeof a.fit.initial), 0);
            EXPECT_EQ(std::memcmp(&a.fit.estimate, &b.fit.estimate, sizeof a.fit.estimate), 0);
            EXPECT_TRUE(same_bits(a.fit.covariance.v, b.fit.covariance.v,
                                  std::size(a.fit.covariance.v)));
            const varnel::Summary& x = *a.summary;
            const varnel::Summary& y = *b.summary;
            EXPECT_TRUE(same_bits(x.se_mean, y.se_mean, std::size(x.se_mean)));
            EXPECT_TRUE(same_bits(x.area_roc, y.area_roc, std::size(x.area_roc)));
            EXPECT_TRUE(same_bits(x.se_area_roc, y.se_area_roc, std::size(x.se_area_roc)));
            EXPECT_TRUE(same_bits(x.loc_accuracy, y.loc_accuracy, std::size(x.loc_accuracy)));
            EXPECT_TRUE(same_bits(x.se_loc_accuracy, y.se_loc_accuracy, std::size(x.se_loc_accuracy)));
            EXPECT_TRUE(same_bits(x.kurtosis, y.kurtosis, std::size(x.kurtosis)));
            EXPECT_TRUE(same_bits(&x.likelihood.log_likelihood, &y.likelihood.log_likelihood, 6));
            ASSERT_TRUE(x.curves && y.curves);
            EXPECT_TRUE(same_bits(x.curves->ctp.v, y.curves->ctp.v, std::size(x.curves->ctp.v)));
            EXPECT_TRUE(same_bits(x.correlation.v, y.correlation.v, std::size(x.correlation.v)));
            EXPECT_EQ(a.trace, b.trace);
        }
    }
}
