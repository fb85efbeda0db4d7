// SPDX-License-Identifier: GPL-3.0-or-later
#include "display/ChartInteraction.h"

#include <gtest/gtest.h>

#include <vector>

namespace ostrel {
namespace {

using TOutcome = TChartInteraction::TOutcome;

struct TStep {
    enum { Press, Move, Release } Kind;
    Qt::MouseButton Button;
    int Dx; // pixels right of the plot area's centre
    TOutcome Expected;
};

struct TInteractionCase {
    const char* Name;
    std::vector<TStep> Steps;
    bool BandVisible;
    bool RangeMoved;
};

class ChartInteractionTest : public ::testing::Test {
protected:
    void SetUp() override {
        Plot.resize(800, 500);
        Plot.show();
        Plot.xAxis->setRange(0, 359);
        Plot.replot();
        Band = new QCPItemRect(&Plot);
        Band->setVisible(false);
    }

    QCustomPlot Plot;
    QCPItemRect* Band = nullptr;
};

TEST_F(ChartInteractionTest, OutcomesOfPressMoveAndRelease) {
    constexpr auto L = Qt::LeftButton;
    constexpr auto R = Qt::RightButton;
    constexpr auto M = Qt::MiddleButton;
    constexpr int T = TChartInteraction::ZoomThreshold;
    const std::vector<TInteractionCase> cases = {
        {"pan",
         {{TStep::Press, L, 0, TOutcome::None},
          {TStep::Move, L, 40, TOutcome::ViewMoved},
          {TStep::Release, L, 40, TOutcome::ViewMoved}},
         false,
         true},
        {"pan back to the start",
         {{TStep::Press, L, 0, TOutcome::None}, {TStep::Release, L, 0, TOutcome::None}},
         false,
         false},
        {"zoom beyond the threshold",
         {{TStep::Press, R, 0, TOutcome::None},
          {TStep::Move, R, T + 1, TOutcome::Redraw},
          {TStep::Release, R, T + 1, TOutcome::ViewMoved}},
         false,
         true},
        {"zoom at the threshold",
         {{TStep::Press, R, 0, TOutcome::None}, {TStep::Release, R, T, TOutcome::Redraw}},
         false,
         false},
        {"undo beyond the threshold",
         {{TStep::Press, R, 0, TOutcome::None}, {TStep::Release, R, -T - 1, TOutcome::UndoZoom}},
         false,
         false},
        {"undo at the threshold",
         {{TStep::Press, R, 0, TOutcome::None}, {TStep::Release, R, -T, TOutcome::Redraw}},
         false,
         false},
        {"band shown while dragging",
         {{TStep::Press, R, 0, TOutcome::None}, {TStep::Move, R, 50, TOutcome::Redraw}},
         true,
         false},
        {"the other button does not end a drag",
         {{TStep::Press, R, 0, TOutcome::None},
          {TStep::Press, L, 10, TOutcome::None},
          {TStep::Release, L, 60, TOutcome::None},
          {TStep::Release, R, 60, TOutcome::ViewMoved}},
         false,
         true},
        {"middle button",
         {{TStep::Press, M, 0, TOutcome::None},
          {TStep::Move, M, 60, TOutcome::None},
          {TStep::Release, M, 60, TOutcome::None}},
         false,
         false},
        {"press outside the plot area",
         {{TStep::Press, L, 2000, TOutcome::None}, {TStep::Move, L, 0, TOutcome::None}},
         false,
         false},
    };
    for (const TInteractionCase& c : cases) {
        Band->setVisible(false);
        Plot.xAxis->setRange(0, 359);
        TChartInteraction interaction(*Plot.axisRect(), *Plot.xAxis, *Band);
        const QPoint centre = Plot.axisRect()->rect().center();
        for (const TStep& step : c.Steps) {
            const QPoint pos = centre + QPoint(step.Dx, 0);
            TOutcome outcome = TOutcome::None;
            if (step.Kind == TStep::Press) {
                interaction.Press(step.Button, pos);
            } else if (step.Kind == TStep::Move) {
                outcome = interaction.Move(pos);
            } else {
                outcome = interaction.Release(step.Button, pos);
            }
            EXPECT_EQ(outcome, step.Expected) << c.Name << " at dx " << step.Dx;
        }
        EXPECT_EQ(Band->visible(), c.BandVisible) << c.Name;
        const QCPRange range = Plot.xAxis->range();
        EXPECT_EQ(range.lower != 0 || range.upper != 359, c.RangeMoved) << c.Name;
    }
}

TEST_F(ChartInteractionTest, PanMovesByTheDraggedShareOfTheRange) {
    TChartInteraction interaction(*Plot.axisRect(), *Plot.xAxis, *Band);
    const QRect area = Plot.axisRect()->rect();
    interaction.Press(Qt::LeftButton, area.center());
    interaction.Release(Qt::LeftButton, area.center() - QPoint(area.width() / 2, 0));
    const double shift = 359.0 * (area.width() / 2) / area.width();
    EXPECT_DOUBLE_EQ(Plot.xAxis->range().lower, shift);
    EXPECT_DOUBLE_EQ(Plot.xAxis->range().upper, 359 + shift);
}

} // namespace
} // namespace ostrel
