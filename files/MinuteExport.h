// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Minutes exported for other programs: a CSV file with a header line, each
// minute's instant in ISO 8601 with its UTC offset, its count and its dose
// rate as the window shows it. The log file's own format is not this.

#include "records/MinuteRecords.h"

#include <QTimeZone>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ostrel {

inline constexpr std::string_view MinuteCsvHeader = "time,count,dose_rate_usv_h";

// The UTC offsets of the wall-clock minutes of a log, taken in order: a
// minute's time is the clock's on the wall, which names two instants in the
// hour that repeats when the clocks go back and none in the hour they skip.
class TMinuteOffsets {
public:
    explicit TMinuteOffsets(QTimeZone zone) : Zone(std::move(zone)) {}

    // Seconds east of UTC of minute, which comes after the minutes asked for
    // before: of two instants, the first one after the previous minute's
    // (the earlier one when neither is); in a skipped hour the offset before
    // the skip. 0 for a time without a date.
    std::int32_t Next(TDateTime minute);

private:
    std::int32_t Resolve(std::int64_t wallSeconds);

    QTimeZone Zone;
    std::optional<std::int64_t> Previous; // the last minute's instant
    // Where the last offset holds for certain: a span of one offset, a day
    // away from either transition.
    std::int64_t SureFrom = 0;
    std::int64_t SureUntil = 0;
    std::int32_t SureOffset = 0;
};

// "2026-12-10T17:41:00+09:00": the wall-clock minute and its offset.
void AppendIsoMinute(std::string& out, TDateTime minute, std::int32_t offsetSeconds);

// One line of the CSV without its break: time, count, dose rate (empty when
// the minute has none), the dose rate written as the log list writes it but
// always with a "." for the decimal point.
void AppendMinuteCsvLine(std::string& out, const TMinuteRecord& record, std::int32_t offsetSeconds,
                         std::optional<double> doseRate);

// What is exported: records first .. end-1, their dose rates made from the
// records before them with the chart's pair, their offsets in zone.
struct TMinuteExport {
    const TRecords& Records;
    std::size_t First = 0;
    std::size_t End = 0;
    double GraphCoefficient = 0;
    std::int32_t GraphBackground = 0;
    QTimeZone Zone = QTimeZone::systemTimeZone();
};

// Writes the header and one line per minute to path, each followed by CR LF,
// as WriteLogFile writes (the old file replaced only once the new one is
// whole; EFileError "ファイル "%s" を作成できません。%s" on failure).
void WriteMinuteCsv(const std::string& path, const TMinuteExport& minutes);

} // namespace ostrel
