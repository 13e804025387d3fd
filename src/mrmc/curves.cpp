// Operating points by threshold from ratings or binned counts, and the
// fitted curves of a summary, as points.
#include "mrmc/curves.h"

#include <algorithm>

namespace varnel::mrmc {

namespace {

// The counts of the cases at one threshold: those rated at or above it.
struct Tally {
    int normals = 0;
    int targets = 0;
    int localized = 0;
};

// One reading of a table: rating, whether it is a target case of the class,
// whether it was correctly localized.
struct Rated {
    double rating = 0.0;
    bool target = false;
    bool localized = false;
};

// Points from the cumulative tallies at each threshold, highest first: ROC
// at all but the lowest, LROC at all when wanted.
TableCurves points_of(const std::vector<Tally>& cumulative, const Tally& all, bool with_lroc)
{
    TableCurves c;
    if (all.normals == 0 || all.targets == 0) return c;
    for (std::size_t i = 0; i < cumulative.size(); ++i) {
        const Tally& k = cumulative[i];
        const double fpf = double(k.normals) / all.normals;
        if (i + 1 < cumulative.size()) c.roc.push_back({fpf, double(k.targets) / all.targets});
        if (with_lroc) c.lroc.push_back({fpf, double(k.localized) / all.targets});
    }
    return c;
}

}  // namespace

std::vector<std::vector<TableCurves>> empirical_operating_points(const study::CaseStudy& s,
                                                                 int t)
{
    const std::size_t nr = s.readers.size(), nm = s.modalities.size();
    std::vector<std::vector<Rated>> ratings(nr * nm);
    for (const study::Reading& r : s.readings) {
        const int truth = s.truth[r.case_index];
        if (truth != 0 && truth != t) continue;
        ratings[r.reader * nm + r.modality].push_back(
            {r.rating, truth == t, r.localization == study::Localization::correct});
    }
    std::vector<std::vector<TableCurves>> out(nr, std::vector<TableCurves>(nm));
    for (std::size_t i = 0; i < ratings.size(); ++i) {
        std::vector<Rated>& v = ratings[i];
        std::sort(v.begin(), v.end(),
                  [](const Rated& a, const Rated& b) { return a.rating > b.rating; });
        std::vector<Tally> cumulative;
        Tally running;
        for (std::size_t k = 0; k < v.size(); ++k) {
            (v[k].target ? running.targets : running.normals) += 1;
            running.localized += v[k].target && v[k].localized;
            if (k + 1 == v.size() || v[k + 1].rating != v[k].rating) cumulative.push_back(running);
        }
        out[i / nm][i % nm] = points_of(cumulative, running, s.has_localization);
    }
    return out;
}

TableCurves binned_operating_points(const Study& table, int t)
{
    std::vector<Tally> cumulative;
    Tally running;
    int without_localization = 0;  // thresholds at or below the highest NOLOC category
    for (int k = table.categories; k >= 1; --k) {
        running.normals += table.incorrect(k, 1) + table.correct(k, 1);
        running.targets += table.incorrect(k, 1 + t) + table.correct(k, 1 + t);
        running.localized += table.correct(k, 1 + t);
        cumulative.push_back(running);
        if (k <= table.noloc) ++without_localization;
    }
    TableCurves c = points_of(cumulative, running, true);
    // The categories without localization hold totals, not correct localizations.
    c.lroc.resize(c.lroc.size() - std::min<std::size_t>(c.lroc.size(), without_localization));
    return c;
}

void add_fitted_curves(const Curves& curves, int t, bool adjusted, TableCurves& into)
{
    into.fitted_roc.clear();
    into.fitted_lroc.clear();
    const CurveTable& lroc = adjusted ? curves.ctp_adjusted : curves.ctp;
    for (int i = 1; i <= curve_points; ++i) {
        into.fitted_roc.push_back({curves.fp[i - 1], curves.tp(i, t)});
        into.fitted_lroc.push_back({curves.fp[i - 1], lroc(i, t)});
    }
}

}  // namespace varnel::mrmc
