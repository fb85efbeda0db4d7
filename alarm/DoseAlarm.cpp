// SPDX-License-Identifier: GPL-3.0-or-later
#include "alarm/DoseAlarm.h"

#include <cmath>

namespace ostrel {

bool TDoseAlarm::Follow(std::optional<double> doseRate) {
    if (!doseRate || std::isnan(*doseRate)) {
        return false;
    }
    const bool next = State ? *doseRate >= OffLevel : *doseRate >= OnLevel;
    const bool changed = next != State;
    State = next;
    return changed;
}

std::optional<double> NewestDoseRate(const TOpenedLog& log) {
    const std::size_t count = log.Records.Count();
    if (count <= DoseRateWindow) {
        return std::nullopt;
    }
    // The rebuild gives line i the dose rate of the records before it.
    return DoseRateBefore(log.Records, count - 1, log.GraphCoefficient, log.GraphBackground);
}

} // namespace ostrel
