// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// When the dose-rate alarm goes on and off and what it runs: the settings
// file's [Alarm] section once read, every default already applied. Read once
// at start-up, never written; the thresholds go to every output with what
// each minute means.

#include "records/DoseAlarm.h"
#include "settings/SettingsFile.h"

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

inline constexpr std::string_view AlarmSection = "Alarm";
inline constexpr std::string_view AlarmOnKey = "On";
inline constexpr std::string_view AlarmOffKey = "Off";
inline constexpr std::string_view AlarmCommandKey = "Command";
// Off, when not given, as a share of On.
inline constexpr double DefaultAlarmOffShare = 0.8;

// On and Off in µSv/h; On 0: no alarm.
struct TAlarmSettings : TAlarmLevels {
    std::vector<std::string> Command; // the program and its first arguments; empty: none
};

// The [Alarm] section: no alarm without a positive On; Off defaults to 80 %
// of On and must lie between 0 and On. Numbers take "." as the decimal
// point whatever the user's locale. A value that cannot be used gives its
// default (for On: no alarm) and one line on diagnostics.
TAlarmSettings ReadAlarmSettings(const TSettingsSection& section, std::ostream& diagnostics);

// A command line as its words, without a shell: blanks separate them, and
// double quotes keep blanks inside one (and are dropped). Nothing else is
// special, so that a Windows path keeps its backslashes.
std::vector<std::string> SplitCommand(std::string_view text);

} // namespace ostrel
