// Text and JSON of the model fits behind a model-based comparison.
#include "mrmc/fit_report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "mrmc/report.h"
#include "mrmc/text.h"

namespace varnel::mrmc {

namespace {

using Row = std::vector<std::string>;

constexpr int fom_decimals = 6;
constexpr int stat_decimals = 4;
constexpr int range_decimals = 3;

// Fixed-point text, "-" where a figure is undefined.
std::string fixed(double v, int decimals) { return text::fixed(v, decimals, "-"); }

// A p value: four decimals, small ones in scientific form.
std::string p_text(double p)
{
    if (std::isnan(p)) return "-";
    if (p == 0.0 || p >= 1e-4) return fixed(p, stat_decimals);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.2e", p);
    return buf;
}

// Rows as aligned columns, indented by two: the first two left-aligned.
std::string aligned(const std::vector<Row>& rows)
{
    std::vector<std::size_t> width;
    for (const Row& row : rows)
        for (std::size_t c = 0; c < row.size(); ++c) {
            if (width.size() <= c) width.push_back(0);
            width[c] = std::max(width[c], row[c].size());
        }
    std::string out;
    for (const Row& row : rows) {
        std::string line = " ";
        for (std::size_t c = 0; c < row.size(); ++c) {
            const std::string pad(width[c] - row[c].size(), ' ');
            line += " " + (c < 2 ? row[c] + pad : pad + row[c]);
        }
        while (!line.empty() && line.back() == ' ') line.pop_back();
        out += line + "\n";
    }
    return out;
}

// How model-auc and model-alroc relate under the localization setting of
// the fits, for the FOM compared.
std::string localization_text(const FomSpec& fom, LocalizationUse use)
{
    if (use == LocalizationUse::ignore)
        return "Localization outcomes: ignored; each table fitted from its ratings alone\n"
               "  (every category merged, as with NOLOC = categories).  model-alroc and\n"
               "  model-loc use the outcomes and come from other fits: model-alroc is then\n"
               "  not 2 model-auc - 1 of these fits.\n";
    std::string out = "Localization outcomes: used by the fits.\n";
    if (fom.kind == FomKind::model_auc || fom.kind == FomKind::model_alroc)
        out += "  Under the model without chance localization AreaLROC = 2 AreaROC - 1:\n"
               "  from these fits model-auc and model-alroc give the same test.\n";
    if (fom.kind == FomKind::model_auc)
        out += "  --localization ignore fits the ratings alone (misplaced marks then cannot\n"
               "  move model-auc).\n";
    return out;
}

// "6 categories, from the quantiles: <=1.5 (1.5,2.5] ...".
std::string binning_text(const study::Binning& b)
{
    std::string rule;
    switch (b.rule) {
    case study::BinningRule::cutpoints:
        rule = "from the cutpoints";
        break;
    case study::BinningRule::distinct_ratings:
        rule = "one per distinct rating";
        break;
    case study::BinningRule::quantiles:
        rule = b.noloc_group ? "from the quantiles, category 1 the ratings without localization"
                             : "from the quantiles";
        break;
    }
    std::string labels;
    for (const std::string& l : b.labels) labels += " " + l;
    return std::to_string(b.categories()) + " categories, " + rule + ":" + labels;
}

std::string settings_text(const CompareResult& r)
{
    std::string out;
    if (r.binning)
        out += "Binning (every table): " + binning_text(*r.binning) + "\n";
    if (!r.reader_binnings.empty() && !r.classes.empty()) {
        out += "Binning per reader (each reader's ratings in every modality):\n";
        const std::vector<std::string>& readers = r.classes.front().matrix.readers;
        for (std::size_t i = 0; i < r.reader_binnings.size() && i < readers.size(); ++i)
            out += "  " + readers[i] + ": " + binning_text(r.reader_binnings[i]) + "\n";
    }
    if (r.fit) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%g", r.fit->criterion);
        out += std::string("Fits: criterion ") + buf;
        bool chance = false;
        for (double q : r.chance) chance = chance || q != 0.0;
        if (chance) {
            out += ", chance";
            for (double q : r.chance) {
                std::snprintf(buf, sizeof buf, " %g", q);
                out += buf;
            }
        }
        if (r.fit->noloc > 0) out += ", NOLOC raised to " + std::to_string(r.fit->noloc);
        out += "\n";
    }
    return out;
}

// The goodness of fit and the refits of every table.
std::string fits_table(const ClassFits& c, bool bootstrap)
{
    std::vector<Row> rows;
    Row head{"Reader", "Modality", "Categories", "NOLOC", "Pearson", "Deviance", "df", "p"};
    if (bootstrap) head.push_back("Bootstrap p");
    for (const char* h : {"Fits", "Refits", "Retried", "Degenerate"}) head.push_back(h);
    rows.push_back(head);
    for (const TableFit& t : c.tables) {
        Row row{t.reader,
                t.modality,
                std::to_string(t.categories),
                std::to_string(t.noloc),
                fixed(t.likelihood.pearson, stat_decimals),
                fixed(t.likelihood.deviance, stat_decimals),
                std::to_string(t.chi_square.df),
                p_text(t.chi_square.p_pearson) + (t.fit_rejected && !bootstrap ? " *" : "")};
        if (bootstrap)
            row.push_back(p_text(t.bootstrap_p_pearson) + (t.fit_rejected ? " *" : ""));
        row.push_back(std::to_string(t.attempts));
        row.push_back(std::to_string(t.refits));
        row.push_back(std::to_string(t.retried_refits));
        row.push_back((t.degenerate ? "limit above " + std::to_string(t.degenerate_category)
                                    : std::string("no")) +
                      (t.degenerate_refits > 0
                           ? ", " + std::to_string(t.degenerate_refits) + " refits"
                           : std::string()));
        rows.push_back(row);
    }
    return aligned(rows);
}

// The observed range, the unmarked share and the FOM against its
// empirical counterpart.
std::string data_table(const ClassFits& c, const FomSpec& fom)
{
    const std::string empirical = c.empirical ? fom_name(*c.empirical) : "empirical";
    std::vector<Row> rows{{"Reader", "Modality", "FPF", "TPF", "Unmarked", fom_name(fom), empirical,
                           "Difference", "Std error", "z", "p"}};
    for (const TableFit& t : c.tables)
        rows.push_back({t.reader, t.modality, fixed(t.observed_fpf, range_decimals),
                        fixed(t.observed_tpf, range_decimals),
                        fixed(t.unmarked_share, range_decimals), fixed(t.fom, fom_decimals),
                        fixed(t.empirical, fom_decimals), fixed(t.difference, fom_decimals),
                        fixed(t.se_difference, fom_decimals), fixed(t.z, stat_decimals - 2),
                        p_text(t.p) + (t.disagrees ? " *" : "")});
    return aligned(rows);
}

std::string class_fits_text(const CompareResult& r, const ClassFits& c)
{
    const bool bootstrap = std::any_of(c.tables.begin(), c.tables.end(),
                                       [](const TableFit& t) { return t.bootstrap_replicates > 0; });
    const std::string cls = "target class " + std::to_string(c.target_class);
    std::string out = "\nModel fits, " + cls +
                      ": goodness of fit with the localization outcomes as fitted\n"
                      "(p of the Pearson chi-square" +
                      (bootstrap ? std::string(" and by parametric bootstrap") : std::string()) +
                      ", * rejected at 0.05), fits tried for the full\n"
                      "table, refits of the jackknife, those retried and those at a limit\n";
    out += fits_table(c, bootstrap);
    out += "\nModel against data, " + cls +
           ": FPF and TPF of the lowest threshold above the\n"
           "no-mark category, share of target cases unmarked, the FOM and its empirical\n"
           "counterpart with the jackknife standard error of their difference (* beyond\n"
           "Holm's threshold over every table)\n";
    out += data_table(c, r.fom);
    return out;
}

nlohmann::json binning_json(const study::Binning& b)
{
    return {{"categories", b.categories()}, {"upper_bounds", b.upper}, {"labels", b.labels}};
}

// A number, or null where it is undefined or infinite.
nlohmann::json number(double v)
{
    return std::isfinite(v) ? nlohmann::json(v) : nlohmann::json(nullptr);
}

nlohmann::json table_json(const TableFit& t)
{
    return {{"reader", t.reader},
            {"modality", t.modality},
            {"categories", t.categories},
            {"noloc", t.noloc},
            {"attempts", t.attempts},
            {"degenerate", t.degenerate},
            {"degenerate_category", t.degenerate ? nlohmann::json(t.degenerate_category)
                                                 : nlohmann::json(nullptr)},
            {"log_likelihood", number(t.likelihood.log_likelihood)},
            {"pearson", number(t.likelihood.pearson)},
            {"deviance", number(t.likelihood.deviance)},
            {"df", t.chi_square.df},
            {"p_pearson", number(t.chi_square.p_pearson)},
            {"p_deviance", number(t.chi_square.p_deviance)},
            {"bootstrap_replicates", t.bootstrap_replicates},
            {"bootstrap_failed", t.bootstrap_failed},
            {"bootstrap_p_pearson", number(t.bootstrap_p_pearson)},
            {"bootstrap_p_deviance", number(t.bootstrap_p_deviance)},
            {"fit_rejected", t.fit_rejected},
            {"refits", t.refits},
            {"retried_refits", t.retried_refits},
            {"degenerate_refits", t.degenerate_refits},
            {"observed_fpf", number(t.observed_fpf)},
            {"observed_tpf", number(t.observed_tpf)},
            {"unmarked_share", number(t.unmarked_share)},
            {"fom", number(t.fom)},
            {"empirical", number(t.empirical)},
            {"difference", number(t.difference)},
            {"se_difference", number(t.se_difference)},
            {"z", number(t.z)},
            {"p", number(t.p)},
            {"disagrees", t.disagrees},
            {"model_auc", number(t.model_auc)},
            {"empirical_auc", number(t.empirical_auc)},
            {"model_loc", number(t.model_loc)},
            {"empirical_loc", number(t.empirical_loc)}};
}

bool any_disagrees(const CompareResult& r)
{
    return std::any_of(r.warnings.begin(), r.warnings.end(), [](const CompareWarning& w) {
        return w.kind == WarningKind::model_disagrees;
    });
}

}  // namespace

std::string model_fits_heading_text(const CompareResult& result)
{
    if (!result.localization)
        return {};
    std::string out = localization_text(result.fom, *result.localization) + settings_text(result);
    if (!result.warnings.empty()) {
        out += "Warnings:\n";
        for (const CompareWarning& w : result.warnings) out += "  - " + w.message + "\n";
    }
    return out;
}

std::string model_fits_text(const CompareResult& result)
{
    if (!result.localization)
        return {};
    std::string out;
    for (const ClassFits& c : result.fits) out += class_fits_text(result, c);
    if (result.empirical && any_disagrees(result))
        out += "\nEmpirical analysis, " + fom_name(result.empirical->fom) +
               " (the model disagrees with the data)\n" + format_text_report(*result.empirical);
    return out;
}

nlohmann::json model_fits_json(const CompareResult& result)
{
    if (!result.localization)
        return nullptr;
    nlohmann::json doc = {{"localization", localization_name(*result.localization)}};
    if (result.binning) {
        doc["binning_scope"] = "study";
        doc["binning"] = binning_json(*result.binning);
    } else {
        doc["binning_scope"] = "reader";
        nlohmann::json readers = nlohmann::json::array();
        const std::vector<std::string> names =
            result.classes.empty() ? std::vector<std::string>{} : result.classes[0].matrix.readers;
        for (std::size_t i = 0; i < result.reader_binnings.size(); ++i) {
            nlohmann::json b = binning_json(result.reader_binnings[i]);
            b["reader"] = i < names.size() ? names[i] : std::string();
            readers.push_back(b);
        }
        doc["binning"] = readers;
    }
    if (result.fit) {
        doc["criterion"] = result.fit->criterion;
        doc["chance"] = result.chance;
        doc["noloc"] = result.fit->noloc;
    }
    nlohmann::json classes = nlohmann::json::array();
    for (const ClassFits& c : result.fits) {
        nlohmann::json tables = nlohmann::json::array();
        for (const TableFit& t : c.tables) tables.push_back(table_json(t));
        classes.push_back({{"target_class", c.target_class},
                           {"empirical_fom", c.empirical ? nlohmann::json(fom_name(*c.empirical))
                                                         : nlohmann::json(nullptr)},
                           {"tables", tables}});
    }
    doc["classes"] = classes;
    nlohmann::json warnings = nlohmann::json::array();
    for (const CompareWarning& w : result.warnings)
        warnings.push_back({{"kind", warning_kind_name(w.kind)}, {"message", w.message}});
    doc["warnings"] = warnings;
    doc["empirical_analysis"] =
        result.empirical ? report_json(*result.empirical) : nlohmann::json(nullptr);
    return doc;
}

const char* warning_kind_name(WarningKind k)
{
    switch (k) {
    case WarningKind::fit_rejected: return "fit_rejected";
    case WarningKind::sparse_binning: return "sparse_binning";
    case WarningKind::degenerate: return "degenerate";
    case WarningKind::extrapolation: return "extrapolation";
    case WarningKind::model_disagrees: return "model_disagrees";
    case WarningKind::marks_not_tied: return "marks_not_tied";
    case WarningKind::unmarked_cases: return "unmarked_cases";
    }
    return "";
}

}  // namespace varnel::mrmc
