// SPDX-License-Identifier: GPL-3.0-or-later
// The log list widget: its lines, selection, freezing by double-click, and
// what the view is told while lines come and go.
#include "display/LogList.h"
#include "support/FakeViews.h"
#include "views/RebuildDisplay.h"

#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ostrel {
namespace {

std::string Line(int i) {
    return "11/07/16, 09:" + std::to_string(i % 60) + ", " + std::to_string(i);
}

void AddLines(TLogList& log, int from, int count) {
    for (int i = from; i < from + count; ++i) {
        log.Add(Line(i));
    }
}

// A list 64 px high in a shown window, as in the main window at start.
class ShownLog : public ::testing::Test {
protected:
    void SetUp() override {
        Log = new TLogList(&Window);
        Window.resize(300, 64);
        Log->setGeometry(0, 0, 300, 64);
        Window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&Window));
    }

    int TopValue() const { return Log->verticalScrollBar()->value(); }
    bool FullyInView(int row) const {
        return Log->viewport()->rect().contains(Log->visualRect(Log->model()->index(row, 0)));
    }
    QPoint RowCentre(int row) const {
        return Log->visualRect(Log->model()->index(row, 0)).center();
    }
    void DoubleClick(QPoint pos) {
        QWidget* viewport = Log->viewport();
        QTest::mousePress(viewport, Qt::LeftButton, {}, pos);
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, pos);
        QTest::mouseDClick(viewport, Qt::LeftButton, {}, pos);
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, pos);
    }

    QWidget Window;
    TLogList* Log = nullptr;
};

// What the view shows must be what Item reads.
void ExpectViewMatches(const TLogList& log, const std::vector<std::string>& expected) {
    ASSERT_EQ(log.Count(), static_cast<int>(expected.size()));
    ASSERT_EQ(log.model()->rowCount(), log.Count());
    for (int i = 0; i < log.Count(); ++i) {
        EXPECT_EQ(log.Item(i), expected[i]) << "line " << i;
        EXPECT_EQ(log.model()->index(i, 0).data().toString().toStdString(), expected[i]);
    }
}

struct TDeleteCase {
    const char* Name;
    std::vector<int> Deletes;
    std::vector<std::string> Expected;
    bool InUpdate;
};

class LogListDelete : public ::testing::TestWithParam<TDeleteCase> {};

TEST_P(LogListDelete, RemovesOneLineAndKeepsTheRest) {
    const TDeleteCase& c = GetParam();
    TLogList log;
    log.Add("a");
    log.Add("b");
    log.Add("c");
    log.Add("d");
    if (c.InUpdate) {
        log.BeginUpdate();
    }
    for (const int index : c.Deletes) {
        log.Delete(index);
    }
    if (c.InUpdate) {
        log.EndUpdate();
    }
    ExpectViewMatches(log, c.Expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, LogListDelete,
                         ::testing::Values(TDeleteCase{"Last", {3}, {"a", "b", "c"}, false},
                                           TDeleteCase{"Middle", {1}, {"a", "c", "d"}, false},
                                           TDeleteCase{"First", {0}, {"b", "c", "d"}, false},
                                           TDeleteCase{"LastInUpdate", {3}, {"a", "b", "c"}, true},
                                           TDeleteCase{
                                               "MiddleInUpdate", {2}, {"a", "b", "d"}, true}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(LogListUpdate, MillionLinesInOneUpdate) {
    QWidget window; // a child list counts as shown before its window is
    TLogList& log = *new TLogList(&window);
    log.BeginUpdate();
    log.Clear();
    AddLines(log, 0, 1000000);
    log.EndUpdate();
    ASSERT_EQ(log.Count(), 1000000);
    EXPECT_EQ(log.model()->rowCount(), 1000000);
    EXPECT_EQ(log.Item(0), Line(0));
    EXPECT_EQ(log.Item(654321), Line(654321));
    EXPECT_EQ(log.Item(999999), Line(999999));
    log.Delete(500000);
    log.Delete(999998);
    EXPECT_EQ(log.Item(500000), Line(500001));
    EXPECT_EQ(log.model()->index(999997, 0).data().toString().toStdString(), Line(999998));
    log.FollowLastLine();
    EXPECT_EQ(log.ItemIndex(), 999997);
}

// A rebuild's lines are made only when asked for: the view, Item and deletes
// give what a rebuild into plain stored lines gives, also after a reading of
// the newest minute changed that record.
TEST(LogListRebuild, MadeLinesReadAsTheRebuildWroteThem) {
    TRecords records;
    for (int k = 0; k < 25; ++k) {
        records.Append({EncodeDate(2011, 7, 16) + EncodeTime(9, k, 0, 0), 10 + 7 * k});
    }
    const TFormatSettings fs;
    test::TFakeViews plain;
    RebuildDisplay(records, 0.00158, 12, plain.Views(), fs);
    std::vector<std::string>& expected = plain.Log.Lines;
    QWidget window;
    TLogList& log = *new TLogList(&window);
    test::TFakeSeries cpm;
    test::TFakeSeries sv;
    RebuildDisplay(records, 0.00158, 12, {cpm, sv, log}, fs);
    ExpectViewMatches(log, expected);
    records.AddToLastCount(5);
    ExpectViewMatches(log, expected);
    for (const int index : {24, 3, 0, 20}) {
        log.Delete(index);
        expected.erase(expected.begin() + index);
        ExpectViewMatches(log, expected);
    }
    log.Add("11/07/16, 09:25, 1");
    expected.push_back("11/07/16, 09:25, 1");
    ExpectViewMatches(log, expected);
}

// The view learns of an update's lines in one notice: a reset when the update
// emptied the list, else one insertion of the appended rows.
struct TNoticeCase {
    const char* Name;
    bool ClearFirst;
    int Resets;
    int Inserts;
};

class LogListUpdateNotices : public ::testing::TestWithParam<TNoticeCase> {};

TEST_P(LogListUpdateNotices, OneNoticePerUpdate) {
    const TNoticeCase& c = GetParam();
    TLogList log;
    AddLines(log, 0, 5);
    QSignalSpy resets(log.model(), &QAbstractItemModel::modelReset);
    QSignalSpy inserts(log.model(), &QAbstractItemModel::rowsInserted);
    log.BeginUpdate();
    if (c.ClearFirst) {
        log.Clear();
    }
    AddLines(log, 100, 7);
    EXPECT_EQ(resets.count() + inserts.count(), 0) << "nothing before the update ends";
    log.EndUpdate();
    EXPECT_EQ(resets.count(), c.Resets);
    ASSERT_EQ(inserts.count(), c.Inserts);
    if (c.Inserts == 1) {
        EXPECT_EQ(inserts.at(0).at(1).toInt(), 5);
        EXPECT_EQ(inserts.at(0).at(2).toInt(), 11);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, LogListUpdateNotices,
                         ::testing::Values(TNoticeCase{"Refill", true, 1, 0},
                                           TNoticeCase{"AppendOnly", false, 0, 1}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST_F(ShownLog, FollowLastLineOnEmptyListSelectsNothing) {
    Log->FollowLastLine();
    EXPECT_EQ(Log->ItemIndex(), -1);
    EXPECT_TRUE(Log->selectionModel()->selectedIndexes().isEmpty());
}

TEST_F(ShownLog, LinesAreThirteenPixelsHigh) {
    AddLines(*Log, 0, 3);
    const QRect first = Log->visualRect(Log->model()->index(0, 0));
    const QRect second = Log->visualRect(Log->model()->index(1, 0));
    EXPECT_EQ(first.height(), TLogList::ItemHeight);
    EXPECT_EQ(second.top() - first.top(), TLogList::ItemHeight);
}

TEST_F(ShownLog, LongerLineIsNotCutToTheFirstLinesWidth) {
    Log->Add("a");
    Log->Add("11/07/16, 09:05, 123, 0.0316");
    const QRect wide = Log->visualRect(Log->model()->index(1, 0));
    const int textWidth = Log->fontMetrics().horizontalAdvance("11/07/16, 09:05, 123, 0.0316");
    EXPECT_GE(wide.width(), textWidth);
}

TEST_F(ShownLog, SetItemIndexScrollsOnlyAsNeeded) {
    AddLines(*Log, 0, 100);
    Log->SetItemIndex(2);
    EXPECT_EQ(Log->ItemIndex(), 2);
    EXPECT_EQ(TopValue(), 0) << "a line already in view does not scroll";

    Log->SetItemIndex(50);
    EXPECT_EQ(Log->ItemIndex(), 50);
    EXPECT_TRUE(FullyInView(50));
    EXPECT_FALSE(FullyInView(51)) << "scrolled just far enough, not to the top";

    Log->scrollToTop();
    Log->SetItemIndex(50);
    EXPECT_EQ(TopValue(), 0) << "the index already selected does nothing";
    Log->SetItemIndex(-1);
    EXPECT_EQ(Log->ItemIndex(), -1);
    EXPECT_EQ(TopValue(), 0);
}

struct TSelectedDeleteCase {
    const char* Name;
    int Selected;
    int Deleted;
    int ItemIndexAfter;
};

class ShownLogSelectedDelete : public ShownLog,
                               public ::testing::WithParamInterface<TSelectedDeleteCase> {};

TEST_P(ShownLogSelectedDelete, DeleteNeverSelectsAnotherLine) {
    const TSelectedDeleteCase& c = GetParam();
    AddLines(*Log, 0, 5);
    Log->SetItemIndex(c.Selected);
    Log->Delete(c.Deleted);
    EXPECT_EQ(Log->ItemIndex(), c.ItemIndexAfter);
}

INSTANTIATE_TEST_SUITE_P(Cases, ShownLogSelectedDelete,
                         ::testing::Values(TSelectedDeleteCase{"SelectedLast", 4, 4, -1},
                                           TSelectedDeleteCase{"SelectedMiddle", 2, 2, -1},
                                           TSelectedDeleteCase{"BelowSelection", 2, 4, 2},
                                           TSelectedDeleteCase{"AboveSelection", 3, 1, 2}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST_F(ShownLog, DoubleClickOnEmptyListOrBelowTheLastLineToggles) {
    ASSERT_EQ(Log->Tag(), 0);
    DoubleClick(QPoint(20, 20));
    EXPECT_EQ(Log->Tag(), 1);
    Log->Add("only");
    DoubleClick(QPoint(20, 40));
    EXPECT_EQ(Log->Tag(), 0);
}

TEST_F(ShownLog, DoubleClickSelectsTheLineThenFrozenListKeepsItsPlace) {
    AddLines(*Log, 0, 30);
    Log->FollowLastLine();
    Log->SetItemIndex(10);
    const int top = TopValue();
    const QPoint row10 = RowCentre(10);
    Log->SetItemIndex(-1);

    DoubleClick(row10);
    ASSERT_EQ(Log->Tag(), 1);
    ASSERT_EQ(Log->ItemIndex(), 10);

    for (int i = 30; i < 80; ++i) {
        Log->Add(Line(i));
        Log->FollowLastLine();
    }
    EXPECT_EQ(Log->Count(), 80);
    EXPECT_EQ(Log->ItemIndex(), 10);
    EXPECT_EQ(TopValue(), top);

    DoubleClick(RowCentre(10));
    ASSERT_EQ(Log->Tag(), 0);
    Log->Add(Line(80));
    Log->FollowLastLine();
    EXPECT_EQ(Log->ItemIndex(), 80);
    EXPECT_TRUE(FullyInView(80));
}

TEST_F(ShownLog, HiddenListCollectsLinesWithoutSelecting) {
    AddLines(*Log, 0, 3);
    Log->hide();
    AddLines(*Log, 3, 20);
    Log->FollowLastLine();
    EXPECT_EQ(Log->ItemIndex(), -1);
    EXPECT_EQ(TopValue(), 0);
    Log->show();
    EXPECT_EQ(TopValue(), 0) << "shows what it showed before";
    Log->Add(Line(23));
    Log->FollowLastLine();
    EXPECT_EQ(Log->ItemIndex(), 23);
    EXPECT_TRUE(FullyInView(23));
}

TEST_F(ShownLog, ClearLeavesNoSelectionAndShowsTheTop) {
    AddLines(*Log, 0, 50);
    Log->FollowLastLine();
    ASSERT_GT(TopValue(), 0);
    Log->Clear();
    EXPECT_EQ(Log->Count(), 0);
    EXPECT_EQ(Log->ItemIndex(), -1);
    AddLines(*Log, 0, 50);
    EXPECT_EQ(Log->ItemIndex(), -1);
    EXPECT_EQ(TopValue(), 0);
}

// A rebuild of a frozen list: emptied and refilled, it shows its first lines
// and nothing is selected, and it stays frozen.
TEST_F(ShownLog, RefillInAnUpdateShowsTheTopWithoutSelection) {
    AddLines(*Log, 0, 50);
    Log->FollowLastLine();
    Log->LogDblClick();
    Log->BeginUpdate();
    Log->Clear();
    AddLines(*Log, 0, 60);
    Log->EndUpdate();
    Log->FollowLastLine();
    EXPECT_EQ(Log->ItemIndex(), -1);
    EXPECT_EQ(TopValue(), 0);
    EXPECT_EQ(Log->Tag(), 1);
}

} // namespace
} // namespace ostrel
