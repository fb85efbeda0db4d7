// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The chart's series together with a log list: the views that the live loop,
// the rebuild and New fill.

#include "display/Chart.h"
#include "views/DisplayViews.h"

namespace ostrel {

inline TDisplayViews ChartViews(TChart& chart, TLogView& log) {
    return {chart.SeriesCPM(), chart.SeriesSV(), log};
}

} // namespace ostrel
