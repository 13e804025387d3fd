// Model-based figures of merit and their jackknife: every reader x modality
// table of the study binned with the categories of the whole study and
// fitted; then, per table, each distinct table left when one case of the
// analysis is left out refitted once, warm-started from the fit of the full
// table.  Cases in one cell of a table (category, truth, localization) leave
// the same table, so a table has at most a few dozen refits whatever the
// number of cases, and each case gets the value of its cell's refit.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

#include "mrmc/jackknife.h"
#include "varnel/binning.h"
#include "varnel/compare.h"
#include "varnel/fit.h"

namespace varnel::mrmc {

// PCL of the fitted LROC curve at false-positive fraction x: with
// zeta = Phi^-1(1 - x), P(X > zeta and X > Z) for X ~ N(mu, sigma^2),
// Z ~ N(0, 1) (Gauss-Kronrod quadrature; x = 1 gives P(X > Z)).
double model_pcl(double mu, double sigma, double x);

// The model-based FOM of target class t of a fitted table: AreaROC, AreaLROC
// or the localization accuracy as the fit report gives them, or model_pcl.
double model_fom(const FomSpec& fom, const PreparedStudy& prepared, const FitResult& fit, int t);

struct ModelFomOptions {
    FitSettings fit;
    // Parametric bootstrap replicates of each full table's goodness of fit
    // (0: none), drawn with a seed made from `seed` and the table's place.
    int gof_bootstrap = 0;
    std::uint64_t seed = 1;
    // Fit every table from its ratings alone (study::without_localization);
    // for model-auc only, which does not need the localization outcomes.
    bool ratings_only = false;
    int threads = 1;
    // Called now and then with the numbers of fits done and in all (the full
    // tables and the distinct refits).
    std::function<void(int, int)> progress;
    // Once true, no further fit starts and the matrix is a cancelled error.
    const std::atomic<bool>* cancel = nullptr;
};

// The FOM matrix of target class `target_class` from fits of the tables
// binned with `binning`; the study must be fully crossed (check_design).
// The values are those of refitting every table without each case in turn.
// A fit that fails or does not converge, of a full table or a refit, is an
// error with status 2 naming reader, modality and, for a refit, the first
// case of the analysis whose leaving out gives that table, with how many
// cases do; a cancellation (checked between fits) is a cancelled error.
Expected<FomMatrix> model_fom_matrix(const study::CaseStudy& study, const study::Binning& binning,
                                     int target_class, const FomSpec& fom,
                                     const ModelFomOptions& options);

// The FOM matrix and what the fits of the tables gave: per table (reader-
// major) its fit's part of TableFit (names, categories, NOLOC, attempts,
// degeneracy, goodness of fit, refit counts, model AUC and localization
// accuracy); each reader's tables binned with its own binning.
//
// Every fit is made robust: a fit (or warm refit) that fails or does not
// converge is retried cold, then from the full fit (cold for a full table)
// with a first damping value 1000 times the default, then the same with the
// standard deviation allowed up to 100 and the mean to +-1000.  A table of
// one target class with no normal case above some category c below the
// highest (upper_limit in src/model) is degenerate when no converged fit
// beats the limit of the likelihood as the boundary above c grows without
// bound; its FOM is then that limit's.  Only when every attempt fails and
// there is no limit is it an error (status 2), with advice.
struct ModelFits {
    FomMatrix matrix;
    std::vector<TableFit> tables;
};
Expected<ModelFits> model_fits(const study::CaseStudy& study,
                               const std::vector<study::Binning>& reader_binnings,
                               int target_class, const FomSpec& fom,
                               const ModelFomOptions& options);

}  // namespace varnel::mrmc
