// Goodness of fit by parametric bootstrap: tables drawn from the fitted
// model, refitted, and the share of their statistics at least the observed.
#include "varnel/goodness_of_fit.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <exception>
#include <functional>
#include <memory>
#include <random>
#include <thread>

#include "model/likelihood.h"
#include "model/workspace.h"

namespace varnel {

namespace {

// Whether category k of fit distribution j has its localization outcomes as
// two cells.
bool localized(const ModelSpec& spec, int k, int j)
{
    return j < spec.distributions && spec.q(j) != 1.0 && k > spec.noloc;
}

// The generator of replicate `replicate`: std::seed_seq and the Mersenne
// twister are specified bit for bit by the standard, so the stream is the
// same everywhere and does not depend on which thread draws it.
std::mt19937_64 replicate_generator(std::uint64_t seed, std::uint64_t replicate)
{
    std::seed_seq words{static_cast<std::uint32_t>(seed), static_cast<std::uint32_t>(seed >> 32),
                        static_cast<std::uint32_t>(replicate),
                        static_cast<std::uint32_t>(replicate >> 32)};
    return std::mt19937_64(words);
}

// A uniform number in [0, 1) from the top 53 bits of one draw.  The
// distributions of <random> (uniform_real_distribution,
// discrete_distribution) may differ between standard libraries; this does
// not.
double uniform(std::mt19937_64& g)
{
    return static_cast<double>(g() >> 11) * 0x1.0p-53;
}

// The start of a refit of a table whose empty categories prepare() dropped:
// the observed estimate with the boundary above each dropped category
// removed (the one below for a dropped top category), so that each kept
// category but the highest keeps its upper boundary.
Parameters start_without(const Parameters& estimate, const bool* kept, int categories)
{
    int top = categories;
    while (top > 1 && !kept[top])
        --top;
    Parameters s = estimate;
    int n = 0;
    for (int k = 1; k < top; ++k)
        if (kept[k])
            s.bounds[n++] = estimate.bounds[k - 1];
    for (int i = n; i < max_categories; ++i)
        s.bounds[i] = 0.0;
    return s;
}

// The last attempt at a replicate's fit: a first damping 1000 times the
// default and the target's standard deviation up to 100, its mean to +-1000.
constexpr double wide_damping = 1.0;
constexpr double wide_max_sigma = 100.0;
constexpr double wide_max_abs_mean = 1000.0;

// What one replicate gave.
struct Replicate {
    double pearson = BootstrapGoodnessOfFit::none;
    double deviance = BootstrapGoodnessOfFit::none;
    bool cold = false;  // the warm refit failed
    bool run = false;
};

// The fixed inputs of every replicate.
struct Job {
    const PreparedStudy& prepared;
    const CellProbabilities& cells;
    const FitSettings& settings;  // the refits' settings
    const Parameters& estimate;
    std::uint64_t seed;
};

// Draws, prepares, refits (warm, then cold) and evaluates replicate i.
Replicate run_replicate(const Job& job, std::uint64_t i, Workspace& ws)
{
    Replicate r;
    r.run = true;
    const Study drawn = draw_table(job.prepared, job.cells, job.seed, i);
    const Expected<PreparedStudy> p = prepare(drawn, job.settings);
    if (!p)
        return r;

    const int nc = drawn.categories;
    bool kept[max_categories + 1] = {};
    bool any_dropped = false;
    for (int k = 1; k <= nc; ++k) {
        for (int m = 1; m <= drawn.targets + 1; ++m)
            kept[k] = kept[k] || drawn.correct(k, m) != 0 || drawn.incorrect(k, m) != 0;
        any_dropped = any_dropped || !kept[k];
    }
    const Parameters start = any_dropped ? start_without(job.estimate, kept, nc) : job.estimate;

    FitOptions warm;
    warm.start = &start;
    Expected<FitResult> f = fit(*p, job.settings, ws, warm);
    if (!f || !f->converged) {
        r.cold = true;
        f = fit(*p, job.settings, ws);
        if (!f || !f->converged) {
            // Last, warm with smaller first steps and a wider parameter range:
            // a drawn table's maximum may lie beyond the default range.
            FitOptions wide = warm;
            wide.initial_damping = wide_damping;
            wide.max_sigma = wide_max_sigma;
            wide.max_abs_mean = wide_max_abs_mean;
            f = fit(*p, job.settings, ws, wide);
            if (!f || !f->converged)
                return r;
        }
    }
    try {
        const Parameters& e = f->estimate;
        Workspace::Tables& t = ws.tables();
        const LikelihoodStatistics l = model::likelihood_statistics(
            p->spec, p->counts, e.mean, e.sigma, e.bounds, t.trial, t.romberg);
        if (!std::isnan(l.pearson) && !std::isnan(l.deviance)) {
            r.pearson = l.pearson;
            r.deviance = l.deviance;
        }
    } catch (const numeric::NumericalStop&) {
    }
    return r;
}

}  // namespace

Expected<CellProbabilities> cell_probabilities(const PreparedStudy& prepared,
                                               const Parameters& at)
{
    const ModelSpec& spec = prepared.spec;
    const int nc = spec.categories;
    const int nd = spec.distributions;
    Parameters x = at;
    x.mean[nd - 1] = 0.0;
    x.sigma[nd - 1] = 1.0;
    const auto t = std::make_unique<model::CategoryTables>();
    numeric::Romberg romberg;
    try {
        model::category_probabilities(spec, x.mean, x.sigma, x.bounds, *t, romberg);
    } catch (const numeric::NumericalStop& stop) {
        return Error{ErrorKind::numerical_stop, 0, stop.message()};
    }
    CellProbabilities c;
    for (int j = 1; j <= nd; ++j) {
        const double q = j < nd ? spec.q(j) : 0.0;
        for (int k = 1; k <= nc; ++k) {
            if (localized(spec, k, j)) {
                c.incorrect(k, j) = (1.0 - q) * t->ild(k, j);
                c.correct(k, j) = q * t->ild(k, j) + t->cld(k, j);
            } else {
                c.correct(k, j) = t->fd(k, j);
            }
        }
    }
    return c;
}

// Each case of a distribution picks the first cell whose cumulative
// probability exceeds a uniform number times the total; the cost grows with
// the number of cases.
Study draw_table(const PreparedStudy& prepared, const CellProbabilities& cells,
                 std::uint64_t seed, std::uint64_t replicate)
{
    const ModelSpec& spec = prepared.spec;
    const int nc = spec.categories;
    const int nd = spec.distributions;
    std::mt19937_64 g = replicate_generator(seed, replicate);

    Study s = prepared.study;
    s.incorrect = CountTable{};
    s.correct = CountTable{};
    for (int j = 1; j <= nd; ++j) {
        const int m = j < nd ? j + 1 : 1;  // input-order distribution
        // Cells in category order, incorrect before correct localization.
        double cumulative[2 * max_categories];
        int* count[2 * max_categories];
        long long drawn[2 * max_categories] = {};
        int ncell = 0, last = 0;
        double total = 0.0;
        for (int k = 1; k <= nc; ++k) {
            for (const bool correct : {false, true}) {
                const double pr = correct ? cells.correct(k, j) : cells.incorrect(k, j);
                if (!correct && !localized(spec, k, j))
                    continue;
                total += pr > 0.0 ? pr : 0.0;
                if (pr > 0.0)
                    last = ncell;
                cumulative[ncell] = total;
                count[ncell++] = correct ? &s.correct(k, m) : &s.incorrect(k, m);
            }
        }
        const long long images = static_cast<long long>(prepared.counts.images[j - 1]);
        for (long long n = 0; n < images && total > 0.0; ++n) {
            const double u = uniform(g) * total;
            const int c = static_cast<int>(std::upper_bound(cumulative, cumulative + ncell, u) -
                                           cumulative);
            ++drawn[std::min(c, last)];
        }
        for (int c = 0; c < ncell; ++c)
            *count[c] = static_cast<int>(std::min<long long>(drawn[c], INT_MAX));
    }
    return s;
}

Expected<BootstrapGoodnessOfFit> bootstrap_goodness_of_fit(const PreparedStudy& prepared,
                                                           const FitSettings& settings,
                                                           const FitResult& fit,
                                                           Workspace& workspace,
                                                           const BootstrapOptions& options)
{
    if (!fit.converged)
        return Error{ErrorKind::not_converged, 0,
                     "The goodness of fit needs a fit that converged"};
    if (options.replicates < 1)
        return Error{ErrorKind::bad_settings, 0, "The bootstrap needs at least one replicate"};
    const ModelSpec& spec = prepared.spec;

    BootstrapGoodnessOfFit b;
    b.replicates = options.replicates;
    try {
        const Parameters& e = fit.estimate;
        Workspace::Tables& t = workspace.tables();
        const LikelihoodStatistics l = model::likelihood_statistics(
            spec, prepared.counts, e.mean, e.sigma, e.bounds, t.trial, t.romberg);
        b.pearson = l.pearson;
        b.deviance = l.deviance;
    } catch (const numeric::NumericalStop& stop) {
        return Error{ErrorKind::numerical_stop, 0, stop.message()};
    }
    const Expected<CellProbabilities> cells = cell_probabilities(prepared, fit.estimate);
    if (!cells)
        return cells.error();

    // Drawn tables carry the prepared NOLOC already; a NOLOC setting would
    // raise it again after a dropped category had lowered it.
    FitSettings refit = settings;
    refit.noloc = 0;
    std::copy(spec.chance, spec.chance + max_targets, refit.chance.begin());
    const Job job{prepared, *cells, refit, fit.estimate, options.seed};

    // Replicates are taken in turn by the threads; each result lands at its
    // own index, so the outcome does not depend on which thread ran it.
    std::vector<Replicate> outcome(static_cast<std::size_t>(options.replicates));
    std::atomic<int> next{0};
    std::atomic<bool> stop{false};
    std::exception_ptr fault;
    std::atomic<bool> faulted{false};
    auto worker = [&](Workspace& ws) {
        try {
            for (;;) {
                if (stop.load() || (options.cancel && options.cancel->load()))
                    return;
                const int i = next.fetch_add(1);
                if (i >= options.replicates)
                    return;
                outcome[static_cast<std::size_t>(i)] =
                    run_replicate(job, static_cast<std::uint64_t>(i), ws);
            }
        } catch (...) {
            if (!faulted.exchange(true))
                fault = std::current_exception();
            stop = true;
        }
    };
    const int threads = std::clamp(options.threads, 1, options.replicates);
    {
        std::vector<Workspace> own(static_cast<std::size_t>(threads - 1));
        std::vector<std::jthread> pool;
        for (int k = 0; k < threads - 1; ++k)
            pool.emplace_back(worker, std::ref(own[static_cast<std::size_t>(k)]));
        worker(workspace);
    }
    if (fault)
        std::rethrow_exception(fault);

    b.pearson_replicates.assign(outcome.size(), BootstrapGoodnessOfFit::none);
    b.deviance_replicates.assign(outcome.size(), BootstrapGoodnessOfFit::none);
    for (std::size_t i = 0; i < outcome.size(); ++i) {
        const Replicate& r = outcome[i];
        if (!r.run) {
            b.cancelled = true;
            continue;
        }
        if (r.cold)
            ++b.cold_refits;
        if (std::isnan(r.pearson)) {
            ++b.failed;
            continue;
        }
        ++b.fitted;
        b.pearson_replicates[i] = r.pearson;
        b.deviance_replicates[i] = r.deviance;
        if (r.pearson >= b.pearson)
            ++b.pearson_at_least;
        if (r.deviance >= b.deviance)
            ++b.deviance_at_least;
    }
    if (!b.cancelled && b.fitted > 0) {
        b.p_pearson = static_cast<double>(b.pearson_at_least) / b.fitted;
        b.p_deviance = static_cast<double>(b.deviance_at_least) / b.fitted;
    }
    return b;
}

}  // namespace varnel
