// SPDX-License-Identifier: GPL-3.0-or-later
// The arithmetic and the texts of the benchmark table.

#include "bench/Measure.h"

#include <gtest/gtest.h>

namespace ostrel::bench {
namespace {

struct TMedianCase {
    std::vector<double> Values;
    double Median;
};

void PrintTo(const TMedianCase& c, std::ostream* os) {
    *os << c.Values.size() << " values";
}

class MedianTest : public ::testing::TestWithParam<TMedianCase> {};

TEST_P(MedianTest, IsTheMiddleOfTheSortedValues) {
    EXPECT_DOUBLE_EQ(Median(GetParam().Values), GetParam().Median);
}

INSTANTIATE_TEST_SUITE_P(Values, MedianTest,
                         ::testing::Values(TMedianCase{{}, 0}, TMedianCase{{7}, 7},
                                           TMedianCase{{9, 1, 5}, 5},
                                           TMedianCase{{4, 1, 3, 2}, 2.5},
                                           TMedianCase{{3, 100, 3, 1, 2}, 3}));

struct TTextCase {
    double Value;
    std::string Text;
};

void PrintTo(const TTextCase& c, std::ostream* os) {
    *os << c.Text;
}

class FormatSecondsTest : public ::testing::TestWithParam<TTextCase> {};

TEST_P(FormatSecondsTest, KeepsThreeSignificantDigits) {
    EXPECT_EQ(FormatSeconds(GetParam().Value), GetParam().Text);
}

INSTANTIATE_TEST_SUITE_P(Values, FormatSecondsTest,
                         ::testing::Values(TTextCase{1.5, "1.50 s"}, TTextCase{0.455, "455 ms"},
                                           TTextCase{0.0123, "12.3 ms"},
                                           TTextCase{0.001, "1.00 ms"},
                                           TTextCase{4.52e-7, "452 ns"},
                                           TTextCase{6.53e-5, "65.3 us"}, TTextCase{0, "0.00 ns"}));

class FormatBytesTest : public ::testing::TestWithParam<TTextCase> {};

TEST_P(FormatBytesTest, UsesDecimalUnits) {
    EXPECT_EQ(FormatBytes(GetParam().Value), GetParam().Text);
}

INSTANTIATE_TEST_SUITE_P(Values, FormatBytesTest,
                         ::testing::Values(TTextCase{162, "162 B"}, TTextCase{999, "999 B"},
                                           TTextCase{1000, "1.00 kB"},
                                           TTextCase{36'100'000, "36.1 MB"},
                                           TTextCase{198'000'000, "198 MB"}));

TEST(MeasureTest, CountsAreGroupedByThousands) {
    EXPECT_EQ(FormatCount(0), "0");
    EXPECT_EQ(FormatCount(360), "360");
    EXPECT_EQ(FormatCount(10'000), "10,000");
    EXPECT_EQ(FormatCount(1'000'000), "1,000,000");
    EXPECT_EQ(FormatRatio(1.474), "x1.47");
}

struct TStatusCase {
    const char* Name;
    std::string Status;
    std::optional<std::int64_t> HighWater;
};

void PrintTo(const TStatusCase& c, std::ostream* os) {
    *os << c.Name;
}

class StatusKilobytesTest : public ::testing::TestWithParam<TStatusCase> {};

TEST_P(StatusKilobytesTest, ReadsTheKeysOwnLine) {
    EXPECT_EQ(StatusKilobytes(GetParam().Status, "VmHWM"), GetParam().HighWater);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, StatusKilobytesTest,
    ::testing::Values(
        TStatusCase{"Proc",
                    "Name:\tostrel\nVmPeak:\t  300 kB\nVmHWM:\t  198040 kB\nVmRSS:\t 1 kB\n",
                    198040},
        TStatusCase{"LastLine", "VmRSS:\t 1 kB\nVmHWM:\t 52 kB", 52},
        TStatusCase{"Missing", "VmRSS:\t 1 kB\n", std::nullopt},
        TStatusCase{"LongerKeyOnly", "VmHWMX:\t 5 kB\n", std::nullopt},
        TStatusCase{"NoUnit", "VmHWM:\t 5\n", std::nullopt}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(MeasureTest, TimeRunsPreparesBeforeEveryTimedRun) {
    std::vector<std::string> calls;
    const std::vector<double> seconds = TimeRuns(
        3, [&] { calls.push_back("prepare"); }, [&] { calls.push_back("body"); });
    EXPECT_EQ(seconds.size(), 3U);
    EXPECT_EQ(calls,
              (std::vector<std::string>{"prepare", "body", "prepare", "body", "prepare", "body"}));
}

TEST(MeasureTest, TheTableAlignsColumnsAndShowsDashesAndVerdicts) {
    const std::string table = FormatTable({
        {"Open log", "455 ms", "<= 1.00 s", "floor 6 ms", TVerdict::Met},
        {"  per line", "455 ns", "", "", TVerdict::None},
        {"Burst", "120 ms", "<= 100 ms", "", TVerdict::Missed},
    });
    EXPECT_EQ(table, "Benchmark   Figure  Target     Reference   Verdict\n"
                     "--------------------------------------------------\n"
                     "Open log    455 ms  <= 1.00 s  floor 6 ms  met\n"
                     "  per line  455 ns  -          -\n"
                     "Burst       120 ms  <= 100 ms  -           MISSED\n");
}

} // namespace
} // namespace ostrel::bench
