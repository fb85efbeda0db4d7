// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where a logging session finds what it needs: the device library, the
// settings file and the folder for what it keeps, as the program's place on
// the disk and the platform say.

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

class TFileLock;

// The counter chosen in the settings file, when the command line names none.
inline constexpr std::string_view DeviceSection = "Device";
inline constexpr std::string_view DeviceLibraryKey = "Library";
inline constexpr std::string_view StationSection = "Station";
inline constexpr std::string_view StationNameKey = "Name";

struct TPlaces {
    std::vector<std::string> LibraryCandidates;
    std::filesystem::path SettingsPath;
    std::filesystem::path StateFolder;
    // Who this run is, when --profile or --config chose its settings: the
    // profile's name, or the settings file's absolute path; empty otherwise.
    std::string ProfileName{};
    std::string ConfigPath{};
    // See TOutputContext::Instance.
    std::string Instance{};
    // [Station] Name= in the settings file, else the profile's name; empty
    // without either (the driver then names the station after the host).
    std::string StationName{};
    // What counter the device library serves, for whom describes the
    // station: a family's name ("gmc"), "simulated counter", or empty for a
    // library of another name.
    std::string CounterModel{};
};

// The settings file chosen on the command line: --config FILE or --profile
// NAME (NAME already checked, see CommandLineError).
struct TSettingsChoice {
    std::optional<std::string> Config;
    std::optional<std::string> Profile;
};

// A run chosen by --profile or --config keeps to itself: its own state
// folder, held by one process at a time. Takes lock on the folder for
// places; true when taken (or nothing to take: no profile, no config),
// false with one line on diagnostics when another process holds it.
bool HoldInstance(const TPlaces& places, TFileLock& lock, std::ostream& diagnostics);

// The state folder's subfolder for a settings file given by --config: its
// stem and a short hash of its absolute path, "configs/home-1a2b3c4d".
std::filesystem::path ConfigStateSubfolder(const std::filesystem::path& absolute);

// For the program at executable: the settings file named after it, beside
// it, or in the user's configuration folder when it is not there and its
// folder cannot be written (an installed program), that folder made when
// needed; the state folder; and the device library: the one device names,
// else the one the settings file's [Device] Library= names (see
// NamedCounterLibraryCandidates), else the one beside the executable, then
// on the library path. A name that names no library gives no candidate and
// one line on diagnostics.
// With a choice, the settings file and the state folder are the profile's
// (NAME.ini in the configuration folder, the state folder's profiles/NAME)
// or the given file's (ConfigStateSubfolder).
TPlaces DefaultPlaces(const std::filesystem::path& executable,
                      const std::optional<std::string>& device, std::ostream& diagnostics,
                      const TSettingsChoice& choice = {});

} // namespace ostrel
