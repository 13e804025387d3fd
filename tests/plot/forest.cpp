// The forest plot of a comparison, read back: one mark per estimate, whiskers
// only for defined intervals, every position on one linear axis per panel,
// the margin lines on the side their hypotheses put them, names escaped.
//
// With VARNEL_PLOT_SAMPLES set to a folder, the pictures drawn here are also
// written there for a person to look at.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <algorithm>

#include "plot/comparison.h"
#include "support/svg_check.h"

namespace plot = varnel::plot;

namespace {

using plot::Interval;
using plotcheck::Element;
constexpr double svg_precision = 0.0051;  // coordinates carry two decimals
constexpr double nan = plot::not_a_number;

std::vector<Element> read_back(const std::string& svg, const char* sample) {
    std::string why;
    EXPECT_TRUE(plotcheck::well_formed(svg, why)) << why;
    if (const char* dir = std::getenv("VARNEL_PLOT_SAMPLES")) plotcheck::write_file(std::string(dir) + "/" + sample, svg);
    return plotcheck::elements(svg);
}

// A reference reader (an algorithm), three readers and two modalities, with
// the analyses' averages and differences and a margin of 0.05.
plot::ForestPlot small_study() {
    plot::ForestPlot fp;
    fp.title = "Study: small.csv \xe2\x80\x94 FOM: wilcoxon";
    fp.fom_label = "Wilcoxon AUC";
    fp.modalities = {"CT", "MR"};
    fp.reference = plot::ReaderEstimates{"Algorithm", {{0.84, 0.80, 0.88}, {0.86, 0.82, 0.90}}};
    fp.readers = {{"Reader 1", {{0.81, 0.75, 0.87}, {0.83, 0.78, 0.88}}},
                  {"Reader 2", {{0.78, 0.71, 0.85}, {0.80, 0.74, 0.86}}},
                  {"Reader 3", {{0.90, 0.85, 0.95}, {0.88, 0.83, 0.93}}}};
    fp.reader_means = {{0.83, 0.74, 0.92}, {0.8367, 0.76, 0.91}};
    fp.reference_differences = {{"Reader 1", {{-0.03, -0.09, 0.03}, {-0.03, -0.08, 0.02}}},
                                {"Reader 2", {{-0.06, -0.13, 0.01}, {-0.06, -0.12, 0.00}}},
                                {"Reader 3", {{0.06, 0.00, 0.12}, {0.02, -0.03, 0.07}}}};
    fp.mean_reference_differences = {{-0.01, -0.10, 0.08}, {-0.0233, -0.09, 0.04}};
    fp.modality_differences = {{0, 1, {-0.0067, -0.04, 0.027}}};
    fp.margin = 0.05;
    return fp;
}

// An element's text without the line break that follows it.
std::string text(const Element& e) { return e.text.substr(0, e.text.find_last_not_of('\n') + 1); }

// x of value v on the axis through two whisker ends (x1 at lower, x2 at upper).
double axis_x(const Element& line, const Interval& e, double v) {
    const double x1 = plotcheck::number(line, "x1"), x2 = plotcheck::number(line, "x2");
    return x1 + (x2 - x1) * (v - e.lower) / (e.upper - e.lower);
}

TEST(ForestPlot, OneMarkAndWhiskerPerEstimateOnOneAxisPerPanel) {
    const plot::ForestPlot fp = small_study();
    const auto all = read_back(plot::render_forest_svg(fp), "forest_small.svg");
    struct Want {
        const char* cls;
        std::vector<std::pair<std::string, Interval>> by_modality;  // "1"/"2" (or "0": no modality) and estimate
    };
    auto per_modality = [](const std::vector<plot::ReaderEstimates>& rows) {
        std::vector<std::pair<std::string, Interval>> out;
        for (const auto& r : rows)
            for (size_t m = 0; m < r.per_modality.size(); ++m) out.push_back({std::to_string(m + 1), r.per_modality[m]});
        return out;
    };
    const Want fom[] = {{"fom reference", per_modality({*fp.reference})},
                        {"fom reader", per_modality(fp.readers)},
                        {"fom mean", per_modality({{"", fp.reader_means}})}};
    const Want diff[] = {{"reference-difference reader", per_modality(fp.reference_differences)},
                         {"reference-difference mean", per_modality({{"", fp.mean_reference_differences}})},
                         {"modality-difference mean", {{"0", fp.modality_differences[0].difference}}}};
    const Element frame_fom = plotcheck::with_class(all, "frame").at(0);
    const double left = plotcheck::number(frame_fom, "x"), right = left + plotcheck::number(frame_fom, "width");
    for (const auto* panel : {fom, diff}) {
        // The panel's axis from the first whisker; every other whisker end and
        // every circle (modality 1) must sit on it.
        const Element ref_line = plotcheck::with_class(all, std::string("interval ") + panel[0].cls).at(0);
        const Interval ref = panel[0].by_modality[0].second;
        for (int k = 0; k < 3; ++k) {
            const Want& w = panel[k];
            SCOPED_TRACE(w.cls);
            const auto lines = plotcheck::with_class(all, std::string("interval ") + w.cls);
            const auto marks = plotcheck::with_class(all, std::string("estimate ") + w.cls);
            const auto values = plotcheck::with_class(all, std::string("value ") + w.cls);
            ASSERT_EQ(w.by_modality.size(), lines.size());
            ASSERT_EQ(w.by_modality.size(), marks.size());
            ASSERT_EQ(w.by_modality.size(), values.size());
            for (size_t i = 0; i < lines.size(); ++i) {
                const Interval& e = w.by_modality[i].second;
                EXPECT_EQ(w.by_modality[i].first, lines[i].attr.at("data-modality"));
                EXPECT_EQ(w.by_modality[i].first, marks[i].attr.at("data-modality"));
                EXPECT_NEAR(axis_x(ref_line, ref, e.lower), plotcheck::number(lines[i], "x1"), 2 * svg_precision);
                EXPECT_NEAR(axis_x(ref_line, ref, e.upper), plotcheck::number(lines[i], "x2"), 2 * svg_precision);
                EXPECT_GE(plotcheck::number(lines[i], "x1"), left);
                EXPECT_LE(plotcheck::number(lines[i], "x2"), right);
                EXPECT_EQ(plotcheck::number(lines[i], "y1"), plotcheck::number(lines[i], "y2"));
                if (marks[i].name == "circle") {
                    EXPECT_NEAR(axis_x(ref_line, ref, e.value), plotcheck::number(marks[i], "cx"), 2 * svg_precision);
                    EXPECT_NEAR(plotcheck::number(lines[i], "y1"), plotcheck::number(marks[i], "cy"), svg_precision);
                }
                char want[80];
                std::snprintf(want, sizeof want, "%.4f (%.4f, %.4f)", e.value, e.lower, e.upper);
                EXPECT_EQ(want, text(values[i]));
            }
        }
    }
    // Modality 1 is drawn with circles, modality 2 with squares; readers open, the reference and averages filled.
    for (const Element& e : plotcheck::with_class(all, "estimate fom reader")) {
        EXPECT_EQ(e.attr.at("data-modality") == "1" ? "circle" : "rect", e.name);
        EXPECT_EQ("white", e.attr.at("fill"));
    }
    for (const char* cls : {"estimate fom reference", "estimate fom mean"})
        for (const Element& e : plotcheck::with_class(all, cls)) EXPECT_NE("white", e.attr.at("fill")) << cls;

    // The zero line and the margins: +d beside reader - reference, -d beside first - second.
    const Element ref_line = plotcheck::with_class(all, "interval reference-difference reader").at(0);
    const Interval ref = fp.reference_differences[0].per_modality[0];
    const auto zero = plotcheck::with_class(all, "zero"), plus = plotcheck::with_class(all, "margin reference"),
               minus = plotcheck::with_class(all, "margin modality");
    ASSERT_EQ(1u, zero.size());
    ASSERT_EQ(1u, plus.size());
    ASSERT_EQ(1u, minus.size());
    EXPECT_NEAR(axis_x(ref_line, ref, 0.0), plotcheck::number(zero[0], "x1"), 2 * svg_precision);
    EXPECT_NEAR(axis_x(ref_line, ref, 0.05), plotcheck::number(plus[0], "x1"), 2 * svg_precision);
    EXPECT_NEAR(axis_x(ref_line, ref, -0.05), plotcheck::number(minus[0], "x1"), 2 * svg_precision);
    EXPECT_EQ("6 4", plus[0].attr.at("stroke-dasharray"));
    // Each margin line spans its own section: the -d line starts below the last reader - reference row.
    const auto mean_diff = plotcheck::with_class(all, "interval modality-difference mean").at(0);
    EXPECT_LT(plotcheck::number(plus[0], "y2"), plotcheck::number(mean_diff, "y1"));
    EXPECT_LT(plotcheck::number(minus[0], "y1"), plotcheck::number(mean_diff, "y1"));
    EXPECT_GT(plotcheck::number(minus[0], "y2"), plotcheck::number(mean_diff, "y1"));

    // Row labels top to bottom, legend one entry per modality.
    std::vector<std::string> labels;
    for (const Element& e : plotcheck::with_class(all, "row-label")) labels.push_back(text(e));
    EXPECT_EQ((std::vector<std::string>{"Algorithm", "Reader 1", "Reader 2", "Reader 3", "Average over readers",
                                        "Reader 1", "Reader 2", "Reader 3", "Mean over readers", "CT \xe2\x88\x92 MR"}),
              labels);
    const auto legend = plotcheck::with_class(all, "legend");
    ASSERT_EQ(2u, legend.size());
    EXPECT_EQ("CT", text(legend[0]));
    EXPECT_EQ("MR", text(legend[1]));
    bool margin_note = false, undefined_note = false;
    for (const Element& e : plotcheck::with_class(all, "note")) {
        margin_note = margin_note || e.text.find("margin d = 0.05") != std::string::npos;
        undefined_note = undefined_note || e.text.find("not") != std::string::npos;
    }
    EXPECT_TRUE(margin_note);
    EXPECT_FALSE(undefined_note);
}

// Undefined intervals (NaN or infinite bounds, bounds in the wrong order, a
// missing entry) keep the mark and lose the whiskers; an undefined estimate
// loses the mark; both are counted in the notes.  No "nan" or "inf" reaches
// the picture.
TEST(ForestPlot, UndefinedIntervalsWithoutWhiskersAndNoted) {
    plot::ForestPlot fp;
    fp.title = "Undefined intervals";
    fp.modalities = {"Film", "Digital"};
    fp.readers = {{"Ann", {{0.8, nan, 0.9}, {0.7, 0.6, 0.8}}},
                  {"Bob", {{0.75, 0.7, INFINITY}, {nan, nan, nan}}},
                  {"Cid", {{0.72, 0.8, 0.6}}},  // bounds swapped; Digital missing
                  {"Dee", {{0.9, 0.85, 0.95}, {0.88, -INFINITY, INFINITY}}}};
    fp.reader_means = {{0.79, nan, nan}};
    fp.modality_differences = {{0, 1, {nan, nan, nan}}};
    const std::string svg = plot::render_forest_svg(fp);
    const auto all = read_back(svg, "forest_undefined.svg");
    // Eight entries, Bob's Digital NaN and Cid's missing: six marks, two of them (Ann Digital, Dee Film) with whiskers.
    EXPECT_EQ(6u, plotcheck::with_class(all, "estimate fom reader").size());
    EXPECT_EQ(2u, plotcheck::with_class(all, "interval fom reader").size());
    std::vector<std::string> texts;
    for (const Element& e : plotcheck::with_class(all, "value fom reader")) texts.push_back(text(e));
    EXPECT_EQ((std::vector<std::string>{"0.8000 (no interval)", "0.7000 (0.6000, 0.8000)", "0.7500 (no interval)",
                                        "not available", "0.7200 (no interval)", "not available",
                                        "0.9000 (0.8500, 0.9500)", "0.8800 (no interval)"}),
              texts);
    EXPECT_EQ(1u, plotcheck::with_class(all, "estimate fom mean").size());
    EXPECT_TRUE(plotcheck::with_class(all, "interval fom mean").empty());
    EXPECT_TRUE(plotcheck::with_class(all, "estimate modality-difference mean").empty());
    std::vector<std::string> notes;
    for (const Element& e : plotcheck::with_class(all, "note")) notes.push_back(text(e));
    // Intervals not defined: Ann Film, Bob Film, Cid Film, Dee Digital, mean Film; estimates: Bob Digital, Cid
    // Digital, mean Digital, the difference.
    EXPECT_NE(notes.end(), std::find(notes.begin(), notes.end(),
                                     "5 intervals not defined (not a number or infinite): drawn without whiskers."));
    EXPECT_NE(notes.end(), std::find(notes.begin(), notes.end(), "4 estimates not available: no mark."));
    for (const Element& e : all)
        for (const auto& [name, value] : e.attr)
            if (name != "class") {
                EXPECT_TRUE(value.find("nan") == std::string::npos && value.find("inf") == std::string::npos)
                    << e.name << " " << name << "=" << value;
            }

    // A margin that is not a number draws no line; a modality without a name
    // is named by its number; a confidence level outside (0, 1) is not shown.
    fp.margin = nan;
    fp.confidence = nan;
    fp.modalities = {"Film"};
    const auto more = read_back(plot::render_forest_svg(fp), "forest_unnamed.svg");
    EXPECT_TRUE(plotcheck::with_class(more, "margin modality").empty());
    ASSERT_EQ(2u, plotcheck::with_class(more, "legend").size());
    EXPECT_EQ("Modality 2", text(plotcheck::with_class(more, "legend")[1]));
    EXPECT_EQ("Estimate (CI)", text(plotcheck::with_class(more, "value-heading").at(0)));
    EXPECT_EQ("Marks: estimates; whiskers: confidence intervals.", text(plotcheck::with_class(more, "note").at(0)));

    // Nothing defined at all, and nothing given at all: still a well-formed picture.
    plot::ForestPlot none;
    none.modalities = {"A"};
    none.readers = {{"R", {{nan, nan, nan}}}};
    none.reference_differences = {{"R", {{nan, nan, nan}}}};
    read_back(plot::render_forest_svg(none), "forest_none.svg");
    read_back(plot::render_forest_svg(plot::ForestPlot{}), "forest_empty.svg");
}

// Names with the XML special characters, bytes that are not UTF-8 and long
// names: the picture stays well formed and shows the names as given, long
// ones shortened with an ellipsis.
TEST(ForestPlot, NamesEscapedAndShortened) {
    plot::ForestPlot fp = small_study();
    fp.title = "Trial <A&B> \"2024\"";
    fp.modalities = {"CT & <MR>", "it's \"new\""};
    fp.reference->name = "AI <v2>";
    fp.readers[0].name = "O'Brien & Sons";
    fp.readers[1].name = "Bad \xff byte";
    fp.readers[2].name = "A reader with a very long name indeed, longer than thirty";
    const auto all = read_back(plot::render_forest_svg(fp), "forest_names.svg");
    std::vector<std::string> labels;
    for (const Element& e : plotcheck::with_class(all, "row-label")) labels.push_back(text(e));
    ASSERT_EQ(10u, labels.size());
    EXPECT_EQ("AI <v2>", labels[0]);
    EXPECT_EQ("O'Brien & Sons", labels[1]);
    EXPECT_EQ("Bad ? byte", labels[2]);
    EXPECT_EQ("A reader with a very long nam\xe2\x80\xa6", labels[3]);  // 29 characters and the ellipsis
    EXPECT_EQ("CT & <MR> \xe2\x88\x92 it's \"new\"", labels[9]);
    EXPECT_EQ("Reader \xe2\x88\x92 AI <v2>", text(plotcheck::with_class(all, "section").at(2)));
    EXPECT_EQ("CT & <MR>", text(plotcheck::with_class(all, "legend").at(0)));
    EXPECT_EQ("Trial <A&B> \"2024\"", text(plotcheck::with_class(all, "title").at(0)));
}

// Thirty readers and three modalities: one row per reader, rows stacked
// without overlap, every element inside the picture, legend of three entries.
TEST(ForestPlot, ThirtyReadersStayReadable) {
    plot::ForestPlot fp;
    fp.title = "Thirty readers";
    fp.fom_label = "Wilcoxon AUC";
    fp.modalities = {"2D", "3D", "Synthetic 2D"};
    for (int j = 0; j < 30; ++j) {
        plot::ReaderEstimates r{"Reader " + std::to_string(j + 1), {}};
        for (int m = 0; m < 3; ++m) {
            const double v = 0.7 + 0.007 * j + 0.02 * m;
            r.per_modality.push_back({v, v - 0.05, v + 0.05});
        }
        fp.readers.push_back(r);
        plot::ReaderEstimates d{r.name, {}};
        for (int m = 0; m < 3; ++m) d.per_modality.push_back({0.01 * (j % 7) - 0.03 + 0.01 * m, -0.08, 0.06});
        fp.reference_differences.push_back(d);
    }
    fp.reader_means = {{0.80, 0.76, 0.84}, {0.82, 0.78, 0.86}, {0.84, 0.80, 0.88}};
    fp.modality_differences = {{0, 1, {-0.02, -0.05, 0.01}}, {0, 2, {-0.04, -0.07, -0.01}}, {1, 2, {-0.02, -0.05, 0.01}}};
    fp.margin = 0.05;
    const auto all = read_back(plot::render_forest_svg(fp), "forest_30_readers.svg");
    EXPECT_EQ(90u, plotcheck::with_class(all, "estimate fom reader").size());
    EXPECT_EQ(90u, plotcheck::with_class(all, "estimate reference-difference reader").size());
    EXPECT_EQ(3u, plotcheck::with_class(all, "estimate modality-difference mean").size());
    EXPECT_EQ(3u, plotcheck::with_class(all, "legend").size());
    // Labels and value lines at least a line apart.
    for (const char* cls : {"row-label", "value fom reader"}) {
        const auto e = plotcheck::with_class(all, cls);
        for (size_t i = 1; i < e.size(); ++i)
            if (plotcheck::number(e[i], "y") > plotcheck::number(e[i - 1], "y")) {
                EXPECT_GE(plotcheck::number(e[i], "y") - plotcheck::number(e[i - 1], "y"), 13.0) << cls << " " << i;
            }
    }
    const double width = plotcheck::number(all.at(0), "width"), height = plotcheck::number(all.at(0), "height");
    for (const Element& e : all)
        for (const char* a : {"x", "x1", "x2", "cx", "y", "y1", "y2", "cy"})
            if (e.attr.count(a) && e.attr.at(a).find('%') == std::string::npos) {
                const double v = plotcheck::number(e, a);
                EXPECT_GE(v, 0) << e.name << " " << a;
                EXPECT_LE(v, a[0] == 'x' || a[1] == 'x' ? width : height) << e.name << " " << a;
            }
}

}  // namespace
