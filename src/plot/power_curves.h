// The picture of a study's power against its number of cases, as SVG: one
// line per reader count, marks at chosen numbers of cases, the target power
// as a dashed line.  The caller computes the powers; nothing here does.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "plot/plot.h"

namespace varnel::plot {

// One reader count: its power at numbers of cases (x the cases, y the power
// in [0, 1]), drawn as a line through the points in the order given, and the
// points to mark on it (the planned studies, or the smallest number of cases
// that reaches the target).  Points without finite coordinates are left out.
struct PowerCurve {
    std::string label;  // e.g. "10 readers"
    std::vector<Point> points;
    std::vector<Point> marks;
};

// The cases axis runs from cases_min to cases_max (widened to whole steps);
// curve m is drawn in colour m and mark shape m.  Notes are written below the
// legend, one line each.
struct PowerCurvesPlot {
    std::string title;
    std::string cases_label = "Cases";  // label of the horizontal axis
    double cases_min = 0.0;
    double cases_max = 1.0;
    std::vector<PowerCurve> curves;
    std::optional<double> target;  // target power, dashed across the plot
    std::vector<std::string> notes;
};

std::string render_power_curves_svg(const PowerCurvesPlot& plot);

// The cases axis the picture draws for cases_min and cases_max: widened to
// whole steps of 1, 2 or 5 times a power of ten (at least 1), {low, high}.
std::pair<double, double> power_cases_axis(double cases_min, double cases_max);

}  // namespace varnel::plot
