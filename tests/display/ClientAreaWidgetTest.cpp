// SPDX-License-Identifier: GPL-3.0-or-later
// The client area: chart above, splitter and log list docked to the bottom,
// hiding and showing the list, and the splitter's drop rule.
#include "display/ClientArea.h"

#include <QTest>
#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace ostrel {
namespace {

struct TDropCase {
    const char* Name;
    int Proposed;
    int ClientHeight;
    int Expected;
};

class DropRule : public ::testing::TestWithParam<TDropCase> {};

TEST_P(DropRule, GivesTheListItsHeight) {
    const TDropCase& c = GetParam();
    EXPECT_EQ(LogHeightAfterDrop(c.Proposed, c.ClientHeight), c.Expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, DropRule,
                         ::testing::Values(TDropCase{"ThirtyOneStays", 31, 377, 31},
                                           TDropCase{"ThirtySnapsToTwenty", 30, 377, 20},
                                           TDropCase{"NineteenRisesToTwenty", 19, 377, 20},
                                           TDropCase{"ChartWouldBe29", 345, 377, 344},
                                           TDropCase{"TinyAreaStillTwenty", 40, 60, 20}),
                         [](const auto& info) { return std::string(info.param.Name); });

class ShownArea : public ::testing::Test {
protected:
    void SetUp() override {
        Area = std::make_unique<TClientArea>(new QWidget);
        Area->resize(572, 377);
        Area->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(Area.get()));
    }

    // Picks the splitter up at its middle row and drops it deltaY lower.
    void Drag(int deltaY) {
        QWidget& bar = Area->Splitter();
        const QPoint from(100, 1);
        QTest::mousePress(&bar, Qt::LeftButton, {}, from);
        QTest::mouseRelease(&bar, Qt::LeftButton, {}, from + QPoint(0, deltaY));
    }

    // Everything below the chart is accounted for, top to bottom.
    void ExpectShownLayout(int logHeight) {
        const int logTop = 377 - logHeight;
        EXPECT_EQ(Area->Log().geometry(), QRect(0, logTop, 572, logHeight));
        EXPECT_EQ(Area->Splitter().geometry(), QRect(0, logTop - 3, 572, 3));
        EXPECT_EQ(Area->Chart().geometry(), QRect(0, 0, 572, logTop - 3));
    }

    std::unique_ptr<TClientArea> Area;
};

TEST_F(ShownArea, StartsWithListAtTheBottomAndChart310High) {
    ExpectShownLayout(64);
    EXPECT_EQ(Area->Chart().height(), 310);
    EXPECT_EQ(Area->Splitter().cursor().shape(), Qt::SizeVerCursor);
    EXPECT_EQ(Area->Chart().parentWidget(), Area.get());
}

TEST_F(ShownArea, HiddenListLeavesTheWholeAreaToTheChart) {
    Area->HideClick();
    EXPECT_FALSE(Area->Log().IsVisible());
    EXPECT_TRUE(Area->Splitter().isHidden());
    EXPECT_EQ(Area->Chart().geometry(), QRect(0, 0, 572, 377));
}

struct TCommandCase {
    const char* Name;
    std::string Commands; // H = HideClick, S = ShowClick
    bool Shown;
};

class ShownAreaCommands : public ShownArea, public ::testing::WithParamInterface<TCommandCase> {};

TEST_P(ShownAreaCommands, EndInTheSameLayout) {
    const TCommandCase& c = GetParam();
    Drag(-50);
    ASSERT_EQ(Area->LogHeight(), 114);
    for (const char command : c.Commands) {
        command == 'H' ? Area->HideClick() : Area->ShowClick();
    }
    EXPECT_EQ(Area->Log().IsVisible(), c.Shown);
    EXPECT_EQ(Area->Splitter().isHidden(), !c.Shown);
    if (c.Shown) {
        ExpectShownLayout(114);
    } else {
        EXPECT_EQ(Area->Chart().geometry(), QRect(0, 0, 572, 377));
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ShownAreaCommands,
                         ::testing::Values(TCommandCase{"HideShow", "HS", true},
                                           TCommandCase{"HideHide", "HH", false},
                                           TCommandCase{"ShowShow", "SS", true},
                                           TCommandCase{"HideHideShowShow", "HHSS", true},
                                           TCommandCase{"ShowHide", "SH", false}),
                         [](const auto& info) { return std::string(info.param.Name); });

struct TDragCase {
    const char* Name;
    int DeltaY;
    int LogHeight;
};

class ShownAreaDrag : public ShownArea, public ::testing::WithParamInterface<TDragCase> {};

TEST_P(ShownAreaDrag, DropSetsTheListHeight) {
    const TDragCase& c = GetParam();
    Drag(c.DeltaY);
    EXPECT_EQ(Area->LogHeight(), c.LogHeight);
    ExpectShownLayout(c.LogHeight);
}

// The list is 64 high at the start: a drop dy lower leaves it 64 - dy.
INSTANTIATE_TEST_SUITE_P(Cases, ShownAreaDrag,
                         ::testing::Values(TDragCase{"Up10", -10, 74}, TDragCase{"Down33", 33, 31},
                                           TDragCase{"Down34Snaps", 34, 20},
                                           TDragCase{"BelowTheWindow", 200, 20},
                                           TDragCase{"ChartExactly30", -280, 344},
                                           TDragCase{"ChartWouldBe29", -281, 344},
                                           TDragCase{"AboveTheWindow", -500, 344},
                                           TDragCase{"NoMove", 0, 64}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST_F(ShownArea, ListKeepsItsHeightWhenTheWindowResizes) {
    Drag(-20);
    Area->resize(700, 500);
    QCoreApplication::processEvents();
    EXPECT_EQ(Area->Log().geometry(), QRect(0, 416, 700, 84));
    EXPECT_EQ(Area->Splitter().geometry(), QRect(0, 413, 700, 3));
    EXPECT_EQ(Area->Chart().geometry(), QRect(0, 0, 700, 413));
}

} // namespace
} // namespace ostrel
