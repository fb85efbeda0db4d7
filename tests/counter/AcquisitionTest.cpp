// SPDX-License-Identifier: GPL-3.0-or-later
// The live loop driven through a scripted counter library and in-memory views.

#include "counter/Acquisition.h"
#include "platform/Exceptions.h"
#include "platform/TextServices.h"
#include "support/FakeDevice.h"
#include "support/FakeViews.h"

#include <gtest/gtest.h>

#include <climits>

namespace ostrel {
namespace {

using test::TFakeDevice;
using test::TFakePoint;

class AcquisitionTest : public ::testing::Test, protected test::TFakeViews {
protected:
    TFakeDevice Device;
    TCounterEntryPoints Entry = Device.EntryPoints();
    TRecords Records;
    double Coefficient = 0.00158;
    std::int32_t Background = 0;
    TFormatSettings Fs; // "/", ":", ".", year 2011
    TAcquisition Loop{Entry, {Records, Views(), Coefficient, Background}, Fs};
    std::vector<bool> Switches;

    void SetUp() override {
        Loop.OnTimerSwitched = [this](bool on) { Switches.push_back(on); };
    }
    void Start() {
        Loop.StartClick();
        Device.TakeCalls();
    }
    // One reading per minute from 09:00 on, with the given counts.
    void QueueMinutes(const std::vector<std::uint16_t>& counts, std::uint16_t firstMinute = 0) {
        for (std::size_t i = 0; i < counts.size(); ++i) {
            const auto minute = static_cast<std::uint16_t>(firstMinute + i);
            Device.Queue(2011, 7, 16, static_cast<std::uint16_t>(9 + minute / 60), minute % 60, 30,
                         counts[i]);
        }
    }
    // The views as a rebuild leaves them for fewer records than a dose rate
    // needs: a counts point, a null dose-rate point and a line each.
    void ShowAsRebuilt() {
        ASSERT_LT(Records.Count(), DoseRateWindow);
        Cpm.Clear();
        Sv.Clear();
        Log.Clear();
        for (std::size_t i = 0; i < Records.Count(); ++i) {
            Cpm.AddY(Records[i].Count, PointLabel(i, Records[i].StartTime, Fs));
            Sv.AddNull();
            Log.Add(LogLineText(Records[i], Fs));
        }
    }
};

TEST_F(AcquisitionTest, StartFindsConnectsTheFirstCounterAndEnablesTheTimer) {
    Device.FindResult = 2;
    Device.Ids = {77, 88};
    Loop.StartClick();
    EXPECT_EQ(Device.TakeCalls(), (std::vector<std::string>{"Find", "GetInfo", "Connect 77"}));
    EXPECT_EQ(Loop.DeviceId, 77u);
    EXPECT_TRUE(Loop.TimerEnabled());
    EXPECT_EQ(Switches, std::vector<bool>{true});
}

TEST_F(AcquisitionTest, StartWhileTheTimerRunsDoesNothing) {
    Start();
    Loop.StartClick();
    EXPECT_TRUE(Device.TakeCalls().empty());
}

TEST_F(AcquisitionTest, StartWithNoCounterOrANegativeCountDoesNothing) {
    for (const std::int32_t found : {0, -1, INT_MIN}) {
        Device.FindResult = found;
        Loop.StartClick();
        EXPECT_EQ(Device.TakeCalls(), std::vector<std::string>{"Find"}) << found;
        EXPECT_FALSE(Loop.TimerEnabled());
        EXPECT_EQ(Loop.DeviceId, 0u);
    }
}

TEST_F(AcquisitionTest, AnAbsurdCounterCountIsRefusedBeforeAnyAllocation) {
    for (const std::int32_t found : {65537, INT_MAX}) {
        Device.FindResult = found;
        try {
            Loop.StartClick();
            FAIL() << "no error for " << found;
        } catch (const EDeviceError& e) {
            EXPECT_EQ(std::string(e.what()),
                      "デバイスライブラリが不正な台数を返しました: " + std::to_string(found));
        }
        EXPECT_EQ(Device.TakeCalls(), std::vector<std::string>{"Find"});
        EXPECT_FALSE(Loop.TimerEnabled());
    }
}

TEST_F(AcquisitionTest, ACounterWithIdZeroRunsWithDeviceIdZero) {
    Device.Ids = {0};
    Loop.StartClick();
    EXPECT_TRUE(Loop.TimerEnabled());
    EXPECT_EQ(Loop.DeviceId, 0u);
}

TEST_F(AcquisitionTest, StopCallsDisconnectWithTheDeviceIdWhateverTheState) {
    Loop.StopClick();
    EXPECT_EQ(Device.TakeCalls(), std::vector<std::string>{"Disconnect 0"});
    Start();
    Loop.StopClick();
    EXPECT_EQ(Device.TakeCalls(), std::vector<std::string>{"Disconnect 4660"});
    EXPECT_TRUE(Loop.TimerEnabled());
    EXPECT_EQ(Loop.DeviceId, 4660u);
}

TEST_F(AcquisitionTest, ATickDrainsEveryPendingReadingThenAsksOnceMore) {
    Start();
    QueueMinutes({1, 2, 3});
    Loop.TimerTimer();
    EXPECT_EQ(Device.TakeCalls(), std::vector<std::string>(4, "GetData"));
    EXPECT_EQ(Records.Count(), 3u);
}

TEST_F(AcquisitionTest, NoTickWorkWhileTheTimerIsOff) {
    QueueMinutes({1});
    Loop.TimerTimer();
    EXPECT_TRUE(Device.TakeCalls().empty());
    EXPECT_TRUE(Records.Empty());
}

TEST_F(AcquisitionTest, TheFirstReadingMakesALabelledPointOnly) {
    Start();
    Device.Queue(2011, 7, 16, 9, 5, 59, 7, 999);
    Loop.TimerTimer();
    EXPECT_EQ(Cpm.Points, (std::vector<TFakePoint>{{7, "11/07/16 09:05", false}}));
    EXPECT_TRUE(Sv.Points.empty());
    EXPECT_TRUE(Log.Lines.empty());
    ASSERT_EQ(Records.Count(), 1u);
    EXPECT_EQ(Records[0].StartTime, EncodeDate(2011, 7, 16) + EncodeTime(9, 5, 0, 0));
    EXPECT_EQ(Records[0].Count, 7);
}

TEST_F(AcquisitionTest, ASecondReadingOfTheSameMinuteAddsToTheLastPointAndRecord) {
    Start();
    Device.Queue(2011, 7, 16, 9, 5, 0, 7);
    Device.Queue(2011, 7, 16, 9, 5, 59, 65535, 999);
    Device.Queue(2011, 7, 16, 9, 5, 30, 0);
    Loop.TimerTimer();
    ASSERT_EQ(Cpm.Count(), 1);
    EXPECT_EQ(Cpm.Points[0].Y, 65542);
    EXPECT_EQ(Records.Count(), 1u);
    EXPECT_EQ(Records[0].Count, 65542);
    EXPECT_TRUE(Log.Lines.empty());
}

TEST_F(AcquisitionTest, TheSecondMinuteWritesTheFirstLineAndANullDosePoint) {
    Start();
    QueueMinutes({3, 4}, 5);
    Loop.TimerTimer();
    EXPECT_EQ(Log.Lines, std::vector<std::string>{"11/07/16, 09:05, 3"});
    EXPECT_EQ(Sv.Points, (std::vector<TFakePoint>{{0, "", true}}));
    EXPECT_EQ(Cpm.Points[1], (TFakePoint{4, "", false}));
    EXPECT_EQ(Log.Selected, 0);
}

TEST_F(AcquisitionTest, TheFirstDoseRateComesWithTheTwelfthMinute) {
    Start();
    std::vector<std::uint16_t> counts;
    for (std::uint16_t i = 1; i <= 12; ++i) {
        counts.push_back(i);
    }
    QueueMinutes({counts.begin(), counts.end() - 1});
    Loop.TimerTimer();
    EXPECT_EQ(Sv.Count(), 10);
    EXPECT_EQ(Log.Count(), 10);

    QueueMinutes({12}, 11);
    Loop.TimerTimer();
    ASSERT_EQ(Sv.Count(), 11);
    for (int j = 0; j < 10; ++j) {
        EXPECT_TRUE(Sv.Points[j].Null) << j;
        EXPECT_EQ(Log.Lines[j], "11/07/16, 09:" + std::string(j < 10 ? "0" : "") +
                                    std::to_string(j) + ", " + std::to_string(j + 1));
    }
    // Positions 1..10 hold 2..11: the dose rate of the eleventh minute and the nine before it.
    const double dose = DoseRateBefore(Records, 11, Coefficient, Background);
    EXPECT_EQ(FloatToStr(dose, Fs), "0.01027");
    EXPECT_FALSE(Sv.Points[10].Null);
    EXPECT_EQ(Sv.Points[10].Y, dose);
    EXPECT_EQ(Log.Lines[10], "11/07/16, 09:10, 11, 0.01027");
    EXPECT_EQ(Log.Selected, 10);
}

TEST_F(AcquisitionTest, LabelsFallOnMinutesThatAreMultiplesOfTen) {
    Start();
    QueueMinutes({1, 1, 1}, 39);
    Loop.TimerTimer();
    EXPECT_EQ(Cpm.Points[0].Label, "11/07/16 09:39");
    EXPECT_EQ(Cpm.Points[1].Label, "11/07/16 09:40");
    EXPECT_EQ(Cpm.Points[2].Label, "");
}

TEST_F(AcquisitionTest, AClockSetBackStartsANewRecordAfterTheLast) {
    Start();
    Device.Queue(2011, 7, 16, 9, 5, 0, 1);
    Device.Queue(2011, 7, 16, 9, 3, 0, 2);
    Device.Queue(2011, 7, 16, 9, 5, 0, 4);
    Loop.TimerTimer();
    ASSERT_EQ(Records.Count(), 3u);
    EXPECT_LT(Records[1].StartTime, Records[0].StartTime);
    EXPECT_EQ(Records[2].StartTime, Records[0].StartTime);
    EXPECT_EQ(Log.Lines, (std::vector<std::string>{"11/07/16, 09:05, 1", "11/07/16, 09:03, 2"}));
}

TEST_F(AcquisitionTest, TheRebuiltLineOfTheNewestMinuteIsReplacedByItsFinalLine) {
    for (const int rebuilt : {1, 3}) {
        Records.Clear();
        for (int i = 0; i < rebuilt; ++i) {
            Records.Append({EncodeDate(2011, 7, 16) + EncodeTime(9, i, 0, 0), 5});
        }
        ShowAsRebuilt();
        ASSERT_EQ(Log.Count(), rebuilt);
        const std::string newest = "11/07/16, 09:0" + std::to_string(rebuilt - 1);
        EXPECT_EQ(Log.Lines.back(), newest + ", 5");

        Start();
        QueueMinutes({2, 6}, static_cast<std::uint16_t>(rebuilt - 1));
        Loop.TimerTimer();
        ASSERT_EQ(Log.Count(), rebuilt) << rebuilt;
        EXPECT_EQ(Log.Lines.back(), newest + ", 7");
        EXPECT_EQ(Cpm.Count(), rebuilt + 1);
        EXPECT_EQ(Sv.Count(), rebuilt + 1);
        EXPECT_EQ(Cpm.Points[rebuilt - 1].Y, 7);
    }
}

TEST_F(AcquisitionTest, AGoneMarkerInTheMiddleOfABurstEndsTheTickAndAcquisition) {
    Start();
    QueueMinutes({1});
    Device.QueueGone();
    QueueMinutes({2}, 1);
    Loop.TimerTimer();
    EXPECT_EQ(Device.TakeCalls(), std::vector<std::string>(2, "GetData"));
    EXPECT_FALSE(Loop.TimerEnabled());
    EXPECT_EQ(Loop.DeviceId, 0u);
    EXPECT_EQ(Records.Count(), 1u);
    EXPECT_EQ(Device.Pending.size(), 1u);
    EXPECT_EQ(Switches, (std::vector<bool>{true, false}));

    Loop.TimerTimer();
    EXPECT_TRUE(Device.TakeCalls().empty());
}

TEST_F(AcquisitionTest, StopThenGoneKeepsTheLogAndAnotherStartContinuesIt) {
    Start();
    QueueMinutes({1, 2});
    Loop.TimerTimer();
    Loop.StopClick();
    Device.QueueGone();
    Loop.TimerTimer();
    EXPECT_FALSE(Loop.TimerEnabled());
    EXPECT_EQ(Records.Count(), 2u);
    EXPECT_EQ(Log.Count(), 1);

    Device.TakeCalls();
    Loop.StartClick();
    EXPECT_EQ(Device.TakeCalls(), (std::vector<std::string>{"Find", "GetInfo", "Connect 4660"}));
    QueueMinutes({3}, 2);
    Loop.TimerTimer();
    EXPECT_EQ(Records.Count(), 3u);
    EXPECT_EQ(Log.Lines.back(), "11/07/16, 09:01, 2");
}

struct TBadTime {
    std::uint16_t Month, Day, Hour, Minute, Second, Ms;
    const char* Text;
};

TEST_F(AcquisitionTest, AnInvalidTimeLosesOnlyThatReading) {
    const std::vector<TBadTime> cases = {
        {13, 1, 9, 0, 0, 0, "日付に変換できない値が渡されました"},
        {2, 30, 9, 0, 0, 0, "日付に変換できない値が渡されました"},
        {13, 1, 24, 0, 0, 0, "日付に変換できない値が渡されました"}, // the date is tested first
        {7, 16, 24, 0, 0, 0, "時刻に変換できない値が渡されました"},
        {7, 16, 9, 60, 0, 0, "時刻に変換できない値が渡されました"},
        {7, 16, 9, 0, 0, 1000, "時刻に変換できない値が渡されました"},
    };
    Start();
    for (const TBadTime& c : cases) {
        Device.Queue(2011, c.Month, c.Day, c.Hour, c.Minute, c.Second, 9, c.Ms);
        QueueMinutes({1});
        const std::size_t before = Records.Count();
        try {
            Loop.TimerTimer();
            FAIL() << c.Text;
        } catch (const EConvertError& e) {
            EXPECT_EQ(std::string(e.what()), c.Text);
        }
        EXPECT_EQ(Records.Count(), before);
        EXPECT_TRUE(Loop.TimerEnabled());
        Loop.TimerTimer();
        EXPECT_TRUE(Device.Pending.empty());
    }
    EXPECT_EQ(Records.Count(), 1u);
    EXPECT_EQ(Records[0].Count, static_cast<std::int32_t>(cases.size()));
}

TEST_F(AcquisitionTest, AMinuteThatReachesTheLargestCountStaysThere) {
    Records.Append({EncodeDate(2011, 7, 16) + EncodeTime(9, 0, 0, 0), INT_MAX - 3});
    ShowAsRebuilt();
    Start();
    QueueMinutes({65535});
    Loop.TimerTimer();
    EXPECT_EQ(Records[0].Count, INT_MAX);
}

TEST_F(AcquisitionTest, ALibraryThatNeverRunsDryCannotHoldATickForever) {
    Start();
    QueueMinutes({1});
    Device.EndlessData = true;
    Loop.TimerTimer();
    EXPECT_EQ(Device.TakeCalls().size(), TAcquisition::MaxReadingsPerTick);
    EXPECT_EQ(Records[0].Count, static_cast<std::int32_t>(TAcquisition::MaxReadingsPerTick));
    EXPECT_TRUE(Loop.TimerEnabled());
}

// Records every call a finished-minute listener gets, as one text per call.
class TRecordingSink : public TLogOutput {
public:
    std::vector<std::string> Calls;
    void MinuteFinished(const TFinishedMinute& m) noexcept override {
        Calls.push_back(std::to_string(m.Position) + " " + std::to_string(m.Record.Count) + " " +
                        (m.DoseRate ? "dose" : "-") + " " + std::string(m.Line));
    }
    void TickEnded() noexcept override { Calls.push_back("tick"); }
};

TEST_F(AcquisitionTest, ListenersHearEachFinishedMinuteInOrderAndOneTickEndPerTick) {
    TRecordingSink sink;
    Loop.ReportTo(&sink);
    Start();
    QueueMinutes({5, 6}); // one line: minute 0
    Loop.TimerTimer();
    Loop.TimerTimer(); // idle: nothing
    QueueMinutes({7}, 1);
    QueueMinutes({1, 1, 1, 1, 1, 1, 1, 1, 1, 1}, 2); // minutes 2..11: lines 1..10
    Loop.TimerTimer();
    ASSERT_EQ(sink.Calls.size(), 13u);
    EXPECT_EQ(sink.Calls[0], "0 5 - 11/07/16, 09:00, 5");
    EXPECT_EQ(sink.Calls[1], "tick");
    EXPECT_EQ(sink.Calls[2], "1 13 - 11/07/16, 09:01, 13");
    EXPECT_EQ(sink.Calls[11], "10 1 dose " + Log.Lines[10]);
    EXPECT_EQ(sink.Calls[12], "tick");
    EXPECT_EQ(Log.Lines[10], "11/07/16, 09:10, 1, 0.003476");
}

TEST_F(AcquisitionTest, AHiddenOrFrozenLogIsNotFollowed) {
    Start();
    Log.Shown = false;
    QueueMinutes({1, 1});
    Loop.TimerTimer();
    EXPECT_EQ(Log.Selected, -1);
    Log.Shown = true;
    Log.Frozen = 1;
    QueueMinutes({1}, 2);
    Loop.TimerTimer();
    EXPECT_EQ(Log.Selected, -1);
    Log.Frozen = 0;
    QueueMinutes({1}, 3);
    Loop.TimerTimer();
    EXPECT_EQ(Log.Selected, 2);
}

} // namespace
} // namespace ostrel
