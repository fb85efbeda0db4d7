// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Clocks, medians, memory readings and the results table of the benchmarks.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel::bench {

using TClock = std::chrono::steady_clock;

double SecondsBetween(TClock::time_point from, TClock::time_point to);

// Runs prepare then body, runs times; only body is timed. The seconds of
// each run, in run order.
std::vector<double> TimeRuns(int runs, const std::function<void()>& prepare,
                             const std::function<void()>& body);

// The middle value (the mean of the two middle ones for an even count); 0
// for none.
double Median(std::vector<double> values);

// "1.23 s", "12.3 ms", "45.6 us", "789 ns": three significant digits.
std::string FormatSeconds(double seconds);
// "1,000,000".
std::string FormatCount(std::uint64_t value);
// "12.3 MB" (10^6 bytes), "456 kB", "78 B".
std::string FormatBytes(double bytes);
// "x1.23".
std::string FormatRatio(double ratio);

// The number in a "Key:   1234 kB" line of /proc/<pid>/status text.
std::optional<std::int64_t> StatusKilobytes(std::string_view status, std::string_view key);
// Of this process; none where the system has no /proc.
std::optional<std::int64_t> OwnStatusKilobytes(std::string_view key);
// User and system time of this process, all its threads, ended ones too.
double OwnCpuSeconds();
// Bytes that the C heap has handed out and not taken back (mapped blocks
// included); 0 where the C library does not tell.
std::size_t HeapInUse();

enum class TVerdict { None, Met, Missed };

struct TBenchRow {
    std::string Name;
    std::string Figure;
    std::string Target;    // empty: none
    std::string Reference; // empty: none
    TVerdict Verdict = TVerdict::None;
};

inline TVerdict VerdictOf(bool met) {
    return met ? TVerdict::Met : TVerdict::Missed;
}

// A fixed-width table: a header, a rule, one line per row; "-" for an empty
// target or reference, and "met", "MISSED" or nothing as verdict.
std::string FormatTable(const std::vector<TBenchRow>& rows);

} // namespace ostrel::bench
