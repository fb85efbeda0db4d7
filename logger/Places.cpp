// SPDX-License-Identifier: GPL-3.0-or-later
#include "logger/Places.h"

#include "counter/CounterLibrary.h"
#include "platform/StateFolder.h"
#include "platform/Utf8Path.h"
#include "settings/SettingsFile.h"

#include <QStandardPaths>

#include <system_error>

namespace ostrel {

namespace {

// ~/.config/ostrel (or the platform's like): where an installed program keeps
// its settings; empty where the platform has none.
std::filesystem::path UserConfigFolder() {
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (base.isEmpty()) {
        return {};
    }
    return PathFromUtf8(base.toStdString()) / "ostrel";
}

} // namespace

TPlaces DefaultPlaces(const std::filesystem::path& executable) {
    TPlaces places;
    places.LibraryCandidates = DefaultCounterLibraryCandidates();
    places.SettingsPath = ChooseSettingsPath(executable, UserConfigFolder());
    if (places.SettingsPath != SettingsPath(executable)) {
        // The settings are written when the program ends, into a folder
        // that a first run has not made yet.
        std::error_code ignored;
        std::filesystem::create_directories(places.SettingsPath.parent_path(), ignored);
    }
    places.StateFolder = DefaultStateFolder();
    return places;
}

} // namespace ostrel
