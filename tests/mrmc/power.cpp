// Power and sample size from variance components: the published Van Dyke
// sample size, the formulas by hand and against the analyses they plan for,
// the search for the smallest number of cases, and the messages for bad input.
#include <cmath>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include <boost/math/distributions/non_central_t.hpp>
#include <boost/math/distributions/normal.hpp>
#include <boost/math/distributions/students_t.hpp>
#include <gtest/gtest.h>

#include "mrmc/compare.h"
#include "mrmc/pilot.h"
#include "support/case_loader.h"
#include "support/matrices.h"
#include "varnel/power.h"

namespace {

using namespace varnel;
using power::Analysis;
using power::AnalysisPower;
using power::ModalityComponents;
using power::Plan;
using power::PowerStatus;
using power::ReferenceComponents;

constexpr double inf = std::numeric_limits<double>::infinity();
constexpr double nan_value = std::numeric_limits<double>::quiet_NaN();

Plan plan_of(int readers, int cases, std::optional<double> effect, int modalities = 0)
{
    Plan p;
    p.readers = readers;
    p.cases = cases;
    p.effect = effect;
    p.modalities = modalities;
    return p;
}

power::PlanPower powered(const ModalityComponents& c, const Plan& p)
{
    auto r = power::plan_power(c, p);
    EXPECT_TRUE(r) << r.error().message;
    return r ? r.value() : power::PlanPower{};
}

power::PlanPower powered(const ReferenceComponents& c, const Plan& p)
{
    auto r = power::plan_power(c, p);
    EXPECT_TRUE(r) << r.error().message;
    return r ? r.value() : power::PlanPower{};
}

const AnalysisPower& find(const power::PlanPower& p, Analysis a)
{
    for (const AnalysisPower& x : p.analyses)
        if (x.analysis == a) return x;
    throw std::runtime_error("analysis missing");
}

double power_at(const ModalityComponents& c, Plan p, int cases, Analysis a)
{
    p.cases = cases;
    return find(powered(c, p), a).power;
}

// An F(1, ddf) test with noncentrality lambda is the two-sided t test with
// noncentrality sqrt(lambda): an independent route to the power.
double two_sided_t_power(double lambda, double df, double alpha)
{
    namespace bm = boost::math;
    const double t = bm::quantile(bm::complement(bm::students_t(df), alpha / 2));
    const bm::non_central_t alt(df, std::sqrt(lambda));
    return bm::cdf(bm::complement(alt, t)) + bm::cdf(alt, -t);
}

// chi2(1, lambda) beyond the normal critical value squared, in closed form.
double two_sided_z_power(double lambda, double alpha)
{
    const boost::math::normal z;
    const double c = boost::math::quantile(boost::math::complement(z, alpha / 2));
    return boost::math::cdf(z, std::sqrt(lambda) - c) + boost::math::cdf(z, -std::sqrt(lambda) - c);
}

// The Van Dyke components as `compare --fom wilcoxon` prints them (7
// significant digits), for 114 pilot cases.
ModalityComponents vandyke_given()
{
    return {8.022883e-04, 3.466137e-04, 3.440748e-04, 2.390284e-04, 2.004025e-04, {}, 114};
}

mrmc::ClassAnalysis vandyke_pilot(std::optional<std::string> reference = std::nullopt)
{
    EXPECT_TRUE(std::filesystem::exists(VANDYKE_CASES)) << VANDYKE_CASES;
    mrmc::CompareOptions options;
    options.fom = mrmc::parse_fom("wilcoxon").value();
    options.analysis.reference_reader = reference;
    auto r = mrmc::compare_cases(mrmc_test::load_cases(VANDYKE_CASES), options);
    EXPECT_TRUE(r) << r.error().message;
    return r ? r->classes.at(0) : mrmc::ClassAnalysis{};
}

// ---------------------------------------------------------------------------
// Acceptance: Hillis, Obuchowski and Berbaum (2011) size the Van Dyke study
// for 10 readers and the observed difference 0.0438 at 80% power: 163 cases
// for random readers and cases.

void expect_vandyke_163(const ModalityComponents& c, std::optional<double> effect)
{
    const Plan plan = plan_of(10, 0, effect);
    auto found = power::cases_for_power(c, plan, 0.8);
    ASSERT_TRUE(found) << found.error().message;
    const power::CasesForPower& rr = found->at(0);
    ASSERT_EQ(rr.analysis, Analysis::random_readers_random_cases);
    ASSERT_TRUE(rr.cases);
    EXPECT_EQ(*rr.cases, 163);
    EXPECT_TRUE(rr.monotone) << rr.note;
    EXPECT_GE(rr.power.power, 0.8);
    EXPECT_LT(power_at(c, plan, 162, Analysis::random_readers_random_cases), 0.8);
}

TEST(VanDykePower, PublishedCasesFromGivenComponents)
{
    expect_vandyke_163(vandyke_given(), 0.0438);
}

TEST(VanDykePower, PublishedCasesFromThePilotFile)
{
    auto c = mrmc::modality_components(vandyke_pilot());
    ASSERT_TRUE(c) << c.error().message;
    const ModalityComponents given = vandyke_given();
    EXPECT_NEAR(c->var, given.var, 5e-10);
    EXPECT_NEAR(c->cov1, given.cov1, 5e-10);
    EXPECT_NEAR(c->cov2, given.cov2, 5e-10);
    EXPECT_NEAR(c->cov3, given.cov3, 5e-10);
    EXPECT_NEAR(c->var_tr, given.var_tr, 5e-10);
    EXPECT_EQ(c->pilot_cases, 114);
    expect_vandyke_163(*c, 0.0438);
    expect_vandyke_163(*c, std::nullopt);  // the pilot's own difference, -0.043800
}

// At the pilot's own size and difference, lambda is the statistic the
// pilot's analysis observed and the ddf are its ddf (the published Van Dyke
// analysis): the planning formulas are the expected mean squares of the tests.
TEST(VanDykePower, AtThePilotsSizeLambdaIsTheObservedStatistic)
{
    auto c = mrmc::modality_components(vandyke_pilot());
    ASSERT_TRUE(c) << c.error().message;
    const power::PlanPower p = powered(*c, plan_of(5, 114, std::nullopt));
    EXPECT_NEAR(p.effect, -0.0438, 5e-7);
    EXPECT_EQ(p.case_ratio, 1.0);
    const AnalysisPower& rr = find(p, Analysis::random_readers_random_cases);
    EXPECT_NEAR(rr.lambda, 4.4563, 5e-5);
    EXPECT_NEAR(rr.ddf, 15.260, 5e-4);
    const AnalysisPower& fr = find(p, Analysis::fixed_readers_random_cases);
    EXPECT_NEAR(fr.lambda, 5.4760, 5e-5);
    EXPECT_EQ(fr.ddf, inf);
    const AnalysisPower& fc = find(p, Analysis::random_readers_fixed_cases);
    EXPECT_NEAR(fc.lambda, 8.704, 5e-4);
    EXPECT_EQ(fc.ddf, 4.0);
}

// The same for a reference reader: lambda = t^2 of the pilot's test of the
// mean psi and the same Hillis ddf (for R1 as reference, where neither
// VarR_psi nor Cov2_psi is clamped at 0).
TEST(VanDykePower, ReferenceAtThePilotsSizeLambdaIsTheObservedT)
{
    const mrmc::ClassAnalysis pilot = vandyke_pilot("R1");
    ASSERT_EQ(pilot.references.size(), 2u);
    for (int m = 0; m < 2; ++m) {
        auto c = mrmc::reference_components(pilot, m);
        ASSERT_TRUE(c) << c.error().message;
        ASSERT_GT(c->cov2, 0.0);
        ASSERT_GT(c->var_r, 0.0);
        const mrmc::Contrast& t = pilot.references[m].random_readers_random_cases;
        const power::PlanPower p = powered(*c, plan_of(4, 114, std::nullopt));
        EXPECT_NEAR(p.effect, t.estimate.value, 1e-15);
        const AnalysisPower& rr = find(p, Analysis::reference_random_readers_random_cases);
        EXPECT_NEAR(rr.lambda, t.t * t.t, 1e-9);
        EXPECT_NEAR(rr.ddf, t.estimate.df, 1e-9);
        const mrmc::Contrast& f = pilot.references[m].random_readers_fixed_cases;
        EXPECT_NEAR(find(p, Analysis::reference_random_readers_fixed_cases).lambda, f.t * f.t,
                    1e-9);
    }
    EXPECT_FALSE(mrmc::reference_components(vandyke_pilot(), 0));  // no reference named
}

// ---------------------------------------------------------------------------
// The formulas by hand.

// Var 4, Cov1 1, Cov2 2, Cov3 1 (C = 1), VarTR 1, K* 50; J 5, K 100 (c = 0.5),
// d = 3 (J sum (tau - mean)^2 = 5 * 4.5 = 22.5):
//   random readers  D = 1 + 0.5 (3 + 4) = 4.5, lambda 5,
//                   ddf = 4 (4.5 / (1 + 0.5 * 2))^2 = 20.25
//   fixed readers   D = 0.5 * 7 = 3.5, lambda 22.5 / 3.5
//   fixed cases     D = 1 + 0.5 * 2 = 2, lambda 11.25, ddf 4
TEST(PowerFormulas, HandComputedModalityComparison)
{
    const ModalityComponents c{4.0, 1.0, 2.0, 1.0, 1.0, {}, 50};
    const power::PlanPower p = powered(c, plan_of(5, 100, 3.0));
    EXPECT_EQ(p.modalities, 2);
    EXPECT_EQ(p.effect_sum_squares, 4.5);
    EXPECT_EQ(p.case_ratio, 0.5);
    ASSERT_EQ(p.analyses.size(), 3u);
    for (const AnalysisPower& a : p.analyses) {
        EXPECT_TRUE(a.ok()) << a.reason;
        EXPECT_EQ(a.ndf, 1.0);
    }

    const AnalysisPower& rr = find(p, Analysis::random_readers_random_cases);
    EXPECT_NEAR(rr.denominator, 4.5, 1e-15);
    EXPECT_NEAR(rr.lambda, 5.0, 1e-14);
    EXPECT_NEAR(rr.ddf, 20.25, 1e-12);
    EXPECT_EQ(rr.statistic, "F");
    const double t20 = boost::math::quantile(boost::math::complement(boost::math::students_t(20.25), 0.025));
    EXPECT_NEAR(rr.critical_value, t20 * t20, 1e-10);
    EXPECT_NEAR(rr.power, two_sided_t_power(5.0, 20.25, 0.05), 1e-9);

    const AnalysisPower& fr = find(p, Analysis::fixed_readers_random_cases);
    EXPECT_NEAR(fr.lambda, 22.5 / 3.5, 1e-13);
    EXPECT_EQ(fr.ddf, inf);
    EXPECT_EQ(fr.statistic, "chi2");
    EXPECT_NEAR(fr.critical_value, 1.959963984540054 * 1.959963984540054, 1e-12);
    EXPECT_NEAR(fr.power, two_sided_z_power(22.5 / 3.5, 0.05), 1e-12);

    const AnalysisPower& fc = find(p, Analysis::random_readers_fixed_cases);
    EXPECT_NEAR(fc.lambda, 11.25, 1e-13);
    EXPECT_EQ(fc.ddf, 4.0);
    EXPECT_NEAR(fc.power, two_sided_t_power(11.25, 4.0, 0.05), 1e-9);
}

// Var_psi 4, Cov2_psi 1, VarR_psi 2, K* 50; J 4, K 100 (c = 0.5), d = 2:
//   random readers  D = 2 + 0.5 (4 + 3) = 5.5, lambda 16 / 5.5,
//                   ddf = 3 (5.5 / (2 + 0.5 * 3))^2
//   fixed cases     D = 2 + 0.5 * 3 = 3.5, lambda 16 / 3.5, ddf 3
// A negative Cov2_psi counts as 0: D = 2 + 0.5 * 4 = 4 for both, ddf 3.
TEST(PowerFormulas, HandComputedReferenceReader)
{
    const ReferenceComponents c{4.0, 1.0, 2.0, std::nullopt, 50};
    const power::PlanPower p = powered(c, plan_of(4, 100, 2.0));
    EXPECT_EQ(p.effect_sum_squares, 4.0);
    ASSERT_EQ(p.analyses.size(), 2u);
    const AnalysisPower& rr = find(p, Analysis::reference_random_readers_random_cases);
    EXPECT_NEAR(rr.lambda, 16 / 5.5, 1e-14);
    EXPECT_NEAR(rr.ddf, 3 * (5.5 / 3.5) * (5.5 / 3.5), 1e-12);
    EXPECT_NEAR(rr.power, two_sided_t_power(16 / 5.5, rr.ddf, 0.05), 1e-9);
    const AnalysisPower& fc = find(p, Analysis::reference_random_readers_fixed_cases);
    EXPECT_NEAR(fc.lambda, 16 / 3.5, 1e-14);
    EXPECT_EQ(fc.ddf, 3.0);
    EXPECT_NEAR(fc.power, two_sided_t_power(16 / 3.5, 3.0, 0.05), 1e-9);

    const ReferenceComponents negative{4.0, -1.0, 2.0, std::nullopt, 50};
    const power::PlanPower q = powered(negative, plan_of(4, 100, -2.0));
    for (const AnalysisPower& a : q.analyses) {
        EXPECT_NEAR(a.lambda, 4.0, 1e-14);
        EXPECT_NEAR(a.ddf, 3.0, 1e-14);
    }
}

// Three modalities: a difference d spreads as d^2/2; the pilot's own means
// give their sum of squares; 2 numerator df and twice the ddf of two.
TEST(PowerFormulas, ThreeModalities)
{
    ModalityComponents c{4.0, 1.0, 2.0, 1.0, 1.0, {0.80, 0.85, 0.90}, 50};
    const power::PlanPower given = powered(c, plan_of(5, 100, 3.0, 3));
    EXPECT_EQ(given.effect_sum_squares, 4.5);
    const AnalysisPower& rr = find(given, Analysis::random_readers_random_cases);
    EXPECT_EQ(rr.ndf, 2.0);
    EXPECT_NEAR(rr.ddf, 40.5, 1e-12);
    EXPECT_NEAR(rr.lambda, 5.0, 1e-14);

    const power::PlanPower pilot = powered(c, plan_of(5, 100, std::nullopt));
    EXPECT_EQ(pilot.modalities, 3);
    EXPECT_TRUE(std::isnan(pilot.effect));
    EXPECT_NEAR(pilot.effect_sum_squares, 0.005, 1e-15);

    auto four = power::plan_power(c, plan_of(5, 100, std::nullopt, 4));
    ASSERT_FALSE(four);
    EXPECT_NE(four.error().message.find("for 4 modalities give the difference"), std::string::npos)
        << four.error().message;
}

// As the effect vanishes every test rejects with probability alpha.
TEST(PowerFormulas, VanishingEffectGivesAlpha)
{
    for (double alpha : {0.01, 0.05, 0.2}) {
        Plan p = plan_of(6, 80, 1e-9);
        p.alpha = alpha;
        for (const AnalysisPower& a : powered(vandyke_given(), p).analyses)
            EXPECT_NEAR(a.power, alpha, 1e-9) << power::analysis_key(a.analysis);
        const ReferenceComponents r{6e-4, 2e-4, 1e-3, std::nullopt, 114};
        for (const AnalysisPower& a : powered(r, p).analyses)
            EXPECT_NEAR(a.power, alpha, 1e-9) << power::analysis_key(a.analysis);
    }
}

// A power that grows: strictly until it is within 1e-4 of 1, where the
// distribution's rounding may show.
void expect_growth(double previous, double p, std::string_view analysis, int size)
{
    if (previous < 0.9999)
        EXPECT_GT(p, previous) << analysis << " at " << size;
    else
        EXPECT_GT(p, previous - 1e-12) << analysis << " at " << size;
}

// An effect whose square underflows to 0 has lambda 0 and power alpha
// exactly (Boost's noncentral upper tail is wrong at lambda 0 itself).
TEST(PowerFormulas, UnderflowingEffectGivesAlpha)
{
    for (const AnalysisPower& a : powered(vandyke_given(), plan_of(6, 80, 1e-200)).analyses) {
        EXPECT_EQ(a.lambda, 0.0);
        EXPECT_EQ(a.power, 0.05) << power::analysis_key(a.analysis);
    }
}

// For the Van Dyke components every analysis gains power with each reader
// and with each case.
TEST(PowerFormulas, MoreReadersOrCasesGiveMorePower)
{
    const ModalityComponents c = vandyke_given();
    for (Analysis a : {Analysis::random_readers_random_cases, Analysis::fixed_readers_random_cases,
                       Analysis::random_readers_fixed_cases}) {
        double previous = 0.0;
        for (int j = 2; j <= 40; ++j) {
            const double p = find(powered(c, plan_of(j, 163, 0.0438)), a).power;
            expect_growth(previous, p, power::analysis_key(a), j);
            previous = p;
        }
        previous = 0.0;
        for (int k = 2; k <= 2000; k += 7) {
            const double p = power_at(c, plan_of(10, 0, 0.0438), k, a);
            expect_growth(previous, p, power::analysis_key(a), k);
            previous = p;
        }
    }
}

// Without modality x reader variability of either kind (VarTR = 0 and
// Var - Cov1 - C = 0) Hillis's ddf are infinite: the F test becomes the
// chi-square test of fixed readers, with the same power.
TEST(PowerFormulas, NoInteractionGivesTheChiSquareLimit)
{
    const ModalityComponents c{4.0, 1.0, 3.0, 0.0, 0.0, {}, 50};  // C = 3 = Var - Cov1
    const power::PlanPower p = powered(c, plan_of(5, 100, 1.5));
    const AnalysisPower& rr = find(p, Analysis::random_readers_random_cases);
    const AnalysisPower& fr = find(p, Analysis::fixed_readers_random_cases);
    EXPECT_EQ(rr.ddf, inf);
    EXPECT_EQ(rr.statistic, "F");
    EXPECT_NEAR(rr.critical_value, fr.critical_value, 1e-12);  // chi2 / ndf with ndf 1
    EXPECT_NEAR(rr.lambda, fr.lambda, 1e-14);
    EXPECT_NEAR(rr.power, fr.power, 1e-14);
    // The fixed-cases test divides by nothing: no number.
    const AnalysisPower& fc = find(p, Analysis::random_readers_fixed_cases);
    EXPECT_EQ(fc.status, PowerStatus::zero_denominator);
    EXPECT_TRUE(std::isnan(fc.power));
    EXPECT_NE(fc.reason.find("denominator"), std::string::npos);
}

// ---------------------------------------------------------------------------
// No number where none can be given.

TEST(PowerGaps, NothingVariesGivesNoNumber)
{
    const ModalityComponents c{0.0, 0.0, 0.0, 0.0, 0.0, {}, 50};
    for (const AnalysisPower& a : powered(c, plan_of(5, 100, 0.1)).analyses) {
        EXPECT_EQ(a.status, PowerStatus::zero_denominator) << power::analysis_key(a.analysis);
        EXPECT_TRUE(std::isnan(a.power));
        EXPECT_TRUE(std::isnan(a.lambda));
        EXPECT_FALSE(a.ok());
    }
    auto search = power::cases_for_power(c, plan_of(5, 0, 0.1), 0.8);
    ASSERT_TRUE(search) << search.error().message;
    for (const power::CasesForPower& s : *search) {
        EXPECT_FALSE(s.cases);
        EXPECT_EQ(s.power.status, PowerStatus::zero_denominator);
        EXPECT_EQ(s.note, s.power.reason);
    }
}

// A pilot with one reader has no reader pairs: Cov2, Cov3 and VarTR are
// undefined and every analysis says which of them it lacks.
TEST(PowerGaps, OneReaderPilotNamesTheUndefinedComponents)
{
    mrmc::AnalysisOptions options;
    auto pilot = mrmc::analyze(mrmc_test::two_case_matrix({{0.7, 0.8}}, {{0.02, 0.01}}), options);
    ASSERT_TRUE(pilot) << pilot.error().message;
    auto c = mrmc::modality_components(*pilot);
    ASSERT_TRUE(c) << c.error().message;
    EXPECT_TRUE(std::isnan(c->cov2));
    EXPECT_TRUE(std::isnan(c->var_tr));
    const power::PlanPower p = powered(*c, plan_of(5, 100, std::nullopt));
    for (const AnalysisPower& a : p.analyses) {
        EXPECT_EQ(a.status, PowerStatus::undefined_component);
        EXPECT_TRUE(std::isnan(a.power));
    }
    EXPECT_EQ(find(p, Analysis::random_readers_random_cases).reason,
              "no power: Cov2, Cov3 and VarTR are undefined (a pilot with one reader has no "
              "reader pairs)");
    EXPECT_EQ(find(p, Analysis::fixed_readers_random_cases).reason,
              "no power: Cov2 and Cov3 are undefined (a pilot with one reader has no reader "
              "pairs)");
}

// ---------------------------------------------------------------------------
// The smallest number of cases.

// Every K below the one found falls short, checked one by one.
void expect_smallest(const ModalityComponents& c, const Plan& plan, double target,
                     const power::CasesForPower& found)
{
    ASSERT_TRUE(found.cases) << found.note;
    EXPECT_GE(found.power.power, target);
    EXPECT_EQ(power_at(c, plan, *found.cases, found.analysis), found.power.power);
    for (int k = 2; k < *found.cases; ++k)
        ASSERT_LT(power_at(c, plan, k, found.analysis), target)
            << power::analysis_key(found.analysis) << " at " << k << " cases";
}

TEST(CasesSearch, VanDykeSmallestNumbersAreExact)
{
    const ModalityComponents c = vandyke_given();
    for (int readers : {3, 5, 10, 20}) {
        const Plan plan = plan_of(readers, 0, 0.0438);
        auto found = power::cases_for_power(c, plan, 0.8);
        ASSERT_TRUE(found) << found.error().message;
        ASSERT_EQ(found->size(), 3u);
        for (const power::CasesForPower& s : *found) {
            EXPECT_EQ(s.readers, readers);
            EXPECT_EQ(s.target_power, 0.8);
            EXPECT_EQ(s.max_cases, power::default_max_cases);
            if (!s.cases) {
                EXPECT_NE(s.note.find("not reached"), std::string::npos);
                EXPECT_LT(s.power.power, 0.8);
                continue;
            }
            EXPECT_TRUE(s.monotone) << s.note;
            expect_smallest(c, plan, 0.8, s);
        }
    }
}

// With two readers, VarTR alone caps the random-readers power below 80%
// however many cases are read; the fixed-readers test still gets there.
TEST(CasesSearch, ReaderVariabilityCapsThePower)
{
    const Plan plan = plan_of(2, 0, 0.0438);
    auto found = power::cases_for_power(vandyke_given(), plan, 0.8);
    ASSERT_TRUE(found) << found.error().message;
    const power::CasesForPower& rr = found->at(0);
    EXPECT_FALSE(rr.cases);
    EXPECT_EQ(rr.note.rfind("not reached: the power at 100000 cases is 0.", 0), 0u) << rr.note;
    EXPECT_LT(rr.power.power, 0.8);
    EXPECT_TRUE(found->at(1).cases);

    auto small = power::cases_for_power(vandyke_given(), plan_of(10, 0, 0.0438), 0.8, 150);
    ASSERT_TRUE(small) << small.error().message;
    EXPECT_FALSE(small->at(0).cases);  // 163 needed
    EXPECT_NE(small->at(0).note.find("at 150 cases"), std::string::npos);
    EXPECT_EQ(small->at(2).cases, 53);
}

// Two readers and no interaction error (Var - Cov1 - C = 0): as the cases
// grow, lambda rises to J d^2/2 / VarTR but the ddf fall from
// (1 + 2 C / VarTR c)^2 to 1, and the power rises then falls (0.71 at about
// 150 cases, 0.29 at 100,000).  The search still finds the smallest K, and
// says that the power is not monotone.
TEST(CasesSearch, PowerThatRisesAndFalls)
{
    const ModalityComponents c{0.002, 0.001, 0.001, 0.0, 0.001, {}, 100};
    const Plan plan = plan_of(2, 0, 0.15);
    auto found = power::cases_for_power(c, plan, 0.7);
    ASSERT_TRUE(found) << found.error().message;
    const power::CasesForPower& rr = found->at(0);
    EXPECT_FALSE(rr.monotone);
    EXPECT_NE(rr.note.find("not monotone"), std::string::npos) << rr.note;
    expect_smallest(c, plan, 0.7, rr);
    EXPECT_LT(power_at(c, plan, 1000, Analysis::random_readers_random_cases), 0.7);

    auto beyond = power::cases_for_power(c, plan, 0.75);
    ASSERT_TRUE(beyond) << beyond.error().message;
    EXPECT_FALSE(beyond->at(0).cases);
    EXPECT_EQ(beyond->at(0).note.rfind("not reached", 0), 0u) << beyond->at(0).note;
}

TEST(CasesSearch, ReferenceReader)
{
    const ReferenceComponents c{6e-4, 2e-4, 1e-3, -0.05, 114};
    auto found = power::cases_for_power(c, plan_of(8, 0, std::nullopt), 0.9);
    ASSERT_TRUE(found) << found.error().message;
    ASSERT_EQ(found->size(), 2u);
    for (const power::CasesForPower& s : *found) {
        ASSERT_TRUE(s.cases) << s.note;
        EXPECT_GE(s.power.power, 0.9);
        const double before = find(powered(c, plan_of(8, *s.cases - 1, std::nullopt)), s.analysis).power;
        EXPECT_LT(before, 0.9);
    }
}

// ---------------------------------------------------------------------------
// The components of a pilot.

// VarTR = max(MS(TR) - Var + Cov1 + max(Cov2 - Cov3, 0), 0) and
// VarR_psi = max(MS(R)_psi - Var_psi + Cov2_psi, 0).
TEST(PilotComponents, ReaderVariabilityAsPlanningDefinesIt)
{
    mrmc::ModalityAnalysis a;
    a.cov = {4.0, 1.0, 1.0, 2.0};  // Cov2 - Cov3 < 0 counts as 0
    a.ms.tr = 5.0;
    a.modality_means = {0.7, 0.8};
    EXPECT_EQ(mrmc::modality_components(a, 60).var_tr, 2.0);
    a.ms.tr = 2.5;
    EXPECT_EQ(mrmc::modality_components(a, 60).var_tr, 0.0);
    a.cov.cov3 = 0.5;
    EXPECT_EQ(mrmc::modality_components(a, 60).var_tr, 0.0);
    a.ms.tr = 5.0;
    EXPECT_EQ(mrmc::modality_components(a, 60).var_tr, 2.5);

    mrmc::ReferenceAnalysis r;
    r.var = 3.0;
    r.cov2 = 1.0;
    r.ms_r = 4.0;
    r.psi = {0.1, -0.2, 0.4};
    const ReferenceComponents rc = mrmc::reference_components(r, 40);
    EXPECT_EQ(rc.var_r, 2.0);
    EXPECT_NEAR(*rc.mean_psi, 0.1, 1e-15);
    EXPECT_EQ(rc.pilot_cases, 40);
    r.ms_r = 1.0;
    EXPECT_EQ(mrmc::reference_components(r, 40).var_r, 0.0);
}

// ---------------------------------------------------------------------------
// Bad input: an error value whose message names the fault.

void expect_refused(const varnel::Expected<power::PlanPower>& r, const std::string& text)
{
    ASSERT_FALSE(r) << "accepted; expected: " << text;
    EXPECT_NE(r.error().message.find(text), std::string::npos) << r.error().message;
    EXPECT_EQ(r.error().status, 1);
}

TEST(PowerInput, BadComponentsAreRefused)
{
    const Plan plan = plan_of(5, 100, 0.05);
    struct Case {
        ModalityComponents c;
        const char* message;
    };
    const Case cases[] = {
        {{-0.002, 0, 0, 0, 0, {}, 50}, "Var -0.002 is negative"},
        {{inf, 0, 0, 0, 0, {}, 50}, "Var is not a finite number"},
        {{nan_value, 0, 0, 0, 0, {}, 50}, "Var is not a finite number"},
        {{1e-3, nan_value, 0, 0, 0, {}, 50}, "Cov1 is not a finite number"},
        {{1e-3, 0, inf, 0, 0, {}, 50}, "Cov2 is not a finite number"},
        {{1e-3, 0, 0, 0, -0.5, {}, 50}, "VarTR -0.5 is negative"},
        {{1e-3, 2e-3, 0, 0, 0, {}, 50}, "Cov1 0.002 is larger in size than Var 0.001"},
        {{1e-3, 0, 0, -2e-3, 0, {}, 50}, "Cov3 -0.002 is larger in size than Var"},
        {{1.0, 0.5, 0.9, 0.0, 0, {}, 50}, "Var - Cov1 - Cov2 + Cov3 = -0.4"},
        {{1e-3, 0, 0, 0, 0, {0.8, nan_value}, 50}, "modality mean is not a finite number"},
        {{1e-3, 0, 0, 0, 0, {}, 1}, "pilot cases 1"},
    };
    for (const Case& c : cases) expect_refused(power::plan_power(c.c, plan), c.message);

    const Plan reference = plan_of(5, 100, 0.05);
    expect_refused(power::plan_power(ReferenceComponents{-1.0, 0, 0, {}, 50}, reference),
                   "Var_psi -1 is negative");
    expect_refused(power::plan_power(ReferenceComponents{1.0, 2.0, 0, {}, 50}, reference),
                   "Cov2_psi 2 is larger in size than Var_psi 1");
    expect_refused(power::plan_power(ReferenceComponents{1.0, 0, -3.0, {}, 50}, reference),
                   "VarR_psi -3 is negative");
    expect_refused(power::plan_power(ReferenceComponents{1.0, 0, 0, nan_value, 50}, reference),
                   "mean psi is not a finite number");
    expect_refused(power::plan_power(ReferenceComponents{1.0, 0, 0, {}, 0}, reference),
                   "pilot cases 0");
}

TEST(PowerInput, BadPlansAreRefused)
{
    const ModalityComponents c = vandyke_given();
    expect_refused(power::plan_power(c, plan_of(1, 100, 0.05)),
                   "readers 1: a planned study needs at least two readers");
    expect_refused(power::plan_power(c, plan_of(5, 1, 0.05)),
                   "cases 1: a planned study needs at least two cases");
    expect_refused(power::plan_power(c, plan_of(5, 100, 0.0)), "effect 0: give the difference");
    expect_refused(power::plan_power(c, plan_of(5, 100, inf)), "the effect is not a finite number");
    expect_refused(power::plan_power(c, plan_of(5, 100, 0.05, 1)),
                   "modalities 1: a modality comparison needs two or more modalities");
    expect_refused(power::plan_power(c, plan_of(5, 100, std::nullopt)), "no effect");
    for (double alpha : {0.0, 1.0, -0.1, nan_value}) {
        Plan p = plan_of(5, 100, 0.05);
        p.alpha = alpha;
        expect_refused(power::plan_power(c, p), "must lie between 0 and 1");
    }
    ModalityComponents equal = c;
    equal.modality_means = {0.9, 0.9};
    expect_refused(power::plan_power(equal, plan_of(5, 100, std::nullopt)),
                   "modality means are equal");
    ReferenceComponents r{1e-3, 0, 0, 0.0, 50};
    expect_refused(power::plan_power(r, plan_of(5, 100, std::nullopt)), "mean psi is 0");
    r.mean_psi.reset();
    expect_refused(power::plan_power(r, plan_of(5, 100, std::nullopt)), "no effect");
    // A reference analysis is within one modality.
    EXPECT_TRUE(power::plan_power(ReferenceComponents{1e-3, 0, 0, {}, 50}, plan_of(5, 100, 0.1, 1)));

    for (double target : {0.0, 1.0, 1.2}) {
        auto s = power::cases_for_power(c, plan_of(5, 0, 0.05), target);
        ASSERT_FALSE(s);
        EXPECT_NE(s.error().message.find("must lie between 0 and 1"), std::string::npos) << s.error().message;
    }
    auto s = power::cases_for_power(c, plan_of(5, 0, 0.05), 0.8, 1);
    ASSERT_FALSE(s);
    EXPECT_NE(s.error().message.find("must be at least 2"), std::string::npos) << s.error().message;
}

}  // namespace
