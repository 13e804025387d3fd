// Drawing helpers shared by the pictures of the plot layer: the document
// frame, the colours, the ROC/LROC panel geometry of plot.h, polylines and
// marks.  Coordinates are written with two decimals.
#pragma once

#include <string>
#include <vector>

#include "plot/plot.h"

namespace varnel::plot::draw {

// Appends printf-style text to the document (any length).
void put(std::string& doc, const char* fmt, ...) __attribute__((format(printf, 2, 3)));

// Colours of a series (target, modality or reader), repeated beyond eight.
inline constexpr int colour_count = 8;
const char* colour(int i);

// The XML prolog, the <svg> element with the pictures' font and a white background.
void begin(std::string& doc, double width, double height);
void end(std::string& doc);

// The picture's title line, centred (text not escaped; the caller escapes).
void title(std::string& doc, double width, const std::string& escaped_text);

// Frame, ticks at every 0.2, axis labels and panel title of ROC/LROC panel p
// (0 left, 1 right).
void unit_panel(std::string& doc, int p, const char* title, const char* ylabel);

// The dashed chance diagonal of the ROC panel.
void chance_diagonal(std::string& doc);

// How a polyline or a mark looks and how the tests find it: its class and
// one data attribute (e.g. data-target="2").
struct Style {
    const char* cls;
    const char* data_name;  // attribute name without "data-"
    int data_value;
    const char* stroke;
    const char* stroke_width = "1.5";
    const char* dash = nullptr;   // stroke-dasharray, none when null
};

// A polyline through the points of panel p in unit coordinates; points
// without a finite coordinate are left out.
void polyline(std::string& doc, int p, const Style& s, const std::vector<Point>& pts);

// Shapes of marks, cycled after the colours for many series.
enum class Shape { circle, square, triangle, diamond };
inline constexpr int shape_count = 4;

// A mark of the given radius centred at canvas (cx, cy); open marks are
// filled white, the others with the stroke colour.
void mark(std::string& doc, Shape shape, double cx, double cy, double r, bool filled, const Style& s);

// A legend key left of a legend text with baseline y: a 30 wide line
// sample (when `line`) with a mark of radius 3.5 in its middle.
void legend_key(std::string& doc, double x, double y, const Style& s, bool line, Shape shape, bool filled);

// Text with an approximate width per character of the 13-point sans-serif
// font; used to size columns and to shorten long names.
inline constexpr double char_width = 7.5;

// `s` (UTF-8) shortened to at most `max_chars` characters, an ellipsis
// marking the cut.
std::string shorten(const std::string& s, int max_chars);

// Number of UTF-8 characters of `s`.
int char_count(const std::string& s);

}  // namespace varnel::plot::draw
