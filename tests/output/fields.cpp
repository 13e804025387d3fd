// Field rules of the format interpreter: F, E, G, I and A fields.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "support/output_support.h"

using namespace varnel::output;

namespace {
const double nan_value = std::numeric_limits<double>::quiet_NaN();
const double inf_value = std::numeric_limits<double>::infinity();
}  // namespace

TEST(FixedField, RightJustifiedWithExactlyDDecimals)
{
    EXPECT_EQ("  0.5000", format_one("(f8.4)", 0.5));
    EXPECT_EQ(" -0.5000", format_one("(f8.4)", -0.5));
    EXPECT_EQ("1234.568", format_one("(f8.3)", 1234.5678));
    EXPECT_EQ("  12.00000000", format_one("(f13.8)", 12.0));
    EXPECT_EQ("  0.0001", format_one("(f8.4)", 0.00005001));
    EXPECT_EQ(" -2.6667", format_one("(f8.4)", -8.0 / 3.0));
    EXPECT_EQ("   3.", format_one("(f5.0)", 3.0));
    EXPECT_EQ("  -4.", format_one("(f5.0)", -3.5001));
}

TEST(FixedField, NegativeValueRoundingToZeroHasNoSign)
{
    EXPECT_EQ("  0.0000", format_one("(f8.4)", 0.00004));
    EXPECT_EQ("  0.0000", format_one("(f8.4)", -0.00004));
    EXPECT_EQ("  0.0000", format_one("(f8.4)", -0.0));
    EXPECT_EQ("  0.0000", format_one("(f8.4)", 0.0));
    EXPECT_EQ(" -0.0001", format_one("(f8.4)", -0.00006));
}

TEST(FixedField, LeadingZeroGivesWayOnlyWhenOneColumnShort)
{
    EXPECT_EQ("0.5000", format_one("(f6.4)", 0.5));
    EXPECT_EQ("-.5000", format_one("(f6.4)", -0.5));
    EXPECT_EQ(".5000", format_one("(f5.4)", 0.5));
    EXPECT_EQ("*****", format_one("(f5.4)", -0.5));
    EXPECT_EQ("****", format_one("(f4.4)", 0.5));
}

TEST(FixedField, OverflowFillsWithAsterisks)
{
    EXPECT_EQ("*******", format_one("(f7.3)", 1234.5678));
    EXPECT_EQ("*******", format_one("(f7.3)", -123.4567));
    EXPECT_EQ("-123.457", format_one("(f8.3)", -123.4567));
    // 9.9996 rounds up to a second integer digit.
    EXPECT_EQ("******", format_one("(f6.3)", -9.9996));
    EXPECT_EQ("10.000", format_one("(f6.3)", 9.9996));
    EXPECT_EQ("********", format_one("(f8.4)", 1e300));
}

TEST(FixedField, NotANumberAndInfinity)
{
    EXPECT_EQ("     nan", format_one("(f8.4)", nan_value));
    EXPECT_EQ("     nan", format_one("(f8.4)", -nan_value));
    EXPECT_EQ("     inf", format_one("(f8.4)", inf_value));
    EXPECT_EQ("    -inf", format_one("(f8.4)", -inf_value));
    EXPECT_EQ("-inf", format_one("(f4.1)", -inf_value));
    EXPECT_EQ("***", format_one("(f3.1)", -inf_value));
    EXPECT_EQ("**", format_one("(f2.1)", nan_value));
}

TEST(ExponentField, FractionBelowOneWithFourCharacterExponent)
{
    EXPECT_EQ("  0.12500000000000E+02", format_one("(e22.14)", 12.5));
    EXPECT_EQ(" -0.10000000000000E-02", format_one("(e22.14)", -0.001));
    EXPECT_EQ("  0.00000000000000E+00", format_one("(e22.14)", 0.0));
    EXPECT_EQ("  0.10000000000000E+01", format_one("(e22.14)", 1.0));
    EXPECT_EQ("  0.33333333333333E+00", format_one("(e22.14)", 1.0 / 3.0));
    EXPECT_EQ(" -0.66666666666667E+01", format_one("(e22.14)", -20.0 / 3.0));
    // Rounding that carries into a new leading digit raises the exponent.
    EXPECT_EQ("  0.10000000000000E+01", format_one("(e22.14)", 0.999999999999999999));
    EXPECT_EQ("  0.100E+04", format_one("(e11.3)", 999.96));
}

TEST(ExponentField, LeadingZeroOnlyWhenThereIsRoom)
{
    EXPECT_EQ("0.125E+02", format_one("(e9.3)", 12.5));
    EXPECT_EQ(".125E+02", format_one("(e8.3)", 12.5));
    EXPECT_EQ("-.125E+02", format_one("(e9.3)", -12.5));
    EXPECT_EQ("*******", format_one("(e7.3)", 12.5));
    EXPECT_EQ("********", format_one("(e8.3)", -12.5));
}

TEST(ExponentField, ThreeDigitExponentDropsTheLetter)
{
    EXPECT_EQ("  0.12345678901235+123", format_one("(e22.14)", 1.2345678901234567e122));
    EXPECT_EQ(" -0.10000000000000E-99", format_one("(e22.14)", -1e-100));
    EXPECT_EQ(" -0.10000000000000-100", format_one("(e22.14)", -1e-101));
    EXPECT_EQ("  0.10000000000000E-98", format_one("(e22.14)", 1e-99));
    EXPECT_EQ("  0.49406564584125-323", format_one("(e22.14)", 4.9406564584124654e-324));
}

TEST(ExponentField, NotANumberAndInfinity)
{
    EXPECT_EQ("                   nan", format_one("(e22.14)", nan_value));
    EXPECT_EQ("                  -inf", format_one("(e22.14)", -inf_value));
    EXPECT_EQ("                   inf", format_one("(e22.14)", inf_value));
}

TEST(GeneralField, FixedFormWithFourTrailingBlanks)
{
    EXPECT_EQ(".5000000    ", format_one("(g12.7)", 0.5));
    EXPECT_EQ("1.500000    ", format_one("(g12.7)", 1.5));
    EXPECT_EQ("12.50000    ", format_one("(g12.7)", 12.5));
    EXPECT_EQ("1234567.    ", format_one("(g12.7)", 1234567.0));
    EXPECT_EQ("0.000000    ", format_one("(g12.7)", 0.0));
    EXPECT_EQ(".1000000    ", format_one("(g12.7)", 0.1));
    // A negative value needs one column more than F8.6 has.
    EXPECT_EQ("********    ", format_one("(g12.7)", -1.5));
    EXPECT_EQ("   -12.50000    ", format_one("(g16.7)", -12.5));
}

TEST(GeneralField, ExponentFormForSmallAndLargeMagnitudes)
{
    EXPECT_EQ("0.5000000E-01", format_one("(g13.7)", 0.05));
    EXPECT_EQ(".5000000E-01", format_one("(g12.7)", 0.05));
    EXPECT_EQ(".1000000E+08", format_one("(g12.7)", 1e7));
    EXPECT_EQ("************", format_one("(g12.7)", -0.05));
    EXPECT_EQ("         nan", format_one("(g12.7)", nan_value));
}

TEST(IntegerField, RightJustifiedOrAsterisks)
{
    EXPECT_EQ("**", format_one("(i2)", 100));
    EXPECT_EQ(" -5", format_one("(i3)", -5));
    EXPECT_EQ("**", format_one("(i2)", -10));
    EXPECT_EQ("-9", format_one("(i2)", -9));
    EXPECT_EQ("    0", format_one("(1i5)", 0));
    EXPECT_EQ("  17", format_one("(I4)", 17));
    EXPECT_EQ("-2147483648", format_one("(i11)", -2147483647 - 1));
    EXPECT_EQ("**********", format_one("(i10)", -2147483647 - 1));
    EXPECT_EQ("  007", format_one("(i5.3)", 7));
}

TEST(TextField, RightJustifiesShortItemsAndCutsLongOnes)
{
    const char* hundred =
        "abcdefghijklmnopqrstuvwxyz0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ"
        "abcdefghijklmnopqrstuvwxyz0123456789AB";
    EXPECT_EQ("abcdefghijklmnop", format_one("(1a16)", T(hundred, 100)));
    EXPECT_EQ("    name", format_one("(a8)", T("name")));
    EXPECT_EQ("name", format_one("(a)", T("name")));
    EXPECT_EQ("na", format_one("(a2)", T("name")));
    // A NUL ends the text inside its field; the rest of the field is blanks.
    EXPECT_EQ("ab      ", format_one("(a8)", T("ab\0zzzzzz", 8)));
    EXPECT_EQ("ab  ", format_one("(a4)", T("ab\0zzzzzz", 8)));
}

TEST(TextField, PureFieldFunctionsMatchTheWriter)
{
    char out[16];
    text_field(out, 6, "xy", 2);
    EXPECT_EQ("    xy", std::string(out, 6));
    fixed_field(out, 6, 4, -0.5);
    EXPECT_EQ("-.5000", std::string(out, 6));
    exponent_field(out, 9, 3, 12.5);
    EXPECT_EQ("0.125E+02", std::string(out, 9));
    integer_field(out, 3, -1, -5);
    EXPECT_EQ(" -5", std::string(out, 3));
    general_field(out, 12, 7, 2.0);
    EXPECT_EQ("2.000000    ", std::string(out, 12));
}
