// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The dose-rate alarm's state, from one dose rate after another. The alarm
// output and the MQTT publisher each keep one, fed the same lines, so both
// say the same without talking to each other.

#include "alarm/AlarmSettings.h"
#include "records/LogOutput.h"

#include <optional>

namespace ostrel {

// The state as the command and MQTT tell it.
inline constexpr const char* AlarmOnText = "ON";
inline constexpr const char* AlarmOffText = "OFF";

// On at a dose rate of On or more, off again only below Off: a dose rate
// that wavers around one threshold does not switch it back and forth. Off
// at first.
class TDoseAlarm {
public:
    explicit TDoseAlarm(const TAlarmSettings& settings)
        : OnLevel(settings.On), OffLevel(settings.Off) {}

    // True when this dose rate switched the alarm. A line without a dose
    // rate (the first ten of a run) tells nothing and changes nothing.
    bool Follow(std::optional<double> doseRate);
    bool IsOn() const { return State; }

private:
    double OnLevel;
    double OffLevel;
    bool State = false;
};

// The dose rate of the newest line of a log just rebuilt, none when it has
// fewer than eleven lines.
std::optional<double> NewestDoseRate(const TOpenedLog& log);

} // namespace ostrel
