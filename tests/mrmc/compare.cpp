// The comparison of a study: target classes, the reference-reader path and
// the checks made before any FOM is computed; compare() as a library call with
// its progress over target classes and its cancellation.
#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "mrmc/compare.h"
#include "sim/case_sim.h"
#include "support/case_loader.h"

namespace {

using namespace varnel::mrmc;

// Readers A, B, C; modalities given; normal cases n1..n3, class 1 cases
// p1..p3, class 2 cases q1, q2.  Ratings follow a fixed cycle with ties.
std::string study_csv(const std::vector<std::string>& modalities)
{
    const char* cases[][2] = {{"n1", "0"}, {"p1", "1"}, {"n2", "0"}, {"q1", "2"},
                              {"p2", "1"}, {"n3", "0"}, {"q2", "2"}, {"p3", "1"}};
    std::string csv = "reader,modality,case,truth,rating,localized\n";
    int i = 0;
    for (const char* r : {"A", "B", "C"})
        for (const std::string& m : modalities)
            for (auto& c : cases) {
                const bool target = c[1][0] != '0';
                const int rating = 1 + (i * 7) % 5 + (target ? 1 : 0);
                csv += std::string(r) + "," + m + "," + c[0] + "," + c[1] + "," +
                       std::to_string(rating) + "," + (target ? (i % 3 ? "1" : "0") : "") + "\n";
                ++i;
            }
    return csv;
}

CompareOptions options_for(const char* fom, int target = 0, const char* reference = nullptr)
{
    CompareOptions o;
    o.fom = parse_fom(fom).value();
    o.target = target;
    if (reference) o.analysis.reference_reader = reference;
    return o;
}

TEST(Compare, OneAnalysisPerTargetClass)
{
    const auto s = mrmc_test::parse_cases(study_csv({"M1", "M2"}), "two.csv");
    varnel::Expected<CompareResult> r = compare_cases(s, options_for("pcl@0.5"));
    ASSERT_TRUE(r) << r.error().message;
    EXPECT_TRUE(r.value().several_target_classes);
    EXPECT_EQ(r.value().source, "two.csv");
    ASSERT_EQ(r.value().classes.size(), 2u);
    EXPECT_EQ(r.value().classes[0].matrix.target_class, 1);
    EXPECT_EQ(r.value().classes[1].matrix.target_class, 2);
    EXPECT_EQ(r.value().classes[1].matrix.cases.size(), 5u);
    EXPECT_TRUE(r.value().classes[1].modalities);

    varnel::Expected<CompareResult> only2 = compare_cases(s, options_for("pcl@0.5", 2));
    ASSERT_TRUE(only2);
    ASSERT_EQ(only2.value().classes.size(), 1u);
    EXPECT_TRUE(only2.value().several_target_classes);
    EXPECT_EQ(only2.value().classes[0].matrix.theta, r.value().classes[1].matrix.theta);
}

TEST(Compare, ReferenceReaderInOneModality)
{
    const auto s = mrmc_test::parse_cases(study_csv({"M1"}), "one.csv");
    varnel::Expected<CompareResult> r = compare_cases(s, options_for("wilcoxon", 1, "C"));
    ASSERT_TRUE(r) << r.error().message;
    const ClassAnalysis& c = r.value().classes[0];
    EXPECT_FALSE(c.modalities);
    ASSERT_EQ(c.references.size(), 1u);
    EXPECT_EQ(c.references[0].reference, 2);
    EXPECT_NEAR(c.references[0].psi[0], c.matrix.theta[0][0] - c.matrix.theta[2][0], 1e-15);
}

TEST(Compare, ChecksComeFirstAndNameTheFile)
{
    const auto one = mrmc_test::parse_cases(study_csv({"M1"}), "one.csv");
    const auto two = mrmc_test::parse_cases(study_csv({"M1", "M2"}), "two.csv");
    auto roc = mrmc_test::parse_cases(study_csv({"M1", "M2"}), "roc.csv");
    roc.has_localization = false;
    auto normals_only = two;
    for (int& t : normals_only.truth) t = 0;
    struct Case {
        std::string what;
        const varnel::study::CaseStudy& study;
        CompareOptions options;
        std::string says;
    } cases[] = {
        {"one modality", one, options_for("wilcoxon"), "one.csv: the study has one modality"},
        {"unknown reference", one, options_for("wilcoxon", 0, "Z"),
         "one.csv: reference reader \"Z\" is not in the study; its readers are A, B, C"},
        {"missing class", two, options_for("wilcoxon", 3),
         "two.csv: target class 3 has no cases; classes with cases: 1, 2"},
        {"model FOM", two, options_for("model-alroc"), "two.csv: figure of merit model-alroc"},
        {"ROC data", roc, options_for("alroc@0.2"), "roc.csv: figure of merit alroc@0.2 needs"},
        {"no targets", normals_only, options_for("wilcoxon"),
         "two.csv: the study has no target cases"},
    };
    for (const Case& c : cases) {
        varnel::Expected<CompareResult> r = compare_cases(c.study, c.options);
        ASSERT_FALSE(r) << c.what;
        EXPECT_EQ(r.error().message.rfind(c.says, 0), 0u) << c.what << ": " << r.error().message;
    }
}

// Readers in one modality, 30 normal cases and 30 of each target class.
varnel::study::CaseStudy simulated(int readers, int classes, std::uint64_t seed)
{
    case_sim::Design d;
    d.readers = readers;
    d.modalities = 1;
    d.normal_cases = 30;
    d.target_cases = std::vector<int>(classes, 30);
    d.targets = case_sim::same_targets(1, classes, {1.5, 1.2, 0.0});
    d.seed = seed;
    const case_sim::Simulation sim = case_sim::simulate(d);
    EXPECT_TRUE(sim.error.empty()) << sim.error;
    return mrmc_test::parse_cases(case_sim::csv_text(sim), "sim.csv");
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

// A model-based comparison of two target classes: progress on the calling
// thread, done never decreasing, the total growing when the second class
// begins and reached at the end; the binning and settings used come back.
TEST(CompareCall, ProgressAddsUpTheFitsOfEveryClass)
{
    const varnel::study::CaseStudy s = simulated(4, 2, 3);
    CompareOptions o = options_for("model-alroc", 0, "R01");
    o.binning.categories = 6;
    o.run.threads = 2;
    std::vector<std::pair<int, int>> reports;
    bool elsewhere = false;
    const std::thread::id caller = std::this_thread::get_id();
    o.run.progress = [&](int done, int total) {
        reports.emplace_back(done, total);
        elsewhere = elsewhere || std::this_thread::get_id() != caller;
    };
    const auto r = compare(s, o);
    ASSERT_TRUE(r.ok()) << r.error().message;
    ASSERT_EQ(r->classes.size(), 2u);
    ASSERT_TRUE(r->binning.has_value());
    EXPECT_EQ(r->binning->categories(), 6);
    ASSERT_TRUE(r->fit.has_value());
    EXPECT_EQ(r->fit->criterion, 0.001);
    EXPECT_FALSE(elsewhere);

    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.back().first, reports.back().second);
    const int first_total = reports.front().second;
    EXPECT_GE(first_total, 4);  // at least the four tables of the first class
    EXPECT_GT(reports.back().second, first_total);  // the second class adds its fits
    for (std::size_t i = 1; i < reports.size(); ++i) {
        EXPECT_GE(reports[i].first, reports[i - 1].first);
        EXPECT_GE(reports[i].second, reports[i - 1].second);
        EXPECT_LE(reports[i].first, reports[i].second);
    }

    // An empirical FOM fits nothing and reports nothing.
    reports.clear();
    const auto empirical = compare(s, options_for("wilcoxon", 0, "R01"));
    ASSERT_TRUE(empirical.ok());
    EXPECT_FALSE(empirical->binning.has_value());
    EXPECT_TRUE(reports.empty());
}

// The flag set once some refits are done: a cancelled error soon after, no
// thread left running, no result.
TEST(CompareCall, CancelledBetweenRefits)
{
    const varnel::study::CaseStudy s = simulated(12, 1, 4);  // 12 x 61 fits
    const long threads_before = threads_now();
    std::atomic<bool> cancel{false};
    std::chrono::steady_clock::time_point asked;
    int last_done = 0, last_total = 0;
    CompareOptions o = options_for("model-auc", 0, "R01");
    o.binning.categories = 8;
    o.run.threads = 2;
    o.run.cancel = &cancel;
    o.run.progress = [&](int done, int total) {
        last_done = done;
        last_total = total;
        if (done > 12 && !cancel) {  // the full tables fitted, refits under way
            asked = std::chrono::steady_clock::now();
            cancel = true;
        }
    };
    const auto r = compare(s, o);
    const auto stopped = std::chrono::steady_clock::now();
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error().kind, varnel::ErrorKind::cancelled);
    ASSERT_TRUE(cancel);
    EXPECT_LT(last_done, last_total);
    EXPECT_LT(std::chrono::duration<double>(stopped - asked).count(), 10.0);
    EXPECT_EQ(threads_now(), threads_before);
}

}  // namespace
