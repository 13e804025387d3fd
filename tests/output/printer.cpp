// The printer's operations, each written into a fresh record.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "varnel/printer.h"

using varnel::output::Printer;
using varnel::output::list_item;
using varnel::output::ListItem;

namespace {

// The text `writes` puts through a printer over a fresh string record.
template <class F>
std::string printed(F writes)
{
    std::string text;
    varnel::output::Record rec = varnel::output::string_record(text);
    Printer p(rec);
    writes(p);
    EXPECT_FALSE(p.failed());
    return text;
}

}  // namespace

TEST(Routines, SingleOperationRoutines)
{
    EXPECT_EQ("\n", printed([](Printer& p) { p.end_record(); }));
    EXPECT_EQ(" Convergence\n", printed([](Printer& p) { p.text("(' Convergence')"); }));
    EXPECT_EQ("  7 -3\n", printed([](Printer& p) {
                  p.write("(i3,$)", 7);
                  p.write("(i3)", -3);
              }));
    EXPECT_EQ(" 12   4\n", printed([](Printer& p) { p.write("(i3,i4)", 12, 4); }));
    EXPECT_EQ("  1  2  3  4  5  6\n",
              printed([](Printer& p) { p.write("(6i3)", 1, 2, 3, 4, 5, 6); }));
    EXPECT_EQ("  0.2500\n", printed([](Printer& p) { p.write("(f8.4)", 0.25); }));
    EXPECT_EQ("  1.50 -2.25\n",
              printed([](Printer& p) { p.write("(2f6.2)", 1.5, -2.25); }));
    EXPECT_EQ("  1.0  2.0  3.0\n",
              printed([](Printer& p) { p.write("(3f5.1)", 1.0, 2.0, 3.0); }));
}

TEST(Routines, TextItemIsTheGivenField)
{
    // A 64-character identifier written A64 and a 16-character label written A16:
    // the fields are exactly as long as their length says (no terminator).
    char ident[64];
    std::string id = "reader_a.lrc";
    std::memset(ident, ' ', sizeof ident);
    std::memcpy(ident, id.data(), id.size());
    std::string expect = " Data: " + id + std::string(64 - id.size(), ' ') + "\n";
    EXPECT_EQ(expect, printed([&](Printer& p) {
                  p.field("(' Data: ',1a64)", ident, static_cast<int>(sizeof ident));
              }));
    char label[16];
    std::memcpy(label, "Target 1 long la", 16);
    EXPECT_EQ("Target 1 long la|\n", printed([&](Printer& p) {
                  p.field("(1a16,'|')", label, static_cast<int>(sizeof label));
              }));
    EXPECT_EQ("Target 1|\n", printed([&](Printer& p) {
                  p.field("(1a8,'|')", label, static_cast<int>(sizeof label));
              }));
    EXPECT_EQ("        Target 1 long la|\n", printed([&](Printer& p) {
                  p.field("(1a24,'|')", label, static_cast<int>(sizeof label));
              }));
}

TEST(Routines, LabelAndOneOperationPerValue)
{
    // One line of the fit table: the label's six columns, then one blank and
    // an 8-column field per value.
    const double fit[] = {0.5, -1.25};
    EXPECT_EQ("Fit      0.5000  -1.2500\n", printed([&](Printer& p) {
                  p.value_row("('Fit   ',$)", "(1x,f8.4,$)", fit, 1, 2);
              }));
    EXPECT_EQ("Fit     -1.2500\n", printed([&](Printer& p) {
                  p.value_row("('Fit   ',$)", "(1x,f8.4,$)", fit, 2, 2);
              }));
    EXPECT_EQ("Fit   \n", printed([&](Printer& p) {
                  p.value_row("('Fit   ',$)", "(1x,f8.4,$)", fit, 1, 0);
              }));
    EXPECT_EQ("Fit     0.5000 -1.2500", printed([&](Printer& p) {
                  p.value_row("('Fit   ',$)", "(f8.4,$)", fit, 1, 2, false);
              }));
    EXPECT_EQ(" LogL   -12.50000   -3.25000\n", printed([](Printer& p) {
                  // A label and two values (the likelihood lines): one write each.
                  p.text("(' LogL ',$)");
                  p.write("(f11.5,$)", -12.5);
                  p.write("(f11.5,$)", -3.25);
                  p.end_record();
              }));
    EXPECT_EQ("Cat    1    2    3\n", printed([](Printer& p) {
                  p.index_row("('Cat',$)", "(2x,1i3,$)", 1, 3);
              }));
    EXPECT_EQ("Cat\n", printed([](Printer& p) {
                  p.index_row("('Cat',$)", "(2x,1i3,$)", 4, 3);
              }));
    EXPECT_EQ("Cat    2    3|\n", printed([](Printer& p) {
                  p.index_row("('Cat',$)", "(2x,1i3,$)", 2, 3, false);
                  p.text("('|')");
              }));
}

TEST(Routines, StridedRoutinesWriteMatrixRows)
{
    // A 3 x 3 matrix stored column by column: a(i, j) = 10 i + j.
    double a[9];
    for (int j = 1; j <= 3; ++j)
        for (int i = 1; i <= 3; ++i)
            a[(j - 1) * 3 + (i - 1)] = 10 * i + j;
    const int col = 3;
    EXPECT_EQ("row2  21.0  22.0  23.0\n", printed([&](Printer& p) {
                  p.strided_row("('row2',$)", "(f6.1,$)", &a[1], 1, 3, col);
              }));
    EXPECT_EQ("row3  32.0  33.0", printed([&](Printer& p) {
                  p.strided_row("('row3',$)", "(f6.1,$)", &a[2], 2, 3, col, false);
              }));
    EXPECT_EQ("none\n", printed([&](Printer& p) {
                  p.strided_row("('none',$)", "(f6.1,$)", a, 5, 1, col);
              }));
    // Curve points taken from tables whose column length is 300: one record
    // per point pair is the format's business, the routine ends the last one.
    static double fpf[900], tpf[900], lroc[900];
    for (int k = 0; k < 3; ++k) {
        fpf[k * 300] = 0.1 * k;
        tpf[k * 300] = 0.2 * k;
        lroc[k * 300] = 0.3 * k;
    }
    const int r = 300;
    EXPECT_EQ("curve\n 0.00 0.00\n 0.10 0.20\n 0.20 0.40\n", printed([&](Printer& p) {
                  p.strided_row("('curve',$)", "(/,2f5.2,$)", fpf, tpf, 1, 3, r);
              }));
    EXPECT_EQ("curve 0.10 0.20 0.30 0.20 0.40 0.60\n", printed([&](Printer& p) {
                  p.strided_row("('curve',$)", "(3f5.2,$)", fpf, tpf, lroc, 2, 3, r);
              }));
    // Without $ each operation ends its own line and the routine's record end
    // adds an empty one.
    EXPECT_EQ("curve 0.10 0.20 0.30\n 0.20 0.40 0.60\n\n", printed([&](Printer& p) {
                  p.strided_row("('curve',$)", "(3f5.2)", fpf, tpf, lroc, 2, 3, r);
              }));
    EXPECT_EQ("curve\n", printed([&](Printer& p) {
                  p.strided_row("('curve',$)", "(3f5.2)", fpf, tpf, lroc, 1, 0, r);
              }));
}

TEST(ListDirected, RecordsOnAUnit)
{
    ListItem warn[] = {list_item("Variance of parameter"), list_item(3), list_item("is negative:"),
                       list_item(-0.0025)};
    EXPECT_EQ(" Variance of parameter 3is negative: -0.0025\n",
              printed([&](Printer& p) { p.list(warn, 4); }));
    ListItem mixed[] = {list_item(1.0), list_item("text"), list_item(-7), list_item(1e10)};
    EXPECT_EQ("  1.text -7  1.E+10\n", printed([&](Printer& p) { p.list(mixed, 4); }));
    // A record left open by $ is ended before a list-directed record.
    EXPECT_EQ("open\n 1\n", printed([&](Printer& p) {
                  p.text("('open',$)");
                  ListItem one[] = {list_item(1)};
                  p.list(one, 1);
              }));
    EXPECT_EQ("\n", printed([&](Printer& p) { p.list(nullptr, 0); }));
}

TEST(ListDirected, ItemThatWouldReachColumn80StartsANewRecord)
{
    // Reals of 10 columns each: the eighth would end in column 80.
    ListItem eight[8];
    for (int k = 0; k < 8; ++k)
        eight[k] = list_item(1.234567 + k);
    std::string line1, line2;
    for (int k = 0; k < 7; ++k)
        line1 += "  " + std::to_string(k + 1) + ".234567";
    line2 = "  8.234567";
    ASSERT_EQ(70u, line1.size());
    EXPECT_EQ(line1 + "\n" + line2 + "\n",
              printed([&](Printer& p) { p.list(eight, 8); }));

    // A text item ending exactly at column 79 stays; one reaching 80 moves and,
    // being first in its new record, gets the leading blank.
    std::string s78(78, 'a'), s79(79, 'b');
    ListItem fits[] = {list_item(s78.c_str())};
    EXPECT_EQ(" " + s78 + "\n", printed([&](Printer& p) { p.list(fits, 1); }));
    ListItem moves[] = {list_item(1), list_item(s78.c_str())};
    EXPECT_EQ(" 1\n " + s78 + "\n", printed([&](Printer& p) { p.list(moves, 2); }));
    std::string s76(76, 'c');
    ListItem stays[] = {list_item(1), list_item(s76.c_str())};
    EXPECT_EQ(" 1" + s76 + "\n", printed([&](Printer& p) { p.list(stays, 2); }));
    // An item longer than a record is written whole in a record of its own.
    ListItem longer[] = {list_item(s79.c_str()), list_item(2)};
    EXPECT_EQ(" " + s79 + "\n 2\n", printed([&](Printer& p) { p.list(longer, 2); }));
}
