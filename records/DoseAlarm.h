// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The dose-rate alarm's state, from one dose rate after another. One alarm
// follows the log's lines (TLogMeaning); the outputs read its state from
// what each minute means.

#include <optional>

namespace ostrel {

// The state as the command and MQTT tell it.
inline constexpr const char* AlarmOnText = "ON";
inline constexpr const char* AlarmOffText = "OFF";

// The thresholds in µSv/h; On 0: no alarm.
struct TAlarmLevels {
    double On = 0;
    double Off = 0;

    bool Enabled() const { return On > 0; }
};

// On at a dose rate of On or more, off again only below Off: a dose rate
// that wavers around one threshold does not switch it back and forth. Off
// at first.
class TDoseAlarm {
public:
    explicit TDoseAlarm(const TAlarmLevels& levels) : OnLevel(levels.On), OffLevel(levels.Off) {}

    // True when this dose rate switched the alarm. A line without a dose
    // rate (the first ten of a run) tells nothing and changes nothing.
    bool Follow(std::optional<double> doseRate);
    bool IsOn() const { return State; }

private:
    double OnLevel;
    double OffLevel;
    bool State = false;
};

} // namespace ostrel
