// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/DoseAlarm.h"

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

} // namespace ostrel
