// Power and sample size from variance components: the library's plan_power
// for each planned study size, or cases_for_power for each number of
// readers, as one table.
#include <cmath>
#include <string>
#include <vector>

#include "bindings.h"
#include "convert.h"
#include "frame.h"
#include "study_options.h"
#include "varnel/power.h"

namespace varnel::r {

namespace {

using Kind = Frame::Kind;

std::vector<Frame::Column> analysis_columns()
{
    return {{"analysis", Kind::text},  {"statistic", Kind::text}, {"power", Kind::number},
            {"lambda", Kind::number},  {"ndf", Kind::number},     {"ddf", Kind::number},
            {"critical_value", Kind::number}, {"denominator", Kind::number},
            {"reason", Kind::text}};
}

std::vector<Frame::Column> joined(std::vector<Frame::Column> a, const std::vector<Frame::Column>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The plan of one row: the R list with `readers` and `cases` replaced.
power::Plan plan_for(const cpp11::list& plan, int readers, int cases)
{
    power::Plan p = power_plan(plan);
    p.readers = readers;
    p.cases = cases;
    return p;
}

template <class Components>
Expected<cpp11::writable::list> plan_table(const Components& components, const cpp11::list& plan,
                                           const cpp11::integers& readers,
                                           const cpp11::integers& cases)
{
    Frame f(joined({{"readers", Kind::integer},
                    {"cases", Kind::integer},
                    {"modalities", Kind::integer},
                    {"alpha", Kind::number},
                    {"effect", Kind::number},
                    {"effect_sum_squares", Kind::number},
                    {"case_ratio", Kind::number}},
                   analysis_columns()));
    for (const int j : readers)
        for (const int k : cases) {
            Expected<power::PlanPower> p = power::plan_power(components, plan_for(plan, j, k));
            if (!p)
                return p.error();
            for (const power::AnalysisPower& a : p->analyses)
                f.row(p->readers, p->cases, p->modalities, p->alpha, p->effect,
                      p->effect_sum_squares, p->case_ratio,
                      power::analysis_key(a.analysis), a.statistic, a.power,
                      a.lambda, a.ndf, a.ddf, a.critical_value, a.denominator, a.reason);
        }
    return f.columns();
}

template <class Components>
Expected<cpp11::writable::list> cases_table(const Components& components, const cpp11::list& plan,
                                            const cpp11::integers& readers, double target_power,
                                            int max_cases)
{
    Frame f(joined({{"readers", Kind::integer},
                    {"target_power", Kind::number},
                    {"max_cases", Kind::integer},
                    {"cases", Kind::integer},
                    {"monotone", Kind::logical},
                    {"note", Kind::text}},
                   analysis_columns()));
    for (const int j : readers) {
        // plan.cases is not used by the search; 2 keeps the plan valid.
        Expected<std::vector<power::CasesForPower>> found = power::cases_for_power(
            components, plan_for(plan, j, 2), target_power, max_cases);
        if (!found)
            return found.error();
        for (const power::CasesForPower& c : *found) {
            const power::AnalysisPower& a = c.power;
            f.row(c.readers, c.target_power, c.max_cases, c.cases ? Integer{*c.cases} : Integer::na(),
                  c.monotone, c.note, power::analysis_key(a.analysis), a.statistic,
                  a.power, a.lambda, a.ndf, a.ddf, a.critical_value, a.denominator, a.reason);
        }
    }
    return f.columns();
}

cpp11::writable::list result_of(Expected<cpp11::writable::list> table)
{
    if (!table)
        return error_result(table.error());
    return value_result(*table);
}

}  // namespace

cpp11::writable::list study_power_binding(const cpp11::list& components, const cpp11::list& plan,
                                          const cpp11::integers& readers,
                                          const cpp11::integers& cases, double target_power,
                                          int max_cases)
{
    const bool reference = cpp11::as_cpp<std::string>(components["kind"]) == "reference";
    // Without a target power, the power at each number of readers and cases;
    // with one, the cases each number of readers needs.
    if (std::isnan(target_power)) {
        if (reference)
            return result_of(plan_table(reference_components(components), plan, readers, cases));
        return result_of(plan_table(modality_components(components), plan, readers, cases));
    }
    if (reference)
        return result_of(
            cases_table(reference_components(components), plan, readers, target_power, max_cases));
    return result_of(
        cases_table(modality_components(components), plan, readers, target_power, max_cases));
}

}  // namespace varnel::r
