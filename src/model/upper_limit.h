// The LROC model's limit at an upper boundary that grows without bound: the
// maximum of the likelihood when a table has no non-target case above some
// category c below the highest, reached as the boundary above c goes to
// +infinity (the derivation is in upper_limit.cpp).  Tables with one target
// distribution.
#pragma once

#include <optional>

#include "varnel/fit.h"
#include "varnel/summary.h"

namespace varnel::model {

// The limit model at its maximum.  Its figures of merit depend on pi alone:
// the target's value X lies below every finite boundary with probability pi
// (its rating is then that of the highest non-target value Z, an incorrect
// localization) and above every one otherwise, so
//   AreaROC = 1 - pi / 2,  AreaLROC = 2 AreaROC - 1 = 1 - pi,
//   localization accuracy P(X > Z) = 1 - pi,  PCL at every FPF x > 0 = 1 - pi.
struct UpperLimit {
    int category = 0;       // c: the highest category holding a non-target case
    double pi = 0.0;        // P(X below every finite boundary)
    double log_likelihood = 0.0;  // logd1 of the fit's scale at the limit's maximum
    // Deviance and Pearson statistics with the localization outcomes over
    // the cells the limit gives a positive probability, and their degrees of
    // freedom: those cells - 2 distributions - the limit's parameters (c - 1
    // boundaries, pi, and the target's shares of the categories from c up,
    // one fewer than those holding its cases there).
    double deviance = 0.0;
    double pearson = 0.0;
    int df = 0;
    // The limit's boundaries below c, z_1 .. z_(c-1) (element k - 1), and
    // for k = c .. K - 1 the probability that X lies below z_k (element k - 1).
    double bounds[max_categories] = {};
    double x_below[max_categories] = {};
    bool x_in_c = false;  // X has probability in category c (e_c > 0)

    // A point of the model on the path to the limit at target standard
    // deviation sigma: mu = -Phi^-1(pi) sigma, the boundaries from c up at
    // mu + sigma Phi^-1(x_below), those below c as in the limit; its
    // likelihood and figures of merit tend to the limit's as sigma grows.
    // Needs 0 < pi and X in category c; otherwise nothing.
    std::optional<Parameters> on_path(double sigma, int categories) const;

    double area_roc() const { return 1.0 - 0.5 * pi; }
    double area_lroc() const { return 1.0 - pi; }
    double loc_accuracy() const { return 1.0 - pi; }
};

// The limit of the prepared study's model, when it exists: one target
// distribution, a category c below the highest with no non-target case
// above it, and no case in a cell the limit gives probability 0 (a target
// case localized incorrectly above c, or, without chance localization,
// correctly below c).  Otherwise nothing.
std::optional<UpperLimit> upper_limit(const PreparedStudy& prepared);

}  // namespace varnel::model
