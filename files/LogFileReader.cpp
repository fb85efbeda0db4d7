// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/LogFileReader.h"

#include "files/TextFile.h"

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

bool IsDigitChar(char c) {
    return c >= '0' && c <= '9';
}

// A separator that cannot be mistaken for a digit, a blank, a comma or a quote
// in the usual line shape.
bool IsPlainSeparator(const std::string& separator) {
    if (separator.size() != 1) {
        return false;
    }
    const auto c = static_cast<unsigned char>(separator[0]);
    return c > 32 && c != ',' && c != '"' && !IsDigitChar(separator[0]);
}

bool StartsWithDigit(const std::string& text) {
    return !text.empty() && IsDigitChar(text[0]);
}

// Two digits at text[at], at + 1.
int TwoDigits(std::string_view text, std::size_t at) {
    return (text[at] - '0') * 10 + (text[at + 1] - '0');
}

} // namespace

TLogLineReader::TLogLineReader(const TFormatSettings& fs)
    : Fs(fs),
      UsualShapeReadable(IsPlainSeparator(fs.DateSeparator) && IsPlainSeparator(fs.TimeSeparator) &&
                         !StartsWithDigit(fs.TimeAMString) && !StartsWithDigit(fs.TimePMString)) {}

// "yy/mm/dd, hh:nn, count" with whatever follows a comma or blank after the
// count: the shape the program writes. The items are those the comma-text
// split gives, read as the general steps read them; any other line, or a
// count of ten digits or more, goes the general way.
bool TLogLineReader::ReadUsualShape(std::string_view line, TMinuteRecord& record) {
    constexpr std::size_t countAt = 17;
    if (!UsualShapeReadable || line.size() <= countAt) {
        return false;
    }
    const char dateSeparator = Fs.DateSeparator[0];
    const char timeSeparator = Fs.TimeSeparator[0];
    for (const std::size_t at : {0, 1, 3, 4, 6, 7, 10, 11, 13, 14}) {
        if (!IsDigitChar(line[at])) {
            return false;
        }
    }
    if (line[2] != dateSeparator || line[5] != dateSeparator || line[8] != ',' || line[9] != ' ' ||
        line[12] != timeSeparator || line[15] != ',' || line[16] != ' ') {
        return false;
    }
    std::size_t end = countAt;
    std::int32_t count = 0;
    while (end < line.size() && IsDigitChar(line[end]) && end - countAt < 9) {
        count = count * 10 + (line[end] - '0');
        ++end;
    }
    if (end == countAt) {
        return false;
    }
    if (end < line.size()) {
        const auto after = static_cast<unsigned char>(line[end]);
        if (after != ',' && (after == 0 || after > 32)) {
            return false;
        }
    }
    record.StartTime = DateOf(line.substr(0, 8));
    const int hour = TwoDigits(line, 10);
    const int minute = TwoDigits(line, 13);
    if (hour <= 23 && minute <= 59) {
        record.StartTime += EncodeTime(hour, minute, 0, 0);
    }
    record.Count = count;
    return true;
}

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
    TMinuteRecord record;
    if (ReadUsualShape(line, record)) {
        return record;
    }
    const std::vector<std::string_view>& items = Splitter.Split(line);
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

void AppendLogRecords(std::string_view text, const TFormatSettings& fs, TRecords& records) {
    TLogLineReader reader(fs);
    records.Reserve(records.Count() + CountLines(text));
    ForEachLine(text, [&](std::string_view line) { records.Append(reader.Read(line)); });
}

} // namespace ostrel
