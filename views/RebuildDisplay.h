// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Refilling the chart and the log list from the records alone, with the
// coefficient and background in force now.

#include "platform/FormatSettings.h"
#include "records/MinuteRecords.h"
#include "views/DisplayViews.h"

#include <cstdint>

namespace ostrel {

// Every record gets its counts point, a dose-rate point (null for the first
// DoseRateWindow) and a log line; the dose rate of record i is that of the
// DoseRateWindow records before it.
void RebuildDisplay(const TRecords& records, double graphCoefficient, std::int32_t graphBackground,
                    const TDisplayViews& views, const TFormatSettings& fs);

} // namespace ostrel
