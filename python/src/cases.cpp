// varnel.CaseStudy: the per-case ratings of a whole reader study, read from a
// CSV file or made from the columns of a data frame (the package's _cases.py
// turns a DataFrame's columns into the lists and arrays taken here).
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include <nanobind/stl/filesystem.h>
#include <nanobind/stl/string.h>

#include "bindings.h"
#include "varnel/cases.h"

namespace varnel::python {

namespace {

using namespace nb::literals;
using study::CaseColumns;
using study::CaseStudy;
using study::Column;

// A list of str as the library's texts; `what` names the column in errors.
std::vector<std::string> texts_of(nb::handle values, const std::string& what)
{
    if (!PyList_Check(values.ptr()))
        throw nb::type_error(("column " + what + ": expected a list of str").c_str());
    std::vector<std::string> texts;
    const Py_ssize_t n = PyList_GET_SIZE(values.ptr());
    texts.reserve(static_cast<std::size_t>(n));
    for (Py_ssize_t i = 0; i < n; ++i)
        texts.push_back(from_str(PyList_GET_ITEM(values.ptr(), i), "column " + what + " values"));
    return texts;
}

using DoubleColumn = nb::ndarray<const double, nb::ndim<1>, nb::device::cpu>;
using BoolColumn = nb::ndarray<const bool, nb::ndim<1>, nb::device::cpu>;

std::vector<bool> bools_of(const BoolColumn& a)
{
    std::vector<bool> v(a.shape(0));
    for (std::size_t i = 0; i < v.size(); ++i)
        v[i] = a(i);
    return v;
}

// One value column: a list of str, or a NumPy array of float64 or of bool;
// `missing` None or a bool array marking missing values.
Column column_of(nb::handle values, nb::handle missing, const std::string& what)
{
    Column c;
    if (PyList_Check(values.ptr())) {
        c.values = texts_of(values, what);
    } else if (DoubleColumn d; nb::try_cast(values, d, false)) {
        // Element by element: the array may be a strided view.
        std::vector<double> v(d.shape(0));
        for (std::size_t i = 0; i < v.size(); ++i)
            v[i] = d(i);
        c.values = std::move(v);
    } else if (BoolColumn b; nb::try_cast(values, b, false)) {
        c.values = bools_of(b);
    } else {
        throw nb::type_error(("column " + what +
                              ": expected a list of str or a float64 or bool array")
                                 .c_str());
    }
    if (!missing.is_none()) {
        BoolColumn m;
        if (!nb::try_cast(missing, m, false))
            throw nb::type_error(("column " + what + ": missing must be a bool array").c_str());
        c.missing = bools_of(m);
    }
    return c;
}

constexpr const char* case_study_doc =
    R"doc(The per-case ratings of a reader study: every reader rated every case once
per modality; a target case may carry the reader's localization outcome.

Made by :func:`read_cases` from a pandas DataFrame or a CSV file, checked as
``varnel-study`` checks its input; :func:`bin`, :func:`fit_study` and
:func:`compare` take it (or the DataFrame or path itself).  Reading a large
study once and passing the CaseStudy to several calls saves checking it again.)doc";

}  // namespace

void bind_cases(nb::module_& m)
{
    nb::class_<CaseStudy>(m, "CaseStudy", case_study_doc)
        .def_prop_ro("source", [](const CaseStudy& s) { return to_str(s.source); },
                     "The file name as given, or the name given to the columns; messages "
                     "begin with it.")
        .def_prop_ro("readers", [](const CaseStudy& s) { return str_list(s.readers); },
                     nb::sig("def readers(self) -> list[str]"),
                     "The readers in the order of their first row.")
        .def_prop_ro("modalities", [](const CaseStudy& s) { return str_list(s.modalities); },
                     nb::sig("def modalities(self) -> list[str]"),
                     "The modalities in the order of their first row.")
        .def_prop_ro("cases", [](const CaseStudy& s) { return str_list(s.cases); },
                     nb::sig("def cases(self) -> list[str]"),
                     "The cases in the order of their first row.")
        .def_prop_ro(
            "truth",
            [](const CaseStudy& s) {
                return new_array<CountVector>(
                    std::vector<std::int64_t>(s.truth.begin(), s.truth.end()), {s.truth.size()});
            },
            nb::rv_policy::move,
            "Per case (in the order of cases): 0 without a target, else its target class.")
        .def_ro("has_localization", &CaseStudy::has_localization,
                "Whether the input has a localized column (without it the study is ROC data).")
        .def("__len__", [](const CaseStudy& s) { return s.readings.size(); },
             "The number of readings (rows).")
        .def("__repr__", [](const CaseStudy& s) {
            return nb::str("CaseStudy(source={!r}, readers={}, modalities={}, cases={}, "
                           "readings={})")
                .format(to_str(s.source), s.readers.size(), s.modalities.size(), s.cases.size(),
                        s.readings.size());
        });

    m.def(
        "_read_cases",
        [](const std::filesystem::path& path) {
            const std::string name = path.string();
            auto cases = [&] {
                nb::gil_scoped_release unlocked;
                return study::read_cases(name);
            }();
            return take(std::move(cases));
        },
        "path"_a, "Reads a per-case ratings CSV file; errors name the file and line.");

    m.def(
        "_make_cases",
        [](nb::handle source, nb::handle reader, nb::handle modality, nb::handle case_name,
           nb::handle truth, nb::handle truth_missing, nb::handle rating,
           nb::handle rating_missing, nb::handle localized, nb::handle localized_missing) {
            CaseColumns columns;
            columns.reader = texts_of(reader, "reader");
            columns.modality = texts_of(modality, "modality");
            columns.case_name = texts_of(case_name, "case");
            columns.truth = column_of(truth, truth_missing, "truth");
            columns.rating = column_of(rating, rating_missing, "rating");
            if (!localized.is_none())
                columns.localized = column_of(localized, localized_missing, "localized");
            const std::string name = from_str(source, "source");
            auto cases = [&] {
                nb::gil_scoped_release unlocked;
                return study::make_cases(columns, name);
            }();
            return take(std::move(cases));
        },
        "source"_a, "reader"_a, "modality"_a, "case"_a, "truth"_a, "truth_missing"_a.none(),
        "rating"_a, "rating_missing"_a.none(), "localized"_a.none(), "localized_missing"_a.none(),
        nb::sig("def _make_cases(source: str, reader: list[str], modality: list[str], "
                "case: list[str], truth: object, truth_missing: object, rating: object, "
                "rating_missing: object, localized: object, localized_missing: object) "
                "-> CaseStudy"),
        "The study of columns held in memory (see varnel._cases); errors name the row and "
        "the column.");
}

}  // namespace varnel::python
