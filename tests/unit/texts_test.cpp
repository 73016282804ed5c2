#include <gtest/gtest.h>

#include <QLocale>

#include "platform/texts.h"

namespace {

// Each test picks its locale; the default is restored afterwards.
class Texts : public ::testing::Test {
protected:
    ~Texts() override { QLocale::setDefault(saved); }
    static void use(QLocale::Language language, QLocale::Territory territory)
    {
        QLocale::setDefault(QLocale(language, territory));
    }
    QLocale saved;
};

QDateTime local(int y, int mo, int d, int h, int mi, int s, int ms = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms), Qt::LocalTime);
}

} // namespace

TEST_F(Texts, NumberTextIsTheGeneralFormat)
{
    use(QLocale::English, QLocale::UnitedStates); // a locale that groups thousands
    EXPECT_EQ(numberText(123.456), "123.456");
    EXPECT_EQ(numberText(1.5), "1.5");
    EXPECT_EQ(numberText(2), "2");
    EXPECT_EQ(numberText(0), "0");
    EXPECT_EQ(numberText(-0.0), "0");
    EXPECT_EQ(numberText(-2.25), "-2.25");
    EXPECT_EQ(numberText(1234567.5), "1234567.5");
    EXPECT_EQ(numberText(0.1 + 0.2), "0.3");
    EXPECT_EQ(numberText(1.0 / 3), "0.333333333333333");
    EXPECT_EQ(numberText(123456789012345.0), "123456789012345");
    EXPECT_EQ(numberText(1e15), "1E+15");
    EXPECT_EQ(numberText(0.0001), "0.0001");
    EXPECT_EQ(numberText(0.00001), "1E-05");
}

TEST_F(Texts, NumberTextUsesTheLocalesDecimalPoint)
{
    use(QLocale::German, QLocale::Germany);
    EXPECT_EQ(numberText(1.5), "1,5");
    EXPECT_EQ(numberText(1234567.25), "1234567,25");
    use(QLocale::Japanese, QLocale::Japan);
    EXPECT_EQ(numberText(1.5), "1.5");
}

TEST_F(Texts, SizeTextIsBytesByThousand)
{
    use(QLocale::Japanese, QLocale::Japan);
    EXPECT_EQ(sizeText(123456), "123.456");
    EXPECT_EQ(sizeText(1500), "1.5");
    EXPECT_EQ(sizeText(2000), "2");
    EXPECT_EQ(sizeText(0), "0");
    EXPECT_EQ(sizeText(1), "0.001");
    EXPECT_EQ(sizeText(1024), "1.024");
    EXPECT_EQ(sizeText(5'000'000'001LL), "5000000.001");
}

TEST_F(Texts, JapaneseDateTextHasShortDateAndLongTimeWithoutZone)
{
    use(QLocale::Japanese, QLocale::Japan);
    EXPECT_EQ(dateText(local(2000, 5, 20, 2, 36, 12)), "2000/05/20 2:36:12");
    EXPECT_EQ(dateText(local(2000, 5, 20, 23, 59, 59)), "2000/05/20 23:59:59");
    EXPECT_EQ(dateText(local(2000, 5, 20, 12, 0, 0)), "2000/05/20 12:00:00");
    EXPECT_EQ(dateText(local(2000, 5, 20, 0, 0, 1)), "2000/05/20 0:00:01");
}

TEST_F(Texts, MidnightShowsTheDateAlone)
{
    use(QLocale::Japanese, QLocale::Japan);
    EXPECT_EQ(dateText(local(2000, 5, 20, 0, 0, 0)), "2000/05/20");
    EXPECT_EQ(dateText(local(1999, 12, 31, 0, 0, 0, 400)), "1999/12/31"); // within the second
    use(QLocale::English, QLocale::UnitedStates);
    EXPECT_EQ(dateText(local(2000, 5, 20, 0, 0, 0)), "5/20/00");
}

TEST_F(Texts, OtherLocalesKeepTheirOwnOrderAndClock)
{
    use(QLocale::English, QLocale::UnitedStates);
    EXPECT_EQ(dateText(local(2000, 5, 20, 14, 36, 12)), "5/20/00 2:36:12 PM");
    use(QLocale::German, QLocale::Germany);
    EXPECT_EQ(dateText(local(2000, 5, 20, 2, 36, 12)), "20.05.00 02:36:12");
}

TEST_F(Texts, EveryLocalesLongTimeHasSecondsAndNoZone)
{
    const QList<QLocale> locales = QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory);
    ASSERT_GT(locales.size(), 100);
    const QString zone = QDateTime::currentDateTime().timeZoneAbbreviation();
    for (const QLocale& locale : locales) {
        const QString format = longTimeFormat(locale);
        const QString shown = locale.toString(QTime(13, 36, 12), format);
        EXPECT_TRUE(shown.contains(locale.toString(12))) << locale.name().toStdString() << " " << format.toStdString();
        EXPECT_FALSE(format.contains(QLatin1Char('t')) && !format.contains(QLatin1Char('\'')))
            << locale.name().toStdString() << " " << format.toStdString();
        if (!zone.isEmpty())
            EXPECT_FALSE(shown.contains(zone)) << locale.name().toStdString() << " " << shown.toStdString();
    }
}
