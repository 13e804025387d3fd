// varnel.compare: the significance tests of a reader study, one call of the
// library; its result as tidy tables (one column `target` for the target
// class first), the command's text report and JSON document.
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <nanobind/stl/optional.h>
#include <nanobind/stl/string.h>
#include <nanobind/stl/vector.h>

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

// The one-sided test against the non-inferiority margin: columns ni_bound,
// ni_t, ni_p, ni_confidence_bound, ni_rejected (and ni_p_holm for the
// modality differences), NaN and false without a margin; the hidden column
// _ni marks the rows that have the test.
struct MarginColumns {
    std::vector<double> &bound, &t, &p, &confidence_bound;
    std::vector<bool>& rejected;
    std::vector<double>* p_holm;
    std::vector<bool>& tested;

    static MarginColumns add(Frame& f, bool holm)
    {
        auto& bound = f.number("ni_bound");
        auto& t = f.number("ni_t");
        auto& p = f.number("ni_p");
        auto& confidence_bound = f.number("ni_confidence_bound");
        auto& rejected = f.flag("ni_rejected");
        std::vector<double>* p_holm = holm ? &f.number("ni_p_holm") : nullptr;
        return {bound, t, p, confidence_bound, rejected, p_holm, f.flag("_ni")};
    }
    void push(const std::optional<mrmc::OneSidedTest>& test)
    {
        constexpr double none = std::numeric_limits<double>::quiet_NaN();
        bound.push_back(test ? test->bound : none);
        t.push_back(test ? test->t : none);
        p.push_back(test ? test->p : none);
        confidence_bound.push_back(test ? test->confidence_bound : none);
        rejected.push_back(test && test->rejected);
        if (p_holm)
            p_holm->push_back(test ? test->p_holm : none);
        tested.push_back(test.has_value());
    }
};

// The FOM of every reader in every modality with its case-jackknife
// standard error and normal-theory interval.
Frame fom_table(const CompareResult& r)
{
    Frame f;
    auto& target = f.integer("target");
    auto& reader = f.text("reader");
    auto& modality = f.text("modality");
    auto& fom = f.number("fom");
    auto& std_error = f.number("std_error");
    auto& lower = f.number("lower");
    auto& upper = f.number("upper");
    for (const ClassAnalysis& a : r.classes) {
        const mrmc::FomMatrix& x = a.matrix;
        for (std::size_t i = 0; i < x.readers.size(); ++i)
            for (std::size_t m = 0; m < x.modalities.size(); ++m) {
                target.push_back(x.target_class);
                reader.push_back(x.readers[i]);
                modality.push_back(x.modalities[m]);
                fom.push_back(x.theta[i][m]);
                const mrmc::Estimate& e = a.fom_estimates[i][m];
                std_error.push_back(e.std_error);
                lower.push_back(e.lower);
                upper.push_back(e.upper);
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
    auto& p_holm = f.number("p_holm");
    MarginColumns margin = MarginColumns::add(f, true);
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
                p_holm.push_back(d.p_holm);
                margin.push(d.contrast.non_inferiority);
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
    auto& reference_std_error = f.number("reference_std_error");
    auto& reference_lower = f.number("reference_lower");
    auto& reference_upper = f.number("reference_upper");
    auto& readers_mean = f.number("readers_mean");
    MarginColumns margin = MarginColumns::add(f, false);
    for (const ClassAnalysis& a : r.classes)
        for (const mrmc::ReferenceAnalysis& x : a.references)
            for (const auto& [key, test] : reference_tests) {
                target.push_back(a.matrix.target_class);
                modality.push_back(a.matrix.modalities[x.modality]);
                reference.push_back(a.matrix.readers[x.reference]);
                analysis.push_back(key);
                e.push(x.*test);
                reference_fom.push_back(x.reference_fom);
                reference_std_error.push_back(x.reference_estimate.std_error);
                reference_lower.push_back(x.reference_estimate.lower);
                reference_upper.push_back(x.reference_estimate.upper);
                readers_mean.push_back(x.readers_mean);
                margin.push((x.*test).non_inferiority);
            }
    return f;
}

// Each other reader's FOM and psi = FOM - reference FOM, per modality, with
// psi's case-jackknife standard error, z test (df inf), its p value also
// Holm-adjusted over the readers, and interval.
Frame psi_table(const CompareResult& r)
{
    Frame f;
    auto& target = f.integer("target");
    auto& modality = f.text("modality");
    auto& reference = f.text("reference");
    auto& reader = f.text("reader");
    auto& fom = f.number("fom");
    auto& psi = f.number("psi");
    auto& std_error = f.number("std_error");
    auto& df = f.number("df");
    auto& z = f.number("z");
    auto& p = f.number("p");
    auto& p_holm = f.number("p_holm");
    auto& lower = f.number("lower");
    auto& upper = f.number("upper");
    for (const ClassAnalysis& a : r.classes)
        for (const mrmc::ReferenceAnalysis& x : a.references)
            for (std::size_t j = 0; j < x.readers.size(); ++j) {
                target.push_back(a.matrix.target_class);
                modality.push_back(a.matrix.modalities[x.modality]);
                reference.push_back(a.matrix.readers[x.reference]);
                reader.push_back(a.matrix.readers[x.readers[j]]);
                fom.push_back(a.matrix.theta[x.readers[j]][x.modality]);
                psi.push_back(x.psi[j]);
                const mrmc::ReaderDifference& d = x.reader_differences[j];
                std_error.push_back(d.contrast.estimate.std_error);
                df.push_back(d.contrast.estimate.df);
                z.push_back(d.contrast.t);
                p.push_back(d.contrast.p);
                p_holm.push_back(d.p_holm);
                lower.push_back(d.contrast.estimate.lower);
                upper.push_back(d.contrast.estimate.upper);
            }
    return f;
}

// The fit of every reader x modality table behind a model-based FOM, per
// analysed class: its goodness of fit, attempts and refits, observed
// operating range, unmarked share and its FOM against the empirical
// counterpart.
Frame fit_table(const CompareResult& r)
{
    Frame f;
    auto& target = f.integer("target");
    auto& reader = f.text("reader");
    auto& modality = f.text("modality");
    auto& categories = f.integer("categories");
    auto& noloc = f.integer("noloc");
    auto& attempts = f.integer("attempts");
    auto& degenerate = f.flag("degenerate");
    auto& degenerate_category = f.integer("degenerate_category");
    const std::pair<const char*, double LikelihoodStatistics::*> statistics[] = {
        {"log_likelihood", &LikelihoodStatistics::log_likelihood},
        {"log_likelihood_ratings", &LikelihoodStatistics::log_likelihood_ratings},
        {"deviance", &LikelihoodStatistics::deviance},
        {"deviance_ratings", &LikelihoodStatistics::deviance_ratings},
        {"pearson", &LikelihoodStatistics::pearson},
        {"pearson_ratings", &LikelihoodStatistics::pearson_ratings},
    };
    std::vector<std::vector<double>*> statistic_columns;
    for (const auto& [name, field] : statistics)
        statistic_columns.push_back(&f.number(name));
    auto& cells = f.integer("cells");
    auto& df = f.integer("df");
    auto& p_pearson = f.number("p_pearson");
    auto& p_deviance = f.number("p_deviance");
    auto& cells_ratings = f.integer("cells_ratings");
    auto& df_ratings = f.integer("df_ratings");
    auto& p_pearson_ratings = f.number("p_pearson_ratings");
    auto& p_deviance_ratings = f.number("p_deviance_ratings");
    auto& replicates = f.integer("bootstrap_replicates");
    auto& replicates_failed = f.integer("bootstrap_failed");
    auto& bootstrap_p_pearson = f.number("bootstrap_p_pearson");
    auto& bootstrap_p_deviance = f.number("bootstrap_p_deviance");
    auto& fit_rejected = f.flag("fit_rejected");
    auto& refits = f.integer("refits");
    auto& retried_refits = f.integer("retried_refits");
    auto& degenerate_refits = f.integer("degenerate_refits");
    using mrmc::TableFit;
    const std::pair<const char*, double TableFit::*> numbers[] = {
        {"observed_fpf", &TableFit::observed_fpf},
        {"observed_tpf", &TableFit::observed_tpf},
        {"unmarked_share", &TableFit::unmarked_share},
        {"fom", &TableFit::fom},
        {"empirical", &TableFit::empirical},
        {"difference", &TableFit::difference},
        {"se_difference", &TableFit::se_difference},
        {"z", &TableFit::z},
        {"p", &TableFit::p},
    };
    std::vector<std::vector<double>*> number_columns;
    for (const auto& [name, field] : numbers)
        number_columns.push_back(&f.number(name));
    auto& disagrees = f.flag("disagrees");
    const std::pair<const char*, double TableFit::*> from_same_fit[] = {
        {"model_auc", &TableFit::model_auc},
        {"empirical_auc", &TableFit::empirical_auc},
        {"model_loc", &TableFit::model_loc},
        {"empirical_loc", &TableFit::empirical_loc},
    };
    std::vector<std::vector<double>*> same_fit_columns;
    for (const auto& [name, field] : from_same_fit)
        same_fit_columns.push_back(&f.number(name));

    for (const mrmc::ClassFits& c : r.fits)
        for (const TableFit& t : c.tables) {
            target.push_back(c.target_class);
            reader.push_back(t.reader);
            modality.push_back(t.modality);
            categories.push_back(t.categories);
            noloc.push_back(t.noloc);
            attempts.push_back(t.attempts);
            degenerate.push_back(t.degenerate);
            degenerate_category.push_back(t.degenerate_category);
            for (std::size_t i = 0; i < statistic_columns.size(); ++i)
                statistic_columns[i]->push_back(t.likelihood.*statistics[i].second);
            cells.push_back(t.chi_square.cells);
            df.push_back(t.chi_square.df);
            p_pearson.push_back(t.chi_square.p_pearson);
            p_deviance.push_back(t.chi_square.p_deviance);
            cells_ratings.push_back(t.chi_square.cells_ratings);
            df_ratings.push_back(t.chi_square.df_ratings);
            p_pearson_ratings.push_back(t.chi_square.p_pearson_ratings);
            p_deviance_ratings.push_back(t.chi_square.p_deviance_ratings);
            replicates.push_back(t.bootstrap_replicates);
            replicates_failed.push_back(t.bootstrap_failed);
            bootstrap_p_pearson.push_back(t.bootstrap_p_pearson);
            bootstrap_p_deviance.push_back(t.bootstrap_p_deviance);
            fit_rejected.push_back(t.fit_rejected);
            refits.push_back(t.refits);
            retried_refits.push_back(t.retried_refits);
            degenerate_refits.push_back(t.degenerate_refits);
            for (std::size_t i = 0; i < number_columns.size(); ++i)
                number_columns[i]->push_back(t.*numbers[i].second);
            disagrees.push_back(t.disagrees);
            for (std::size_t i = 0; i < same_fit_columns.size(); ++i)
                same_fit_columns[i]->push_back(t.*from_same_fit[i].second);
        }
    return f;
}

// The empirical counterpart of each analysed class's FOM, by target class.
nb::dict empirical_foms(const CompareResult& r)
{
    nb::dict d;
    for (const mrmc::ClassFits& c : r.fits)
        if (c.empirical)
            d[nb::int_(c.target_class)] = mrmc::fom_name(*c.empirical);
    return d;
}

// Every picture: {file name: SVG text}.
nb::dict pictures(const CompareResult& r)
{
    std::vector<mrmc::ComparePicture> made;
    {
        nb::gil_scoped_release unlocked;
        made = mrmc::compare_pictures(r);
    }
    nb::dict d;
    for (const mrmc::ComparePicture& p : made)
        d[to_str(p.file_name)] = to_str(p.svg);
    return d;
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
        .def("fit_table", &columns_of<fit_table>)
        .def_prop_ro("margin", [](const CompareResult& r) { return r.margin; })
        .def_prop_ro("warnings",
                     [](const CompareResult& r) {
                         nb::list l;
                         for (const mrmc::CompareWarning& w : r.warnings)
                             l.append(nb::make_tuple(mrmc::warning_kind_name(w.kind), to_str(w.message)));
                         return l;
                     })
        .def_prop_ro("empirical_foms", &empirical_foms)
        .def_prop_ro("empirical",
                     [](const CompareResult& r) -> std::optional<CompareResult> {
                         if (!r.empirical)
                             return std::nullopt;
                         return *r.empirical;
                     })
        .def_prop_ro("binning", [](const CompareResult& r) { return r.binning; })
        .def_prop_ro("reader_binnings",
                     [](const CompareResult& r) {
                         nb::dict d;
                         if (r.classes.empty())
                             return d;
                         const std::vector<std::string>& readers = r.classes[0].matrix.readers;
                         for (std::size_t i = 0; i < r.reader_binnings.size(); ++i)
                             d[to_str(readers[i])] = nb::cast(r.reader_binnings[i]);
                         return d;
                     })
        .def_prop_ro("localization",
                     [](const CompareResult& r) -> std::optional<std::string> {
                         if (!r.localization)
                             return std::nullopt;
                         return mrmc::localization_name(*r.localization);
                     })
        .def_prop_ro("target_classes",
                     [](const CompareResult& r) {
                         std::vector<int> t;
                         for (const ClassAnalysis& a : r.classes)
                             t.push_back(a.matrix.target_class);
                         return t;
                     })
        .def_prop_ro("modalities",
                     [](const CompareResult& r) {
                         return str_list(r.classes.empty() ? std::vector<std::string>()
                                                           : r.classes[0].matrix.modalities);
                     })
        .def("pictures", &pictures)
        .def("forest_svg",
             [](const CompareResult& r, std::size_t class_index) {
                 return to_str(take(mrmc::format_forest_svg(r, class_index)));
             },
             "class_index"_a)
        .def("operating_points_svg",
             [](const CompareResult& r, std::size_t class_index, int modality) {
                 return to_str(take(mrmc::format_operating_points_svg(r, class_index, modality)));
             },
             "class_index"_a, "modality"_a)
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
