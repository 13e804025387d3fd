// The options of the whole-study calls as Python classes with one attribute
// per field: the package's _options.py fills them from the keyword arguments
// of varnel.bin, fit_study and compare (one mapping function per class), and
// the library checks them.  A new field of an options struct is one more
// def_rw here and one more line in its mapping function.
#include <optional>
#include <string>
#include <utility>

#include <nanobind/stl/optional.h>
#include <nanobind/stl/string.h>
#include <nanobind/stl/vector.h>

#include "bindings.h"
#include "varnel/binning.h"
#include "varnel/compare.h"
#include "varnel/fit_study.h"
#include "varnel/fom.h"

namespace varnel::python {

void bind_options(nb::module_& m)
{
    using study::BinningOptions;
    using study::TableFitOptions;
    using mrmc::CompareOptions;

    nb::class_<BinningOptions>(m, "_BinningOptions",
                               "The rating categories of the tables (varnel/binning.h).")
        .def(nb::init<>())
        .def_rw("cutpoints", &BinningOptions::cutpoints)
        .def_rw("categories", &BinningOptions::categories)
        .def_prop_rw(
            "scope",
            [](const BinningOptions& o) {
                return o.scope == study::BinningScope::reader ? "reader" : "study";
            },
            [](BinningOptions& o, const std::string& scope) {
                if (scope != "study" && scope != "reader")
                    throw Failure(input_error("binning: \"" + scope + "\" is not study or reader"));
                o.scope = scope == "reader" ? study::BinningScope::reader
                                            : study::BinningScope::study;
            },
            "study: one set of categories from all ratings; reader: each reader's own.");

    nb::class_<TableFitOptions>(m, "_TableFitOptions",
                                "The fit settings of every table (varnel/fit_study.h).")
        .def(nb::init<>())
        .def_rw("criterion", &TableFitOptions::criterion)
        .def_rw("chance", &TableFitOptions::chance)
        .def_rw("noloc", &TableFitOptions::noloc);

    nb::class_<CompareOptions>(m, "_CompareOptions",
                               "The options of a comparison (varnel/compare.h).")
        .def(nb::init<>())
        .def_prop_rw(
            "fom", [](const CompareOptions& o) { return mrmc::fom_name(o.fom); },
            [](CompareOptions& o, const std::string& name) {
                o.fom = take(mrmc::parse_fom(name));
            },
            "The figure of merit by name (wilcoxon, pcl@X, ...); a name it does not know "
            "raises VarnelError.")
        .def_prop_ro(
            "model_based", [](const CompareOptions& o) { return mrmc::is_model_based(o.fom); },
            "Whether the figure of merit comes from the fits of the tables.")
        .def_rw("target", &CompareOptions::target)
        .def_prop_rw(
            "alpha", [](const CompareOptions& o) { return o.analysis.alpha; },
            [](CompareOptions& o, double alpha) { o.analysis.alpha = alpha; })
        .def_prop_rw(
            "reference", [](const CompareOptions& o) { return o.analysis.reference_reader; },
            [](CompareOptions& o, std::optional<std::string> reader) {
                o.analysis.reference_reader = std::move(reader);
            })
        .def_prop_rw(
            "margin", [](const CompareOptions& o) { return o.analysis.margin; },
            [](CompareOptions& o, std::optional<double> margin) { o.analysis.margin = margin; })
        .def_rw("binning", &CompareOptions::binning)
        .def_rw("fit", &CompareOptions::fit)
        .def_prop_rw(
            "localization",
            [](const CompareOptions& o) -> std::optional<std::string> {
                if (!o.localization)
                    return std::nullopt;
                return mrmc::localization_name(*o.localization);
            },
            [](CompareOptions& o, std::optional<std::string> name) {
                if (name)
                    o.localization = take(mrmc::parse_localization(*name));
                else
                    o.localization.reset();
            },
            "use or ignore (model-auc), or None for the library's default.")
        .def_rw("gof_bootstrap", &CompareOptions::gof_bootstrap)
        .def_rw("seed", &CompareOptions::seed);
}

}  // namespace varnel::python
