// varnel-plot: reads an output file of varnel (data echo, fit, area table and
// curve table) and draws the fitted ROC and LROC curves with the observed
// operating points as one SVG picture.
#pragma once

#include <string>
#include <vector>

namespace varnel::plot {

// The curve table always has this many rows: FP 1, 32 inner thresholds, FP 0.
inline constexpr int curve_rows = 34;

// One target distribution as the report shows it.
struct Target {
    // Counts per category, lowest rating first.  Where the echo shows a single
    // total (no localization data) the total is in `hit` and `nonhit` is 0.
    std::vector<long> nonhit, hit;
    std::vector<bool> split;        // the row shows non-hit and hit separately
    bool counts_known = true;       // false when a count overflowed its field
    std::string qset;               // chance value as printed
    std::string area_roc, area_lroc;  // as printed in the area table
    // Curve table columns, one value per row; NaN where the field held no
    // number (asterisks or a not-a-number text).
    std::vector<double> tp, ctp, ctpadj;
};

struct Report {
    std::string observer, condition;
    int ncat = 0, noloc = 0;
    std::vector<long> nontarget;    // non-target counts per category
    bool nontarget_known = true;
    std::vector<Target> targets;
    bool fit_failed = false;
    bool adjusted = false;          // the curve table has chance-adjusted LROC columns
    std::vector<double> fp;         // false-positive fraction per curve row
};

enum class Parse { ok, no_curve_table, malformed };

// Reads the report text.  On a fault, `error` holds the reason (without the
// program and file name) for the malformed case.
Parse parse_report(const std::string& text, Report& rep, std::string& error);

// One point of a picture in unit coordinates: x the false-positive fraction,
// y the (correct-localization) true-positive fraction.
struct Point {
    double x, y;
};

// Observed ROC operating points of target t (0-based): for each threshold
// above the lowest category, the fractions of non-target and target images
// rated at or above it.
std::vector<Point> observed_roc(const Report& rep, int t);

// Observed LROC operating points of target t: as the ROC points, with the
// target images counted only when correctly localized.  A threshold qualifies
// only when every category at or above it shows the hit/non-hit split.
std::vector<Point> observed_lroc(const Report& rep, int t);

// Picture geometry, shared with the tests that read the picture back.
inline constexpr double panel_size = 360;   // side of a square plot area
inline constexpr double panel_left = 70;    // left edge of the ROC plot area
inline constexpr double panel_gap = 100;    // from the ROC plot area to the LROC one
inline constexpr double panel_top = 70;     // top edge of both plot areas

// Canvas x of unit coordinate x in panel p (0 ROC, 1 LROC), and canvas y.
inline double canvas_x(int p, double x) { return panel_left + p * (panel_size + panel_gap) + panel_size * x; }
inline double canvas_y(double y) { return panel_top + panel_size * (1 - y); }

// Text with the five XML special characters escaped; control characters and
// bytes that are not valid UTF-8 become '?', so the picture stays well formed.
std::string xml_escape(const std::string& s);

// The whole SVG document.
std::string render_svg(const Report& rep);

}  // namespace varnel::plot
