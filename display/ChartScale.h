// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The arithmetic behind the chart's axes: the automatic horizontal page, the
// label step and top of a value axis, and the number patterns of its labels.
// Kept free of widgets so that it can be tested from tables.

#include <QString>

#include <cstddef>
#include <optional>

namespace ostrel {

// At most this many points are shown by the automatic horizontal view.
inline constexpr int MaxPointsPerPage = 360;

struct TKeyRange {
    double Lower = 0;
    double Upper = 0;
};

// The automatic horizontal range of a chart whose longest series holds
// `count` points: the first page, from point 0 to point 359 or to the last
// point while there are fewer. With 0 or 1 points the range is centred on
// point 0 so that a single point sits in the middle.
TKeyRange AutomaticKeyRange(int count);

// Points First .. End-1.
struct TIndexSpan {
    std::size_t First = 0;
    std::size_t End = 0;
};

// The points, of `count`, whose X (their index) lies within range, its ends
// included: the minutes that the horizontal axis shows.
TIndexSpan IndicesWithin(TKeyRange range, std::size_t count);

// The label step after `step` in the progression 1, 2, 2.5, 5, 10, 20, ...
// times a power of ten (5 -> 10 -> 20 -> 25 -> 50 -> 100; 0.05 -> 0.1 -> ...).
double NextLabelStep(double step);

// The smallest whole multiple of `step` not below `value`; a value that
// already is a multiple (within rounding noise) stays.
double RoundUpToStep(double value, double step);

struct TValueScale {
    double Step = 0;    // distance between two labels
    double Maximum = 0; // top of the axis, a whole multiple of Step
};

// The scale of a value axis whose minimum is 0. `largest` is the largest
// value drawn on it (none for an empty series). The step starts at
// `baseStep` and is widened along NextLabelStep until the labels, each
// `labelPitch` pixels apart at least, fit into `axisHeight` pixels; an axis
// not laid out yet (height 0 or less) keeps the base step. Without a
// positive largest value the axis spans one step.
TValueScale ChooseValueScale(std::optional<double> largest, double baseStep, int axisHeight,
                             int labelPitch);

// `value` with `decimals` decimals, its whole part grouped by threes with
// `groupSeparator` (none when empty), e.g. "#,##0.00" gives "1,234.50".
QString FormatGroupedFixed(double value, int decimals, const QString& decimalPoint,
                           const QString& groupSeparator);

} // namespace ostrel
