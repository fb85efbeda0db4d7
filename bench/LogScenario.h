// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Generated logs for the benchmarks and their checks: minute k of a scenario
// starts 2024-01-01 00:00 plus k minutes and holds ScenarioCount(k) counts.
// The lines are written here on their own, not by the program's formatting
// code, so that what the program reads back and writes can be compared with
// an independent account of the same minutes.

#include "platform/FormatSettings.h"
#include "records/MinuteRecords.h"
#include "views/LogView.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace ostrel::bench {

// The chart pair the lines are made with: the program's defaults.
inline constexpr double ScenarioCoefficient = 0.00158;
inline constexpr std::int32_t ScenarioBackground = 0;

// "/", ":" and "." with the century window centred on 2024, so that the
// two-digit years of every scenario read back as written.
TFormatSettings ScenarioFormatSettings();

struct TScenarioMinute {
    int Year = 0;
    int Month = 0;
    int Day = 0;
    int Hour = 0;
    int Minute = 0;
};

// The calendar minute of minute k.
TScenarioMinute ScenarioMinute(std::size_t k);

// The counts of minute k: 10 to 60, scattered but the same in every run.
std::int32_t ScenarioCount(std::size_t k);

// The record that minute k must read back as: its StartTime is the key that a
// live reading of that minute gets.
TMinuteRecord ScenarioRecord(std::size_t k, const TFormatSettings& fs);

// The line of minute k as the display rebuild writes it: from k = 10 on with
// the dose rate over minutes k-10 .. k-1.
std::string RebuiltLine(std::size_t k);

// The line of minute k as the live loop writes it when minute k+1 begins:
// from k = 10 on with the dose rate over minutes k-9 .. k.
std::string LiveLine(std::size_t k);

// "yy/mm/dd hh:nn" of minute k, the text of a labelled chart point.
std::string MinuteText(std::size_t k);

// The bytes of a log file of n minutes: RebuiltLine(0 .. n-1), CR LF after
// each, as Save writes them after Open.
std::string ScenarioLogText(std::size_t n);

// Writes ScenarioLogText(n) to path; throws std::runtime_error on failure.
void WriteScenarioLog(const std::string& path, std::size_t n);

// The floor of opening a file: reads its bytes and counts its lines (line
// feeds, plus one for a last line without one). Throws std::runtime_error
// when the file cannot be read.
std::size_t ReadAndCountLines(const std::string& path);

// The first place where records and lines differ from minutes 0 .. n-1 of
// the scenario after Open, as text; none when all agree.
std::optional<std::string> CheckOpenedLog(const TRecords& records, const TLogView& log,
                                          std::size_t n, const TFormatSettings& fs);

// Where the file's bytes first differ from expected; none when they agree.
std::optional<std::string> SameText(const std::string& path, const std::string& expected);

} // namespace ostrel::bench
