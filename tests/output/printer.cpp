// The output routines, each written through a real file unit.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/output_support.h"

TEST(Routines, SingleOperationRoutines)
{
    EXPECT_EQ("\n", unit_text("nl", [](int u) { out_nl__(u); }));
    EXPECT_EQ(" Convergence\n", unit_text("str", [](int u) { out_str__(u, "(' Convergence')"); }));
    EXPECT_EQ("  7 -3\n", unit_text("int", [](int u) { out_int__(u, "(i3,$)", 7); out_int__(u, "(i3)", -3); }));
    EXPECT_EQ(" 12   4\n", unit_text("int2", [](int u) { out_int2__(u, "(i3,i4)", 12, 4); }));
    EXPECT_EQ("  1  2  3  4  5  6\n",
              unit_text("int6", [](int u) { out_int6__(u, "(6i3)", 1, 2, 3, 4, 5, 6); }));
    EXPECT_EQ("  0.2500\n", unit_text("real", [](int u) { out_real__(u, "(f8.4)", 0.25); }));
    EXPECT_EQ("  1.50 -2.25\n",
              unit_text("real2", [](int u) { out_real2__(u, "(2f6.2)", 1.5, -2.25); }));
    EXPECT_EQ("  1.0  2.0  3.0\n",
              unit_text("real3", [](int u) { out_real3__(u, "(3f5.1)", 1.0, 2.0, 3.0); }));
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
    EXPECT_EQ(expect, unit_text("strv64", [&](int u) {
                  out_str_v__(u, "(' Data: ',1a64)", ident, static_cast<int>(sizeof ident));
              }));
    char label[16];
    std::memcpy(label, "Target 1 long la", 16);
    EXPECT_EQ("Target 1 long la|\n", unit_text("strv16", [&](int u) {
                  out_str_v__(u, "(1a16,'|')", label, static_cast<int>(sizeof label));
              }));
    EXPECT_EQ("Target 1|\n", unit_text("strv8", [&](int u) {
                  out_str_v__(u, "(1a8,'|')", label, static_cast<int>(sizeof label));
              }));
    EXPECT_EQ("        Target 1 long la|\n", unit_text("strv24", [&](int u) {
                  out_str_v__(u, "(1a24,'|')", label, static_cast<int>(sizeof label));
              }));
}

TEST(Routines, LabelAndOneOperationPerValue)
{
    // One line of the fit table: the label's six columns, then one blank and
    // an 8-column field per value.
    const double fit[] = {0.5, -1.25};
    EXPECT_EQ("Fit      0.5000  -1.2500\n", unit_text("arr", [&](int u) {
                  out_arr_r__(u, "('Fit   ',$)", "(1x,f8.4,$)", fit, 1, 2);
              }));
    EXPECT_EQ("Fit     -1.2500\n", unit_text("arr2nd", [&](int u) {
                  out_arr_r__(u, "('Fit   ',$)", "(1x,f8.4,$)", fit, 2, 2);
              }));
    EXPECT_EQ("Fit   \n", unit_text("arrempty", [&](int u) {
                  out_arr_r__(u, "('Fit   ',$)", "(1x,f8.4,$)", fit, 1, 0);
              }));
    EXPECT_EQ("Fit     0.5000 -1.2500", unit_text("arrn", [&](int u) {
                  out_arr_r_n__(u, "('Fit   ',$)", "(f8.4,$)", fit, 1, 2);
              }));
    EXPECT_EQ(" LogL   -12.50000   -3.25000\n", unit_text("real_2", [](int u) {
                  out_real_2__(u, "(' LogL ',$)", "(f11.5,$)", -12.5, -3.25);
              }));
    EXPECT_EQ("Cat    1    2    3\n", unit_text("ind", [](int u) {
                  out_ind__(u, "('Cat',$)", "(2x,1i3,$)", 1, 3);
              }));
    EXPECT_EQ("Cat\n", unit_text("indempty", [](int u) {
                  out_ind__(u, "('Cat',$)", "(2x,1i3,$)", 4, 3);
              }));
    EXPECT_EQ("Cat    2    3|\n", unit_text("indn", [](int u) {
                  out_ind_n__(u, "('Cat',$)", "(2x,1i3,$)", 2, 3);
                  out_str__(u, "('|')");
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
    EXPECT_EQ("row2  21.0  22.0  23.0\n", unit_text("arr2", [&](int u) {
                  out_arr2_r__(u, "('row2',$)", "(f6.1,$)", &a[1], 1, 3, col);
              }));
    EXPECT_EQ("row3  32.0  33.0", unit_text("arr2n", [&](int u) {
                  out_arr2_r_n__(u, "('row3',$)", "(f6.1,$)", &a[2], 2, 3, col);
              }));
    EXPECT_EQ("none\n", unit_text("arr2empty", [&](int u) {
                  out_arr2_r__(u, "('none',$)", "(f6.1,$)", a, 5, 1, col);
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
    EXPECT_EQ("curve\n 0.00 0.00\n 0.10 0.20\n 0.20 0.40\n", unit_text("arr2_2", [&](int u) {
                  out_arr2_r_2__(u, "('curve',$)", "(/,2f5.2,$)", fpf, tpf, 1, 3, r, r);
              }));
    EXPECT_EQ("curve 0.10 0.20 0.30 0.20 0.40 0.60\n", unit_text("arr2_3", [&](int u) {
                  out_arr2_r_3__(u, "('curve',$)", "(3f5.2,$)", fpf, tpf, lroc, 2, 3, r, r, r);
              }));
    // Without $ each operation ends its own line and the routine's record end
    // adds an empty one.
    EXPECT_EQ("curve 0.10 0.20 0.30\n 0.20 0.40 0.60\n\n", unit_text("arr2_3nl", [&](int u) {
                  out_arr2_r_3__(u, "('curve',$)", "(3f5.2)", fpf, tpf, lroc, 2, 3, r, r, r);
              }));
    EXPECT_EQ("curve\n", unit_text("arr2_3empty", [&](int u) {
                  out_arr2_r_3__(u, "('curve',$)", "(3f5.2)", fpf, tpf, lroc, 1, 0, r, r, r);
              }));
}

TEST(ListDirected, RecordsOnAUnit)
{
    list_item warn[] = {li("Variance of parameter"), li(3), li("is negative:"), li(-0.0025)};
    EXPECT_EQ(" Variance of parameter 3is negative: -0.0025\n",
              unit_text("list", [&](int u) { out_list__(u, warn, 4); }));
    list_item mixed[] = {li(1.0), li("text"), li(-7), li(1e10)};
    EXPECT_EQ("  1.text -7  1.E+10\n", unit_text("listmix", [&](int u) { out_list__(u, mixed, 4); }));
    // A record left open by $ is ended before a list-directed record.
    EXPECT_EQ("open\n 1\n", unit_text("listopen", [&](int u) {
                  out_str__(u, "('open',$)");
                  list_item one[] = {li(1)};
                  out_list__(u, one, 1);
              }));
    EXPECT_EQ("\n", unit_text("listempty", [&](int u) { out_list__(u, nullptr, 0); }));
}

TEST(ListDirected, ItemThatWouldReachColumn80StartsANewRecord)
{
    // Reals of 10 columns each: the eighth would end in column 80.
    list_item eight[8];
    for (int k = 0; k < 8; ++k)
        eight[k] = li(1.234567 + k);
    std::string line1, line2;
    for (int k = 0; k < 7; ++k)
        line1 += "  " + std::to_string(k + 1) + ".234567";
    line2 = "  8.234567";
    ASSERT_EQ(70u, line1.size());
    EXPECT_EQ(line1 + "\n" + line2 + "\n",
              unit_text("wrap", [&](int u) { out_list__(u, eight, 8); }));

    // A text item ending exactly at column 79 stays; one reaching 80 moves and,
    // being first in its new record, gets the leading blank.
    std::string s78(78, 'a'), s79(79, 'b');
    list_item fits[] = {li(s78.c_str())};
    EXPECT_EQ(" " + s78 + "\n", unit_text("wrapfit", [&](int u) { out_list__(u, fits, 1); }));
    list_item moves[] = {li(1), li(s78.c_str())};
    EXPECT_EQ(" 1\n " + s78 + "\n", unit_text("wrapmove", [&](int u) { out_list__(u, moves, 2); }));
    std::string s76(76, 'c');
    list_item stays[] = {li(1), li(s76.c_str())};
    EXPECT_EQ(" 1" + s76 + "\n", unit_text("wrapstay", [&](int u) { out_list__(u, stays, 2); }));
    // An item longer than a record is written whole in a record of its own.
    list_item longer[] = {li(s79.c_str()), li(2)};
    EXPECT_EQ(" " + s79 + "\n 2\n", unit_text("wraplong", [&](int u) { out_list__(u, longer, 2); }));
}
