// fit_study as a library call: the settings it checks, the progress it
// reports on the calling thread, and a cancellation in the middle of the
// fits (prompt, no thread left, no result).
#include "varnel/fit_study.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "sim/case_sim.h"

namespace {

using namespace varnel::study;
using varnel::ErrorKind;

// Readers x modalities tables of 40 normal cases and 40 cases of each
// class, continuous ratings with localization.
CaseStudy simulated(int readers, int modalities, int classes, std::uint64_t seed)
{
    case_sim::Design d;
    d.readers = readers;
    d.modalities = modalities;
    d.normal_cases = 40;
    d.target_cases = std::vector<int>(classes, 40);
    d.targets = case_sim::same_targets(modalities, classes, {1.5, 1.2, 0.0});
    d.seed = seed;
    const case_sim::Simulation sim = case_sim::simulate(d);
    EXPECT_TRUE(sim.error.empty()) << sim.error;
    auto cases = parse_cases(case_sim::csv_text(sim), "sim.csv");
    EXPECT_TRUE(cases.ok());
    return cases.ok() ? *cases : CaseStudy{};
}

// Threads of this process now.  A thread is started and ended first, so
// that a sanitizer's helper thread (started with the first thread) counts
// before and after alike.
long threads_now()
{
    std::thread([] {}).join();
    long n = 0;
    for ([[maybe_unused]] const auto& t : std::filesystem::directory_iterator("/proc/self/task"))
        ++n;
    return n;
}

struct Report {
    int done, total;
    std::thread::id thread;
};

TEST(FitStudySettings, MessagesBeginWithTheSettingsName)
{
    const auto criterion = fit_settings({1e-9, {}, 0}, 1);
    ASSERT_FALSE(criterion.ok());
    EXPECT_EQ(criterion.error().kind, ErrorKind::bad_settings);
    EXPECT_EQ(criterion.error().message, "criterion must be a number of at least 1e-8");
    EXPECT_EQ(fit_settings({0.001, {0.1, 0.2, 0.3}, 0}, 2).error().message,
              "chance: 3 values for 2 target classes; give one value, or one per class");
    EXPECT_EQ(fit_settings({0.001, {0.1, -0.5}, 0}, 2).error().message,
              "chance: -0.5 is not between 0 and 1");

    const auto one = fit_settings({0.002, {0.25}, 3}, 4);
    ASSERT_TRUE(one.ok());
    EXPECT_EQ(one->criterion, 0.002);
    EXPECT_EQ(one->noloc, 3);
    EXPECT_EQ(one->chance[0], 0.25);
    EXPECT_EQ(one->chance[14], 0.25);  // one value counts for every class
    const auto each = fit_settings({0.001, {0.1, 0.2}, 0}, 2);
    ASSERT_TRUE(each.ok());
    EXPECT_EQ(each->chance[1], 0.2);
    EXPECT_EQ(each->chance[2], 0.0);
}

// One report at least, all on the calling thread, done never decreasing and
// ending at every table fitted; the rows those of every table.
TEST(FitStudyProgress, CountsTheTablesOnTheCallingThread)
{
    const CaseStudy cases = simulated(3, 2, 2, 7);
    std::vector<Report> reports;
    FitStudyOptions options;
    options.binning.categories = 6;
    options.run.threads = 2;
    options.run.progress = [&](int done, int total) {
        reports.push_back({done, total, std::this_thread::get_id()});
    };
    const auto result = fit_study(cases, options);
    ASSERT_TRUE(result.ok()) << result.error().message;
    EXPECT_EQ(result->results.size(), 6u);
    EXPECT_EQ(result->failed_tables(), 0);
    EXPECT_EQ(result->input.target_classes, 2);
    ASSERT_TRUE(result->input.binning.has_value());
    EXPECT_EQ(result->input.binning->categories(), 6);

    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.back().done, 6);
    for (std::size_t i = 0; i < reports.size(); ++i) {
        EXPECT_EQ(reports[i].total, 6);
        EXPECT_EQ(reports[i].thread, std::this_thread::get_id());
        if (i > 0) {
            EXPECT_GE(reports[i].done, reports[i - 1].done);
        }
    }
}

// The flag set from the progress callback once some tables are fitted (as a
// front end does on an interrupt): the call returns a cancelled error soon,
// before the other tables are fitted, and leaves no thread behind.
TEST(FitStudyCancellation, StopsBetweenFitsAndLeavesNoThread)
{
    const CaseStudy cases = simulated(40, 10, 3, 8);  // 400 tables
    const long threads_before = threads_now();
    std::atomic<bool> cancel{false};
    std::chrono::steady_clock::time_point asked;
    int last_done = 0, total = 0;
    FitStudyOptions options;
    options.binning.categories = 17;
    options.reports = true;
    options.run.threads = 2;
    options.run.cancel = &cancel;
    options.run.progress = [&](int done, int all) {
        last_done = done;
        total = all;
        if (done > 0 && !cancel) {
            asked = std::chrono::steady_clock::now();
            cancel = true;
        }
    };
    const auto result = fit_study(cases, options);
    const auto stopped = std::chrono::steady_clock::now();
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.error().kind, ErrorKind::cancelled);
    EXPECT_TRUE(cancel);
    EXPECT_EQ(total, 400);
    EXPECT_LT(last_done, total);
    // A fit takes milliseconds; the bound is generous for slow builds.
    EXPECT_LT(std::chrono::duration<double>(stopped - asked).count(), 10.0);
    EXPECT_EQ(threads_now(), threads_before);

    // Cancelled before it begins: no table is fitted.
    last_done = -1;
    const auto early = fit_study(cases, options);
    ASSERT_FALSE(early.ok());
    EXPECT_EQ(early.error().kind, ErrorKind::cancelled);
    EXPECT_EQ(last_done, 0);
}

}  // namespace
