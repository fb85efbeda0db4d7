// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/FormatSettings.h"

#include <gtest/gtest.h>

#include <chrono>
#include <clocale>
#include <cstdlib>
#include <optional>
#include <string>

namespace ostrel {
namespace {

TEST(SeparatorOfPosixFormatTest, FirstPunctuationOutsideConversions) {
    struct TCase {
        const char* Format;
        const char* Expected;
    };
    const TCase cases[] = {
        {"%m/%d/%y", "/"},     {"%d.%m.%Y", "."},   {"%Y-%m-%d", "-"}, {"%H:%M:%S", ":"},
        {"%H.%M.%S", "."},     {"%-d/%-m/%Y", "/"}, // glibc flags are part of the conversion
        {"%Ey.%Om.%d", "."},                        // so are the E and O modifiers
        {"%D", "/"},           {"%F", "-"},         {"%T", ":"},       {"%r", ":"},
        {"%%%d,%m", ","},      // "%%" is a conversion, not a separator
        {"%Y年%m月%d日", "?"}, // no ASCII punctuation: the fallback
        {"%H時%M分%S秒", "?"}, {"%d %b %Y", "?"},   {"", "?"},         {"%", "?"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.Expected, SeparatorOfPosixFormat(c.Format, "?")) << c.Format;
    }
}

TEST(SeparatorOfLocaleTextTest, FirstAsciiPunctuation) {
    struct TCase {
        const char* Text;
        const char* Expected;
    };
    const TCase cases[] = {
        {"/", "/"},
        {".", "."},
        {"-", "-"},
        {":", ":"},
        {". ", "."},            // Hungarian, Czech and Korean dates
        {"\u200f/", "/"},       // Arabic: a right-to-left mark first
        {"\u200f:\u200f", ":"}, // and around
        {"年", "?"},
        {" ", "?"},
        {"", "?"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.Expected, SeparatorOfLocaleText(c.Text, "?")) << c.Text;
    }
}

#ifdef _WIN32
TEST(LocaleFormatSettingsTest, SeparatorsOfWindowsLocales) {
    struct TCase {
        const wchar_t* Locale;
        const char* Date;
        const char* Time;
        const char* Decimal;
    };
    const TCase cases[] = {
        {L"en-US", "/", ":", "."}, {L"ja-JP", "/", ":", "."}, {L"de-DE", ".", ":", ","},
        {L"hu-HU", ".", ":", ","}, {L"cs-CZ", ".", ":", ","}, {L"ko-KR", ".", ":", "."},
        {L"ar-SA", "/", ":", "."},
    };
    for (const auto& c : cases) {
        const TFormatSettings fs = LocaleFormatSettings(c.Locale);
        const std::wstring name(c.Locale);
        const std::string locale(name.begin(), name.end());
        EXPECT_EQ(c.Date, fs.DateSeparator) << locale;
        EXPECT_EQ(c.Time, fs.TimeSeparator) << locale;
        EXPECT_EQ(c.Decimal, fs.DecimalSeparator) << locale;
    }
}
#endif

#ifndef _WIN32
// Sets an environment variable for one scope.
class TScopedEnv {
public:
    TScopedEnv(const char* name, const char* value) : Name(name) {
        if (const char* old = std::getenv(name)) {
            Old = old;
        }
        setenv(name, value, 1);
    }
    ~TScopedEnv() {
        if (Old) {
            setenv(Name, Old->c_str(), 1);
        } else {
            unsetenv(Name);
        }
    }
    TScopedEnv(const TScopedEnv&) = delete;
    TScopedEnv& operator=(const TScopedEnv&) = delete;

private:
    const char* Name;
    std::optional<std::string> Old;
};

TEST(SystemFormatSettingsTest, CLocaleAndUnknownLocaleGiveTheUsualSeparators) {
    for (const char* locale : {"C.UTF-8", "C", "xx_NOWHERE.UTF-8"}) {
        const TScopedEnv env("LC_ALL", locale);
        const TFormatSettings fs = SystemFormatSettings();
        EXPECT_EQ("/", fs.DateSeparator) << locale;
        EXPECT_EQ(":", fs.TimeSeparator) << locale;
        EXPECT_EQ(".", fs.DecimalSeparator) << locale;
        // The C locale groups no digits; the chart's "#,##0.00" still does.
        EXPECT_EQ(",", fs.ThousandSeparator) << locale;
        EXPECT_EQ("AM", fs.TimeAMString) << locale;
        EXPECT_EQ("PM", fs.TimePMString) << locale;
    }
}
#endif

TEST(SystemFormatSettingsTest, LeavesTheProcessLocaleAndTakesTheYear) {
    const std::string before = std::setlocale(LC_ALL, nullptr);
    const TFormatSettings fs = SystemFormatSettings();
    EXPECT_EQ(before, std::setlocale(LC_ALL, nullptr));
    const std::chrono::year_month_day today{
        std::chrono::floor<std::chrono::days>(std::chrono::system_clock::now())};
    const int utcYear = static_cast<int>(today.year());
    // The local year is at most one off the UTC one around New Year.
    EXPECT_LE(std::abs(fs.CurrentYear - utcYear), 1);
}

} // namespace
} // namespace ostrel
