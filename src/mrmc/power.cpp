// Power and sample size from variance components (Hillis, Obuchowski and
// Berbaum 2011): the formulas of varnel/power.h, the noncentral F and
// chi-square distributions of Boost.Math, and the search for the smallest
// number of cases.
#include "varnel/power.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <limits>
#include <stdexcept>

#include <boost/math/distributions/chi_squared.hpp>
#include <boost/math/distributions/fisher_f.hpp>
#include <boost/math/distributions/non_central_chi_squared.hpp>
#include <boost/math/distributions/non_central_f.hpp>

namespace varnel::power {

namespace {

constexpr double nan_value = std::numeric_limits<double>::quiet_NaN();
constexpr double infinity = std::numeric_limits<double>::infinity();
// A covariance may exceed the variance by rounding of the jackknife sums
// only; beyond this fraction of Var the components are refused.
constexpr double rounding_allowance = 1e-9;
// Powers that differ by less than this count as equal when the search looks
// for a fall in power as the cases grow.
constexpr double power_resolution = 1e-12;

// Arguments are checked before every call; the policy turns anything that
// still slips through into NaN rather than an exception.
using quiet_policy = boost::math::policies::policy<
    boost::math::policies::domain_error<boost::math::policies::ignore_error>,
    boost::math::policies::overflow_error<boost::math::policies::ignore_error>,
    boost::math::policies::evaluation_error<boost::math::policies::ignore_error>>;

// Shortest text that reads back to x, for messages.
std::string number_text(double x)
{
    char buf[32];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, x);
    return ec == std::errc() ? std::string(buf, end) : std::string("nan");
}

// A power for a message, to four decimals.
std::string power_text(double p)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.4f", p);
    return buf;
}

// ---------------------------------------------------------------------------
// Checks of the input.

// A component that must be a number >= 0.
std::optional<Error> check_variance(const char* name, double value)
{
    if (!std::isfinite(value)) return input_error(std::string(name) + " is not a finite number");
    if (value < 0.0)
        return input_error(std::string(name) + " " + number_text(value) +
                     " is negative; a variance component is 0 or more");
    return std::nullopt;
}

// A component that may be undefined (NaN) but not infinite, and when it is a
// variance not negative.
std::optional<Error> check_optional(const char* name, double value, bool variance)
{
    if (std::isnan(value)) return std::nullopt;
    if (std::isinf(value)) return input_error(std::string(name) + " is not a finite number");
    if (variance) return check_variance(name, value);
    return std::nullopt;
}

// |cov| <= var holds for averages of jackknife covariances (Cauchy-Schwarz).
std::optional<Error> check_covariance(const char* name, double cov, const char* var_name,
                                      double var)
{
    if (std::isnan(cov)) return std::nullopt;
    if (std::fabs(cov) > var * (1.0 + rounding_allowance))
        return input_error(std::string(name) + " " + number_text(cov) + " is larger in size than " +
                     var_name + " " + number_text(var) +
                     "; a covariance cannot exceed the variance");
    return std::nullopt;
}

std::optional<Error> check_pilot_cases(int pilot_cases)
{
    if (pilot_cases < 2)
        return input_error("pilot cases " + std::to_string(pilot_cases) +
                     ": the components need the number of cases they were estimated on (2 or "
                     "more)");
    return std::nullopt;
}

std::optional<Error> check_components(const ModalityComponents& m)
{
    if (auto e = check_variance("Var", m.var)) return e;
    if (!std::isfinite(m.cov1)) return input_error("Cov1 is not a finite number");
    if (auto e = check_optional("Cov2", m.cov2, false)) return e;
    if (auto e = check_optional("Cov3", m.cov3, false)) return e;
    if (auto e = check_optional("VarTR", m.var_tr, true)) return e;
    if (auto e = check_covariance("Cov1", m.cov1, "Var", m.var)) return e;
    if (auto e = check_covariance("Cov2", m.cov2, "Var", m.var)) return e;
    if (auto e = check_covariance("Cov3", m.cov3, "Var", m.var)) return e;
    // (T - 1)(J - 1)(Var - Cov1 - Cov2 + Cov3) is the trace of the
    // interaction projection times a covariance matrix: never negative.
    const double interaction = m.var - m.cov1 - m.cov2 + m.cov3;
    if (interaction < -rounding_allowance * m.var)
        return input_error("Var - Cov1 - Cov2 + Cov3 = " + number_text(interaction) +
                     " is negative; these cannot be the covariances of a study (it is the "
                     "error variance of the modality x reader interaction)");
    for (double tau : m.modality_means)
        if (!std::isfinite(tau)) return input_error("a pilot modality mean is not a finite number");
    return check_pilot_cases(m.pilot_cases);
}

std::optional<Error> check_components(const ReferenceComponents& r)
{
    if (auto e = check_variance("Var_psi", r.var)) return e;
    if (auto e = check_optional("Cov2_psi", r.cov2, false)) return e;
    if (auto e = check_optional("VarR_psi", r.var_r, true)) return e;
    if (auto e = check_covariance("Cov2_psi", r.cov2, "Var_psi", r.var)) return e;
    if (r.mean_psi && !std::isfinite(*r.mean_psi))
        return input_error("the pilot's mean psi is not a finite number");
    return check_pilot_cases(r.pilot_cases);
}

// Readers, alpha and the effect's value; the cases are checked by the caller
// (the search does not use them).
std::optional<Error> check_plan(const Plan& plan)
{
    if (plan.readers < 2)
        return input_error("readers " + std::to_string(plan.readers) +
                     ": a planned study needs at least two readers");
    if (!(plan.alpha > 0.0 && plan.alpha < 1.0))
        return input_error("alpha " + number_text(plan.alpha) +
                     " must lie between 0 and 1 (0.05 for tests at the 5% level)");
    if (plan.effect) {
        if (!std::isfinite(*plan.effect))
            return input_error("the effect is not a finite number");
        if (*plan.effect == 0.0)
            return input_error("effect 0: give the difference to detect (it cannot be 0)");
    }
    return std::nullopt;
}

std::optional<Error> check_cases(int cases)
{
    if (cases < 2)
        return input_error("cases " + std::to_string(cases) +
                     ": a planned study needs at least two cases");
    return std::nullopt;
}

// ---------------------------------------------------------------------------
// The effect.

// The effect of a modality comparison: T, d and sum (tau_i - mean)^2.
struct ModalityEffect {
    int modalities = 0;
    double effect = 0.0;
    double sum_squares = 0.0;
};

Expected<ModalityEffect> modality_effect(const ModalityComponents& m, const Plan& plan)
{
    const int pilot_modalities = int(m.modality_means.size());
    const int nm = plan.modalities != 0 ? plan.modalities
                   : pilot_modalities != 0 ? pilot_modalities
                                           : 2;
    if (nm < 2)
        return input_error("modalities " + std::to_string(nm) +
                     ": a modality comparison needs two or more modalities; to compare readers "
                     "with one reference reader (e.g. an algorithm) use the reference "
                     "components");
    if (plan.effect) return ModalityEffect{nm, *plan.effect, *plan.effect * *plan.effect / 2.0};
    if (pilot_modalities < 2)
        return input_error("no effect: give the difference to detect (the components carry no pilot "
                     "modality means)");
    if (nm != pilot_modalities)
        return input_error("the pilot has " + std::to_string(pilot_modalities) +
                     " modality means; for " + std::to_string(nm) +
                     " modalities give the difference to detect");
    double mean = 0.0;
    for (double tau : m.modality_means) mean += tau;
    mean /= nm;
    double ss = 0.0;
    for (double tau : m.modality_means) ss += (tau - mean) * (tau - mean);
    if (!(ss > 0.0))
        return input_error("the pilot's modality means are equal: there is no observed difference to "
                     "plan for; give the difference to detect");
    const double d = nm == 2 ? m.modality_means[0] - m.modality_means[1] : nan_value;
    return ModalityEffect{nm, d, ss};
}

Expected<double> reference_effect(const ReferenceComponents& r, const Plan& plan)
{
    if (plan.effect) return *plan.effect;
    if (!r.mean_psi)
        return input_error("no effect: give the difference to detect (the components carry no pilot "
                     "mean psi)");
    if (*r.mean_psi == 0.0)
        return input_error("the pilot's mean psi is 0: there is no observed difference to plan for; "
                     "give the difference to detect");
    return *r.mean_psi;
}

// ---------------------------------------------------------------------------
// One test at one study size.

// A named component an analysis uses.
struct Named {
    const char* name;
    double value;
};

// The reason of an analysis without a number for its undefined components.
std::string undefined_text(std::initializer_list<Named> used, const char* why)
{
    std::vector<const char*> names;
    for (const Named& c : used)
        if (std::isnan(c.value)) names.push_back(c.name);
    std::string list;
    for (std::size_t i = 0; i < names.size(); ++i)
        list += std::string(i == 0 ? "" : i + 1 == names.size() ? " and " : ", ") + names[i];
    return "no power: " + (list.empty() ? std::string("a component") : list) +
           (names.size() > 1 ? " are" : " is") + " undefined (" + why + ")";
}

// What an analysis divides by at one study size: D, and the ddf (+inf for the
// chi-square form or where its denominator is 0); NaN marks an undefined
// component.
struct TestShape {
    double denominator = 0.0;
    double ddf = 0.0;
};

// ddf = scale D^2 / base^2, infinite where base is 0 (the F test's limit).
double hillis_ddf(double scale, double d, double base)
{
    if (std::isnan(d) || std::isnan(base)) return nan_value;
    return base == 0.0 ? infinity : scale * (d / base) * (d / base);
}

// The tests of a modality comparison (see varnel/power.h).
struct ModalityModel {
    ModalityComponents m;
    double case_random, case_fixed;  // Var - Cov1 + (J - 1) C, Var - Cov1 - C
    double df_scale;                 // (T - 1)(J - 1)

    ModalityModel(const ModalityComponents& components, int readers, int modalities)
        : m(components)
    {
        const double c = std::isnan(m.cov2 - m.cov3) ? nan_value : std::max(m.cov2 - m.cov3, 0.0);
        case_random = m.var - m.cov1 + (readers - 1) * c;
        case_fixed = m.var - m.cov1 - c;
        df_scale = double(modalities - 1) * (readers - 1);
    }

    TestShape shape(Analysis a, double ratio) const
    {
        switch (a) {
        case Analysis::random_readers_random_cases: {
            const double d = m.var_tr + ratio * case_random;
            return {d, hillis_ddf(df_scale, d, m.var_tr + ratio * case_fixed)};
        }
        case Analysis::fixed_readers_random_cases:
            return {ratio * case_random, infinity};
        default:
            return {m.var_tr + ratio * case_fixed, df_scale};
        }
    }

    std::string undefined(Analysis a) const
    {
        const char* why = "a pilot with one reader has no reader pairs";
        if (a == Analysis::fixed_readers_random_cases)
            return undefined_text({{"Cov2", m.cov2}, {"Cov3", m.cov3}}, why);
        return undefined_text({{"Cov2", m.cov2}, {"Cov3", m.cov3}, {"VarTR", m.var_tr}}, why);
    }
};

// The tests of a reference reader.
struct ReferenceModel {
    ReferenceComponents r;
    double case_random, case_fixed;  // Var + (J - 1) C, Var - C
    double df_scale;                 // J - 1

    ReferenceModel(const ReferenceComponents& components, int readers) : r(components)
    {
        const double c = std::isnan(r.cov2) ? nan_value : std::max(r.cov2, 0.0);
        case_random = r.var + (readers - 1) * c;
        case_fixed = r.var - c;
        df_scale = readers - 1.0;
    }

    TestShape shape(Analysis a, double ratio) const
    {
        if (a == Analysis::reference_random_readers_random_cases) {
            const double d = r.var_r + ratio * case_random;
            return {d, hillis_ddf(df_scale, d, r.var_r + ratio * case_fixed)};
        }
        return {r.var_r + ratio * case_fixed, df_scale};
    }

    std::string undefined(Analysis) const
    {
        return undefined_text({{"Cov2_psi", r.cov2}, {"VarR_psi", r.var_r}},
                              "a pilot with one reader besides the reference has no reader pairs");
    }
};

// The 1 - alpha quantile of F(ndf, ddf), NaN where it cannot be evaluated.
// (The default policy: with the quiet one g++ warns about Boost's own code.)
double f_critical(double alpha, double ndf, double ddf)
{
    try {
        const boost::math::fisher_f_distribution<double> null(ndf, ddf);
        return boost::math::quantile(boost::math::complement(null, alpha));
    } catch (const std::exception&) {
        return nan_value;
    }
}

// P(reject) of a test on (ndf, ddf) with noncentrality lambda, and the
// critical value: the F test (the chi-square form of ndf F when ddf is
// infinite), or the chi-square test itself.  Boost's noncentral upper tail is
// wrong at lambda = 0, where the power is alpha by definition.
void fill_power(AnalysisPower& p, double alpha, bool chi_square_statistic)
{
    namespace bm = boost::math;
    if (std::isinf(p.ddf)) {
        const bm::chi_squared_distribution<double, quiet_policy> null(p.ndf);
        const double chi2_critical = bm::quantile(bm::complement(null, alpha));
        p.critical_value = chi_square_statistic ? chi2_critical : chi2_critical / p.ndf;
        if (p.lambda == 0.0) {
            p.power = alpha;
        } else {
            const bm::non_central_chi_squared_distribution<double, quiet_policy> alt(p.ndf,
                                                                                     p.lambda);
            p.power = bm::cdf(bm::complement(alt, chi2_critical));
        }
        return;
    }
    p.critical_value = f_critical(alpha, p.ndf, p.ddf);
    if (p.lambda == 0.0) {
        p.power = alpha;
    } else {
        const bm::non_central_f_distribution<double, quiet_policy> alt(p.ndf, p.ddf, p.lambda);
        p.power = bm::cdf(bm::complement(alt, p.critical_value));
    }
}

// The analysis for a test shape and lambda's numerator J sum (tau_i - mean)^2.
template <class Model>
AnalysisPower analysis_power(const Model& model, Analysis a, const TestShape& s, double numerator,
                             double ndf, double alpha)
{
    AnalysisPower p;
    p.analysis = a;
    p.ndf = ndf;
    p.ddf = s.ddf;
    p.denominator = s.denominator;
    p.statistic = a == Analysis::fixed_readers_random_cases ? "chi2" : "F";
    p.power = p.lambda = p.critical_value = nan_value;
    if (std::isnan(s.denominator) || std::isnan(s.ddf)) {
        p.status = PowerStatus::undefined_component;
        p.reason = model.undefined(a);
        return p;
    }
    p.lambda = numerator / s.denominator;
    if (!(s.denominator > 0.0) || std::isinf(p.lambda)) {
        p.status = PowerStatus::zero_denominator;
        p.reason = "no power: the denominator of lambda is 0 (no variability of the kind this "
                   "test divides by)";
        p.lambda = nan_value;
        return p;
    }
    fill_power(p, alpha, a == Analysis::fixed_readers_random_cases);
    if (std::isnan(p.power)) {  // not expected after the checks; never report it as a number
        p.status = PowerStatus::undefined_component;
        p.reason = "no power: the noncentral distribution could not be evaluated";
    }
    return p;
}

constexpr Analysis modality_analyses[] = {Analysis::random_readers_random_cases,
                                          Analysis::fixed_readers_random_cases,
                                          Analysis::random_readers_fixed_cases};
constexpr Analysis reference_analyses[] = {Analysis::reference_random_readers_random_cases,
                                           Analysis::reference_random_readers_fixed_cases};

// Everything one kind of analysis needs to give its power at any case count.
template <class Model>
struct Evaluator {
    Model model;
    double numerator;  // J sum (tau_i - mean)^2
    double ndf;
    double alpha;
    int pilot_cases;

    double ratio(int cases) const { return double(pilot_cases) / cases; }

    AnalysisPower at(Analysis a, int cases) const
    {
        return analysis_power(model, a, model.shape(a, ratio(cases)), numerator, ndf, alpha);
    }

    // The power with lambda at `lambda_cases` and the ddf at `ddf_cases`.
    double mixed(Analysis a, int lambda_cases, int ddf_cases) const
    {
        TestShape s = model.shape(a, ratio(lambda_cases));
        s.ddf = model.shape(a, ratio(ddf_cases)).ddf;
        return analysis_power(model, a, s, numerator, ndf, alpha).power;
    }
};

Evaluator<ModalityModel> modality_evaluator(const ModalityComponents& m, const Plan& plan,
                                            const ModalityEffect& effect)
{
    return {ModalityModel(m, plan.readers, effect.modalities), plan.readers * effect.sum_squares,
            effect.modalities - 1.0, plan.alpha, m.pilot_cases};
}

Evaluator<ReferenceModel> reference_evaluator(const ReferenceComponents& r, const Plan& plan,
                                              double effect)
{
    return {ReferenceModel(r, plan.readers), plan.readers * effect * effect, 1.0, plan.alpha,
            r.pilot_cases};
}

template <class Model, std::size_t N>
PlanPower power_table(const Evaluator<Model>& e, const Analysis (&analyses)[N], const Plan& plan,
                      int modalities, double effect, double sum_squares)
{
    PlanPower out;
    out.readers = plan.readers;
    out.cases = plan.cases;
    out.modalities = modalities;
    out.alpha = plan.alpha;
    out.effect = effect;
    out.effect_sum_squares = sum_squares;
    out.case_ratio = e.ratio(plan.cases);
    for (Analysis a : analyses) out.analyses.push_back(e.at(a, plan.cases));
    return out;
}

// ---------------------------------------------------------------------------
// The smallest number of cases.

// Smallest K in [lo, hi] whose power reaches the target, by halving: a range
// is dropped when the power with its largest K's lambda and its smallest K's
// ddf falls short.  Lambda grows with K and the ddf shrinks, and the power
// grows with both, so that pairing bounds the power of every K in the range.
template <class Model>
std::optional<int> first_reaching(const Evaluator<Model>& e, Analysis a, double target, int lo,
                                  int hi)
{
    if (!(e.mixed(a, hi, lo) >= target)) return std::nullopt;
    if (lo == hi) return lo;
    const int mid = lo + (hi - lo) / 2;
    if (const std::optional<int> k = first_reaching(e, a, target, lo, mid)) return k;
    return first_reaching(e, a, target, mid + 1, hi);
}

// Where the power falls as the cases grow, among K = 2, 4, 8, ... max and
// around the K found; "" when it does not.
template <class Model>
std::string power_fall(const Evaluator<Model>& e, Analysis a, std::optional<int> found, int max)
{
    std::vector<int> sizes;
    for (long long k = 2; k < max; k *= 2) sizes.push_back(int(k));
    sizes.push_back(max);
    if (found) {
        sizes.push_back(*found);
        if (*found > 2) sizes.push_back(*found - 1);
    }
    std::sort(sizes.begin(), sizes.end());
    sizes.erase(std::unique(sizes.begin(), sizes.end()), sizes.end());
    double previous = -1.0;
    int previous_k = 0;
    for (int k : sizes) {
        const double p = e.at(a, k).power;
        if (p < previous - power_resolution)
            return "the power is not monotone in the number of cases: it falls from " +
                   power_text(previous) + " at " + std::to_string(previous_k) + " cases to " +
                   power_text(p) + " at " + std::to_string(k) +
                   "; the smallest number is exact, but larger numbers may fall short";
        previous = p;
        previous_k = k;
    }
    return {};
}

template <class Model, std::size_t N>
std::vector<CasesForPower> search_all(const Evaluator<Model>& e, const Analysis (&analyses)[N],
                                      int readers, double target, int max_cases)
{
    std::vector<CasesForPower> out;
    for (Analysis a : analyses) {
        CasesForPower s;
        s.analysis = a;
        s.readers = readers;
        s.target_power = target;
        s.max_cases = max_cases;
        s.power = e.at(a, max_cases);
        if (!s.power.ok()) {  // no number at any size: D and the ddf scale alike in K
            s.note = s.power.reason;
            out.push_back(std::move(s));
            continue;
        }
        s.cases = first_reaching(e, a, target, 2, max_cases);
        if (s.cases) s.power = e.at(a, *s.cases);
        const std::string fall = power_fall(e, a, s.cases, max_cases);
        s.monotone = fall.empty();
        if (!s.cases)
            s.note = "not reached: the power at " + std::to_string(max_cases) + " cases is " +
                     power_text(s.power.power);
        if (!fall.empty()) s.note += (s.note.empty() ? "" : "; ") + fall;
        out.push_back(std::move(s));
    }
    return out;
}

std::optional<Error> check_search(double target_power, int max_cases)
{
    if (!(target_power > 0.0 && target_power < 1.0))
        return input_error("power " + number_text(target_power) +
                     " must lie between 0 and 1 (0.8 for 80%)");
    if (max_cases < 2)
        return input_error("the largest number of cases to search, " + std::to_string(max_cases) +
                     ", must be at least 2");
    return std::nullopt;
}

}  // namespace

std::string_view analysis_key(Analysis analysis)
{
    switch (analysis) {
    case Analysis::random_readers_random_cases: return "random_readers_random_cases";
    case Analysis::fixed_readers_random_cases: return "fixed_readers_random_cases";
    case Analysis::random_readers_fixed_cases: return "random_readers_fixed_cases";
    case Analysis::reference_random_readers_random_cases:
        return "reference_random_readers_random_cases";
    case Analysis::reference_random_readers_fixed_cases:
        return "reference_random_readers_fixed_cases";
    }
    return "unknown";
}

std::string_view analysis_label(Analysis analysis)
{
    switch (analysis) {
    case Analysis::random_readers_random_cases: return "random readers, random cases";
    case Analysis::fixed_readers_random_cases: return "fixed readers, random cases";
    case Analysis::random_readers_fixed_cases: return "random readers, fixed cases";
    case Analysis::reference_random_readers_random_cases:
        return "reference reader: random readers, random cases";
    case Analysis::reference_random_readers_fixed_cases:
        return "reference reader: random readers, fixed cases";
    }
    return "unknown";
}

Expected<PlanPower> plan_power(const ModalityComponents& components, const Plan& plan)
{
    if (auto e = check_components(components)) return *e;
    if (auto e = check_plan(plan)) return *e;
    if (auto e = check_cases(plan.cases)) return *e;
    Expected<ModalityEffect> effect = modality_effect(components, plan);
    if (!effect) return effect.error();
    return power_table(modality_evaluator(components, plan, *effect), modality_analyses, plan,
                       effect->modalities, effect->effect, effect->sum_squares);
}

Expected<PlanPower> plan_power(const ReferenceComponents& components, const Plan& plan)
{
    if (auto e = check_components(components)) return *e;
    if (auto e = check_plan(plan)) return *e;
    if (auto e = check_cases(plan.cases)) return *e;
    Expected<double> effect = reference_effect(components, plan);
    if (!effect) return effect.error();
    return power_table(reference_evaluator(components, plan, *effect), reference_analyses, plan,
                       1, *effect, *effect * *effect);
}

Expected<std::vector<CasesForPower>> cases_for_power(const ModalityComponents& components,
                                                   const Plan& plan, double target_power,
                                                   int max_cases)
{
    if (auto e = check_components(components)) return *e;
    if (auto e = check_plan(plan)) return *e;
    if (auto e = check_search(target_power, max_cases)) return *e;
    Expected<ModalityEffect> effect = modality_effect(components, plan);
    if (!effect) return effect.error();
    return search_all(modality_evaluator(components, plan, *effect), modality_analyses,
                      plan.readers, target_power, max_cases);
}

Expected<std::vector<CasesForPower>> cases_for_power(const ReferenceComponents& components,
                                                   const Plan& plan, double target_power,
                                                   int max_cases)
{
    if (auto e = check_components(components)) return *e;
    if (auto e = check_plan(plan)) return *e;
    if (auto e = check_search(target_power, max_cases)) return *e;
    Expected<double> effect = reference_effect(components, plan);
    if (!effect) return effect.error();
    return search_all(reference_evaluator(components, plan, *effect), reference_analyses,
                      plan.readers, target_power, max_cases);
}

}  // namespace varnel::power
