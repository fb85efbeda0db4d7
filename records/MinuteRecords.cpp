// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/MinuteRecords.h"

#include "platform/Extended.h"
#include "platform/TextServices.h"

#include <array>
#include <charconv>
#include <limits>

namespace ostrel {

void TRecords::AddToLastCount(std::uint32_t counts) {
    if (Items.empty()) {
        return;
    }
    TMinuteRecord& last = Items.back();
    // 64-bit sum: a count read from a file may be negative or already large.
    const std::int64_t sum = static_cast<std::int64_t>(last.Count) + counts;
    const std::int64_t max = std::numeric_limits<std::int32_t>::max();
    last.Count = static_cast<std::int32_t>(sum > max ? max : sum);
}

void TRecords::Clear() {
    Items.clear();
}

TDateTime MinuteKey(TDateTime t, const TFormatSettings& fs) {
    const TDateTimeParts parts = DecodeDateTime(t);
    // What the minute text keeps of the year is its last two digits; reading
    // it back puts them into the century window.
    const int year = ExpandTwoDigitYear(parts.Date.Year % 100, fs.CurrentYear);
    const TDateTime minute = EncodeTime(parts.Time.Hour, parts.Time.Minute, 0, 0);
    if (!IsValidDate(year, parts.Date.Month, parts.Date.Day)) {
        // The text reads back as no date (29 February moved into a year
        // that has none, or a year past 9999): the reader keeps day 0.
        return minute;
    }
    return EncodeDate(year, parts.Date.Month, parts.Date.Day) + minute;
}

double DoseRateBefore(const TRecords& records, std::size_t k, double graphCoefficient,
                      std::int32_t graphBackground) {
    double sum = 0.0;
    for (std::size_t j = k; j-- > k - DoseRateWindow;) {
        const std::int32_t count = records[j].Count;
        if (count >= graphBackground) {
            // Exact in 64 bits: a count far above a negative background does
            // not wrap around.
            sum += static_cast<double>(static_cast<std::int64_t>(count) - graphBackground);
        }
    }
    const double product = MulExtended(graphCoefficient, sum);
    return MulExtendedTenth(product);
}

std::string PointLabel(std::size_t k, TDateTime t, const TFormatSettings& fs) {
    std::string label;
    const TDateTimeParts parts = DecodeDateTime(t);
    if (k == 0 || parts.Time.Minute % 10 == 0) {
        AppendMinuteText(label, parts, " ", fs);
    }
    return label;
}

void AppendLogLineText(std::string& out, const TMinuteRecord& r, const TFormatSettings& fs) {
    AppendMinuteText(out, DecodeDateTime(r.StartTime), ", ", fs);
    out += ", ";
    std::array<char, 12> count; // "%i" of any 32-bit value
    out.append(count.data(), std::to_chars(count.data(), count.data() + count.size(), r.Count).ptr);
}

void AppendLogLineText(std::string& out, const TMinuteRecord& r, double doseRate,
                       const TFormatSettings& fs) {
    AppendLogLineText(out, r, fs);
    out += ", ";
    AppendFloatText(out, doseRate, fs);
}

void AppendRebuiltLine(std::string& out, const TRecords& records, std::size_t i,
                       double graphCoefficient, std::int32_t graphBackground,
                       const TFormatSettings& fs) {
    if (i < DoseRateWindow) {
        AppendLogLineText(out, records[i], fs);
    } else {
        const double dose = DoseRateBefore(records, i, graphCoefficient, graphBackground);
        AppendLogLineText(out, records[i], dose, fs);
    }
}

std::string LogLineText(const TMinuteRecord& r, const TFormatSettings& fs) {
    std::string line;
    AppendLogLineText(line, r, fs);
    return line;
}

std::string LogLineText(const TMinuteRecord& r, double doseRate, const TFormatSettings& fs) {
    std::string line;
    AppendLogLineText(line, r, doseRate, fs);
    return line;
}

} // namespace ostrel
