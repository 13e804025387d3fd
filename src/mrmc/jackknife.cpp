// Empirical FOM matrix and the jackknife covariance.
#include "mrmc/jackknife.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>

#include "mrmc/stats.h"

namespace varnel::mrmc {

namespace {

constexpr int max_target_class = 15;
constexpr int min_cases_per_group = 2;  // leaving one out must leave one

// The file name for messages.
std::string source_of(const study::CaseStudy& study)
{
    return study.source.empty() ? std::string("study") : study.source;
}

// A name in double quotes, for messages.
std::string quoted(const std::string& name) { return "\"" + name + "\""; }

// Where a reading came from, for messages.
std::string where(const study::CaseStudy& study, const study::Reading& r)
{
    const std::string line = (study.numbered_by_row ? ": row " : ":") + std::to_string(r.line);
    return source_of(study) + (r.line > 0 ? line : std::string()) + ": ";
}

// Reading index per (reader, modality, case); -1 where none.
class ReadingGrid {
public:
    ReadingGrid(int readers, int modalities, int cases)
        : modalities_(modalities), cases_(cases),
          index_(std::size_t(readers) * modalities * cases, -1)
    {
    }
    int& operator()(int r, int m, int c)
    {
        return index_[(std::size_t(r) * modalities_ + m) * cases_ + c];
    }
    int operator()(int r, int m, int c) const
    {
        return index_[(std::size_t(r) * modalities_ + m) * cases_ + c];
    }

private:
    int modalities_, cases_;
    std::vector<int> index_;
};

// Checks the lists and each reading on its own.
Problem check_readings(const study::CaseStudy& s)
{
    const std::string src = source_of(s) + ": ";
    if (s.readings.empty() || s.readers.empty() || s.modalities.empty() || s.cases.empty())
        return input_error(src + "the study has no readings");
    if (s.truth.size() != s.cases.size())
        return input_error(src + "the study lists " + std::to_string(s.cases.size()) +
                           " cases but " + std::to_string(s.truth.size()) + " truths");
    for (std::size_t c = 0; c < s.cases.size(); ++c)
        if (s.truth[c] < 0 || s.truth[c] > max_target_class)
            return input_error(src + "case " + quoted(s.cases[c]) + " has truth " +
                               std::to_string(s.truth[c]) + "; use 0 (no target) or 1 to 15");
    for (const study::Reading& r : s.readings) {
        if (r.reader < 0 || r.reader >= int(s.readers.size()) || r.modality < 0 ||
            r.modality >= int(s.modalities.size()) || r.case_index < 0 ||
            r.case_index >= int(s.cases.size()))
            return input_error(where(s, r) + "the reading refers to a reader, modality or case the "
                                       "study does not list");
        if (!std::isfinite(r.rating))
            return input_error(where(s, r) + "the rating of case " + quoted(s.cases[r.case_index]) +
                               " is not a finite number");
    }
    return std::nullopt;
}

// The reading grid of a study that passed check_readings, or the first
// reading that repeats one before it.
Expected<ReadingGrid> fill_grid(const study::CaseStudy& s)
{
    ReadingGrid grid(int(s.readers.size()), int(s.modalities.size()), int(s.cases.size()));
    for (std::size_t i = 0; i < s.readings.size(); ++i) {
        const study::Reading& r = s.readings[i];
        int& slot = grid(r.reader, r.modality, r.case_index);
        if (slot >= 0) {
            const int first_line = s.readings[slot].line;
            return input_error(where(s, r) + "reader " + quoted(s.readers[r.reader]) +
                               " read case " + quoted(s.cases[r.case_index]) + " in modality " +
                               quoted(s.modalities[r.modality]) + " a second time" +
                               (first_line > 0
                                    ? " (first at " + study::place_of(s, first_line) + ")"
                                    : std::string()) +
                               "; keep one reading");
        }
        slot = int(i);
    }
    return grid;
}

// The first reader × modality without readings, then the first missing case.
Problem check_crossed(const study::CaseStudy& s, const ReadingGrid& grid)
{
    const int nr = int(s.readers.size()), nm = int(s.modalities.size()),
              nc = int(s.cases.size());
    const std::string src = source_of(s) + ": ";
    for (int r = 0; r < nr; ++r)
        for (int m = 0; m < nm; ++m) {
            bool any = false;
            for (int c = 0; c < nc && !any; ++c) any = grid(r, m, c) >= 0;
            if (!any)
                return input_error(src + "reader " + quoted(s.readers[r]) +
                                   " has no readings in modality " + quoted(s.modalities[m]) +
                                   "; every reader must read every case in every modality");
        }
    for (int r = 0; r < nr; ++r)
        for (int m = 0; m < nm; ++m)
            for (int c = 0; c < nc; ++c)
                if (grid(r, m, c) < 0)
                    return input_error(src + "case " + quoted(s.cases[c]) +
                                       " was not read by reader " + quoted(s.readers[r]) +
                                       " in modality " + quoted(s.modalities[m]) +
                                       "; every reader must read every case in every modality");
    return std::nullopt;
}

// The reading grid of a study that passes every design check.
Expected<ReadingGrid> checked_grid(const study::CaseStudy& s)
{
    if (Problem p = check_readings(s)) return *p;
    Expected<ReadingGrid> grid = fill_grid(s);
    if (!grid) return grid;
    if (Problem p = check_crossed(s, grid.value())) return *p;
    return grid;
}

}  // namespace

FomMatrix empty_fom_matrix(const study::CaseStudy& s, const ClassCases& cc, int target_class,
                           const FomSpec& fom)
{
    FomMatrix x;
    x.fom = fom;
    x.target_class = target_class;
    x.readers = s.readers;
    x.modalities = s.modalities;
    for (int c : cc.cases) x.cases.push_back(s.cases[c]);
    x.normal_cases = cc.normals;
    x.target_cases = cc.targets;
    const std::size_t nm = s.modalities.size();
    x.theta.assign(s.readers.size(), std::vector<double>(nm, 0.0));
    x.jackknife.assign(s.readers.size(), std::vector<std::vector<double>>(
                                             nm, std::vector<double>(cc.cases.size(), 0.0)));
    return x;
}

Expected<ClassCases> class_cases(const study::CaseStudy& s, int t)
{
    const std::string src = source_of(s) + ": ";
    if (t < 1 || t > max_target_class)
        return input_error(src + "target class " + std::to_string(t) +
                           " does not exist; choose 1 to 15");
    ClassCases cc;
    for (int c = 0; c < int(s.cases.size()); ++c) {
        if (s.truth[c] == 0) ++cc.normals;
        if (s.truth[c] == t) ++cc.targets;
        if (s.truth[c] == 0 || s.truth[c] == t) cc.cases.push_back(c);
    }
    if (cc.normals == 0)
        return input_error(src + "the study has no normal cases (truth 0); the FOMs compare normal "
                           "cases with target cases");
    if (cc.targets == 0) {
        std::string have;
        for (int k : target_classes(s)) have += (have.empty() ? "" : ", ") + std::to_string(k);
        return input_error(src + "target class " + std::to_string(t) + " has no cases" +
                           (have.empty() ? std::string("; the study has no target cases")
                                   : "; classes with cases: " + have));
    }
    if (cc.normals < min_cases_per_group || cc.targets < min_cases_per_group)
        return input_error(src + "the jackknife needs at least two normal cases and two cases "
                                 "of target class " + std::to_string(t) + " (the study has " +
                           std::to_string(cc.normals) + " and " + std::to_string(cc.targets) + ")");
    return cc;
}

namespace {

// An error when `fom` cannot be computed from the ratings of this class.
Problem check_fom_for_class(const study::CaseStudy& s, const ReadingGrid& grid,
                            const ClassCases& cc, int t, const FomSpec& fom)
{
    const std::string src = source_of(s) + ": ";
    if (is_model_based(fom))
        return input_error(src + "figure of merit " + fom_name(fom) +
                           " comes from model fits of binned tables; the empirical analysis takes "
                           "wilcoxon, pcl@X or alroc@X");
    if (!uses_localization(fom)) return std::nullopt;
    if (!s.has_localization)
        return input_error(src + "figure of merit " + fom_name(fom) +
                           " needs localization outcomes but the study has no `localized` column "
                           "(ROC data); use wilcoxon");
    for (int c : cc.cases) {
        if (s.truth[c] != t) continue;
        for (int r = 0; r < int(s.readers.size()); ++r)
            for (int m = 0; m < int(s.modalities.size()); ++m)
                if (s.readings[grid(r, m, c)].localization != study::Localization::unknown)
                    return std::nullopt;
    }
    return input_error(src + "figure of merit " + fom_name(fom) +
                       " needs localization outcomes but no case of target class " +
                       std::to_string(t) + " has one; use wilcoxon");
}

// Kind of a case in a table, for sharing leave-one-out values.
enum CaseKind { normal_case = 0, missed_target = 1, localized_target = 2, case_kinds = 3 };

// θ and θ(k) of one reader × modality table.
void fill_table(const FomSpec& fom, std::span<const double> ratings,
                std::span<const CaseKind> kinds, double& theta, std::vector<double>& jackknife)
{
    std::vector<double> normal;
    std::vector<TargetRating> target;
    for (std::size_t k = 0; k < ratings.size(); ++k) {
        if (kinds[k] == normal_case)
            normal.push_back(ratings[k]);
        else
            target.push_back({ratings[k], kinds[k] == localized_target});
    }
    std::vector<RatingGroup> groups = rating_groups(normal, target);
    theta = fom_of_groups(fom, groups);

    // Leaving out a case changes only its group's counts; every case of the
    // same group and kind gives the same value.
    std::vector<double> shared(groups.size() * case_kinds, 0.0);
    std::vector<char> known(groups.size() * case_kinds, 0);
    jackknife.assign(ratings.size(), 0.0);
    for (std::size_t k = 0; k < ratings.size(); ++k) {
        const auto g = std::lower_bound(groups.begin(), groups.end(), ratings[k],
                                        [](const RatingGroup& a, double r) { return a.rating > r; }) -
                       groups.begin();
        const std::size_t slot = std::size_t(g) * case_kinds + kinds[k];
        if (!known[slot]) {
            RatingGroup& group = groups[g];
            const RatingGroup kept = group;
            group.normals -= kinds[k] == normal_case;
            group.targets -= kinds[k] != normal_case;
            group.localized -= kinds[k] == localized_target;
            shared[slot] = fom_of_groups(fom, groups);
            known[slot] = 1;
            group = kept;
        }
        jackknife[k] = shared[slot];
    }
}

}  // namespace

Problem check_matrix(const FomMatrix& x)
{
    const std::size_t nr = x.readers.size(), nm = x.modalities.size(), nk = x.cases.size();
    if (nr == 0 || nm == 0) return input_error("the FOM matrix has no readers or no modalities");
    if (nk < 2) return input_error("the FOM matrix needs at least two cases for the jackknife");
    if (x.theta.size() != nr || x.jackknife.size() != nr)
        return input_error("the FOM matrix does not have one row per reader");
    for (std::size_t r = 0; r < nr; ++r) {
        if (x.theta[r].size() != nm || x.jackknife[r].size() != nm)
            return input_error("the FOM matrix row of reader " + quoted(x.readers[r]) +
                               " does not have one value per modality");
        for (std::size_t m = 0; m < nm; ++m) {
            const std::string table = "reader " + quoted(x.readers[r]) + ", modality " +
                                      quoted(x.modalities[m]);
            if (x.jackknife[r][m].size() != nk)
                return input_error("the FOM matrix of " + table +
                                   " does not have one jackknife value per case");
            if (!std::isfinite(x.theta[r][m]))
                return input_error("the FOM of " + table + " is not a finite number");
            for (std::size_t k = 0; k < nk; ++k)
                if (!std::isfinite(x.jackknife[r][m][k]))
                    return input_error("the FOM of " + table + " without case " +
                                       quoted(x.cases[k]) + " is not a finite number");
        }
    }
    return std::nullopt;
}

double jackknife_covariance(std::span<const double> a, std::span<const double> b)
{
    const std::size_t n = a.size();
    if (n < 2 || b.size() != n) return std::nan("");
    const double ma = mean_of(a), mb = mean_of(b);
    double sum = 0.0;
    for (std::size_t k = 0; k < n; ++k) sum += (a[k] - ma) * (b[k] - mb);
    // (K - 1)^2 / K times sum / (K - 1).
    return sum * double(n - 1) / double(n);
}

Problem check_design(const study::CaseStudy& study)
{
    Expected<ReadingGrid> grid = checked_grid(study);
    if (!grid) return grid.error();
    return std::nullopt;
}

std::vector<int> target_classes(const study::CaseStudy& study)
{
    std::vector<int> classes;
    for (int t : study.truth)
        if (t >= 1 && t <= max_target_class) classes.push_back(t);
    std::sort(classes.begin(), classes.end());
    classes.erase(std::unique(classes.begin(), classes.end()), classes.end());
    return classes;
}

Expected<FomMatrix> empirical_fom_matrix(const study::CaseStudy& study, int target_class,
                                         const FomSpec& fom)
{
    Expected<ReadingGrid> checked = checked_grid(study);
    if (!checked) return checked.error();
    const ReadingGrid& grid = checked.value();
    Expected<ClassCases> chosen = class_cases(study, target_class);
    if (!chosen) return chosen.error();
    const ClassCases& cc = chosen.value();
    if (Problem p = check_fom_for_class(study, grid, cc, target_class, fom)) return *p;

    FomMatrix x = empty_fom_matrix(study, cc, target_class, fom);
    const int nr = int(study.readers.size()), nm = int(study.modalities.size());
    std::vector<double> ratings(cc.cases.size());
    std::vector<CaseKind> kinds(cc.cases.size());
    for (int r = 0; r < nr; ++r)
        for (int m = 0; m < nm; ++m) {
            for (std::size_t k = 0; k < cc.cases.size(); ++k) {
                const int c = cc.cases[k];
                const study::Reading& reading = study.readings[grid(r, m, c)];
                ratings[k] = reading.rating;
                kinds[k] = study.truth[c] == 0 ? normal_case
                           : reading.localization == study::Localization::correct
                               ? localized_target
                               : missed_target;
            }
            fill_table(fom, ratings, kinds, x.theta[r][m], x.jackknife[r][m]);
        }
    return x;
}

}  // namespace varnel::mrmc
