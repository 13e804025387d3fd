// Log-likelihoods, deviance and Pearson statistics of the LROC model, once
// with the localization outcomes and once for the ratings alone.
#pragma once

#include "model/probabilities.h"
#include "varnel/summary.h"

namespace varnel::model {

// Log-likelihoods without the multinomial constant: logd1 of the ratings with
// their localization outcomes, logd2 of the ratings alone.
void log_likelihoods(const ModelSpec& spec, const FitCounts& counts, const BoundaryTable& fd,
                     const BoundaryTable& ild, const BoundaryTable& cld, double& logd1,
                     double& logd2);
// Deviance (likelihood-ratio) statistics against the saturated model.
void deviances(const ModelSpec& spec, const FitCounts& counts, const BoundaryTable& fd,
               const BoundaryTable& ild, const BoundaryTable& cld, double& logl1,
               double& logl2);
// Pearson chi-square statistics over the same cells.
void pearson_statistics(const ModelSpec& spec, const FitCounts& counts, const BoundaryTable& fd,
                        const BoundaryTable& ild, const BoundaryTable& cld, double& chi1,
                        double& chi2);

// The cells the statistics above sum over, counted as they count them: for
// the statistics 1 (with localization outcomes) and 2 (ratings alone), and
// the distributions with images (each fixes its own total).  A distribution
// without images has no cells.
struct StatisticCells {
    int with_localization = 0;
    int ratings = 0;
    int distributions = 0;
};
StatisticCells statistic_cells(const ModelSpec& spec, const FitCounts& counts);

// All six statistics at the point (a, b, z) from the model without
// derivatives; a(ndist) and b(ndist) must be 0 and 1.
LikelihoodStatistics likelihood_statistics(const ModelSpec& spec, const FitCounts& counts,
                                           const double* a, const double* b, const double* z,
                                           CategoryTables& work, numeric::Romberg& romberg);

}  // namespace varnel::model
