// Text, JSON and CSV reports of a comparison.
#include "mrmc/report.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <vector>

#include "mrmc/fit_report.h"
#include "mrmc/text.h"

namespace varnel::mrmc {

namespace {

constexpr int fom_decimals = 6;    // FOMs, differences, standard errors, intervals
constexpr int stat_decimals = 4;   // test statistics and degrees of freedom
constexpr int p_decimals = 6;      // p values down to p_fixed_limit
constexpr double p_fixed_limit = 1e-4;  // smaller p values in scientific form
constexpr int column_gap = 2;

using Row = std::vector<std::string>;
using text::counted;
using text::display_width;
using text::fixed;

// Scientific text with seven significant digits, for covariances and mean
// squares whose size depends on the number of cases.
std::string scientific(double v)
{
    if (std::isnan(v) || std::isinf(v)) return fixed(v, 0);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.6e", v);
    return buf;
}

// A p value: six decimals, small ones in scientific form.
std::string p_text(double p)
{
    if (std::isnan(p) || p == 0.0 || p >= p_fixed_limit) return fixed(p, p_decimals);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.2e", p);
    return buf;
}

// FOM-scale numbers and test statistics.
std::string fom_text(double v) { return fixed(v, fom_decimals); }
std::string stat_text(double v) { return fixed(v, stat_decimals); }

// Rows as aligned columns: the first left-aligned, the others right-aligned.
std::string format_table(const std::vector<Row>& rows, const std::string& indent = "")
{
    std::vector<std::size_t> width;
    for (const Row& row : rows)
        for (std::size_t c = 0; c < row.size(); ++c) {
            if (width.size() <= c) width.push_back(0);
            width[c] = std::max(width[c], display_width(row[c]));
        }
    std::string out;
    for (const Row& row : rows) {
        std::string line = indent;
        for (std::size_t c = 0; c < row.size(); ++c) {
            const std::string pad(width[c] - display_width(row[c]), ' ');
            if (c == 0)
                line += row[c] + pad;
            else
                line += std::string(column_gap, ' ') + pad + row[c];
        }
        while (!line.empty() && line.back() == ' ') line.pop_back();
        out += line + "\n";
    }
    return out;
}

// "95% confidence intervals (alpha 0.05)".
std::string confidence_text(double alpha)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%g%% confidence intervals (alpha %g)", 100 * (1 - alpha),
                  alpha);
    return buf;
}

// "95%": the level of a (1 - alpha) interval or one-sided bound.
std::string level_text(double alpha)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g%%", 100 * (1 - alpha));
    return buf;
}

// A margin or bound as given ("0.05"), for the sentences of the
// non-inferiority tests.
std::string bound_text(double v)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
}

// A note under a table: lines of at most 96 columns, indented by two.
std::string wrapped(const std::string& note) { return text::wrapped(note, "  ", "  ", 96); }

// The verdict of a one-sided test in a table cell.
std::string verdict(bool rejected) { return rejected ? "rejected" : "not rejected"; }

// "p (Holm): Holm-adjusted over the 3 pairwise differences", the line that
// names the method under a table with adjusted p values.
std::string holm_note(std::size_t family, const std::string& members)
{
    return "  p (Holm): p values adjusted by Holm's step-down method over the " +
           std::to_string(family) + " " + members + "\n";
}

// The non-inferiority tests of the modality differences of one test:
// hypotheses, then per difference the one-sided test and its verdict.
std::string modality_non_inferiority_text(const ModalityTest& t,
                                          const std::vector<std::string>& modalities, double alpha)
{
    if (t.differences.empty() || !t.differences[0].contrast.non_inferiority) return "";
    const std::string d = bound_text(-t.differences[0].contrast.non_inferiority->bound);
    const bool holm = !std::isnan(t.differences[0].contrast.non_inferiority->p_holm);
    std::string out = wrapped("Non-inferiority, margin " + d + ": H0: first - second <= -" + d +
                              " (first worse than second by " + d +
                              " or more) against H1: first - second > -" + d);
    Row head{"Difference", "Estimate", "df", t.statistic_name == "chi2" ? "z" : "t",
             "p (one-sided)"};
    if (holm) head.push_back("p (Holm)");
    head.push_back("Lower " + level_text(alpha) + " bound");
    head.push_back("H0");
    if (holm) head.push_back("H0 (Holm)");
    std::vector<Row> rows{head};
    std::string sentences;
    for (const ModalityDifference& diff : t.differences) {
        const OneSidedTest& n = *diff.contrast.non_inferiority;
        const Estimate& e = diff.contrast.estimate;
        const std::string& first = modalities[diff.first];
        const std::string& second = modalities[diff.second];
        Row row{first + " - " + second, fom_text(e.value), stat_text(e.df), stat_text(n.t),
                p_text(n.p)};
        if (holm) row.push_back(p_text(n.p_holm));
        row.push_back(fom_text(n.confidence_bound));
        row.push_back(verdict(n.rejected));
        if (holm) row.push_back(verdict(n.p_holm < alpha));
        rows.push_back(row);
        sentences += wrapped(first + " - " + second + ": H0 " + verdict(n.rejected) +
                             " at alpha " + bound_text(alpha) + " (lower bound " +
                             fom_text(n.confidence_bound) + (n.rejected ? " > -" : " <= -") + d +
                             (holm ? "; after Holm's adjustment " + verdict(n.p_holm < alpha)
                                   : std::string()) +
                             "): " + first + (n.rejected ? " is" : " is not shown to be") +
                             " non-inferior to " + second + " with margin " + d + ".");
    }
    out += format_table(rows, "  ") + sentences;
    if (holm) out += holm_note(t.differences.size(), "pairwise differences");
    return out;
}

// The non-inferiority tests of a reference analysis: the hypotheses and, for
// each form of the test, the one-sided test and a sentence with the verdict.
std::string reference_non_inferiority_text(const ReferenceAnalysis& a, const FomMatrix& x,
                                           double alpha)
{
    if (!a.random_readers_random_cases.non_inferiority) return "";
    const std::string& ref = x.readers[a.reference];
    const std::string d = bound_text(a.random_readers_random_cases.non_inferiority->bound);
    std::string out = wrapped("Non-inferiority of " + ref + ", margin " + d + ": H0: mean psi >= " +
                              d + " (the readers better than " + ref + " by " + d +
                              " or more) against H1: mean psi < " + d);
    std::vector<Row> rows{{"Mean psi", "Estimate", "df", "t", "p (one-sided)",
                           "Upper " + level_text(alpha) + " bound", "H0"}};
    std::string sentences;
    const std::pair<const char*, const Contrast*> tests[] = {
        {"Random readers, random cases", &a.random_readers_random_cases},
        {"Random readers, fixed cases", &a.random_readers_fixed_cases}};
    for (const auto& [name, c] : tests) {
        const OneSidedTest& n = *c->non_inferiority;
        rows.push_back({name, fom_text(c->estimate.value), stat_text(c->estimate.df),
                        stat_text(n.t), p_text(n.p), fom_text(n.confidence_bound),
                        verdict(n.rejected)});
        sentences += wrapped(std::string(name) + ": H0 " + verdict(n.rejected) + " at alpha " +
                             bound_text(alpha) + " (upper bound " + fom_text(n.confidence_bound) +
                             (n.rejected ? " < " : " >= ") + d + "): " + ref +
                             (n.rejected ? " is" : " is not shown to be") +
                             " non-inferior to the readers with margin " + d + ".");
    }
    // Measured with bench/reference_check (2,000 studies per row, no reader
    // effects, so that the true mean psi equals the bound).
    return out + format_table(rows, "  ") + sentences +
           wrapped("Checked by simulation at its bound (6 readers, alpha 0.05), the random "
                   "readers, random cases test rejected in 7.6% (wilcoxon) and 7.9% (model-alroc) "
                   "of studies with 100 cases, 6.0% and 5.7% with 300 cases: somewhat liberal in "
                   "small studies.");
}

// How the per-reader psi were tested, then the reference reader's FOM and
// the other readers' mean FOM with their standard errors and intervals.
std::string reference_estimates_text(const ReferenceAnalysis& a, const FomMatrix& x, double alpha)
{
    const std::string& ref = x.readers[a.reference];
    const Estimate& r = a.reference_estimate;
    const Estimate& m = a.readers_mean_estimate;
    return "  psi: standard error from the case jackknife (cases random), z test, normal-theory " +
           level_text(alpha) +
           " interval;\n  p (Holm): adjusted by Holm's step-down method over the " +
           counted(a.readers.size(), "reader", "readers") + "\n" +
           format_table({{"FOM", "Estimate", "Std error", "df", "Lower", "Upper"},
                         {ref + " (reference)", fom_text(r.value), fom_text(r.std_error),
                          stat_text(r.df), fom_text(r.lower), fom_text(r.upper)},
                         {"Readers' mean", fom_text(m.value), fom_text(m.std_error),
                          stat_text(m.df), fom_text(m.lower), fom_text(m.upper)}},
                        "  ") +
           "  (" + ref +
           ": case jackknife, normal theory; readers' mean: random readers and cases)\n";
}

// The FOM of every reader and modality.
std::string fom_table_text(const FomMatrix& x)
{
    std::vector<Row> rows;
    Row head{"Reader"};
    for (const std::string& m : x.modalities) head.push_back(m);
    rows.push_back(head);
    for (std::size_t r = 0; r < x.readers.size(); ++r) {
        Row row{x.readers[r]};
        for (double v : x.theta[r]) row.push_back(fom_text(v));
        rows.push_back(row);
    }
    return "FOM per reader and modality\n" + format_table(rows);
}

// One form of the test: statistic, differences and modality means.
std::string test_text(const ModalityTest& t, const std::vector<std::string>& modalities,
                      const std::string& title, double alpha)
{
    const bool chi2 = t.statistic_name == "chi2";
    const bool holm = !t.differences.empty() && !std::isnan(t.differences[0].p_holm);
    std::string out = title + "\n  " + t.statistic_name + " = " + stat_text(t.statistic) + " on " +
                      fixed(t.ndf, 0) +
                      (chi2 ? std::string(" df") : " and " + stat_text(t.ddf) + " df") +
                      ", p = " + p_text(t.p) + "\n";
    Row head{"Difference", "Estimate", "Std error", "df", chi2 ? "z" : "t", "p"};
    if (holm) head.push_back("p (Holm)");
    head.insert(head.end(), {"Lower", "Upper"});
    std::vector<Row> diffs{head};
    for (const ModalityDifference& d : t.differences) {
        const Estimate& e = d.contrast.estimate;
        Row row{modalities[d.first] + " - " + modalities[d.second], fom_text(e.value),
                fom_text(e.std_error), stat_text(e.df), stat_text(d.contrast.t),
                p_text(d.contrast.p)};
        if (holm) row.push_back(p_text(d.p_holm));
        row.insert(row.end(), {fom_text(e.lower), fom_text(e.upper)});
        diffs.push_back(row);
    }
    out += format_table(diffs, "  ");
    if (holm) out += holm_note(t.differences.size(), "pairwise differences");
    out += modality_non_inferiority_text(t, modalities, alpha);
    std::vector<Row> means{{"Modality", "Mean", "Std error", "df", "Lower", "Upper"}};
    for (std::size_t m = 0; m < t.means.size(); ++m) {
        const Estimate& e = t.means[m];
        means.push_back({modalities[m], fom_text(e.value), fom_text(e.std_error), stat_text(e.df),
                         fom_text(e.lower), fom_text(e.upper)});
    }
    return out + format_table(means, "  ");
}

// The comparison of modalities: means, covariances, mean squares, tests.
std::string modality_text(const ModalityAnalysis& a, const FomMatrix& x, double alpha)
{
    std::string out =
        "Comparison of modalities (Obuchowski-Rockette, Hillis degrees of freedom)\n";
    if (a.readers.size() != x.readers.size())
        out += "Readers: " + std::to_string(a.readers.size()) + " (the reference reader left out)\n";
    std::vector<Row> means{{""}, {"Mean"}};
    for (std::size_t m = 0; m < a.modality_means.size(); ++m) {
        means[0].push_back(x.modalities[m]);
        means[1].push_back(fom_text(a.modality_means[m]));
    }
    out += "Reader-averaged FOM\n" + format_table(means, "  ");
    out += "Covariances of the FOM errors (jackknife), mean squares, variance components\n";
    out += format_table({{"Var", scientific(a.cov.var)},
                         {"Cov1", scientific(a.cov.cov1)},
                         {"Cov2", scientific(a.cov.cov2)},
                         {"Cov3", scientific(a.cov.cov3)},
                         {"MS(T)", scientific(a.ms.t)},
                         {"MS(R)", scientific(a.ms.r)},
                         {"MS(TR)", scientific(a.ms.tr)},
                         {"VarR", scientific(a.var_r)},
                         {"VarTR", scientific(a.var_tr)}},
                        "  ");
    std::vector<Row> within{{"Within modality", "Var", "Cov2", "MS(R)"}};
    for (std::size_t m = 0; m < a.modality_cov.size(); ++m)
        within.push_back({x.modalities[m], scientific(a.modality_cov[m].var),
                          scientific(a.modality_cov[m].cov2), scientific(a.modality_ms_r[m])});
    out += format_table(within, "  ") + "\n";
    out += test_text(a.random_readers_random_cases, x.modalities,
                     "Random readers and random cases", alpha) + "\n";
    out += test_text(a.fixed_readers_random_cases, x.modalities,
                     "Fixed readers and random cases", alpha) + "\n";
    out += test_text(a.random_readers_fixed_cases, x.modalities,
                     "Random readers and fixed cases", alpha);
    return out;
}

// A table row of an estimate with its test and interval.
Row contrast_row(const std::string& name, const Contrast& c)
{
    const Estimate& e = c.estimate;
    return {name,          fom_text(e.value), fom_text(e.std_error), stat_text(e.df),
            stat_text(c.t), p_text(c.p),      fom_text(e.lower),     fom_text(e.upper)};
}

// The reference analysis: psi per reader, its variance terms, both tests.
std::string reference_text(const ReferenceAnalysis& a, const FomMatrix& x, double alpha)
{
    std::string out = "Reference reader " + x.readers[a.reference] + " against " +
                      counted(a.readers.size(), "reader", "readers") + " in modality " +
                      x.modalities[a.modality] + " (psi = reader FOM - reference FOM)\n";
    std::vector<Row> rows{
        {"Reader", "FOM", "psi", "Std error", "z", "p", "p (Holm)", "Lower", "Upper"}};
    for (std::size_t j = 0; j < a.readers.size(); ++j) {
        const ReaderDifference& d = a.reader_differences[j];
        const Estimate& e = d.contrast.estimate;
        rows.push_back({x.readers[a.readers[j]], fom_text(x.theta[a.readers[j]][a.modality]),
                        fom_text(a.psi[j]), fom_text(e.std_error), stat_text(d.contrast.t),
                        p_text(d.contrast.p), p_text(d.p_holm), fom_text(e.lower),
                        fom_text(e.upper)});
    }
    rows.push_back({"Readers' mean", fom_text(a.readers_mean),
                    fom_text(a.random_readers_random_cases.estimate.value)});
    rows.push_back({x.readers[a.reference] + " (reference)", fom_text(a.reference_fom), ""});
    out += format_table(rows);
    out += reference_estimates_text(a, x, alpha);
    out += format_table({{"MS(R)", scientific(a.ms_r)},
                         {"Var", scientific(a.var)},
                         {"Cov2", scientific(a.cov2)},
                         {"MSden", scientific(a.ms_den)}},
                        "  ");
    out += format_table({{"Mean psi", "Estimate", "Std error", "df", "t", "p", "Lower", "Upper"},
                         contrast_row("Random readers, random cases", a.random_readers_random_cases),
                         contrast_row("Random readers, fixed cases", a.random_readers_fixed_cases)},
                        "  ");
    return out + reference_non_inferiority_text(a, x, alpha);
}

// Everything reported for one target class.
std::string class_text(const ClassAnalysis& c, double alpha)
{
    const FomMatrix& x = c.matrix;
    std::string out = "Target class " + std::to_string(x.target_class) + ": " +
                      counted(x.readers.size(), "reader", "readers") + ", " +
                      counted(x.modalities.size(), "modality", "modalities") + ", " +
                      counted(x.cases.size(), "case", "cases") + " (" +
                      std::to_string(x.normal_cases) + " normal, " +
                      std::to_string(x.target_cases) + " target)\n\n";
    out += fom_table_text(x);
    if (c.modalities) out += "\n" + modality_text(*c.modalities, x, alpha);
    for (const ReferenceAnalysis& r : c.references) out += "\n" + reference_text(r, x, alpha);
    return out;
}

// JSON objects of the result types (keys in report.h).
nlohmann::json estimate_json(const Estimate& e)
{
    return {{"estimate", e.value}, {"std_error", e.std_error}, {"df", e.df},
            {"lower", e.lower},    {"upper", e.upper}};
}

// A one-sided test with its hypotheses in words.
nlohmann::json one_sided_json(const OneSidedTest& n, const std::string& quantity)
{
    const bool less = n.alternative == Alternative::less;
    const std::string b = bound_text(n.bound);
    nlohmann::json j = {{"null_hypothesis", quantity + (less ? " >= " : " <= ") + b},
                        {"alternative", quantity + (less ? " < " : " > ") + b},
                        {"bound", n.bound},
                        {"t", n.t},
                        {"p", n.p},
                        {"confidence_bound", n.confidence_bound},
                        {"rejected", n.rejected}};
    if (!std::isnan(n.p_holm)) {
        j["p_holm"] = n.p_holm;
    }
    return j;
}

nlohmann::json contrast_json(const Contrast& c, const std::string& quantity = "")
{
    nlohmann::json j = estimate_json(c.estimate);
    j["t"] = c.t;
    j["p"] = c.p;
    if (c.non_inferiority) j["non_inferiority"] = one_sided_json(*c.non_inferiority, quantity);
    return j;
}

nlohmann::json test_json(const ModalityTest& t, const std::vector<std::string>& modalities)
{
    nlohmann::json diffs = nlohmann::json::array(), means = nlohmann::json::array();
    for (const ModalityDifference& d : t.differences) {
        nlohmann::json j = contrast_json(d.contrast, "first - second");
        j["first"] = modalities[d.first];
        j["second"] = modalities[d.second];
        if (!std::isnan(d.p_holm)) j["p_holm"] = d.p_holm;
        diffs.push_back(j);
    }
    for (std::size_t m = 0; m < t.means.size(); ++m) {
        nlohmann::json j = estimate_json(t.means[m]);
        j["modality"] = modalities[m];
        means.push_back(j);
    }
    return {{"statistic_name", t.statistic_name}, {"statistic", t.statistic}, {"ndf", t.ndf},
            {"ddf", t.ddf}, {"p", t.p}, {"differences", diffs}, {"means", means}};
}

// Reader names of matrix rows.
std::vector<std::string> names_of(const std::vector<int>& rows, const FomMatrix& x)
{
    std::vector<std::string> names;
    for (int r : rows) names.push_back(x.readers[r]);
    return names;
}

nlohmann::json modality_json(const ModalityAnalysis& a, const FomMatrix& x)
{
    nlohmann::json within = nlohmann::json::array(), means = nlohmann::json::array();
    for (std::size_t m = 0; m < a.modality_cov.size(); ++m)
        within.push_back({{"modality", x.modalities[m]},
                          {"var", a.modality_cov[m].var},
                          {"cov2", a.modality_cov[m].cov2},
                          {"ms_r", a.modality_ms_r[m]}});
    for (std::size_t m = 0; m < a.modality_means.size(); ++m)
        means.push_back({{"modality", x.modalities[m]}, {"value", a.modality_means[m]}});
    return {{"readers", names_of(a.readers, x)},
            {"modality_means", a.modality_means},
            {"reader_averaged_foms", means},
            {"covariances",
             {{"var", a.cov.var}, {"cov1", a.cov.cov1}, {"cov2", a.cov.cov2}, {"cov3", a.cov.cov3}}},
            {"modality_covariances", within},
            {"modality_ms_r", a.modality_ms_r},
            {"mean_squares", {{"t", a.ms.t}, {"r", a.ms.r}, {"tr", a.ms.tr}}},
            {"variance_components", {{"reader", a.var_r}, {"modality_reader", a.var_tr}}},
            {"random_readers_random_cases", test_json(a.random_readers_random_cases, x.modalities)},
            {"fixed_readers_random_cases", test_json(a.fixed_readers_random_cases, x.modalities)},
            {"random_readers_fixed_cases", test_json(a.random_readers_fixed_cases, x.modalities)}};
}

nlohmann::json reference_json(const ReferenceAnalysis& a, const FomMatrix& x)
{
    nlohmann::json per_reader = nlohmann::json::array();
    for (std::size_t j = 0; j < a.readers.size(); ++j) {
        nlohmann::json d = contrast_json(a.reader_differences[j].contrast);
        d["reader"] = x.readers[a.readers[j]];
        d["fom"] = x.theta[a.readers[j]][a.modality];
        d["p_holm"] = a.reader_differences[j].p_holm;
        per_reader.push_back(d);
    }
    return {{"modality", x.modalities[a.modality]},
            {"reference", x.readers[a.reference]},
            {"readers", names_of(a.readers, x)},
            {"psi", a.psi},
            {"reader_differences", per_reader},
            {"reference_fom", a.reference_fom},
            {"reference_estimate", estimate_json(a.reference_estimate)},
            {"readers_mean", a.readers_mean},
            {"readers_mean_estimate", estimate_json(a.readers_mean_estimate)},
            {"ms_r", a.ms_r},
            {"var", a.var},
            {"cov2", a.cov2},
            {"ms_den", a.ms_den},
            {"random_readers_random_cases",
             contrast_json(a.random_readers_random_cases, "mean psi")},
            {"random_readers_fixed_cases",
             contrast_json(a.random_readers_fixed_cases, "mean psi")}};
}

nlohmann::json class_json(const ClassAnalysis& c)
{
    const FomMatrix& x = c.matrix;
    nlohmann::json refs = nlohmann::json::array();
    for (const ReferenceAnalysis& r : c.references) refs.push_back(reference_json(r, x));
    nlohmann::json foms = nlohmann::json::array();
    for (std::size_t r = 0; r < x.readers.size(); ++r)
        for (std::size_t m = 0; m < x.modalities.size(); ++m) {
            const Estimate& e = c.fom_estimates[r][m];
            foms.push_back({{"reader", x.readers[r]},
                            {"modality", x.modalities[m]},
                            {"value", x.theta[r][m]},
                            {"std_error", e.std_error},
                            {"lower", e.lower},
                            {"upper", e.upper}});
        }
    return {{"target_class", x.target_class},
            {"readers", x.readers},
            {"modalities", x.modalities},
            {"cases",
             {{"total", x.cases.size()}, {"normal", x.normal_cases}, {"target", x.target_cases}}},
            {"fom_table", x.theta},
            {"foms", foms},
            {"modality_comparison",
             c.modalities ? modality_json(*c.modalities, x) : nlohmann::json(nullptr)},
            {"reference_analyses", refs}};
}

// A CSV field, quoted when it holds a comma, quote or line break.
std::string csv_field(const std::string& s)
{
    if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
    std::string q = "\"";
    for (char ch : s) q += ch == '"' ? std::string("\"\"") : std::string(1, ch);
    return q + "\"";
}

// Shortest text that reads back to v.
std::string round_trip(double v)
{
    char buf[32];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
    return ec == std::errc() ? std::string(buf, end) : std::string("nan");
}

}  // namespace

std::string format_text_report(const CompareResult& result)
{
    std::string out = "MRMC comparison of " + (result.source.empty() ? "the study" : result.source) +
                      "\nFigure of merit: " + fom_name(result.fom) + "\n" +
                      confidence_text(result.alpha) + "\n";
    if (result.margin)
        out += "Non-inferiority margin " + bound_text(*result.margin) +
               " (one-sided tests at alpha " + bound_text(result.alpha) + ")\n";
    out += model_fits_heading_text(result);
    for (const ClassAnalysis& c : result.classes) out += "\n" + class_text(c, result.alpha);
    return out + model_fits_text(result);
}

nlohmann::json report_json(const CompareResult& result)
{
    nlohmann::json analyses = nlohmann::json::array();
    for (const ClassAnalysis& c : result.classes) analyses.push_back(class_json(c));
    nlohmann::json doc = {{"source", result.source},
                          {"fom", fom_name(result.fom)},
                          {"alpha", result.alpha},
                          {"margin", result.margin ? nlohmann::json(*result.margin)
                                                   : nlohmann::json(nullptr)},
                          {"analyses", analyses}};
    if (result.localization) doc["model_fits"] = model_fits_json(result);
    return doc;
}

// Invalid UTF-8 in a name (a study made in memory without the checks of the
// readers) is replaced rather than thrown on.
std::string format_json_report(const CompareResult& result)
{
    return report_json(result).dump(2, ' ', false, nlohmann::json::error_handler_t::replace) +
           "\n";
}

std::string format_jackknife_csv(const CompareResult& result)
{
    const bool with_target = result.several_target_classes;
    std::string out = with_target ? "target,reader,modality,case,value\n"
                                  : "reader,modality,case,value\n";
    for (const ClassAnalysis& c : result.classes) {
        const FomMatrix& x = c.matrix;
        const std::string target = with_target ? std::to_string(x.target_class) + "," : "";
        for (std::size_t r = 0; r < x.readers.size(); ++r)
            for (std::size_t m = 0; m < x.modalities.size(); ++m)
                for (std::size_t k = 0; k < x.cases.size(); ++k)
                    out += target + csv_field(x.readers[r]) + "," + csv_field(x.modalities[m]) +
                           "," + csv_field(x.cases[k]) + "," + round_trip(x.jackknife[r][m][k]) +
                           "\n";
    }
    return out;
}

}  // namespace varnel::mrmc
