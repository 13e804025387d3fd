// The fit: initial estimates, the Levenberg-Marquardt iteration and its
// verdict on the trace.
#include <cmath>
#include <cstring>
#include <limits>
#include <type_traits>

#include "model/initial.h"
#include "model/iteration.h"
#include "model/likelihood.h"
#include "model/workspace.h"
#include "varnel/printer.h"

namespace varnel {

static_assert(std::is_trivially_copyable_v<model::DerivativeTables> &&
              std::is_trivially_copyable_v<model::CategoryTables>);

// The tables are zeroed at the start of every fit.
Workspace::Workspace() : tables_(std::make_unique_for_overwrite<Tables>()) {}
Workspace::~Workspace() = default;
Workspace::Workspace(Workspace&&) noexcept = default;
Workspace& Workspace::operator=(Workspace&&) noexcept = default;

long long Workspace::integrand_evaluations() const { return tables_->romberg.evaluations(); }

Parameters initial_estimates(const PreparedStudy& prepared)
{
    Parameters start;
    model::initial_estimates(prepared.spec, prepared.counts, start);
    return start;
}

namespace {

// Trace of the verdict: the point of a failed fit, or the good news.
void trace_verdict(output::Printer& trace, const ModelSpec& spec, const FitResult& r)
{
    if (!r.converged) {
        trace.write("(' No solution after ',i4,' iterations')", r.iterations);
        trace.write("(' tnet = ',f13.8)", r.stopping_index);
        trace.value_row("(' est. mu =    ',$)", "(f13.8,$)", r.estimate.mean, 1,
                        spec.distributions);
        trace.value_row("(' est. sigma = ',$)", "(f13.8,$)", r.estimate.sigma, 1,
                        spec.distributions);
    } else {
        trace.text("(' Have a satisfactory fit!!!')");
    }
}

}  // namespace

Expected<FitResult> fit(const PreparedStudy& prepared, const FitSettings& settings,
                        Workspace& workspace, const FitOptions& options)
{
    constexpr double min_criterion = 1e-8;
    if (!std::isfinite(settings.criterion))
        return Error{ErrorKind::bad_settings, 0, "The stopping criterion must be a number"};
    const double criterion = settings.criterion < min_criterion ? min_criterion : settings.criterion;
    if (!(options.initial_damping > 0.0 && std::isfinite(options.initial_damping)) ||
        !(options.max_sigma >= 1.0 && options.max_sigma <= 1e6) ||
        !(options.max_abs_mean >= 1.0 && options.max_abs_mean <= 1e6))
        return Error{ErrorKind::bad_settings, 0,
                     "The initial damping must be above 0, the range limits 1 to 1e6"};
    const ModelSpec& spec = prepared.spec;
    const int nd = spec.distributions;

    FitResult result;
    result.initial = options.start ? *options.start : initial_estimates(prepared);
    // The non-target distribution is N(0, 1) whatever a start says.
    result.initial.mean[nd - 1] = 0.0;
    result.initial.sigma[nd - 1] = 1.0;
    result.estimate = result.initial;
    result.log_likelihood = std::numeric_limits<double>::quiet_NaN();

    // Every work table starts from zero, so that a result never depends on
    // what the workspace fitted before.
    Workspace::Tables& ws = workspace.tables();
    std::memset(&ws.model, 0, sizeof ws.model);
    std::memset(&ws.trial, 0, sizeof ws.trial);
    std::memset(&ws.information, 0, sizeof ws.information);

    try {
        model::levenberg_marquardt(spec, prepared.counts, criterion, options, ws, options.trace,
                                   result);
    } catch (const numeric::NumericalStop& stop) {
        return Error{ErrorKind::numerical_stop, 0, stop.message(), 2};
    }
    if (options.trace)
        trace_verdict(*options.trace, spec, result);

    // No trial was accepted: the estimate is the start, not yet evaluated.
    if (std::isnan(result.log_likelihood)) {
        try {
            result.log_likelihood = model::likelihood_statistics(
                spec, prepared.counts, result.estimate.mean, result.estimate.sigma,
                result.estimate.bounds, ws.trial, ws.romberg).log_likelihood;
        } catch (const numeric::NumericalStop&) {
        }
    }
    return result;
}

}  // namespace varnel
