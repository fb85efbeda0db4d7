// SPDX-License-Identifier: GPL-3.0-or-later
#include "display/ChartScale.h"

#include <gtest/gtest.h>

#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace ostrel {
namespace {

struct KeyRangeCase {
    int Count;
    double Lower;
    double Upper;
};

TEST(AutomaticKeyRangeTest, ShowsTheFirstPageOnly) {
    const std::vector<KeyRangeCase> cases = {
        {0, -0.5, 0.5}, {1, -0.5, 0.5}, {2, 0, 1},     {10, 0, 9},
        {11, 0, 10},    {360, 0, 359},  {361, 0, 359}, {1000, 0, 359},
    };
    for (const auto& c : cases) {
        const TKeyRange range = AutomaticKeyRange(c.Count);
        EXPECT_EQ(range.Lower, c.Lower) << c.Count << " points";
        EXPECT_EQ(range.Upper, c.Upper) << c.Count << " points";
    }
}

TEST(NextLabelStepTest, FollowsOneTwoTwoAndAHalfFive) {
    const std::vector<std::pair<double, double>> cases = {
        {5, 10},     {10, 20},   {20, 25},    {25, 50},    {50, 100}, {100, 200}, {250, 500},
        {0.05, 0.1}, {0.1, 0.2}, {0.2, 0.25}, {0.25, 0.5}, {0.5, 1},  {1, 2},     {2.5, 5},
    };
    for (const auto& [step, next] : cases) {
        EXPECT_DOUBLE_EQ(NextLabelStep(step), next) << "after " << step;
    }
}

struct RoundUpCase {
    double Value;
    double Step;
    double Expected;
};

TEST(RoundUpToStepTest, RaisesToTheNextMultipleAndKeepsMultiples) {
    const std::vector<RoundUpCase> cases = {
        {47, 5, 50},
        {50, 5, 50},
        {45.0001, 5, 50},
        {1, 5, 5},
        {0.031, 0.05, 0.05},
        {0.05, 0.05, 0.05},
        {3 * 0.05, 0.05, 0.15},
        {0.1500001, 0.05, 0.2},
        {0.35, 0.05, 0.35},
        {1234.56, 0.05, 1234.6},
    };
    for (const auto& c : cases) {
        EXPECT_NEAR(RoundUpToStep(c.Value, c.Step), c.Expected, 1e-12)
            << c.Value << " by " << c.Step;
    }
}

struct ScaleCase {
    const char* Name;
    std::optional<double> Largest;
    double BaseStep;
    int AxisHeight;
    int LabelPitch;
    double Step;
    double Maximum;
};

TEST(ChooseValueScaleTest, WidensTheStepOnlyWhereLabelsWouldCrowd) {
    const std::vector<ScaleCase> cases = {
        {"empty series spans one step", std::nullopt, 5, 300, 15, 5, 5},
        {"all zero spans one step", 0.0, 5, 300, 15, 5, 5},
        {"47 rounds to 50", 47.0, 5, 300, 15, 5, 50},
        {"exact multiple stays", 45.0, 5, 300, 15, 5, 45},
        {"crowded: ten labels need 150 px", 47.0, 5, 100, 15, 10, 50},
        {"exactly filling the axis still fits", 47.0, 5, 150, 15, 5, 50},
        {"large counts widen to 50", 1000.0, 5, 300, 15, 50, 1000},
        {"large counts, 25 fits", 990.0, 5, 600, 15, 25, 1000},
        {"not laid out keeps the base step", 1000.0, 5, 0, 15, 5, 1000},
        {"one interval is accepted on a tiny axis", 47.0, 5, 10, 15, 50, 50},
        {"dose 0.031 rounds to 0.05", 0.031, 0.05, 300, 15, 0.05, 0.05},
        {"dose widened to 0.2", 2.3, 0.05, 200, 15, 0.2, 2.4},
        {"dose widened to 0.25", 2.3, 0.05, 150, 15, 0.25, 2.5},
        {"no dose yet", std::nullopt, 0.05, 300, 15, 0.05, 0.05},
    };
    for (const auto& c : cases) {
        const TValueScale scale =
            ChooseValueScale(c.Largest, c.BaseStep, c.AxisHeight, c.LabelPitch);
        EXPECT_NEAR(scale.Step, c.Step, 1e-12) << c.Name;
        EXPECT_NEAR(scale.Maximum, c.Maximum, 1e-9) << c.Name;
    }
}

struct FormatCase {
    double Value;
    int Decimals;
    const char* DecimalPoint;
    const char* GroupSeparator;
    const char* Expected;
};

TEST(FormatGroupedFixedTest, WritesThePictures) {
    const std::vector<FormatCase> cases = {
        {0, 2, ".", ",", "0.00"},
        {0.05, 2, ".", ",", "0.05"},
        {3 * 0.05, 2, ".", ",", "0.15"},
        {100, 2, ".", ",", "100.00"},
        {1234.5, 2, ".", ",", "1,234.50"},
        {1234567.891, 2, ".", ",", "1,234,567.89"},
        {999.999, 2, ".", ",", "1,000.00"},
        {-1234.5, 2, ".", ",", "-1,234.50"},
        {-0.001, 2, ".", ",", "0.00"},
        {1234.5, 2, ",", ".", "1.234,50"},
        {1234.5, 2, ",", "\u00a0", "1\u00a0234,50"},
        {47, 0, ".", "", "47"},
        {12345, 0, ".", "", "12345"},
        {2.6, 0, ".", "", "3"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatGroupedFixed(c.Value, c.Decimals, QString::fromUtf8(c.DecimalPoint),
                                     QString::fromUtf8(c.GroupSeparator))
                      .toStdString(),
                  c.Expected)
            << c.Value;
    }
}

// The minutes the axis shows: whole indices within the range, ends included.
TEST(ChartScaleTest, IndicesWithinARange) {
    const std::pair<TKeyRange, std::size_t> cases[] = {
        {{-0.5, 0.5}, 0},  {{-0.5, 0.5}, 1}, {{9.5, 12.2}, 30}, {{3, 3}, 30},
        {{25.5, 100}, 30}, {{40, 50}, 30},   {{-20, -10}, 30},  {{12.2, 12.8}, 30}};
    const char* const expected[] = {"0..0",   "0..1",   "10..13", "3..4",
                                    "26..30", "30..30", "0..0",   "13..13"};
    for (std::size_t k = 0; k < std::size(cases); ++k) {
        const TIndexSpan span = IndicesWithin(cases[k].first, cases[k].second);
        EXPECT_EQ(std::to_string(span.First) + ".." + std::to_string(span.End), expected[k]) << k;
    }
}

} // namespace
} // namespace ostrel
