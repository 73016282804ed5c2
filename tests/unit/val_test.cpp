#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include <QString>

#include "platform/val.h"

namespace {

double val(const char* utf8) { return Val(QString::fromUtf8(utf8)); }

TEST(Val, AnswersThatSelectSlotTwo)
{
    for (const char* text : {"2", " 2", "2.0", "2abc", "&H2", "&h2", "+2", "2 ", "\t\n2", "2e0", "20e-1"})
        EXPECT_EQ(val(text), 2.0) << text;
}

TEST(Val, AnswersThatSelectNoSlot)
{
    EXPECT_EQ(val("0"), 0.0);
    EXPECT_EQ(val("7"), 7.0);
    EXPECT_EQ(val("1.5"), 1.5);
    EXPECT_EQ(val(""), 0.0);
    EXPECT_EQ(val("abc"), 0.0);
    EXPECT_EQ(val("-3"), -3.0);
    EXPECT_EQ(val("2.5"), 2.5);
}

TEST(Val, BlanksTabsAndLineFeedsAreSkippedAnywhere)
{
    EXPECT_EQ(val("1 2"), 12.0);
    EXPECT_EQ(val(" 1\t2\n3 "), 123.0);
    EXPECT_EQ(val("- 1 . 5"), -1.5);
    EXPECT_EQ(val("1 e 2"), 100.0);
    EXPECT_EQ(val("& H 1 F"), 31.0);
    // A carriage return is not a blank: it ends the number.
    EXPECT_EQ(val("2\r3"), 2.0);
    EXPECT_EQ(val("\r2"), 0.0);
}

TEST(Val, SignDigitsPointAndExponent)
{
    EXPECT_EQ(val("1e2"), 100.0);
    EXPECT_EQ(val("1E+2"), 100.0);
    EXPECT_EQ(val("1e-2"), 0.01);
    EXPECT_EQ(val("1D2"), 100.0);
    EXPECT_EQ(val("-2.5e1"), -25.0);
    EXPECT_EQ(val(".5"), 0.5);
    EXPECT_EQ(val("-.5"), -0.5);
    EXPECT_EQ(val("5."), 5.0);
    EXPECT_EQ(val("1.2.3"), 1.2);
    EXPECT_EQ(val("1,000"), 1.0);
    EXPECT_EQ(val("$5"), 0.0);
    // An exponent letter without digits is not part of the number.
    EXPECT_EQ(val("1e"), 1.0);
    EXPECT_EQ(val("1e+"), 1.0);
    EXPECT_EQ(val("3ex"), 3.0);
    // One sign only, and only in front.
    EXPECT_EQ(val("--2"), 0.0);
    EXPECT_EQ(val("+-2"), 0.0);
    EXPECT_EQ(val("2-1"), 2.0);
    EXPECT_EQ(val("."), 0.0);
    EXPECT_EQ(val("-"), 0.0);
    EXPECT_EQ(val("0.1"), 0.1);
    EXPECT_EQ(val("123456789012345678901234567890"), 123456789012345678901234567890.0);
}

TEST(Val, HexadecimalAndOctalPrefixes)
{
    EXPECT_EQ(val("&O17"), 15.0);
    EXPECT_EQ(val("&o17"), 15.0);
    EXPECT_EQ(val("&O178"), 15.0);
    EXPECT_EQ(val("&O8"), 0.0);
    EXPECT_EQ(val("&HFF"), 255.0);
    EXPECT_EQ(val("&hff"), 255.0);
    EXPECT_EQ(val("&HFFFF"), 65535.0);
    EXPECT_EQ(val("&H1G"), 1.0);
    EXPECT_EQ(val("&H"), 0.0);
    EXPECT_EQ(val("&"), 0.0);
    EXPECT_EQ(val("&X1"), 0.0);
    EXPECT_EQ(val("&17"), 0.0);
    EXPECT_EQ(val("-&H2"), 0.0);
    EXPECT_EQ(val("&H1.5"), 1.0);
}

TEST(Val, FullWidthFormsReadAsTheirAsciiCounterparts)
{
    EXPECT_EQ(val("２"), 2.0);
    EXPECT_EQ(val("　２"), 2.0);
    EXPECT_EQ(val("２．５"), 2.5);
    EXPECT_EQ(val("－３"), -3.0);
    EXPECT_EQ(val("＆Ｈ２"), 2.0);
    EXPECT_EQ(val("二"), 0.0);
    EXPECT_EQ(val("2番"), 2.0);
}

TEST(Val, OutOfRangeNumbersDoNotRaise)
{
    EXPECT_EQ(val("1e400"), std::numeric_limits<double>::infinity());
    EXPECT_EQ(val("-1e400"), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(val("1e-400"), 0.0);
    EXPECT_EQ(val("0e99999999999999999999"), 0.0);
    EXPECT_EQ(val("1e99999999999999999999"), std::numeric_limits<double>::infinity());
    EXPECT_EQ(val("0.000001e-99999999999"), 0.0);
    EXPECT_FALSE(std::isnan(Val(QString(100000, u'9'))));
    EXPECT_EQ(Val(QStringLiteral("&H") + QString(1000, u'F')), std::numeric_limits<double>::infinity());
}

} // namespace
