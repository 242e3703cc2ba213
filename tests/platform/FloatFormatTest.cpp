// Floating-point text: the five FloatToStrF formats over a table of values that cross each
// rule's edge (the general form's switch to scientific notation, precision limiting the fixed
// forms, halves rounding away from zero in decimal, signs of values that round to zero), and
// StrToFloat's accepted syntax.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/rtl/FloatFormat.h"

using namespace rtl;

namespace {

struct Case {
    double value;
    TFloatFormat format;
    int precision, digits;
    const char* text;
};

const std::string Yen = CurrencyString;

}  // namespace

TEST(FloatToStrF, GeneralSwitchesToScientificAtItsLimits)
{
    const Case cases[] = {
        {5.5, ffGeneral, 15, 0, "5.5"},
        {91, ffGeneral, 15, 0, "91"},
        {-91, ffGeneral, 15, 0, "-91"},
        {0, ffGeneral, 15, 0, "0"},
        // Fixed notation holds down to 0.00001; below it the exponent form takes over.
        {0.00001, ffGeneral, 15, 0, "0.00001"},
        {0.000001, ffGeneral, 15, 0, "1E-6"},
        {-0.0000015, ffGeneral, 15, 2, "-1.5E-06"},
        // An integer part longer than the precision goes scientific.
        {1E14, ffGeneral, 15, 0, "100000000000000"},
        {1E15, ffGeneral, 15, 0, "1E15"},
        {1234567890, ffGeneral, 9, 0, "1.23456789E9"},
        {999999, ffGeneral, 5, 0, "1E6"},
        {9.9999, ffGeneral, 3, 0, "10"},
        {0.1 + 0.2, ffGeneral, 15, 0, "0.3"},
        {1.0 / 3, ffGeneral, 15, 0, "0.333333333333333"},
        {2.5, ffGeneral, 1, 0, "3"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FloatToStrF(c.value, c.format, c.precision, c.digits), c.text) << c.value;
    EXPECT_EQ(FloatToStr(1E15), "1E15");
    EXPECT_EQ(FloatToStr(-2.25), "-2.25");
}

TEST(FloatToStrF, ExponentKeepsEveryDigitAndASignedExponent)
{
    const Case cases[] = {
        {1234.5, ffExponent, 4, 2, "1.235E+03"},
        {5.5, ffExponent, 4, 2, "5.500E+00"},
        {-0.00001, ffExponent, 3, 0, "-1.00E-5"},
        {0, ffExponent, 3, 2, "0.00E+00"},
        {1234, ffExponent, 1, 0, "1E+3"},
        {9.96, ffExponent, 2, 1, "1.0E+1"},
        {1E15, ffExponent, 2, 4, "1.0E+0015"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FloatToStrF(c.value, c.format, c.precision, c.digits), c.text) << c.value;
}

TEST(FloatToStrF, FixedNumberAndCurrency)
{
    const Case cases[] = {
        {5.5, ffFixed, 9, 2, "5.50"},
        {91, ffFixed, 9, 0, "91"},
        {0.00001, ffFixed, 9, 2, "0.00"},
        {-0.001, ffFixed, 9, 2, "0.00"},  // no "-0.00"
        {-0.005, ffFixed, 9, 2, "-0.01"},
        // Halves go away from zero on the decimal digits; 1.005 is a little below its half.
        {0.125, ffFixed, 9, 2, "0.13"},
        {2.5, ffFixed, 9, 0, "3"},
        {-2.5, ffFixed, 9, 0, "-3"},
        {1.005, ffFixed, 9, 2, "1.00"},
        {99.5, ffFixed, 9, 0, "100"},
        {0.4, ffFixed, 9, 0, "0"},
        // Precision limits the significant digits, and a longer integer part goes general.
        {1234.5678, ffFixed, 4, 2, "1235.00"},
        {12345, ffFixed, 4, 2, "1.235E4"},
        {1E15, ffFixed, 15, 2, "1E15"},
        {1234567.891, ffNumber, 15, 2, "1,234,567.89"},
        {-1234.5, ffNumber, 9, 2, "-1,234.50"},
        {999.999, ffNumber, 9, 2, "1,000.00"},
        {100, ffNumber, 9, 0, "100"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FloatToStrF(c.value, c.format, c.precision, c.digits), c.text) << c.value;
    // The Japanese layouts: the sign before the yen sign, grouped digits.
    EXPECT_EQ(FloatToStrF(5.5, ffCurrency, 9, 0), Yen + "6");
    EXPECT_EQ(FloatToStrF(1234567, ffCurrency, 9, 0), Yen + "1,234,567");
    EXPECT_EQ(FloatToStrF(-1234.5, ffCurrency, 9, 0), "-" + Yen + "1,235");
    EXPECT_EQ(FloatToStrF(-0.25, ffCurrency, 9, 2), "-" + Yen + "0.25");
}

TEST(FloatToStrF, SpecialValuesAndOutOfRangeArguments)
{
    const double inf = std::numeric_limits<double>::infinity();
    for (TFloatFormat f : {ffGeneral, ffExponent, ffFixed, ffNumber, ffCurrency}) {
        EXPECT_EQ(FloatToStrF(std::nan(""), f, 9, 2), "NAN");
        EXPECT_EQ(FloatToStrF(inf, f, 9, 2), "INF");
        EXPECT_EQ(FloatToStrF(-inf, f, 9, 2), "-INF");
    }
    // Precision and digits are brought into their ranges rather than misread.
    EXPECT_EQ(FloatToStrF(5.5, ffGeneral, 0, 0), "6");
    EXPECT_EQ(FloatToStrF(5.5, ffFixed, 9, -3), "6");
    EXPECT_EQ(FloatToStrF(1E-300, ffFixed, 18, 40), "0.000000000000000000");
    EXPECT_EQ(FloatToStrF(1.7976931348623157E308, ffGeneral, 18, 0), "1.7976931348623157E308");
}

TEST(StrToFloat, AcceptsTheLibrarySyntaxOnly)
{
    EXPECT_DOUBLE_EQ(StrToFloat("1.5"), 1.5);
    EXPECT_DOUBLE_EQ(StrToFloat("  -2.5e3 "), -2500);
    EXPECT_DOUBLE_EQ(StrToFloat("+.5"), 0.5);
    EXPECT_DOUBLE_EQ(StrToFloat("7."), 7);
    EXPECT_DOUBLE_EQ(StrToFloat("1E-2"), 0.01);
    for (const char* bad : {"", " ", "1,234", "abc", "1e", "1e+", ".", "-", "inf", "nan", "0x10",
                            "1.2.3", "1e400", "5 5"}) {
        double v = 42;
        EXPECT_FALSE(TryStrToFloat(bad, v)) << bad;
        EXPECT_EQ(v, 42) << bad;
        EXPECT_THROW(StrToFloat(bad), EConvertError) << bad;
    }
    // What FloatToStr writes reads back to the same value.
    for (double v : {0.1, -123.456, 1E15, 1E-6, 5.5})
        EXPECT_DOUBLE_EQ(StrToFloat(FloatToStr(v)), v) << v;
}
