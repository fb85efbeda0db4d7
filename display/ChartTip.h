// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The tip shown for the minute under the pointer: its time, its count with
// the count's 95 % interval, and its dose rate.

#include "platform/FormatSettings.h"
#include "platform/Translation.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace ostrel {

inline constexpr const char* TipCountText = OSTREL_TR("Ostrel", "計数: %1 CPM");
inline constexpr const char* TipCountIntervalText =
    OSTREL_TR("Ostrel", "計数: %1 CPM (95%区間 %2～%3)");
inline constexpr const char* TipDoseRateText = OSTREL_TR("Ostrel", "線量率: %1 uSv/ h");
inline constexpr const char* TipDoseRateIntervalText =
    OSTREL_TR("Ostrel", "線量率: %1 uSv/ h (95%区間 %2～%3)");

struct TTipBounds {
    double Lower = 0;
    double Upper = 0;
};

// What the tip tells of a point besides the chart's own values. Unset parts
// leave their text out.
struct TChartTips {
    // The time of the minute of the point at index.
    std::function<std::string(int index)> TimeText;
    // The bounds of the 95 % interval of a minute's count.
    std::function<TTipBounds(std::uint64_t count)> Interval;
    // The bounds of the 95 % interval of the dose rate of the point at
    // index, from the minutes it is made of; none where it has none.
    std::function<std::optional<TTipBounds>(int index)> DoseRateInterval;
};

// The tip's lines: the time (when not empty), the count with its interval
// (bounds with one decimal), the dose rate as the log list writes it with
// its interval (bounds with four decimals).
QString PointTipText(std::string_view time, std::int64_t count, std::optional<TTipBounds> bounds,
                     std::optional<double> doseRate, std::optional<TTipBounds> doseRateBounds,
                     const TFormatSettings& fs);

} // namespace ostrel
