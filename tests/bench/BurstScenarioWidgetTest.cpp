// SPDX-License-Identifier: GPL-3.0-or-later
// The burst benchmark at small sizes, and the tick's bracketing of the views
// with the real chart and log list: one tick drains every pending reading and
// shows what reading-by-reading handling shows.

#include "bench/BurstScenario.h"
#include "bench/LogScenario.h"
#include "bench/OpenScenario.h"
#include "display/Chart.h"
#include "display/ChartScale.h"
#include "display/LogList.h"
#include "platform/Exceptions.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

namespace ostrel::bench {
namespace {

struct TBurstCase {
    const char* Name;
    TBurstKind Kind;
    bool LogShown;
    std::size_t Readings;
};

void PrintTo(const TBurstCase& c, std::ostream* os) {
    *os << c.Name;
}

class BurstScenarioTest : public ::testing::TestWithParam<TBurstCase> {};

TEST_P(BurstScenarioTest, OneTickDrainsEveryReadingIntoRecordsPointsAndLines) {
    const TBurstCase& c = GetParam();
    TBurstDevice device(BurstReadings(c.Readings, c.Kind));
    TBurstRig rig(device, c.LogShown);
    rig.Start();
    ASSERT_EQ(rig.DeviceId(), 1U);
    rig.Tick();
    EXPECT_EQ(device.Pending(), 0U);
    EXPECT_EQ(device.GetDataCalls(), c.Readings + 1);
    EXPECT_EQ(CheckBurst(rig, c.Readings, c.Kind), std::nullopt);
    EXPECT_NE(CheckBurst(rig, c.Readings + 1, c.Kind), std::nullopt);
    // The list view has been told of every line, the chart of every point.
    EXPECT_EQ(rig.Log().model()->rowCount(), rig.Log().Count());
    const TKeyRange page = AutomaticKeyRange(rig.Chart().SeriesCPM().Count());
    EXPECT_EQ(rig.Chart().xAxis->range().upper, page.Upper);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, BurstScenarioTest,
    ::testing::Values(TBurstCase{"OneMinuteHidden", TBurstKind::OneMinute, false, 500},
                      TBurstCase{"OneMinuteShown", TBurstKind::OneMinute, true, 500},
                      TBurstCase{"OneNewMinute", TBurstKind::NewMinutes, true, 1},
                      TBurstCase{"TenMinutes", TBurstKind::NewMinutes, true, 11},
                      TBurstCase{"FirstDoseRate", TBurstKind::NewMinutes, true, 12},
                      TBurstCase{"NewMinutesHidden", TBurstKind::NewMinutes, false, 500},
                      TBurstCase{"NewMinutesShown", TBurstKind::NewMinutes, true, 500}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(BurstScenarioTest, OnlyOneDeviceAtATime) {
    TBurstDevice first({});
    EXPECT_THROW(TBurstDevice second({}), std::logic_error);
}

class TickUpdateTest : public ::testing::Test {
protected:
    std::vector<TCounterSample> Readings = BurstReadings(30, TBurstKind::NewMinutes);
};

// The reading of minute 20 is refused: the tick ends there, and the lines of
// the minutes before it are shown and the newest one selected all the same.
TEST_F(TickUpdateTest, AReadingsErrorEndsTheTickWithItsLinesShownAndFollowed) {
    Readings[20].Time.Month = 13;
    TBurstDevice device(Readings);
    TBurstRig rig(device, true);
    rig.Start();
    try {
        rig.Tick();
        FAIL() << "the reading of month 13 was taken";
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "日付に変換できない値が渡されました");
    }
    EXPECT_EQ(device.Pending(), 9U);
    EXPECT_EQ(rig.Records().Count(), 20U);
    EXPECT_EQ(rig.Log().Count(), 19);
    EXPECT_EQ(rig.Log().model()->rowCount(), 19);
    EXPECT_EQ(rig.Log().ItemIndex(), 18);
    EXPECT_EQ(rig.Chart().xAxis->range().upper, 19);

    rig.Tick();
    EXPECT_EQ(rig.Records().Count(), 29U);
    EXPECT_EQ(rig.Log().model()->rowCount(), 28);
    EXPECT_EQ(rig.Log().ItemIndex(), 27);
    EXPECT_EQ(rig.Log().Item(19), LiveLine(19));
    EXPECT_EQ(rig.Chart().xAxis->range().upper, 28);
}

TEST_F(TickUpdateTest, AFrozenListGetsTheLinesButKeepsItsSelection) {
    TBurstDevice device(Readings);
    TBurstRig rig(device, true);
    rig.Log().LogDblClick();
    rig.Start();
    rig.Tick();
    EXPECT_EQ(rig.Log().model()->rowCount(), 29);
    EXPECT_EQ(rig.Log().ItemIndex(), -1);
}

// A tick that finds nothing pending, ten times a second while logging, must
// not redraw the chart; one that finds readings redraws it once.
class TickReplotTest : public ::testing::TestWithParam<std::size_t> {};

TEST_P(TickReplotTest, OnlyATickWithReadingsReplotsTheChartOnce) {
    TBurstDevice device(BurstReadings(GetParam(), TBurstKind::NewMinutes));
    TBurstRig rig(device, true);
    rig.Start();
    QSignalSpy replots(&rig.Chart(), &QCustomPlot::afterReplot);
    rig.Tick();
    TOpenScenario::Settle();
    EXPECT_EQ(replots.count(), GetParam() == 0 ? 0 : 1);
}

INSTANTIATE_TEST_SUITE_P(Readings, TickReplotTest, ::testing::Values(0, 3));

} // namespace
} // namespace ostrel::bench
