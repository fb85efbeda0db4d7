// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Conversions between numbers or dates and text, under the separators of a
// TFormatSettings. All texts are UTF-8. DateText.cpp, IntegerText.cpp and
// FloatText.cpp hold the three kinds.

#include "DateTime.h"
#include "FormatSettings.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ostrel {

// Date-time patterns the program uses: "yy/mm/dd hh:nn", "yy/mm/dd, hh:nn"
// and "n". yy, mm, dd, hh, nn: two digits; n: minute without leading zero;
// "/" and ":" become the locale's separators; other characters are copied.
// Also yyyy (four-digit year), ss, and m, d, h, s without leading zero.
// Called for every log line: it allocates nothing but the result.
std::string FormatDateTime(std::string_view pattern, TDateTime value, const TFormatSettings& fs);

// Appends what FormatDateTime writes for the pattern "yy/mm/dd" + between +
// "hh:nn" (between holds no pattern letters), from decoded parts: the log's
// lines and labels are written with it a million at a time.
void AppendMinuteText(std::string& out, const TDateTimeParts& parts, std::string_view between,
                      const TFormatSettings& fs);

// "%i": signed decimal. "%hu": unsigned 16-bit decimal.
std::string FormatInt(std::int32_t value);
std::string FormatUInt16(std::uint16_t value);

// General format, 15 significant digits: fixed notation for decimal exponents
// -3..15 (0.0001 up to below 1E15), otherwise 5E-5 / 1E15 style. An exact
// halfway case at the 15th digit rounds away from zero. -0 is "0"; the
// non-finite values are "NAN", "INF" and "-INF".
std::string FloatToStr(double value, const TFormatSettings& fs);
// FloatToStr's text appended to out.
void AppendFloatText(std::string& out, double value, const TFormatSettings& fs);

// Leading blanks, optional sign, decimal digits or hex after "$", "x", "X",
// "0x", "0X"; nothing may follow; must fit signed 32 bits, the sign
// included ("-$80000000" is the minimum, "$80000000" fails).
std::optional<std::int32_t> TryStrToInt(std::string_view text);
std::int32_t StrToInt(std::string_view text); // throws EConvertError

// A decimal number as written: value = (-1 if Negative) * Digits * 10^Exponent,
// Digits without leading or trailing zeros ("" and Exponent 0 for zero).
struct TDecimalText {
    bool Negative = false;
    std::string Digits;
    int Exponent = 0;
};

// Blanks around, optional sign, digits with at most one decimal separator
// (at least one digit), optional E/e exponent. No thousands separators.
std::optional<TDecimalText> TryParseDecimal(std::string_view text, const TFormatSettings& fs);
// The decimal value rounded to a 64-bit significand, then to double; fails
// on overflow.
std::optional<double> TryStrToFloat(std::string_view text, const TFormatSettings& fs);
double StrToFloat(std::string_view text, const TFormatSettings& fs); // throws EConvertError

// hour[:min[:sec[.ms]]] with blanks around parts, optional AM/PM marker
// before or after (the hour is then 1..12). ms is a whole number of
// milliseconds. Returns the fraction of the day.
std::optional<TDateTime> TryStrToTime(std::string_view text, const TFormatSettings& fs);
TDateTime StrToTime(std::string_view text, const TFormatSettings& fs); // throws EConvertError

// The date item of a log line, read year, month, day (or month, day in the
// current year), with the two-digit-year rule. Returns the day number.
std::optional<TDateTime> TryReadDateItem(std::string_view text, const TFormatSettings& fs);

} // namespace ostrel
