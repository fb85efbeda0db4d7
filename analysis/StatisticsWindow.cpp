// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/StatisticsWindow.h"

namespace ostrel {

void ShowSpanStatistics(QWidget* /*parent*/, std::span<const TMinuteRecord> /*minutes*/,
                        const TFormatSettings& /*fs*/) {
    // The window itself is still to come: nothing is shown yet.
}

} // namespace ostrel
