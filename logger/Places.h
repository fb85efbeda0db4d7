// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where a logging session finds what it needs: the device library, the
// settings file and the folder for what it keeps, as the program's place on
// the disk and the platform say.

#include <filesystem>
#include <string>
#include <vector>

namespace ostrel {

struct TPlaces {
    std::vector<std::string> LibraryCandidates;
    std::filesystem::path SettingsPath;
    std::filesystem::path StateFolder;
};

// For the program at executable: the device library beside it, then on the
// library path; the settings file named after it, beside it, or in the
// user's configuration folder when it is not there and its folder cannot be
// written (an installed program), that folder made when needed; the state
// folder.
TPlaces DefaultPlaces(const std::filesystem::path& executable);

} // namespace ostrel
