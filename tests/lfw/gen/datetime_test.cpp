#include "lfw/gen/LDateTime.h"

#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>

namespace {

// Central European time with its summer time, written out so that no time-zone files are needed.
class DateTime : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
        tzset();
    }
};

struct tm Local(time_t t)
{
    struct tm fields;
    localtime_r(&t, &fields);
    return fields;
}

time_t Make(int year, int month, int day, int hour = 0, int minute = 0, int second = 0)
{
    time_t t = 0;
    LDateTime::SetDateTime(t, year, month, day, hour, minute, second);
    return t;
}

void ExpectDate(time_t t, int year, int month, int day, int hour = 0, int minute = 0)
{
    struct tm f = Local(t);
    EXPECT_EQ(f.tm_year + 1900, year);
    EXPECT_EQ(f.tm_mon + 1, month);
    EXPECT_EQ(f.tm_mday, day);
    EXPECT_EQ(f.tm_hour, hour);
    EXPECT_EQ(f.tm_min, minute);
}

} // namespace

TEST_F(DateTime, TextsOfAValue)
{
    char date[32], time[32];
    LDateTime::GetDateTime(0, date, time);
    EXPECT_STREQ(date, "");
    EXPECT_STREQ(time, "");
    time_t t = Make(2024, 7, 5, 9, 3, 7);
    LDateTime::GetDateTime(t, date, time);
    EXPECT_STREQ(date, "2024-07-05");
    EXPECT_STREQ(time, "09:03:07");
    LDateTime::GetTimeHHHMMHSS(t, time);
    EXPECT_STREQ(time, "09-03-07");
    LDateTime::GetTimeHHHMMHSS(0, time);
    EXPECT_STREQ(time, "");
    // Summer time: 12:00 UTC is 14:00 in Stockholm in July.
    LDateTime::GetDateTime(1720180800, date, time); // 2024-07-05 12:00:00 UTC
    EXPECT_STREQ(time, "14:00:00");
}

TEST_F(DateTime, ReadingTextsAndTheYearRule)
{
    time_t t = 12345;
    LDateTime::SetDateTime(t, "", "10:00:00");
    EXPECT_EQ(t, 0);
    LDateTime::SetDateTime(t, "69-1-1", "");
    ExpectDate(t, 2069, 1, 1);
    LDateTime::SetDateTime(t, "70-1-1", nullptr);
    ExpectDate(t, 1970, 1, 1);
    LDateTime::SetDateTime(t, "1899-6-1", "");
    ExpectDate(t, 3799, 6, 1);
    LDateTime::SetDateTime(t, "2024-2-30", "");
    ExpectDate(t, 2024, 3, 1);
    LDateTime::SetDateTime(t, "2024-5-6", "7:08:09");
    ExpectDate(t, 2024, 5, 6, 7, 8);
    EXPECT_EQ(Local(t).tm_sec, 9);
    // Fields missing from the text keep 2000-01-01 00:00:00 (year 0 means 2000).
    LDateTime::SetDateTime(t, "2023", "12");
    ExpectDate(t, 2023, 1, 1, 12);
    LDateTime::SetDateTime(t, "x", "");
    ExpectDate(t, 2000, 1, 1);
    // Month 0 is December of the year before.
    ExpectDate(Make(2024, 0, 15), 2023, 12, 15);
}

TEST_F(DateTime, DaysInMonth)
{
    EXPECT_EQ(LDateTime::GetNumberOfDaysInMonth(1900, 2), 28);
    EXPECT_EQ(LDateTime::GetNumberOfDaysInMonth(2000, 2), 29);
    EXPECT_EQ(LDateTime::GetNumberOfDaysInMonth(2024, 2), 29);
    EXPECT_EQ(LDateTime::GetNumberOfDaysInMonth(2023, 2), 28);
    EXPECT_EQ(LDateTime::GetNumberOfDaysInMonth(2023, 4), 30);
    EXPECT_EQ(LDateTime::GetNumberOfDaysInMonth(2023, 12), 31);
    EXPECT_EQ(LDateTime::GetNumberOfDaysInMonth(2024, 13), 0);
    EXPECT_EQ(LDateTime::GetNumberOfDaysInMonth(2024, 0), 0);
}

TEST_F(DateTime, AdjustByMonths)
{
    ExpectDate(LDateTime(Make(2023, 1, 31, 10, 30)).AdjustByMonths(1), 2023, 2, 28, 10, 30);
    ExpectDate(LDateTime(Make(2024, 1, 31)).AdjustByMonths(1), 2024, 2, 29);
    ExpectDate(LDateTime(Make(2024, 1, 15)).AdjustByMonths(-1), 2023, 12, 15);
    ExpectDate(LDateTime(Make(2024, 1, 10)).AdjustByMonths(-13), 2022, 12, 10);
    ExpectDate(LDateTime(Make(2024, 1, 10)).AdjustByMonths(-12), 2023, 1, 10);
    ExpectDate(LDateTime(Make(2024, 11, 30)).AdjustByMonths(14), 2026, 1, 30);
    ExpectDate(LDateTime(Make(2024, 3, 31)).AdjustByMonths(0), 2024, 3, 31);
    // The time of day stays across a change to summer time.
    ExpectDate(LDateTime(Make(2024, 2, 20, 12, 0)).AdjustByMonths(2), 2024, 4, 20, 12, 0);
}

TEST_F(DateTime, BuildDateAndSystemReleaseDates)
{
    ExpectDate(LDateTime::BuildDateFromText("Mar  7 2021"), 2021, 3, 7);
    ExpectDate(LDateTime::BuildDateFromText("Xyz 15 2021"), 2020, 12, 15);
    time_t build = LDateTime::GetBuildDate();
    EXPECT_GT(build, Make(2024, 1, 1));
    EXPECT_EQ(Local(build).tm_hour, 0);

    ExpectDate(LDateTime::OSReleaseDateFor(10, 9), 2013, 10, 22);
    ExpectDate(LDateTime::OSReleaseDateFor(10, 15), 2019, 10, 7);
    EXPECT_EQ(LDateTime::OSReleaseDateFor(10, 16), 0x7FFFFFFF);
    EXPECT_EQ(LDateTime::OSReleaseDateFor(11, 0), 0x7FFFFFFF);
    EXPECT_EQ(LDateTime::OSReleaseDateFor(10, 8), 0x7FFFFFFF);
    int major = -1, minor = -1;
    LGetOSVersion(major, minor);
    EXPECT_GT(major, 0);
    EXPECT_EQ(gLOSVersionMajor, major);
}
