// SPDX-License-Identifier: GPL-3.0-or-later
#include "alarm/AlarmSettings.h"

#include <optional>
#include <ostream>

namespace ostrel {

TAlarmSettings ReadAlarmSettings(const TSettingsSection& section, std::ostream& diagnostics) {
    TAlarmSettings settings;
    const std::string on = section.Read(AlarmOnKey);
    if (on.empty()) {
        return settings;
    }
    const std::optional<double> onLevel = DecimalNumber(on);
    if (!onLevel || *onLevel <= 0) {
        section.TellUnusable(diagnostics, AlarmOnKey, on, "the alarm is off");
        return settings;
    }
    settings.On = *onLevel;
    settings.Off = section.ReadDecimal(AlarmOffKey, 0, settings.On,
                                       settings.On * DefaultAlarmOffShare, diagnostics);
    settings.Command = SplitCommand(section.Read(AlarmCommandKey));
    return settings;
}

std::vector<std::string> SplitCommand(std::string_view text) {
    std::vector<std::string> words;
    bool inWord = false;
    bool quoted = false;
    for (const char c : text) {
        if (c == '"') {
            quoted = !quoted;
            if (!inWord) {
                words.emplace_back();
                inWord = true;
            }
        } else if (!quoted && (c == ' ' || c == '\t')) {
            inWord = false;
        } else {
            if (!inWord) {
                words.emplace_back();
                inWord = true;
            }
            words.back() += c;
        }
    }
    return words;
}

} // namespace ostrel
