// The empirical figures of merit (FOMs) of one reader × modality table from
// its ratings: rating groups, the empirical LROC curve and the FOMs on it.
// The FOM names (FomSpec, parse_fom) are public (varnel/fom.h).
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "varnel/fom.h"

namespace varnel::mrmc {

// One target case's rating and whether it was correctly localized (a case
// without a recorded mark counts as not correctly localized).
struct TargetRating {
    double rating = 0.0;
    bool localized = false;
};

// The cases of a table that share one rating: how many are normal, how many
// have a target and how many of those were correctly localized.
struct RatingGroup {
    double rating = 0.0;
    int normals = 0;
    int targets = 0;
    int localized = 0;
};

// The rating groups of a table, highest rating first.
std::vector<RatingGroup> rating_groups(std::span<const double> normal,
                                       std::span<const TargetRating> target);

// A point of the empirical LROC curve.
struct LrocPoint {
    double fpf = 0.0;
    double pcl = 0.0;
};

// The empirical LROC curve: at each distinct rating c from the highest down,
// FPF = #(normal rated > c)/K1 and PCL = #(target localized, rated > c)/K2,
// then a last point at FPF 1 with the PCL of the lowest rating.  Groups
// without cases are skipped.  Needs K1 > 0 and K2 > 0.
std::vector<LrocPoint> lroc_curve(std::span<const RatingGroup> groups);

// PCL at FPF x (0 < x <= 1) by linear interpolation between the last point
// with FPF < x and the first point with FPF >= x.  Where several points share
// the FPF x, the first (lowest PCL) is taken; so at x = 1 this is the PCL of
// the lowest rating unless every normal case is rated above the lowest rating.
double pcl_at(std::span<const LrocPoint> curve, double x);

// Trapezoidal area under the points with FPF < x followed by (x, pcl_at(x)).
double alroc_at(std::span<const LrocPoint> curve, double x);

// Mean over (normal, target) pairs of 1 when the target case is rated higher,
// 1/2 when equal, 0 otherwise.  Needs K1 > 0 and K2 > 0.
double wilcoxon_auc(std::span<const RatingGroup> groups);

// The empirical FOM of rating groups with at least one normal and one target
// case; fom must not be model-based.
double fom_of_groups(const FomSpec& fom, std::span<const RatingGroup> groups);

// The empirical FOM of one table; an error for a model-based FOM or an empty
// group of cases.
Expected<double> empirical_fom(const FomSpec& fom, std::span<const double> normal,
                             std::span<const TargetRating> target);

}  // namespace varnel::mrmc
