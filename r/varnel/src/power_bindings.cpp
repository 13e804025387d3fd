// Power and sample size: the library's power::power from a pilot study (its
// analysis as compare makes it) or from variance components, its table of
// powers (each planned size) or of the smallest numbers of cases (each
// number of readers), the components it used and its reports.
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

using namespace cpp11::literals;
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

// The powers of every planned size, one row per size and analysis.
cpp11::writable::list powers_table(const power::PowerResult& r)
{
    Frame f(joined({{"readers", Kind::integer},
                    {"cases", Kind::integer},
                    {"modalities", Kind::integer},
                    {"alpha", Kind::number},
                    {"effect", Kind::number},
                    {"effect_sum_squares", Kind::number},
                    {"case_ratio", Kind::number}},
                   analysis_columns()));
    for (const power::PlanPower& p : r.powers)
        for (const power::AnalysisPower& a : p.analyses)
            f.row(p.readers, p.cases, p.modalities, p.alpha, p.effect, p.effect_sum_squares,
                  p.case_ratio, power::analysis_key(a.analysis), a.statistic, a.power, a.lambda,
                  a.ndf, a.ddf, a.critical_value, a.denominator, a.reason);
    return f.columns();
}

// The smallest numbers of cases, one row per number of readers and analysis.
cpp11::writable::list cases_table(const power::PowerResult& r)
{
    Frame f(joined({{"readers", Kind::integer},
                    {"target_power", Kind::number},
                    {"max_cases", Kind::integer},
                    {"cases", Kind::integer},
                    {"monotone", Kind::logical},
                    {"note", Kind::text}},
                   analysis_columns()));
    for (const power::CasesForPower& c : r.smallest_cases) {
        const power::AnalysisPower& a = c.power;
        f.row(c.readers, c.target_power, c.max_cases, c.cases ? Integer{*c.cases} : Integer::na(),
              c.monotone, c.note, power::analysis_key(a.analysis), a.statistic, a.power, a.lambda,
              a.ndf, a.ddf, a.critical_value, a.denominator, a.reason);
    }
    return f.columns();
}

// The components the result used, named as study_power takes them.
cpp11::writable::list components_to_r(const power::PowerResult& r)
{
    if (const auto& c = r.modality_components)
        return cpp11::writable::list({
            "var"_nm = c->var,
            "cov1"_nm = c->cov1,
            "cov2"_nm = c->cov2,
            "cov3"_nm = c->cov3,
            "var_tr"_nm = c->var_tr,
            "modality_means"_nm = cpp11::as_sexp(c->modality_means),
            "pilot_cases"_nm = c->pilot_cases,
        });
    const power::ReferenceComponents& c = *r.reference_components;
    return cpp11::writable::list({
        "var"_nm = c.var,
        "cov2"_nm = c.cov2,
        "var_r"_nm = c.var_r,
        "mean_psi"_nm = c.mean_psi ? *c.mean_psi : NA_REAL,
        "pilot_cases"_nm = c.pilot_cases,
    });
}

// The picture of every analysis the result has, named by its key.
cpp11::writable::strings pictures_to_r(const power::PowerResult& r)
{
    std::vector<power::Analysis> analyses;
    if (r.reference())
        analyses = {power::Analysis::reference_random_readers_random_cases,
                    power::Analysis::reference_random_readers_fixed_cases};
    else
        analyses = {power::Analysis::random_readers_random_cases,
                    power::Analysis::fixed_readers_random_cases,
                    power::Analysis::random_readers_fixed_cases};
    cpp11::writable::strings svg(static_cast<R_xlen_t>(analyses.size()));
    cpp11::writable::strings names(static_cast<R_xlen_t>(analyses.size()));
    for (std::size_t i = 0; i < analyses.size(); ++i) {
        svg[static_cast<R_xlen_t>(i)] = power::format_power_svg(r, analyses[i]);
        names[static_cast<R_xlen_t>(i)] = std::string(power::analysis_key(analyses[i]));
    }
    svg.names() = names;
    return svg;
}

// The warnings of a model-based pilot's fits: kind and message columns.
cpp11::writable::list warnings_to_r(const power::PowerResult& r)
{
    std::vector<std::string> kinds, messages;
    for (const mrmc::CompareWarning& w : r.pilot_warnings) {
        kinds.push_back(mrmc::warning_kind_name(w.kind));
        messages.push_back(w.message);
    }
    return cpp11::writable::list(
        {"kind"_nm = cpp11::as_sexp(kinds), "message"_nm = cpp11::as_sexp(messages)});
}

cpp11::writable::list result_to_r(const power::PowerResult& r)
{
    const bool pilot = r.fom.has_value();
    return cpp11::writable::list({
        "table"_nm = r.target_power ? cases_table(r) : powers_table(r),
        "comparison"_nm = r.reference() ? "reference" : "modalities",
        "components"_nm = components_to_r(r),
        "source"_nm = r.source,
        "fom"_nm = pilot ? cpp11::as_sexp(mrmc::fom_name(*r.fom)) : R_NilValue,
        "target_class"_nm = r.target_class,
        "pilot_readers"_nm = cpp11::as_sexp(r.pilot_readers),
        "pilot_modalities"_nm = cpp11::as_sexp(r.pilot_modalities),
        "pilot_normal_cases"_nm = r.pilot_normal_cases,
        "pilot_target_cases"_nm = r.pilot_target_cases,
        "reference_reader"_nm = r.reference_reader,
        "reference_modality"_nm = r.reference_modality,
        "modalities"_nm = r.modalities,
        "alpha"_nm = r.alpha,
        "effect"_nm = r.effect,
        "effect_from_pilot"_nm = r.effect_from_pilot,
        "text"_nm = power::format_power_text(r),
        "csv"_nm = power::format_power_csv(r),
        "json"_nm = power::format_power_json(r),
        "pictures"_nm = pictures_to_r(r),
        "warnings"_nm = warnings_to_r(r),
    });
}

// The plan of the R list: readers, cases (unused with a target power),
// modalities (0: the pilot's), alpha, effect (NA: the pilot's), target_power
// (NaN: none), max_cases, reference_modality.
power::PowerOptions power_options(const cpp11::list& plan)
{
    power::PowerOptions o;
    o.readers = cpp11::as_cpp<std::vector<int>>(plan["readers"]);
    o.cases = cpp11::as_cpp<std::vector<int>>(plan["cases"]);
    o.modalities = cpp11::as_cpp<int>(plan["modalities"]);
    o.alpha = cpp11::as_cpp<double>(plan["alpha"]);
    if (const double effect = cpp11::as_cpp<double>(plan["effect"]); !std::isnan(effect))
        o.effect = effect;
    if (const double target = cpp11::as_cpp<double>(plan["target_power"]); !std::isnan(target))
        o.target_power = target;
    o.max_cases = cpp11::as_cpp<int>(plan["max_cases"]);
    o.reference_modality = cpp11::as_cpp<std::string>(plan["reference_modality"]);
    return o;
}

cpp11::writable::list result_of(const Expected<power::PowerResult>& result)
{
    if (!result)
        return error_result(result.error());
    return value_result(result_to_r(*result));
}

}  // namespace

cpp11::writable::list study_power_binding(const cpp11::list& components, const cpp11::list& plan)
{
    power::PowerOptions o = power_options(plan);
    if (const SEXP reference = plan["reference"]; reference != R_NilValue)
        o.pilot.analysis.reference_reader = cpp11::as_cpp<std::string>(reference);
    if (cpp11::as_cpp<std::string>(components["kind"]) == "reference")
        return result_of(power::power(reference_components(components), o));
    return result_of(power::power(modality_components(components), o));
}

cpp11::writable::list study_power_pilot_binding(const cpp11::list& cases,
                                                const cpp11::list& compare,
                                                const cpp11::list& plan)
{
    Expected<mrmc::CompareOptions> pilot = compare_options(compare);
    if (!pilot)
        return error_result(pilot.error());
    Expected<study::CaseStudy> study = case_study(cases);
    if (!study)
        return error_result(study.error());
    power::PowerOptions o = power_options(plan);
    o.pilot = std::move(*pilot);
    InterruptWatch watch(o.pilot.run);
    Expected<power::PowerResult> result = power::power(*study, o);
    watch.resume();
    return result_of(result);
}

}  // namespace varnel::r
