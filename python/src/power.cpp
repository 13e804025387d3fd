// varnel.power: the power of each significance test for planned numbers of
// readers and cases, or the cases that reach a target power, from a pilot
// study or from variance components (power::power, varnel/power.h).
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nanobind/stl/optional.h>
#include <nanobind/stl/string.h>
#include <nanobind/stl/vector.h>

#include "bindings.h"
#include "varnel/cases.h"
#include "varnel/compare.h"
#include "varnel/power.h"

namespace varnel::python {

namespace {

using namespace nb::literals;
using power::AnalysisPower;
using power::ModalityComponents;
using power::ReferenceComponents;

const char* status_name(power::PowerStatus status)
{
    switch (status) {
    case power::PowerStatus::ok: return "ok";
    case power::PowerStatus::zero_denominator: return "zero_denominator";
    case power::PowerStatus::undefined_component: return "undefined_component";
    }
    return "unknown";
}

// The columns of one analysis's power, added to a frame and filled row by row.
struct AnalysisColumns {
    std::vector<std::string>& analysis;
    std::vector<std::string>& statistic;
    std::vector<double>&power, &lambda, &ndf, &ddf, &critical_value, &denominator;
    std::vector<std::string>&status, &reason;

    static AnalysisColumns add(Frame& f)
    {
        return {f.text("analysis"),       f.text("statistic"), f.number("power"),
                f.number("lambda"),       f.number("ndf"),     f.number("ddf"),
                f.number("critical_value"), f.number("denominator"), f.text("status"),
                f.text("reason")};
    }
    void push(const AnalysisPower& a)
    {
        analysis.emplace_back(power::analysis_key(a.analysis));
        statistic.push_back(a.statistic);
        power.push_back(a.power);
        lambda.push_back(a.lambda);
        ndf.push_back(a.ndf);
        ddf.push_back(a.ddf);
        critical_value.push_back(a.critical_value);
        denominator.push_back(a.denominator);
        status.push_back(status_name(a.status));
        reason.push_back(a.reason);
    }
};

// The powers of a whole planning, one row per planned (readers, cases) and
// analysis, in the columns of the plan table.
nb::dict powers_table(const power::PowerResult& r)
{
    Frame f;
    auto& readers_column = f.integer("readers");
    auto& cases_column = f.integer("cases");
    auto& modalities_column = f.integer("modalities");
    auto& alpha_column = f.number("alpha");
    auto& effect_column = f.number("effect");
    auto& sum_squares = f.number("effect_sum_squares");
    auto& case_ratio = f.number("case_ratio");
    AnalysisColumns columns = AnalysisColumns::add(f);
    for (const power::PlanPower& p : r.powers)
        for (const AnalysisPower& a : p.analyses) {
            readers_column.push_back(p.readers);
            cases_column.push_back(p.cases);
            modalities_column.push_back(p.modalities);
            alpha_column.push_back(p.alpha);
            effect_column.push_back(p.effect);
            sum_squares.push_back(p.effect_sum_squares);
            case_ratio.push_back(p.case_ratio);
            columns.push(a);
        }
    return f.columns();
}

// The smallest numbers of cases of a whole planning, in the columns of the
// cases-for-power table (the hidden column _reached as there).
nb::dict smallest_cases_table(const power::PowerResult& r)
{
    Frame f;
    auto& readers_column = f.integer("readers");
    auto& target_column = f.number("target_power");
    auto& cases_column = f.integer("cases");
    AnalysisColumns columns = AnalysisColumns::add(f);
    auto& max_column = f.integer("max_cases");
    auto& monotone = f.flag("monotone");
    auto& note = f.text("note");
    auto& reached = f.flag("_reached");
    for (const power::CasesForPower& c : r.smallest_cases) {
        readers_column.push_back(c.readers);
        target_column.push_back(c.target_power);
        cases_column.push_back(c.cases.value_or(0));
        columns.push(c.power);
        max_column.push_back(c.max_cases);
        monotone.push_back(c.monotone);
        note.push_back(c.note);
        reached.push_back(c.cases.has_value());
    }
    return f.columns();
}

// The whole planning from a pilot study (its analysis as compare makes it,
// on `threads` threads) or from components given directly.
power::PowerResult plan_study(nb::handle input, const power::PowerOptions& given, int threads,
                              nb::object progress)
{
    if (nb::isinstance<ModalityComponents>(input))
        return take(power::power(nb::cast<const ModalityComponents&>(input), given));
    if (nb::isinstance<ReferenceComponents>(input))
        return take(power::power(nb::cast<const ReferenceComponents&>(input), given));
    const study::CaseStudy& pilot = nb::cast<const study::CaseStudy&>(input);
    power::PowerOptions options = given;
    Run run(threads, std::move(progress));
    options.pilot.run = run.control();
    Expected<power::PowerResult> result = Error{};
    {
        nb::gil_scoped_release unlocked;
        result = power::power(pilot, options);
    }
    return run.finish(std::move(result));
}

std::optional<power::Analysis> analysis_named(const std::optional<std::string>& name)
{
    if (!name)
        return std::nullopt;
    using A = power::Analysis;
    for (A a : {A::random_readers_random_cases, A::fixed_readers_random_cases,
                A::random_readers_fixed_cases, A::reference_random_readers_random_cases,
                A::reference_random_readers_fixed_cases})
        if (power::analysis_key(a) == *name)
            return a;
    throw Failure(input_error("analysis: \"" + *name + "\" is not one of the analyses "
                              "(random_readers_random_cases, ...)"));
}

constexpr const char* modality_doc =
    R"doc(Variance components of a comparison of two or more modalities (the
Obuchowski-Rockette model), for a pilot study of ``pilot_cases`` cases, as
the compare report prints them.

Args:
    var: Var, the error variance of a reader's FOM in one modality.
    cov1: Cov1, the covariance for the same reader in different modalities.
    cov2: Cov2, for different readers in the same modality.
    cov3: Cov3, for different readers in different modalities.
    var_tr: VarTR, the modality x reader variance component (0 or more).
    modality_means: the pilot's reader-averaged FOM per modality: the effect
        to detect when :func:`power` is given none (empty: give the effect).
    pilot_cases: K*, the cases the covariances were estimated on (2 or more).

A pilot with one reader leaves Cov2, Cov3 and VarTR undefined: give NaN,
and the analyses that need them say so instead of giving a number.)doc";

constexpr const char* reference_doc =
    R"doc(Variance components of a reference reader (e.g. an algorithm) against the
other readers in one modality, from psi_j = FOM_j - FOM_reference, for a
pilot study of ``pilot_cases`` cases.

Args:
    var: Var_psi, the jackknife variance of a reader's psi.
    cov2: Cov2_psi, the covariance of the psi of two different readers.
    var_r: VarR_psi, the reader variance component of psi (0 or more).
    mean_psi: the pilot's mean psi: the effect to detect when :func:`power`
        is given none.
    pilot_cases: K*, 2 or more.)doc";

}  // namespace

void bind_power(nb::module_& m)
{
    nb::class_<ModalityComponents>(m, "ModalityComponents", modality_doc)
        .def(
            "__init__",
            [](ModalityComponents* self, double var, double cov1, double cov2, double cov3,
               double var_tr, std::vector<double> modality_means, int pilot_cases) {
                new (self) ModalityComponents{var,    cov1, cov2, cov3, var_tr,
                                              std::move(modality_means), pilot_cases};
            },
            nb::kw_only(), "var"_a, "cov1"_a, "cov2"_a, "cov3"_a, "var_tr"_a,
            "modality_means"_a = std::vector<double>(), "pilot_cases"_a,
            "Makes the components; see the class documentation.")
        .def_rw("var", &ModalityComponents::var, "Var.")
        .def_rw("cov1", &ModalityComponents::cov1, "Cov1.")
        .def_rw("cov2", &ModalityComponents::cov2, "Cov2.")
        .def_rw("cov3", &ModalityComponents::cov3, "Cov3.")
        .def_rw("var_tr", &ModalityComponents::var_tr, "VarTR.")
        .def_rw("modality_means", &ModalityComponents::modality_means,
                "The pilot's reader-averaged FOM per modality.")
        .def_rw("pilot_cases", &ModalityComponents::pilot_cases, "K*.")
        .def("__repr__", [](const ModalityComponents& c) {
            return nb::str("ModalityComponents(var={!r}, cov1={!r}, cov2={!r}, cov3={!r}, "
                           "var_tr={!r}, modality_means={!r}, pilot_cases={})")
                .format(c.var, c.cov1, c.cov2, c.cov3, c.var_tr, nb::cast(c.modality_means),
                        c.pilot_cases);
        });

    nb::class_<ReferenceComponents>(m, "ReferenceComponents", reference_doc)
        .def(
            "__init__",
            [](ReferenceComponents* self, double var, double cov2, double var_r,
               std::optional<double> mean_psi, int pilot_cases) {
                new (self) ReferenceComponents{var, cov2, var_r, mean_psi, pilot_cases};
            },
            nb::kw_only(), "var"_a, "cov2"_a, "var_r"_a, "mean_psi"_a = nb::none(),
            "pilot_cases"_a, "Makes the components; see the class documentation.")
        .def_rw("var", &ReferenceComponents::var, "Var_psi.")
        .def_rw("cov2", &ReferenceComponents::cov2, "Cov2_psi.")
        .def_rw("var_r", &ReferenceComponents::var_r, "VarR_psi.")
        .def_rw("mean_psi", &ReferenceComponents::mean_psi, "The pilot's mean psi, or None.")
        .def_rw("pilot_cases", &ReferenceComponents::pilot_cases, "K*.")
        .def("__repr__", [](const ReferenceComponents& c) {
            return nb::str("ReferenceComponents(var={!r}, cov2={!r}, var_r={!r}, "
                           "mean_psi={!r}, pilot_cases={})")
                .format(c.var, c.cov2, c.var_r, nb::cast(c.mean_psi), c.pilot_cases);
        });

    using power::PowerOptions;
    nb::class_<PowerOptions>(m, "_PowerOptions", "The options of a planning (varnel/power.h).")
        .def(nb::init<>())
        .def_rw("pilot", &PowerOptions::pilot)
        .def_rw("reference_modality", &PowerOptions::reference_modality)
        .def_rw("readers", &PowerOptions::readers)
        .def_rw("cases", &PowerOptions::cases)
        .def_rw("modalities", &PowerOptions::modalities)
        .def_rw("alpha", &PowerOptions::alpha)
        .def_rw("effect", &PowerOptions::effect)
        .def_rw("target_power", &PowerOptions::target_power)
        .def_rw("max_cases", &PowerOptions::max_cases);

    using power::PowerResult;
    nb::class_<PowerResult>(m, "_PowerResult")
        .def_prop_ro("source", [](const PowerResult& r) { return to_str(r.source); })
        .def_prop_ro("fom",
                     [](const PowerResult& r) -> std::optional<std::string> {
                         if (!r.fom)
                             return std::nullopt;
                         return mrmc::fom_name(*r.fom);
                     })
        .def_ro("target_class", &PowerResult::target_class)
        .def_prop_ro("pilot_readers",
                     [](const PowerResult& r) { return str_list(r.pilot_readers); })
        .def_prop_ro("pilot_modalities",
                     [](const PowerResult& r) { return str_list(r.pilot_modalities); })
        .def_prop_ro("reference_reader",
                     [](const PowerResult& r) { return to_str(r.reference_reader); })
        .def_prop_ro("reference_modality",
                     [](const PowerResult& r) { return to_str(r.reference_modality); })
        .def_prop_ro("components",
                     [](const PowerResult& r) -> nb::object {
                         if (r.modality_components)
                             return nb::cast(*r.modality_components);
                         return nb::cast(*r.reference_components);
                     })
        .def_ro("pilot_cases", &PowerResult::pilot_cases)
        .def_prop_ro("pilot_warnings",
                     [](const PowerResult& r) {
                         nb::list l;
                         for (const mrmc::CompareWarning& w : r.pilot_warnings)
                             l.append(nb::make_tuple(mrmc::warning_kind_name(w.kind),
                                                     to_str(w.message)));
                         return l;
                     })
        .def_ro("modalities", &PowerResult::modalities)
        .def_ro("alpha", &PowerResult::alpha)
        .def_ro("effect", &PowerResult::effect)
        .def_ro("effect_from_pilot", &PowerResult::effect_from_pilot)
        .def_ro("target_power", &PowerResult::target_power)
        .def("powers_table", &powers_table)
        .def("smallest_cases_table", &smallest_cases_table)
        .def("text_report",
             [](const PowerResult& r) { return to_str(power::format_power_text(r)); })
        .def("csv_report", [](const PowerResult& r) { return to_str(power::format_power_csv(r)); })
        .def("json_report",
             [](const PowerResult& r) { return to_str(power::format_power_json(r)); })
        .def(
            "svg",
            [](const PowerResult& r, std::optional<std::string> analysis) {
                return to_str(power::format_power_svg(r, analysis_named(analysis)));
            },
            "analysis"_a.none());

    m.def("_power", &plan_study, "input"_a, "options"_a, "threads"_a, "progress"_a.none(),
          nb::sig("def _power(input: CaseStudy | ModalityComponents | ReferenceComponents, "
                  "options: _PowerOptions, threads: int, progress: object) -> _PowerResult"),
          "The planning from a pilot or from components (power::power).");
}

}  // namespace varnel::python
