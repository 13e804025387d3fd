// The picture of power against cases, read back: one line per reader count on
// the axes its tick labels give, the marks on their lines, the target power
// dashed at its height; and the picture of a planning (power::format_power_svg).
//
// With VARNEL_PLOT_SAMPLES set to a folder, the pictures drawn here are also
// written there for a person to look at.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "plot/power_curves.h"
#include "support/svg_check.h"
#include "varnel/power.h"

namespace plot = varnel::plot;
namespace power = varnel::power;

namespace {

using plotcheck::Element;
constexpr double svg_precision = 0.0051;  // coordinates carry two decimals

std::vector<Element> read_back(const std::string& svg, const char* sample)
{
    std::string why;
    EXPECT_TRUE(plotcheck::well_formed(svg, why)) << why;
    if (const char* dir = std::getenv("VARNEL_PLOT_SAMPLES"))
        plotcheck::write_file(std::string(dir) + "/" + sample, svg);
    return plotcheck::elements(svg);
}

// The canvas position of (cases, power), from the frame and the first and
// last tick labels of the cases axis.
struct Axes {
    double left, top, width, height, lo, hi;
    double x(double cases) const { return left + width * (cases - lo) / (hi - lo); }
    double y(double p) const { return top + height * (1 - p); }
};

Axes axes_of(const std::vector<Element>& all)
{
    const Element frame = plotcheck::with_class(all, "frame").at(0);
    const auto ticks = plotcheck::with_class(all, "tick-label cases");
    EXPECT_GE(ticks.size(), 2u);
    const Axes a{plotcheck::number(frame, "x"),     plotcheck::number(frame, "y"),
                 plotcheck::number(frame, "width"), plotcheck::number(frame, "height"),
                 std::stod(ticks.front().text),      std::stod(ticks.back().text)};
    // The ticks span the frame.
    EXPECT_NEAR(plotcheck::number(ticks.front(), "x"), a.left, svg_precision);
    EXPECT_NEAR(plotcheck::number(ticks.back(), "x"), a.left + a.width, svg_precision);
    return a;
}

plot::PowerCurvesPlot two_curves()
{
    plot::PowerCurvesPlot p;
    p.title = "Power <pilot> & more";
    p.cases_min = 20;
    p.cases_max = 190;
    p.target = 0.8;
    p.curves = {{"5 readers", {{20, 0.2}, {100, 0.5}, {190, 0.7}}, {{100, 0.5}}},
                {"10 readers \"a\"",
                 {{20, 0.3}, {100, 0.85}, {190, 0.95}},
                 {{100, 0.85}, {190, 0.95}}}};
    p.notes = {"first note", "second note"};
    return p;
}

TEST(PowerCurves, LinesAndMarksOnTheAxes)
{
    const plot::PowerCurvesPlot p = two_curves();
    const auto all = read_back(plot::render_power_curves_svg(p), "power_two_curves.svg");
    const Axes ax = axes_of(all);
    EXPECT_LE(ax.lo, 20);  // whole steps around the range
    EXPECT_GE(ax.hi, 190);
    EXPECT_EQ(ax.lo, plot::power_cases_axis(20, 190).first);
    EXPECT_EQ(ax.hi, plot::power_cases_axis(20, 190).second);

    const auto lines = plotcheck::with_class(all, "power-curve");
    ASSERT_EQ(lines.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(lines[i].attr.at("data-curve"), std::to_string(i + 1));
        const auto pts = plotcheck::polyline_points(lines[i]);
        ASSERT_EQ(pts.size(), p.curves[i].points.size());
        for (std::size_t k = 0; k < pts.size(); ++k) {
            EXPECT_NEAR(pts[k].first, ax.x(p.curves[i].points[k].x), svg_precision);
            EXPECT_NEAR(pts[k].second, ax.y(p.curves[i].points[k].y), svg_precision);
        }
    }
    // Curve 1 marked by circles, curve 2 by squares, each on its point.
    const auto circles = plotcheck::with_class(all, "power-mark", "data-curve", "1");
    ASSERT_EQ(circles.size(), 1u);
    EXPECT_EQ(circles[0].name, "circle");
    EXPECT_NEAR(plotcheck::number(circles[0], "cx"), ax.x(100), svg_precision);
    EXPECT_NEAR(plotcheck::number(circles[0], "cy"), ax.y(0.5), svg_precision);
    const auto squares = plotcheck::with_class(all, "power-mark", "data-curve", "2");
    ASSERT_EQ(squares.size(), 2u);
    EXPECT_EQ(squares[1].name, "rect");
    EXPECT_NEAR(plotcheck::number(squares[1], "x") + plotcheck::number(squares[1], "width") / 2,
                ax.x(190), svg_precision);

    // The target dashed across the frame at its power.
    const auto target = plotcheck::with_class(all, "target");
    ASSERT_EQ(target.size(), 1u);
    EXPECT_NEAR(plotcheck::number(target[0], "y1"), ax.y(0.8), svg_precision);
    EXPECT_NEAR(plotcheck::number(target[0], "x1"), ax.left, svg_precision);
    EXPECT_NEAR(plotcheck::number(target[0], "x2"), ax.left + ax.width, svg_precision);
    EXPECT_EQ(target[0].attr.at("stroke-dasharray"), "6 4");

    // Legend, title and notes, escaped.
    const auto legend = plotcheck::with_class(all, "legend");
    ASSERT_EQ(legend.size(), 2u);
    EXPECT_EQ(legend[1].text.substr(0, legend[1].text.find('\n')), "10 readers \"a\"");
    EXPECT_EQ(plotcheck::with_class(all, "legend target").size(), 1u);
    const Element title = plotcheck::with_class(all, "title").at(0);
    EXPECT_EQ(title.text.substr(0, title.text.find('\n')), "Power <pilot> & more");
    EXPECT_EQ(plotcheck::with_class(all, "note").size(), 2u);
}

// Points that are not numbers or lie beyond the axis are left out; without a
// target there is no dashed line; a single number of cases still has an axis.
TEST(PowerCurves, PointsLeftOutAndNoTarget)
{
    plot::PowerCurvesPlot p;
    p.cases_min = 50;
    p.cases_max = 50;
    p.curves = {{"3 readers", {{50, 0.4}, {50.5, NAN}, {1e6, 0.9}, {NAN, 0.5}}, {{1e6, 0.9}}}};
    const auto all = read_back(plot::render_power_curves_svg(p), "power_left_out.svg");
    const Axes ax = axes_of(all);
    EXPECT_LT(ax.lo, 50);
    EXPECT_GT(ax.hi, 50);
    const auto lines = plotcheck::with_class(all, "power-curve");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(plotcheck::polyline_points(lines[0]).size(), 1u);
    EXPECT_TRUE(plotcheck::with_class(all, "power-mark").empty());
    EXPECT_TRUE(plotcheck::with_class(all, "target").empty());
}

// The picture of a search: one line per reader count, from 2 cases to the
// end of the axis beyond the largest number found, the smallest numbers
// marked at the target or above, a note for the count that never reaches it.
TEST(PowerCurves, PictureOfASearch)
{
    power::PowerOptions o;
    o.readers = {2, 5, 10};
    o.effect = 0.0438;
    o.target_power = 0.8;
    const power::ModalityComponents c{8.022883e-04, 3.466137e-04, 3.440748e-04, 2.390284e-04,
                                      2.004025e-04, {}, 114};
    auto r = power::power(c, o);
    ASSERT_TRUE(r) << r.error().message;
    const auto all = read_back(power::format_power_svg(*r), "power_search.svg");
    const Axes ax = axes_of(all);
    const auto lines = plotcheck::with_class(all, "power-curve");
    ASSERT_EQ(lines.size(), 3u);
    for (const Element& line : lines) {
        const auto pts = plotcheck::polyline_points(line);
        ASSERT_GT(pts.size(), 100u);
        EXPECT_NEAR(pts.front().first, ax.x(2), svg_precision);
        EXPECT_NEAR(pts.back().first, ax.left + ax.width, svg_precision);
        for (std::size_t k = 1; k < pts.size(); ++k) EXPECT_GT(pts[k].first, pts[k - 1].first);
    }
    // 344 cases for 5 readers and 163 for 10 (random readers and cases);
    // 2 readers never reach 80%.
    EXPECT_TRUE(plotcheck::with_class(all, "power-mark", "data-curve", "1").empty());
    const Element five = plotcheck::with_class(all, "power-mark", "data-curve", "2").at(0);
    const double five_x = plotcheck::number(five, "x") + plotcheck::number(five, "width") / 2;
    EXPECT_NEAR(five_x, ax.x(344), svg_precision);
    const Element ten = plotcheck::with_class(all, "power-mark", "data-curve", "3").at(0);
    EXPECT_EQ(ten.name, "path");  // a triangle
    const Element target = plotcheck::with_class(all, "target").at(0);
    const double target_y = plotcheck::number(target, "y1");
    const double five_y = plotcheck::number(five, "y") + plotcheck::number(five, "height") / 2;
    EXPECT_LE(five_y, target_y + svg_precision);  // at 0.8 or above
    EXPECT_GT(five_y, ax.y(0.81));
    EXPECT_GE(ax.hi, 1.5 * 344);

    bool unreached = false;
    for (const Element& n : plotcheck::with_class(all, "note"))
        unreached =
            unreached || n.text.rfind("2 readers: target not reached within 100000", 0) == 0;
    EXPECT_TRUE(unreached);
}

}  // namespace
