// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The statistics of a span of minutes, shown in a window of their own.

#include "platform/FormatSettings.h"
#include "records/MinuteRecords.h"

#include <span>

class QWidget;

namespace ostrel {

// Shows the statistics of the minutes, owned by parent; fs gives the
// separators of the numbers.
void ShowSpanStatistics(QWidget* parent, std::span<const TMinuteRecord> minutes,
                        const TFormatSettings& fs);

} // namespace ostrel
