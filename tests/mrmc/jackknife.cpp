// The case jackknife: the covariance formula, leave-one-out FOMs against
// recomputation, the cases of a target class, the design checks and speed.
#include <cstdio>
#include <functional>
#include <sstream>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <stdexcept>

#include "mrmc/jackknife.h"
#include "support/case_loader.h"

namespace {

using namespace varnel::mrmc;
using varnel::study::CaseStudy;
using varnel::study::Localization;

TEST(JackknifeCovariance, HandExample)
{
    // Deviations -1, 0, 1 against -2, 0, 2: sum 4, times (K - 1)/K = 2/3.
    const std::vector<double> a{1, 2, 3}, b{4, 6, 8};
    EXPECT_DOUBLE_EQ(jackknife_covariance(a, b), 8.0 / 3.0);
    EXPECT_DOUBLE_EQ(jackknife_covariance(a, a), 4.0 / 3.0);
    const std::vector<double> constant{0.1, 0.1, 0.1};
    EXPECT_EQ(jackknife_covariance(constant, constant), 0.0);
    EXPECT_TRUE(std::isnan(jackknife_covariance(std::vector<double>{1}, std::vector<double>{1})));
    EXPECT_TRUE(std::isnan(jackknife_covariance(a, std::vector<double>{1, 2})));
}

// Through pseudovalues p_k = K theta - (K - 1) theta_(k): the jackknife
// covariance is their sample covariance over K.
TEST(JackknifeCovariance, EqualsThePseudovalueCovariance)
{
    std::mt19937 gen(3);
    std::normal_distribution<double> noise;
    const int k = 37;
    std::vector<double> a(k), b(k), pa(k), pb(k);
    for (int i = 0; i < k; ++i) {
        a[i] = 0.8 + 0.01 * noise(gen);
        b[i] = 0.5 * a[i] + 0.01 * noise(gen);
        pa[i] = k * 0.8 - (k - 1) * a[i];
        pb[i] = k * 0.4 - (k - 1) * b[i];
    }
    double ma = 0, mb = 0, s = 0;
    for (int i = 0; i < k; ++i) {
        ma += pa[i] / k;
        mb += pb[i] / k;
    }
    for (int i = 0; i < k; ++i) s += (pa[i] - ma) * (pb[i] - mb);
    EXPECT_NEAR(jackknife_covariance(a, b), s / (k - 1) / k, 1e-15);
}

// For the mean of K values the jackknife variance is the variance of the
// mean, s^2 / K.
TEST(JackknifeCovariance, VarianceOfAMean)
{
    const std::vector<double> x{3, 1, 4, 1, 5, 9, 2, 6};
    const int k = int(x.size());
    double sum = 0, ss = 0;
    for (double v : x) sum += v;
    std::vector<double> loo;
    for (double v : x) loo.push_back((sum - v) / (k - 1));
    for (double v : x) ss += (v - sum / k) * (v - sum / k);
    EXPECT_NEAR(jackknife_covariance(loo, loo), ss / (k - 1) / k, 1e-13);
}

// A fully crossed study in CSV: every reader rates every case in every
// modality; ratings and localization drawn from `seed`.
std::string random_study_csv(int readers, int modalities, const std::vector<int>& truth,
                             unsigned seed, int levels)
{
    std::mt19937 gen(seed);
    std::uniform_int_distribution<int> rating(1, levels), mark(0, 2);
    std::string csv = "reader,modality,case,truth,rating,localized\n";
    for (int r = 0; r < readers; ++r)
        for (int m = 0; m < modalities; ++m)
            for (std::size_t c = 0; c < truth.size(); ++c) {
                const int rt = rating(gen) + (truth[c] > 0 ? 1 : 0);
                const int mk = mark(gen);  // 0 missed, 1 localized, 2 no mark
                const std::string loc = truth[c] == 0 ? "" : mk == 2 ? "" : std::to_string(mk);
                csv += "R" + std::to_string(r) + ",M" + std::to_string(m) + ",c" +
                       std::to_string(c) + "," + std::to_string(truth[c]) + "," +
                       std::to_string(rt) + "," + loc + "\n";
            }
    return csv;
}

// The normal ratings and target ratings of one table without case `skip`
// (-1: none), the class's cases in study order.
void table_of(const CaseStudy& s, int reader, int modality, int target_class, int skip,
              std::vector<double>& normal, std::vector<TargetRating>& target)
{
    normal.clear();
    target.clear();
    int k = -1;
    for (int c = 0; c < int(s.cases.size()); ++c) {
        if (s.truth[c] != 0 && s.truth[c] != target_class) continue;
        if (++k == skip) continue;
        for (const varnel::study::Reading& r : s.readings)
            if (r.reader == reader && r.modality == modality && r.case_index == c) {
                if (s.truth[c] == 0)
                    normal.push_back(r.rating);
                else
                    target.push_back({r.rating, r.localization == Localization::correct});
            }
    }
}

TEST(FomMatrix, LeaveOneOutMatchesRecomputation)
{
    std::vector<int> truth;
    for (int c = 0; c < 23; ++c) truth.push_back(c % 3 == 0 ? 0 : c % 3);  // classes 1 and 2
    const CaseStudy s = mrmc_test::parse_cases(random_study_csv(3, 2, truth, 5, 4));
    for (const char* name : {"wilcoxon", "pcl@0.2", "pcl@1", "alroc@0.3", "alroc@1"}) {
        const FomSpec f = parse_fom(name).value();
        for (int t : {1, 2}) {
            varnel::Expected<FomMatrix> x = empirical_fom_matrix(s, t, f);
            ASSERT_TRUE(x) << x.error().message;
            std::vector<double> normal;
            std::vector<TargetRating> target;
            for (int r = 0; r < 3; ++r)
                for (int m = 0; m < 2; ++m) {
                    table_of(s, r, m, t, -1, normal, target);
                    EXPECT_EQ(x.value().theta[r][m], empirical_fom(f, normal, target).value());
                    for (int k = 0; k < int(x.value().cases.size()); ++k) {
                        table_of(s, r, m, t, k, normal, target);
                        EXPECT_NEAR(x.value().jackknife[r][m][k],
                                    empirical_fom(f, normal, target).value(), 1e-15)
                            << name << " class " << t << " reader " << r << " modality " << m
                            << " case " << k;
                    }
                }
        }
    }
}

TEST(FomMatrix, TakesTheNormalCasesAndThoseOfTheClass)
{
    const CaseStudy s = mrmc_test::parse_cases(random_study_csv(2, 1, {1, 0, 2, 2, 0, 1, 0}, 1, 5));
    varnel::Expected<FomMatrix> x = empirical_fom_matrix(s, 2, parse_fom("wilcoxon").value());
    ASSERT_TRUE(x) << x.error().message;
    EXPECT_EQ(x.value().cases, (std::vector<std::string>{"c1", "c2", "c3", "c4", "c6"}));
    EXPECT_EQ(x.value().normal_cases, 3);
    EXPECT_EQ(x.value().target_cases, 2);
    EXPECT_EQ(x.value().target_class, 2);
    EXPECT_EQ(x.value().readers, (std::vector<std::string>{"R0", "R1"}));
    ASSERT_EQ(x.value().jackknife.size(), 2u);
    ASSERT_EQ(x.value().jackknife[1].size(), 1u);
    EXPECT_EQ(x.value().jackknife[1][0].size(), 5u);
    EXPECT_FALSE(check_matrix(x.value()));
    EXPECT_EQ(target_classes(s), (std::vector<int>{1, 2}));
}

// Two readers, two modalities; normal cases n1, n2, target cases t1, t2.
std::string small_study(const std::string& localized_column = ",localized",
                        const std::string& mark = "1")
{
    std::string csv = "reader,modality,case,truth,rating" + localized_column + "\n";
    const char* cases[][2] = {{"n1", "0"}, {"n2", "0"}, {"t1", "1"}, {"t2", "1"}};
    int rating = 0;
    for (const char* r : {"A", "B"})
        for (const char* m : {"M1", "M2"})
            for (auto& c : cases) {
                const bool target = c[1][0] == '1';
                csv += std::string(r) + "," + m + "," + c[0] + "," + c[1] + "," +
                       std::to_string(1 + rating++ % 5) +
                       (localized_column.empty() ? "" : "," + (target ? mark : "")) + "\n";
            }
    return csv;
}

// The study text with the lines holding `needle` removed.
std::string without(const std::string& text, const std::string& needle)
{
    std::string out, line;
    std::stringstream in(text);
    while (std::getline(in, line))
        if (line.find(needle) == std::string::npos) out += line + "\n";
    return out;
}

TEST(DesignCheck, EachProblemHasItsMessage)
{
    const std::string ok = small_study();
    struct Case {
        std::string what, csv;
        int target;
        const char* fom;
        std::string says;
    } cases[] = {
        {"reader missing a modality", without(ok, "B,M2,"), 1, "wilcoxon",
         "test: reader \"B\" has no readings in modality \"M2\"; every reader must read every "
         "case in every modality"},
        {"case not read", without(ok, "B,M1,t2"), 1, "wilcoxon",
         "test: case \"t2\" was not read by reader \"B\" in modality \"M1\""},
        {"no normal cases", without(without(ok, ",n1,"), ",n2,"), 1, "wilcoxon",
         "test: the study has no normal cases (truth 0)"},
        {"class without cases", ok, 2, "wilcoxon",
         "test: target class 2 has no cases; classes with cases: 1"},
        {"class out of range", ok, 16, "wilcoxon", "target class 16 does not exist; choose 1 to 15"},
        {"one normal case", without(ok, ",n2,"), 1, "wilcoxon",
         "the jackknife needs at least two normal cases and two cases of target class 1 (the "
         "study has 1 and 2)"},
        {"one target case", without(ok, ",t2,"), 1, "wilcoxon", "(the study has 2 and 1)"},
        {"LROC FOM on ROC data", small_study(""), 1, "pcl@0.2",
         "test: figure of merit pcl@0.2 needs localization outcomes but the study has no "
         "`localized` column (ROC data); use wilcoxon"},
        {"no localization recorded", small_study(",localized", ""), 1, "alroc@0.2",
         "no case of target class 1 has one; use wilcoxon"},
        {"model-based FOM", ok, 1, "model-auc", "comes from model fits of binned tables"},
    };
    for (const Case& c : cases) {
        varnel::Expected<FomMatrix> x =
            empirical_fom_matrix(mrmc_test::parse_cases(c.csv), c.target, parse_fom(c.fom).value());
        ASSERT_FALSE(x) << c.what;
        EXPECT_NE(x.error().message.find(c.says), std::string::npos)
            << c.what << ": " << x.error().message;
    }
    EXPECT_TRUE(empirical_fom_matrix(mrmc_test::parse_cases(ok), 1, parse_fom("pcl@0.2").value()));
    EXPECT_TRUE(empirical_fom_matrix(mrmc_test::parse_cases(small_study("")), 1,
                                     parse_fom("wilcoxon").value()));
    EXPECT_FALSE(check_design(mrmc_test::parse_cases(ok)));
    // A reading given twice is refused by the reader already.
    EXPECT_THROW(
        {
            try {
                mrmc_test::parse_cases(ok + "A,M1,n2,0,3,\n");
            } catch (const std::runtime_error& e) {
                EXPECT_NE(std::string(e.what()).find("test:18: reader \"A\", modality \"M1\", "
                                                     "case \"n2\" is rated a second time"),
                          std::string::npos)
                    << e.what();
                throw;
            }
        },
        std::runtime_error);
}

// Studies built in memory can hold what a file reader would refuse.
TEST(DesignCheck, MalformedStudiesInMemory)
{
    const CaseStudy ok = mrmc_test::parse_cases(small_study());
    struct Case {
        std::string what;
        std::function<void(CaseStudy&)> spoil;
        std::string says;
    } cases[] = {
        {"reader index", [](CaseStudy& s) { s.readings[3].reader = 7; },
         "test:5: the reading refers to a reader, modality or case the study does not list"},
        {"negative case index", [](CaseStudy& s) { s.readings[0].case_index = -1; },
         "does not list"},
        {"rating", [](CaseStudy& s) { s.readings[2].rating = INFINITY; },
         "test:4: the rating of case \"t1\" is not a finite number"},
        {"truths", [](CaseStudy& s) { s.truth.pop_back(); }, "lists 4 cases but 3 truths"},
        {"truth value", [](CaseStudy& s) { s.truth[1] = 16; },
         "case \"n2\" has truth 16; use 0 (no target) or 1 to 15"},
        {"empty", [](CaseStudy& s) { s.readings.clear(); }, "test: the study has no readings"},
    };
    for (const Case& c : cases) {
        CaseStudy s = ok;
        c.spoil(s);
        Problem p = check_design(s);
        ASSERT_TRUE(p) << c.what;
        EXPECT_NE(p->message.find(c.says), std::string::npos) << c.what << ": " << p->message;
        EXPECT_FALSE(empirical_fom_matrix(s, 1, FomSpec{}));
    }
}

TEST(CheckMatrix, ShapesAndValues)
{
    FomMatrix x;
    x.readers = {"A", "B"};
    x.modalities = {"M"};
    x.cases = {"c1", "c2"};
    x.theta = {{0.7}, {0.8}};
    x.jackknife = {{{0.7, 0.71}}, {{0.8, 0.79}}};
    EXPECT_FALSE(check_matrix(x));
    FomMatrix short_row = x;
    short_row.jackknife[1][0].pop_back();
    EXPECT_NE(check_matrix(short_row)->message.find("reader \"B\", modality \"M\" does not have "
                                                    "one jackknife value per case"),
              std::string::npos);
    FomMatrix missing_reader = x;
    missing_reader.theta.pop_back();
    EXPECT_TRUE(check_matrix(missing_reader));
    FomMatrix failed_refit = x;
    failed_refit.jackknife[0][0][1] = std::nan("");
    EXPECT_NE(check_matrix(failed_refit)->message.find("without case \"c2\" is not a finite"),
              std::string::npos);
}

}  // namespace
