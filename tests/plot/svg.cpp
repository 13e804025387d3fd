// varnel-plot as a user runs it: the picture of every report at hand is read
// back and compared with the report's own tables; faulty inputs leave no SVG.
//
// Reports checked: tests/plot/data/*_report.txt, every file under examples/
// and tests/e2e/golden/ (the output files of every example) that holds a
// curve table, and the files named in VARNEL_PLOT_REPORTS
// (colon-separated).  reader_a_lf_chance_run_report.txt is the output file of
// a varnel run on examples/reader_a_lf.lrc answering Enter, y, 0.3, 2, y.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sstream>

#include "plot/plot.h"
#include "support/svg_check.h"

namespace plot = varnel::plot;

namespace {

using plotcheck::Element;

const std::string source = VARNEL_SOURCE_DIR;
constexpr double svg_precision = 0.0051;  // coordinates carry two decimals

bool has_curve_table(const std::string& path) {
    return plotcheck::read_file(path).find("\nCurves from fit distribution parameters") != std::string::npos;
}

std::vector<std::string> reports() {
    std::vector<std::string> out;
    for (const std::string& n : plotcheck::list_dir(source + "/tests/plot/data"))
        if (n.size() > 11 && n.compare(n.size() - 11, 11, "_report.txt") == 0) out.push_back(source + "/tests/plot/data/" + n);
    for (const char* dir : {"/examples/", "/tests/e2e/golden/"})
        for (const std::string& n : plotcheck::list_dir(source + dir))
            if (has_curve_table(source + dir + n)) out.push_back(source + dir + n);
    if (const char* extra = std::getenv("VARNEL_PLOT_REPORTS")) {
        std::istringstream in(extra);
        for (std::string p; std::getline(in, p, ':');)
            if (!p.empty()) out.push_back(p);
    }
    return out;
}

// The report's curve rows and area values, read by this test on its own:
// the 34 lines after the header, split at blanks.
struct Table {
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> roc, lroc;
    int targets = 0;
    int per = 2;
};

Table table_of(const std::string& text) {
    Table t;
    std::istringstream in(text.substr(text.find("\nCurves from fit distribution parameters") + 1));
    std::string line;
    std::getline(in, line);
    std::getline(in, line);
    for (size_t p = line.find("Tar"); p != std::string::npos; p = line.find("Tar", p + 1)) ++t.targets;
    for (int i = 0; i < plot::curve_rows && std::getline(in, line); ++i) {
        std::istringstream w(line);
        t.rows.emplace_back();
        for (std::string x; w >> x;) t.rows.back().push_back(x);
    }
    if (t.targets > 0) t.per = static_cast<int>(t.rows[0].size() - 1) / t.targets;
    auto area_row = [&](const char* label, std::vector<std::string>& into) {
        const size_t at = text.find(std::string("\n") + label);
        std::istringstream w(text.substr(at + 13, text.find('\n', at + 1) - at - 13));
        for (std::string x; w >> x;) into.push_back(x);
    };
    area_row("AreaROC     ", t.roc);
    area_row("AreaLROC    ", t.lroc);
    return t;
}

// Runs the tool on `report`, checks the picture is well formed, returns its elements.
std::vector<Element> draw(const std::string& report, std::string& svg) {
    const std::string dir = plotcheck::temp_dir(), out = dir + "/out.svg";
    std::string err;
    EXPECT_EQ(0, plotcheck::run_plot("'" + report + "' '" + out + "'", err)) << report << ": " << err;
    svg = plotcheck::read_file(out);
    EXPECT_EQ((std::vector<std::string>{"out.svg"}), plotcheck::list_dir(dir)) << "temporary file left behind";
    std::remove(out.c_str());
    std::remove(dir.c_str());
    std::string why;
    EXPECT_TRUE(plotcheck::well_formed(svg, why)) << report << ": " << why;
    return plotcheck::elements(svg);
}

// Every fitted polyline has one point per curve row, at the row's values; the
// legend shows the report's areas exactly as printed.
TEST(PlotPicture, CurvesAndLegendMatchTheReport) {
    const std::vector<std::string> files = reports();
    ASSERT_GE(files.size(), 2u);
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        std::string svg;
        const std::vector<Element> all = draw(file, svg);
        const Table tab = table_of(plotcheck::read_file(file));
        ASSERT_EQ(static_cast<size_t>(plot::curve_rows), tab.rows.size());
        for (int t = 1; t <= tab.targets; ++t) {
            const char* classes[] = {"fit roc", "fit lroc", "fit lroc-adj"};
            for (int c = 0; c < 3; ++c) {
                const std::vector<Element> lines = plotcheck::select(all, classes[c], t);
                if (c == 2 && tab.per == 2) {
                    EXPECT_TRUE(lines.empty());
                    continue;
                }
                ASSERT_EQ(1u, lines.size()) << classes[c] << " of target " << t;
                EXPECT_EQ(c == 2, lines[0].attr.count("stroke-dasharray") == 1);
                const auto pts = plotcheck::polyline_points(lines[0]);
                ASSERT_EQ(tab.rows.size(), pts.size()) << classes[c] << " of target " << t;
                for (size_t i = 0; i < pts.size(); ++i) {
                    const double fp = std::stod(tab.rows[i][0]);
                    const double y = std::stod(tab.rows[i][1 + tab.per * (t - 1) + c]);
                    EXPECT_NEAR(plot::canvas_x(c == 0 ? 0 : 1, fp), pts[i].first, svg_precision);
                    EXPECT_NEAR(plot::canvas_y(y), pts[i].second, svg_precision);
                }
            }
            const std::vector<Element> legend = plotcheck::select(all, "legend", t);
            ASSERT_EQ(1u, legend.size());
            const std::string want = "Target " + std::to_string(t) + ": AreaROC " + tab.roc[t - 1] + ", AreaLROC " + tab.lroc[t - 1];
            EXPECT_EQ(want, legend[0].text.substr(0, want.size()));
            // Observed points lie inside their panel.
            for (int p = 0; p < 2; ++p)
                for (const Element& m : plotcheck::select(all, p == 0 ? "obs roc" : "obs lroc", t)) {
                    EXPECT_GE(std::stod(m.attr.at("cx")), plot::canvas_x(p, 0) - svg_precision);
                    EXPECT_LE(std::stod(m.attr.at("cx")), plot::canvas_x(p, 1) + svg_precision);
                    EXPECT_GE(std::stod(m.attr.at("cy")), plot::canvas_y(1) - svg_precision);
                    EXPECT_LE(std::stod(m.attr.at("cy")), plot::canvas_y(0) + svg_precision);
                }
        }
        EXPECT_TRUE(plotcheck::select(all, "fit roc", tab.targets + 1).empty());
    }
}

// Reader A's observed points sit at the fractions worked out by hand from its
// counts (see the report reading test), and near the fitted curve.
TEST(PlotPicture, ReaderAMarkersAtTheObservedFractions) {
    std::string svg;
    const std::vector<Element> all = draw(source + "/tests/plot/data/reader_a_report.txt", svg);
    const double roc[][2] = {{0.08, 0.35}, {0.20, 0.575}, {0.35, 0.75}, {0.60, 0.875}};
    const double lroc[][2] = {{0.08, 0.3375}, {0.20, 0.525}, {0.35, 0.6375}, {0.60, 0.6875}};
    for (int p = 0; p < 2; ++p) {
        const std::vector<Element> marks = plotcheck::select(all, p == 0 ? "obs roc" : "obs lroc", 1);
        ASSERT_EQ(4u, marks.size());
        const auto curve = plotcheck::polyline_points(plotcheck::select(all, p == 0 ? "fit roc" : "fit lroc", 1).at(0));
        for (size_t i = 0; i < 4; ++i) {
            const double* want = p == 0 ? roc[i] : lroc[i];
            const double cx = std::stod(marks[i].attr.at("cx")), cy = std::stod(marks[i].attr.at("cy"));
            EXPECT_NEAR(plot::canvas_x(p, want[0]), cx, svg_precision);
            EXPECT_NEAR(plot::canvas_y(want[1]), cy, svg_precision);
            // A maximum-likelihood fit to 180 images passes within 0.06 (in
            // fractions) of each observed point.
            double nearest = 1e9;
            for (const auto& q : curve) nearest = std::min(nearest, std::hypot(q.first - cx, q.second - cy));
            EXPECT_LT(nearest, 0.06 * plot::panel_size) << "point " << i << " of panel " << p;
        }
    }
}

// The title carries observer and condition, escaped; a chance diagonal is drawn.
TEST(PlotPicture, TitleEscapedAndChanceDiagonalDrawn) {
    std::string svg;
    const std::vector<Element> all = draw(source + "/tests/plot/data/two_targets_chance_report.txt", svg);
    EXPECT_NE(std::string::npos, svg.find("Dr. &lt;Smith&gt; &amp; &quot;Jones&quot;"));
    bool title = false, chance = false;
    for (const Element& e : all) {
        if (e.attr.count("class") && e.attr.at("class") == "title")
            title = e.text.find("Dr. <Smith> & \"Jones\"") != std::string::npos &&
                    e.text.find("Low-dose 'CT'") != std::string::npos;
        if (e.attr.count("class") && e.attr.at("class") == "chance") chance = true;
    }
    EXPECT_TRUE(title);
    EXPECT_TRUE(chance);
}

// The picture of a report is stable byte for byte: tests/plot/data/<name>.svg
// were drawn by the first release of varnel-plot from <name>.txt (one target;
// two targets with chance-adjusted LROC curves).
TEST(PlotPicture, BytesAsDrawnBefore) {
    for (const char* name : {"reader_a_report", "two_targets_chance_report"}) {
        std::string svg;
        draw(source + "/tests/plot/data/" + name + ".txt", svg);
        EXPECT_EQ(plotcheck::read_file(source + "/tests/plot/data/" + name + ".svg"), svg) << name;
    }
}

// Faulty inputs: exit status 1, a message on standard error, no SVG (and no
// temporary file) left in the output folder.
TEST(PlotErrors, NoPictureFromFaultyInput) {
    const std::string dir = plotcheck::temp_dir();
    const std::string report = plotcheck::read_file(source + "/tests/plot/data/reader_a_report.txt");
    plotcheck::write_file(dir + "/empty.txt", "");
    plotcheck::write_file(dir + "/truncated.txt", report.substr(0, report.find("0.40714") + 3));
    const std::string console = source + "/tests/plot/data/reader_a_console.txt";
    const struct {
        const char* name;
        std::string args, message;
    } cases[] = {
        {"console transcript", "'" + console + "' '" + dir + "/out.svg'",
         "varnel-plot: " + console + " has no curve table; answer y at the file question of varnel\n"},
        {"empty file", "'" + dir + "/empty.txt' '" + dir + "/out.svg'",
         "varnel-plot: " + dir + "/empty.txt has no curve table; answer y at the file question of varnel\n"},
        {"truncated file", "'" + dir + "/truncated.txt' '" + dir + "/out.svg'",
         "varnel-plot: " + dir + "/truncated.txt: curve table ends after 17 of 34 rows (the file may be truncated)\n"},
        {"missing file", "'" + dir + "/none.txt' '" + dir + "/out.svg'",
         "varnel-plot: cannot read " + dir + "/none.txt: No such file or directory\n"},
        {"one argument", "'" + console + "'", "varnel-plot: usage: varnel-plot REPORT.txt OUT.svg\n"},
        {"report as output", "'" + dir + "/empty.txt' '" + dir + "/empty.txt'",
         "varnel-plot: " + dir + "/empty.txt is the report itself; name another file for the picture\n"},
        {"output folder missing", "'" + source + "/tests/plot/data/reader_a_report.txt' '" + dir + "/no/out.svg'",
         "varnel-plot: cannot write " + dir + "/no/out.svg: No such file or directory\n"},
    };
    for (const auto& c : cases) {
        std::string err;
        EXPECT_EQ(1, plotcheck::run_plot(c.args, err)) << c.name;
        EXPECT_EQ(c.message, err) << c.name;
        EXPECT_EQ((std::vector<std::string>{"empty.txt", "truncated.txt"}), [&] {
            auto names = plotcheck::list_dir(dir);
            std::sort(names.begin(), names.end());
            return names;
        }()) << c.name;
    }
    std::remove((dir + "/empty.txt").c_str());
    std::remove((dir + "/truncated.txt").c_str());
    std::remove(dir.c_str());
}

}  // namespace
