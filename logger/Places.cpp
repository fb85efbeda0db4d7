// SPDX-License-Identifier: GPL-3.0-or-later
#include "logger/Places.h"

#include "counter/CounterFamilies.h"
#include "counter/CounterLibrary.h"
#include "platform/FileLock.h"
#include "platform/ProfileFile.h"
#include "platform/StateFolder.h"
#include "platform/Utf8Path.h"
#include "settings/SettingsFile.h"

#include <QCoreApplication>
#include <QStandardPaths>

#include <cstdint>
#include <cstdio>
#include <fstream>

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

// Beside the lock, the number of the process that holds it, for whom the
// lock refuses.
constexpr const char* InstanceLockName = "instance.lock";
constexpr const char* InstanceProcessName = "instance.pid";

// A library file's name without "lib" and its extension: "PexlarGmc".
std::string LibraryStem(const std::string& file) {
    std::string stem = PathText(PathFromUtf8(file).stem());
    return stem.starts_with("lib") ? stem.substr(3) : stem;
}

// The family of the first candidate named like one of the libraries this
// program comes with.
std::string CounterModelOf(const std::vector<std::string>& candidates) {
    for (const std::string& candidate : candidates) {
        const std::string stem = LibraryStem(candidate);
        if (stem == LibraryStem(CounterLibraryFileName)) {
            return "simulated counter";
        }
        for (const TCounterFamily& family : CounterFamilies) {
            if (stem == family.LibraryStem) {
                return std::string(family.Name);
            }
        }
    }
    return {};
}

} // namespace

std::filesystem::path ConfigStateSubfolder(const std::filesystem::path& absolute) {
    // FNV-1a: the same folder for the same file from one build to the next.
    std::uint32_t hash = 2166136261U;
    for (const char c : PathText(absolute)) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 16777619U;
    }
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08x", static_cast<unsigned>(hash));
    return std::filesystem::path("configs") / PathFromUtf8(PathText(absolute.stem()) + "-" + hex);
}

bool HoldInstance(const TPlaces& places, TFileLock& lock, std::ostream& diagnostics) {
    if (places.ProfileName.empty() && places.ConfigPath.empty()) {
        return true;
    }
    std::error_code error;
    std::filesystem::create_directories(places.StateFolder, error);
    const TFileLock::TResult result = lock.Take(places.StateFolder / InstanceLockName, error);
    const std::filesystem::path processFile = places.StateFolder / InstanceProcessName;
    if (result == TFileLock::TResult::Taken) {
        std::ofstream(processFile, std::ios::trunc) << QCoreApplication::applicationPid() << '\n';
        return true;
    }
    const std::string who = places.ProfileName.empty()
                                ? "the settings file \"" + places.ConfigPath + "\""
                                : "the profile \"" + places.ProfileName + "\"";
    if (result == TFileLock::TResult::Failed) {
        diagnostics << ("ostrel: " + who + " cannot be locked: " + error.message() + "\n")
                    << std::flush;
        return false;
    }
    std::string process;
    std::ifstream(processFile) >> process;
    diagnostics << ("ostrel: " + who + " is in use by process " + process + "\n") << std::flush;
    return false;
}

TPlaces DefaultPlaces(const std::filesystem::path& executable,
                      const std::optional<std::string>& device, std::ostream& diagnostics,
                      const TSettingsChoice& choice) {
    TPlaces places;
    places.StateFolder = DefaultStateFolder();
    if (choice.Profile) {
        places.ProfileName = *choice.Profile;
        places.SettingsPath = UserConfigFolder() / PathFromUtf8(*choice.Profile + ".ini");
        places.StateFolder = places.StateFolder / "profiles" / PathFromUtf8(*choice.Profile);
        places.Instance = *choice.Profile;
    } else if (choice.Config) {
        std::error_code ignored;
        const std::filesystem::path absolute =
            std::filesystem::absolute(PathFromUtf8(*choice.Config), ignored);
        places.ConfigPath = PathText(absolute);
        places.SettingsPath = absolute;
        const std::filesystem::path subfolder = ConfigStateSubfolder(absolute);
        places.StateFolder = places.StateFolder / subfolder;
        places.Instance = PathText(subfolder.filename());
    } else {
        places.SettingsPath = ChooseSettingsPath(executable, UserConfigFolder());
    }
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
    places.CounterModel = CounterModelOf(places.LibraryCandidates);
    places.StationName = TSettingsSection(places.SettingsPath, std::string(StationSection))
                             .Find(StationNameKey)
                             .value_or(places.ProfileName);
    if (places.SettingsPath != SettingsPath(executable)) {
        // The settings are written when the program ends, into a folder
        // that a first run has not made yet.
        std::error_code ignored;
        std::filesystem::create_directories(places.SettingsPath.parent_path(), ignored);
    }
    return places;
}

} // namespace ostrel
