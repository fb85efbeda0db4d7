// SPDX-License-Identifier: GPL-3.0-or-later
// FloatToStr and FormatDateTime on any double, and the promise that ties the
// live loop to Open: a minute's log line reads back as that minute's key.
// Input: locale byte, date-time (8 bytes), count (4 bytes), number (8 bytes).

#include "FuzzSupport.h"

#include "files/LogFileReader.h"
#include "platform/DateTime.h"
#include "platform/TextServices.h"
#include "records/MinuteRecords.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <string_view>

namespace {

using namespace ostrel;
using fuzz::Require;

template <typename T> T Take(const std::uint8_t* data, std::size_t size, std::size_t at) {
    unsigned char bytes[sizeof(T)] = {};
    if (at < size) {
        std::memcpy(bytes, data + at, std::min(sizeof(T), size - at));
    }
    T value;
    std::memcpy(&value, bytes, sizeof(T));
    return value;
}

// The text with every ASCII digit replaced by "D".
std::string Shape(std::string text) {
    for (char& c : text) {
        c = (c >= '0' && c <= '9') ? 'D' : c;
    }
    return text;
}

void CheckFloatText(double value, const TFormatSettings& fs) {
    const std::string text = FloatToStr(value, fs);
    if (!std::isfinite(value)) {
        Require(text == (std::isnan(value) ? "NAN"
                         : value < 0       ? "-INF"
                                           : "INF"),
                "non-finite values have their names");
        return;
    }
    std::size_t significant = 0;
    bool leading = true;
    const std::size_t e = text.find('E');
    for (std::size_t k = 0; k < std::min(e, text.size()); ++k) {
        if (text[k] >= '1' && text[k] <= '9') {
            leading = false;
        }
        significant += (!leading && text[k] >= '0' && text[k] <= '9') ? 1 : 0;
    }
    Require(significant <= 15, "at most 15 significant digits");
    Require(text.find(',') == std::string::npos || fs.DecimalSeparator == ",",
            "no thousands separators");
    const auto back = TryStrToFloat(text, fs);
    if (!back) {
        Require(std::fabs(value) > 1.797693134862315e308, "FloatToStr text reads back");
        return;
    }
    const double magnitude = std::fabs(*back);
    const bool fixed = magnitude == 0 || (magnitude >= 0.0001 && magnitude < 1e15);
    Require(fixed == (e == std::string::npos), "fixed notation exactly from 0.0001 to below 1E15");
}

void CheckDateTimeText(TDateTime t, const TFormatSettings& fs) {
    const std::string ds = fs.DateSeparator;
    const std::string ts = fs.TimeSeparator;
    Require(Shape(FormatDateTime(MinuteTextPattern, t, fs)) ==
                "DD" + ds + "DD" + ds + "DD DD" + ts + "DD",
            "the minute text has its shape");
    Require(Shape(FormatDateTime(LineDateTextPattern, t, fs)) ==
                "DD" + ds + "DD" + ds + "DD, DD" + ts + "DD",
            "the line date text has its shape");
    const std::string minute = FormatDateTime(MinuteNumberPattern, t, fs);
    Require(minute == "0" || (minute.size() <= 2 && minute[0] != '0' && std::stoi(minute) < 60),
            "the minute number is 0 to 59 without a leading zero");
}

// Whether t decodes to a date of the years 1 to 9999.
bool HasDate(TDateTime t) {
    return DecodeDateTime(t).Date.Year != 0;
}

void CheckMinuteKey(TDateTime t, std::int32_t count, double dose, const TFormatSettings& fs) {
    const TDateTime key = MinuteKey(t, fs);
    const TDateTimeParts keyParts = DecodeDateTime(key);
    Require(keyParts.Time.Second == 0 && keyParts.Time.Milliseconds == 0,
            "a key is a whole minute");
    Require(FormatDateTime("hh:nn", key, fs) == FormatDateTime("hh:nn", t, fs),
            "a key keeps the hour and the minute");
    // Open must make of a minute's line the key that the live loop made of
    // the readings of that minute, or the two would not fold together.
    const TMinuteRecord record{t, count};
    for (const std::string& line : {LogLineText(record, fs), LogLineText(record, dose, fs)}) {
        const TMinuteRecord back = ReadLogLine(line, fs);
        Require(std::memcmp(&back.StartTime, &key, sizeof key) == 0,
                "a line's date and time read back as the minute's key");
        Require(back.Count == count, "a line's count reads back");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const TFormatSettings& fs = fuzz::LocaleFor(data[0]);
    const auto t = Take<double>(data, size, 1);
    const auto count = Take<std::int32_t>(data, size, 9);
    const auto number = Take<double>(data, size, 13);

    CheckFloatText(t, fs);
    CheckFloatText(number, fs);
    CheckDateTimeText(t, fs);
    if (HasDate(t)) {
        CheckMinuteKey(t, count, number, fs);
    }
    return 0;
}
