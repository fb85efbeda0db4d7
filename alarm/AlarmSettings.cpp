// SPDX-License-Identifier: GPL-3.0-or-later
#include "alarm/AlarmSettings.h"

#include "platform/TextServices.h"

#include <cmath>
#include <optional>
#include <ostream>

namespace ostrel {

namespace {

std::optional<double> ReadLevel(const std::string& text) {
    const std::optional<double> level = TryStrToFloat(text, TFormatSettings{});
    if (!level || !std::isfinite(*level) || *level < 0) {
        return std::nullopt;
    }
    return level;
}

void TellUnusable(std::ostream& diagnostics, const TSettingsSection& section, std::string_view key,
                  const std::string& text, const std::string& instead) {
    diagnostics << "ostrel: [" << section.Name() << "] " << key << "=" << text << " is not usable; "
                << instead << std::endl;
}

} // namespace

TAlarmSettings ReadAlarmSettings(const TSettingsSection& section, std::ostream& diagnostics) {
    TAlarmSettings settings;
    const std::string on = section.Read(AlarmOnKey);
    if (on.empty()) {
        return settings;
    }
    const std::optional<double> onLevel = ReadLevel(on);
    if (!onLevel || *onLevel == 0) {
        TellUnusable(diagnostics, section, AlarmOnKey, on, "the alarm is off");
        return settings;
    }
    settings.On = *onLevel;
    settings.Off = settings.On * DefaultAlarmOffShare;
    if (const std::string off = section.Read(AlarmOffKey); !off.empty()) {
        const std::optional<double> offLevel = ReadLevel(off);
        if (offLevel && *offLevel <= settings.On) {
            settings.Off = *offLevel;
        } else {
            TellUnusable(diagnostics, section, AlarmOffKey, off,
                         FloatToStr(settings.Off, TFormatSettings{}) + " is used instead");
        }
    }
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
