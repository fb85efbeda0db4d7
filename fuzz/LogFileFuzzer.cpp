// SPDX-License-Identifier: GPL-3.0-or-later
// A log file's bytes all the way to records, as Open reads them: encoding
// detection, line splitting, comma text, the date item, StrToTime and
// StrToInt. The first byte picks the locale.

#include "FuzzSupport.h"

#include "files/CommaText.h"
#include "files/LogFileReader.h"
#include "files/TextFile.h"
#include "platform/DateTime.h"
#include "platform/TextServices.h"
#include "records/MinuteRecords.h"

#include <cmath>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace ostrel;
using fuzz::Require;

void CheckLines(std::string_view text, const std::vector<std::string_view>& lines) {
    std::size_t characters = 0;
    for (const std::string_view line : lines) {
        Require(line.find_first_of("\r\n") == std::string_view::npos, "a line holds no break");
        Require(line.data() >= text.data() &&
                    line.data() + line.size() <= text.data() + text.size(),
                "a line lies inside the text");
        characters += line.size();
    }
    Require(characters <= text.size(), "lines hold no more than the text");
}

void CheckInteger(std::string_view item) {
    const auto value = TryStrToInt(item);
    if (value) {
        Require(TryStrToInt(FormatInt(*value)) == value, "an integer reads back from its text");
    }
}

void CheckTime(std::string_view item, const TFormatSettings& fs) {
    const auto time = TryStrToTime(item, fs);
    if (time) {
        Require(*time >= 0 && *time < 1, "a time of day lies in [0, 1)");
    }
}

void CheckDate(std::string_view item, const TFormatSettings& fs) {
    const auto date = TryReadDateItem(item, fs);
    if (!date) {
        return;
    }
    Require(*date == std::floor(*date), "a date item is a whole day");
    Require(*date >= EncodeDate(1, 1, 1) && *date <= EncodeDate(9999, 12, 31),
            "a date item lies in the years 1 to 9999");
    const std::string written = FormatDateTime("yyyy/mm/dd", *date, fs);
    Require(TryReadDateItem(written, fs) == date, "a date reads back from its four-digit text");
}

// Save writes a record's line and Open reads it back: the count comes back
// as it was and the time as the minute that the live loop would make of it.
void CheckLineReadsBack(const TMinuteRecord& record, const TFormatSettings& fs) {
    const TMinuteRecord back = ReadLogLine(LogLineText(record, fs), fs);
    Require(back.Count == record.Count, "a count reads back from its line");
    const TDateTime key = MinuteKey(record.StartTime, fs);
    Require(std::memcmp(&back.StartTime, &key, sizeof key) == 0,
            "a line's date and time read back as the record's minute");
}

bool SameRecord(const TMinuteRecord& a, const TMinuteRecord& b) {
    return std::memcmp(&a.StartTime, &b.StartTime, sizeof a.StartTime) == 0 && a.Count == b.Count;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const TFormatSettings& fs = fuzz::LocaleFor(data[0]);
    const std::string text =
        DecodeText(std::string(reinterpret_cast<const char*>(data) + 1, size - 1));
    Require(text.find('\0') == std::string::npos, "decoded text stops at the first NUL");
    Require(fuzz::IsUtf8(text), "decoded text is UTF-8");

    const std::vector<std::string_view> lines = SplitLines(text);
    CheckLines(text, lines);
    TRecords records;
    AppendLogRecords(lines, fs, records);
    Require(records.Count() == lines.size(), "every line gives one record");

    // The reader reuses its splitter and remembers the last date item; a
    // line read on its own must come out the same.
    TCommaTextSplitter splitter;
    for (std::size_t k = 0; k < lines.size(); ++k) {
        Require(SameRecord(records[k], ReadLogLine(lines[k], fs)), "a line reads the same alone");
        CheckLineReadsBack(records[k], fs);
        const std::vector<std::string_view>& items = splitter.Split(lines[k]);
        const std::vector<std::string> fresh = CommaTextItems(lines[k]);
        Require(std::vector<std::string>(items.begin(), items.end()) == fresh,
                "a reused splitter splits as a fresh one");
        for (std::size_t j = 0; j < items.size() && j < 4; ++j) {
            CheckDate(items[j], fs);
            CheckTime(items[j], fs);
            CheckInteger(items[j]);
        }
    }
    return 0;
}
