// Figures of merit (FOMs) of a reader x modality table: the normal cases
// against the cases of one target class.  Empirical ones come from the
// ratings, model-based ones from fits of the LROC model to binned tables.
#pragma once

#include <string>
#include <string_view>

#include "varnel/error.h"

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
Expected<FomSpec> parse_fom(std::string_view text);

// The name parse_fom reads back to the same FomSpec (`pcl@0.2`).
std::string fom_name(const FomSpec& fom);

// True for the FOMs computed from model fits rather than from the ratings.
bool is_model_based(const FomSpec& fom);

// True for the FOMs that depend on localization outcomes (all but wilcoxon
// and model-auc).
bool uses_localization(const FomSpec& fom);

}  // namespace varnel::mrmc
