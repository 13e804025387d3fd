// varnel.compare: the significance tests of a reader study, one call of the
// library; its result as tidy tables (one column `target` for the target
// class first), the command's text report and JSON document.
#include <string>
#include <utility>

#include <nanobind/stl/string.h>

#include "bindings.h"
#include "varnel/compare.h"

namespace varnel::python {

namespace {

using namespace nb::literals;
using mrmc::ClassAnalysis;
using mrmc::CompareResult;

// The three forms of the modality test, by the names of the JSON document.
const std::pair<const char*, mrmc::ModalityTest mrmc::ModalityAnalysis::*> modality_tests[] = {
    {"random_readers_random_cases", &mrmc::ModalityAnalysis::random_readers_random_cases},
    {"fixed_readers_random_cases", &mrmc::ModalityAnalysis::fixed_readers_random_cases},
    {"random_readers_fixed_cases", &mrmc::ModalityAnalysis::random_readers_fixed_cases},
};

// The two reference-reader tests.
const std::pair<const char*, mrmc::Contrast mrmc::ReferenceAnalysis::*> reference_tests[] = {
    {"random_readers_random_cases", &mrmc::ReferenceAnalysis::random_readers_random_cases},
    {"random_readers_fixed_cases", &mrmc::ReferenceAnalysis::random_readers_fixed_cases},
};

// Columns estimate, std_error, df, lower, upper (and t, p for a contrast)
// filled row by row.
struct EstimateColumns {
    std::vector<double> &estimate, &std_error, &df;
    std::vector<double>* t = nullptr;
    std::vector<double>* p = nullptr;
    std::vector<double> &lower, &upper;

    static EstimateColumns add(Frame& f, bool contrast)
    {
        auto& estimate = f.number("estimate");
        auto& std_error = f.number("std_error");
        auto& df = f.number("df");
        std::vector<double>* t = contrast ? &f.number("t") : nullptr;
        std::vector<double>* p = contrast ? &f.number("p") : nullptr;
        return {estimate, std_error, df, t, p, f.number("lower"), f.number("upper")};
    }
    void push(const mrmc::Estimate& e)
    {
        estimate.push_back(e.value);
        std_error.push_back(e.std_error);
        df.push_back(e.df);
        lower.push_back(e.lower);
        upper.push_back(e.upper);
    }
    void push(const mrmc::Contrast& c)
    {
        push(c.estimate);
        t->push_back(c.t);
        p->push_back(c.p);
    }
};

// The FOM of every reader in every modality.
Frame fom_table(const CompareResult& r)
{
    Frame f;
    auto& target = f.integer("target");
    auto& reader = f.text("reader");
    auto& modality = f.text("modality");
    auto& fom = f.number("fom");
    for (const ClassAnalysis& a : r.classes) {
        const mrmc::FomMatrix& x = a.matrix;
        for (std::size_t i = 0; i < x.readers.size(); ++i)
            for (std::size_t m = 0; m < x.modalities.size(); ++m) {
                target.push_back(x.target_class);
                reader.push_back(x.readers[i]);
                modality.push_back(x.modalities[m]);
                fom.push_back(x.theta[i][m]);
            }
    }
    return f;
}

// The FOM of every reader and modality with each case left out, in the
// order of the --jackknife file.
Frame jackknife_table(const CompareResult& r)
{
    Frame f;
    auto& target = f.integer("target");
    auto& reader = f.text("reader");
    auto& modality = f.text("modality");
    auto& case_name = f.text("case");
    auto& value = f.number("value");
    for (const ClassAnalysis& a : r.classes) {
        const mrmc::FomMatrix& x = a.matrix;
        for (std::size_t i = 0; i < x.readers.size(); ++i)
            for (std::size_t m = 0; m < x.modalities.size(); ++m)
                for (std::size_t k = 0; k < x.cases.size(); ++k) {
                    target.push_back(x.target_class);
                    reader.push_back(x.readers[i]);
                    modality.push_back(x.modalities[m]);
                    case_name.push_back(x.cases[k]);
                    value.push_back(x.jackknife[i][m][k]);
                }
    }
    return f;
}

// Each form of the test of equal modality means.
Frame test_table(const CompareResult& r)
{
    Frame f;
    auto& target = f.integer("target");
    auto& analysis = f.text("analysis");
    auto& name = f.text("statistic_name");
    auto& statistic = f.number("statistic");
    auto& ndf = f.number("ndf");
    auto& ddf = f.number("ddf");
    auto& p = f.number("p");
    for (const ClassAnalysis& a : r.classes) {
        if (!a.modalities)
            continue;
        for (const auto& [key, test] : modality_tests) {
            const mrmc::ModalityTest& t = (*a.modalities).*test;
            target.push_back(a.matrix.target_class);
            analysis.push_back(key);
            name.push_back(t.statistic_name);
            statistic.push_back(t.statistic);
            ndf.push_back(t.ndf);
            ddf.push_back(t.ddf);
            p.push_back(t.p);
        }
    }
    return f;
}

// Every pair of modalities in each form of the test: first - second.
Frame difference_table(const CompareResult& r)
{
    Frame f;
    auto& target = f.integer("target");
    auto& analysis = f.text("analysis");
    auto& first = f.text("first");
    auto& second = f.text("second");
    EstimateColumns e = EstimateColumns::add(f, true);
    for (const ClassAnalysis& a : r.classes) {
        if (!a.modalities)
            continue;
        for (const auto& [key, test] : modality_tests)
            for (const mrmc::ModalityDifference& d : ((*a.modalities).*test).differences) {
                target.push_back(a.matrix.target_class);
                analysis.push_back(key);
                first.push_back(a.matrix.modalities[d.first]);
                second.push_back(a.matrix.modalities[d.second]);
                e.push(d.contrast);
            }
    }
    return f;
}

// The reader-averaged FOM of each modality with its interval in each form
// of the test.
Frame mean_table(const CompareResult& r)
{
    Frame f;
    auto& target = f.integer("target");
    auto& analysis = f.text("analysis");
    auto& modality = f.text("modality");
    EstimateColumns e = EstimateColumns::add(f, false);
    for (const ClassAnalysis& a : r.classes) {
        if (!a.modalities)
            continue;
        for (const auto& [key, test] : modality_tests) {
            const std::vector<mrmc::Estimate>& means = ((*a.modalities).*test).means;
            for (std::size_t m = 0; m < means.size(); ++m) {
                target.push_back(a.matrix.target_class);
                analysis.push_back(key);
                modality.push_back(a.matrix.modalities[m]);
                e.push(means[m]);
            }
        }
    }
    return f;
}

// The mean psi (reader - reference) in each modality, by each test.
Frame reference_table(const CompareResult& r)
{
    Frame f;
    auto& target = f.integer("target");
    auto& modality = f.text("modality");
    auto& reference = f.text("reference");
    auto& analysis = f.text("analysis");
    EstimateColumns e = EstimateColumns::add(f, true);
    auto& reference_fom = f.number("reference_fom");
    auto& readers_mean = f.number("readers_mean");
    for (const ClassAnalysis& a : r.classes)
        for (const mrmc::ReferenceAnalysis& x : a.references)
            for (const auto& [key, test] : reference_tests) {
                target.push_back(a.matrix.target_class);
                modality.push_back(a.matrix.modalities[x.modality]);
                reference.push_back(a.matrix.readers[x.reference]);
                analysis.push_back(key);
                e.push(x.*test);
                reference_fom.push_back(x.reference_fom);
                readers_mean.push_back(x.readers_mean);
            }
    return f;
}

// Each other reader's FOM and psi = FOM - reference FOM, per modality.
Frame psi_table(const CompareResult& r)
{
    Frame f;
    auto& target = f.integer("target");
    auto& modality = f.text("modality");
    auto& reference = f.text("reference");
    auto& reader = f.text("reader");
    auto& fom = f.number("fom");
    auto& psi = f.number("psi");
    for (const ClassAnalysis& a : r.classes)
        for (const mrmc::ReferenceAnalysis& x : a.references)
            for (std::size_t j = 0; j < x.readers.size(); ++j) {
                target.push_back(a.matrix.target_class);
                modality.push_back(a.matrix.modalities[x.modality]);
                reference.push_back(a.matrix.readers[x.reference]);
                reader.push_back(a.matrix.readers[x.readers[j]]);
                fom.push_back(a.matrix.theta[x.readers[j]][x.modality]);
                psi.push_back(x.psi[j]);
            }
    return f;
}

CompareResult compare(const study::CaseStudy& cases, const mrmc::CompareOptions& given,
                      int threads, nb::object progress)
{
    mrmc::CompareOptions options = given;
    Run run(threads, std::move(progress));
    options.run = run.control();
    Expected<CompareResult> result = Error{};
    {
        nb::gil_scoped_release unlocked;
        result = mrmc::compare(cases, options);
    }
    return run.finish(std::move(result));
}

// A table method of the result: the columns of a DataFrame.
template <Frame (*table)(const CompareResult&)>
nb::dict columns_of(const CompareResult& r)
{
    return table(r).columns();
}

}  // namespace

void bind_compare(nb::module_& m)
{
    nb::class_<CompareResult>(m, "_CompareResult")
        .def_prop_ro("source", [](const CompareResult& r) { return to_str(r.source); })
        .def_prop_ro("fom", [](const CompareResult& r) { return mrmc::fom_name(r.fom); })
        .def_ro("alpha", &CompareResult::alpha)
        .def("fom_table", &columns_of<fom_table>)
        .def("jackknife_table", &columns_of<jackknife_table>)
        .def("test_table", &columns_of<test_table>)
        .def("difference_table", &columns_of<difference_table>)
        .def("mean_table", &columns_of<mean_table>)
        .def("reference_table", &columns_of<reference_table>)
        .def("psi_table", &columns_of<psi_table>)
        .def("text_report",
             [](const CompareResult& r) { return to_str(mrmc::format_text_report(r)); })
        .def("json_report",
             [](const CompareResult& r) { return to_str(mrmc::format_json_report(r)); })
        .def("jackknife_csv",
             [](const CompareResult& r) { return to_str(mrmc::format_jackknife_csv(r)); });

    m.def("_compare", &compare, "cases"_a, "options"_a, "threads"_a, "progress"_a.none(),
          nb::sig("def _compare(cases: CaseStudy, options: _CompareOptions, threads: int, "
                  "progress: object) -> _CompareResult"),
          "The comparison of the study (mrmc::compare).");
}

}  // namespace varnel::python
