// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/DateTime.h"

#include "platform/Exceptions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace ostrel {
namespace {

const std::string InvalidDate = "日付に変換できない値が渡されました";
const std::string InvalidTime = "時刻に変換できない値が渡されました";

struct TDayCase {
    int Year, Month, Day;
    double Expected;
};

TEST(EncodeDateTest, DayNumbers) {
    const TDayCase cases[] = {
        {1899, 12, 30, 0},  {1899, 12, 29, -1},      {1900, 1, 1, 2},
        {1900, 3, 1, 61},   {2011, 7, 16, 40740},    {2000, 2, 29, 36585},
        {1, 1, 1, -693593}, {9999, 12, 31, 2958465}, {1600, 2, 29, -109512},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.Expected, EncodeDate(c.Year, c.Month, c.Day))
            << c.Year << "-" << c.Month << "-" << c.Day;
        const TDate back = DecodeDate(c.Expected);
        EXPECT_EQ(c.Year, back.Year);
        EXPECT_EQ(c.Month, back.Month);
        EXPECT_EQ(c.Day, back.Day);
    }
}

TEST(EncodeDateTest, InvalidDatesThrowTheDateText) {
    const TDate cases[] = {{2011, 13, 1}, {2011, 0, 1}, {2011, 2, 29}, {1900, 2, 29}, {2011, 4, 31},
                           {2011, 7, 0},  {0, 1, 1},    {10000, 1, 1}, {-5, 1, 1}};
    for (const auto& c : cases) {
        EXPECT_FALSE(IsValidDate(c.Year, c.Month, c.Day));
        try {
            EncodeDate(c.Year, c.Month, c.Day);
            ADD_FAILURE() << "no error for " << c.Year << "-" << c.Month << "-" << c.Day;
        } catch (const EConvertError& e) {
            EXPECT_EQ(InvalidDate, e.what());
        }
    }
}

TEST(EncodeTimeTest, FractionsAndErrors) {
    EXPECT_EQ(0.0, EncodeTime(0, 0, 0, 0));
    EXPECT_EQ(0.5, EncodeTime(12, 0, 0, 0));
    EXPECT_EQ(0.25, EncodeTime(6, 0, 0, 0));
    EXPECT_EQ(86399999.0 / 86400000.0, EncodeTime(23, 59, 59, 999));
    const TTimeOfDay bad[] = {
        {24, 0, 0, 0}, {0, 60, 0, 0}, {0, 0, 60, 0}, {0, 0, 0, 1000}, {-1, 0, 0, 0}};
    for (const auto& t : bad) {
        try {
            EncodeTime(t.Hour, t.Minute, t.Second, t.Milliseconds);
            ADD_FAILURE() << "no error for " << t.Hour << ":" << t.Minute << ":" << t.Second;
        } catch (const EConvertError& e) {
            EXPECT_EQ(InvalidTime, e.what());
        }
    }
}

struct TDecodeCase {
    double Value;
    TDate Date;
    TTimeOfDay Time;
};

TEST(DecodeDateTimeTest, Table) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const TDecodeCase cases[] = {
        {40740.5, {2011, 7, 16}, {12, 0, 0, 0}},
        {40740 + EncodeTime(9, 5, 59, 999), {2011, 7, 16}, {9, 5, 59, 999}},
        // Rounded to the millisecond, into the next day.
        {40740 + 86399999.6 / 86400000.0, {2011, 7, 17}, {0, 0, 0, 0}},
        {0, {1899, 12, 30}, {0, 0, 0, 0}},
        // Before day 0 the integer part is the day, the fraction's magnitude the time.
        {-1.25, {1899, 12, 29}, {6, 0, 0, 0}},
        {-0.5, {1899, 12, 30}, {12, 0, 0, 0}},
        {2958465.75, {9999, 12, 31}, {18, 0, 0, 0}},
        {2958466.0, {0, 0, 0}, {0, 0, 0, 0}},
        {-693594.0, {0, 0, 0}, {0, 0, 0, 0}},
        {1e300, {0, 0, 0}, {0, 0, 0, 0}},
        {nan, {0, 0, 0}, {0, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        const TDateTimeParts parts = DecodeDateTime(c.Value);
        SCOPED_TRACE(c.Value);
        EXPECT_EQ(c.Date.Year, parts.Date.Year);
        EXPECT_EQ(c.Date.Month, parts.Date.Month);
        EXPECT_EQ(c.Date.Day, parts.Date.Day);
        EXPECT_EQ(c.Time.Hour, parts.Time.Hour);
        EXPECT_EQ(c.Time.Minute, parts.Time.Minute);
        EXPECT_EQ(c.Time.Second, parts.Time.Second);
        EXPECT_EQ(c.Time.Milliseconds, parts.Time.Milliseconds);
        EXPECT_EQ(c.Time.Minute, DecodeTime(c.Value).Minute);
        EXPECT_EQ(c.Date.Day, DecodeDate(c.Value).Day);
    }
}

TEST(SystemTimeToDateTimeTest, ValidTimes) {
    EXPECT_EQ(40740 + EncodeTime(9, 5, 30, 250),
              SystemTimeToDateTime({2011, 7, 6, 16, 9, 5, 30, 250}));
    // The day of the week is not looked at.
    EXPECT_EQ(40740.5, SystemTimeToDateTime({2011, 7, 0xFFFF, 16, 12, 0, 0, 0}));
    // Before 1899-12-30 the time is subtracted, so it decodes to itself.
    const double early = SystemTimeToDateTime({1899, 12, 0, 29, 6, 0, 0, 0});
    EXPECT_EQ(-1.25, early);
    EXPECT_EQ(6, DecodeTime(early).Hour);
}

TEST(SystemTimeToDateTimeTest, DateIsTestedBeforeTime) {
    struct TCase {
        TSystemTime Time;
        const std::string& Text;
    };
    const TCase cases[] = {
        {{2011, 13, 0, 16, 9, 0, 0, 0}, InvalidDate},
        {{2011, 13, 0, 16, 25, 0, 0, 0}, InvalidDate},
        {{0, 1, 0, 1, 0, 0, 0, 0}, InvalidDate},
        {{2011, 2, 0, 29, 0, 0, 0, 0}, InvalidDate},
        {{2011, 7, 0, 16, 24, 0, 0, 0}, InvalidTime},
        {{2011, 7, 0, 16, 0, 60, 0, 0}, InvalidTime},
        {{2011, 7, 0, 16, 0, 0, 60, 0}, InvalidTime},
        {{2011, 7, 0, 16, 0, 0, 0, 1000}, InvalidTime},
    };
    for (const auto& c : cases) {
        try {
            SystemTimeToDateTime(c.Time);
            ADD_FAILURE() << "no error";
        } catch (const EConvertError& e) {
            EXPECT_EQ(c.Text, e.what());
        }
    }
}

TEST(ExpandTwoDigitYearTest, CenturyWindowOfFifty) {
    struct TCase {
        int TwoDigits, CurrentYear, Expected;
    };
    const TCase cases[] = {
        {11, 2011, 2011}, {61, 2011, 1961}, {60, 2011, 2060}, {0, 2011, 2000},
        {99, 2011, 1999}, {50, 2000, 1950}, {49, 2000, 2049}, {49, 2100, 2149},
        {50, 2100, 2050}, {25, 30, 25},     {11, 2070, 2111}, {20, 2070, 2020},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.Expected, ExpandTwoDigitYear(c.TwoDigits, c.CurrentYear))
            << c.TwoDigits << " in " << c.CurrentYear;
    }
}

} // namespace
} // namespace ostrel
