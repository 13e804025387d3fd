// Goodness of fit by parametric bootstrap: tables drawn from the fitted
// model, each refitted, and the share of their statistics at least the
// observed one; an alternative to the chi-square approximation of
// ChiSquareTests (varnel/summary.h).
// Measured on 1000 tables drawn from the model (1 target, 6 categories,
// NOLOC 1, 500 replicates each; bench/gof_uniformity): with 100 + 100 cases
// the p-values are uniform, <= 0.05 for 5.1% of the tables with either
// statistic (the deviance's chi-square p-value: 6.6%); with 30 + 30 cases
// they lean to small values, <= 0.05 for 5.7% (Pearson) and 6.5%
// (deviance), an effect of drawing at the estimate instead of the true
// point: drawn at the true point they are uniform there too.
//
//     auto fitted = varnel::fit(*prepared, settings, workspace);
//     varnel::BootstrapOptions options;            // 1000 replicates, seed 1
//     auto gof = varnel::bootstrap_goodness_of_fit(*prepared, settings, *fitted,
//                                                  workspace, options);
//     // gof->p_pearson, gof->p_deviance, gof->failed
#pragma once

#include <atomic>
#include <cstdint>
#include <limits>
#include <vector>

#include "varnel/fit.h"

namespace varnel {

// Probabilities of the cells of every distribution at one point of the
// model, in fit order, laid out as FitCounts: where the fit does not use
// localization (the non-target distribution, a target with chance value 1,
// the lowest NOLOC categories of the others) the category's probability is
// in `correct` and `incorrect` is 0; elsewhere correct = q ild + cld and
// incorrect = (1 - q) ild, with q the target's chance value and ild, cld the
// model's probabilities of a rating in the category with the mark away from
// and on the target.  Each probability is at least 1e-8, as the likelihood
// statistics see them.
struct CellProbabilities {
    FrequencyTable incorrect{};
    FrequencyTable correct{};
};

// The cell probabilities of the prepared study's model at `at` (the
// non-target entries are taken as 0 and 1 whatever they hold).  Error: a
// numerical stop of the integration.
Expected<CellProbabilities> cell_probabilities(const PreparedStudy& prepared,
                                               const Parameters& at);

// A table drawn from the model: each distribution's number of images in the
// prepared study spread multinomially over its cells with the given
// probabilities (normalized per distribution), one case at a time.  The
// table has the prepared study's identifiers, labels, categories and NOLOC;
// counts of cells without localization are in `correct`.  Categories no
// case fell into are kept (prepare() drops them).  The same (seed,
// replicate) gives the same table on every platform.
Study draw_table(const PreparedStudy& prepared, const CellProbabilities& cells,
                 std::uint64_t seed, std::uint64_t replicate);

struct BootstrapOptions {
    int replicates = 1000;   // tables drawn, at least 1
    std::uint64_t seed = 1;  // replicate i is drawn by draw_table(..., seed, i)
    // Threads that fit replicates at once (below 1 counts as 1).  The caller's
    // workspace serves the first; each further thread makes its own.  The
    // result does not depend on the number.
    int threads = 1;
    // Checked before each replicate; once true, no further replicate starts
    // and the result comes back with `cancelled` set.
    const std::atomic<bool>* cancel = nullptr;
};

struct BootstrapGoodnessOfFit {
    static constexpr double none = std::numeric_limits<double>::quiet_NaN();
    // The observed table's statistics with the localization outcomes at the
    // fit's estimate (Summary::likelihood.pearson and .deviance).
    double pearson = none;
    double deviance = none;
    // Share of the fitted replicates whose statistic is at least the observed
    // one; NaN when no replicate was fitted or the run was cancelled.
    double p_pearson = none;
    double p_deviance = none;
    int replicates = 0;  // replicates asked for
    int fitted = 0;      // replicates fitted (warm, or retried after a failed warm refit)
    // Replicates that could not be fitted warm nor cold (or whose statistics
    // could not be evaluated).  They are left out of the shares; counting
    // every one of them as at least the observed statistic instead gives
    // (at_least + failed) / replicates, the bound to quote beside p when
    // failed is not 0.
    int failed = 0;
    int cold_refits = 0;  // replicates whose warm refit failed and were retried
    int pearson_at_least = 0;
    int deviance_at_least = 0;
    bool cancelled = false;
    // The replicates' statistics by replicate number; NaN for a failed one
    // (and for those not run after a cancellation).
    std::vector<double> pearson_replicates;
    std::vector<double> deviance_replicates;
};

// Parametric bootstrap of the goodness of fit of `fit`, the converged fit of
// `prepared` with `settings` (its criterion is used for the refits; chance
// values and NOLOC come from the prepared study).  Each replicate draws a
// table from the model at the fit's estimate, prepares it and fits it from
// the fit's estimate; a warm refit that fails (an error or no convergence)
// is retried from the initial estimates, and then warm with a first damping
// 1000 times the default and the target's standard deviation allowed up to
// 100 (its mean to +-1000).  A category that no case of a
// drawn table fell into is dropped as for any study: the fit of the other
// categories is the limit of the fit with it kept (its boundaries merged),
// and its cells add nothing to the statistics in that limit (no count,
// expected count 0), so the replicate's statistics are those of the whole
// structure, comparable with the observed ones.
// Errors: the fit did not converge (not_converged), replicates below 1
// (bad_settings), a numerical stop in the observed table's statistics.
Expected<BootstrapGoodnessOfFit> bootstrap_goodness_of_fit(const PreparedStudy& prepared,
                                                           const FitSettings& settings,
                                                           const FitResult& fit,
                                                           Workspace& workspace,
                                                           const BootstrapOptions& options = {});

}  // namespace varnel
