// The runtime room's texts at their edges, and Val, which reads the favorites' slot numbers.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QtNumeric>
#include <QLocale>

#include "runtime/rounding.h"
#include "runtime/run_time_error.h"
#include "runtime/texts.h"
#include "runtime/val.h"
#include "ui/twips.h"

namespace {

struct Texts : ::testing::Test {
    ~Texts() override { QLocale::setDefault(saved); }
    const QLocale saved;
};

TEST_F(Texts, NumbersAreNeverGroupedAndSizesUseTheLocalesPoint)
{
    QLocale::setDefault({QLocale::English, QLocale::UnitedStates}); // a locale that groups thousands
    for (const auto& [value, text] : {std::pair(1234567.5, "1234567.5"), {0.1 + 0.2, "0.3"}, {1e15, "1E+15"}})
        EXPECT_EQ(numberText(value), text) << value;
    QLocale::setDefault({QLocale::Japanese, QLocale::Japan});
    for (const auto& [bytes, text] : {std::pair(123456LL, "123.456"), {1500LL, "1.5"}, {1LL, "0.001"}, {5'000'000'001LL, "5000000.001"}})
        EXPECT_EQ(sizeText(bytes), text) << bytes << " bytes";
    QLocale::setDefault({QLocale::German, QLocale::Germany});
    EXPECT_EQ(sizeText(1234567250), "1234567,25") << "in German";
}

// In the user's locale, without zone or milliseconds. A file saved a few seconds after
// midnight still shows its time; only midnight to the second is a date without a time.
TEST_F(Texts, DateTextDropsTheTimeOnlyAtMidnightToTheSecond)
{
    QLocale::setDefault({QLocale::Japanese, QLocale::Japan});
    const std::pair<QTime, const char*> cases[] = {
        {QTime(2, 36, 12), "2000/05/20 2:36:12"}, {QTime(0, 0, 30), "2000/05/20 0:00:30"}, {QTime(0, 1, 0), "2000/05/20 0:01:00"},
        {QTime(1, 0, 0), "2000/05/20 1:00:00"}, {QTime(0, 0, 0), "2000/05/20"}, {QTime(0, 0, 0, 400), "2000/05/20"}};
    for (const auto& [time, shown] : cases)
        EXPECT_EQ(dateText(QDateTime(QDate(2000, 5, 20), time, Qt::LocalTime)), shown) << time.toString("H:mm:ss.zzz").toStdString();
}

TEST(RoundToInt32, NearestTiesToEvenWithinTheBoundsElseOverflow)
{
    const std::pair<double, std::int32_t> fits[] = {{2.5, 2}, {3.5, 4}, {-2.5, -2}, {2147483647.0, 2147483647},
                                                    {2147483647.4, 2147483647}, {-2147483648.0, -2147483647 - 1},
                                                    {-2147483648.5, -2147483647 - 1}};
    for (const auto& [value, rounded] : fits)
        EXPECT_EQ(roundToInt32(value), rounded) << value;
    for (const double value : {2147483647.5, 2147483648.0, -2147483649.0, qQNaN()})
        EXPECT_THROW(roundToInt32(value), RunTimeError) << value;
}

// 15 twips a pixel, to the nearest pixel either way.
TEST(Twips, ToTheNearestPixel)
{
    const std::pair<double, int> cases[] = {{7, 0}, {8, 1}, {22, 1}, {23, 2}, {2999, 200}, {-8, -1}, {-7, 0}};
    for (const auto& [twips, pixels] : cases)
        EXPECT_EQ(twips::toPixels(twips), pixels) << twips;
}

TEST(Val, ReadsTheNumberATextBeginsWith)
{
    const double inf = qInf();
    const std::pair<const char*, double> cases[] = {
        // Answers to the favorites prompt: these select slot 2, the next ones none.
        {"2", 2}, {" 2", 2}, {"2.0", 2}, {"2abc", 2}, {"&H2", 2}, {"+2", 2}, {"20e-1", 2}, {"２", 2}, {"＆Ｈ２", 2},
        {"0", 0}, {"7", 7}, {"1.5", 1.5}, {"", 0}, {"abc", 0}, {"-3", -3}, {"二", 0},
        // Blanks, tabs and line feeds skipped anywhere, CR not; a sign, digits, a point, an E or D exponent; "&H" and "&O" unsigned.
        {"- 1 . 5", -1.5}, {"1 e 2", 100}, {"& H 1 F", 31}, {"2\r3", 2}, {"1E+2", 100}, {"1e-2", 0.01}, {"1D2", 100},
        {"-.5", -0.5}, {"1.2.3", 1.2}, {"1e", 1}, {"--2", 0}, {"&O17", 15}, {"&o178", 15}, {"&hff", 255}, {"&H1G", 1},
        {"-&H2", 0}, {"&H7FFFFFFF", 2147483647.0}, {"&H80000000", 2147483648.0}, {"2147483648", 2147483648.0},
        {"1e400", inf}, {"-1e400", -inf}, {"1e-400", 0}, {"1e99999999999999999999", inf}};
    for (const auto& [text, value] : cases)
        EXPECT_EQ(Val(QString::fromUtf8(text)), value) << text;
}

} // namespace
