// Reading varnel output files back: echo counts, areas, curve table, observed
// operating points, and the classification of files that are not reports.
#include <gtest/gtest.h>

#include <cmath>

#include "plot/plot.h"
#include "support/svg_check.h"

namespace plot = varnel::plot;

namespace {

const std::string data = std::string(VARNEL_SOURCE_DIR) + "/tests/plot/data/";

plot::Report parsed(const std::string& file) {
    plot::Report rep;
    std::string error;
    EXPECT_EQ(plot::Parse::ok, plot::parse_report(plotcheck::read_file(data + file), rep, error)) << error;
    return rep;
}

void expect_points(const std::vector<plot::Point>& want, const std::vector<plot::Point>& got) {
    ASSERT_EQ(want.size(), got.size());
    for (size_t i = 0; i < want.size(); ++i) {
        EXPECT_NEAR(want[i].x, got[i].x, 1e-12) << "point " << i;
        EXPECT_NEAR(want[i].y, got[i].y, 1e-12) << "point " << i;
    }
}

// Reader A: 100 non-target images (40 25 15 12 8 from the lowest rating up)
// and 80 target images; category 1 has no localization data.
TEST(ReadReport, ReaderAOneTarget) {
    const plot::Report rep = parsed("reader_a_report.txt");
    EXPECT_EQ("Reader A", rep.observer);
    EXPECT_EQ("Baseline", rep.condition);
    EXPECT_EQ(5, rep.ncat);
    EXPECT_EQ(1, rep.noloc);
    EXPECT_FALSE(rep.adjusted);
    EXPECT_FALSE(rep.fit_failed);
    ASSERT_EQ(1u, rep.targets.size());
    const plot::Target& t = rep.targets[0];
    EXPECT_EQ((std::vector<long>{40, 25, 15, 12, 8}), rep.nontarget);
    EXPECT_EQ((std::vector<long>{0, 6, 5, 3, 1}), t.nonhit);
    EXPECT_EQ((std::vector<long>{10, 4, 9, 15, 27}), t.hit);
    EXPECT_EQ("0.8010", t.area_roc);
    EXPECT_EQ("0.6020", t.area_lroc);
    ASSERT_EQ(34u, rep.fp.size());
    ASSERT_EQ(34u, t.tp.size());
    // First row: FP 1, TP 1, the LROC curve ends at about the localization accuracy.
    EXPECT_EQ(1.0, rep.fp.front());
    EXPECT_EQ(1.0, t.tp.front());
    EXPECT_DOUBLE_EQ(0.7069, t.ctp.front());
    EXPECT_EQ(0.0, rep.fp.back());
    EXPECT_EQ(0.0, t.tp.back());
    EXPECT_TRUE(std::isnan(t.ctpadj.front()));
    // Cumulated from the highest rating down: 8, 20, 35, 60 of 100 non-target
    // images; 28, 46, 60, 70 of 80 target images; of those correctly
    // localized 27, 42, 51, 55.  Category 1 carries totals only, so the
    // threshold below it has no LROC point.
    expect_points({{0.08, 0.35}, {0.20, 0.575}, {0.35, 0.75}, {0.60, 0.875}}, plot::observed_roc(rep, 0));
    expect_points({{0.08, 0.3375}, {0.20, 0.525}, {0.35, 0.6375}, {0.60, 0.6875}}, plot::observed_lroc(rep, 0));
}

// Two targets with chance values 0.25 and 1: the second target shows totals
// in every row and so has no LROC points; labels hold blanks and letters.
TEST(ReadReport, TwoTargetsWithChanceValues) {
    const plot::Report rep = parsed("two_targets_chance_report.txt");
    EXPECT_EQ("Dr. <Smith> & \"Jones\"", rep.observer);
    EXPECT_EQ("Low-dose 'CT'", rep.condition);
    EXPECT_TRUE(rep.adjusted);
    ASSERT_EQ(2u, rep.targets.size());
    EXPECT_EQ("0.250", rep.targets[0].qset);
    EXPECT_EQ("1.000", rep.targets[1].qset);
    EXPECT_EQ((std::vector<bool>{false, false, true, true, true, true}), rep.targets[0].split);
    EXPECT_EQ((std::vector<long>{4, 5, 9, 13, 17, 22}), rep.targets[1].hit);
    // Non-target 30 22 18 14 10 6 (100); target 1: 6 8 12 15 19 25 (85) with
    // hits 8 12 17 24 above the two categories without localization.
    expect_points({{0.06, 25 / 85.0}, {0.16, 44 / 85.0}, {0.30, 59 / 85.0}, {0.48, 71 / 85.0}, {0.70, 79 / 85.0}},
                  plot::observed_roc(rep, 0));
    expect_points({{0.06, 24 / 85.0}, {0.16, 41 / 85.0}, {0.30, 53 / 85.0}, {0.48, 61 / 85.0}},
                  plot::observed_lroc(rep, 0));
    EXPECT_EQ(5u, plot::observed_roc(rep, 1).size());
    EXPECT_TRUE(plot::observed_lroc(rep, 1).empty());
    // With qset 1 the chance-adjusted LROC curve is the ROC curve.
    for (size_t i = 0; i < rep.fp.size(); ++i) EXPECT_EQ(rep.targets[1].tp[i], rep.targets[1].ctpadj[i]);
}

// Files that are not a complete report are told apart: no curve table at all
// (the user's answer to the file question was no) or a damaged one.
TEST(ReadReport, ClassifiesIncompleteFiles) {
    const std::string report = plotcheck::read_file(data + "reader_a_report.txt");
    const size_t curves = report.find("Curves from fit");
    const size_t mid_table = report.find("0.40714");
    std::string with_extra_target = report;
    with_extra_target.replace(report.find(" False Pos") + 10, 0, "      Tar 2    ");
    const struct {
        const char* name;
        std::string text;
        plot::Parse want;
        const char* reason;
    } cases[] = {
        {"empty", "", plot::Parse::no_curve_table, ""},
        {"console transcript", plotcheck::read_file(data + "reader_a_console.txt"), plot::Parse::no_curve_table, ""},
        {"cut before the curves", report.substr(0, curves), plot::Parse::no_curve_table, ""},
        {"cut inside the curves", report.substr(0, mid_table + 3), plot::Parse::malformed, "ends after 17 of 34"},
        {"cut after the title", report.substr(0, curves + 40), plot::Parse::malformed, "header"},
        {"curves without echo", report.substr(report.find("Procedure has")), plot::Parse::malformed, "no data echo"},
        {"header for two targets", with_extra_target, plot::Parse::malformed, "2 target columns"},
    };
    for (const auto& c : cases) {
        plot::Report rep;
        std::string error;
        EXPECT_EQ(c.want, plot::parse_report(c.text, rep, error)) << c.name;
        EXPECT_NE(std::string::npos, error.find(c.reason)) << c.name << ": " << error;
    }
}

// A count too large for the echo's field shows as asterisks: the curves are
// still read, but that distribution's observed points cannot be computed.
TEST(ReadReport, OverflowedCountDropsOnlyTheMarkers) {
    std::string text = plotcheck::read_file(data + "reader_a_report.txt");
    const std::string row = "4                          3         15";
    text.replace(text.find(row), row.size(), "4                          3      *****");
    plot::Report rep;
    std::string error;
    ASSERT_EQ(plot::Parse::ok, plot::parse_report(text, rep, error)) << error;
    EXPECT_FALSE(rep.targets[0].counts_known);
    EXPECT_TRUE(plot::observed_roc(rep, 0).empty());
    EXPECT_EQ(34u, rep.targets[0].tp.size());
}

// The verdict of the fit reaches the picture's title; a report whose lines
// end in carriage return and line feed reads the same.
TEST(ReadReport, VerdictAndCrLfLines) {
    std::string text = plotcheck::read_file(data + "reader_a_report.txt");
    EXPECT_FALSE(parsed("reader_a_report.txt").fit_failed);
    const std::string ok = "Procedure has estimates of model parameters";
    text.replace(text.find(ok), ok.size(), "Procedure has failed to fit ratings");
    std::string crlf;
    for (char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    plot::Report rep;
    std::string error;
    ASSERT_EQ(plot::Parse::ok, plot::parse_report(crlf, rep, error)) << error;
    EXPECT_TRUE(rep.fit_failed);
    EXPECT_EQ("Reader A", rep.observer);
    EXPECT_EQ(34u, rep.fp.size());
    EXPECT_EQ(4u, plot::observed_lroc(rep, 0).size());
    EXPECT_NE(std::string::npos, plot::render_svg(rep).find("(fit failed"));
}

TEST(XmlEscape, SpecialsControlsAndBadUtf8) {
    const struct {
        std::string in, out;
    } cases[] = {
        {"Dr. <Smith> & \"Jones\" 'CT'", "Dr. &lt;Smith&gt; &amp; &quot;Jones&quot; &apos;CT&apos;"},
        {"tab\there\x01", "tab?here?"},
        {"M\xc3\xbcller \xe2\x80\x94 ok", "M\xc3\xbcller \xe2\x80\x94 ok"},  // two- and three-byte forms kept
        {"Latin-1 M\xfcller", "Latin-1 M?ller"},                             // a lone high byte
        {"\xc0\xaf overlong", "?? overlong"},
        {"\xed\xa0\x80 surrogate", "??? surrogate"},
        {"cut \xe2\x82", "cut ??"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.out, plot::xml_escape(c.in)) << c.in;
}

}  // namespace
