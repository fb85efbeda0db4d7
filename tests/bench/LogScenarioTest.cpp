// SPDX-License-Identifier: GPL-3.0-or-later
// The generated logs of the benchmarks: their lines are the program's own
// line format, and the check of an opened log notices what differs.

#include "bench/LogScenario.h"
#include "files/LogFileReader.h"
#include "files/TextFile.h"
#include "platform/TextServices.h"
#include "support/FakeViews.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fstream>
#include <stdexcept>

namespace ostrel::bench {
namespace {

constexpr std::size_t MinutesPerDay = 1440;

TRecords Records(std::size_t n) {
    TRecords records;
    for (std::size_t k = 0; k < n; ++k) {
        records.Append(ScenarioRecord(k, ScenarioFormatSettings()));
    }
    return records;
}

struct TDateCase {
    std::size_t Minute;
    std::string Text;
};

void PrintTo(const TDateCase& c, std::ostream* os) {
    *os << "minute " << c.Minute;
}

class ScenarioDateTest : public ::testing::TestWithParam<TDateCase> {};

TEST_P(ScenarioDateTest, MinuteTextIsTheCalendarMinute) {
    EXPECT_EQ(MinuteText(GetParam().Minute), GetParam().Text);
}

INSTANTIATE_TEST_SUITE_P(Calendar, ScenarioDateTest,
                         ::testing::Values(TDateCase{0, "24/01/01 00:00"},
                                           TDateCase{59, "24/01/01 00:59"},
                                           TDateCase{MinutesPerDay - 1, "24/01/01 23:59"},
                                           TDateCase{MinutesPerDay, "24/01/02 00:00"},
                                           TDateCase{59 * MinutesPerDay + 61, "24/02/29 01:01"},
                                           TDateCase{366 * MinutesPerDay, "25/01/01 00:00"},
                                           TDateCase{999'999, "25/11/25 10:39"}));

// The generator writes lines on its own; they must be what the program
// writes for the same records, both the rebuild's and the live loop's.
TEST(LogScenarioTest, LinesAreWhatTheProgramWritesForTheSameRecords) {
    const TFormatSettings fs = ScenarioFormatSettings();
    const std::size_t n = 3 * MinutesPerDay;
    const TRecords records = Records(n + 1);
    for (std::size_t k = 0; k < n; ++k) {
        const TMinuteRecord& r = records[k];
        const std::string rebuilt =
            k < 10 ? LogLineText(r, fs)
                   : LogLineText(r, DoseRateBefore(records, k, ScenarioCoefficient, 0), fs);
        const std::string live =
            k < 10 ? LogLineText(r, fs)
                   : LogLineText(r, DoseRateBefore(records, k + 1, ScenarioCoefficient, 0), fs);
        ASSERT_EQ(RebuiltLine(k), rebuilt) << "minute " << k;
        ASSERT_EQ(LiveLine(k), live) << "minute " << k;
    }
}

TEST(LogScenarioTest, DoseRatesAreTheMeanOfTenCountsTimesTheCoefficient) {
    std::int64_t sum = 0;
    for (std::size_t k = 0; k < 10; ++k) {
        sum += ScenarioCount(k);
    }
    const std::string line = RebuiltLine(10);
    const std::string dose = line.substr(line.rfind(", ") + 2);
    EXPECT_DOUBLE_EQ(std::stod(dose), 0.00158 * static_cast<double>(sum) / 10);
    EXPECT_EQ(line.substr(0, 16), "24/01/01, 00:10,");
    EXPECT_EQ(RebuiltLine(9).find(", 0."), std::string::npos);
}

TEST(LogScenarioTest, CountsStayWithinTenToSixtyAndVary) {
    std::int32_t lowest = 1000;
    std::int32_t highest = 0;
    for (std::size_t k = 0; k < 10'000; ++k) {
        lowest = std::min(lowest, ScenarioCount(k));
        highest = std::max(highest, ScenarioCount(k));
    }
    EXPECT_EQ(lowest, 10);
    EXPECT_EQ(highest, 60);
}

// What Open reads from the generated text is the scenario's records.
TEST(LogScenarioTest, TheFileReadsBackAsTheScenarioRecords) {
    const std::size_t n = 2 * MinutesPerDay + 5;
    const std::string text = ScenarioLogText(n);
    EXPECT_EQ(text.substr(0, 21), "24/01/01, 00:00, " + std::to_string(ScenarioCount(0)) + "\r\n");
    TRecords read;
    AppendLogRecords(SplitLines(text), ScenarioFormatSettings(), read);
    const TRecords expected = Records(n);
    ASSERT_EQ(read.Count(), n);
    for (std::size_t k = 0; k < n; ++k) {
        ASSERT_EQ(read[k].StartTime, expected[k].StartTime) << "minute " << k;
        ASSERT_EQ(read[k].Count, expected[k].Count) << "minute " << k;
    }
}

struct TCountCase {
    std::string Bytes;
    std::size_t Lines;
};

void PrintTo(const TCountCase& c, std::ostream* os) {
    *os << c.Bytes.size() << " bytes";
}

class ReadAndCountLinesTest : public ::testing::TestWithParam<TCountCase> {};

TEST_P(ReadAndCountLinesTest, CountsLinesLikeTheReader) {
    QTemporaryDir folder;
    const std::string path = folder.filePath("log.csv").toStdString();
    std::ofstream(path, std::ios::binary) << GetParam().Bytes;
    EXPECT_EQ(ReadAndCountLines(path), GetParam().Lines);
}

INSTANTIATE_TEST_SUITE_P(Texts, ReadAndCountLinesTest,
                         ::testing::Values(TCountCase{"", 0}, TCountCase{"a\r\n", 1},
                                           TCountCase{"a\r\nb", 2}, TCountCase{"a\n\nb\n", 3},
                                           TCountCase{ScenarioLogText(1000), 1000}));

TEST(LogScenarioTest, AMissingFileCannotBeCounted) {
    EXPECT_THROW(ReadAndCountLines("/nonexistent/log.csv"), std::runtime_error);
}

struct TMismatchCase {
    const char* Name;
    std::size_t Records;
    std::size_t Lines;
    std::size_t Changed; // the record or line made wrong; none past the end
    bool ChangeLine;
    std::string Expected;
};

void PrintTo(const TMismatchCase& c, std::ostream* os) {
    *os << c.Name;
}

class CheckOpenedLogTest : public ::testing::TestWithParam<TMismatchCase> {};

TEST_P(CheckOpenedLogTest, NamesTheFirstDifference) {
    const TMismatchCase& c = GetParam();
    const TFormatSettings fs = ScenarioFormatSettings();
    TRecords records;
    test::TFakeLog log;
    for (std::size_t k = 0; k < c.Records; ++k) {
        TMinuteRecord r = ScenarioRecord(k, fs);
        r.Count += (k == c.Changed && !c.ChangeLine) ? 1 : 0;
        records.Append(r);
    }
    for (std::size_t k = 0; k < c.Lines; ++k) {
        log.Add(k == c.Changed && c.ChangeLine ? "24/01/01, 00:03, 0" : RebuiltLine(k));
    }
    const std::optional<std::string> problem = CheckOpenedLog(records, log, 12, fs);
    if (c.Expected.empty()) {
        EXPECT_EQ(problem, std::nullopt);
    } else {
        ASSERT_TRUE(problem.has_value());
        EXPECT_EQ(problem->substr(0, c.Expected.size()), c.Expected);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CheckOpenedLogTest,
    ::testing::Values(TMismatchCase{"AllAgree", 12, 12, 99, false, ""},
                      TMismatchCase{"ARecordShort", 11, 12, 99, false, "11 records, expected 12"},
                      TMismatchCase{"ALineShort", 12, 11, 99, false, "11 log lines, expected 12"},
                      TMismatchCase{"ACountWrong", 12, 12, 4, false, "record 4: 45292.0027777777"},
                      TMismatchCase{
                          "ALineWrong", 12, 12, 3, true,
                          "line 3: \"24/01/01, 00:03, 0\", expected \"24/01/01, 00:03, "}),
    [](const auto& info) { return std::string(info.param.Name); });

} // namespace
} // namespace ostrel::bench
