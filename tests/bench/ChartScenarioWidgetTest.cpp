// SPDX-License-Identifier: GPL-3.0-or-later
// The replot benchmark at small sizes: the chart holds a point per minute, the
// drag zooms into the first page, a replot moves nothing, the leftward drag
// gives the page back.

#include "bench/ChartScenario.h"
#include "bench/LogScenario.h"
#include "display/Chart.h"
#include "display/ChartScale.h"

#include <gtest/gtest.h>

namespace ostrel::bench {
namespace {

class ChartScenarioTest : public ::testing::TestWithParam<std::size_t> {};

TEST_P(ChartScenarioTest, TheDragZoomsIntoTheMiddleOfThePageAndBack) {
    const std::size_t n = GetParam();
    TChartScenario scenario;
    scenario.Fill(n);
    TChart& chart = scenario.Chart();
    ASSERT_EQ(chart.SeriesCPM().Count(), static_cast<int>(n));
    ASSERT_EQ(chart.SeriesSV().Count(), static_cast<int>(n));
    EXPECT_EQ(chart.SeriesCPM().Labels().size(), 1 + (n - 1) / 10);
    const TKeyRange page = AutomaticKeyRange(static_cast<int>(n));
    ASSERT_EQ(chart.xAxis->range().lower, page.Lower);
    ASSERT_EQ(chart.xAxis->range().upper, page.Upper);

    scenario.DragZoom(0.25, 0.75);
    EXPECT_FALSE(chart.IsAutomaticView());
    const double size = page.Upper - page.Lower;
    // The drag ends on whole pixels.
    const double pixel = size / chart.axisRect()->width();
    const QCPRange zoomed = chart.xAxis->range();
    EXPECT_NEAR(zoomed.lower, page.Lower + size / 4, 1.5 * pixel);
    EXPECT_NEAR(zoomed.upper, page.Lower + size * 3 / 4, 1.5 * pixel);

    scenario.Replot();
    EXPECT_EQ(chart.xAxis->range(), zoomed);

    scenario.DragZoom(0.75, 0.25);
    EXPECT_TRUE(chart.IsAutomaticView());
    EXPECT_EQ(chart.xAxis->range().upper, page.Upper);
}

INSTANTIATE_TEST_SUITE_P(Sizes, ChartScenarioTest, ::testing::Values(20, 360, 5000));

} // namespace
} // namespace ostrel::bench
