#include "util/libStamp.h"

#include <gtest/gtest.h>

#include <QDate>
#include <QTime>

TEST(libStamp, StampsAreZeroPaddedAndCutToTheirWidth)
{
    EXPECT_EQ(MakeDateStamp(QDate(2026, 1, 5)), "20260105");
    EXPECT_EQ(MakeDateStamp(QDate(987, 12, 31)), "09871231");
    EXPECT_EQ(MakeDateStamp(QDate(12345, 6, 7)), "23450607");
    EXPECT_EQ(MakeTimeStamp(QTime(7, 8, 9, 5)), "070809005");
    EXPECT_EQ(MakeTimeStamp(QTime(0, 0, 0, 0)), "000000000");
    EXPECT_EQ(MakeTimeStamp(QTime(23, 59, 59, 999)), "235959999");
}

TEST(libStamp, StampsTellTodayAndNow)
{
    // Checked against Qt's own formatting; a run across midnight tries again.
    for (int attempt = 0; attempt < 2; ++attempt) {
        const QDate day = QDate::currentDate();
        const std::string before = QTime::currentTime().toString("HHmmsszzz").toStdString();
        const std::string date = MakeDateStamp();
        const std::string time = MakeTimeStamp();
        const std::string after = QTime::currentTime().toString("HHmmsszzz").toStdString();
        if (QDate::currentDate() != day || after < before)
            continue;
        EXPECT_EQ(date, day.toString("yyyyMMdd").toStdString());
        EXPECT_EQ(time.size(), 9u);
        EXPECT_LE(before, time);
        EXPECT_LE(time, after);
        return;
    }
    FAIL() << "the clock went back twice";
}
