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
        .def_rw("categories", &BinningOptions::categories);

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
        .def_rw("target", &CompareOptions::target)
        .def_prop_rw(
            "alpha", [](const CompareOptions& o) { return o.analysis.alpha; },
            [](CompareOptions& o, double alpha) { o.analysis.alpha = alpha; })
        .def_prop_rw(
            "reference", [](const CompareOptions& o) { return o.analysis.reference_reader; },
            [](CompareOptions& o, std::optional<std::string> reader) {
                o.analysis.reference_reader = std::move(reader);
            })
        .def_rw("binning", &CompareOptions::binning)
        .def_rw("fit", &CompareOptions::fit);
}

}  // namespace varnel::python
