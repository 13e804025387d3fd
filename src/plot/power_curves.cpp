// The picture of power against the number of cases: a frame with a linear
// cases axis and a power axis from 0 to 1, one line per reader count, the
// legend to the right, notes below.
#include "plot/power_curves.h"

#include <algorithm>
#include <cmath>

#include "plot/draw.h"

namespace varnel::plot {

namespace {

using draw::put;

// Layout.
constexpr double plot_left = 80;      // room for the power ticks and axis label
constexpr double plot_top = 60;
constexpr double plot_width = 420;
constexpr double plot_height = 300;
constexpr double legend_gap = 24;     // plot area to legend
constexpr double legend_pitch = 20;
constexpr double min_legend_width = 140;
constexpr double margin_right = 20;
constexpr double notes_gap = 70;      // plot bottom to the first note: ticks and axis label
constexpr double note_pitch = 18;
constexpr double mark_radius = 4;
constexpr int max_label_chars = 24;
constexpr int power_ticks = 5;        // at every 0.2

// The cases axis: lo to hi in whole steps of 1, 2 or 5 times a power of ten,
// at least 1 (cases are whole numbers).
struct Axis {
    double lo = 0, hi = 1, step = 1;
    double x(double v) const { return plot_left + plot_width * (v - lo) / (hi - lo); }
};

Axis cases_axis(double lo, double hi)
{
    if (!std::isfinite(lo) || !std::isfinite(hi) || !(hi > lo)) {
        const double c = std::isfinite(lo) ? lo : 0;
        lo = std::max(0.0, c - 1), hi = c + 1;
    }
    const double raw = (hi - lo) / 5;
    const double mag = std::pow(10.0, std::floor(std::log10(raw)));
    const double f = raw / mag;
    Axis a;
    a.step = std::max(1.0, (f <= 1 ? 1 : f <= 2 ? 2 : f <= 5 ? 5 : 10) * mag);
    a.lo = std::floor(lo / a.step + 1e-9) * a.step;
    a.hi = std::ceil(hi / a.step - 1e-9) * a.step;
    if (a.hi <= a.lo) a.hi = a.lo + a.step;
    return a;
}

double power_y(double power) { return plot_top + plot_height * (1 - power); }

bool inside(const Axis& ax, const Point& p)
{
    return std::isfinite(p.x) && std::isfinite(p.y) && p.x >= ax.lo && p.x <= ax.hi;
}

void frame_and_axes(std::string& doc, const Axis& ax, const std::string& cases_label)
{
    const double bottom = plot_top + plot_height, right = plot_left + plot_width;
    put(doc, "<rect class=\"frame\" x=\"%.2f\" y=\"%.2f\" width=\"%.2f\" height=\"%.2f\" fill=\"none\" "
             "stroke=\"black\"/>\n",
        plot_left, plot_top, plot_width, plot_height);
    const int ticks = static_cast<int>(std::lround((ax.hi - ax.lo) / ax.step));
    for (int i = 0; i <= ticks; ++i) {
        const double v = ax.lo + i * ax.step;
        put(doc, "<path class=\"tick\" d=\"M%.2f %.2fv6\" stroke=\"black\"/>\n", ax.x(v), bottom);
        put(doc, "<text class=\"tick-label cases\" x=\"%.2f\" y=\"%.2f\" text-anchor=\"middle\">%.0f</text>\n",
            ax.x(v), bottom + 22, v);
    }
    for (int i = 0; i <= power_ticks; ++i) {
        const double v = double(i) / power_ticks, y = power_y(v);
        put(doc, "<path class=\"tick\" d=\"M%.2f %.2fh-6\" stroke=\"black\"/>\n", plot_left, y);
        put(doc, "<text class=\"tick-label power\" x=\"%.2f\" y=\"%.2f\" text-anchor=\"end\">%.1f</text>\n",
            plot_left - 10, y + 4, v);
        if (i > 0 && i < power_ticks)
            put(doc, "<line class=\"grid\" x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\" stroke=\"#e0e0e0\"/>\n",
                plot_left, y, right, y);
    }
    put(doc, "<text x=\"%.2f\" y=\"%.2f\" text-anchor=\"middle\">", plot_left + plot_width / 2, bottom + 44);
    doc += xml_escape(cases_label) + "</text>\n";
    const double mid = plot_top + plot_height / 2;
    put(doc, "<text x=\"%.2f\" y=\"%.2f\" text-anchor=\"middle\" transform=\"rotate(-90 %.2f %.2f)\">Power</text>\n",
        plot_left - 46, mid, plot_left - 46, mid);
}

void curve(std::string& doc, const Axis& ax, const PowerCurve& c, int i)
{
    const char* stroke = draw::colour(i);
    put(doc, "<polyline class=\"power-curve\" data-curve=\"%d\" fill=\"none\" stroke=\"%s\" stroke-width=\"2\" "
             "points=\"",
        i + 1, stroke);
    const char* sep = "";
    for (const Point& p : c.points) {
        if (!inside(ax, p)) continue;
        put(doc, "%s%.2f,%.2f", sep, ax.x(p.x), power_y(std::clamp(p.y, 0.0, 1.0)));
        sep = " ";
    }
    doc += "\"/>\n";
    for (const Point& p : c.marks)
        if (inside(ax, p))
            draw::mark(doc, draw::Shape(i % draw::shape_count), ax.x(p.x), power_y(std::clamp(p.y, 0.0, 1.0)),
                       mark_radius, true, {"power-mark", "curve", i + 1, stroke});
}

}  // namespace

std::pair<double, double> power_cases_axis(double cases_min, double cases_max)
{
    const Axis a = cases_axis(cases_min, cases_max);
    return {a.lo, a.hi};
}

std::string render_power_curves_svg(const PowerCurvesPlot& plot)
{
    const Axis ax = cases_axis(plot.cases_min, plot.cases_max);
    int longest = 0;
    for (const PowerCurve& c : plot.curves)
        longest = std::max(longest, draw::char_count(draw::shorten(c.label, max_label_chars)));
    const double legend_left = plot_left + plot_width + legend_gap;
    const double legend_width = std::max(min_legend_width, 40 + draw::char_width * longest);
    int longest_note = 0;
    for (const std::string& n : plot.notes) longest_note = std::max(longest_note, draw::char_count(n));
    const double width = std::max(legend_left + legend_width + margin_right, 40 + 6.5 * longest_note);

    std::string body;
    frame_and_axes(body, ax, plot.cases_label);
    if (plot.target && std::isfinite(*plot.target) && *plot.target >= 0 && *plot.target <= 1)
        put(body, "<line class=\"target\" x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\" stroke=\"black\" "
                  "stroke-dasharray=\"6 4\"/>\n",
            plot_left, power_y(*plot.target), plot_left + plot_width, power_y(*plot.target));
    for (std::size_t i = 0; i < plot.curves.size(); ++i) curve(body, ax, plot.curves[i], int(i));

    // Legend: one key per curve, then the target line.
    double y = plot_top + 10;
    for (std::size_t i = 0; i < plot.curves.size(); ++i, y += legend_pitch) {
        draw::legend_key(body, legend_left, y, {nullptr, nullptr, 0, draw::colour(int(i)), "2"}, true,
                         draw::Shape(i % draw::shape_count), true);
        put(body, "<text class=\"legend\" data-curve=\"%d\" x=\"%.2f\" y=\"%.2f\">", int(i) + 1, legend_left + 40, y);
        body += xml_escape(draw::shorten(plot.curves[i].label, max_label_chars)) + "</text>\n";
    }
    if (plot.target) {
        put(body, "<line x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\" stroke=\"black\" stroke-dasharray=\"6 4\"/>\n",
            legend_left, y - 4, legend_left + 30, y - 4);
        put(body, "<text class=\"legend target\" x=\"%.2f\" y=\"%.2f\">Target %g</text>\n", legend_left + 40, y,
            *plot.target);
    }

    double ny = plot_top + plot_height + notes_gap;
    for (const std::string& n : plot.notes) {
        put(body, "<text class=\"note\" x=\"20.00\" y=\"%.2f\" font-size=\"12\">", ny);
        body += xml_escape(n) + "</text>\n";
        ny += note_pitch;
    }

    std::string doc;
    draw::begin(doc, width, ny + 4);
    draw::title(doc, width, xml_escape(draw::shorten(plot.title, static_cast<int>((width - 40) / 9))));
    doc += body;
    draw::end(doc);
    return doc;
}

}  // namespace varnel::plot
