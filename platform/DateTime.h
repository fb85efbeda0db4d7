// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Date-time values as doubles: the day number counted from 1899-12-30 plus
// the time of day as a fraction.

#include "device/SystemTime.h"

#include <cstdint>

namespace ostrel {

using TDateTime = double;

struct TDate {
    int Year;
    int Month;
    int Day;
};

struct TTimeOfDay {
    int Hour;
    int Minute;
    int Second;
    int Milliseconds;
};

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);
bool IsValidDate(int year, int month, int day); // year 1..9999

// Day number of a valid date (1899-12-30 is 0). Throws EConvertError
// "日付に変換できない値が渡されました" for an invalid one.
TDateTime EncodeDate(int year, int month, int day);
// Fraction of the day. Throws EConvertError "時刻に変換できない値が渡されました"
// for an hour above 23, minute or second above 59, millisecond above 999.
TDateTime EncodeTime(int hour, int minute, int second, int milliseconds);

// The calendar date and the time of day of a date-time value (negative
// values count back from 1899-12-30 as the platform does).
TDate DecodeDate(TDateTime value);
TTimeOfDay DecodeTime(TDateTime value);

struct TDateTimeParts {
    TDate Date;
    TTimeOfDay Time;
};
// Both at once, from one rounding to whole milliseconds. A value outside the
// years 1..9999 (or not a number) decodes to all zeros.
TDateTimeParts DecodeDateTime(TDateTime value);

// A reading's time as a date-time value; the day of the week is ignored.
// The date is tested before the time; each failure throws EConvertError with
// the text of EncodeDate or EncodeTime.
TDateTime SystemTimeToDateTime(const TSystemTime& time);

// The year B..B+99 (B = currentYear - 50) that ends in the two digits of
// twoDigitYear (0..99).
int ExpandTwoDigitYear(int twoDigitYear, int currentYear);

} // namespace ostrel
