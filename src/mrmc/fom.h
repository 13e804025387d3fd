// Figures of merit (FOMs) of one reader × modality table: the normal cases
// against the cases of one target class.  The empirical ones are computed
// here; the model-based ones come from fits of binned tables and are only
// named here.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "mrmc/result.h"

namespace varnel::mrmc {

enum class FomKind {
    wilcoxon,     // area under the empirical ROC curve
    pcl,          // empirical PCL at FPF x
    alroc,        // empirical area under the LROC curve from FPF 0 to x
    model_auc,    // model-based: ROC area
    model_alroc,  // model-based: LROC area
    model_loc,    // model-based: localization probability
    model_pcl,    // model-based: PCL at FPF x
};

// A FOM and, for pcl, alroc and model-pcl, its false-positive fraction x.
struct FomSpec {
    FomKind kind = FomKind::wilcoxon;
    double fpf = 1.0;  // 0 < fpf <= 1; used only by the kinds named above
};

// Parses `wilcoxon`, `pcl@X`, `alroc@X`, `model-auc`, `model-alroc`,
// `model-loc` or `model-pcl@X` (0 < X <= 1).
Result<FomSpec> parse_fom(std::string_view text);

// The name parse_fom reads back to the same FomSpec (`pcl@0.2`).
std::string fom_name(const FomSpec& fom);

// True for the FOMs computed from model fits rather than from the ratings.
bool is_model_based(const FomSpec& fom);

// True for the FOMs that depend on localization outcomes (all but wilcoxon
// and model-auc).
bool uses_localization(const FomSpec& fom);

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
Result<double> empirical_fom(const FomSpec& fom, std::span<const double> normal,
                             std::span<const TargetRating> target);

}  // namespace varnel::mrmc
