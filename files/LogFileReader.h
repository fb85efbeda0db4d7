// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Log-file lines read back into minute records: date, time and count from the
// first three items of each line, each on its own, whatever fails.

#include "files/CommaText.h"
#include "platform/FormatSettings.h"
#include "records/MinuteRecords.h"

#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

// Reads lines one after another. A line always gives one record: StartTime is
// the date item's day (0 when it does not read) plus the time item's fraction
// of the day when that reads; Count is the third item when it reads, else 0.
class TLogLineReader {
public:
    explicit TLogLineReader(const TFormatSettings& fs);
    TMinuteRecord Read(std::string_view line);

private:
    TDateTime DateOf(std::string_view item);
    bool ReadUsualShape(std::string_view line, TMinuteRecord& record);

    const TFormatSettings& Fs;
    const bool UsualShapeReadable; // the locale's separators allow the short way
    TCommaTextSplitter Splitter;
    // Consecutive lines mostly share their date item.
    std::string LastDateItem;
    TDateTime LastDate = 0;
    bool HasLastDate = false;
};

// One line's record, read on its own.
TMinuteRecord ReadLogLine(std::string_view line, const TFormatSettings& fs);

// One record per line, in line order, appended to records.
void AppendLogRecords(const std::vector<std::string_view>& lines, const TFormatSettings& fs,
                      TRecords& records);
// The same for each line of a text (as SplitLines splits it), with no vector
// of lines.
void AppendLogRecords(std::string_view text, const TFormatSettings& fs, TRecords& records);

} // namespace ostrel
