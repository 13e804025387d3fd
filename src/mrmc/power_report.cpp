// Reports of a planning (varnel/power.h): text for people, CSV and JSON for
// programs, and the picture of power against cases.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include <nlohmann/json.hpp>

#include "mrmc/text.h"
#include "plot/power_curves.h"
#include "study/numbers.h"
#include "varnel/power.h"

namespace varnel::power {

namespace {

constexpr int power_decimals = 4;
constexpr int stat_decimals = 4;  // lambda, degrees of freedom, critical values
constexpr int fom_decimals = 6;   // effects and FOMs
constexpr int column_gap = 2;
constexpr std::size_t text_width = 88;  // lines of the note
// Points per curve of the picture, and how far beyond the largest number of
// cases found the curves run.
constexpr int curve_points = 200;
constexpr int picture_decimals = 4;  // the effect in the picture's note
constexpr double search_overshoot = 1.5;
constexpr int unreached_curve_cases = 1000;  // curves of a search that found nothing

using Row = std::vector<std::string>;
using mrmc::text::counted;
using mrmc::text::fixed;
using mrmc::text::wrapped;

std::string component_text(double v)
{
    if (std::isnan(v)) return "undefined";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.6e", v);
    return buf;
}

std::string short_number(double v)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
}

// Rows as aligned columns, all right-aligned; a row of two cells and a text
// (a reason instead of numbers) writes the text after the second column.
std::string format_table(const std::vector<Row>& rows, const std::string& indent)
{
    std::vector<std::size_t> width;
    for (const Row& row : rows) {
        if (row.size() == 3) {
            for (std::size_t c = 0; c < 2; ++c) {
                if (width.size() <= c) width.push_back(0);
                width[c] = std::max(width[c], row[c].size());
            }
            continue;
        }
        for (std::size_t c = 0; c < row.size(); ++c) {
            if (width.size() <= c) width.push_back(0);
            width[c] = std::max(width[c], row[c].size());
        }
    }
    std::string out;
    for (const Row& row : rows) {
        std::string line = indent;
        for (std::size_t c = 0; c < row.size(); ++c) {
            if (c > 0) line += std::string(column_gap, ' ');
            if (row.size() == 3 && c == 2)
                line += row[c];
            else
                line += std::string(width[c] - row[c].size(), ' ') + row[c];
        }
        out += line + "\n";
    }
    return out;
}

// The heading of an analysis's table, with its test.
std::string analysis_heading(Analysis a, int modalities)
{
    const std::string ndf = std::to_string(std::max(modalities - 1, 1));
    switch (a) {
    case Analysis::random_readers_random_cases:
        return "Random readers and random cases: F(" + ndf + ", ddf), ddf by Hillis";
    case Analysis::fixed_readers_random_cases:
        return "Fixed readers and random cases: chi-square on " + ndf + " df";
    case Analysis::random_readers_fixed_cases:
        return "Random readers and fixed cases: F(" + ndf + ", (T - 1)(J - 1))";
    case Analysis::reference_random_readers_random_cases:
        return "Random readers and random cases: F(1, ddf), ddf by Hillis";
    case Analysis::reference_random_readers_fixed_cases:
        return "Random readers and fixed cases: F(1, J - 1)";
    }
    return "";
}

bool chi_square(Analysis a) { return a == Analysis::fixed_readers_random_cases; }

Row table_heading(Analysis a)
{
    if (chi_square(a)) return {"Readers", "Cases", "Power", "lambda", "Critical chi2"};
    return {"Readers", "Cases", "Power", "lambda", "ddf", "Critical F"};
}

// The numbers of one analysis at one size, or its reason.
Row analysis_row(int readers, const std::string& cases, const AnalysisPower& p)
{
    if (!p.ok()) return {std::to_string(readers), cases, p.reason};
    Row row{std::to_string(readers), cases, fixed(p.power, power_decimals),
            fixed(p.lambda, stat_decimals)};
    if (!chi_square(p.analysis)) row.push_back(fixed(p.ddf, stat_decimals));
    row.push_back(fixed(p.critical_value, stat_decimals));
    return row;
}

std::vector<Analysis> analyses_of(const PowerResult& r)
{
    if (r.reference())
        return {Analysis::reference_random_readers_random_cases,
                Analysis::reference_random_readers_fixed_cases};
    return {Analysis::random_readers_random_cases, Analysis::fixed_readers_random_cases,
            Analysis::random_readers_fixed_cases};
}

// The pilot and its components.
std::string pilot_text(const PowerResult& r)
{
    std::string out;
    if (r.fom) {
        out += "Pilot: " + (r.source.empty() ? std::string("the study") : r.source) + ", FOM " +
               mrmc::fom_name(*r.fom) + ", target class " + std::to_string(r.target_class) + "\n";
        out += "  " + counted(r.pilot_readers.size(), "reader", "readers");
        if (r.reference())
            out += " and the reference reader " + r.reference_reader + ", modality " +
                   r.reference_modality;
        else
            out += ", " + counted(r.pilot_modalities.size(), "modality", "modalities");
        out += ", " + counted(std::size_t(r.pilot_cases), "case", "cases") + " (" +
               std::to_string(r.pilot_normal_cases) + " normal, " +
               std::to_string(r.pilot_target_cases) + " target)\n";
    }
    if (!r.fom && !r.reference_reader.empty())
        out += "Reference reader: " + r.reference_reader + "\n";
    out += "Components (K* = " + std::to_string(r.pilot_cases) + " pilot cases)\n";
    std::vector<std::pair<std::string, double>> values;
    if (r.reference()) {
        const ReferenceComponents& c = *r.reference_components;
        values = {{"Var_psi", c.var}, {"Cov2_psi", c.cov2}, {"VarR_psi", c.var_r}};
    } else {
        const ModalityComponents& c = *r.modality_components;
        values = {{"Var", c.var},   {"Cov1", c.cov1},    {"Cov2", c.cov2},
                  {"Cov3", c.cov3}, {"VarTR", c.var_tr}};
    }
    std::size_t name_width = 0;
    for (const auto& [name, v] : values) name_width = std::max(name_width, name.size());
    for (const auto& [name, v] : values)
        out += "  " + name + std::string(name_width - name.size() + column_gap, ' ') +
               component_text(v) + "\n";
    if (!r.reference() && !r.modality_components->modality_means.empty()) {
        const std::vector<double>& means = r.modality_components->modality_means;
        out += "  Reader-averaged FOM:";
        for (std::size_t m = 0; m < means.size(); ++m)
            out += (m == 0 ? " " : ", ") +
                   (m < r.pilot_modalities.size() ? r.pilot_modalities[m]
                                                   : "modality " + std::to_string(m + 1)) +
                   " " + fixed(means[m], fom_decimals);
        out += "\n";
    }
    if (r.reference() && r.reference_components->mean_psi)
        out += "  Mean psi (reader - reference): " +
               fixed(*r.reference_components->mean_psi, fom_decimals) + "\n";
    if (!r.pilot_warnings.empty()) {
        out += "Warnings of the pilot's fits (the components rest on them):\n";
        for (const mrmc::CompareWarning& w : r.pilot_warnings) out += "  - " + w.message + "\n";
    }
    return out;
}

// The effect in words.
std::string effect_text(const PowerResult& r)
{
    if (r.reference())
        return "Effect: mean psi = " + fixed(r.effect, fom_decimals) +
               (r.effect_from_pilot ? " (the pilot's)" : " (given)") + "\n";
    if (std::isnan(r.effect))
        return "Effect: the pilot's modality means (sum of squared deviations " +
               component_text(r.effect_sum_squares) + ")\n";
    std::string out = "Effect: d = " + fixed(r.effect, fom_decimals);
    if (r.effect_from_pilot && r.pilot_modalities.size() >= 2)
        out += " (the pilot's " + r.pilot_modalities[0] + " - " + r.pilot_modalities[1] + ")";
    else
        out += r.effect_from_pilot ? " (the pilot's)" : " (given)";
    if (r.modalities > 2) out += ": two modalities d apart, the others half-way";
    return out + "\n";
}

// How far the components of small pilots move a prediction, measured by
// `power_check spread 1000 500 1 FOM` (1,000 pilots of each size, 500 planned
// studies of 10 readers x 200 cases for the true rejection rate): the rate,
// and the 10th and 90th percentiles of the predictions from pilots of 5
// readers x 100 cases and of 10 readers x 200 cases.
struct SpreadFigures {
    const char* fom;
    bool reference;
    double rate, small_p10, small_p90, medium_p10, medium_p90;
};
constexpr SpreadFigures spread_figures[] = {
    {"wilcoxon", false, 0.82, 0.50, 1.00, 0.58, 0.98},
    {"wilcoxon", true, 0.69, 0.46, 0.96, 0.52, 0.87},
    {"model-alroc", false, 0.84, 0.52, 1.00, 0.62, 0.99},
    {"model-alroc", true, 0.77, 0.52, 0.98, 0.59, 0.92},
};

// The measured spread for the result: model-alroc's for a model-based FOM,
// else wilcoxon's.
const SpreadFigures& spread_of(const PowerResult& r)
{
    const bool model = r.fom && mrmc::is_model_based(*r.fom);
    for (const SpreadFigures& f : spread_figures)
        if (f.reference == r.reference() && (std::string(f.fom) == "model-alroc") == model)
            return f;
    return spread_figures[0];
}

// What the printed powers rest on, with the figures measured by simulation
// (the README gives them in full).
std::string caveat(const PowerResult& r)
{
    const SpreadFigures& f = spread_of(r);
    char spread[256];
    std::snprintf(spread, sizeof spread,
                  "from pilots of 5 readers x 100 cases, a study whose true power was %.2f was "
                  "predicted %.2f to %.2f (10th to 90th percentile of 1,000 pilots; 10 readers "
                  "x 200 cases: %.2f to %.2f)",
                  f.rate, f.small_p10, f.small_p90, f.medium_p10, f.medium_p90);
    return std::string("The powers take these components as the true ones") +
           (r.fom ? " (the pilot's estimates)" : "") +
           ". Those of random readers rest most on " + (r.reference() ? "VarR_psi" : "VarTR") +
           ", which a pilot of few readers estimates poorly, and on the F approximation with "
           "Hillis's ddf. By simulation (" + f.fom + "; README, power section): with "
           "components from a 300-reader pilot the predictions lay within 2 standard errors "
           "of the rejection rates of 500 simulated studies; " + spread + ".";
}

// The picture's short form of the note.
std::string caveat_line(const PowerResult& r)
{
    const SpreadFigures& f = spread_of(r);
    char line[200];
    std::snprintf(line, sizeof line,
                  "Powers take the components as true: from 5-reader pilots a true %.2f was "
                  "predicted %.2f to %.2f (README).",
                  f.rate, f.small_p10, f.small_p90);
    return line;
}

std::string cases_text(const PowerResult& r, Analysis a)
{
    std::vector<Row> rows{table_heading(a)};
    for (const PlanPower& p : r.powers)
        for (const AnalysisPower& x : p.analyses)
            if (x.analysis == a)
                rows.push_back(analysis_row(p.readers, std::to_string(p.cases), x));
    return format_table(rows, "  ");
}

std::string search_text(const PowerResult& r, Analysis a)
{
    std::vector<Row> rows{table_heading(a)};
    std::string notes;
    for (const CasesForPower& s : r.smallest_cases) {
        if (s.analysis != a) continue;
        if (s.cases)
            rows.push_back(analysis_row(s.readers, std::to_string(*s.cases), s.power));
        else
            rows.push_back({std::to_string(s.readers), "-",
                            s.power.ok() ? "not reached" : s.power.reason});
        if (!s.note.empty() && s.note != s.power.reason)
            notes += wrapped(std::to_string(s.readers) + " readers: " + s.note, "  ", "    ",
                             text_width);
    }
    return format_table(rows, "  ") + notes;
}

// ---------------------------------------------------------------------------
// CSV and JSON.

std::string csv_field(const std::string& s)
{
    if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
    std::string q = "\"";
    for (char ch : s) q += ch == '"' ? std::string("\"\"") : std::string(1, ch);
    return q + "\"";
}

std::string csv_number(double v)
{
    if (std::isnan(v)) return "";
    if (std::isinf(v)) return v > 0 ? "Inf" : "-Inf";
    return study::exact_number(v);
}

// power,lambda,ndf,ddf,critical_value of an analysis, empty without a number.
std::string csv_numbers(const AnalysisPower& p)
{
    if (!p.ok()) return ",,,,";
    return csv_number(p.power) + "," + csv_number(p.lambda) + "," + csv_number(p.ndf) + "," +
           csv_number(p.ddf) + "," + csv_number(p.critical_value);
}

using Json = nlohmann::ordered_json;

Json number_json(double v) { return std::isfinite(v) ? Json(v) : Json(nullptr); }

const char* status_key(PowerStatus s)
{
    switch (s) {
    case PowerStatus::ok: return "ok";
    case PowerStatus::zero_denominator: return "zero_denominator";
    case PowerStatus::undefined_component: return "undefined_component";
    }
    return "unknown";
}

Json analysis_json(const AnalysisPower& p)
{
    return {{"analysis", analysis_key(p.analysis)},
            {"statistic", p.statistic},
            {"power", number_json(p.power)},
            {"lambda", number_json(p.lambda)},
            {"ndf", number_json(p.ndf)},
            {"ddf", number_json(p.ddf)},
            {"critical_value", number_json(p.critical_value)},
            {"denominator", number_json(p.denominator)},
            {"status", status_key(p.status)},
            {"reason", p.reason}};
}

Json components_json(const PowerResult& r)
{
    if (r.reference()) {
        const ReferenceComponents& c = *r.reference_components;
        return {{"var_psi", number_json(c.var)},
                {"cov2_psi", number_json(c.cov2)},
                {"var_r_psi", number_json(c.var_r)},
                {"mean_psi", c.mean_psi ? number_json(*c.mean_psi) : Json(nullptr)}};
    }
    const ModalityComponents& c = *r.modality_components;
    Json means = Json::array();
    for (double m : c.modality_means) means.push_back(number_json(m));
    return {{"var", number_json(c.var)},       {"cov1", number_json(c.cov1)},
            {"cov2", number_json(c.cov2)},     {"cov3", number_json(c.cov3)},
            {"var_tr", number_json(c.var_tr)}, {"modality_means", means}};
}

Json optional_text(const std::string& s) { return s.empty() ? Json(nullptr) : Json(s); }

// ---------------------------------------------------------------------------
// The picture.

// The power of one analysis for the result's components and effect.
double power_at(const PowerResult& r, Analysis a, int readers, int cases)
{
    Plan plan;
    plan.readers = readers;
    plan.cases = cases;
    plan.modalities = r.reference() ? 0 : r.modalities;
    plan.alpha = r.alpha;
    if (!r.effect_from_pilot) plan.effect = r.effect;
    const Expected<PlanPower> p = r.reference() ? plan_power(*r.reference_components, plan)
                                                : plan_power(*r.modality_components, plan);
    if (!p) return std::nan("");
    for (const AnalysisPower& x : p->analyses)
        if (x.analysis == a) return x.ok() ? x.power : std::nan("");
    return std::nan("");
}

// Whole numbers of cases from lo to hi, about curve_points of them, and the
// marked ones.
std::vector<int> curve_cases(int lo, int hi, const std::vector<int>& marked)
{
    std::vector<int> ks = marked;
    for (int i = 0; i <= curve_points; ++i)
        ks.push_back(lo + int(std::lround(double(hi - lo) * i / curve_points)));
    std::sort(ks.begin(), ks.end());
    ks.erase(std::unique(ks.begin(), ks.end()), ks.end());
    ks.erase(std::remove_if(ks.begin(), ks.end(), [&](int k) { return k < lo || k > hi; }),
             ks.end());
    return ks;
}

std::vector<int> unique_readers(const PowerResult& r)
{
    std::vector<int> js;
    auto add = [&](int j) {
        if (std::find(js.begin(), js.end(), j) == js.end()) js.push_back(j);
    };
    for (const PlanPower& p : r.powers) add(p.readers);
    for (const CasesForPower& s : r.smallest_cases) add(s.readers);
    return js;
}

std::string title_of(const PowerResult& r)
{
    std::string t = "Power: comparison of modalities";
    if (r.reference())
        t = "Power: readers against " +
            (r.reference_reader.empty() ? std::string("a reference reader") : r.reference_reader);
    if (r.fom)
        t += " \xe2\x80\x94 " +
             (r.source.empty() ? std::string("pilot")
                               : std::filesystem::path(r.source).filename().string()) +
             ", " + mrmc::fom_name(*r.fom);
    return t;
}

}  // namespace

std::string format_power_text(const PowerResult& r)
{
    std::string out = r.reference() ? "Power of a comparison of readers with a reference reader\n"
                                    : "Power of a comparison of modalities\n";
    out += pilot_text(r);
    out += effect_text(r);
    out += "Planned study: ";
    out += r.reference() ? std::string("one modality")
                         : counted(r.modalities, "modality", "modalities");
    out += ", alpha " + short_number(r.alpha) +
           ", normal and target cases in the pilot's ratio\n";
    if (r.target_power)
        out += "Smallest number of cases with power " + short_number(*r.target_power) +
               " or more (searched 2 to " + std::to_string(r.max_cases) + ")\n";
    for (Analysis a : analyses_of(r)) {
        out += "\n" + analysis_heading(a, r.modalities) + "\n";
        out += r.target_power ? search_text(r, a) : cases_text(r, a);
    }
    return out + "\n" + wrapped(caveat(r), "Note: ", "  ", text_width);
}

std::string format_power_csv(const PowerResult& r)
{
    std::string out;
    if (r.target_power) {
        out = "readers,analysis,target_power,cases,power,lambda,ndf,ddf,critical_value,note\n";
        for (const CasesForPower& s : r.smallest_cases)
            out += std::to_string(s.readers) + "," + std::string(analysis_key(s.analysis)) + "," +
                   csv_number(s.target_power) + "," +
                   (s.cases ? std::to_string(*s.cases) + "," + csv_numbers(s.power) : ",,,,,") +
                   "," + csv_field(s.note) + "\n";
        return out;
    }
    out = "readers,cases,analysis,power,lambda,ndf,ddf,critical_value,reason\n";
    for (const PlanPower& p : r.powers)
        for (const AnalysisPower& x : p.analyses)
            out += std::to_string(p.readers) + "," + std::to_string(p.cases) + "," +
                   std::string(analysis_key(x.analysis)) + "," + csv_numbers(x) + "," +
                   csv_field(x.reason) + "\n";
    return out;
}

std::string format_power_json(const PowerResult& r)
{
    Json powers = Json::array(), smallest = Json::array();
    for (const PlanPower& p : r.powers) {
        Json analyses = Json::array();
        for (const AnalysisPower& x : p.analyses) analyses.push_back(analysis_json(x));
        powers.push_back({{"readers", p.readers},
                          {"cases", p.cases},
                          {"case_ratio", number_json(p.case_ratio)},
                          {"analyses", analyses}});
    }
    for (const CasesForPower& s : r.smallest_cases)
        smallest.push_back({{"readers", s.readers},
                            {"analysis", analysis_key(s.analysis)},
                            {"target_power", s.target_power},
                            {"cases", s.cases ? Json(*s.cases) : Json(nullptr)},
                            {"reached", s.cases.has_value()},
                            {"monotone", s.monotone},
                            {"note", s.note},
                            {"power", analysis_json(s.power)}});
    Json pilot(nullptr);
    if (r.fom) {
        Json warnings = Json::array();
        for (const mrmc::CompareWarning& w : r.pilot_warnings)
            warnings.push_back({{"kind", mrmc::warning_kind_name(w.kind)}, {"message", w.message}});
        pilot = {{"readers", r.pilot_readers},
                 {"modalities", r.pilot_modalities},
                 {"cases", r.pilot_cases},
                 {"normal_cases", r.pilot_normal_cases},
                 {"target_cases", r.pilot_target_cases},
                 {"warnings", warnings}};
    }
    const Json doc = {
        {"source", optional_text(r.source)},
        {"fom", r.fom ? Json(mrmc::fom_name(*r.fom)) : Json(nullptr)},
        {"target_class", r.target_class == 0 ? Json(nullptr) : Json(r.target_class)},
        {"comparison", r.reference() ? "reference" : "modalities"},
        {"reference_reader", optional_text(r.reference_reader)},
        {"reference_modality", optional_text(r.reference_modality)},
        {"pilot", pilot},
        {"components", components_json(r)},
        {"pilot_cases", r.pilot_cases},
        {"modalities", r.modalities},
        {"alpha", r.alpha},
        {"effect", number_json(r.effect)},
        {"effect_sum_squares", number_json(r.effect_sum_squares)},
        {"effect_from_pilot", r.effect_from_pilot},
        {"target_power", r.target_power ? Json(*r.target_power) : Json(nullptr)},
        {"max_cases", r.max_cases},
        {"powers", powers},
        {"smallest_cases", smallest},
        {"note", caveat(r)}};
    return doc.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

std::string format_power_svg(const PowerResult& r, std::optional<Analysis> analysis)
{
    const Analysis a = analysis ? *analysis
                       : r.reference() ? Analysis::reference_random_readers_random_cases
                                       : Analysis::random_readers_random_cases;
    // The cases axis: the planned numbers, or 2 to beyond the largest found.
    int lo = 2, hi = 2;
    std::vector<int> planned;
    for (const PlanPower& p : r.powers) planned.push_back(p.cases);
    if (!planned.empty()) {
        lo = *std::min_element(planned.begin(), planned.end());
        hi = *std::max_element(planned.begin(), planned.end());
        if (lo == hi) lo = std::max(2, lo / 2), hi = 2 * hi;
    } else {
        int found = 0;
        for (const CasesForPower& s : r.smallest_cases)
            if (s.analysis == a && s.cases) found = std::max(found, *s.cases);
        hi = found > 0 ? int(std::ceil(search_overshoot * found))
                       : std::min(unreached_curve_cases, r.max_cases);
        hi = std::max(std::min(hi, r.max_cases), 3);
        // The curves run to the end of the axis the picture draws.
        hi = std::min(r.max_cases, int(plot::power_cases_axis(lo, hi).second));
    }

    plot::PowerCurvesPlot pic;
    pic.title = title_of(r);
    pic.cases_label = "Cases (normal and target in the pilot's ratio)";
    pic.cases_min = lo;
    pic.cases_max = hi;
    pic.target = r.target_power;
    std::vector<int> unreached;
    for (int j : unique_readers(r)) {
        plot::PowerCurve c;
        c.label = counted(std::size_t(j), "reader", "readers");
        std::vector<int> marked;
        for (const PlanPower& p : r.powers)
            if (p.readers == j) marked.push_back(p.cases);
        for (const CasesForPower& s : r.smallest_cases)
            if (s.readers == j && s.analysis == a) {
                if (s.cases)
                    marked.push_back(*s.cases);
                else
                    unreached.push_back(j);
            }
        for (int k : curve_cases(lo, hi, marked))
            c.points.push_back({double(k), power_at(r, a, j, k)});
        for (int k : marked)
            if (k >= lo && k <= hi) c.marks.push_back({double(k), power_at(r, a, j, k)});
        pic.curves.push_back(std::move(c));
    }
    std::string line = std::string(analysis_label(a)) + "; alpha " + short_number(r.alpha) + "; ";
    line[0] = char(std::toupper(static_cast<unsigned char>(line[0])));
    if (r.reference())
        line += "mean psi " + fixed(r.effect, picture_decimals);
    else if (std::isnan(r.effect))
        line += "the pilot's modality means";
    else
        line += "d = " + fixed(r.effect, picture_decimals);
    line += "; K* = " + std::to_string(r.pilot_cases) + ".";
    pic.notes.push_back(line);
    pic.notes.push_back(r.target_power ? "Marks: the smallest number of cases reaching the target."
                                       : "Marks: the planned numbers of cases.");
    for (int j : unreached)
        pic.notes.push_back(counted(std::size_t(j), "reader", "readers") +
                            ": target not reached within " + std::to_string(r.max_cases) +
                            " cases.");
    pic.notes.push_back(caveat_line(r));
    return plot::render_power_curves_svg(pic);
}

}  // namespace varnel::power
