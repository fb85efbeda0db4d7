// SPDX-License-Identifier: GPL-3.0-or-later
// Date and time text: FormatDateTime, StrToTime and the date item of a log
// line.
#include "platform/TextServices.h"

#include "platform/Exceptions.h"
#include "platform/TextChars.h"
#include "platform/Translation.h"

#include <algorithm>
#include <array>

namespace ostrel {

using namespace textchars;

namespace {

template <typename TOut> void AppendTwoDigits(TOut& out, int value) {
    out.push_back(static_cast<char>('0' + value / 10 % 10));
    out.push_back(static_cast<char>('0' + value % 10));
}

// A left-to-right reader over a text, with the platform's scanning steps:
// blanks are skipped before every number, separator and marker.
class TScanner {
public:
    explicit TScanner(std::string_view text) : Text(text) {}

    bool AtEnd() const { return Pos >= Text.size(); }

    void SkipBlanks() {
        while (Pos < Text.size() && IsBlank(Text[Pos])) {
            ++Pos;
        }
    }

    struct TNumber {
        int Value;
        int Digits; // leading zeros included
    };

    // A run of digits; reading stops once the value has reached 1000.
    std::optional<TNumber> Number() {
        SkipBlanks();
        TNumber number{0, 0};
        while (Pos < Text.size() && IsDigit(Text[Pos]) && number.Value < 1000) {
            number.Value = number.Value * 10 + (Text[Pos] - '0');
            ++number.Digits;
            ++Pos;
        }
        if (number.Digits == 0) {
            return std::nullopt;
        }
        return number;
    }

    // The given text, ASCII letters in any case.
    bool Word(std::string_view word) {
        SkipBlanks();
        if (word.empty() || Text.size() - Pos < word.size()) {
            return false;
        }
        for (std::size_t i = 0; i < word.size(); ++i) {
            if (LowerAscii(Text[Pos + i]) != LowerAscii(word[i])) {
                return false;
            }
        }
        Pos += word.size();
        return true;
    }

private:
    std::string_view Text;
    std::size_t Pos = 0;
};

// A text short enough for the stack, as log lines and labels are; a longer
// one is only measured, then written again into a string.
class TShortText {
public:
    void push_back(char c) {
        if (Size < Data.size()) {
            Data[Size] = c;
        }
        ++Size;
    }
    void append(const char* first, const char* last) {
        for (; first != last; ++first) {
            push_back(*first);
        }
    }
    TShortText& operator+=(std::string_view text) {
        append(text.data(), text.data() + text.size());
        return *this;
    }
    bool Fits() const { return Size <= Data.size(); }
    std::string Text() const { return std::string(Data.data(), Size); }

private:
    std::array<char, 48> Data{};
    std::size_t Size = 0;
};

std::size_t RunLength(std::string_view pattern, std::size_t i) {
    std::size_t run = 1;
    while (i + run < pattern.size() && LowerAscii(pattern[i + run]) == LowerAscii(pattern[i])) {
        ++run;
    }
    return run;
}

// The value that a pattern letter stands for, or -1 for any other character.
int FieldOf(char letter, const TDateTimeParts& parts) {
    switch (letter) {
    case 'm':
        return parts.Date.Month;
    case 'd':
        return parts.Date.Day;
    case 'h':
        return parts.Time.Hour;
    case 'n':
        return parts.Time.Minute;
    case 's':
        return parts.Time.Second;
    default:
        return -1;
    }
}

template <typename TOut>
void WriteDateTime(TOut& out, std::string_view pattern, const TDateTimeParts& parts,
                   const TFormatSettings& fs) {
    std::size_t i = 0;
    while (i < pattern.size()) {
        const char c = LowerAscii(pattern[i]);
        const std::size_t run = RunLength(pattern, i);
        const int field = FieldOf(c, parts);
        if (c == 'y') {
            if (run > 2) {
                AppendTwoDigits(out, parts.Date.Year / 100);
            }
            AppendTwoDigits(out, parts.Date.Year % 100);
            i += run;
        } else if (field >= 0) {
            // One letter: no leading zero; two: always two digits.
            if (run == 1) {
                AppendInteger(out, field);
            } else {
                AppendTwoDigits(out, field);
            }
            i += run == 1 ? 1 : 2;
        } else {
            if (c == '/') {
                out += fs.DateSeparator;
            } else if (c == ':') {
                out += fs.TimeSeparator;
            } else {
                out.push_back(pattern[i]);
            }
            ++i;
        }
    }
}

} // namespace

std::string FormatDateTime(std::string_view pattern, TDateTime value, const TFormatSettings& fs) {
    const TDateTimeParts parts = DecodeDateTime(value);
    TShortText shortText;
    WriteDateTime(shortText, pattern, parts, fs);
    if (shortText.Fits()) {
        return shortText.Text();
    }
    std::string text;
    WriteDateTime(text, pattern, parts, fs);
    return text;
}

void AppendMinuteText(std::string& out, const TDateTimeParts& parts, std::string_view between,
                      const TFormatSettings& fs) {
    // Usually one character a separator: the text is put together in place
    // and appended once, which is several times quicker than piece by piece.
    constexpr std::size_t usualSize = 16;
    if (fs.DateSeparator.size() == 1 && fs.TimeSeparator.size() == 1 && between.size() <= 2) {
        std::array<char, usualSize> text;
        char* at = text.data();
        const auto two = [&at](int value) {
            *at++ = static_cast<char>('0' + value / 10 % 10);
            *at++ = static_cast<char>('0' + value % 10);
        };
        two(parts.Date.Year % 100);
        *at++ = fs.DateSeparator[0];
        two(parts.Date.Month);
        *at++ = fs.DateSeparator[0];
        two(parts.Date.Day);
        at = std::copy(between.begin(), between.end(), at);
        two(parts.Time.Hour);
        *at++ = fs.TimeSeparator[0];
        two(parts.Time.Minute);
        out.append(text.data(), static_cast<std::size_t>(at - text.data()));
        return;
    }
    AppendTwoDigits(out, parts.Date.Year % 100);
    out += fs.DateSeparator;
    AppendTwoDigits(out, parts.Date.Month);
    out += fs.DateSeparator;
    AppendTwoDigits(out, parts.Date.Day);
    out += between;
    AppendTwoDigits(out, parts.Time.Hour);
    out += fs.TimeSeparator;
    AppendTwoDigits(out, parts.Time.Minute);
}

namespace {

// 0 for an AM marker, 12 for a PM marker, -1 for none.
int ReadMarker(TScanner& scan, const TFormatSettings& fs) {
    if (scan.Word(fs.TimeAMString) || scan.Word("AM")) {
        return 0;
    }
    if (scan.Word(fs.TimePMString) || scan.Word("PM")) {
        return 12;
    }
    return -1;
}

// hour[:minutes[:seconds[.milliseconds]]]; nothing when a separator has no
// number after it.
std::optional<TTimeOfDay> ReadClock(TScanner& scan, const TFormatSettings& fs) {
    TTimeOfDay time{0, 0, 0, 0};
    int* const fields[] = {&time.Hour, &time.Minute, &time.Second, &time.Milliseconds};
    for (std::size_t k = 0; k < 4; ++k) {
        if (k > 0 && !scan.Word(k == 3 ? fs.DecimalSeparator : fs.TimeSeparator)) {
            break;
        }
        const auto number = scan.Number();
        if (!number) {
            return std::nullopt;
        }
        *fields[k] = number->Value;
    }
    return time;
}

} // namespace

std::optional<TDateTime> TryStrToTime(std::string_view text, const TFormatSettings& fs) {
    TScanner scan(text);
    int baseHour = ReadMarker(scan, fs);
    auto time = ReadClock(scan, fs);
    if (!time) {
        return std::nullopt;
    }
    if (baseHour < 0) {
        baseHour = ReadMarker(scan, fs);
    }
    if (baseHour >= 0) {
        // A 12-hour clock runs 12, 1, ..., 11.
        if (time->Hour == 0 || time->Hour > 12) {
            return std::nullopt;
        }
        time->Hour = time->Hour % 12 + baseHour;
    }
    scan.SkipBlanks();
    if (!scan.AtEnd() || time->Hour > 23 || time->Minute > 59 || time->Second > 59 ||
        time->Milliseconds > 999) {
        return std::nullopt;
    }
    return EncodeTime(time->Hour, time->Minute, time->Second, time->Milliseconds);
}

TDateTime StrToTime(std::string_view text, const TFormatSettings& fs) {
    const auto value = TryStrToTime(text, fs);
    if (!value) {
        throw EConvertError(
            Translate(OSTREL_TR("Ostrel", "'%s' は有効な時刻ではありません"), text));
    }
    return *value;
}

std::optional<TDateTime> TryReadDateItem(std::string_view text, const TFormatSettings& fs) {
    TScanner scan(text);
    const auto first = scan.Number();
    if (!first || !scan.Word(fs.DateSeparator)) {
        return std::nullopt;
    }
    const auto second = scan.Number();
    if (!second) {
        return std::nullopt;
    }
    int year = fs.CurrentYear;
    int month = first->Value;
    int day = second->Value;
    if (scan.Word(fs.DateSeparator)) {
        const auto third = scan.Number();
        if (!third) {
            return std::nullopt;
        }
        year = first->Digits <= 2 ? ExpandTwoDigitYear(first->Value, fs.CurrentYear) : first->Value;
        month = second->Value;
        day = third->Value;
        scan.Word(fs.DateSeparator);
    }
    scan.SkipBlanks();
    if (!scan.AtEnd() || !IsValidDate(year, month, day)) {
        return std::nullopt;
    }
    return EncodeDate(year, month, day);
}

} // namespace ostrel
