// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One record per counted clock minute, the sequence of them, and the
// computations that the live loop and the display rebuild share.

#include "platform/DateTime.h"
#include "platform/FormatSettings.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace ostrel {

struct TMinuteRecord {
    TDateTime StartTime = 0; // a whole minute, as made by MinuteKey
    std::int32_t Count = 0;  // counts of every reading of that minute
};

// The main window's records, in the order they were appended.
class TRecords {
public:
    std::size_t Count() const { return Items.size(); }
    bool Empty() const { return Items.empty(); }
    const TMinuteRecord& operator[](std::size_t k) const { return Items[k]; }
    const TMinuteRecord& Last() const { return Items.back(); }
    std::span<const TMinuteRecord> All() const { return Items; }
    void Append(const TMinuteRecord& record) { Items.push_back(record); }
    // Adds to the last record's count, saturating at the 32-bit maximum
    // (a record read from a file may already hold a large count).
    void AddToLastCount(std::uint32_t counts);
    void Clear();
    void Reserve(std::size_t n) { Items.reserve(n); }

private:
    std::vector<TMinuteRecord> Items;
};

// The minute a reading's time belongs to: the time with seconds and
// milliseconds dropped, its year placed by the century window of 50 around
// fs.CurrentYear. Equal to what the log-file reader makes of the same
// minute's line date text.
TDateTime MinuteKey(TDateTime t, const TFormatSettings& fs);

// How many records a dose rate is the mean of.
inline constexpr std::size_t DoseRateWindow = 10;

// Dose rate in uSv/h over the DoseRateWindow records at positions
// k-DoseRateWindow .. k-1 (DoseRateWindow <= k <= records.Count()).
double DoseRateBefore(const TRecords& records, std::size_t k, double graphCoefficient,
                      std::int32_t graphBackground);

// The label of the counts point of record k: its minute text for the first
// record and for minutes that are multiples of ten, otherwise empty.
std::string PointLabel(std::size_t k, TDateTime t, const TFormatSettings& fs);

// "yy/mm/dd, hh:nn, count" and "yy/mm/dd, hh:nn, count, dose".
std::string LogLineText(const TMinuteRecord& r, const TFormatSettings& fs);
std::string LogLineText(const TMinuteRecord& r, double doseRate, const TFormatSettings& fs);
// The same lines appended to out, which a caller writing many lines reuses.
void AppendLogLineText(std::string& out, const TMinuteRecord& r, const TFormatSettings& fs);
void AppendLogLineText(std::string& out, const TMinuteRecord& r, double doseRate,
                       const TFormatSettings& fs);

// The line a rebuild writes for record i of records: with the dose rate of
// the DoseRateWindow records before it, none for the first DoseRateWindow.
void AppendRebuiltLine(std::string& out, const TRecords& records, std::size_t i,
                       double graphCoefficient, std::int32_t graphBackground,
                       const TFormatSettings& fs);

// The three text forms of a date-time value.
inline constexpr const char* MinuteTextPattern = "yy/mm/dd hh:nn";
inline constexpr const char* LineDateTextPattern = "yy/mm/dd, hh:nn";
inline constexpr const char* MinuteNumberPattern = "n";

} // namespace ostrel
