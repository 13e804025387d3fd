// How far the fits behind a model-based comparison can be trusted: each
// table's observed operating range, unmarked share and empirical
// counterpart, Holm's test of model against data over all tables, the
// empirical analysis, and the warnings.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>
#include <string>

#include <boost/math/distributions/normal.hpp>

#include "mrmc/compare.h"
#include "mrmc/stats.h"
#include "mrmc/text.h"

namespace varnel::mrmc {

namespace {

constexpr double gof_alpha = 0.05;           // goodness of fit rejected below this
constexpr double full_range_fpf = 0.5;       // a full-area FOM extrapolates below this
constexpr double unmarked_spread = 0.2;      // shares of unmarked cases this far apart
constexpr int shown_decimals = 3;

// The empirical FOM that estimates what a model-based one does: the area
// under the empirical ROC curve for AreaROC, the empirical LROC curve at x
// for the fitted one, its end (x = 1) for the localization accuracy, and
// its area up to 1 for AreaLROC.
FomSpec counterpart_of(const FomSpec& fom)
{
    switch (fom.kind) {
    case FomKind::model_auc:
        return {FomKind::wilcoxon, 1.0};
    case FomKind::model_pcl:
        return {FomKind::pcl, fom.fpf};
    case FomKind::model_loc:
        return {FomKind::pcl, 1.0};
    default:
        return {FomKind::alroc, 1.0};
    }
}

std::string fixed(double v, int decimals = shown_decimals) { return text::fixed(v, decimals); }

// "R2 (M2)", with the class when the study has several.
std::string table_name(const TableFit& t, int target_class, bool several_classes)
{
    return t.reader + " (" + t.modality +
           (several_classes ? ", class " + std::to_string(target_class) : std::string()) + ")";
}

// Names joined by commas.
std::string listed(const std::vector<std::string>& names)
{
    std::string out;
    for (const std::string& n : names) out += (out.empty() ? "" : ", ") + n;
    return out;
}

// Some target case has a recorded mark (else the study is ROC data).
bool marks_recorded(const study::CaseStudy& study)
{
    return std::any_of(study.readings.begin(), study.readings.end(), [&](const study::Reading& r) {
        return study.truth[r.case_index] > 0 && r.localization != study::Localization::unknown;
    });
}

// The operating point of the lowest threshold above the no-mark category,
// and the share of the class's target cases without a mark.
void observed_range(const study::CaseStudy& study, const Study& binned, int reader, int modality,
                    int target_class, TableFit& into)
{
    const Study table = without_empty_categories(binned);
    const int lowest = table.noloc > 0 && table.noloc < table.categories ? table.noloc : 1;
    double normal = 0.0, normal_above = 0.0, target = 0.0, target_above = 0.0;
    for (int k = 1; k <= table.categories; ++k) {
        const double n = table.correct(k, 1) + table.incorrect(k, 1);
        const double m = table.correct(k, 1 + target_class) + table.incorrect(k, 1 + target_class);
        normal += n;
        target += m;
        if (k > lowest) {
            normal_above += n;
            target_above += m;
        }
    }
    into.observed_fpf = normal_above / normal;
    into.observed_tpf = target_above / target;
    if (!marks_recorded(study))
        return;
    double unmarked = 0.0, all = 0.0;
    for (const study::Reading& r : study.readings)
        if (r.reader == reader && r.modality == modality &&
            study.truth[r.case_index] == target_class) {
            ++all;
            unmarked += r.localization == study::Localization::unknown;
        }
    into.unmarked_share = unmarked / all;
}

// The model FOM against the empirical one: difference, its jackknife
// standard error over the same cases left out, z and p.
void against_data(const FomMatrix& model, const FomMatrix& data, int r, int m, TableFit& into)
{
    into.fom = model.theta[r][m];
    into.empirical = data.theta[r][m];
    into.difference = into.fom - into.empirical;
    std::vector<double> d(model.cases.size());
    for (std::size_t k = 0; k < d.size(); ++k)
        d[k] = model.jackknife[r][m][k] - data.jackknife[r][m][k];
    into.se_difference = std::sqrt(jackknife_covariance(d, d));
    into.z = quotient(into.difference, into.se_difference);
    into.p = t_two_sided_p(into.z, std::numeric_limits<double>::infinity());
}

// Holm's step-down test over every table with a p value: the tables whose
// difference is significant at alpha.
void holm(std::vector<ClassFits>& classes, double alpha)
{
    std::vector<TableFit*> tested;
    for (ClassFits& c : classes)
        for (TableFit& t : c.tables)
            if (!std::isnan(t.p)) tested.push_back(&t);
    std::stable_sort(tested.begin(), tested.end(),
                     [](const TableFit* a, const TableFit* b) { return a->p < b->p; });
    const std::size_t m = tested.size();
    for (std::size_t i = 0; i < m; ++i) {
        if (!(tested[i]->p <= alpha / static_cast<double>(m - i))) break;
        tested[i]->disagrees = true;
    }
}

// The tables of the study as the fits binned them (before any merging of the
// localization outcomes), for the observed ranges.
std::vector<Study> binned_tables(const study::CaseStudy& study, const CompareResult& result)
{
    const auto tables = result.reader_binnings.empty()
                            ? study::make_tables(study, *result.binning)
                            : study::make_tables(study, result.reader_binnings);
    return tables ? *tables : std::vector<Study>{};
}

bool full_area(const FomSpec& fom)
{
    return fom.kind == FomKind::model_auc || fom.kind == FomKind::model_alroc ||
           fom.kind == FomKind::model_loc;
}

void warn(CompareResult& result, WarningKind kind, std::string message)
{
    result.warnings.push_back({kind, std::move(message)});
}

// The warnings, in the order of WarningKind.
void make_warnings(const study::CaseStudy& study, const CompareOptions& options,
                   const std::vector<Study>& tables, CompareResult& result)
{
    const bool several = result.several_target_classes;
    const std::string fom = fom_name(result.fom);
    const auto names_where = [&](auto pick) {
        std::vector<std::string> names;
        for (const ClassFits& c : result.fits)
            for (const TableFit& t : c.tables)
                if (pick(t)) names.push_back(table_name(t, c.target_class, several));
        return names;
    };

    const std::vector<std::string> rejected = names_where([](const TableFit& t) { return t.fit_rejected; });
    if (!rejected.empty())
        warn(result, WarningKind::fit_rejected,
             "the model's fit is rejected at 0.05 (Pearson chi-square" +
                 std::string(options.gof_bootstrap > 0 ? ", parametric bootstrap" : "") +
                 ") for " + listed(rejected) + "; their " + fom +
                 " rests on a model these data do not follow");

    if (result.reader_binnings.empty() && !tables.empty()) {
        const study::SparseTables sparse = study::sparse_tables(tables);
        if (!sparse.sparse.empty()) {
            std::vector<std::string> names;
            const std::size_t nm = study.modalities.size();
            for (int i : sparse.sparse)
                names.push_back(study.readers[i / nm] + " (" + study.modalities[i % nm] + ", " +
                                std::to_string(sparse.occupied[i]) + ")");
            warn(result, WarningKind::sparse_binning,
                 "the study-wide binning leaves " + listed(names) +
                     " with fewer than 4 occupied categories while another table has " +
                     std::to_string(sparse.most) +
                     "; readers on different rating scales: try --binning reader");
        }
    }

    const std::vector<std::string> degenerate = names_where([](const TableFit& t) { return t.degenerate; });
    int degenerate_refits = 0;
    for (const ClassFits& c : result.fits)
        for (const TableFit& t : c.tables) degenerate_refits += t.degenerate_refits;
    if (!degenerate.empty() || degenerate_refits > 0)
        warn(result, WarningKind::degenerate,
             "no finite maximum of the likelihood (no normal case above some category) for " +
                 (degenerate.empty() ? std::string()
                                     : "the full tables of " + listed(degenerate) + " and ") +
                 std::to_string(degenerate_refits) + " refits; there " + fom +
                 " is the limit as that category's upper boundary grows without bound");

    double smallest = 1.0;
    std::vector<std::string> short_range;
    for (const ClassFits& c : result.fits)
        for (const TableFit& t : c.tables) {
            if (std::isnan(t.observed_fpf)) continue;
            smallest = std::min(smallest, t.observed_fpf);
            const bool beyond = full_area(result.fom) ? t.observed_fpf < full_range_fpf
                                                      : t.observed_fpf < result.fom.fpf;
            if (beyond)
                short_range.push_back(table_name(t, c.target_class, several) + " to FPF " +
                                      fixed(t.observed_fpf, 2));
        }
    if (!short_range.empty()) {
        const double x = std::floor(smallest * 100.0) / 100.0;
        const std::string partial =
            x > 0.0 ? "model-pcl@" + fixed(x, 2) + " or alroc@" + fixed(x, 2)
                    : std::string("none: some table has no normal case above its no-mark category");
        warn(result, WarningKind::extrapolation,
             "the observed operating range ends early for " + listed(short_range) + ": " + fom +
                 (full_area(result.fom) ? " takes the area beyond, " : " reads the curve there, ") +
                 "which is the model's extrapolation; a FOM within every table's range: " + partial);
    }

    std::vector<std::string> apart;
    std::string counterpart;
    for (const ClassFits& c : result.fits) {
        if (c.empirical) counterpart = fom_name(*c.empirical);
        for (const TableFit& t : c.tables)
            if (t.disagrees)
                apart.push_back(table_name(t, c.target_class, several) + " " + fixed(t.fom) +
                                " vs " + fixed(t.empirical) + ", z = " + fixed(t.z, 2));
    }
    if (!apart.empty())
        warn(result, WarningKind::model_disagrees,
             fom + " and " + counterpart + " disagree beyond Holm's threshold (alpha " +
                 fixed(result.alpha, 2) + " over every table) for " + listed(apart) +
                 "; the model does not describe these tables: rely on the empirical analysis (" +
                 counterpart + ", below)");

    if (result.localization == LocalizationUse::use) {
        const std::vector<std::string> untied = names_where([](const TableFit& t) {
            return t.disagrees && t.model_auc < t.empirical_auc && t.model_loc > t.empirical_loc;
        });
        if (!untied.empty())
            warn(result, WarningKind::marks_not_tied,
                 "model AUC below the empirical while model localization above it for " +
                     listed(untied) +
                     ": marks not tied to the ratings (e.g. an algorithm whose case score and "
                     "mark come from separate outputs), which the fit reads as low target values; "
                     "wilcoxon or --localization ignore do not depend on the marks");
    }

    for (const ClassFits& c : result.fits) {
        double low = 1.0, high = 0.0;
        for (const TableFit& t : c.tables) {
            if (std::isnan(t.unmarked_share)) continue;
            low = std::min(low, t.unmarked_share);
            high = std::max(high, t.unmarked_share);
        }
        if (high - low < unmarked_spread) continue;
        std::vector<std::string> shares;
        for (const TableFit& t : c.tables)
            shares.push_back(table_name(t, c.target_class, several) + " " +
                             fixed(t.unmarked_share, 2));
        warn(result, WarningKind::unmarked_cases,
             "shares of target cases left unmarked differ (" + listed(shares) +
                 "): " + fom + " estimates the latent curve below the marking threshold, which "
                 "the empirical FOMs count as misses; the two families then test different "
                 "questions");
    }
}

}  // namespace

void check_fits(const study::CaseStudy& study, const CompareOptions& options,
                std::vector<ModelFits> fits, CompareResult& result)
{
    const FomSpec counterpart = counterpart_of(options.fom);
    const std::vector<Study> tables = binned_tables(study, result);
    const int nm = static_cast<int>(study.modalities.size());
    for (std::size_t c = 0; c < fits.size() && c < result.classes.size(); ++c) {
        const FomMatrix& model = result.classes[c].matrix;
        const int t = model.target_class;
        ClassFits cf;
        cf.target_class = t;
        cf.tables = std::move(fits[c].tables);
        const Expected<FomMatrix> data = empirical_fom_matrix(study, t, counterpart);
        if (data) cf.empirical = counterpart;
        const Expected<FomMatrix> auc = empirical_fom_matrix(study, t, {FomKind::wilcoxon, 1.0});
        const Expected<FomMatrix> loc = empirical_fom_matrix(study, t, {FomKind::pcl, 1.0});
        for (int i = 0; i < static_cast<int>(cf.tables.size()); ++i) {
            TableFit& d = cf.tables[i];
            const int r = i / nm, m = i % nm;
            if (i < static_cast<int>(tables.size()))
                observed_range(study, tables[i], r, m, t, d);
            if (data) against_data(model, *data, r, m, d);
            if (auc) d.empirical_auc = auc->theta[r][m];
            if (loc) d.empirical_loc = loc->theta[r][m];
        }
        result.fits.push_back(std::move(cf));
    }
    holm(result.fits, result.alpha);

    CompareOptions empirical = options;
    empirical.fom = counterpart;
    const Expected<CompareResult> analysis = compare_cases(study, empirical);
    if (analysis) result.empirical = std::make_shared<const CompareResult>(*analysis);
    make_warnings(study, options, tables, result);
}

}  // namespace varnel::mrmc
