// Model-based figures of merit and their jackknife by refits of the distinct
// leave-one-out tables.
#include "mrmc/model_fom.h"

#include <boost/math/distributions/normal.hpp>
#include <boost/math/quadrature/gauss_kronrod.hpp>
#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "model/upper_limit.h"
#include "report/blocks.h"
#include "study/batch.h"
#include "varnel/goodness_of_fit.h"

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

constexpr double retry_damping = 1.0;      // 1000 times the default first damping
constexpr double wide_max_sigma = 100.0;   // the last attempt's range
constexpr double wide_max_abs_mean = 1000.0;
// A converged fit beats the limit at an infinite boundary only by more than this.
constexpr double limit_tolerance = 1e-7;
constexpr const char* fit_advice =
    "; fewer categories (--categories) or each reader's own categories (--binning reader) "
    "may help";

// The FOM of the limit model.
double limit_fom(const FomSpec& fom, const model::UpperLimit& u)
{
    switch (fom.kind) {
    case FomKind::model_auc:
        return u.area_roc();
    case FomKind::model_alroc:
        return u.area_lroc();
    default:  // localization accuracy, and the PCL at every FPF above 0
        return u.loc_accuracy();
    }
}

// A fit that ended on the edge of the range its trial points may take
// (standard deviation at max_sigma, mean at +-max_abs_mean): the likelihood
// still rose there, so its maximum lies beyond, or at infinity.
bool at_range_limit(const FitResult& fit, const FitOptions& options, int targets)
{
    constexpr double edge = 1.0 - 1e-9;
    for (int j = 0; j < targets; ++j)
        if (fit.estimate.sigma[j] >= edge * options.max_sigma ||
            std::fabs(fit.estimate.mean[j]) >= edge * options.max_abs_mean)
            return true;
    return false;
}

// The outcome of one fit: its FOM and estimate, or why it failed.
struct Fitted {
    double fom = std::numeric_limits<double>::quiet_NaN();
    Parameters estimate;
    std::shared_ptr<const FitResult> result;  // the converged fit, when kept
    int categories = 0;
    std::string failure;
    int attempts = 0;  // fits tried
    std::optional<model::UpperLimit> limit;  // the FOM is this limit's
};

// The attempts of a fit in turn: from `start` (cold when null), cold, from
// `fallback` (cold when null) with a smaller first step, and the same with
// a wider range; the first that converges is kept.  Then the limit at an
// infinite boundary, where it exists, unless the fit beats it.
Fitted fit_one(const Study& table, const FomSpec& fom, int t, const FitSettings& settings,
               Workspace& ws, const Parameters* start, const Parameters* fallback,
               bool keep_result = false)
{
    Fitted f;
    const auto prepared = prepare(table, settings);
    if (!prepared) {
        f.failure = prepared.error().message;
        return f;
    }
    FitOptions attempts[4];
    attempts[0].start = start;
    attempts[2].start = attempts[3].start = fallback;
    attempts[2].initial_damping = attempts[3].initial_damping = retry_damping;
    attempts[3].max_sigma = wide_max_sigma;
    attempts[3].max_abs_mean = wide_max_abs_mean;
    std::optional<FitResult> converged;
    for (int a = 0; a < 4 && !converged; ++a) {
        if (a == 1 && start == nullptr)
            continue;  // the first attempt was cold already
        ++f.attempts;
        const auto result = fit(*prepared, settings, ws, attempts[a]);
        if (!result)
            f.failure = result.error().message;
        else if (!result->converged)
            f.failure = "the fit did not converge";
        else if (at_range_limit(*result, attempts[a], prepared->spec.targets()))
            f.failure = "the fit stopped at the limit of its parameter range";
        else
            converged = *result;
    }
    if (prepared->spec.targets() == 1) {
        f.limit = model::upper_limit(*prepared);
        if (f.limit && converged &&
            converged->log_likelihood > f.limit->log_likelihood + limit_tolerance)
            f.limit.reset();
    }
    f.categories = prepared->spec.categories;
    if (f.limit) {
        f.failure.clear();
        f.fom = limit_fom(fom, *f.limit);
        if (converged)
            f.estimate = converged->estimate;
        else
            f.estimate = initial_estimates(*prepared);
        return f;
    }
    if (!converged)
        return f;
    f.failure.clear();
    f.fom = model_fom(fom, *prepared, *converged, t);
    f.estimate = converged->estimate;
    if (keep_result)
        f.result = std::make_shared<const FitResult>(*converged);
    return f;
}

// The goodness of fit and the model AUC and localization accuracy of a full
// table's fit, and with `replicates` its parametric bootstrap.
void describe_fit(const Study& table, const FitSettings& settings, const Fitted& fitted, int t,
                  int replicates, std::uint64_t seed, const std::atomic<bool>* cancel,
                  Workspace& ws, TableFit& into)
{
    into.categories = fitted.categories;
    into.attempts = fitted.attempts;
    const auto prepared = prepare(table, settings);
    if (!prepared)
        return;
    into.noloc = prepared->spec.noloc;
    if (fitted.limit) {
        const model::UpperLimit& u = *fitted.limit;
        into.degenerate = true;
        into.degenerate_category = u.category;
        into.likelihood.log_likelihood = u.log_likelihood;
        into.likelihood.deviance = u.deviance;
        into.likelihood.pearson = u.pearson;
        into.chi_square.df = u.df;
        into.chi_square.p_pearson = chi_square_p_value(u.pearson, u.df);
        into.chi_square.p_deviance = chi_square_p_value(u.deviance, u.df);
        into.model_auc = u.area_roc();
        into.model_loc = u.loc_accuracy();
        into.fit_rejected = into.chi_square.p_pearson < 0.05;
        return;
    }
    if (!fitted.result)
        return;
    const FitResult* fit = fitted.result.get();
    const auto owned = std::make_unique_for_overwrite<Summary>();
    Summary& summary = *owned;
    summarize(*prepared, *fit, summary, false);
    if (summary.likelihood_error)
        return;
    into.likelihood = summary.likelihood;
    into.chi_square = summary.chi_square;
    into.model_auc = summary.area_roc[t - 1];
    into.model_loc = summary.loc_accuracy[t - 1];
    double p = into.chi_square.p_pearson;
    if (replicates > 0) {
        BootstrapOptions b;
        b.replicates = replicates;
        b.seed = seed;
        b.cancel = cancel;
        const auto gof = bootstrap_goodness_of_fit(*prepared, settings, *fit, ws, b);
        if (gof) {
            into.bootstrap_replicates = gof->replicates;
            into.bootstrap_failed = gof->failed;
            into.bootstrap_p_pearson = gof->p_pearson;
            into.bootstrap_p_deviance = gof->p_deviance;
            p = gof->p_pearson;
        }
    }
    into.fit_rejected = p < 0.05;
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
std::vector<Refit> distinct_refits(const study::CaseStudy& s,
                                   const std::vector<study::Binning>& binnings,
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
            study::Cell cell = study::cell_of(s, binnings[r.reader], r);
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
    Expected<ModelFits> fits =
        model_fits(s, std::vector<study::Binning>(s.readers.size(), binning), t, fom, options);
    if (!fits)
        return fits.error();
    return std::move(fits->matrix);
}

Expected<ModelFits> model_fits(const study::CaseStudy& s,
                               const std::vector<study::Binning>& binnings, int t,
                               const FomSpec& fom, const ModelFomOptions& options)
{
    if (Problem p = check_design(s))
        return *p;
    Expected<ClassCases> chosen = class_cases(s, t);
    if (!chosen)
        return chosen.error();
    const ClassCases& cc = chosen.value();
    const int nm = static_cast<int>(s.modalities.size());
    const int ntables = static_cast<int>(s.readers.size()) * nm;

    Expected<std::vector<Study>> tables = study::make_tables(s, binnings);
    if (!tables)
        return tables.error();
    if (options.ratings_only)
        for (Study& table : *tables)
            table = study::without_localization(table);
    const std::vector<Refit> refits = distinct_refits(s, binnings, cc.cases, options.ratings_only);
    const int nrefits = static_cast<int>(refits.size());

    ModelFits out;
    FomMatrix& x = out.matrix;
    x = empty_fom_matrix(s, cc, t, fom);
    const auto where = [&](int i) {
        return "reader " + s.readers[i / nm] + ", modality " + s.modalities[i % nm];
    };
    const auto cancelled = [&] { return options.cancel != nullptr && options.cancel->load(); };
    const int total = ntables + nrefits;
    auto progress = [&](int fits) {
        if (options.progress) options.progress(fits, total);
    };

    // The full tables, cold, with their goodness of fit.
    std::vector<Fitted> full(ntables);
    out.tables.resize(ntables);
    study::run_parallel(
        ntables, options.threads,
        [&](int i, Workspace& ws) {
            full[i] = fit_one((*tables)[i], fom, t, options.fit, ws, nullptr, nullptr, true);
            TableFit& d = out.tables[i];
            d.reader = s.readers[i / nm];
            d.modality = s.modalities[i % nm];
            if (full[i].failure.empty())
                describe_fit((*tables)[i], options.fit, full[i], t, options.gof_bootstrap,
                             study::bootstrap_seed(options.seed, i), options.cancel, ws, d);
            full[i].result.reset();
        },
        [&](int n, int) { progress(n); }, options.cancel);
    if (cancelled())
        return cancelled_error();
    for (int i = 0; i < ntables; ++i) {
        if (!full[i].failure.empty())
            return fit_error(s.source + ": " + where(i) + ": the fit failed: " + full[i].failure +
                             fit_advice);
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
            refitted[j] = fit_one(table, fom, t, options.fit, ws, start, start);
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
        TableFit& d = out.tables[r.table];
        ++d.refits;
        d.retried_refits += refitted[j].attempts > 1;
        d.degenerate_refits += refitted[j].limit.has_value();
    }
    if (failed) {
        const int n = static_cast<int>(failed->cases.size());
        const study::Binning& binning = binnings[failed->table / nm];
        return fit_error(s.source + ": " + where(failed->table) + ", case " +
                         s.cases[cc.cases[failed->cases[0]]] + " left out: the refit failed: " +
                         refitted[failed - refits.data()].failure +
                         (n > 1 ? " (the same table as without any of the " + std::to_string(n) +
                                      " cases in " + cell_text(binning, failed->cell) + ")"
                                : std::string()) +
                         fit_advice);
    }
    return out;
}

}  // namespace varnel::mrmc
