// Figures of merit: names, the empirical ROC area and the empirical LROC curve.
#include "mrmc/fom.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <string>

namespace varnel::mrmc {

namespace {

// Names of the FOMs; those ending in '@' take a false-positive fraction.
struct FomName {
    std::string_view name;
    FomKind kind;
    bool takes_fpf;
};
constexpr std::array<FomName, 7> fom_names{{
    {"wilcoxon", FomKind::wilcoxon, false},
    {"pcl", FomKind::pcl, true},
    {"alroc", FomKind::alroc, true},
    {"model-auc", FomKind::model_auc, false},
    {"model-alroc", FomKind::model_alroc, false},
    {"model-loc", FomKind::model_loc, false},
    {"model-pcl", FomKind::model_pcl, true},
}};

constexpr std::string_view fom_choices =
    "choose wilcoxon, pcl@X, alroc@X, model-auc, model-alroc, model-loc or model-pcl@X "
    "with 0 < X <= 1";

// The entry of a FOM name without its "@X", or null.
const FomName* find_name(std::string_view name)
{
    for (const FomName& n : fom_names)
        if (n.name == name) return &n;
    return nullptr;
}

// The entry of a FOM kind.
const FomName& name_of(FomKind kind)
{
    for (const FomName& n : fom_names)
        if (n.kind == kind) return n;
    return fom_names[0];
}

// The false-positive fraction after the '@' of `text`.
Expected<double> parse_fpf(std::string_view text, std::string_view number)
{
    const std::string quoted = "figure of merit \"" + std::string(text) + "\": ";
    double x = 0.0;
    const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), x);
    if (number.empty() || ec != std::errc() || end != number.data() + number.size())
        return input_error(quoted + "\"" + std::string(number) +
                           "\" is not a number; write the false-positive fraction as in pcl@0.2");
    if (!std::isfinite(x) || x <= 0.0 || x > 1.0)
        return input_error(quoted + "the false-positive fraction " + std::string(number) +
                           " must be in (0, 1]");
    return x;
}

// Shortest text that reads back to x.
std::string shortest(double x)
{
    std::array<char, 32> buf{};
    const auto [end, ec] = std::to_chars(buf.data(), buf.data() + buf.size(), x);
    return ec == std::errc() ? std::string(buf.data(), end) : std::string("nan");
}

}  // namespace

Expected<FomSpec> parse_fom(std::string_view text)
{
    const std::size_t at = text.find('@');
    const std::string_view base = text.substr(0, at);
    const FomName* name = find_name(base);
    if (name == nullptr)
        return input_error("unknown figure of merit \"" + std::string(text) + "\"; " +
                           std::string(fom_choices));
    if (!name->takes_fpf) {
        if (at != std::string_view::npos)
            return input_error("figure of merit \"" + std::string(text) + "\": " +
                               std::string(base) + " takes no false-positive fraction");
        return FomSpec{name->kind, 1.0};
    }
    if (at == std::string_view::npos)
        return input_error("figure of merit \"" + std::string(text) +
                           "\" needs a false-positive fraction, as in " + std::string(base) +
                           "@0.2");
    Expected<double> x = parse_fpf(text, text.substr(at + 1));
    if (!x) return x.error();
    return FomSpec{name->kind, x.value()};
}

std::string fom_name(const FomSpec& fom)
{
    const FomName& n = name_of(fom.kind);
    std::string s(n.name);
    if (n.takes_fpf) s += "@" + shortest(fom.fpf);
    return s;
}

bool is_model_based(const FomSpec& fom)
{
    return fom.kind == FomKind::model_auc || fom.kind == FomKind::model_alroc ||
           fom.kind == FomKind::model_loc || fom.kind == FomKind::model_pcl;
}

bool uses_localization(const FomSpec& fom)
{
    return fom.kind != FomKind::wilcoxon && fom.kind != FomKind::model_auc;
}

std::vector<RatingGroup> rating_groups(std::span<const double> normal,
                                       std::span<const TargetRating> target)
{
    std::vector<RatingGroup> cases;
    cases.reserve(normal.size() + target.size());
    for (double r : normal) cases.push_back({r, 1, 0, 0});
    for (const TargetRating& t : target) cases.push_back({t.rating, 0, 1, t.localized ? 1 : 0});
    std::sort(cases.begin(), cases.end(),
              [](const RatingGroup& a, const RatingGroup& b) { return a.rating > b.rating; });

    std::vector<RatingGroup> groups;
    for (const RatingGroup& c : cases) {
        if (groups.empty() || groups.back().rating != c.rating) groups.push_back({c.rating, 0, 0, 0});
        groups.back().normals += c.normals;
        groups.back().targets += c.targets;
        groups.back().localized += c.localized;
    }
    return groups;
}

std::vector<LrocPoint> lroc_curve(std::span<const RatingGroup> groups)
{
    int k1 = 0, k2 = 0;
    for (const RatingGroup& g : groups) {
        k1 += g.normals;
        k2 += g.targets;
    }
    std::vector<LrocPoint> curve;
    curve.reserve(groups.size() + 1);
    int above_normal = 0, above_localized = 0;  // cases rated above the current rating
    for (const RatingGroup& g : groups) {
        if (g.normals + g.targets == 0) continue;
        curve.push_back({double(above_normal) / k1, double(above_localized) / k2});
        above_normal += g.normals;
        above_localized += g.localized;
    }
    curve.push_back({1.0, curve.empty() ? 0.0 : curve.back().pcl});
    return curve;
}

double pcl_at(std::span<const LrocPoint> curve, double x)
{
    // The curve starts at FPF 0 < x and ends at FPF 1 >= x, so both
    // neighbours exist; the guard keeps a malformed curve in bounds.
    const auto upper = std::find_if(curve.begin(), curve.end(),
                                    [x](const LrocPoint& p) { return p.fpf >= x; });
    if (upper == curve.begin() || upper == curve.end()) return std::nan("");
    const LrocPoint& lo = *(upper - 1);
    const LrocPoint& up = *upper;
    return lo.pcl + (x - lo.fpf) * (up.pcl - lo.pcl) / (up.fpf - lo.fpf);
}

double alroc_at(std::span<const LrocPoint> curve, double x)
{
    double area = 0.0;
    LrocPoint previous{0.0, 0.0};
    for (const LrocPoint& p : curve) {
        if (p.fpf >= x) break;
        area += (p.fpf - previous.fpf) * (p.pcl + previous.pcl) / 2;
        previous = p;
    }
    const LrocPoint end{x, pcl_at(curve, x)};
    return area + (end.fpf - previous.fpf) * (end.pcl + previous.pcl) / 2;
}

double wilcoxon_auc(std::span<const RatingGroup> groups)
{
    // From the lowest rating up: each target case beats the normal cases
    // rated below it and ties with those at its rating.
    double wins = 0.0;
    int k1 = 0, k2 = 0, normals_below = 0;
    for (auto g = groups.rbegin(); g != groups.rend(); ++g) {
        wins += g->targets * (normals_below + 0.5 * g->normals);
        normals_below += g->normals;
        k1 += g->normals;
        k2 += g->targets;
    }
    return wins / (double(k1) * k2);
}

double fom_of_groups(const FomSpec& fom, std::span<const RatingGroup> groups)
{
    switch (fom.kind) {
        case FomKind::wilcoxon: return wilcoxon_auc(groups);
        case FomKind::pcl: return pcl_at(lroc_curve(groups), fom.fpf);
        case FomKind::alroc: return alroc_at(lroc_curve(groups), fom.fpf);
        default: return std::nan("");
    }
}

Expected<double> empirical_fom(const FomSpec& fom, std::span<const double> normal,
                               std::span<const TargetRating> target)
{
    if (is_model_based(fom))
        return input_error("figure of merit " + fom_name(fom) +
                           " comes from model fits of binned tables, not from the ratings");
    if (normal.empty() || target.empty())
        return input_error("figure of merit " + fom_name(fom) +
                           " needs at least one normal case and one target case");
    const auto finite = [](double r) { return std::isfinite(r); };
    if (!std::all_of(normal.begin(), normal.end(), finite) ||
        !std::all_of(target.begin(), target.end(),
                     [](const TargetRating& t) { return std::isfinite(t.rating); }))
        return input_error("figure of merit " + fom_name(fom) +
                           ": every rating must be a finite number");
    return fom_of_groups(fom, rating_groups(normal, target));
}

}  // namespace varnel::mrmc
