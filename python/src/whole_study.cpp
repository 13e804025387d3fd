// The binning of a whole study into tables (varnel.bin) and the fits of every
// table (varnel.fit_study), each one call of the library.
#include <cstdint>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include <nanobind/stl/string.h>
#include <nanobind/stl/vector.h>

#include "bindings.h"
#include "varnel/binning.h"
#include "varnel/cases.h"
#include "varnel/fit_study.h"

namespace varnel::python {

namespace {

using namespace nb::literals;
using study::BinnedStudy;
using study::CaseStudy;

// What varnel.bin gives: the categories, one table per reader and modality,
// and the bin command's summary.
struct BinResult {
    BinnedStudy binned;
    std::vector<std::string> readers, modalities;
    std::string report;
};

const char* rule_name(study::BinningRule rule)
{
    switch (rule) {
    case study::BinningRule::cutpoints: return "cutpoints";
    case study::BinningRule::distinct_ratings: return "distinct_ratings";
    case study::BinningRule::quantiles: return "quantiles";
    }
    return "unknown";
}

BinResult bin(const CaseStudy& cases, const study::BinningOptions& options)
{
    BinResult r;
    Expected<BinnedStudy> binned = Error{};
    {
        nb::gil_scoped_release unlocked;
        binned = study::bin_study(cases, options);
        if (binned)
            r.report = study::format_binning(cases, *binned, {});
    }
    r.binned = take(std::move(binned));
    r.readers = cases.readers;
    r.modalities = cases.modalities;
    return r;
}

// Per-table values keyed by (reader, modality), reader-major as the library
// makes the tables; value(i) gives table i's.
template <class Value>
nb::dict keyed(const BinResult& r, Value value)
{
    nb::dict d;
    std::size_t i = 0;
    for (const std::string& reader : r.readers)
        for (const std::string& modality : r.modalities)
            d[nb::make_tuple(to_str(reader), to_str(modality))] = value(i++);
    return d;
}

// The rows of the fit command's results table (study::result_columns), as
// columns: a value a table could not give is NaN; the hidden columns _fitted
// and _bootstrap mark the rows whose integer columns (converged, iterations,
// cells, df; the bootstrap's counts) mean something.
Frame result_frame(const study::FitStudyResult& result)
{
    constexpr double missing = std::numeric_limits<double>::quiet_NaN();
    Frame f;
    auto& reader = f.text("reader");
    auto& modality = f.text("modality");
    auto& target = f.integer("target");
    auto& normal_cases = f.integer("normal_cases");
    auto& target_cases = f.integer("target_cases");
    auto& categories = f.integer("categories");
    auto& noloc = f.integer("noloc");
    auto& chance = f.number("chance");
    auto& converged = f.flag("converged");
    auto& iterations = f.integer("iterations");
    using study::TargetResult;
    const std::pair<const char*, double TargetResult::*> per_target[] = {
        {"mu", &TargetResult::mu},
        {"se_mu", &TargetResult::se_mu},
        {"sigma", &TargetResult::sigma},
        {"se_sigma", &TargetResult::se_sigma},
        {"area_roc", &TargetResult::area_roc},
        {"se_area_roc", &TargetResult::se_area_roc},
        {"area_lroc", &TargetResult::area_lroc},
        {"se_area_lroc", &TargetResult::se_area_lroc},
        {"loc_accuracy", &TargetResult::loc_accuracy},
        {"se_loc_accuracy", &TargetResult::se_loc_accuracy},
        {"adjusted_area_lroc", &TargetResult::adjusted_area_lroc},
        {"adjusted_loc_accuracy", &TargetResult::adjusted_loc_accuracy},
        {"dloc", &TargetResult::dloc},
        {"se_dloc", &TargetResult::se_dloc},
        {"pcl", &TargetResult::pcl},
        {"se_pcl", &TargetResult::se_pcl},
    };
    std::vector<std::vector<double>*> target_columns;
    for (const auto& [name, field] : per_target)
        target_columns.push_back(&f.number(name));
    const std::pair<const char*, double LikelihoodStatistics::*> per_table[] = {
        {"log_likelihood", &LikelihoodStatistics::log_likelihood},
        {"log_likelihood_ratings", &LikelihoodStatistics::log_likelihood_ratings},
        {"deviance", &LikelihoodStatistics::deviance},
        {"deviance_ratings", &LikelihoodStatistics::deviance_ratings},
        {"pearson", &LikelihoodStatistics::pearson},
        {"pearson_ratings", &LikelihoodStatistics::pearson_ratings},
    };
    std::vector<std::vector<double>*> table_columns;
    for (const auto& [name, field] : per_table)
        table_columns.push_back(&f.number(name));
    auto& status = f.text("status");
    // The goodness of fit: counts missing where the table was not fitted
    // (bootstrap counts: without a bootstrap), p-values NaN there.
    using Counts = std::pair<std::vector<std::int64_t>*, int ChiSquareTests::*>;
    const Counts counts[] = {{&f.integer("cells"), &ChiSquareTests::cells},
                             {&f.integer("df"), &ChiSquareTests::df}};
    auto& p_pearson = f.number("p_pearson");
    auto& p_deviance = f.number("p_deviance");
    const Counts counts_ratings[] = {{&f.integer("cells_ratings"), &ChiSquareTests::cells_ratings},
                                     {&f.integer("df_ratings"), &ChiSquareTests::df_ratings}};
    auto& p_pearson_ratings = f.number("p_pearson_ratings");
    auto& p_deviance_ratings = f.number("p_deviance_ratings");
    auto& replicates = f.integer("bootstrap_replicates");
    auto& replicates_failed = f.integer("bootstrap_failed");
    auto& bootstrap_p_pearson = f.number("bootstrap_p_pearson");
    auto& bootstrap_p_deviance = f.number("bootstrap_p_deviance");
    auto& fitted = f.flag("_fitted");
    auto& bootstrapped = f.flag("_bootstrap");

    for (std::size_t i = 0; i < result.results.size(); ++i) {
        const study::Table& table = result.input.tables[i];
        const study::TableResult& r = result.results[i];
        const bool ok = r.status.empty();
        for (const TargetResult& t : r.targets) {
            reader.push_back(table.reader);
            modality.push_back(table.modality);
            target.push_back(t.target);
            normal_cases.push_back(t.normal_cases);
            target_cases.push_back(t.target_cases);
            categories.push_back(r.categories);
            noloc.push_back(r.noloc);
            chance.push_back(t.chance);
            converged.push_back(ok && r.converged);
            iterations.push_back(ok ? r.iterations : 0);
            for (std::size_t c = 0; c < target_columns.size(); ++c)
                target_columns[c]->push_back(ok ? t.*per_target[c].second : missing);
            for (std::size_t c = 0; c < table_columns.size(); ++c)
                table_columns[c]->push_back(ok ? r.likelihood.*per_table[c].second : missing);
            status.push_back(r.status);
            const ChiSquareTests& c = r.chi_square;
            for (const auto& [column, field] : counts)
                column->push_back(ok ? c.*field : 0);
            p_pearson.push_back(ok ? c.p_pearson : missing);
            p_deviance.push_back(ok ? c.p_deviance : missing);
            for (const auto& [column, field] : counts_ratings)
                column->push_back(ok ? c.*field : 0);
            p_pearson_ratings.push_back(ok ? c.p_pearson_ratings : missing);
            p_deviance_ratings.push_back(ok ? c.p_deviance_ratings : missing);
            const bool bootstrap = ok && r.bootstrap_replicates > 0;
            replicates.push_back(bootstrap ? r.bootstrap_replicates : 0);
            replicates_failed.push_back(bootstrap ? r.bootstrap_failed : 0);
            bootstrap_p_pearson.push_back(bootstrap ? r.bootstrap_p_pearson : missing);
            bootstrap_p_deviance.push_back(bootstrap ? r.bootstrap_p_deviance : missing);
            fitted.push_back(ok);
            bootstrapped.push_back(bootstrap);
        }
    }
    return f;
}

// The fits of every table of per-case ratings or of rating data files.
nb::tuple fit_study(nb::handle input, const study::BinningOptions& binning,
                    const study::TableFitOptions& fit, int gof_bootstrap, std::uint64_t seed,
                    int threads, nb::object progress)
{
    study::FitStudyOptions options;
    options.binning = binning;
    options.fit = fit;
    options.gof_bootstrap = gof_bootstrap;
    options.seed = seed;
    Run run(threads, std::move(progress));
    options.run = run.control();

    Expected<study::FitInput> made = Error{};
    if (nb::isinstance<CaseStudy>(input)) {
        const CaseStudy& cases = nb::cast<const CaseStudy&>(input);
        nb::gil_scoped_release unlocked;
        made = study::make_fit_input(cases, options);
    } else {
        std::vector<std::string> paths;
        for (nb::handle path : input)
            paths.push_back(from_str(path, "paths"));
        nb::gil_scoped_release unlocked;
        made = study::read_fit_input(paths, options);
    }
    study::FitInput fit_input = take(std::move(made));
    Expected<study::FitStudyResult> fitted = Error{};
    {
        nb::gil_scoped_release unlocked;
        fitted = study::fit_study(std::move(fit_input), options);
    }
    const study::FitStudyResult result = run.finish(std::move(fitted));
    return nb::make_tuple(result_frame(result).columns(), result.failed_tables(),
                          result.results.size());
}

}  // namespace

void bind_whole_study(nb::module_& m)
{
    using study::Binning;
    nb::class_<Binning>(m, "Binning",
                        "Rating categories: category k holds the ratings r with "
                        "upper_bounds[k-2] < r <= upper_bounds[k-1].")
        .def_prop_ro("rule", [](const Binning& b) { return rule_name(b.rule); },
                     "What made the categories: cutpoints, distinct_ratings or quantiles.")
        .def_prop_ro("upper_bounds",
                     [](const Binning& b) {
                         return vector_of(b.upper.data(), static_cast<int>(b.upper.size()));
                     },
                     nb::rv_policy::move,
                     "The inclusive upper bounds of all categories but the last (increasing).")
        .def_prop_ro("labels", [](const Binning& b) { return str_list(b.labels); },
                     "One label per category, lowest first (its rating range).")
        .def_prop_ro("noloc_group", [](const Binning& b) { return b.noloc_group; },
                     "Whether category 1 is the group of target ratings without localization.")
        .def_prop_ro("categories", &Binning::categories, "The number of categories.")
        .def("__repr__", [](const Binning& b) {
            return nb::str("Binning(categories={}, rule={!r})")
                .format(b.categories(), rule_name(b.rule));
        });

    nb::class_<BinResult>(m, "_BinResult")
        .def_prop_ro("binning", [](const BinResult& r) { return r.binned.binning; })
        .def_prop_ro("reader_binnings",
                     [](const BinResult& r) {
                         nb::dict d;
                         for (std::size_t i = 0; i < r.binned.reader_binnings.size(); ++i)
                             d[to_str(r.readers[i])] = nb::cast(r.binned.reader_binnings[i]);
                         return d;
                     })
        .def_prop_ro("tables",
                     [](const BinResult& r) {
                         return keyed(r, [&](std::size_t i) {
                             return nb::cast(r.binned.tables[i]);
                         });
                     })
        .def_prop_ro("file_names",
                     [](const BinResult& r) {
                         return keyed(r, [&](std::size_t i) {
                             return to_str(r.binned.file_names[i]);
                         });
                     })
        .def_prop_ro("data_files",
                     [](const BinResult& r) {
                         return keyed(r, [&](std::size_t i) {
                             return to_str(r.binned.data_files[i]);
                         });
                     })
        .def_prop_ro("report", [](const BinResult& r) { return to_str(r.report); });

    m.def("_bin", &bin, "cases"_a, "options"_a,
          "The categories and tables of the study (study::bin_study).");
    m.def("_fit_study", &fit_study, "input"_a, "binning"_a, "fit"_a, "gof_bootstrap"_a,
          "seed"_a, "threads"_a, "progress"_a.none(),
          nb::sig("def _fit_study(input: CaseStudy | list[str], binning: _BinningOptions, "
                  "fit: _TableFitOptions, gof_bootstrap: int, seed: int, threads: int, "
                  "progress: object) "
                  "-> tuple[dict[str, object], int, int]"),
          "Every table fitted (study::fit_study): the results table's columns, the number of "
          "tables that could not be fitted and the number of tables.");
}

}  // namespace varnel::python
