// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/FormatSettings.h"

#include <ctime>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <langinfo.h>
#include <locale.h>
#endif

namespace ostrel {

namespace {

bool IsAsciiPunctuation(char c) {
    return (c >= '!' && c <= '/') || (c >= ':' && c <= '@') || (c >= '[' && c <= '`') ||
           (c >= '{' && c <= '~');
}

enum class TSeparatorKind { DateOrTime, Decimal };

// A separator that the readers can tell apart from the numbers, signs and
// blanks around it; anything else falls back to the usual one.
std::string UsableOr(std::string text, const char* fallback, TSeparatorKind kind) {
    if (text.empty()) {
        return fallback;
    }
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        const bool sign = c == '+' || c == '-';
        if (u <= ' ' || (c >= '0' && c <= '9') || (sign && kind == TSeparatorKind::Decimal)) {
            return fallback;
        }
    }
    return text;
}

// Also for the thousands separator, which no reader sees: any text the
// locale gives is fine.
std::string MarkerOr(std::string text, const char* fallback) {
    return text.empty() ? std::string(fallback) : text;
}

int CurrentYearFromClock() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    if (localtime_s(&local, &now) != 0) {
        return TFormatSettings{}.CurrentYear;
    }
#else
    if (localtime_r(&now, &local) == nullptr) {
        return TFormatSettings{}.CurrentYear;
    }
#endif
    return local.tm_year + 1900;
}

#ifdef _WIN32

std::string LocaleText(const wchar_t* locale, LCTYPE type) {
    wchar_t wide[32] = {};
    const int wideLength = GetLocaleInfoEx(locale, type, wide, 32);
    if (wideLength <= 1) {
        return {};
    }
    char utf8[128] = {};
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, wide, wideLength - 1, utf8, 127, nullptr, nullptr);
    return length > 0 ? std::string(utf8, static_cast<std::size_t>(length)) : std::string{};
}

void FillFromLocale(TFormatSettings& fs, const wchar_t* locale) {
    fs.DateSeparator = UsableOr(SeparatorOfLocaleText(LocaleText(locale, LOCALE_SDATE), "/"), "/",
                                TSeparatorKind::DateOrTime);
    fs.TimeSeparator = UsableOr(SeparatorOfLocaleText(LocaleText(locale, LOCALE_STIME), ":"), ":",
                                TSeparatorKind::DateOrTime);
    fs.DecimalSeparator =
        UsableOr(LocaleText(locale, LOCALE_SDECIMAL), ".", TSeparatorKind::Decimal);
    fs.ThousandSeparator = MarkerOr(LocaleText(locale, LOCALE_STHOUSAND), ",");
    fs.TimeAMString = MarkerOr(LocaleText(locale, LOCALE_S1159), "AM");
    fs.TimePMString = MarkerOr(LocaleText(locale, LOCALE_S2359), "PM");
}

void FillFromLocale(TFormatSettings& fs) {
    FillFromLocale(fs, LOCALE_NAME_USER_DEFAULT);
}

#else

// The user's locale as setlocale(LC_ALL, "") would choose it, held only
// here, so the process's own locale stays as it is.
class TUserLocale {
public:
    TUserLocale() : Handle(newlocale(LC_ALL_MASK, "", static_cast<locale_t>(nullptr))) {}
    ~TUserLocale() {
        if (Handle != static_cast<locale_t>(nullptr)) {
            freelocale(Handle);
        }
    }
    TUserLocale(const TUserLocale&) = delete;
    TUserLocale& operator=(const TUserLocale&) = delete;

    bool Valid() const { return Handle != static_cast<locale_t>(nullptr); }
    std::string Text(nl_item item) const {
        const char* text = nl_langinfo_l(item, Handle);
        return text != nullptr ? std::string(text) : std::string{};
    }

private:
    locale_t Handle;
};

void FillFromLocale(TFormatSettings& fs) {
    const TUserLocale locale;
    if (!locale.Valid()) {
        return;
    }
    fs.DateSeparator =
        UsableOr(SeparatorOfPosixFormat(locale.Text(D_FMT), "/"), "/", TSeparatorKind::DateOrTime);
    fs.TimeSeparator =
        UsableOr(SeparatorOfPosixFormat(locale.Text(T_FMT), ":"), ":", TSeparatorKind::DateOrTime);
    fs.DecimalSeparator = UsableOr(locale.Text(RADIXCHAR), ".", TSeparatorKind::Decimal);
    fs.ThousandSeparator = MarkerOr(locale.Text(THOUSEP), ",");
    fs.TimeAMString = MarkerOr(locale.Text(AM_STR), "AM");
    fs.TimePMString = MarkerOr(locale.Text(PM_STR), "PM");
}

#endif

} // namespace

std::string SeparatorOfPosixFormat(std::string_view format, std::string_view fallback) {
    std::size_t i = 0;
    while (i < format.size()) {
        const char c = format[i];
        if (c != '%') {
            if (IsAsciiPunctuation(c)) {
                return std::string(1, c);
            }
            ++i;
            continue;
        }
        // Skip the conversion: flags, width and the E/O modifiers, then its letter.
        ++i;
        while (i < format.size() &&
               (format[i] == '-' || format[i] == '_' || format[i] == '^' || format[i] == '#' ||
                format[i] == 'E' || format[i] == 'O' || (format[i] >= '0' && format[i] <= '9'))) {
            ++i;
        }
        if (i >= format.size()) {
            break;
        }
        switch (format[i]) {
        case 'D':
            return "/"; // %m/%d/%y
        case 'F':
            return "-"; // %Y-%m-%d
        case 'T':
        case 'R':
        case 'r':
            return ":"; // %H:%M:%S and its kin
        default:
            ++i;
        }
    }
    return std::string(fallback);
}

std::string SeparatorOfLocaleText(std::string_view text, std::string_view fallback) {
    for (const char c : text) {
        if (IsAsciiPunctuation(c)) {
            return std::string(1, c);
        }
    }
    return std::string(fallback);
}

#ifdef _WIN32
TFormatSettings LocaleFormatSettings(const std::wstring& locale) {
    TFormatSettings fs;
    FillFromLocale(fs, locale.c_str());
    return fs;
}
#endif

TFormatSettings SystemFormatSettings() {
    TFormatSettings fs;
    FillFromLocale(fs);
    fs.CurrentYear = CurrentYearFromClock();
    return fs;
}

} // namespace ostrel
