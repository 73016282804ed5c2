// The runtime room's texts at their edges.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QLocale>

#include "runtime/texts.h"

namespace {

// A file saved a few seconds after midnight still shows its time; only
// midnight to the second is a date without a time.
TEST(DateText, OnlyExactMidnightDropsTheTime)
{
    const QLocale saved;
    QLocale::setDefault({QLocale::Japanese, QLocale::Japan});
    const QDate day(2000, 5, 20);
    const std::pair<QTime, const char*> cases[] = {{QTime(0, 0, 30), "2000/05/20 0:00:30"},
                                                   {QTime(0, 1, 0), "2000/05/20 0:01:00"},
                                                   {QTime(1, 0, 0), "2000/05/20 1:00:00"},
                                                   {QTime(0, 0, 0), "2000/05/20"}};
    for (const auto& [time, shown] : cases)
        EXPECT_EQ(dateText(QDateTime(day, time, Qt::LocalTime)), shown) << time.toString().toStdString();
    QLocale::setDefault(saved);
}

} // namespace
