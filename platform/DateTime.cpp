// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/DateTime.h"

#include "platform/Exceptions.h"
#include "platform/Translation.h"

#include <cfloat>
#include <cmath>

// The date arithmetic is written for doubles rounded at every step; x87
// maths (32-bit x86 without -msse2 -mfpmath=sse) keeps 80-bit intermediates,
// and a time of day would come out unrounded.
#if defined(FLT_EVAL_METHOD) && FLT_EVAL_METHOD != 0 && FLT_EVAL_METHOD != -1
#error "Build with SSE2 maths (-msse2 -mfpmath=sse), as MSVC does"
#endif

namespace ostrel {

namespace {

constexpr const char* InvalidDateText = OSTREL_TR("Ostrel", "日付に変換できない値が渡されました");
constexpr const char* InvalidTimeText = OSTREL_TR("Ostrel", "時刻に変換できない値が渡されました");

constexpr std::int64_t MSecsPerDay = 86'400'000;

// Day numbers of 0001-01-01 and 9999-12-31.
constexpr std::int64_t FirstDay = -693'593;
constexpr std::int64_t LastDay = 2'958'465;

// Days from 1970-01-01 of a proleptic Gregorian date (H. Hinnant's
// days_from_civil), so decoding needs no loop over the years.
std::int64_t DaysFromCivil(std::int64_t y, int m, int d) {
    y -= m <= 2 ? 1 : 0;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146'097 + doe - 719'468;
}

TDate CivilFromDays(std::int64_t z) {
    z += 719'468;
    const std::int64_t era = (z >= 0 ? z : z - 146'096) / 146'097;
    const std::int64_t doe = z - era * 146'097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36'524 - doe / 146'096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const int day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    const std::int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
    return {static_cast<int>(year), month, day};
}

// 1899-12-30 counted from 1970-01-01.
const std::int64_t EpochOffset = DaysFromCivil(1899, 12, 30);

struct TSplitValue {
    bool Valid;
    std::int64_t Day;
    std::int64_t MSecs; // of the day, 0 .. MSecsPerDay - 1
};

// Rounds the value to whole milliseconds once, so that date and time come
// from the same rounding (23:59:59.9999 belongs to the next day).
TSplitValue Split(TDateTime value) {
    const double limit = static_cast<double>(LastDay + 2);
    if (!(std::fabs(value) < limit)) {
        return {false, 0, 0};
    }
    const auto total = static_cast<std::int64_t>(std::nearbyint(value * MSecsPerDay));
    const std::int64_t day = total / MSecsPerDay;
    const std::int64_t msecs = (total < 0 ? -total : total) % MSecsPerDay;
    if (day < FirstDay || day > LastDay) {
        return {false, 0, 0};
    }
    return {true, day, msecs};
}

} // namespace

bool IsLeapYear(int year) {
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int DaysInMonth(int year, int month) {
    static constexpr int Days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) {
        return 0;
    }
    return month == 2 && IsLeapYear(year) ? 29 : Days[month - 1];
}

bool IsValidDate(int year, int month, int day) {
    return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
           day <= DaysInMonth(year, month);
}

TDateTime EncodeDate(int year, int month, int day) {
    if (!IsValidDate(year, month, day)) {
        throw EConvertError(Translate(InvalidDateText));
    }
    return static_cast<TDateTime>(DaysFromCivil(year, month, day) - EpochOffset);
}

TDateTime EncodeTime(int hour, int minute, int second, int milliseconds) {
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 ||
        milliseconds < 0 || milliseconds > 999) {
        throw EConvertError(Translate(InvalidTimeText));
    }
    const std::int64_t msecs =
        ((static_cast<std::int64_t>(hour) * 60 + minute) * 60 + second) * 1000 + milliseconds;
    return static_cast<double>(msecs) / static_cast<double>(MSecsPerDay);
}

TDateTimeParts DecodeDateTime(TDateTime value) {
    const TSplitValue split = Split(value);
    if (!split.Valid) {
        return {{0, 0, 0}, {0, 0, 0, 0}};
    }
    const auto msecs = static_cast<int>(split.MSecs);
    return {CivilFromDays(split.Day + EpochOffset),
            {msecs / 3'600'000, msecs / 60'000 % 60, msecs / 1000 % 60, msecs % 1000}};
}

TDate DecodeDate(TDateTime value) {
    return DecodeDateTime(value).Date;
}

TTimeOfDay DecodeTime(TDateTime value) {
    return DecodeDateTime(value).Time;
}

TDateTime SystemTimeToDateTime(const TSystemTime& time) {
    const TDateTime date = EncodeDate(time.Year, time.Month, time.Day);
    const TDateTime fraction = EncodeTime(time.Hour, time.Minute, time.Second, time.Milliseconds);
    // Before 1899-12-30 the day counts down while the time still counts up.
    return date >= 0 ? date + fraction : date - fraction;
}

int ExpandTwoDigitYear(int twoDigitYear, int currentYear) {
    const int base = currentYear - 50;
    const int baseInCentury = ((base % 100) + 100) % 100;
    int year = base - baseInCentury + twoDigitYear % 100;
    if (year < base) {
        year += 100;
    }
    return year;
}

} // namespace ostrel
