// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/MinuteExport.h"

#include "files/LogFileWriter.h"
#include "platform/TextServices.h"

#include <QDateTime>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <vector>

namespace ostrel {

namespace {

constexpr std::int64_t SecondsPerDay = 86400;
constexpr std::int64_t Earliest = std::numeric_limits<std::int64_t>::min() / 2;
constexpr std::int64_t Latest = std::numeric_limits<std::int64_t>::max() / 2;
// The dose rate's decimal point in a CSV file, whatever the user's locale.
const TFormatSettings PointDecimal;

std::int32_t OffsetAt(const QTimeZone& zone, std::int64_t instant) {
    return zone.offsetFromUtc(QDateTime::fromSecsSinceEpoch(instant, QTimeZone::utc()));
}

// The transition's instant, or the far end of time when there is none.
std::int64_t InstantOf(const QTimeZone::OffsetData& transition, std::int64_t none) {
    return transition.atUtc.isValid() ? transition.atUtc.toSecsSinceEpoch() : none;
}

} // namespace

std::int32_t TMinuteOffsets::Next(TDateTime minute) {
    const TDateTimeParts parts = DecodeDateTime(minute);
    const QDate date(parts.Date.Year, parts.Date.Month, parts.Date.Day);
    if (!date.isValid()) {
        return 0;
    }
    const QTime time(parts.Time.Hour, parts.Time.Minute);
    return Resolve(QDateTime(date, time, QTimeZone::utc()).toSecsSinceEpoch());
}

std::int32_t TMinuteOffsets::Resolve(std::int64_t wallSeconds) {
    // Far from any transition the wall time names one instant.
    const std::int64_t sure = wallSeconds - SureOffset;
    if (SureFrom <= sure && sure < SureUntil) {
        Previous = sure;
        return SureOffset;
    }
    // The offsets in force a day before and a day after: a wall time is the
    // instant wallSeconds - offset for each of them that holds there.
    const std::int32_t before = OffsetAt(Zone, wallSeconds - SecondsPerDay);
    const std::int32_t after = OffsetAt(Zone, wallSeconds + SecondsPerDay);
    std::vector<std::int32_t> valid;
    for (const std::int32_t offset : {before, after}) {
        if (OffsetAt(Zone, wallSeconds - offset) == offset &&
            (valid.empty() || valid.front() != offset)) {
            valid.push_back(offset);
        }
    }
    std::int32_t chosen = before; // a skipped wall time: the clock had not moved
    if (valid.size() == 1) {
        chosen = valid.front();
    } else if (valid.size() == 2) {
        // The earlier instant has the larger offset.
        const std::int32_t first = std::max(valid[0], valid[1]);
        const std::int32_t second = std::min(valid[0], valid[1]);
        chosen = Previous && wallSeconds - first <= *Previous ? second : first;
    }
    const std::int64_t instant = wallSeconds - chosen;
    Previous = instant;
    SureFrom = SureUntil = 0;
    if (valid.size() == 1) {
        const QDateTime at = QDateTime::fromSecsSinceEpoch(instant, QTimeZone::utc());
        SureOffset = chosen;
        SureFrom = InstantOf(Zone.previousTransition(at), Earliest) + SecondsPerDay;
        SureUntil = InstantOf(Zone.nextTransition(at), Latest) - SecondsPerDay;
    }
    return chosen;
}

void AppendIsoMinute(std::string& out, TDateTime minute, std::int32_t offsetSeconds) {
    const TDateTimeParts parts = DecodeDateTime(minute);
    const std::int32_t offsetMinutes = std::abs(offsetSeconds) / 60;
    std::array<char, 32> text;
    const int n = std::snprintf(text.data(), text.size(), "%04d-%02d-%02dT%02d:%02d:00%c%02d:%02d",
                                parts.Date.Year, parts.Date.Month, parts.Date.Day, parts.Time.Hour,
                                parts.Time.Minute, offsetSeconds < 0 ? '-' : '+',
                                offsetMinutes / 60, offsetMinutes % 60);
    out.append(text.data(), static_cast<std::size_t>(n));
}

void AppendMinuteCsvLine(std::string& out, const TMinuteRecord& record, std::int32_t offsetSeconds,
                         std::optional<double> doseRate) {
    AppendIsoMinute(out, record.StartTime, offsetSeconds);
    out += ',';
    std::array<char, 12> count;
    out.append(count.data(),
               std::to_chars(count.data(), count.data() + count.size(), record.Count).ptr);
    out += ',';
    if (doseRate) {
        AppendFloatText(out, *doseRate, PointDecimal);
    }
}

void WriteMinuteCsv(const std::string& path, const TMinuteExport& minutes) {
    // The offsets depend on the minutes before: found in order, once; the
    // lines are then made on several threads.
    TMinuteOffsets offsets(minutes.Zone);
    std::vector<std::int32_t> offsetOf;
    offsetOf.reserve(minutes.End - minutes.First);
    for (std::size_t i = minutes.First; i < minutes.End; ++i) {
        offsetOf.push_back(offsets.Next(minutes.Records[i].StartTime));
    }
    WriteLogFile(path, offsetOf.size() + 1, [&](std::string& out, std::size_t k) {
        if (k == 0) {
            out += MinuteCsvHeader;
            return;
        }
        const std::size_t i = minutes.First + k - 1;
        std::optional<double> doseRate;
        if (i >= DoseRateWindow) {
            doseRate = DoseRateBefore(minutes.Records, i, minutes.GraphCoefficient,
                                      minutes.GraphBackground);
        }
        AppendMinuteCsvLine(out, minutes.Records[i], offsetOf[k - 1], doseRate);
    });
}

} // namespace ostrel
