// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/LogFileReader.h"
#include "files/CommaText.h"
#include "files/TextFile.h"
#include "platform/DateTime.h"
#include "platform/TextServices.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace ostrel {
namespace {

TFormatSettings Pinned(const char* dateSeparator = "/", const char* timeSeparator = ":") {
    TFormatSettings fs;
    fs.DateSeparator = dateSeparator;
    fs.TimeSeparator = timeSeparator;
    fs.CurrentYear = 2026;
    return fs;
}

struct TYmd {
    int Year, Month, Day;
};
struct THms {
    int Hour, Minute, Second;
};

struct TLineCase {
    const char* Name;
    std::string Line;
    std::optional<TYmd> Date; // none: day 0
    std::optional<THms> Time; // none: no time of day
    std::int32_t Count;
};
void PrintTo(const TLineCase& c, std::ostream* os) {
    *os << c.Name;
}

TDateTime StartTimeOf(const TLineCase& c) {
    const TDateTime day = c.Date ? EncodeDate(c.Date->Year, c.Date->Month, c.Date->Day) : 0.0;
    const TDateTime time =
        c.Time ? EncodeTime(c.Time->Hour, c.Time->Minute, c.Time->Second, 0) : 0.0;
    return day + time;
}

constexpr TYmd July16 = {2011, 7, 16};
constexpr THms At1234 = {12, 34, 0};

// Current year 2026: two-digit years run from 1976 to 2075.
const std::vector<TLineCase> LineCases = {
    {"ProgramLineWithDose", "11/07/16, 12:34, 25, 0.0395", July16, At1234, 25},
    {"ThreeItems", "11/07/16, 12:34, 25", July16, At1234, 25},
    {"FourDigitYear", "2011/7/16, 12:34, 25", July16, At1234, 25},
    {"MonthAndDayInCurrentYear", "7/16, 12:34, 25", TYmd{2026, 7, 16}, At1234, 25},
    {"MonthThirteenIsNoDate", "11/13/16, 12:34, 25", std::nullopt, At1234, 25},
    {"EmptyLine", "", std::nullopt, std::nullopt, 0},
    {"Letters", "abc", std::nullopt, std::nullopt, 0},
    {"BadTimeGivesMidnight", "11/07/16, 25:00, 7", July16, std::nullopt, 7},
    {"NoCount", "11/07/16, 12:34", July16, At1234, 0},
    {"DateOnly", "11/07/16", July16, std::nullopt, 0},
    {"QuotedItems", "\"11/07/16\",\"12:34\",\"25\"", July16, At1234, 25},
    {"BlankSeparatedItems", "11/07/16 12:34 25", July16, At1234, 25},
    {"TrailingComma", "11/07/16, 12:34, 25,", July16, At1234, 25},
    {"SecondsKept", "11/07/16, 12:34:56, 25", July16, THms{12, 34, 56}, 25},
    {"CountNotNumber", "11/07/16, 12:34, abc", July16, At1234, 0},
    {"CountHex", "11/07/16, 12:34, $19", July16, At1234, 25},
    {"CountNegative", "11/07/16, 12:34, -5", July16, At1234, -5},
    {"CountOverflow", "11/07/16, 12:34, 2147483648", July16, At1234, 0},
    {"EmptyDateItem", ", 12:34, 25", std::nullopt, At1234, 25},
    {"EmptyTimeItem", "11/07/16, , 25", July16, std::nullopt, 25},
    {"WindowUpperEnd", "75/12/31, 00:00, 1", TYmd{2075, 12, 31}, THms{0, 0, 0}, 1},
    {"WindowLowerEnd", "76/01/01, 23:59, 1", TYmd{1976, 1, 1}, THms{23, 59, 0}, 1},
    {"DayZeroLineReadsAs1999", "99/12/30, 00:00, 0", TYmd{1999, 12, 30}, THms{0, 0, 0}, 0},
    {"Feb29InLeapYear", "24/02/29, 10:00, 3", TYmd{2024, 2, 29}, THms{10, 0, 0}, 3},
    {"Feb29InCommonYearIsNoDate", "25/02/29, 10:00, 3", std::nullopt, THms{10, 0, 0}, 3},
    {"QuotedCountWithBlank", "11/07/16, 12:34, \" 25\"", July16, At1234, 25},
    {"CountWithTrailingBlankQuoted", "11/07/16, 12:34, \"25 \"", July16, At1234, 0},
};

class TReadLine : public testing::TestWithParam<TLineCase> {};

TEST_P(TReadLine, GivesRecord) {
    const TMinuteRecord record = ReadLogLine(GetParam().Line, Pinned());
    EXPECT_EQ(record.StartTime, StartTimeOf(GetParam()));
    EXPECT_EQ(record.Count, GetParam().Count);
}

INSTANTIATE_TEST_SUITE_P(Lines, TReadLine, testing::ValuesIn(LineCases),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(ReadLogLine, DateIsDayNumber) {
    EXPECT_EQ(ReadLogLine("11/07/16, 00:00, 1", Pinned()).StartTime, 40740.0);
}

struct TSeparatorCase {
    const char* Name;
    const char* DateSeparator;
    const char* TimeSeparator;
    std::string Line;
    bool DateReads;
    bool TimeReads;
};
void PrintTo(const TSeparatorCase& c, std::ostream* os) {
    *os << c.Name;
}

class TReadLineSeparators : public testing::TestWithParam<TSeparatorCase> {};

TEST_P(TReadLineSeparators, FollowLocale) {
    const TSeparatorCase& c = GetParam();
    const TMinuteRecord record = ReadLogLine(c.Line, Pinned(c.DateSeparator, c.TimeSeparator));
    const TDateTime expected = (c.DateReads ? EncodeDate(2011, 7, 16) : 0.0) +
                               (c.TimeReads ? EncodeTime(12, 34, 0, 0) : 0.0);
    EXPECT_EQ(record.StartTime, expected);
    EXPECT_EQ(record.Count, 25);
}

INSTANTIATE_TEST_SUITE_P(
    Locales, TReadLineSeparators,
    testing::Values(
        TSeparatorCase{"DotDate", ".", ":", "11.07.16, 12:34, 25", true, true},
        TSeparatorCase{"SlashLineUnderDotDate", ".", ":", "11/07/16, 12:34, 25", false, true},
        TSeparatorCase{"DotTime", "/", ".", "11/07/16, 12.34, 25", true, true},
        TSeparatorCase{"ColonLineUnderDotTime", "/", ".", "11/07/16, 12:34, 25", true, false},
        TSeparatorCase{"DashDate", "-", ":", "11-07-16, 12:34, 25", true, true}),
    [](const auto& info) { return std::string(info.param.Name); });

// The date written for a minute reads back as the same double that MinuteKey
// makes of any reading of that minute, so the readings after Open fold into
// the file's last record.
TEST(ReadLogLine, LineOfEveryMinuteEqualsMinuteKey) {
    const TFormatSettings fs = Pinned();
    EXPECT_EQ(ReadLogLine("11/07/16, 12:34", fs).StartTime,
              MinuteKey(EncodeDate(2011, 7, 16) + EncodeTime(12, 34, 56, 789), fs));
    const TYmd days[] = {{2011, 7, 16}, {1976, 1, 1}, {2075, 12, 31}, {2024, 2, 29}, {2026, 3, 9}};
    for (const TYmd& day : days) {
        for (int minute = 0; minute < 24 * 60; ++minute) {
            const TDateTime reading = EncodeDate(day.Year, day.Month, day.Day) +
                                      EncodeTime(minute / 60, minute % 60, 59, 999);
            const std::string line = FormatDateTime("yy/mm/dd, hh:nn", reading, fs) + ", 1";
            ASSERT_EQ(ReadLogLine(line, fs).StartTime, MinuteKey(reading, fs)) << line;
        }
    }
}

// Reading many lines in one go (which remembers the last date item) gives
// what reading each line on its own gives.
TEST(AppendLogRecords, EqualsLineByLineReading) {
    std::vector<std::string> texts;
    for (const TLineCase& c : LineCases) {
        texts.push_back(c.Line);
    }
    // Runs of one date, a failing date between equal ones, and a date item
    // that is a prefix of the one before.
    for (const char* extra : {"11/07/16, 12:35, 1", "11/07/16, 12:36, 2", "bad, 12:37, 3",
                              "bad, 12:38", "11/07/16, 00:00, 4", "11/07/1, 1:00, 5",
                              "11/07/16, 1:00, 6", "7/16, 2:00, 7", "7/16, 3:00, 8"}) {
        texts.emplace_back(extra);
    }
    const TFormatSettings fs = Pinned();
    const std::vector<std::string_view> lines(texts.begin(), texts.end());
    TRecords records;
    records.Append({1.5, 9});
    AppendLogRecords(lines, fs, records);
    ASSERT_EQ(records.Count(), lines.size() + 1);
    EXPECT_EQ(records[0].StartTime, 1.5);
    for (std::size_t k = 0; k < lines.size(); ++k) {
        const TMinuteRecord alone = ReadLogLine(lines[k], fs);
        EXPECT_EQ(records[k + 1].StartTime, alone.StartTime) << lines[k];
        EXPECT_EQ(records[k + 1].Count, alone.Count) << lines[k];
    }
}

// Every encoding and every kind of line break reads the same five records.
class TReadFixture : public testing::TestWithParam<const char*> {};

TEST_P(TReadFixture, GivesSameRecords) {
    const TFormatSettings fs = Pinned();
    const std::string text = ReadTextFile(std::string(OSTREL_TEST_DATA) + "/" + GetParam());
    TRecords records;
    AppendLogRecords(SplitLines(text), fs, records);
    const TDateTime day = EncodeDate(2011, 7, 16);
    const std::vector<TMinuteRecord> expected = {{day + EncodeTime(12, 34, 0, 0), 25},
                                                 {day + EncodeTime(12, 35, 0, 0), 30},
                                                 {0, 0},
                                                 {0, 0},
                                                 {day + EncodeTime(12, 36, 0, 0), 7}};
    ASSERT_EQ(records.Count(), expected.size());
    for (std::size_t k = 0; k < expected.size(); ++k) {
        EXPECT_EQ(records[k].StartTime, expected[k].StartTime) << "record " << k;
        EXPECT_EQ(records[k].Count, expected[k].Count) << "record " << k;
    }
}

INSTANTIATE_TEST_SUITE_P(Files, TReadFixture,
                         testing::Values("log_crlf.csv", "log_utf8bom.csv", "log_utf16le.csv",
                                         "log_utf16be.csv", "log_mixed_breaks.csv"));

TEST(ReadFixture, EmptyFileGivesNoRecords) {
    TRecords records;
    AppendLogRecords(SplitLines(ReadTextFile(std::string(OSTREL_TEST_DATA) + "/log_empty.csv")),
                     Pinned(), records);
    EXPECT_TRUE(records.Empty());
}

} // namespace
// The general steps, composed from the public parsers: what every line
// must read as, whichever way the reader takes.
TMinuteRecord GeneralRead(std::string_view line, const TFormatSettings& fs) {
    TCommaTextSplitter splitter;
    const std::vector<std::string_view>& items = splitter.Split(line);
    TMinuteRecord record;
    if (!items.empty()) {
        record.StartTime = TryReadDateItem(items[0], fs).value_or(0);
    }
    if (items.size() >= 2) {
        record.StartTime += TryStrToTime(items[1], fs).value_or(0);
    }
    if (items.size() >= 3) {
        record.Count = TryStrToInt(items[2]).value_or(0);
    }
    return record;
}

// Lines in the shape the program writes, and lines one character away from
// it, under two locales: each reads as the general steps read it.
TEST(LogLineReader, UsualShapeReadsAsTheGeneralSteps) {
    const std::vector<std::string> shapes = {
        "24/01/01, 00:09, 20",         "24/01/01, 00:10, 20, 0.055458",
        "24/01/01, 23:59, 0",          "24/02/30, 12:00, 5",
        "24/13/01, 12:00, 5",          "24/01/01, 24:00, 5",
        "24/01/01, 12:60, 5",          "24/01/01, 12:00, 123456789",
        "24/01/01, 12:00, 1234567890", "24/01/01, 12:00, 9999999999",
        "24/01/01, 12:00, 20x",        "24/01/01, 12:00, 0x1F",
        "24/01/01, 12:00, 20 junk",    "24/01/01, 12:00, 20,",
        "24/01/01, 12:00, 20\t1",      "24/01/01, 12:00, 0020",
        "24/01/01, 12:00, -5",         "24/01/01, 12:00,  5",
        "24/01/01,  12:00, 5",         "24/01/01 12:00 5",
        "24-01-01, 12.00, 5",          "24-01-01, 12.00, 5, 0,5",
        "2024/01/01, 12:00, 5",        "24/01/01, 12:00:30, 5",
        "24/01/01, 12:00, \"5\"",      "\"24/01/01\", 12:00, 5",
        "24/01/01, 12:00, 5\xc3\xa9",  "24/01/01, 12:00, ",
        "99/12/31, 07:05, 42, 1E-5",   "00/01/01, 00:00, 1"};
    TFormatSettings dashes = Pinned("-", ".");
    dashes.DecimalSeparator = ",";
    for (const TFormatSettings& fs : {Pinned(), dashes}) {
        TLogLineReader reader(fs);
        for (const std::string& line : shapes) {
            const TMinuteRecord expected = GeneralRead(line, fs);
            const TMinuteRecord got = reader.Read(line);
            EXPECT_EQ(got.StartTime, expected.StartTime) << line << " / " << fs.DateSeparator;
            EXPECT_EQ(got.Count, expected.Count) << line << " / " << fs.DateSeparator;
        }
    }
}

// A text read whole gives the records of its lines, as SplitLines splits it.
TEST(AppendLogRecords, TextEqualsLines) {
    const std::string text =
        "24/01/01, 00:09, 20\r\n\r\n24/01/01, 00:10, 21\n\rx\r24/01/01, 00:11, 3";
    TRecords fromText;
    TRecords fromLines;
    AppendLogRecords(std::string_view(text), Pinned(), fromText);
    AppendLogRecords(SplitLines(text), Pinned(), fromLines);
    ASSERT_EQ(fromText.Count(), 6u);
    ASSERT_EQ(fromText.Count(), fromLines.Count());
    for (std::size_t k = 0; k < fromText.Count(); ++k) {
        EXPECT_EQ(fromText[k].StartTime, fromLines[k].StartTime) << k;
        EXPECT_EQ(fromText[k].Count, fromLines[k].Count) << k;
    }
}

} // namespace ostrel
