// SPDX-License-Identifier: GPL-3.0-or-later
// Refilling the chart and the log from the records.

#include "views/RebuildDisplay.h"
#include "platform/TextServices.h"
#include "support/FakeViews.h"

#include <gtest/gtest.h>

namespace ostrel {
namespace {

using test::TFakePoint;

class RebuildDisplayTest : public ::testing::Test, protected test::TFakeViews {
protected:
    TRecords Records;
    TFormatSettings Fs;
    double Coefficient = 0.00158;
    std::int32_t Background = 0;

    void Add(int hour, int minute, std::int32_t count) {
        Records.Append({EncodeDate(2011, 7, 16) + EncodeTime(hour, minute, 0, 0), count});
    }
    void Rebuild() { RebuildDisplay(Records, Coefficient, Background, Views(), Fs); }
};

TEST_F(RebuildDisplayTest, NoRecordsLeavesEverythingEmptyAndUnselected) {
    Cpm.AddY(1, "x");
    Sv.AddNull();
    Log.Add("old");
    Log.Selected = 0;
    Rebuild();
    EXPECT_TRUE(Cpm.Points.empty());
    EXPECT_TRUE(Sv.Points.empty());
    EXPECT_TRUE(Log.Lines.empty());
    EXPECT_EQ(Log.Selected, -1);
}

TEST_F(RebuildDisplayTest, ASingleRecordIsLabelledAndItsLineEndsAfterTheCount) {
    Add(10, 3, 42);
    Rebuild();
    EXPECT_EQ(Cpm.Points, (std::vector<TFakePoint>{{42, "11/07/16 10:03", false}}));
    EXPECT_EQ(Sv.Points, (std::vector<TFakePoint>{{0, "", true}}));
    EXPECT_EQ(Log.Lines, std::vector<std::string>{"11/07/16, 10:03, 42"});
    EXPECT_EQ(Log.Selected, 0);
}

TEST_F(RebuildDisplayTest, TheDoseRateOfARecordIsThatOfTheTenBeforeIt) {
    for (int i = 0; i < 12; ++i) {
        Add(10, i, (i + 1) * 10);
    }
    for (const int n : {10, 11, 12}) {
        TRecords first;
        for (int i = 0; i < n; ++i) {
            first.Append(Records[static_cast<std::size_t>(i)]);
        }
        RebuildDisplay(first, Coefficient, Background, Views(), Fs);
        ASSERT_EQ(Sv.Count(), n);
        ASSERT_EQ(Log.Count(), n);
        for (int i = 0; i < 10; ++i) {
            EXPECT_TRUE(Sv.Points[i].Null);
            EXPECT_EQ(std::count(Log.Lines[i].begin(), Log.Lines[i].end(), ','), 2) << i;
        }
    }
    // Records 0..9 hold 10..100 (sum 550), records 1..10 hold 20..110 (sum 650).
    EXPECT_EQ(Sv.Points[10].Y, 0.0869);
    EXPECT_EQ(Log.Lines[10], "11/07/16, 10:10, 110, 0.0869");
    EXPECT_EQ(Log.Lines[11], "11/07/16, 10:11, 120, 0.1027");
    EXPECT_EQ(Cpm.Points[10].Label, "11/07/16 10:10");
    EXPECT_EQ(Cpm.Points[11].Label, "");
}

TEST_F(RebuildDisplayTest, ABackgroundAboveEveryCountOrACoefficientOfZeroGivesZero) {
    for (int i = 0; i < 11; ++i) {
        Add(10, i, 20);
    }
    Background = 21;
    Rebuild();
    EXPECT_EQ(Log.Lines[10], "11/07/16, 10:10, 20, 0");
    EXPECT_EQ(Sv.Points[10].Y, 0.0);
    Background = 0;
    Coefficient = 0;
    Rebuild();
    EXPECT_EQ(Log.Lines[10], "11/07/16, 10:10, 20, 0");
}

TEST_F(RebuildDisplayTest, GapsInTimeMakeNeighbouringPoints) {
    Add(10, 5, 1);
    Add(10, 20, 2);
    Add(10, 25, 3);
    Rebuild();
    EXPECT_EQ(Cpm.Points,
              (std::vector<TFakePoint>{
                  {1, "11/07/16 10:05", false}, {2, "11/07/16 10:20", false}, {3, "", false}}));
}

TEST_F(RebuildDisplayTest, RecordsOutOfTimeOrderStayInStoredOrder) {
    Add(10, 7, 1);
    Add(9, 0, 2);
    Add(10, 1, 3);
    Rebuild();
    EXPECT_EQ(Log.Lines, (std::vector<std::string>{"11/07/16, 10:07, 1", "11/07/16, 09:00, 2",
                                                   "11/07/16, 10:01, 3"}));
}

TEST_F(RebuildDisplayTest, AFrozenOrHiddenListEndsWithNoSelection) {
    for (const bool frozen : {true, false}) {
        Log.Frozen = frozen ? 1 : 0;
        Log.Shown = frozen;
        Log.Selected = 0;
        Add(10, 1, 1);
        Rebuild();
        EXPECT_EQ(Log.Selected, -1);
        EXPECT_EQ(Log.Frozen, frozen ? 1 : 0);
    }
}

TEST_F(RebuildDisplayTest, ARecordFromAnUnreadableLineShowsAsTheZeroDate) {
    Records.Append({0, 0});
    Rebuild();
    EXPECT_EQ(Log.Lines, std::vector<std::string>{"99/12/30, 00:00, 0"});
}

} // namespace
} // namespace ostrel
