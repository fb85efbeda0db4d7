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

// The counter chosen in the settings file, when the command line names none.
inline constexpr std::string_view DeviceSection = "Device";
inline constexpr std::string_view DeviceLibraryKey = "Library";

struct TPlaces {
    std::vector<std::string> LibraryCandidates;
    std::filesystem::path SettingsPath;
    std::filesystem::path StateFolder;
};

// For the program at executable: the settings file named after it, beside
// it, or in the user's configuration folder when it is not there and its
// folder cannot be written (an installed program), that folder made when
// needed; the state folder; and the device library: the one device names,
// else the one the settings file's [Device] Library= names (see
// NamedCounterLibraryCandidates), else the one beside the executable, then
// on the library path. A name that names no library gives no candidate and
// one line on diagnostics.
TPlaces DefaultPlaces(const std::filesystem::path& executable,
                      const std::optional<std::string>& device, std::ostream& diagnostics);

} // namespace ostrel
