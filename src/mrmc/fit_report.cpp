// Text and JSON of the model fits behind a model-based comparison.
#include "mrmc/fit_report.h"

namespace varnel::mrmc {

namespace {

// How model-auc and model-alroc relate under the localization setting of
// the fits, for the FOM compared.
std::string localization_text(const FomSpec& fom, LocalizationUse use)
{
    if (use == LocalizationUse::ignore)
        return "Localization outcomes: ignored; each table fitted from its ratings alone (every "
               "category merged, as with NOLOC = categories).\n"
               "  model-alroc and model-loc use the outcomes and come from other fits: "
               "model-alroc is then not 2 model-auc - 1 of these fits.\n";
    std::string out = "Localization outcomes: used by the fits.\n";
    if (fom.kind == FomKind::model_auc || fom.kind == FomKind::model_alroc)
        out += "  Under the model without chance localization AreaLROC = 2 AreaROC - 1: from "
               "these fits model-auc and model-alroc give the same test.\n";
    if (fom.kind == FomKind::model_auc)
        out += "  --localization ignore fits the ratings alone (misplaced marks then cannot "
               "move model-auc).\n";
    return out;
}

}  // namespace

std::string model_fits_heading_text(const CompareResult& result)
{
    if (!result.localization)
        return {};
    return localization_text(result.fom, *result.localization);
}

nlohmann::json model_fits_json(const CompareResult& result)
{
    if (!result.localization)
        return nullptr;
    return {{"localization", localization_name(*result.localization)}};
}

}  // namespace varnel::mrmc
