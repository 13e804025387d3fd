// Model-based figures of merit and their jackknife by refits.
#include "mrmc/model_fom.h"

#include <boost/math/distributions/normal.hpp>
#include <boost/math/quadrature/gauss_kronrod.hpp>
#include <cmath>
#include <limits>
#include <mutex>
#include <optional>

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

}  // namespace

Expected<FomMatrix> model_fom_matrix(const study::CaseStudy& s, const study::Binning& binning,
                                     int t, const FomSpec& fom, const ModelFomOptions& options)
{
    Expected<ClassCases> chosen = class_cases(s, t);
    if (!chosen)
        return chosen.error();
    const ClassCases& cc = chosen.value();
    const int nr = static_cast<int>(s.readers.size());
    const int nm = static_cast<int>(s.modalities.size());
    const int ntables = nr * nm;
    const int nk = static_cast<int>(cc.cases.size());

    Expected<std::vector<Study>> tables = study::make_tables(s, binning);
    if (!tables)
        return tables.error();

    FomMatrix x = empty_fom_matrix(s, cc, t, fom);
    const auto where = [&](int i) {
        return "reader " + s.readers[i / nm] + ", modality " + s.modalities[i % nm];
    };
    const auto cancelled = [&] { return options.cancel != nullptr && options.cancel->load(); };
    int done = 0;
    const int total = ntables * (1 + nk);
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
    done = ntables;

    // Each case left out: every table refitted from its full fit.
    std::vector<std::string> failures(nk);
    study::run_parallel(
        nk, options.threads,
        [&](int k, Workspace& ws) {
            Expected<std::vector<Study>> without =
                study::make_tables_without_case(s, binning, cc.cases[k]);
            if (!without) {
                failures[k] = without.error().message;
                return;
            }
            for (int i = 0; i < ntables && !cancelled(); ++i) {
                const Study& table = (*without)[i];
                // A category that lost its only case changes the parameters: start cold.
                const Parameters* start = &full[i].estimate;
                if (varnel::without_empty_categories(table).categories != full[i].categories)
                    start = nullptr;
                const Fitted f = fit_one(table, fom, t, options.fit, ws, start);
                if (!f.failure.empty()) {
                    failures[k] = where(i) + ", case " + s.cases[cc.cases[k]] +
                                  " left out: the refit failed: " + f.failure;
                    return;
                }
                x.jackknife[i / nm][i % nm][k] = f.fom;
            }
        },
        [&](int n, int) { progress(done + n * ntables); }, options.cancel);
    if (cancelled())
        return cancelled_error();
    for (int k = 0; k < nk; ++k)
        if (!failures[k].empty())
            return fit_error(s.source + ": " + failures[k]);
    return x;
}

}  // namespace varnel::mrmc
