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
    EXPECT_EQ(lines[1], "Reader               FOM        psi");
    EXPECT_EQ(lines[2], "R2              0.800000  -0.100000");
    EXPECT_EQ(lines[5], "Readers' mean   0.750000  -0.150000");
    EXPECT_EQ(lines[6], "R1 (reference)  0.900000");
    EXPECT_EQ(text.find("Comparison of modalities"), std::string::npos);
    EXPECT_NE(text.find("\n  Random readers, random cases  -0.150000"), std::string::npos) << text;
    EXPECT_NE(text.find("\n  Random readers, fixed cases   -0.150000"), std::string::npos) << text;
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
