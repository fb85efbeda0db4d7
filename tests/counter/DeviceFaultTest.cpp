// SPDX-License-Identifier: GPL-3.0-or-later
// A counter library that misbehaves, through a scripted entry-point table:
// a clock that jumps back and forth, the largest count in every reading for
// an hour, and more readings at once than one tick takes.

#include "counter/Acquisition.h"
#include "platform/TextServices.h"
#include "support/FakeDevice.h"
#include "support/FakeViews.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ostrel {
namespace {

using test::TFakeDevice;
using test::TFakePoint;

class DeviceFaultTest : public ::testing::Test, protected test::TFakeViews {
protected:
    TFakeDevice Device;
    TCounterEntryPoints Entry = Device.EntryPoints();
    TRecords Records;
    double Coefficient = 0.00158;
    std::int32_t Background = 0;
    TFormatSettings Fs; // "/", ":", ".", year 2011
    TAcquisition Loop{Entry, {Records, Views(), Coefficient, Background}, Fs};

    void Start() {
        Loop.StartClick();
        Device.TakeCalls();
    }
    std::vector<std::pair<std::string, std::int32_t>> RecordTexts() const {
        std::vector<std::pair<std::string, std::int32_t>> texts;
        for (std::size_t k = 0; k < Records.Count(); ++k) {
            texts.emplace_back(FormatDateTime("yyyy/mm/dd hh:nn:ss", Records[k].StartTime, Fs),
                               Records[k].Count);
        }
        return texts;
    }
};

struct TReading {
    std::uint16_t Year, Month, Day, Hour, Minute, Second, Count;
};

TEST_F(DeviceFaultTest, AClockJumpingBackAndForthFoldsOnlyIntoTheLastRecord) {
    const std::vector<TReading> readings = {
        {2011, 7, 16, 9, 0, 5, 1},  // the first minute
        {2011, 7, 16, 9, 5, 0, 2},  // forward five minutes
        {2011, 7, 16, 9, 2, 30, 3}, // back three
        {2011, 7, 16, 9, 2, 59, 4}, // the last record's minute again
        {2011, 7, 16, 9, 5, 10, 5}, // an earlier record's minute, not the last
        {2012, 7, 16, 9, 5, 0, 6},  // a year forward
        {1911, 7, 16, 9, 5, 0, 7},  // a century back: the window puts it in 2011
        {2011, 7, 16, 9, 5, 30, 8}, // the same minute as the reading before
        {2011, 7, 16, 9, 0, 0, 9},  // back to a labelled minute
    };
    Start();
    for (const TReading& r : readings) {
        Device.Queue(r.Year, r.Month, r.Day, r.Hour, r.Minute, r.Second, r.Count);
    }
    Loop.TimerTimer();

    EXPECT_EQ(RecordTexts(), (std::vector<std::pair<std::string, std::int32_t>>{
                                 {"2011/07/16 09:00:00", 1},
                                 {"2011/07/16 09:05:00", 2},
                                 {"2011/07/16 09:02:00", 7},
                                 {"2011/07/16 09:05:00", 5},
                                 {"2012/07/16 09:05:00", 6},
                                 {"2011/07/16 09:05:00", 15},
                                 {"2011/07/16 09:00:00", 9},
                             }));
    EXPECT_EQ(Log.Lines, (std::vector<std::string>{
                             "11/07/16, 09:00, 1",
                             "11/07/16, 09:05, 2",
                             "11/07/16, 09:02, 7",
                             "11/07/16, 09:05, 5",
                             "12/07/16, 09:05, 6",
                             "11/07/16, 09:05, 15",
                         }));
    EXPECT_EQ(Cpm.Points, (std::vector<TFakePoint>{
                              {1, "11/07/16 09:00"},
                              {2, ""},
                              {7, ""},
                              {5, ""},
                              {6, ""},
                              {15, ""},
                              {9, "11/07/16 09:00"},
                          }));
    EXPECT_EQ(Sv.Points, std::vector<TFakePoint>(6, TFakePoint{0, "", true}));
}

TEST_F(DeviceFaultTest, TheLargestCountInEveryReadingForAnHourLosesNothing) {
    Start();
    for (std::uint16_t second = 0; second < 3600; ++second) {
        Device.Queue(2011, 7, 16, 9, second / 60, second % 60, 65535);
    }
    Loop.TimerTimer();

    // 60 readings of 65535 make 3932100 a minute; ten such minutes at
    // 0.00158 make 6212.718 uSv/h.
    ASSERT_EQ(Records.Count(), 60u);
    for (std::size_t k = 0; k < Records.Count(); ++k) {
        EXPECT_EQ(Records[k].Count, 3'932'100) << k;
        EXPECT_EQ(Cpm.Points[k].Y, 3'932'100.0) << k;
    }
    ASSERT_EQ(Log.Lines.size(), 59u);
    EXPECT_EQ(Log.Lines[0], "11/07/16, 09:00, 3932100");
    EXPECT_EQ(Log.Lines[9], "11/07/16, 09:09, 3932100");
    for (std::size_t j = 10; j < Log.Lines.size(); ++j) {
        EXPECT_EQ(Log.Lines[j], "11/07/16, 09:" + std::to_string(j) + ", 3932100, 6212.718") << j;
    }
    ASSERT_EQ(Sv.Points.size(), 59u);
    EXPECT_TRUE(Sv.Points[9].Null);
    EXPECT_FALSE(Sv.Points[10].Null);
    EXPECT_DOUBLE_EQ(Sv.Points[58].Y, 6212.718);
}

TEST_F(DeviceFaultTest, ABacklogBeyondOneTicksShareWaitsForTheNextTick) {
    constexpr std::size_t cap = TAcquisition::MaxReadingsPerTick;
    Start();
    for (std::size_t k = 0; k < cap; ++k) {
        Device.Queue(2011, 7, 16, 9, 0, static_cast<std::uint16_t>(k % 60), 1);
    }
    for (std::uint16_t k = 0; k < 3; ++k) {
        Device.Queue(2011, 7, 16, 9, 1, k, 2);
    }

    Loop.TimerTimer();
    EXPECT_EQ(Device.TakeCalls().size(), cap); // no call beyond the share
    ASSERT_EQ(Records.Count(), 1u);
    EXPECT_EQ(Records[0].Count, static_cast<std::int32_t>(cap));
    EXPECT_EQ(Device.Pending.size(), 3u);
    EXPECT_TRUE(Loop.TimerEnabled());

    Loop.TimerTimer();
    EXPECT_EQ(Device.TakeCalls().size(), 4u); // the rest, then the 0
    ASSERT_EQ(Records.Count(), 2u);
    EXPECT_EQ(Records[1].Count, 6);
    EXPECT_EQ(Log.Lines, std::vector<std::string>{"11/07/16, 09:00, " + std::to_string(cap)});
}

} // namespace
} // namespace ostrel
