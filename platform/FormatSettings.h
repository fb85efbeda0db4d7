// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The user's locale as the text services see it, plus "now" for the
// two-digit-year rule. Tests build one by hand to pin separators and the year.

#include <string>
#include <string_view>

namespace ostrel {

struct TFormatSettings {
    std::string DateSeparator = "/";
    std::string TimeSeparator = ":";
    std::string DecimalSeparator = ".";
    std::string ThousandSeparator = ","; // only the chart's value labels group digits
    std::string TimeAMString = "AM";     // the locale's own AM marker
    std::string TimePMString = "PM";     // the locale's own PM marker
    int CurrentYear = 2011;              // the year that the century window is centred on
};

// The separators and markers of the user's locale, and the current year.
TFormatSettings SystemFormatSettings();

// The separator of a POSIX date or time format such as "%m/%d/%y": its first
// ASCII punctuation character outside the conversions, or fallback when it has
// none ("%Y年%m月%d日" has none).
std::string SeparatorOfPosixFormat(std::string_view format, std::string_view fallback);

// The separator in a locale's own separator text, such as Windows gives it:
// its first ASCII punctuation character (". " in Hungarian or Korean dates,
// "/" after a right-to-left mark in Arabic ones), or fallback when it has none.
std::string SeparatorOfLocaleText(std::string_view text, std::string_view fallback);

#ifdef _WIN32
// The separators and markers of a named locale ("hu-HU"), as
// SystemFormatSettings takes them from the user's.
TFormatSettings LocaleFormatSettings(const std::wstring& locale);
#endif

} // namespace ostrel
