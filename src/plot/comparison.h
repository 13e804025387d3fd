// Pictures of a comparison of readers and modalities, as SVG: a forest plot of
// the figures of merit (FOMs) and their differences with confidence
// intervals, and per modality the readers' ROC and LROC operating points with
// their fitted curves.  The caller fills the value types below from its
// analysis; nothing here computes a statistic.
#pragma once

#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "plot/plot.h"

namespace varnel::plot {

inline constexpr double not_a_number = std::numeric_limits<double>::quiet_NaN();

// An estimate with its confidence interval.  A NaN value is not drawn; an
// interval with a NaN or infinite bound, or lower > upper, is drawn as the
// estimate's mark without whiskers.  Both are counted in the picture's notes.
struct Interval {
    double value = not_a_number;
    double lower = not_a_number;
    double upper = not_a_number;
};

// True when the estimate is a finite number.
bool has_value(const Interval& e);
// True when both bounds are finite and lower <= upper.
bool has_interval(const Interval& e);

// One row of the forest plot: a reader's estimates, one per modality (in the
// order of ForestPlot::modalities; entries beyond the vector's end count as
// missing).
struct ReaderEstimates {
    std::string name;
    std::vector<Interval> per_modality;
};

// Difference of the reader-averaged FOMs of modalities `first` and `second`
// (indices into ForestPlot::modalities): first - second.
struct ModalityDifference {
    int first = 0;
    int second = 1;
    Interval difference;
};

// The forest plot.  Upper panel, the FOMs: the reference reader in a section
// of its own (filled marks), one row per reader (open marks), and the
// reader-averaged FOMs (large filled marks, thick whiskers).  Lower panel, the
// differences, with a line at 0: reader - reference per reader and modality
// with their mean over readers, and the modality differences first - second.
// With a margin d, a dashed line at +d beside the reader - reference rows
// (H0: mean difference >= d) and at -d beside the modality differences
// (H0: first - second <= -d).  Sections without rows are left out; so is the
// lower panel when it has none.  Modality m is drawn in colour m and mark
// shape m (circle, square, triangle, diamond, then repeated).
struct ForestPlot {
    std::string title;                    // first line, e.g. the study, FOM and target class
    std::string fom_label = "Figure of merit";  // axis label of the upper panel
    std::vector<std::string> modalities;  // names; the legend has one entry per modality
    double confidence = 0.95;             // level of every interval, for the note
    std::optional<ReaderEstimates> reference;
    std::vector<ReaderEstimates> readers;
    std::vector<Interval> reader_means;   // per modality; empty: not drawn
    std::vector<ReaderEstimates> reference_differences;  // name: the reader
    std::vector<Interval> mean_reference_differences;    // per modality; empty: not drawn
    std::vector<ModalityDifference> modality_differences;
    std::optional<double> margin;         // non-inferiority margin d > 0
};

std::string render_forest_svg(const ForestPlot& plot);

// One reader's curves in one modality, in unit coordinates (x the
// false-positive fraction, y the true-positive or correct-localization
// true-positive fraction).
struct ReaderCurves {
    std::string name;
    bool reference = false;  // drawn in black with filled marks and a dashed fit; not averaged
    std::vector<Point> roc, lroc;                 // empirical operating points
    std::vector<Point> fitted_roc, fitted_lroc;   // fitted curves; empty for an empirical FOM
};

// The operating-points picture of one modality, laid out as the fit picture:
// ROC panel left, LROC panel right, legend below.  Every reader has its own
// colour and mark (eight colours, then the next of four shapes); the legend
// is laid out in four columns and shortens names beyond 22 characters.  When
// fitted curves are given, each is drawn thin, and their vertical average over
// the readers other than the reference (see vertical_average) thick; without
// them each reader's empirical curve thin: from (0, 0) through the operating
// points in order of x, for ROC on to (1, 1).  Points with a coordinate that is not a number or lies outside
// [0, 1] are left out and counted in a note.
struct OperatingPointsPlot {
    std::string title;  // e.g. "Modality: CT — target class 1 — FOM: model AUC"
    std::vector<ReaderCurves> readers;
};

std::string render_operating_points_svg(const OperatingPointsPlot& plot);

// Vertical average of curves: at each x where some curve has a point and
// every curve is defined (between its smallest and largest x), the mean of
// the curves' y, each curve linearly interpolated in x.  Points without
// finite coordinates are ignored; empty when there is no curve or no common x.
std::vector<Point> vertical_average(const std::vector<std::vector<Point>>& curves);

}  // namespace varnel::plot
