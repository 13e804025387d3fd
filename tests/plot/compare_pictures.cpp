// The pictures of a comparison (varnel/compare.h), read back: the forest plot
// carries one mark per estimate of the analyses with the analyses' numbers,
// the operating-points pictures one mark per operating point and, for a
// model-based FOM, one fitted curve per reader and their vertical average;
// the files of compare_pictures.  (The SVG reader of the plot tests is here.)
//
// With VARNEL_PLOT_SAMPLES set to a folder, the pictures drawn here are also
// written there for a person to look at.
#include <gtest/gtest.h>

#include <cstdlib>

#include "mrmc/curves.h"
#include "plot/plot.h"
#include "sim/case_sim.h"
#include "support/svg_check.h"
#include "varnel/compare.h"

namespace mrmc = varnel::mrmc;

namespace {

using plotcheck::Element;
constexpr double svg_precision = 0.0051;  // coordinates carry two decimals

std::vector<Element> read_back(const std::string& svg, const std::string& sample)
{
    std::string why;
    EXPECT_TRUE(plotcheck::well_formed(svg, why)) << why;
    if (const char* dir = std::getenv("VARNEL_PLOT_SAMPLES"))
        plotcheck::write_file(std::string(dir) + "/" + sample, svg);
    return plotcheck::elements(svg);
}

std::string text(const Element& e) { return e.text.substr(0, e.text.find_last_not_of('\n') + 1); }

// "0.8000 (0.7804, 0.8196)": an estimate as the forest plot writes it.
std::string value_text(const mrmc::Estimate& e)
{
    char buf[80];
    std::snprintf(buf, sizeof buf, "%.4f (%.4f, %.4f)", e.value, e.lower, e.upper);
    return buf;
}

// Readers R1..R4, modalities M1, M2, two cases; leave-one-out FOMs theta -+ s.
mrmc::FomMatrix four_readers()
{
    const std::vector<std::vector<double>> theta{{0.9, 0.9}, {0.8, 0.85}, {0.7, 0.8}, {0.75, 0.8}};
    const std::vector<std::vector<double>> s{{0.01, 0.01}, {0.02, 0.03}, {0.01, 0.02}, {0.03, 0.01}};
    mrmc::FomMatrix x;
    x.readers = {"R1", "R2", "R3", "R4"};
    x.modalities = {"M1", "M2"};
    x.cases = {"c1", "c2"};
    x.theta = theta;
    for (std::size_t r = 0; r < 4; ++r) {
        x.jackknife.emplace_back();
        for (std::size_t m = 0; m < 2; ++m)
            x.jackknife.back().push_back({theta[r][m] - s[r][m], theta[r][m] + s[r][m]});
    }
    return x;
}

// The forest plot of reader R1 as the reference, two modalities and a
// margin: every estimate of the analyses once, with its numbers.
TEST(ComparePictures, ForestCarriesTheAnalyses)
{
    mrmc::AnalysisOptions options;
    options.reference_reader = "R1";
    options.margin = 0.05;
    mrmc::CompareResult r;
    r.source = "four.csv";
    r.margin = 0.05;
    r.classes.push_back(mrmc::analyze(four_readers(), options).value());
    const mrmc::ClassAnalysis& c = r.classes[0];
    const auto svg = mrmc::format_forest_svg(r, 0);
    ASSERT_TRUE(svg) << svg.error().message;
    const auto all = read_back(*svg, "compare_forest.svg");

    // Marks: the reference per modality, 3 readers x 2 modalities, the 2
    // averages; 3 x 2 psi and their 2 means; 1 modality difference.
    const std::pair<const char*, std::size_t> counts[] = {
        {"estimate fom reference", 2},          {"estimate fom reader", 6},
        {"estimate fom mean", 2},               {"estimate reference-difference reader", 6},
        {"estimate reference-difference mean", 2}, {"estimate modality-difference mean", 1}};
    for (const auto& [cls, n] : counts) EXPECT_EQ(plotcheck::with_class(all, cls).size(), n) << cls;

    // The numbers beside the marks are the analyses' (rows top to bottom,
    // modalities within a row).
    auto texts = [&](const char* cls) {
        std::vector<std::string> out;
        for (const Element& e : plotcheck::with_class(all, cls)) out.push_back(text(e));
        return out;
    };
    const auto ref = texts("value fom reference");
    ASSERT_EQ(ref.size(), 2u);
    EXPECT_EQ(ref[1], value_text(c.references[1].reference_estimate));
    EXPECT_EQ(ref[1], "0.9000 (0.8804, 0.9196)");  // standard error 0.01, normal theory
    const auto readers = texts("value fom reader");
    ASSERT_EQ(readers.size(), 6u);
    EXPECT_EQ(readers[3], value_text(c.fom_estimates[2][1]));  // R3, M2
    const auto means = texts("value fom mean");
    ASSERT_EQ(means.size(), 2u);
    EXPECT_EQ(means[0], value_text(c.modalities->random_readers_random_cases.means[0]));
    const auto psi = texts("value reference-difference reader");
    ASSERT_EQ(psi.size(), 6u);
    EXPECT_EQ(psi[5], value_text(c.references[1].reader_differences[2].contrast.estimate));
    const auto mean_psi = texts("value reference-difference mean");
    ASSERT_EQ(mean_psi.size(), 2u);
    EXPECT_EQ(mean_psi[1], value_text(c.references[1].random_readers_random_cases.estimate));
    const auto diff = texts("value modality-difference mean");
    ASSERT_EQ(diff.size(), 1u);
    EXPECT_EQ(diff[0],
              value_text(c.modalities->random_readers_random_cases.differences[0].contrast.estimate));
    // The margin at +d and -d, and the title.
    EXPECT_EQ(plotcheck::with_class(all, "margin reference").size(), 1u);
    EXPECT_EQ(plotcheck::with_class(all, "margin modality").size(), 1u);
    bool titled = false;
    for (const Element& e : all)
        titled = titled || text(e) == "four.csv \xe2\x80\x94 FOM wilcoxon \xe2\x80\x94 target class 1";
    EXPECT_TRUE(titled);

    EXPECT_FALSE(mrmc::format_forest_svg(r, 1));
    // A result made by hand holds no operating points.
    EXPECT_FALSE(mrmc::format_operating_points_svg(r, 0, 0));
}

// One modality with a reference: the readers' averages come from the
// reference analysis; no modality differences.
TEST(ComparePictures, ForestOfOneModality)
{
    mrmc::FomMatrix x = four_readers();
    for (auto& row : x.theta) row.resize(1);
    for (auto& row : x.jackknife) row.resize(1);
    x.modalities = {"CT"};
    mrmc::AnalysisOptions options;
    options.reference_reader = "R1";
    mrmc::CompareResult r;
    r.classes.push_back(mrmc::analyze(x, options).value());
    const auto all = read_back(mrmc::format_forest_svg(r, 0).value(), "compare_forest_one.svg");
    const auto means = plotcheck::with_class(all, "value fom mean");
    ASSERT_EQ(means.size(), 1u);
    EXPECT_EQ(text(means[0]), value_text(r.classes[0].references[0].readers_mean_estimate));
    EXPECT_TRUE(plotcheck::with_class(all, "estimate modality-difference mean").empty());
    EXPECT_TRUE(plotcheck::with_class(all, "margin reference").empty());
}

// Three readers (the first a reference) in two modalities, rated on five
// levels: compared with an empirical and a model-based FOM.
varnel::study::CaseStudy simulated_study()
{
    case_sim::Design d;
    d.readers = 3;
    d.modalities = 2;
    d.normal_cases = 40;
    d.target_cases = {40};
    d.targets = case_sim::same_targets(2, 1, {1.5, 1.0, 0.0});
    d.variance = {0.05, 0.2, 0.05, 0.0, 0.0};
    d.levels = 5;
    d.seed = 5;
    auto s = varnel::study::parse_cases(case_sim::csv_text(case_sim::simulate(d)), "sim.csv");
    EXPECT_TRUE(s) << s.error().message;
    return *s;
}

// Every operating point one mark where the panels put it; with a
// model-based FOM each reader's fitted curves and the vertical average of
// the two readers other than the reference; without, no fitted curve.
TEST(ComparePictures, OperatingPointsAndFittedCurves)
{
    const varnel::study::CaseStudy s = simulated_study();
    for (const char* fom : {"wilcoxon", "model-alroc"}) {
        SCOPED_TRACE(fom);
        mrmc::CompareOptions options;
        options.fom = mrmc::parse_fom(fom).value();
        options.analysis.reference_reader = "R01";
        options.run.threads = 2;
        const auto result = mrmc::compare(s, options);
        ASSERT_TRUE(result) << result.error().message;
        const bool model = mrmc::is_model_based(options.fom);
        for (int m = 0; m < 2; ++m) {
            const auto svg = mrmc::format_operating_points_svg(*result, 0, m);
            ASSERT_TRUE(svg) << svg.error().message;
            const auto all = read_back(*svg, std::string("compare_points_") + fom + "_" +
                                                 std::to_string(m + 1) + ".svg");
            for (int p = 0; p < 2; ++p) {
                const std::string panel = p == 0 ? "roc" : "lroc";
                for (int i = 0; i < 3; ++i) {
                    const mrmc::TableCurves& t = result->curves[0][i][m];
                    const std::vector<mrmc::CurvePoint>& pts = p == 0 ? t.roc : t.lroc;
                    const auto marks =
                        plotcheck::with_class(all, "obs " + panel, "data-reader", std::to_string(i + 1));
                    ASSERT_EQ(marks.size(), pts.size()) << panel << i;
                    ASSERT_FALSE(pts.empty());
                    const Element& last = marks.back();
                    const double cx = last.name == "circle" ? plotcheck::number(last, "cx")
                                                            : plotcheck::number(last, "x") +
                                                                  plotcheck::number(last, "width") / 2;
                    EXPECT_NEAR(cx, varnel::plot::canvas_x(p, pts.back().x), svg_precision);
                    const auto fit =
                        plotcheck::with_class(all, "fit " + panel, "data-reader", std::to_string(i + 1));
                    EXPECT_EQ(fit.size(), model ? 1u : 0u) << panel << i;
                    if (model) {
                        EXPECT_EQ(plotcheck::polyline_points(fit[0]).size(), t.fitted_roc.size());
                    }
                }
                EXPECT_EQ(plotcheck::with_class(all, "average " + panel).size(), model ? 1u : 0u);
            }
            // Five rating levels: four ROC points per reader.
            EXPECT_EQ(result->curves[0][1][m].roc.size(), 4u);
        }
        // The files: one forest plot and one picture per modality.
        const auto pictures = mrmc::compare_pictures(*result);
        ASSERT_EQ(pictures.size(), 3u);
        EXPECT_EQ(pictures[0].file_name, "forest_target1.svg");
        EXPECT_EQ(pictures[1].file_name, "operating_points_target1_01_M1.svg");
        EXPECT_EQ(pictures[2].file_name, "operating_points_target1_02_M2.svg");
        EXPECT_EQ(pictures[2].svg, mrmc::format_operating_points_svg(*result, 0, 1).value());
        EXPECT_FALSE(mrmc::format_operating_points_svg(*result, 0, 2));
    }
}

}  // namespace
