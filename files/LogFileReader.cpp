// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/LogFileReader.h"

#include "platform/Exceptions.h"
#include "platform/TextServices.h"

#include <optional>

namespace ostrel {

namespace {

// Each item is read on its own: whatever goes wrong with one leaves its part
// of the record as it was and never stops the reading of the file.
template <typename Parse> auto Contained(Parse parse) -> decltype(parse()) {
    try {
        return parse();
    } catch (const Exception&) {
        return std::nullopt;
    }
}

} // namespace

TLogLineReader::TLogLineReader(const TFormatSettings& fs) : Fs(fs) {}

TDateTime TLogLineReader::DateOf(std::string_view item) {
    if (HasLastDate && item == LastDateItem) {
        return LastDate;
    }
    LastDate = Contained([&] { return TryReadDateItem(item, Fs); }).value_or(0);
    LastDateItem.assign(item);
    HasLastDate = true;
    return LastDate;
}

TMinuteRecord TLogLineReader::Read(std::string_view line) {
    const std::vector<std::string_view>& items = Splitter.Split(line);
    TMinuteRecord record;
    if (items.size() >= 1) {
        record.StartTime = DateOf(items[0]);
    }
    if (items.size() >= 2) {
        if (const auto time = Contained([&] { return TryStrToTime(items[1], Fs); })) {
            record.StartTime += *time;
        }
    }
    if (items.size() >= 3) {
        record.Count = Contained([&] { return TryStrToInt(items[2]); }).value_or(0);
    }
    return record;
}

TMinuteRecord ReadLogLine(std::string_view line, const TFormatSettings& fs) {
    TLogLineReader reader(fs);
    return reader.Read(line);
}

void AppendLogRecords(const std::vector<std::string_view>& lines, const TFormatSettings& fs,
                      TRecords& records) {
    TLogLineReader reader(fs);
    records.Reserve(records.Count() + lines.size());
    for (const std::string_view line : lines) {
        records.Append(reader.Read(line));
    }
}

} // namespace ostrel
