// The readers' operating points of one modality, read back: every point and
// every curve where the panels' geometry puts it, the vertical average of the
// fitted curves by hand, points that cannot be drawn counted, and a legend in
// columns that holds thirty readers.
//
// With VARNEL_PLOT_SAMPLES set to a folder, the pictures drawn here are also
// written there for a person to look at.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <set>

#include "plot/comparison.h"
#include "support/svg_check.h"

namespace plot = varnel::plot;

namespace {

using plot::Point;
using plotcheck::Element;
constexpr double svg_precision = 0.0051;  // coordinates carry two decimals
constexpr double nan = plot::not_a_number;

std::vector<Element> read_back(const std::string& svg, const char* sample) {
    std::string why;
    EXPECT_TRUE(plotcheck::well_formed(svg, why)) << why;
    if (const char* dir = std::getenv("VARNEL_PLOT_SAMPLES")) plotcheck::write_file(std::string(dir) + "/" + sample, svg);
    return plotcheck::elements(svg);
}

std::string text(const Element& e) { return e.text.substr(0, e.text.find_last_not_of('\n') + 1); }

std::vector<std::string> notes(const std::vector<Element>& all) {
    std::vector<std::string> out;
    for (const Element& e : plotcheck::with_class(all, "note")) out.push_back(text(e));
    return out;
}

// A concave curve y = scale * x^power at the false-positive fractions of a
// fit's curve table: 1, 32 inner values, 0 (so, highest first).
std::vector<Point> power_curve(double power, double scale) {
    std::vector<Point> c;
    for (int i = 0; i <= 33; ++i) {
        const double x = i == 0 ? 1.0 : i == 33 ? 0.0 : std::pow(0.8, i);
        c.push_back({x, scale * std::pow(x, power)});
    }
    return c;
}

// Four operating points near the curve.
std::vector<Point> points_near(double power, double scale, double shift) {
    std::vector<Point> p;
    for (const double x : {0.05, 0.2, 0.4, 0.7}) p.push_back({x, std::min(1.0, scale * std::pow(x, power) + shift)});
    return p;
}

plot::OperatingPointsPlot fitted_study() {
    plot::OperatingPointsPlot op;
    op.title = "Modality: CT <low-dose> \xe2\x80\x94 FOM: model AUC";
    const double powers[] = {0.30, 0.45, 0.25};
    const char* names[] = {"Reader 1", "Dr. <Smith> & 'Jones'", "Reader 3"};
    for (int j = 0; j < 3; ++j)
        op.readers.push_back({names[j], false, points_near(powers[j], 1, 0.02 * (j - 1)),
                              points_near(powers[j], 0.8, -0.02), power_curve(powers[j], 1), power_curve(powers[j], 0.8)});
    op.readers.push_back({"Algorithm", true, points_near(0.2, 1, 0), points_near(0.2, 0.85, 0), power_curve(0.2, 1),
                          power_curve(0.2, 0.85)});
    return op;
}

void expect_at(int panel, const std::vector<Point>& want, const std::vector<std::pair<double, double>>& got) {
    ASSERT_EQ(want.size(), got.size());
    for (size_t i = 0; i < want.size(); ++i) {
        EXPECT_NEAR(plot::canvas_x(panel, want[i].x), got[i].first, svg_precision) << i;
        EXPECT_NEAR(plot::canvas_y(want[i].y), got[i].second, svg_precision) << i;
    }
}

TEST(OperatingPointsPicture, FittedCurvesThinTheirAverageThickPointsOnTop) {
    const plot::OperatingPointsPlot op = fitted_study();
    const auto all = read_back(plot::render_operating_points_svg(op), "operating_points_fitted.svg");
    for (int p = 0; p < 2; ++p) {
        SCOPED_TRACE(p == 0 ? "ROC" : "LROC");
        std::set<std::string> colours;
        const std::string panel = p == 0 ? "roc" : "lroc";
        for (int i = 0; i < 4; ++i) {
            const plot::ReaderCurves& r = op.readers[i];
            const std::string reader = std::to_string(i + 1);
            const auto fit = plotcheck::with_class(all, "fit " + panel, "data-reader", reader);
            ASSERT_EQ(1u, fit.size()) << r.name;
            expect_at(p, p == 0 ? r.fitted_roc : r.fitted_lroc, plotcheck::polyline_points(fit[0]));
            colours.insert(fit[0].attr.at("stroke"));
            if (r.reference) {
                EXPECT_EQ("black", fit[0].attr.at("stroke"));
            }
            EXPECT_EQ(r.reference, fit[0].attr.count("stroke-dasharray") == 1) << r.name;
            const auto marks = plotcheck::with_class(all, "obs " + panel, "data-reader", reader);
            const std::vector<Point>& pts = p == 0 ? r.roc : r.lroc;
            ASSERT_EQ(pts.size(), marks.size());
            for (size_t k = 0; k < pts.size(); ++k) {
                ASSERT_EQ("circle", marks[k].name);
                EXPECT_NEAR(plot::canvas_x(p, pts[k].x), plotcheck::number(marks[k], "cx"), svg_precision);
                EXPECT_NEAR(plot::canvas_y(pts[k].y), plotcheck::number(marks[k], "cy"), svg_precision);
                EXPECT_EQ(r.reference ? "black" : "white", marks[k].attr.at("fill"));
            }
        }
        EXPECT_EQ(4u, colours.size());
        // The thick average of the three readers (the reference left out): on
        // the shared false-positive grid, the mean of x^power (times 0.8 for LROC).
        const auto avg = plotcheck::with_class(all, "average " + panel);
        ASSERT_EQ(1u, avg.size());
        EXPECT_EQ("3", avg[0].attr.at("stroke-width"));
        const auto pts = plotcheck::polyline_points(avg[0]);
        ASSERT_EQ(34u, pts.size());
        for (size_t k = 0; k < pts.size(); ++k) {
            const double x = k == 0 ? 0.0 : k == 33 ? 1.0 : std::pow(0.8, 33 - static_cast<int>(k));
            const double y = (p == 0 ? 1.0 : 0.8) * (std::pow(x, 0.30) + std::pow(x, 0.45) + std::pow(x, 0.25)) / 3;
            EXPECT_NEAR(plot::canvas_x(p, x), pts[k].first, svg_precision) << k;
            EXPECT_NEAR(plot::canvas_y(y), pts[k].second, svg_precision) << k;
        }
        // Marks are drawn after every curve.
        size_t last_curve = 0, first_mark = all.size();
        for (size_t k = 0; k < all.size(); ++k) {
            const std::string cls = all[k].attr.count("class") ? all[k].attr.at("class") : "";
            if (cls == "fit " + panel || cls == "average " + panel) last_curve = k;
            if (cls == "obs " + panel) first_mark = std::min(first_mark, k);
        }
        EXPECT_LT(last_curve, first_mark);
    }
    std::vector<std::string> legend;
    for (const Element& e : plotcheck::with_class(all, "legend")) legend.push_back(text(e));
    EXPECT_EQ((std::vector<std::string>{"Reader 1", "Dr. <Smith> & 'Jones'", "Reader 3", "Algorithm (reference)"}),
              legend);
    EXPECT_EQ(1u, plotcheck::with_class(all, "legend average").size());
    EXPECT_EQ("Modality: CT <low-dose> \xe2\x80\x94 FOM: model AUC", text(plotcheck::with_class(all, "title").at(0)));
    EXPECT_EQ((std::vector<std::string>{
                  "Marks: empirical operating points.  Thin lines: each reader's fitted curve.",
                  "Thick black line: vertical average of the readers' fitted curves (reference reader left out)."}),
              notes(all));
}

// The vertical average by hand: on the union of the curves' x within the
// range every curve covers, each curve interpolated linearly.
TEST(VerticalAverage, MeanOfInterpolatedCurves) {
    const std::vector<Point> a = {{0, 0}, {0.5, 0.5}, {1, 1}}, b = {{1, 1}, {0.25, 0.75}, {0, 0}};
    const std::vector<Point> avg = plot::vertical_average({a, b});
    // At 0.25: a gives 0.25, b 0.75; at 0.5: a 0.5, b 0.75 + 0.25 * (0.25 / 0.75).
    const std::vector<Point> want = {{0, 0}, {0.25, 0.5}, {0.5, (0.5 + 0.75 + 0.25 / 3) / 2}, {1, 1}};
    ASSERT_EQ(want.size(), avg.size());
    for (size_t i = 0; i < want.size(); ++i) {
        EXPECT_DOUBLE_EQ(want[i].x, avg[i].x) << i;
        EXPECT_NEAR(want[i].y, avg[i].y, 1e-12) << i;
    }
    // Only where both are defined; a point without a number is ignored; at a
    // vertical step the higher y counts.
    const std::vector<Point> c = {{0.2, 0.4}, {nan, 0.5}, {1, 0.8}}, d = {{0, 0}, {0, 0.3}, {1, 1}};
    const std::vector<Point> cd = plot::vertical_average({c, d});
    ASSERT_EQ(2u, cd.size());
    EXPECT_DOUBLE_EQ(0.2, cd[0].x);
    EXPECT_NEAR((0.4 + 0.3 + 0.7 * 0.2) / 2, cd[0].y, 1e-12);
    EXPECT_NEAR(0.9, cd[1].y, 1e-12);
    ASSERT_EQ(2u, plot::vertical_average({d}).size());
    EXPECT_NEAR(0.3, plot::vertical_average({d})[0].y, 1e-12);
    EXPECT_TRUE(plot::vertical_average({}).empty());
    EXPECT_TRUE(plot::vertical_average({a, {}}).empty());
    EXPECT_TRUE(plot::vertical_average({{{0, 0}, {0.3, 0.5}}, {{0.5, 0.6}, {1, 1}}}).empty());  // no common range
}

// Without fitted curves each reader's empirical curve runs from (0, 0)
// through the points in order of x (ROC on to (1, 1)); there is no average.
// Points without a number or outside the unit square are left out and
// counted; a reader without a fitted LROC curve stops the LROC average.
TEST(OperatingPointsPicture, EmpiricalJoinedAndUndrawablePointsCounted) {
    plot::OperatingPointsPlot op;
    op.title = "Modality: MR";
    op.readers = {{"A", false, {{0.6, 0.9}, {0.1, 0.5}, {0.3, 0.7}}, {{0.1, 0.4}, {0.6, 0.6}}, {}, {}},
                  {"B", false, {{0.2, 0.6}, {nan, 0.7}, {1.2, 0.9}}, {{0.2, -0.1}, {0.5, 0.5}}, {}, {}}};
    auto all = read_back(plot::render_operating_points_svg(op), "operating_points_empirical.svg");
    expect_at(0, {{0, 0}, {0.1, 0.5}, {0.3, 0.7}, {0.6, 0.9}, {1, 1}},
              plotcheck::polyline_points(plotcheck::with_class(all, "empirical roc", "data-reader", "1").at(0)));
    expect_at(1, {{0, 0}, {0.5, 0.5}},
              plotcheck::polyline_points(plotcheck::with_class(all, "empirical lroc", "data-reader", "2").at(0)));
    EXPECT_EQ(1u, plotcheck::with_class(all, "obs roc", "data-reader", "2").size());
    EXPECT_EQ(1u, plotcheck::with_class(all, "obs lroc", "data-reader", "2").size());
    EXPECT_TRUE(plotcheck::with_class(all, "average roc").empty());
    EXPECT_TRUE(plotcheck::with_class(all, "fit roc", "data-reader", "1").empty());
    EXPECT_EQ((std::vector<std::string>{
                  "Marks: empirical operating points.  Thin lines: each reader's empirical curve.",
                  "3 points left out: not a number or outside [0, 1]."}),
              notes(all));

    op.readers[0].fitted_roc = op.readers[1].fitted_roc = {{0, 0}, {0.5, 0.8}, {1, 1}};
    op.readers[0].fitted_lroc = {{0, 0}, {1, 0.7}};
    all = read_back(plot::render_operating_points_svg(op), "operating_points_one_fit_missing.svg");
    EXPECT_EQ(1u, plotcheck::with_class(all, "average roc").size());
    EXPECT_TRUE(plotcheck::with_class(all, "average lroc").empty());
    EXPECT_TRUE(plotcheck::with_class(all, "empirical roc", "data-reader", "1").empty());
    const auto n = notes(all);
    EXPECT_NE(n.end(), std::find(n.begin(), n.end(), "No vertical average where 1 reader has no fitted curve."));
}

// Thirty readers: a distinct colour and mark each, the legend in four
// columns of eight rows inside the picture, long names shortened.
TEST(OperatingPointsPicture, ThirtyReadersLegendInColumns) {
    plot::OperatingPointsPlot op;
    op.title = "Modality: 3D \xe2\x80\x94 thirty readers";
    for (int j = 0; j < 30; ++j) {
        const double power = 0.2 + 0.015 * j;
        op.readers.push_back({"Reader " + std::to_string(j + 1), false, points_near(power, 1, 0),
                              points_near(power, 0.8, 0), {}, {}});
    }
    op.readers[4].name = "Reader five, whose name is far too long";
    const auto all = read_back(plot::render_operating_points_svg(op), "operating_points_30_readers.svg");
    // A mark is told by its element, colour and, for paths (triangle,
    // diamond), its number of corners.
    std::set<std::tuple<std::string, std::string, size_t>> styles;
    for (int j = 1; j <= 30; ++j) {
        const auto marks = plotcheck::with_class(all, "obs roc", "data-reader", std::to_string(j));
        ASSERT_EQ(4u, marks.size());
        const Element& m = marks[0];
        const std::string d = m.attr.count("d") ? m.attr.at("d") : "";
        styles.insert({m.name, m.attr.at("stroke"), static_cast<size_t>(std::count(d.begin(), d.end(), 'L'))});
    }
    EXPECT_EQ(30u, styles.size());
    const auto legend = plotcheck::with_class(all, "legend");
    ASSERT_EQ(30u, legend.size());
    std::set<double> columns, rows;
    const double width = plotcheck::number(all.at(0), "width"), height = plotcheck::number(all.at(0), "height");
    for (const Element& e : legend) {
        columns.insert(plotcheck::number(e, "x"));
        rows.insert(plotcheck::number(e, "y"));
        EXPECT_LT(plotcheck::number(e, "y"), height);
        EXPECT_LE(plotcheck::number(e, "x") + 7.5 * 22, width);
    }
    EXPECT_EQ(4u, columns.size());
    EXPECT_EQ(8u, rows.size());
    EXPECT_EQ("Reader five, whose na\xe2\x80\xa6", text(legend[4]));
    for (const Element& e : plotcheck::with_class(all, "note")) EXPECT_LT(plotcheck::number(e, "y"), height);
}

}  // namespace
