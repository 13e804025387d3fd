// Reports: the text layout, the JSON keys and values, the jackknife CSV.
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "mrmc/report.h"
#include "support/matrices.h"

namespace {

using namespace varnel::mrmc;
using mrmc_test::two_case_matrix;

ClassAnalysis analyzed(FomMatrix x, const char* reference = nullptr)
{
    AnalysisOptions options;
    if (reference) options.reference_reader = reference;
    varnel::Expected<ClassAnalysis> a = analyze(std::move(x), options);
    EXPECT_TRUE(a) << a.error().message;
    return std::move(a).value();
}

// The 2 × 2 study of the analysis tests (F = 0.015625 / 0.000725, ddf 1.3456,
// chi2 156.25, difference -0.125 with standard error sqrt(0.000725)).
CompareResult two_by_two()
{
    CompareResult r;
    r.source = "hand.csv";
    r.fom = parse_fom("alroc@0.2").value();
    r.classes.push_back(
        analyzed(two_case_matrix({{0.8, 0.9}, {0.7, 0.85}}, {{0.01, 0.02}, {0.03, 0.04}})));
    return r;
}

std::vector<std::string> lines_of(const std::string& text)
{
    std::vector<std::string> lines;
    std::stringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::vector<std::string> words_of(const std::string& line)
{
    std::vector<std::string> words;
    std::stringstream in(line);
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

// The line starting with `prefix` and the lines after it.
std::vector<std::string> from_line(const std::string& text, const std::string& prefix, int count)
{
    const std::vector<std::string> lines = lines_of(text);
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (lines[i].rfind(prefix, 0) == 0)
            return std::vector<std::string>(lines.begin() + i,
                                            lines.begin() + std::min(lines.size(), i + count));
    ADD_FAILURE() << "no line starts with \"" << prefix << "\" in\n" << text;
    return {};
}

TEST(TextReport, HeadingAndFomTable)
{
    const std::string text = format_text_report(two_by_two());
    EXPECT_EQ(text.rfind("MRMC comparison of hand.csv\n"
                         "Figure of merit: alroc@0.2\n"
                         "95% confidence intervals (alpha 0.05)\n"
                         "\n"
                         "Target class 1: 2 readers, 2 modalities, 2 cases (0 normal, 0 target)\n"
                         "\n"
                         "FOM per reader and modality\n"
                         "Reader        M1        M2\n"
                         "R1      0.800000  0.900000\n"
                         "R2      0.700000  0.850000\n",
                         0),
              0u)
        << text;
}

TEST(TextReport, TestsWithTheirNumbersInAlignedColumns)
{
    const std::string text = format_text_report(two_by_two());
    EXPECT_NE(text.find("\n  F = 21.5517 on 1 and 1.3456 df, p = 0."), std::string::npos) << text;
    // p of chi2 = 156.25 on 1 df, erfc(12.5 / sqrt 2) = 7.47e-36: scientific.
    EXPECT_NE(text.find("\n  chi2 = 156.2500 on 1 df, p = 7.47e-36\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\n  F = 25.0000 on 1 and 1.0000 df, p = 0.125666\n"), std::string::npos)
        << text;

    const std::vector<std::string> diff = from_line(text, "  Difference", 2);
    ASSERT_EQ(diff.size(), 2u);
    EXPECT_EQ(diff[0].size(), diff[1].size()) << "columns right-aligned";
    const std::vector<std::string> w = words_of(diff[1]);
    ASSERT_EQ(w.size(), 10u) << diff[1];
    EXPECT_EQ(w[0] + w[1] + w[2], "M1-M2");
    EXPECT_EQ(w[3], "-0.125000");
    EXPECT_EQ(w[4], "0.026926");
    EXPECT_EQ(w[5], "1.3456");
    EXPECT_EQ(w[6], "-4.6424");

    const std::vector<std::string> cov = from_line(text, "  Var ", 9);
    ASSERT_EQ(cov.size(), 9u);
    EXPECT_EQ(cov[0], "  Var     7.500000e-04");
    EXPECT_EQ(cov[6], "  MS(TR)  6.250000e-04");
    EXPECT_EQ(cov[8], "  VarTR   6.250000e-04");
}

TEST(TextReport, UndefinedAndInfiniteValues)
{
    CompareResult r;
    r.source = "flat.csv";
    r.classes.push_back(analyzed(two_case_matrix({{0.5, 0.5}, {0.5, 0.5}}, {{0, 0}, {0, 0}})));
    r.classes.push_back(
        analyzed(two_case_matrix({{0.5, 0.5}, {0.5, 0.5}}, {{0.02, 0.01}, {0.02, 0.01}})));
    const std::string text = format_text_report(r);
    EXPECT_NE(text.find("\n  F = NaN on 1 and NaN df, p = NaN\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\n  F = 0.0000 on 1 and inf df, p = 1.000000\n"), std::string::npos)
        << text;
}

TEST(TextReport, ReferenceSection)
{
    CompareResult r;
    r.source = "ref.csv";
    r.classes.push_back(analyzed(
        two_case_matrix({{0.9}, {0.8}, {0.7}, {0.75}}, {{0.01}, {0.02}, {0.01}, {0.03}}), "R1"));
    const std::string text = format_text_report(r);
    // One modality: the heading counts it in the singular.
    EXPECT_NE(text.find("\nTarget class 1: 4 readers, 1 modality, 2 cases (0 normal, 0 target)\n"),
              std::string::npos)
        << text;
    const std::vector<std::string> lines = from_line(text, "Reference reader R1", 7);
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[0],
              "Reference reader R1 against 3 readers in modality M1 (psi = reader FOM - "
              "reference FOM)");
    // psi_j's jackknife variance is (s_j - s_ref)^2 here: standard errors
    // 0.01, 0, 0.02; z = -10, -inf, -7.5; p = erfc(10 / sqrt 2) = 1.52e-23,
    // 0, erfc(7.5 / sqrt 2) = 6.38e-14; Holm: 0, 2 * 1.52e-23, 6.38e-14.
    EXPECT_EQ(lines[1], "Reader               FOM        psi  Std error         z         p  "
                        "p (Holm)      Lower      Upper");
    EXPECT_EQ(lines[2], "R2              0.800000  -0.100000   0.010000  -10.0000  1.52e-23  "
                        "3.05e-23  -0.119600  -0.080400");
    EXPECT_EQ(lines[3], "R3              0.700000  -0.200000   0.000000      -inf  0.000000  "
                        "0.000000  -0.200000  -0.200000");
    EXPECT_EQ(words_of(lines[4])[6], "6.38e-14");
    EXPECT_EQ(lines[5], "Readers' mean   0.750000  -0.150000");
    EXPECT_EQ(lines[6], "R1 (reference)  0.900000");
    // The reference's FOM: standard error s_ref = 0.01, normal interval.
    const std::vector<std::string> foms = from_line(text, "  FOM ", 3);
    ASSERT_EQ(foms.size(), 3u);
    EXPECT_EQ(foms[1], "  R1 (reference)  0.900000   0.010000     inf  0.880400  0.919600");
    EXPECT_EQ(words_of(foms[2])[0] + words_of(foms[2])[1], "Readers'mean");
    EXPECT_NE(text.find("\n  p (Holm): adjusted by Holm's step-down method over the 3 readers\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("Non-inferiority"), std::string::npos) << "no margin, no test";
    EXPECT_EQ(text.find("Comparison of modalities"), std::string::npos);
    EXPECT_NE(text.find("\n  Random readers, random cases  -0.150000"), std::string::npos) << text;
    EXPECT_NE(text.find("\n  Random readers, fixed cases   -0.150000"), std::string::npos) << text;
}

// Every table of the report keeps its columns aligned: in each table whose
// cells are all filled, every line has the same display width (columns
// right-aligned), whatever the signs of the estimates and with names
// outside ASCII.
TEST(TextReport, ColumnsAlignedWithNegativeEstimatesAndUtf8Names)
{
    FomMatrix x = two_case_matrix({{0.9, 0.6}, {0.8, 0.55}, {0.7, 0.85}},
                                  {{0.01, 0.02}, {0.03, 0.01}, {0.02, 0.02}});
    x.readers = {"M\xc3\xbcller", "R\xc3\xa9my", "Ng"};  // Müller, Rémy
    CompareResult r;
    r.source = "signs.csv";
    AnalysisOptions options;
    options.reference_reader = "Ng";
    options.margin = 0.05;
    r.margin = 0.05;
    r.classes.push_back(analyze(x, options).value());
    const std::string text = format_text_report(r);
    auto width = [](const std::string& s) {
        return std::count_if(s.begin(), s.end(), [](char c) { return (c & 0xC0) != 0x80; });
    };
    // Tables: the FOM table, the differences and means of each test, the
    // readers against the reference and their non-inferiority test.
    for (const auto& [head, rows] :
         std::vector<std::pair<std::string, int>>{{"Reader        M1", 4},
                                                  {"  Difference", 2},
                                                  {"  Modality", 3},
                                                  {"  Mean psi                       Estimate  Std", 3},
                                                  {"  Mean psi                       Estimate      df", 3},
                                                  {"  FOM ", 3}}) {
        const std::vector<std::string> lines = from_line(text, head, rows);
        ASSERT_EQ(lines.size(), std::size_t(rows)) << head;
        for (const std::string& line : lines)
            EXPECT_EQ(width(line), width(lines[0])) << head << "\n" << line << "\n" << text;
    }
    const std::vector<std::string> readers = from_line(text, "Reader               FOM", 3);
    ASSERT_EQ(readers.size(), 3u);
    EXPECT_EQ(width(readers[1]), width(readers[0])) << text;
    EXPECT_EQ(width(readers[2]), width(readers[0])) << text;
    EXPECT_NE(text.find("\nM\xc3\xbcller          0.600000  -0.250000"), std::string::npos) << text;
}

// A difference of equal FOMs that rounding leaves just below zero is
// printed without a sign: 0.3 - (0.1 + 0.2) = -5.6e-17.
TEST(TextReport, NegativeValueRoundingToZeroHasNoSign)
{
    FomMatrix x = two_case_matrix({{0.1 + 0.2}, {0.3}, {0.5}}, {{0.01}, {0.02}, {0.03}});
    AnalysisOptions options;
    options.reference_reader = "R1";
    CompareResult r;
    r.classes.push_back(analyze(x, options).value());
    ASSERT_LT(r.classes[0].references[0].psi[0], 0.0);
    const std::string text = format_text_report(r);
    EXPECT_NE(text.find("\nR2              0.300000  0.000000   0.010000   0.0000"), std::string::npos)
        << text;
    EXPECT_EQ(text.find("-0.000000"), std::string::npos) << text;
}

// With a margin: the hypotheses and the verdicts in words, for the mean psi
// of the reference analysis (the reference study of the analysis tests:
// mean psi 0.06, upper 95% bound 0.151099 on 8 df) and for the modality
// differences (the 2 x 2 study: -0.125 against -0.2, z = 7.5 with fixed
// readers).
TEST(TextReport, NonInferiorityInWords)
{
    CompareResult r;
    r.source = "ni.csv";
    r.margin = 0.2;
    AnalysisOptions options;
    options.margin = 0.2;
    r.classes.push_back(analyze(two_case_matrix({{0.8, 0.9}, {0.7, 0.85}},
                                                {{0.01, 0.02}, {0.03, 0.04}}),
                                options)
                            .value());
    options.reference_reader = "REF";
    FomMatrix ref;
    ref.readers = {"REF", "B", "C", "D"};
    ref.modalities = {"M"};
    ref.cases = {"c1", "c2", "c3"};
    ref.theta = {{0.8}, {0.8}, {0.86}, {0.92}};
    const double ref_dev[] = {0.01, -0.02, 0.01}, psi_dev[] = {-0.03, 0.0, 0.03};
    for (int i = 0; i < 4; ++i) {
        std::vector<double> loo;
        for (int k = 0; k < 3; ++k)
            loo.push_back(ref.theta[i][0] + ref_dev[k] + (i == 0 ? 0.0 : psi_dev[k]));
        ref.jackknife.push_back({loo});
    }
    r.classes.push_back(analyze(ref, options).value());
    const std::string text = format_text_report(r);
    EXPECT_NE(text.find("\nNon-inferiority margin 0.2 (one-sided tests at alpha 0.05)\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("\n  Non-inferiority, margin 0.2: H0: first - second <= -0.2 (first worse "
                        "than second by 0.2 or\n  more) against H1: first - second > -0.2\n"),
              std::string::npos)
        << text;
    const std::vector<std::string> fixed = from_line(text, "Fixed readers and random cases", 10);
    ASSERT_EQ(fixed.size(), 10u);
    EXPECT_EQ(words_of(fixed[6]), (std::vector<std::string>{"Difference", "Estimate", "df", "z",
                                                            "p", "(one-sided)", "Lower", "95%",
                                                            "bound", "H0"}));
    EXPECT_EQ(words_of(fixed[7]), (std::vector<std::string>{"M1", "-", "M2", "-0.125000", "inf",
                                                            "7.5000", "3.19e-14", "-0.141449",
                                                            "rejected"}));
    EXPECT_EQ(fixed[8] + fixed[9],
              "  M1 - M2: H0 rejected at alpha 0.05 (lower bound -0.141449 > -0.2): M1 is "
              "non-inferior to M2  with margin 0.2.");

    EXPECT_NE(text.find("\n  Non-inferiority of REF, margin 0.2: H0: mean psi >= 0.2 (the readers "
                        "better than REF by 0.2 or\n  more) against H1: mean psi < 0.2\n"),
              std::string::npos)
        << text;
    const std::vector<std::string> rr = from_line(text, "  Random readers, random cases: H0", 2);
    ASSERT_EQ(rr.size(), 2u);
    EXPECT_EQ(rr[0] + rr[1], "  Random readers, random cases: H0 rejected at alpha 0.05 (upper "
                             "bound 0.151099 < 0.2): REF is  non-inferior to the readers with "
                             "margin 0.2.");
}

// Three modalities: a p (Holm) column beside p in each test, with the
// method named under the table; two modalities: none.
TEST(TextReport, HolmAdjustedPValuesNamed)
{
    CompareResult r;
    r.classes.push_back(analyzed(two_case_matrix(
        {{0.8, 0.9, 0.85}, {0.7, 0.85, 0.8}, {0.75, 0.8, 0.9}},
        {{0.01, 0.02, 0.01}, {0.03, 0.04, 0.02}, {0.02, 0.02, 0.03}})));
    const std::string text = format_text_report(r);
    const std::vector<std::string> diff = from_line(text, "  Difference", 5);
    ASSERT_EQ(diff.size(), 5u);
    EXPECT_EQ(words_of(diff[0]), (std::vector<std::string>{"Difference", "Estimate", "Std", "error",
                                                           "df", "t", "p", "p", "(Holm)", "Lower",
                                                           "Upper"}));
    const ModalityTest& t = r.classes[0].modalities->random_readers_random_cases;
    for (int i = 0; i < 3; ++i) {
        const std::vector<std::string> w = words_of(diff[1 + i]);
        ASSERT_EQ(w.size(), 11u);
        EXPECT_NEAR(std::strtod(w[8].c_str(), nullptr), t.differences[i].p_holm, 5e-7);
    }
    EXPECT_EQ(diff[4],
              "  p (Holm): p values adjusted by Holm's step-down method over the 3 pairwise "
              "differences");
    EXPECT_EQ(format_text_report(two_by_two()).find("Holm"), std::string::npos);
}

TEST(JsonReport, KeysAndValues)
{
    const nlohmann::json j = nlohmann::json::parse(report_json(two_by_two()).dump());
    EXPECT_EQ(j["source"], "hand.csv");
    EXPECT_EQ(j["fom"], "alroc@0.2");
    EXPECT_EQ(j["alpha"], 0.05);
    ASSERT_EQ(j["analyses"].size(), 1u);
    const nlohmann::json& a = j["analyses"][0];
    for (const char* key : {"target_class", "readers", "modalities", "cases", "fom_table",
                            "modality_comparison", "reference_analyses"})
        EXPECT_TRUE(a.contains(key)) << key;
    EXPECT_EQ(a["fom_table"][1][1], 0.85);
    EXPECT_EQ(a["cases"]["total"], 2);
    const nlohmann::json& m = a["modality_comparison"];
    for (const char* key : {"readers", "modality_means", "covariances", "modality_covariances",
                            "modality_ms_r", "mean_squares", "variance_components"})
        EXPECT_TRUE(m.contains(key)) << key;
    EXPECT_NEAR(m["covariances"]["cov2"].get<double>(), 5.5e-4, 1e-15);
    EXPECT_NEAR(m["variance_components"]["reader"].get<double>(), 0.0023, 1e-15);
    const nlohmann::json& rr = m["random_readers_random_cases"];
    EXPECT_EQ(rr["statistic_name"], "F");
    EXPECT_NEAR(rr["statistic"].get<double>(), 0.015625 / 0.000725, 1e-11);
    EXPECT_NEAR(rr["ddf"].get<double>(), 1.3456, 1e-12);
    const nlohmann::json& d = rr["differences"][0];
    EXPECT_EQ(d["first"], "M1");
    EXPECT_EQ(d["second"], "M2");
    for (const char* key : {"estimate", "std_error", "df", "t", "p", "lower", "upper"})
        EXPECT_TRUE(d[key].is_number()) << key;
    EXPECT_EQ(rr["means"][1]["modality"], "M2");
    // The chi-square test has infinite ddf: null.
    EXPECT_TRUE(m["fixed_readers_random_cases"]["ddf"].is_null());
    EXPECT_EQ(m["fixed_readers_random_cases"]["statistic_name"], "chi2");
    EXPECT_TRUE(a["reference_analyses"].empty());
}

TEST(JsonReport, ReferenceAnalysisAndUndefinedValues)
{
    CompareResult r;
    r.classes.push_back(analyzed(
        two_case_matrix({{0.9}, {0.8}, {0.7}, {0.75}}, {{0.01}, {0.02}, {0.01}, {0.03}}), "R1"));
    r.classes.push_back(analyzed(two_case_matrix({{0.5, 0.5}, {0.5, 0.5}}, {{0, 0}, {0, 0}})));
    const nlohmann::json j = nlohmann::json::parse(report_json(r).dump());
    const nlohmann::json& a = j["analyses"][0];
    EXPECT_TRUE(a["modality_comparison"].is_null());
    const nlohmann::json& ref = a["reference_analyses"][0];
    EXPECT_EQ(ref["reference"], "R1");
    EXPECT_EQ(ref["modality"], "M1");
    EXPECT_EQ(ref["readers"], (nlohmann::json{"R2", "R3", "R4"}));
    EXPECT_NEAR(ref["psi"][2].get<double>(), -0.15, 1e-15);
    for (const char* key : {"reference_fom", "readers_mean", "ms_r", "var", "cov2", "ms_den"})
        EXPECT_TRUE(ref[key].is_number()) << key;
    EXPECT_NEAR(ref["random_readers_fixed_cases"]["df"].get<double>(), 2.0, 0.0);
    EXPECT_NEAR(ref["random_readers_random_cases"]["estimate"].get<double>(), -0.15, 1e-15);
    EXPECT_TRUE(j["analyses"][1]["modality_comparison"]["random_readers_random_cases"]["p"]
                    .is_null());
}

// Keys of the arrays of bare numbers (per reader or modality by position),
// kept for the scripts that read them; each has a labelled form beside it.
bool legacy_number_array(const std::string& key)
{
    return key == "fom_table" || key == "modality_means" || key == "modality_ms_r" || key == "psi";
}

// Every number of the document sits under a key of its own, except in the
// kept arrays above; returns the paths of the others.
void bare_numbers(const nlohmann::json& j, const std::string& path, std::vector<std::string>& out)
{
    if (j.is_object()) {
        for (const auto& [key, value] : j.items())
            if (!(value.is_array() && legacy_number_array(key)))
                bare_numbers(value, path + "/" + key, out);
    } else if (j.is_array()) {
        for (std::size_t i = 0; i < j.size(); ++i) {
            if (j[i].is_number() || j[i].is_array()) out.push_back(path + "/" + std::to_string(i));
            bare_numbers(j[i], path + "/" + std::to_string(i), out);
        }
    }
}

// The labelled forms: every FOM as {reader, modality, value, std_error,
// lower, upper}, the modality means and within-modality terms by modality,
// each reader against the reference with its test, the reference's FOM
// with its interval; with a margin the one-sided tests with their
// hypotheses in words; with three modalities the Holm-adjusted p values.
TEST(JsonReport, LabelledFormsNonInferiorityAndHolm)
{
    FomMatrix x = two_case_matrix({{0.8, 0.9, 0.85}, {0.7, 0.85, 0.8}, {0.75, 0.8, 0.9},
                                   {0.9, 0.7, 0.8}},
                                  {{0.01, 0.02, 0.01}, {0.03, 0.04, 0.02}, {0.02, 0.02, 0.03},
                                   {0.01, 0.01, 0.01}});
    AnalysisOptions options;
    options.reference_reader = "R4";
    options.margin = 0.05;
    CompareResult r;
    r.margin = 0.05;
    r.classes.push_back(analyze(x, options).value());
    const ClassAnalysis& c = r.classes[0];
    const nlohmann::json j = nlohmann::json::parse(report_json(r).dump());
    EXPECT_EQ(j["margin"], 0.05);
    const nlohmann::json& a = j["analyses"][0];

    ASSERT_EQ(a["foms"].size(), 12u);
    const nlohmann::json& f = a["foms"][4];  // reader R2, modality M2
    EXPECT_EQ(f["reader"], "R2");
    EXPECT_EQ(f["modality"], "M2");
    EXPECT_EQ(f["value"], 0.85);
    EXPECT_EQ(f["std_error"].get<double>(), c.fom_estimates[1][1].std_error);
    EXPECT_NEAR(f["std_error"].get<double>(), 0.04, 1e-15);  // s of the table
    EXPECT_EQ(f["lower"].get<double>(), c.fom_estimates[1][1].lower);

    const nlohmann::json& m = a["modality_comparison"];
    EXPECT_EQ(m["reader_averaged_foms"][2]["modality"], "M3");
    EXPECT_EQ(m["reader_averaged_foms"][2]["value"], m["modality_means"][2]);
    EXPECT_EQ(m["modality_covariances"][1]["modality"], "M2");
    EXPECT_EQ(m["modality_covariances"][1]["ms_r"], m["modality_ms_r"][1]);
    const nlohmann::json& d = m["random_readers_random_cases"]["differences"][1];
    EXPECT_EQ(d["p_holm"].get<double>(),
              c.modalities->random_readers_random_cases.differences[1].p_holm);
    const nlohmann::json& ni = d["non_inferiority"];
    EXPECT_EQ(ni["null_hypothesis"], "first - second <= -0.05");
    EXPECT_EQ(ni["alternative"], "first - second > -0.05");
    EXPECT_EQ(ni["bound"], -0.05);
    for (const char* key : {"t", "p", "p_holm", "confidence_bound"})
        EXPECT_TRUE(ni[key].is_number()) << key;
    EXPECT_TRUE(ni["rejected"].is_boolean());

    const nlohmann::json& ref = a["reference_analyses"][0];
    ASSERT_EQ(ref["reader_differences"].size(), 3u);
    const nlohmann::json& rd = ref["reader_differences"][2];
    const ReaderDifference& want = c.references[0].reader_differences[2];
    EXPECT_EQ(rd["reader"], "R3");
    EXPECT_EQ(rd["fom"], 0.75);
    EXPECT_NEAR(rd["estimate"].get<double>(), -0.15, 1e-15);
    EXPECT_EQ(rd["std_error"].get<double>(), want.contrast.estimate.std_error);
    EXPECT_TRUE(rd["df"].is_null()) << "normal theory";
    EXPECT_EQ(rd["p"].get<double>(), want.contrast.p);
    EXPECT_EQ(rd["p_holm"].get<double>(), want.p_holm);
    EXPECT_EQ(ref["reference_estimate"]["estimate"], 0.9);
    EXPECT_NEAR(ref["reference_estimate"]["std_error"].get<double>(), 0.01, 1e-15);
    EXPECT_TRUE(ref["readers_mean_estimate"]["df"].is_number());
    const nlohmann::json& rni = ref["random_readers_random_cases"]["non_inferiority"];
    EXPECT_EQ(rni["null_hypothesis"], "mean psi >= 0.05");
    EXPECT_EQ(rni["alternative"], "mean psi < 0.05");
    EXPECT_FALSE(rni.contains("p_holm"));

    std::vector<std::string> bare;
    bare_numbers(j, "", bare);
    EXPECT_TRUE(bare.empty()) << bare.front();
    // Without a margin or a third modality: neither the tests nor the keys.
    const nlohmann::json plain = nlohmann::json::parse(report_json(two_by_two()).dump());
    EXPECT_TRUE(plain["margin"].is_null());
    const nlohmann::json& pd =
        plain["analyses"][0]["modality_comparison"]["random_readers_random_cases"]["differences"][0];
    EXPECT_FALSE(pd.contains("p_holm"));
    EXPECT_FALSE(pd.contains("non_inferiority"));
    bare.clear();
    bare_numbers(plain, "", bare);
    EXPECT_TRUE(bare.empty()) << bare.front();
}

TEST(JackknifeCsv, RowsQuotingAndExactValues)
{
    FomMatrix x = two_case_matrix({{0.8, 0.9}, {0.7, 0.85}}, {{0.01, 0.02}, {0.03, 0.04}});
    x.readers[0] = "Dr. \"X\", MD";
    x.cases[1] = "case\n2";
    x.jackknife[1][1][0] = 0.1 + 0.2;  // needs 17 digits
    CompareResult r;
    r.classes.push_back(analyzed(x));
    const std::string csv = format_jackknife_csv(r);
    EXPECT_EQ(csv.rfind("reader,modality,case,value\n"
                        "\"Dr. \"\"X\"\", MD\",M1,c1,0.79\n"
                        "\"Dr. \"\"X\"\", MD\",M1,\"case\n2\",0.81\n",
                        0),
              0u)
        << csv;
    const std::string last_row = "R2,M2,c1,";
    const std::size_t at = csv.find(last_row);
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(std::strtod(csv.c_str() + at + last_row.size(), nullptr), 0.1 + 0.2);
    std::size_t rows = 0;
    for (std::size_t i = csv.find("\nR"); i != std::string::npos; i = csv.find("\nR", i + 1))
        ++rows;
    EXPECT_EQ(rows, 4u);  // reader R2's rows; R1 is renamed
}

TEST(JackknifeCsv, TargetColumnWithSeveralClasses)
{
    CompareResult r;
    r.several_target_classes = true;
    FomMatrix a = two_case_matrix({{0.8, 0.9}, {0.7, 0.85}}, {{0.01, 0.02}, {0.03, 0.04}});
    FomMatrix b = a;
    b.target_class = 3;
    r.classes.push_back(analyzed(a));
    r.classes.push_back(analyzed(b));
    const std::string csv = format_jackknife_csv(r);
    EXPECT_EQ(csv.rfind("target,reader,modality,case,value\n1,R1,M1,c1,0.79\n", 0), 0u) << csv;
    EXPECT_NE(csv.find("\n3,R2,M2,c2,0.89\n"), std::string::npos) << csv;
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 1 + 2 * 8);
}

}  // namespace
