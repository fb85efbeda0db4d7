// SPDX-License-Identifier: GPL-3.0-or-later
#include "logger/Places.h"

#include "counter/CounterLibrary.h"
#include "platform/ProfileFile.h"
#include "platform/StateFolder.h"
#include "platform/Utf8Path.h"
#include "settings/SettingsFile.h"

#include <QStandardPaths>

#include <ostream>
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

TPlaces DefaultPlaces(const std::filesystem::path& executable,
                      const std::optional<std::string>& device, std::ostream& diagnostics) {
    TPlaces places;
    places.SettingsPath = ChooseSettingsPath(executable, UserConfigFolder());
    std::optional<std::string> name = device;
    if (!name) {
        name = TSettingsSection(places.SettingsPath, std::string(DeviceSection))
                   .Find(DeviceLibraryKey);
    }
    if (!name || name->empty()) {
        places.LibraryCandidates = DefaultCounterLibraryCandidates();
    } else if (auto named = NamedCounterLibraryCandidates(*name, PathText(executable.parent_path()),
                                                          OSTREL_BIN_TO_LIBS)) {
        places.LibraryCandidates = std::move(*named);
    } else {
        diagnostics << ("ostrel: there is no counter named \"" + *name + "\"; the names are " +
                        CounterLibraryNames + ", or the path of a device library\n")
                    << std::flush;
    }
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
