// What a fit says about the study: standard errors, areas, localization,
// moments, likelihood statistics, curves and the correlation matrix.
#pragma once

#include <memory>
#include <optional>

#include "varnel/error.h"
#include "varnel/fit.h"

namespace varnel {

// Likelihood statistics: "1" with the localization outcomes, "2" of the
// ratings alone (the console report's logd1, logd2, logL1, logL2, chi1, chi2).
struct LikelihoodStatistics {
    double log_likelihood = 0.0;          // logd1, without the multinomial constant
    double log_likelihood_ratings = 0.0;  // logd2
    double deviance = 0.0;                // logL1, against the saturated model
    double deviance_ratings = 0.0;        // logL2
    double pearson = 0.0;                 // chi1
    double pearson_ratings = 0.0;         // chi2
};

// Asymptotic goodness-of-fit tests of the statistics above: each statistic
// against the chi-square distribution with its degrees of freedom.
//   degrees of freedom = cells - distributions - parameters,
// counting only distributions with images (each fixes its own total).  With
// the localization outcomes a category counts as one cell where localization
// is not used (the non-target distribution, a target with chance value 1,
// the lowest NOLOC categories of the other targets) and as two (incorrect,
// correct localization) elsewhere; for the ratings alone every category is
// one cell.  Example: 6 categories, 1 target, NOLOC 1: 6 + (1 + 2 x 5) cells,
// 2 distributions, 5 + 2 parameters: 8 degrees of freedom (3 for the ratings
// alone).  A p-value is NaN when its degrees of freedom are 0 or fewer or the
// statistic is not a number.
// How well the approximation holds, measured on 1000 tables drawn from the
// model (1 target, 6 categories, NOLOC 1; bench/gof_uniformity): with
// 100 + 100 cases the Pearson p-value is <= 0.05 for 4.5% of the tables,
// the deviance's for 6.6% (its p-values lean to small values); with 30 + 30
// cases 4.5% and 4.8%, the deviance's p-values still far from uniform.  The
// parametric bootstrap (varnel/goodness_of_fit.h) is the alternative.
struct ChiSquareTests {
    int cells = 0;          // with the localization outcomes
    int cells_ratings = 0;  // of the ratings alone
    int df = 0;             // of pearson and deviance
    int df_ratings = 0;     // of pearson_ratings and deviance_ratings
    double p_pearson = 0.0;
    double p_deviance = 0.0;
    double p_pearson_ratings = 0.0;
    double p_deviance_ratings = 0.0;
};

// P(chi-square with df degrees of freedom >= statistic): NaN when df <= 0 or
// the statistic is NaN; 1 for a statistic of 0 or below (rounding can leave
// a deviance a little below 0); 0 for +infinity.
double chi_square_p_value(double statistic, int df);

// Degrees of freedom of the prepared study's statistics and the p-values of
// the given values of them.
ChiSquareTests chi_square_tests(const PreparedStudy& prepared, const LikelihoodStatistics& l);

// A negative variance on the diagonal of the covariance matrix: its standard
// error is NaN.  The console program notes these in its trace file.
struct NegativeVariance {
    enum Kind { mean, sigma, boundary } kind;
    int index;     // parameter position (means 1.., standard deviations, boundaries)
    double value;  // the variance
};

// Points of the fitted curves: thresholds from -5 to 6.96 (spacing 12/298),
// point 1 below and point 300 above everything.
inline constexpr int curve_points = 300;
using CurveTable = Table<double, curve_points, max_distributions>;

// Fitted curves: false-positive fraction per point; per target the ROC
// true-positive fraction, the LROC correct-localization fraction and the
// latter with chance localization.
struct Curves {
    double fp[curve_points] = {};
    CurveTable tp{}, ctp{}, ctp_adjusted{};
};

struct Summary {
    // Standard errors of the means and standard deviations per distribution
    // (fit order; the non-target entry is 0), and of the boundaries.
    double se_mean[max_distributions] = {};
    double se_sigma[max_distributions] = {};
    double se_bounds[max_categories] = {};

    // Per target t (element t - 1), from the fitted parameters.
    double area_roc[max_targets] = {};              // AreaROC (numerical integration)
    double se_area_roc[max_targets] = {};
    double area_lroc[max_targets] = {};             // AreaLROC = 2 AreaROC - 1
    double se_area_lroc[max_targets] = {};          // 2 se_area_roc
    double loc_accuracy[max_targets] = {};          // P(X > Z)
    double se_loc_accuracy[max_targets] = {};
    double adjusted_area_lroc[max_targets] = {};    // with chance localization (when entered)
    double adjusted_loc_accuracy[max_targets] = {};
    double dloc[max_targets] = {};                  // localization index d_loc
    double se_dloc[max_targets] = {};
    // Probability of correct localization Phi(d_loc / sqrt 2), in closed form;
    // its standard error is se_loc_accuracy (the same quantity under the model).
    double pcl[max_targets] = {};

    // Moments of each distribution's rating (fit order) and the binormal d_a
    // and Az they imply.
    double moment_mean[max_distributions] = {};
    double moment_sd[max_distributions] = {};
    double skew[max_distributions] = {};
    double kurtosis[max_distributions] = {};
    double implied_da[max_distributions] = {};
    double implied_az[max_distributions] = {};

    // Likelihood statistics at the estimate; when the integration could not
    // evaluate them, the error (and NaN in every statistic).
    LikelihoodStatistics likelihood;
    std::optional<Error> likelihood_error;
    // Their degrees of freedom and asymptotic p-values (NaN with a
    // likelihood error).
    ChiSquareTests chi_square;

    // The fitted curves; none when summarized without them.
    std::shared_ptr<const Curves> curves;

    // Standard errors on the diagonal, correlations off it, over the leading
    // parameters x parameters block.
    ParameterMatrix correlation{};

    NegativeVariance negative_variances[max_parameters] = {};
    int negative_variance_count = 0;
};

// Everything the reports show of a fit.
Summary summarize(const PreparedStudy& prepared, const FitResult& fit);
// The same into a summary the caller keeps; without curves when the caller
// has no use for them (they are the costliest part), which summarize_curves
// can add later.
void summarize(const PreparedStudy& prepared, const FitResult& fit, Summary& into,
               bool with_curves = true);
void summarize_curves(const PreparedStudy& prepared, const FitResult& fit, Summary& into);

}  // namespace varnel
