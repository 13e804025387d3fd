// Record control of a write operation: /, $, nX, groups, repeat counts,
// reversion, format syntax; and the list-directed items.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "support/output_support.h"

using namespace varnel::output;

namespace {

// Several write operations to one memory record, as successive writes to one
// unit.
struct memory_unit {
    char mem[4096];
    Record rec = memory_record(mem, sizeof mem);
    void write(const char* fmt, std::initializer_list<Value> vals = {})
    {
        const char* why = "";
        ASSERT_EQ(0, write_format(rec, fmt, vals.begin(), static_cast<int>(vals.size()), &why))
            << why;
    }
    std::string text() const { return std::string(mem, static_cast<size_t>(rec.mem_len)); }
};

std::string list_real_text(double v)
{
    char t[max_list_item];
    int n = list_real(t, v);
    return std::string(t, static_cast<size_t>(n));
}

}  // namespace

TEST(RecordControl, LiteralsAndPositioning)
{
    EXPECT_EQ(" Convergence\n", fmt_text("(' Convergence')", {}));
    EXPECT_EQ("      x\n", fmt_text("(6x,'x')", {}));
    EXPECT_EQ("  x\n", fmt_text("(1X, 1x ,'x')", {}));
    EXPECT_EQ("it's\n", fmt_text("('it''s')", {}));
    EXPECT_EQ("a\"b\n", fmt_text("(\"a\"\"b\")", {}));
    EXPECT_EQ("\n", fmt_text("()", {}));
    // Text after the closing parenthesis is ignored (blank-padded fields).
    EXPECT_EQ("ab\n", fmt_text("('ab')   garbage'", {}));
    // Blanks between and inside descriptors are ignored; letters in either case.
    EXPECT_EQ("  1.50   7\n", fmt_text("( F 6 . 2 , I 4 )", {R(1.5), I(7)}));
}

TEST(RecordControl, SkippedColumnsAtRecordEndWriteNothing)
{
    EXPECT_EQ("x\n", fmt_text("('x',8x)", {}));
    EXPECT_EQ("x\n\ny\n", fmt_text("('x',3x,/,2x,/,'y')", {}));
    // The repeated group ending in 8x: an empty line, the text line, then one
    // blank, F12.7, 8 + 1 blanks, F12.7, and the final 8x writes nothing.
    const std::string values = " " + std::string(3, ' ') + "1.5000000" + std::string(9, ' ') +
                               std::string(3, ' ') + "2.5000000";
    EXPECT_EQ("\n Old LogL less than New LogL\n" + values + "\n",
              fmt_text("(/,' Old LogL less than New LogL',/,2(1x,f12.7,8x))", {R(1.5), R(2.5)}));
}

TEST(RecordControl, SlashEndsTheOpenRecordOrWritesAnEmptyLine)
{
    memory_unit after_open;
    after_open.write("('Fit   ',$)");
    after_open.write("(/,'Boundaries   ',$)");
    after_open.write("(1x,f8.4,$)", {R(0.5)});
    after_open.write("()");
    EXPECT_EQ("Fit   \nBoundaries      0.5000\n", after_open.text());

    memory_unit after_complete;
    after_complete.write("('Fit')");
    after_complete.write("(/,'Boundaries   ',$)");
    after_complete.write("()");
    EXPECT_EQ("Fit\n\nBoundaries   \n", after_complete.text());
}

TEST(RecordControl, DollarKeepsTheRecordAndItsSkippedColumnsOpen)
{
    memory_unit u;
    u.write("('a',2x,$)");
    EXPECT_EQ("a", u.text());
    EXPECT_TRUE(u.rec.open);
    u.write("('b',$)");
    EXPECT_EQ("a  b", u.text());
    u.write("(1x,$)");
    u.write("(2x)");
    EXPECT_EQ("a  b\n", u.text());
    EXPECT_FALSE(u.rec.open);
    EXPECT_EQ(0, u.rec.col);
}

TEST(RecordControl, ValuesRunOutAtTheNextDataDescriptor)
{
    // Literals before the unused descriptor are written, those after are not.
    EXPECT_EQ("  1  2 and\n", fmt_text("(2i3,' and',i3,' more')", {I(1), I(2)}));
    EXPECT_EQ(" x\n", fmt_text("(1x,'x',f8.4,$)", {}));
    EXPECT_EQ("    1    2    3    4\n", fmt_text("(6(2x,1i3))", {I(1), I(2), I(3), I(4)}));
    EXPECT_EQ(" 1\n", fmt_text("(i2,:,' tail')", {I(1)}));
}

TEST(RecordControl, GroupsAndRepeatCounts)
{
    EXPECT_EQ("  1  2  3\n", fmt_text("(3i3)", {I(1), I(2), I(3)}));
    EXPECT_EQ("[ 1| 2| 3][ 4| 5| 6]\n",
              fmt_text("(2('[',i2,2('|',i2),']'))", {I(1), I(2), I(3), I(4), I(5), I(6)}));
    EXPECT_EQ("[ 1| 2| 3][ 4|\n", fmt_text("(2('[',i2,2('|',i2),']'))", {I(1), I(2), I(3), I(4)}));
    EXPECT_EQ("\n\n\nx\n", fmt_text("(3/,'x')", {}));
}

TEST(RecordControl, RemainingValuesRestartAtTheLastGroupInANewRecord)
{
    EXPECT_EQ("  1  2\n  3\n", fmt_text("(2i3)", {I(1), I(2), I(3)}));
    EXPECT_EQ("v: 1 2\n 3 4\n", fmt_text("('v:',(i2,i2))", {I(1), I(2), I(3), I(4)}));
    // A format without data descriptors does not loop on values it cannot take.
    EXPECT_EQ("x\n", fmt_text("('x')", {I(1)}));
}

TEST(RecordControl, FaultyFormatsAndValuesAreRefused)
{
    const char* faulty[] = {
        "f8.4",         "(f8.4",       "('abc)",        "(f8)",        "(e8.0)",
        "(q5)",         "(0i3)",       "(i)",           "(5)",         "(a8.2)",
        "(i3.4)",       "(f999.2)",    "((((((((('x'))))))))))",
    };
    for (const char* f : faulty)
        EXPECT_EQ("<fault:", fmt_text(f, {R(1.0)}).substr(0, 7)) << f;
    EXPECT_EQ("<fault:", fmt_text("(i3)", {R(1.0)}).substr(0, 7));
    EXPECT_EQ("<fault:", fmt_text("(f8.4)", {I(1)}).substr(0, 7));
    EXPECT_EQ("<fault:", fmt_text("(a8)", {I(1)}).substr(0, 7));
    std::string many = "(";
    for (int k = 0; k < max_descriptors; ++k)
        many += "1x,";
    many += "1x)";
    EXPECT_EQ("<fault:", fmt_text(many.c_str(), {}).substr(0, 7));
}

TEST(ListDirected, Items)
{
    char t[max_list_item];
    EXPECT_EQ(" 5", std::string(t, static_cast<size_t>(list_integer(t, 5))));
    EXPECT_EQ(" -12", std::string(t, static_cast<size_t>(list_integer(t, -12))));
    EXPECT_EQ(" 0", std::string(t, static_cast<size_t>(list_integer(t, 0))));
}

TEST(ListDirected, RealsPlainBetweenExponentsMinusFourAndEight)
{
    EXPECT_EQ("  0.", list_real_text(0.0));
    EXPECT_EQ("  0.", list_real_text(-0.0));
    EXPECT_EQ("  100.", list_real_text(100.0));
    EXPECT_EQ("  1.5", list_real_text(1.5));
    EXPECT_EQ(" -1.5", list_real_text(-1.5));
    EXPECT_EQ("  0.333333333", list_real_text(1.0 / 3.0));
    EXPECT_EQ(" -0.666666667", list_real_text(-2.0 / 3.0));
    EXPECT_EQ("  0.0001", list_real_text(0.0001));
    EXPECT_EQ("  123456789.", list_real_text(123456789.0));
    EXPECT_EQ("  12345.6789", list_real_text(12345.6789));
    EXPECT_EQ("  2.5E-05", list_real_text(0.000025));
}

TEST(ListDirected, RealsInExponentForm)
{
    EXPECT_EQ("  1.E-05", list_real_text(0.00001));
    EXPECT_EQ("  1.E+09", list_real_text(1e9));
    EXPECT_EQ(" -1.23456789E+10", list_real_text(-12345678901.0));
    EXPECT_EQ("  1.E+09", list_real_text(999999999.7));
    EXPECT_EQ("  1.E-100", list_real_text(1e-100));
    EXPECT_EQ("  1.79769313E+308", list_real_text(1.7976931348623157e308));
    EXPECT_EQ("  nan", list_real_text(std::numeric_limits<double>::quiet_NaN()));
    EXPECT_EQ(" -inf", list_real_text(-std::numeric_limits<double>::infinity()));
}
