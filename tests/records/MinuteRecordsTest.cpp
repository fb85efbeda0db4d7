// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/MinuteRecords.h"

#include "platform/TextServices.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace ostrel {
namespace {

constexpr std::int32_t Int32Max = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t Int32Min = std::numeric_limits<std::int32_t>::min();

double At(int y, int mo, int d, int h, int mi, int s = 0, int ms = 0) {
    return SystemTimeToDateTime({static_cast<std::uint16_t>(y), static_cast<std::uint16_t>(mo), 0,
                                 static_cast<std::uint16_t>(d), static_cast<std::uint16_t>(h),
                                 static_cast<std::uint16_t>(mi), static_cast<std::uint16_t>(s),
                                 static_cast<std::uint16_t>(ms)});
}

TFormatSettings Continental() {
    TFormatSettings fs;
    fs.DateSeparator = ".";
    fs.DecimalSeparator = ",";
    return fs;
}

TRecords RecordsOf(const std::vector<std::int32_t>& counts) {
    TRecords records;
    for (const std::int32_t count : counts) {
        records.Append({0, count});
    }
    return records;
}

// ---------------------------------------------------------------- TRecords

TEST(RecordsTest, AddToLastCountSaturates) {
    struct TCase {
        std::int32_t Start;
        std::uint32_t Added;
        std::int32_t Expected;
    };
    const TCase cases[] = {
        {0, 5, 5},
        {2147483640, 100, Int32Max},
        {Int32Max, 1, Int32Max},
        {-5, 3, -2},
        {-100, 65535, 65435},
        {Int32Min, 0xFFFF'FFFFu, Int32Max},
        {Int32Min, 0x7FFF'FFFFu, -1},
        {0, 0xFFFF'FFFFu, Int32Max},
    };
    for (const auto& c : cases) {
        TRecords records = RecordsOf({7, c.Start});
        records.AddToLastCount(c.Added);
        EXPECT_EQ(c.Expected, records.Last().Count) << c.Start << " + " << c.Added;
        EXPECT_EQ(7, records[0].Count);
    }
}

TEST(RecordsTest, AppendClearAndEmpty) {
    TRecords records;
    records.AddToLastCount(5); // nothing to add to: no effect
    EXPECT_TRUE(records.Empty());
    records.Append({1.5, 3});
    records.Append({0.5, 4});
    ASSERT_EQ(2u, records.Count());
    EXPECT_EQ(1.5, records[0].StartTime);
    EXPECT_EQ(0.5, records.Last().StartTime);
    records.Clear();
    EXPECT_TRUE(records.Empty());
}

// ---------------------------------------------------------------- MinuteKey

// What the log-file reader makes of the minute's line date text.
double ReadBack(double t, const TFormatSettings& fs) {
    const std::string text = FormatDateTime(LineDateTextPattern, t, fs);
    const std::size_t comma = text.find(", ");
    const auto date = TryReadDateItem(text.substr(0, comma), fs);
    const auto time = TryStrToTime(text.substr(comma + 2), fs);
    double value = date ? *date : 0.0;
    if (time) {
        value += *time;
    }
    return value;
}

void ExpectSameDouble(double expected, double actual) {
    EXPECT_EQ(std::bit_cast<std::uint64_t>(expected), std::bit_cast<std::uint64_t>(actual))
        << std::hexfloat << expected << " vs " << actual;
}

TEST(MinuteKeyTest, Table) {
    struct TCase {
        double Reading;
        int CurrentYear;
        double Expected;
    };
    const double minute905 = EncodeDate(2011, 7, 16) + EncodeTime(9, 5, 0, 0);
    const TCase cases[] = {
        {At(2011, 7, 16, 9, 5, 59, 999), 2011, minute905},
        {At(2011, 7, 16, 9, 5, 0, 0), 2011, minute905},
        {At(1911, 7, 16, 9, 5, 30, 0), 2011, minute905},
        {At(2111, 7, 16, 9, 5, 30, 0), 2011, minute905},
        {At(2000, 1, 1, 0, 0, 1, 0), 2011, EncodeDate(2000, 1, 1)},
        {At(1961, 1, 1, 0, 0), 2011, EncodeDate(1961, 1, 1)},
        {At(1960, 12, 31, 23, 59, 59, 999), 2011,
         EncodeDate(2060, 12, 31) + EncodeTime(23, 59, 0, 0)},
        {At(2061, 1, 1, 12, 0), 2011, EncodeDate(1961, 1, 1) + 0.5},
        {At(2011, 7, 16, 9, 5), 2070, EncodeDate(2111, 7, 16) + EncodeTime(9, 5, 0, 0)},
        // 29 February put into 2100, which has none: the text reads back
        // as no date, only the time of day is left.
        {At(2000, 2, 29, 6, 30), 2120, EncodeTime(6, 30, 0, 0)},
    };
    for (const auto& c : cases) {
        TFormatSettings fs;
        fs.CurrentYear = c.CurrentYear;
        SCOPED_TRACE(FormatDateTime("yyyy/mm/dd hh:nn:ss", c.Reading, fs));
        ExpectSameDouble(c.Expected, MinuteKey(c.Reading, fs));
        ExpectSameDouble(ReadBack(c.Reading, fs), MinuteKey(c.Reading, fs));
    }
}

TEST(MinuteKeyTest, EqualsTheTextRoundTripOnRandomTimes) {
    std::mt19937 random(40740);
    std::vector<TFormatSettings> settings(3);
    settings[1] = Continental();
    settings[2].DateSeparator = "-";
    settings[2].TimeSeparator = ".";
    const int currentYears[] = {2011, 1975, 2150, 9990};
    int checked = 0;
    for (int i = 0; i < 40'000; ++i) {
        TFormatSettings fs = settings[static_cast<std::size_t>(i) % settings.size()];
        fs.CurrentYear = currentYears[(i / 3) % 4];
        const int year = i % 2 == 0 ? static_cast<int>(1900 + random() % 250)
                                    : static_cast<int>(1 + random() % 9999);
        const int month = static_cast<int>(1 + random() % 12);
        const int day =
            static_cast<int>(1 + random() % static_cast<unsigned>(DaysInMonth(year, month)));
        const double t =
            At(year, month, day, static_cast<int>(random() % 24), static_cast<int>(random() % 60),
               static_cast<int>(random() % 60), static_cast<int>(random() % 1000));
        const double key = MinuteKey(t, fs);
        const double back = ReadBack(t, fs);
        if (std::bit_cast<std::uint64_t>(key) != std::bit_cast<std::uint64_t>(back)) {
            ADD_FAILURE() << FormatDateTime("yyyy/mm/dd hh:nn", t, fs) << " in " << fs.CurrentYear
                          << std::hexfloat << ": key " << key << ", read back " << back;
            if (++checked > 10) {
                return;
            }
        }
        // A key of a real date is its own key (a date past 9999 leaves only
        // the time of day, which is day 0).
        if (key >= 1) {
            ExpectSameDouble(key, MinuteKey(key, fs));
        }
    }
}

// ---------------------------------------------------------------- DoseRateBefore

TEST(DoseRateBeforeTest, Table) {
    struct TCase {
        std::vector<std::int32_t> Counts;
        std::size_t K;
        double Coefficient;
        std::int32_t Background;
        double Expected;
    };
    const std::vector<std::int32_t> ramp = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    const TCase cases[] = {
        {std::vector<std::int32_t>(10, 20), 10, 0.00158, 0, 0x1.02de00d1b7176p-5},
        // The window is the ten records before k.
        {ramp, 10, 1.0, 0, 5.5},
        {ramp, 11, 1.0, 0, 6.5},
        {ramp, 12, 1.0, 0, 7.5},
        // Below the background adds nothing, equal adds 0; the window stays.
        {ramp, 12, 1.0, 4, 3.6},
        {std::vector<std::int32_t>(10, 5), 10, 1.0, 5, 0.0},
        {std::vector<std::int32_t>(10, 3), 10, 1.0, 50, 0.0},
        {{-5, -5, 1, 1, 1, 0, 0, 0, 0, 0}, 10, 1.0, 0, 0.3},
        // A negative background adds its magnitude to every count.
        {std::vector<std::int32_t>(10, 10), 10, 1.0, -5, 15.0},
        // 28 * tenth is 2.8, where 28 * 0.1 in doubles is one unit above.
        {{28, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 10, 1.0, 0, 2.8},
        // Differences beyond 32 bits are exact.
        {std::vector<std::int32_t>(10, Int32Max), 10, 1.0, Int32Min, 4294967295.0},
    };
    for (const auto& c : cases) {
        const TRecords records = RecordsOf(c.Counts);
        const double d = DoseRateBefore(records, c.K, c.Coefficient, c.Background);
        ExpectSameDouble(c.Expected, d);
    }
}

TEST(DoseRateBeforeTest, TextOfTheUsualCase) {
    const TRecords records = RecordsOf(std::vector<std::int32_t>(10, 20));
    EXPECT_EQ("0.0316", FloatToStr(DoseRateBefore(records, 10, 0.00158, 0), TFormatSettings{}));
    EXPECT_EQ("0", FloatToStr(DoseRateBefore(records, 10, 0.00158, 21), TFormatSettings{}));
}

// ---------------------------------------------------------------- texts

TEST(PointLabelTest, FirstRecordAndTensOfMinutes) {
    struct TCase {
        std::size_t K;
        int Minute;
        TFormatSettings Fs;
        const char* Expected;
    };
    const TCase cases[] = {
        {0, 5, {}, "11/07/16 09:05"},
        {3, 5, {}, ""},
        {3, 0, {}, "11/07/16 09:00"},
        {3, 50, {}, "11/07/16 09:50"},
        {7, 40, {}, "11/07/16 09:40"},
        {7, 41, {}, ""},
        {1, 59, {}, ""},
        {9, 30, Continental(), "11.07.16 09:30"},
    };
    for (const auto& c : cases) {
        const double t = EncodeDate(2011, 7, 16) + EncodeTime(9, c.Minute, 0, 0);
        EXPECT_EQ(c.Expected, PointLabel(c.K, t, c.Fs)) << c.K << " " << c.Minute;
    }
}

TEST(LogLineTextTest, BothForms) {
    const TMinuteRecord r{EncodeDate(2011, 7, 16) + EncodeTime(9, 5, 0, 0), 123};
    const TFormatSettings usual;
    EXPECT_EQ("11/07/16, 09:05, 123", LogLineText(r, usual));
    EXPECT_EQ("11/07/16, 09:05, 123, 0.0316", LogLineText(r, 0.0316, usual));
    EXPECT_EQ("11.07.16, 09:05, 123, 0,0316", LogLineText(r, 0.0316, Continental()));
    EXPECT_EQ("11/07/16, 09:05, 123, 5E-5", LogLineText(r, 0.00005, usual));
    EXPECT_EQ("99/12/30, 00:00, 0", LogLineText(TMinuteRecord{}, usual));
    EXPECT_EQ("99/12/30, 00:00, -2147483648, 0", LogLineText({0, Int32Min}, 0.0, usual));
}

} // namespace
} // namespace ostrel
