// Model-based figures of merit and their jackknife by refits of the distinct
// leave-one-out tables.
#include "mrmc/model_fom.h"

#include <boost/math/distributions/normal.hpp>
#include <boost/math/quadrature/gauss_kronrod.hpp>
#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "report/blocks.h"
#include "study/batch.h"

namespace varnel::mrmc {

double model_pcl(double mu, double sigma, double x)
{
    using boost::math::quadrature::gauss_kronrod;
    const boost::math::normal standard;
    const boost::math::normal target(mu, sigma);
    const double zeta = x >= 1.0 ? -std::numeric_limits<double>::infinity()
                                 : boost::math::quantile(standard, 1.0 - x);
    // The target value is above zeta and above the highest non-target value.
    auto integrand = [&](double v) { return boost::math::pdf(target, v) * boost::math::cdf(standard, v); };
    return gauss_kronrod<double, 61>::integrate(integrand, zeta,
                                                std::numeric_limits<double>::infinity(), 15, 1e-12);
}

double model_fom(const FomSpec& fom, const PreparedStudy& prepared, const FitResult& fit, int t)
{
    const double* mean = fit.estimate.mean;
    const double* sigma = fit.estimate.sigma;
    if (fom.kind == FomKind::model_pcl)
        return model_pcl(mean[t - 1], sigma[t - 1], fom.fpf);
    double arearoc[max_targets], arealroc[max_targets], locacc[max_targets];
    double adjarea[max_targets], adjloc[max_targets];
    report::areas(prepared.spec, mean, sigma, arearoc, arealroc, locacc, adjarea, adjloc);
    switch (fom.kind) {
    case FomKind::model_auc:
        return arearoc[t - 1];
    case FomKind::model_alroc:
        return arealroc[t - 1];
    default:
        return locacc[t - 1];
    }
}

namespace {

// The outcome of one fit: its FOM and estimate, or why it failed.
struct Fitted {
    double fom = std::numeric_limits<double>::quiet_NaN();
    Parameters estimate;
    int categories = 0;
    std::string failure;
};

// Prepares and fits one table, warm-started from `start` when given.
Fitted fit_one(const Study& table, const FomSpec& fom, int t, const FitSettings& settings,
               Workspace& ws, const Parameters* start)
{
    Fitted f;
    const auto prepared = prepare(table, settings);
    if (!prepared) {
        f.failure = prepared.error().message;
        return f;
    }
    FitOptions options;
    options.start = start;
    const auto result = fit(*prepared, settings, ws, options);
    if (!result) {
        f.failure = result.error().message;
        return f;
    }
    if (!result->converged) {
        f.failure = "the fit did not converge";
        return f;
    }
    f.fom = model_fom(fom, *prepared, *result, t);
    f.estimate = result->estimate;
    f.categories = prepared->spec.categories;
    return f;
}

// The cases of the analysis whose leaving out gives one leave-one-out table:
// those in one cell of one table (jackknife indices, increasing).
struct Refit {
    int table = 0;
    study::Cell cell;
    std::vector<int> cases;
};

// The distinct leave-one-out tables, table by table and cell by cell, of the
// jackknife cases `cases` (study case indices) in a fully crossed study.
std::vector<Refit> distinct_refits(const study::CaseStudy& s, const study::Binning& binning,
                                   const std::vector<int>& cases, bool ratings_only)
{
    const int nm = static_cast<int>(s.modalities.size());
    const int ntables = static_cast<int>(s.readers.size()) * nm;
    std::vector<int> jackknife_index(s.cases.size(), -1);
    for (std::size_t k = 0; k < cases.size(); ++k)
        jackknife_index[cases[k]] = static_cast<int>(k);
    std::vector<std::map<study::Cell, std::vector<int>>> cells(ntables);
    for (const study::Reading& r : s.readings)
        if (const int k = jackknife_index[r.case_index]; k >= 0) {
            study::Cell cell = study::cell_of(s, binning, r);
            // Without the outcomes, a category's target readings are one cell.
            if (ratings_only)
                cell.localization = study::Localization::unknown;
            cells[r.reader * nm + r.modality][cell].push_back(k);
        }
    std::vector<Refit> refits;
    for (int i = 0; i < ntables; ++i)
        for (auto& [cell, ks] : cells[i]) {
            std::sort(ks.begin(), ks.end());
            refits.push_back(Refit{i, cell, std::move(ks)});
        }
    return refits;
}

// "category 2 \"(1.5,2.5]\" without a target", "... of target class 1,
// without localization": the cell of a refit, for messages.
std::string cell_text(const study::Binning& binning, const study::Cell& c)
{
    std::string text = "category " + std::to_string(c.category) + " \"" +
                       binning.labels[c.category - 1] + "\"";
    if (c.column == 1)
        return text + " without a target";
    text += " of target class " + std::to_string(c.column - 1);
    switch (c.localization) {
    case study::Localization::correct:
        return text + ", correctly localized";
    case study::Localization::incorrect:
        return text + ", incorrectly localized";
    default:
        return text + ", without localization";
    }
}

}  // namespace

Expected<FomMatrix> model_fom_matrix(const study::CaseStudy& s, const study::Binning& binning,
                                     int t, const FomSpec& fom, const ModelFomOptions& options)
{
    if (Problem p = check_design(s))
        return *p;
    Expected<ClassCases> chosen = class_cases(s, t);
    if (!chosen)
        return chosen.error();
    const ClassCases& cc = chosen.value();
    const int nm = static_cast<int>(s.modalities.size());
    const int ntables = static_cast<int>(s.readers.size()) * nm;

    Expected<std::vector<Study>> tables = study::make_tables(s, binning);
    if (!tables)
        return tables.error();
    if (options.ratings_only)
        for (Study& table : *tables)
            table = study::without_localization(table);
    const std::vector<Refit> refits = distinct_refits(s, binning, cc.cases, options.ratings_only);
    const int nrefits = static_cast<int>(refits.size());

    FomMatrix x = empty_fom_matrix(s, cc, t, fom);
    const auto where = [&](int i) {
        return "reader " + s.readers[i / nm] + ", modality " + s.modalities[i % nm];
    };
    const auto cancelled = [&] { return options.cancel != nullptr && options.cancel->load(); };
    const int total = ntables + nrefits;
    auto progress = [&](int fits) {
        if (options.progress) options.progress(fits, total);
    };

    // The full tables, cold.
    std::vector<Fitted> full(ntables);
    study::run_parallel(
        ntables, options.threads,
        [&](int i, Workspace& ws) {
            full[i] = fit_one((*tables)[i], fom, t, options.fit, ws, nullptr);
        },
        [&](int n, int) { progress(n); }, options.cancel);
    if (cancelled())
        return cancelled_error();
    for (int i = 0; i < ntables; ++i) {
        if (!full[i].failure.empty())
            return fit_error(s.source + ": " + where(i) + ": the fit failed: " + full[i].failure);
        x.theta[i / nm][i % nm] = full[i].fom;
    }

    // Each distinct leave-one-out table refitted from the fit of its full table.
    std::vector<Fitted> refitted(nrefits);
    study::run_parallel(
        nrefits, options.threads,
        [&](int j, Workspace& ws) {
            const Refit& r = refits[j];
            const Study table = study::table_without((*tables)[r.table], r.cell);
            // A category that lost its only case changes the parameters: start cold.
            const Parameters* start = &full[r.table].estimate;
            if (varnel::without_empty_categories(table).categories != full[r.table].categories)
                start = nullptr;
            refitted[j] = fit_one(table, fom, t, options.fit, ws, start);
        },
        [&](int n, int) { progress(ntables + n); }, options.cancel);
    if (cancelled())
        return cancelled_error();

    // A failure is named by its first case left out, then its table, as the
    // case-by-case jackknife met it.
    const Refit* failed = nullptr;
    for (int j = 0; j < nrefits; ++j) {
        const Refit& r = refits[j];
        if (!refitted[j].failure.empty() &&
            (!failed || std::pair(r.cases[0], r.table) < std::pair(failed->cases[0], failed->table)))
            failed = &r;
        for (int k : r.cases)
            x.jackknife[r.table / nm][r.table % nm][k] = refitted[j].fom;
    }
    if (failed) {
        const int n = static_cast<int>(failed->cases.size());
        return fit_error(s.source + ": " + where(failed->table) + ", case " +
                         s.cases[cc.cases[failed->cases[0]]] + " left out: the refit failed: " +
                         refitted[failed - refits.data()].failure +
                         (n > 1 ? " (the same table as without any of the " + std::to_string(n) +
                                      " cases in " + cell_text(binning, failed->cell) + ")"
                                : std::string()));
    }
    return x;
}

}  // namespace varnel::mrmc
