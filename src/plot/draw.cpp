// Drawing helpers shared by the fit picture and the comparison pictures.
#include "plot/draw.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>

namespace varnel::plot::draw {

void put(std::string& doc, const char* fmt, ...) {
    char buf[512];
    va_list ap, again;
    va_start(ap, fmt);
    va_copy(again, ap);
    const int n = std::vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    if (n >= static_cast<int>(sizeof buf)) {
        // Longer than the buffer: format again straight into the document.
        const size_t at = doc.size();
        doc.resize(at + n + 1);
        std::vsnprintf(doc.data() + at, n + 1, fmt, again);
        doc.resize(at + n);
    } else if (n > 0) {
        doc.append(buf, n);
    }
    va_end(again);
}

namespace {
constexpr const char* colours[colour_count] = {"#1f77b4", "#d62728", "#2ca02c", "#9467bd",
                                               "#ff7f0e", "#17becf", "#8c564b", "#e377c2"};
}

const char* colour(int i) { return colours[i % colour_count]; }

void begin(std::string& doc, double width, double height) {
    put(doc, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
    put(doc, "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%.2f\" height=\"%.2f\" viewBox=\"0 0 %.2f %.2f\" "
             "font-family=\"sans-serif\" font-size=\"13\">\n", width, height, width, height);
    put(doc, "<rect width=\"100%%\" height=\"100%%\" fill=\"white\"/>\n");
}

void end(std::string& doc) { doc += "</svg>\n"; }

void title(std::string& doc, double width, const std::string& escaped_text) {
    put(doc, "<text class=\"title\" x=\"%.2f\" y=\"28.00\" text-anchor=\"middle\" font-size=\"16\">", width / 2);
    doc += escaped_text + "</text>\n";
}

void unit_panel(std::string& doc, int p, const char* title, const char* ylabel) {
    const double x0 = canvas_x(p, 0), y0 = canvas_y(0), x1 = canvas_x(p, 1), y1 = canvas_y(1);
    put(doc, "<rect class=\"frame\" x=\"%.2f\" y=\"%.2f\" width=\"%.2f\" height=\"%.2f\" fill=\"none\" stroke=\"black\"/>\n",
        x0, y1, panel_size, panel_size);
    for (int i = 0; i <= 5; ++i) {
        const double v = 0.2 * i, x = canvas_x(p, v), y = canvas_y(v);
        put(doc, "<path class=\"tick\" d=\"M%.2f %.2fv6M%.2f %.2fh-6\" stroke=\"black\"/>\n", x, y0, x0, y);
        put(doc, "<text x=\"%.2f\" y=\"%.2f\" text-anchor=\"middle\">%.1f</text>\n", x, y0 + 22, v);
        put(doc, "<text x=\"%.2f\" y=\"%.2f\" text-anchor=\"end\">%.1f</text>\n", x0 - 10, y + 4, v);
    }
    put(doc, "<text x=\"%.2f\" y=\"%.2f\" text-anchor=\"middle\">False-positive fraction</text>\n",
        (x0 + x1) / 2, y0 + 42);
    put(doc, "<text x=\"%.2f\" y=\"%.2f\" text-anchor=\"middle\" transform=\"rotate(-90 %.2f %.2f)\">%s</text>\n",
        x0 - 42, (y0 + y1) / 2, x0 - 42, (y0 + y1) / 2, ylabel);
    put(doc, "<text x=\"%.2f\" y=\"%.2f\" text-anchor=\"middle\" font-weight=\"bold\">%s</text>\n",
        (x0 + x1) / 2, y1 - 10, title);
}

void chance_diagonal(std::string& doc) {
    put(doc, "<line class=\"chance\" x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\" stroke=\"gray\" stroke-dasharray=\"4 4\"/>\n",
        canvas_x(0, 0), canvas_y(0), canvas_x(0, 1), canvas_y(1));
}

namespace {

// ` class="..." data-name="value"`, as far as the style names them.
void identity(std::string& doc, const Style& s) {
    if (s.cls) put(doc, " class=\"%s\"", s.cls);
    if (s.data_name) put(doc, " data-%s=\"%d\"", s.data_name, s.data_value);
}

}  // namespace

void polyline(std::string& doc, int p, const Style& s, const std::vector<Point>& pts) {
    doc += "<polyline";
    identity(doc, s);
    put(doc, " fill=\"none\" stroke=\"%s\" stroke-width=\"%s\"", s.stroke, s.stroke_width);
    if (s.dash) put(doc, " stroke-dasharray=\"%s\"", s.dash);
    doc += " points=\"";
    const char* sep = "";
    for (const Point& q : pts) {
        if (!std::isfinite(q.x) || !std::isfinite(q.y)) continue;
        put(doc, "%s%.2f,%.2f", sep, canvas_x(p, q.x), canvas_y(q.y));
        sep = " ";
    }
    doc += "\"/>\n";
}

void mark(std::string& doc, Shape shape, double cx, double cy, double r, bool filled, const Style& s) {
    switch (shape) {
        case Shape::circle:
            doc += "<circle";
            identity(doc, s);
            put(doc, " cx=\"%.2f\" cy=\"%.2f\" r=\"%g\"", cx, cy, r);
            break;
        case Shape::square:
            doc += "<rect";
            identity(doc, s);
            put(doc, " x=\"%.2f\" y=\"%.2f\" width=\"%.2f\" height=\"%.2f\"", cx - 0.9 * r, cy - 0.9 * r, 1.8 * r, 1.8 * r);
            break;
        case Shape::triangle:
            doc += "<path";
            identity(doc, s);
            put(doc, " d=\"M%.2f %.2fL%.2f %.2fL%.2f %.2fZ\"", cx, cy - 1.2 * r, cx + 1.1 * r, cy + 0.8 * r, cx - 1.1 * r,
                cy + 0.8 * r);
            break;
        case Shape::diamond:
            doc += "<path";
            identity(doc, s);
            put(doc, " d=\"M%.2f %.2fL%.2f %.2fL%.2f %.2fL%.2f %.2fZ\"", cx, cy - 1.25 * r, cx + 1.25 * r, cy, cx,
                cy + 1.25 * r, cx - 1.25 * r, cy);
            break;
    }
    put(doc, " fill=\"%s\" stroke=\"%s\" stroke-width=\"%s\"/>\n", filled ? s.stroke : "white", s.stroke, s.stroke_width);
}

void legend_key(std::string& doc, double x, double y, const Style& s, bool line, Shape shape, bool filled) {
    if (line) {
        put(doc, "<line x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\" stroke=\"%s\" stroke-width=\"%s\"", x, y - 4,
            x + 30, y - 4, s.stroke, s.stroke_width);
        if (s.dash) put(doc, " stroke-dasharray=\"%s\"", s.dash);
        doc += "/>\n";
    }
    mark(doc, shape, x + 15, y - 4, 3.5, filled, {nullptr, nullptr, 0, s.stroke, "1.5"});
}

int char_count(const std::string& s) {
    int n = 0;
    for (const char c : s)
        if ((static_cast<unsigned char>(c) & 0xc0) != 0x80) ++n;
    return n;
}

std::string shorten(const std::string& s, int max_chars) {
    if (char_count(s) <= max_chars) return s;
    int n = 0;
    size_t i = 0;
    for (; i < s.size(); ++i)
        if ((static_cast<unsigned char>(s[i]) & 0xc0) != 0x80 && ++n == max_chars) break;
    return s.substr(0, i) + "\xe2\x80\xa6";
}

}  // namespace varnel::plot::draw
