// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Refilling the chart and the log list from the records alone, with the
// coefficient and background in force now.

#include "display/ViewOps.h"
#include "platform/FormatSettings.h"
#include "records/MinuteRecords.h"

#include <cstdint>

namespace ostrel {

// Every record gets its counts point, a dose-rate point (null for the first
// ten) and a log line; the dose rate of record i is that of the ten records
// before it.
void RebuildDisplay(const TRecords& records, double graphCoefficient, std::int32_t graphBackground,
                    TSeriesView& seriesCPM, TSeriesView& seriesSV, TLogView& log,
                    const TFormatSettings& fs);

} // namespace ostrel
