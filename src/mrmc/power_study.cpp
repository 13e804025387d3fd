// The whole planning of a study's size: the plan checked, the pilot analysed
// as `compare` does it, its components, then the powers of every planned
// study or the smallest number of cases per reader count.
#include <algorithm>
#include <charconv>
#include <cmath>

#include "mrmc/compare.h"
#include "mrmc/jackknife.h"
#include "mrmc/pilot.h"
#include "varnel/power.h"

namespace varnel::power {

namespace {

// Shortest text that reads back to x, for messages.
std::string number_text(double x)
{
    char buf[32];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, x);
    return ec == std::errc() ? std::string(buf, end) : std::string("nan");
}

// What can be checked before any work: the lists, alpha, the effect, the
// target power and the number of modalities.  The values themselves are
// checked again by plan_power and cases_for_power.
std::optional<Error> check_options(const PowerOptions& o, bool reference)
{
    if (o.readers.empty())
        return input_error("readers: give the numbers of readers to plan for (2 or more)");
    for (int j : o.readers)
        if (j < 2)
            return input_error("readers " + std::to_string(j) +
                               ": a planned study needs at least two readers" +
                               (reference ? " besides the reference reader" : ""));
    if (o.target_power) {
        if (!(*o.target_power > 0.0 && *o.target_power < 1.0))
            return input_error("power " + number_text(*o.target_power) +
                               " must lie between 0 and 1 (0.8 for 80%)");
    } else {
        if (o.cases.empty())
            return input_error("cases: give the numbers of cases to plan for (2 or more), or a "
                               "target power");
        for (int k : o.cases)
            if (k < 2)
                return input_error("cases " + std::to_string(k) +
                                   ": a planned study needs at least two cases");
    }
    if (!(o.alpha > 0.0 && o.alpha < 1.0))
        return input_error("alpha " + number_text(o.alpha) +
                           " must lie between 0 and 1 (0.05 for tests at the 5% level)");
    if (o.effect && !std::isfinite(*o.effect))
        return input_error("the effect is not a finite number");
    if (o.effect && *o.effect == 0.0)
        return input_error("effect 0: give the difference to detect (it cannot be 0)");
    if (!reference && o.modalities == 1)
        return input_error("modalities 1: a comparison of modalities needs two or more; to compare "
                           "readers with one reference reader (e.g. an algorithm) name the "
                           "reference reader");
    if (o.modalities < 0)
        return input_error("modalities " + std::to_string(o.modalities) +
                           ": give 2 or more, or 0 for the pilot's");
    if (o.target_power && o.max_cases < 2)
        return input_error("the largest number of cases to search, " +
                           std::to_string(o.max_cases) + ", must be at least 2");
    return std::nullopt;
}

Plan plan_of(const PowerOptions& o, int readers, int cases)
{
    Plan p;
    p.readers = readers;
    p.cases = cases;
    p.modalities = o.modalities;
    p.alpha = o.alpha;
    p.effect = o.effect;
    return p;
}

// The powers or the search for every reader count, and the effect used.
template <class Components>
Expected<PowerResult> planned(const Components& components, const PowerOptions& o,
                              PowerResult result)
{
    // The effect and T as the computation resolves them (at any study size).
    Expected<PlanPower> first = plan_power(components, plan_of(o, o.readers.front(), 2));
    if (!first) return first.error();
    result.pilot_cases = components.pilot_cases;
    result.modalities = first->modalities;
    result.alpha = o.alpha;
    result.effect = first->effect;
    result.effect_sum_squares = first->effect_sum_squares;
    result.effect_from_pilot = !o.effect.has_value();
    result.max_cases = o.max_cases;
    result.target_power = o.target_power;
    for (int j : o.readers) {
        if (o.target_power) {
            Expected<std::vector<CasesForPower>> found =
                cases_for_power(components, plan_of(o, j, 2), *o.target_power, o.max_cases);
            if (!found) return found.error();
            for (CasesForPower& s : *found) result.smallest_cases.push_back(std::move(s));
            continue;
        }
        for (int k : o.cases) {
            Expected<PlanPower> p = plan_power(components, plan_of(o, j, k));
            if (!p) return p.error();
            result.powers.push_back(std::move(*p));
        }
    }
    return result;
}

// The names of matrix rows.
std::vector<std::string> reader_names(const mrmc::FomMatrix& x, const std::vector<int>& rows)
{
    std::vector<std::string> names;
    for (int r : rows) names.push_back(x.readers[r]);
    return names;
}

// The pilot's target class: the one asked for, or its only one.
Expected<int> pilot_class(const study::CaseStudy& pilot, int asked)
{
    if (asked != 0) return asked;
    const std::vector<int> classes = mrmc::target_classes(pilot);
    if (classes.size() <= 1) return classes.empty() ? 0 : classes.front();
    std::string list;
    for (std::size_t i = 0; i < classes.size(); ++i)
        list += (i == 0 ? "" : i + 1 == classes.size() ? " and " : ", ") +
                std::to_string(classes[i]);
    return input_error("the pilot has cases of target classes " + list +
                       ": choose the class to plan for (--target)");
}

// The modality whose reference analysis is used (0-based).
Expected<int> reference_modality(const study::CaseStudy& pilot, const std::string& name)
{
    const auto& names = pilot.modalities;
    if (name.empty()) {
        if (names.size() <= 1) return 0;
        return input_error("the pilot has " + std::to_string(names.size()) +
                           " modalities: name the one whose readers are compared with the "
                           "reference reader (--modality)");
    }
    const auto it = std::find(names.begin(), names.end(), name);
    if (it == names.end())
        return input_error("modality \"" + name + "\" is not a modality of the pilot");
    return int(it - names.begin());
}

}  // namespace

Expected<PowerResult> power(const study::CaseStudy& pilot, const PowerOptions& options)
{
    const bool reference = options.pilot.analysis.reference_reader.has_value();
    if (auto e = check_options(options, reference)) return *e;
    if (!reference && !options.reference_modality.empty())
        return input_error("a modality for the reference analysis was given without a reference "
                           "reader");
    Expected<int> target = pilot_class(pilot, options.pilot.target);
    if (!target) return target.error();
    int modality = 0;
    if (reference) {
        Expected<int> m = reference_modality(pilot, options.reference_modality);
        if (!m) return m.error();
        modality = *m;
    }

    mrmc::CompareOptions compare = options.pilot;
    compare.target = *target;
    compare.analysis.alpha = options.alpha;
    Expected<mrmc::CompareResult> analysed = mrmc::compare(pilot, compare);
    if (!analysed) return analysed.error();
    const mrmc::ClassAnalysis& a = analysed->classes.at(0);
    const mrmc::FomMatrix& x = a.matrix;

    PowerResult result;
    result.source = pilot.source;
    result.fom = analysed->fom;
    result.target_class = x.target_class;
    result.pilot_normal_cases = x.normal_cases;
    result.pilot_target_cases = x.target_cases;
    result.pilot_warnings = analysed->warnings;
    if (reference) {
        Expected<ReferenceComponents> c = mrmc::reference_components(a, modality);
        if (!c) return c.error();
        for (const mrmc::ReferenceAnalysis& r : a.references)
            if (r.modality == modality) {
                result.reference_reader = x.readers[r.reference];
                result.pilot_readers = reader_names(x, r.readers);
            }
        result.reference_modality = x.modalities[modality];
        result.pilot_modalities = {x.modalities[modality]};
        result.reference_components = *c;
        return planned(*c, options, std::move(result));
    }
    Expected<ModalityComponents> c = mrmc::modality_components(a);
    if (!c) return c.error();
    result.pilot_readers = reader_names(x, a.modalities->readers);
    result.pilot_modalities = x.modalities;
    result.modality_components = *c;
    return planned(*c, options, std::move(result));
}

Expected<PowerResult> power(const ModalityComponents& components, const PowerOptions& options)
{
    if (auto e = check_options(options, false)) return *e;
    PowerResult result;
    result.modality_components = components;
    return planned(components, options, std::move(result));
}

Expected<PowerResult> power(const ReferenceComponents& components, const PowerOptions& options)
{
    if (auto e = check_options(options, true)) return *e;
    PowerResult result;
    result.reference_components = components;
    result.reference_reader = options.pilot.analysis.reference_reader.value_or("");
    return planned(components, options, std::move(result));
}

}  // namespace varnel::power
