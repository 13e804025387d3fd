// The forest plot of a comparison: rows of estimates with whiskers for their
// confidence intervals, in an upper panel of FOMs and a lower panel of
// differences, each with its own horizontal axis.
#include <algorithm>
#include <cmath>

#include "plot/comparison.h"
#include "plot/draw.h"

namespace varnel::plot {

bool has_value(const Interval& e) { return std::isfinite(e.value); }

bool has_interval(const Interval& e) {
    return std::isfinite(e.lower) && std::isfinite(e.upper) && e.lower <= e.upper;
}

namespace {

using draw::put;

// Horizontal layout, left to right: row labels, plot area, value column.
constexpr double margin_left = 20;
constexpr double label_indent = 12;         // rows under a section heading
constexpr int max_label_chars = 30;         // longer names are shortened
constexpr double min_label_width = 140;
constexpr double label_gap = 16;            // labels to plot area
constexpr double plot_width = panel_size;   // as wide as a panel of the fit picture
constexpr double value_gap = 14;            // plot area to value column
constexpr double value_width = 175;
constexpr double margin_right = 20;
// Vertical layout.
constexpr double line_pitch = 14;       // between the lines of one row (one per modality)
constexpr double row_padding = 8;
constexpr double heading_height = 22;
constexpr double frame_padding = 6;     // inside the frame, above the first and below the last row
constexpr double panel_spacing = 95;    // frame bottom to next frame top: ticks, axis label, panel title
constexpr double legend_spacing = 75;   // frame bottom to the first legend line
constexpr double note_pitch = 20;
constexpr int value_decimals = 4;       // as the areas in the fit picture's legend

// How an estimate is drawn.
enum class Kind { reader, reference, mean };

struct Entry {
    Interval e;
    int modality = -1;     // -1: not tied to one modality (black)
    Kind kind = Kind::reader;
    const char* cls = "";  // class suffix naming the quantity, e.g. "fom-reader"
};

struct Row {
    std::string label;
    bool bold = false;
    std::vector<Entry> lines;  // one line each, top to bottom
};

struct Section {
    std::string heading;  // none when empty
    std::vector<Row> rows;
    std::optional<double> margin;  // dashed line beside this section
    const char* margin_name = "";
};

struct Panel {
    std::string title, axis_label, value_heading;
    std::vector<Section> sections;
    bool zero_line = false;
};

// A horizontal axis with ticks at multiples of `step`.
struct Axis {
    double lo = 0, hi = 1, step = 0.2;
    int decimals = 1;
    double left = 0;  // canvas x of lo
    double x(double v) const { return left + plot_width * (v - lo) / (hi - lo); }
};

// An axis from lo to hi widened to whole steps of 1, 2, 2.5 or 5 times a
// power of ten, about five ticks, with room between the frame and the
// outermost numbers when `room`; a single value gets some room either side.
Axis nice_axis(double lo, double hi, double left, bool room) {
    Axis a;
    a.left = left;
    if (!(hi - lo > 1e-9 * std::max(1.0, std::fabs(lo)))) {
        const double w = std::max(0.05, 0.1 * std::fabs(lo));
        lo -= w;
        hi += w;
    }
    const double raw = (hi - lo) / 5;
    const double mag = std::pow(10.0, std::floor(std::log10(raw)));
    const double f = raw / mag;
    const double mult = f <= 1 ? 1 : f <= 2 ? 2 : f <= 2.5 ? 2.5 : f <= 5 ? 5 : 10;
    a.step = mult * mag;
    a.lo = std::floor(lo / a.step + 1e-9) * a.step;
    a.hi = std::ceil(hi / a.step - 1e-9) * a.step;
    // A mark or cap on the frame would hide in it: one more step there.
    const double near = 0.01 * (a.hi - a.lo);
    if (room && lo < a.lo + near) a.lo -= a.step;
    if (room && hi > a.hi - near) a.hi += a.step;
    a.decimals = std::max(0, static_cast<int>(-std::floor(std::log10(a.step) + 1e-9))) + (mult == 2.5 ? 1 : 0);
    return a;
}

int lines_of(const Section& s) {
    int n = 0;
    for (const Row& r : s.rows) n += std::max<int>(1, r.lines.size());
    return n;
}

double section_height(const Section& s) {
    return (s.heading.empty() ? 0 : heading_height) + s.rows.size() * row_padding + lines_of(s) * line_pitch;
}

double panel_height(const Panel& p) {
    double h = 2 * frame_padding;
    for (const Section& s : p.sections) h += section_height(s);
    return h;
}

// The range of the panel's finite numbers: estimates, interval bounds, and
// for differences 0 and the margin lines.
Axis axis_of(const Panel& p, double left) {
    double lo = INFINITY, hi = -INFINITY;
    auto take = [&](double v) { lo = std::min(lo, v), hi = std::max(hi, v); };
    for (const Section& s : p.sections) {
        for (const Row& r : s.rows)
            for (const Entry& en : r.lines) {
                if (has_value(en.e)) take(en.e.value);
                if (has_interval(en.e)) take(en.e.lower), take(en.e.upper);
            }
        if (s.margin) take(*s.margin);
    }
    if (p.zero_line) take(0);
    if (lo <= hi) return nice_axis(lo, hi, left, true);
    return p.zero_line ? nice_axis(-0.1, 0.1, left, true) : nice_axis(0, 1, left, false);  // no numbers
}

std::string number(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", value_decimals, v);
    return buf;
}

const char* kind_name(Kind k) { return k == Kind::reader ? "reader" : k == Kind::reference ? "reference" : "mean"; }

struct Counts {
    int no_value = 0, no_interval = 0;
};

// One estimate on the line at canvas height y: whisker with caps, mark, and
// its numbers in the value column.
void entry(std::string& doc, const Entry& en, const Axis& ax, double y, Counts& counts) {
    const char* stroke = en.modality < 0 ? "black" : draw::colour(en.modality);
    const draw::Shape shape = en.modality < 0 ? draw::Shape::circle : draw::Shape(en.modality % draw::shape_count);
    const bool thick = en.kind == Kind::mean;
    const std::string cls = std::string(en.cls) + " " + kind_name(en.kind);
    const int data = en.modality + 1;  // 0: not tied to a modality
    std::string text;
    if (!has_value(en.e)) {
        ++counts.no_value;
        text = "not available";
    } else {
        if (has_interval(en.e)) {
            const double xl = ax.x(en.e.lower), xu = ax.x(en.e.upper), cap = thick ? 4 : 3;
            put(doc, "<line class=\"interval %s\" data-modality=\"%d\" x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\" "
                     "stroke=\"%s\" stroke-width=\"%s\"/>\n",
                cls.c_str(), data, xl, y, xu, y, stroke, thick ? "3" : "1.5");
            put(doc, "<path class=\"cap\" d=\"M%.2f %.2fv%.2fM%.2f %.2fv%.2f\" stroke=\"%s\" stroke-width=\"1.5\"/>\n", xl,
                y - cap, 2 * cap, xu, y - cap, 2 * cap, stroke);
            text = number(en.e.value) + " (" + number(en.e.lower) + ", " + number(en.e.upper) + ")";
        } else {
            ++counts.no_interval;
            text = number(en.e.value) + " (no interval)";
        }
        const std::string mark_cls = "estimate " + cls;
        draw::mark(doc, shape, ax.x(en.e.value), y, en.kind == Kind::reader ? 3.5 : thick ? 5 : 4,
                   en.kind != Kind::reader, {mark_cls.c_str(), "modality", data, stroke});
    }
    put(doc, "<text class=\"value %s\" data-modality=\"%d\" x=\"%.2f\" y=\"%.2f\" font-size=\"11\" fill=\"%s\">",
        cls.c_str(), data, ax.left + plot_width + value_gap, y + 4, stroke);
    doc += text + "</text>\n";
}

// A panel from canvas height `top`; returns the height of its frame bottom.
double draw_panel(std::string& doc, const Panel& p, double plot_left, double top, Counts& counts) {
    const Axis ax = axis_of(p, plot_left);
    const double bottom = top + panel_height(p), right = ax.left + plot_width;
    put(doc, "<text x=\"%.2f\" y=\"%.2f\" text-anchor=\"middle\" font-weight=\"bold\">", ax.left + plot_width / 2, top - 10);
    doc += xml_escape(p.title) + "</text>\n";
    put(doc, "<text class=\"value-heading\" x=\"%.2f\" y=\"%.2f\" font-size=\"11\" font-weight=\"bold\">",
        right + value_gap, top - 10);
    doc += xml_escape(p.value_heading) + "</text>\n";
    put(doc, "<rect class=\"frame\" x=\"%.2f\" y=\"%.2f\" width=\"%.2f\" height=\"%.2f\" fill=\"none\" stroke=\"black\"/>\n",
        ax.left, top, plot_width, bottom - top);
    // Ticks and their labels; the "-0" of a rounded tick is written "0".
    const int ticks = static_cast<int>(std::lround((ax.hi - ax.lo) / ax.step));
    for (int i = 0; i <= ticks; ++i) {
        double v = ax.lo + i * ax.step;
        if (std::fabs(v) < 1e-9 * ax.step) v = 0;
        put(doc, "<path class=\"tick\" d=\"M%.2f %.2fv6\" stroke=\"black\"/>\n", ax.x(v), bottom);
        put(doc, "<text class=\"tick-label\" x=\"%.2f\" y=\"%.2f\" text-anchor=\"middle\">%.*f</text>\n", ax.x(v),
            bottom + 22, ax.decimals, v);
    }
    put(doc, "<text x=\"%.2f\" y=\"%.2f\" text-anchor=\"middle\">", ax.left + plot_width / 2, bottom + 42);
    doc += xml_escape(p.axis_label) + "</text>\n";
    if (p.zero_line)
        put(doc, "<line class=\"zero\" x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\" stroke=\"gray\"/>\n", ax.x(0), top,
            ax.x(0), bottom);
    double y = top + frame_padding;
    for (size_t k = 0; k < p.sections.size(); ++k) {
        const Section& s = p.sections[k];
        const double section_top = y;
        if (k > 0)
            put(doc, "<line class=\"separator\" x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\" stroke=\"#cccccc\"/>\n",
                ax.left, y, right, y);
        if (!s.heading.empty()) {
            put(doc, "<text class=\"section\" x=\"%.2f\" y=\"%.2f\" font-weight=\"bold\">", margin_left, y + 15);
            doc += xml_escape(draw::shorten(s.heading, max_label_chars + 2)) + "</text>\n";
            y += heading_height;
        }
        for (const Row& r : s.rows) {
            const int n = std::max<int>(1, r.lines.size());
            const double row_top = y + row_padding / 2;
            put(doc, "<text class=\"row-label\" x=\"%.2f\" y=\"%.2f\"%s>", margin_left + label_indent,
                row_top + n * line_pitch / 2 + 4, r.bold ? " font-weight=\"bold\"" : "");
            doc += xml_escape(draw::shorten(r.label, max_label_chars)) + "</text>\n";
            for (size_t i = 0; i < r.lines.size(); ++i)
                entry(doc, r.lines[i], ax, row_top + (i + 0.5) * line_pitch, counts);
            y += row_padding + n * line_pitch;
        }
        if (s.margin)
            put(doc, "<line class=\"margin %s\" x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\" stroke=\"black\" "
                     "stroke-dasharray=\"6 4\"/>\n",
                s.margin_name, ax.x(*s.margin), section_top, ax.x(*s.margin), y);
    }
    return bottom;
}

// A row of one estimate per modality.
Row modality_row(const std::string& label, const std::vector<Interval>& values, size_t modalities, Kind kind,
                 const char* cls, bool bold = false) {
    Row r{label, bold, {}};
    for (size_t m = 0; m < modalities; ++m)
        r.lines.push_back({m < values.size() ? values[m] : Interval{}, static_cast<int>(m), kind, cls});
    return r;
}

// Number of modalities: the names given, or more where a row has estimates
// for more; those are named by their number.
size_t modality_count(const ForestPlot& fp) {
    size_t n = std::max({fp.modalities.size(), fp.reader_means.size(), fp.mean_reference_differences.size()});
    if (fp.reference) n = std::max(n, fp.reference->per_modality.size());
    for (const auto* rows : {&fp.readers, &fp.reference_differences})
        for (const ReaderEstimates& r : *rows) n = std::max(n, r.per_modality.size());
    return n;
}

std::string modality_name(const ForestPlot& fp, int m) {
    return m >= 0 && static_cast<size_t>(m) < fp.modalities.size() ? fp.modalities[m] : "Modality " + std::to_string(m + 1);
}

// The margin when it is a finite number.
std::optional<double> margin_of(const ForestPlot& fp) {
    return fp.margin && std::isfinite(*fp.margin) ? fp.margin : std::nullopt;
}

// "95% " for a confidence level in (0, 1), else nothing.
std::string level_text(const ForestPlot& fp) {
    if (!(fp.confidence > 0 && fp.confidence < 1)) return "";
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g%% ", 100 * fp.confidence);
    return buf;
}

std::vector<Panel> panels_of(const ForestPlot& fp) {
    const size_t nm = modality_count(fp);
    const std::string heading = "Estimate (" + level_text(fp) + "CI)";
    Panel foms{"Figures of merit", fp.fom_label, heading, {}, false};
    if (fp.reference)
        foms.sections.push_back({"Reference reader", {modality_row(fp.reference->name, fp.reference->per_modality, nm,
                                                                    Kind::reference, "fom")}, {}, ""});
    if (!fp.readers.empty()) {
        Section s{"Readers", {}, {}, ""};
        for (const ReaderEstimates& r : fp.readers)
            s.rows.push_back(modality_row(r.name, r.per_modality, nm, Kind::reader, "fom"));
        foms.sections.push_back(s);
    }
    if (!fp.reader_means.empty())
        foms.sections.push_back(
            {"", {modality_row("Average over readers", fp.reader_means, nm, Kind::mean, "fom", true)}, {}, ""});

    Panel diffs{"Differences", "Difference of figures of merit", heading, {}, true};
    if (!fp.reference_differences.empty() || !fp.mean_reference_differences.empty()) {
        Section s{"Reader \xe2\x88\x92 " + (fp.reference ? fp.reference->name : std::string("reference")), {}, margin_of(fp),
                  "reference"};
        for (const ReaderEstimates& r : fp.reference_differences)
            s.rows.push_back(modality_row(r.name, r.per_modality, nm, Kind::reader, "reference-difference"));
        if (!fp.mean_reference_differences.empty())
            s.rows.push_back(modality_row("Mean over readers", fp.mean_reference_differences, nm, Kind::mean,
                                          "reference-difference", true));
        diffs.sections.push_back(s);
    }
    if (!fp.modality_differences.empty()) {
        Section s{"Modalities, first \xe2\x88\x92 second", {}, {}, "modality"};
        if (margin_of(fp)) s.margin = -*margin_of(fp);
        for (const ModalityDifference& d : fp.modality_differences)
            s.rows.push_back({modality_name(fp, d.first) + " \xe2\x88\x92 " + modality_name(fp, d.second), false,
                              {{d.difference, -1, Kind::mean, "modality-difference"}}});
        diffs.sections.push_back(s);
    }
    std::vector<Panel> out;
    if (!foms.sections.empty()) out.push_back(foms);
    if (!diffs.sections.empty()) out.push_back(diffs);
    return out;
}

int longest_label(const std::vector<Panel>& panels) {
    int n = 0;
    for (const Panel& p : panels)
        for (const Section& s : p.sections) {
            n = std::max(n, draw::char_count(s.heading) - 2);
            for (const Row& r : s.rows) n = std::max(n, draw::char_count(r.label));
        }
    return std::min(n, max_label_chars);
}

// Explanations below the legend, one line each.
std::vector<std::string> notes_of(const ForestPlot& fp, const Counts& c) {
    std::vector<std::string> out;
    char buf[160];
    out.push_back("Marks: estimates; whiskers: " + level_text(fp) + "confidence intervals.");
    out.push_back("Open marks: readers; filled: reference reader; large: averages over readers.");
    const bool ref_diffs = !fp.reference_differences.empty() || !fp.mean_reference_differences.empty();
    if (margin_of(fp) && (ref_diffs || !fp.modality_differences.empty())) {
        std::snprintf(buf, sizeof buf, "Dashed lines: non-inferiority margin d = %g", *margin_of(fp));
        std::string s = buf;
        if (ref_diffs) s += ", at +d for reader \xe2\x88\x92 reference";
        if (!fp.modality_differences.empty())
            s += std::string(ref_diffs ? "," : "") + " at \xe2\x88\x92" "d for first \xe2\x88\x92 second";
        out.push_back(s + ".");
    }
    if (c.no_interval > 0)
        out.push_back(std::to_string(c.no_interval) + (c.no_interval == 1 ? " interval" : " intervals") +
                      " not defined (not a number or infinite): drawn without whiskers.");
    if (c.no_value > 0)
        out.push_back(std::to_string(c.no_value) + (c.no_value == 1 ? " estimate" : " estimates") +
                      " not available: no mark.");
    return out;
}

}  // namespace

std::string render_forest_svg(const ForestPlot& fp) {
    const std::vector<Panel> panels = panels_of(fp);
    const double label_width = std::max(min_label_width, label_indent + draw::char_width * longest_label(panels));
    const double plot_left = margin_left + label_width + label_gap;
    const double width = plot_left + plot_width + value_gap + value_width + margin_right;

    // Panels first, into their own text, to count the undefined numbers for the notes.
    std::string body;
    Counts counts;
    double y = panel_top;
    for (const Panel& p : panels) y = draw_panel(body, p, plot_left, y, counts) + panel_spacing;
    const double legend_top = (panels.empty() ? panel_top : y - panel_spacing) + (panels.empty() ? 20 : legend_spacing);

    // Legend: one key per modality, placed left to right and wrapped at the picture's width.
    std::string legend;
    double x = margin_left, ly = legend_top;
    const int nm = static_cast<int>(modality_count(fp));
    for (int m = 0; m < nm; ++m) {
        const std::string name = draw::shorten(modality_name(fp, m), max_label_chars);
        const double w = 40 + draw::char_width * draw::char_count(name) + 30;
        if (x > margin_left && x + w > width - margin_right) x = margin_left, ly += note_pitch;
        draw::legend_key(legend, x, ly, {nullptr, nullptr, 0, draw::colour(m)}, true,
                         draw::Shape(m % draw::shape_count), false);
        put(legend, "<text class=\"legend\" data-modality=\"%d\" x=\"%.2f\" y=\"%.2f\">", m + 1, x + 40, ly);
        legend += xml_escape(name) + "</text>\n";
        x += w;
    }
    if (nm > 0) ly += note_pitch;
    for (const std::string& n : notes_of(fp, counts)) {
        put(legend, "<text class=\"note\" x=\"%.2f\" y=\"%.2f\">", margin_left, ly);
        legend += xml_escape(n) + "</text>\n";
        ly += note_pitch;
    }

    std::string doc;
    draw::begin(doc, width, ly + 10);
    draw::title(doc, width, xml_escape(draw::shorten(fp.title, static_cast<int>((width - 40) / 9))));
    doc += body + legend;
    draw::end(doc);
    return doc;
}

}  // namespace varnel::plot
