// The readers' operating points of one modality: ROC and LROC panels as in
// the fit picture, one colour and mark per reader, fitted curves and their
// vertical average when given, and a legend in columns.
#include <algorithm>
#include <cmath>

#include "plot/comparison.h"
#include "plot/draw.h"

namespace varnel::plot {

namespace {

// A curve's finite points in order of x, and of y where x ties.
std::vector<Point> sorted_points(const std::vector<Point>& c) {
    std::vector<Point> s;
    for (const Point& q : c)
        if (std::isfinite(q.x) && std::isfinite(q.y)) s.push_back(q);
    std::sort(s.begin(), s.end(), [](const Point& a, const Point& b) { return a.x < b.x || (a.x == b.x && a.y < b.y); });
    return s;
}

// y of a sorted curve at x within its range: linear between the last point
// with x_i <= x and the next; where several points share x, the highest y.
double y_at(const std::vector<Point>& s, double x) {
    const auto next = std::upper_bound(s.begin(), s.end(), x, [](double v, const Point& q) { return v < q.x; });
    const Point& a = *(next - 1);
    if (a.x == x || next == s.end()) return a.y;
    return a.y + (next->y - a.y) * (x - a.x) / (next->x - a.x);
}

}  // namespace

std::vector<Point> vertical_average(const std::vector<std::vector<Point>>& curves) {
    std::vector<std::vector<Point>> sorted;
    std::vector<double> xs;
    double lo = -INFINITY, hi = INFINITY;
    for (const std::vector<Point>& c : curves) {
        sorted.push_back(sorted_points(c));
        const std::vector<Point>& s = sorted.back();
        if (s.empty()) return {};
        lo = std::max(lo, s.front().x);
        hi = std::min(hi, s.back().x);
        for (const Point& q : s) xs.push_back(q.x);
    }
    std::sort(xs.begin(), xs.end());
    xs.erase(std::unique(xs.begin(), xs.end()), xs.end());
    std::vector<Point> out;
    for (const double x : xs) {
        if (x < lo || x > hi) continue;
        double sum = 0;
        for (const std::vector<Point>& s : sorted) sum += y_at(s, x);
        out.push_back({x, sum / static_cast<double>(sorted.size())});
    }
    return out;
}

namespace {

using draw::put;

constexpr int legend_columns = 4;
constexpr int max_name_chars = 22;     // fits a legend column
constexpr double legend_pitch = 20;
constexpr double legend_spacing = 75;  // panel bottom to the first legend line, as in the fit picture
constexpr const char* thin = "1.2";
constexpr const char* thick = "3";
constexpr double point_tolerance = 1e-9;  // fractions this far outside [0, 1] still count as inside

// Colour and mark of reader k among the readers other than the reference:
// eight colours, then the next shape.
struct Look {
    const char* colour;
    draw::Shape shape;
    bool filled;
};

Look look_of(const ReaderCurves& r, int k) {
    if (r.reference) return {"black", draw::Shape::circle, true};
    return {draw::colour(k), draw::Shape((k / draw::colour_count) % draw::shape_count), false};
}

bool inside(const Point& q) {
    return std::isfinite(q.x) && std::isfinite(q.y) && q.x >= -point_tolerance && q.x <= 1 + point_tolerance &&
           q.y >= -point_tolerance && q.y <= 1 + point_tolerance;
}

}  // namespace

std::string render_operating_points_svg(const OperatingPointsPlot& op) {
    const int n = static_cast<int>(op.readers.size());
    const char* panel_name[] = {"roc", "lroc"};
    auto points = [](const ReaderCurves& r, int p) -> const std::vector<Point>& { return p == 0 ? r.roc : r.lroc; };
    auto fitted = [](const ReaderCurves& r, int p) -> const std::vector<Point>& {
        return p == 0 ? r.fitted_roc : r.fitted_lroc;
    };
    std::vector<Look> looks;
    for (int i = 0, k = 0; i < n; ++i) {
        looks.push_back(look_of(op.readers[i], k));
        if (!op.readers[i].reference) ++k;
    }
    // Drawing order: the readers, then the reference on top of them.
    std::vector<int> order;
    for (int pass = 0; pass < 2; ++pass)
        for (int i = 0; i < n; ++i)
            if (op.readers[i].reference == (pass == 1)) order.push_back(i);

    bool any_fit = false;
    for (const ReaderCurves& r : op.readers) any_fit = any_fit || !r.fitted_roc.empty() || !r.fitted_lroc.empty();

    const double width = canvas_x(1, 1) + 40;
    std::string body;
    draw::unit_panel(body, 0, "ROC", "True-positive fraction");
    draw::unit_panel(body, 1, "LROC", "Correct-localization true-positive fraction");
    draw::chance_diagonal(body);
    int left_out = 0, without_fit = 0;
    bool averaged = false;
    for (int p = 0; p < 2; ++p) {
        const std::string obs = std::string("obs ") + panel_name[p], fit = std::string("fit ") + panel_name[p];
        const std::string empirical = std::string("empirical ") + panel_name[p];
        const std::string avg = std::string("average ") + panel_name[p];
        // Curves under the marks: each reader's fit (or empirical curve), the
        // average over the readers other than the reference, the reference on top.
        std::vector<std::vector<Point>> to_average;
        int missing = 0;
        for (const int i : order) {
            const ReaderCurves& r = op.readers[i];
            const draw::Style line{any_fit ? fit.c_str() : empirical.c_str(), "reader", i + 1, looks[i].colour,
                                   r.reference ? "1.5" : thin, r.reference ? "6 4" : nullptr};
            if (any_fit) {
                if (!fitted(r, p).empty()) draw::polyline(body, p, line, fitted(r, p));
                if (!r.reference) {
                    if (fitted(r, p).empty()) ++missing;
                    else to_average.push_back(fitted(r, p));
                }
            } else {
                // The empirical curve: from (0, 0) through the points, for ROC on to (1, 1).
                std::vector<Point> kept = {{0, 0}};
                for (const Point& q : sorted_points(points(r, p)))
                    if (inside(q)) kept.push_back(q);
                if (p == 0) kept.push_back({1, 1});
                draw::polyline(body, p, line, kept);
            }
        }
        if (any_fit && missing == 0 && to_average.size() >= 2) {
            draw::polyline(body, p, {avg.c_str(), nullptr, 0, "black", thick}, vertical_average(to_average));
            averaged = true;
        }
        without_fit = std::max(without_fit, missing);
        for (const int i : order)
            for (const Point& q : points(op.readers[i], p)) {
                if (!inside(q)) {
                    ++left_out;
                    continue;
                }
                draw::mark(body, looks[i].shape, canvas_x(p, q.x), canvas_y(q.y), 3.5, looks[i].filled,
                           {obs.c_str(), "reader", i + 1, looks[i].colour});
            }
    }

    // Legend: readers in columns, top to bottom then left to right.
    const double legend_top = canvas_y(0) + legend_spacing, x0 = canvas_x(0, 0);
    const double column_width = (width - x0 - 20) / legend_columns;
    const int rows = (n + legend_columns - 1) / legend_columns;
    for (int i = 0; i < n; ++i) {
        const double x = x0 + column_width * (i / rows), y = legend_top + legend_pitch * (i % rows);
        const ReaderCurves& r = op.readers[i];
        draw::legend_key(body, x, y, {nullptr, nullptr, 0, looks[i].colour, r.reference ? "1.5" : thin,
                                      r.reference ? "6 4" : nullptr}, true, looks[i].shape, looks[i].filled);
        put(body, "<text class=\"legend\" data-reader=\"%d\" x=\"%.2f\" y=\"%.2f\">", i + 1, x + 40, y);
        const std::string suffix = r.reference ? " (reference)" : "";
        body += xml_escape(draw::shorten(r.name, max_name_chars - draw::char_count(suffix))) + suffix + "</text>\n";
    }
    std::vector<std::string> notes;
    if (any_fit) {
        notes.push_back("Marks: empirical operating points.  Thin lines: each reader's fitted curve.");
        if (averaged)
            notes.push_back(std::string("Thick black line: vertical average of the readers' fitted curves") +
                            (!order.empty() && op.readers[order.back()].reference ? " (reference reader left out)."
                                                                                     : "."));
        if (without_fit > 0)
            notes.push_back("No vertical average where " + std::to_string(without_fit) +
                            (without_fit == 1 ? " reader has" : " readers have") + " no fitted curve.");
    } else {
        notes.push_back("Marks: empirical operating points.  Thin lines: each reader's empirical curve.");
    }
    if (left_out > 0)
        notes.push_back(std::to_string(left_out) + (left_out == 1 ? " point" : " points") +
                        " left out: not a number or outside [0, 1].");
    double y = legend_top + legend_pitch * rows;
    if (averaged) {
        put(body, "<line x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\" stroke=\"black\" stroke-width=\"%s\"/>\n", x0, y - 4,
            x0 + 30, y - 4, thick);
        put(body, "<text class=\"legend average\" x=\"%.2f\" y=\"%.2f\">Vertical average</text>\n", x0 + 40, y);
        y += legend_pitch;
    }
    for (const std::string& note : notes) {
        put(body, "<text class=\"note\" x=\"%.2f\" y=\"%.2f\">", x0, y);
        body += xml_escape(note) + "</text>\n";
        y += legend_pitch;
    }

    std::string doc;
    draw::begin(doc, width, y + 10);
    draw::title(doc, width, xml_escape(draw::shorten(op.title, static_cast<int>((width - 40) / 9))));
    doc += body;
    draw::end(doc);
    return doc;
}

}  // namespace varnel::plot
