// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The outputs in use, assembled in one place: the window and a logger
// without a window take the same list.

#include "records/DoseAlarm.h"
#include "records/LogOutput.h"

namespace ostrel {

// The outputs that the settings turn on, and the dose-rate alarm's
// thresholds, which the logging session follows for all of them.
struct TOutputSet {
    TLogOutputs Outputs;
    TAlarmLevels Alarm;
};

// Every output that its settings turn on, in the order they are told of a
// minute: the journal first, so that a minute is on the disk before it
// travels. The [Alarm] section is read here, once.
TOutputSet MakeOutputs(TOutputContext context);

} // namespace ostrel
