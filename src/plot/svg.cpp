// The SVG picture: an ROC panel and an LROC panel side by side, a fitted
// polyline and the observed points per target, and a legend with the areas.
#include "plot/draw.h"
#include "plot/plot.h"

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

using draw::put;

// Fitted curve of one target through the tabulated points; rows without a
// number are left out.
void curve(std::string& doc, int p, const char* cls, int t, const std::vector<double>& fp,
           const std::vector<double>& y, bool dashed) {
    std::vector<Point> pts(fp.size());
    for (size_t i = 0; i < fp.size(); ++i) pts[i] = {fp[i], y[i]};
    draw::polyline(doc, p, {cls, "target", t + 1, draw::colour(t), "1.5", dashed ? "6 4" : nullptr}, pts);
}

void markers(std::string& doc, int p, const char* cls, int t, const std::vector<Point>& pts) {
    for (const Point& q : pts)
        draw::mark(doc, draw::Shape::circle, canvas_x(p, q.x), canvas_y(q.y), 3.5, false,
                   {cls, "target", t + 1, draw::colour(t)});
}

}  // namespace

std::string render_svg(const Report& rep) {
    const int nt = static_cast<int>(rep.targets.size());
    const double width = canvas_x(1, 1) + 40;
    const double legend_top = canvas_y(0) + 75;
    const int notes = rep.adjusted ? 2 : 1;
    const double height = legend_top + 20 * (nt + notes) + 10;
    std::string doc;
    draw::begin(doc, width, height);
    draw::title(doc, width, "Observer: " + xml_escape(rep.observer) + " \xe2\x80\x94 Condition: " +
                                xml_escape(rep.condition) +
                                (rep.fit_failed ? " (fit failed: curves from the last estimates)" : ""));
    draw::unit_panel(doc, 0, "ROC", "True-positive fraction");
    draw::unit_panel(doc, 1, "LROC", "Correct-localization true-positive fraction");
    draw::chance_diagonal(doc);
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
        draw::legend_key(doc, x, y, {nullptr, nullptr, 0, draw::colour(t)}, true, draw::Shape::circle, false);
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
    draw::end(doc);
    return doc;
}

}  // namespace varnel::plot
