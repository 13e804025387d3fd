// The SVG picture: an ROC panel and an LROC panel side by side, a fitted
// polyline and the observed points per target, and a legend with the areas.
#include "plot/plot.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>

namespace varnel::plot {

std::string xml_escape(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size();) {
        const unsigned char c = s[i];
        switch (c) {
            case '&': out += "&amp;"; ++i; continue;
            case '<': out += "&lt;"; ++i; continue;
            case '>': out += "&gt;"; ++i; continue;
            case '"': out += "&quot;"; ++i; continue;
            case '\'': out += "&apos;"; ++i; continue;
            default: break;
        }
        if (c < 0x80) {
            out += (c < 0x20 || c == 0x7f) ? '?' : static_cast<char>(c);
            ++i;
            continue;
        }
        // Length of the UTF-8 sequence and the allowed range of its second
        // byte (which rules out overlong forms, surrogates and values above U+10FFFF).
        int len = 0;
        unsigned char lo = 0x80, hi = 0xbf;
        if (c >= 0xc2 && c <= 0xdf) len = 2;
        else if (c >= 0xe0 && c <= 0xef) len = 3, lo = c == 0xe0 ? 0xa0 : 0x80, hi = c == 0xed ? 0x9f : 0xbf;
        else if (c >= 0xf0 && c <= 0xf4) len = 4, lo = c == 0xf0 ? 0x90 : 0x80, hi = c == 0xf4 ? 0x8f : 0xbf;
        bool ok = len > 0 && i + len <= s.size();
        for (int k = 1; ok && k < len; ++k) {
            const unsigned char b = s[i + k];
            ok = k == 1 ? (b >= lo && b <= hi) : (b >= 0x80 && b <= 0xbf);
        }
        if (ok) {
            out.append(s, i, len);
            i += len;
        } else {
            out += '?';
            ++i;
        }
    }
    return out;
}

namespace {

// Appends printf-style text to the document.
void put(std::string& doc, const char* fmt, ...) {
    char buf[512];
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    doc += buf;
}

// Colours of the targets, repeated beyond eight targets.
constexpr const char* colours[] = {"#1f77b4", "#d62728", "#2ca02c", "#9467bd",
                                   "#ff7f0e", "#17becf", "#8c564b", "#e377c2"};
const char* colour(int t) { return colours[t % 8]; }

// Frame, ticks at every 0.2, axis labels and panel title of panel p.
void panel(std::string& doc, int p, const char* title, const char* ylabel) {
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

// Fitted curve of one target through the tabulated points; rows without a
// number are left out.
void curve(std::string& doc, int p, const char* cls, int t, const std::vector<double>& fp,
           const std::vector<double>& y, bool dashed) {
    put(doc, "<polyline class=\"%s\" data-target=\"%d\" fill=\"none\" stroke=\"%s\" stroke-width=\"1.5\"%s points=\"",
        cls, t + 1, colour(t), dashed ? " stroke-dasharray=\"6 4\"" : "");
    const char* sep = "";
    for (size_t i = 0; i < fp.size(); ++i) {
        if (!std::isfinite(fp[i]) || !std::isfinite(y[i])) continue;
        put(doc, "%s%.2f,%.2f", sep, canvas_x(p, fp[i]), canvas_y(y[i]));
        sep = " ";
    }
    doc += "\"/>\n";
}

void markers(std::string& doc, int p, const char* cls, int t, const std::vector<Point>& pts) {
    for (const Point& q : pts)
        put(doc, "<circle class=\"%s\" data-target=\"%d\" cx=\"%.2f\" cy=\"%.2f\" r=\"3.5\" fill=\"white\" stroke=\"%s\" stroke-width=\"1.5\"/>\n",
            cls, t + 1, canvas_x(p, q.x), canvas_y(q.y), colour(t));
}

}  // namespace

std::string render_svg(const Report& rep) {
    const int nt = static_cast<int>(rep.targets.size());
    const double width = canvas_x(1, 1) + 40;
    const double legend_top = canvas_y(0) + 75;
    const int notes = rep.adjusted ? 2 : 1;
    const double height = legend_top + 20 * (nt + notes) + 10;
    std::string doc;
    put(doc, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
    put(doc, "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%.2f\" height=\"%.2f\" viewBox=\"0 0 %.2f %.2f\" "
             "font-family=\"sans-serif\" font-size=\"13\">\n", width, height, width, height);
    put(doc, "<rect width=\"100%%\" height=\"100%%\" fill=\"white\"/>\n");
    put(doc, "<text class=\"title\" x=\"%.2f\" y=\"28.00\" text-anchor=\"middle\" font-size=\"16\">", width / 2);
    doc += "Observer: " + xml_escape(rep.observer) +
           " \xe2\x80\x94 Condition: " + xml_escape(rep.condition) +
           (rep.fit_failed ? " (fit failed: curves from the last estimates)" : "") + "</text>\n";
    panel(doc, 0, "ROC", "True-positive fraction");
    panel(doc, 1, "LROC", "Correct-localization true-positive fraction");
    put(doc, "<line class=\"chance\" x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\" stroke=\"gray\" stroke-dasharray=\"4 4\"/>\n",
        canvas_x(0, 0), canvas_y(0), canvas_x(0, 1), canvas_y(1));
    for (int t = 0; t < nt; ++t) {
        const Target& d = rep.targets[t];
        curve(doc, 0, "fit roc", t, rep.fp, d.tp, false);
        curve(doc, 1, "fit lroc", t, rep.fp, d.ctp, false);
        if (rep.adjusted) curve(doc, 1, "fit lroc-adj", t, rep.fp, d.ctpadj, true);
        markers(doc, 0, "obs roc", t, observed_roc(rep, t));
        markers(doc, 1, "obs lroc", t, observed_lroc(rep, t));
    }
    for (int t = 0; t < nt; ++t) {
        const Target& d = rep.targets[t];
        const double y = legend_top + 20 * t, x = canvas_x(0, 0);
        put(doc, "<line x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\" stroke=\"%s\" stroke-width=\"1.5\"/>\n",
            x, y - 4, x + 30, y - 4, colour(t));
        put(doc, "<circle cx=\"%.2f\" cy=\"%.2f\" r=\"3.5\" fill=\"white\" stroke=\"%s\" stroke-width=\"1.5\"/>\n",
            x + 15, y - 4, colour(t));
        put(doc, "<text class=\"legend\" data-target=\"%d\" x=\"%.2f\" y=\"%.2f\">", t + 1, x + 40, y);
        doc += "Target " + std::to_string(t + 1) + ": AreaROC " + xml_escape(d.area_roc) + ", AreaLROC " +
               xml_escape(d.area_lroc) + (rep.adjusted ? ", qset " + xml_escape(d.qset) : "") + "</text>\n";
    }
    put(doc, "<text x=\"%.2f\" y=\"%.2f\">Lines: fitted curves.  Circles: observed operating points; "
             "LROC points only above the categories without localization data.</text>\n",
        canvas_x(0, 0), legend_top + 20 * nt);
    if (rep.adjusted)
        put(doc, "<text x=\"%.2f\" y=\"%.2f\">Dashed LROC curves: adjusted for chance localization (qset)</text>\n",
            canvas_x(0, 0), legend_top + 20 * (nt + 1));
    doc += "</svg>\n";
    return doc;
}

}  // namespace varnel::plot
