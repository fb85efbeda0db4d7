// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's own folder for what it keeps for itself between runs (the
// journals, what outputs could not deliver yet), as the platform names it.

#include <filesystem>
#include <optional>
#include <string>

namespace ostrel {

// $XDG_STATE_HOME/ostrel, or ~/.local/state/ostrel when XDG_STATE_HOME is
// unset or not an absolute path; on Windows %LOCALAPPDATA%\Ostrel. Empty when
// none of these is known.
std::filesystem::path DefaultStateFolder();

// The same from the two variables' values.
std::filesystem::path StateFolderFrom(const std::optional<std::string>& stateHome,
                                      const std::optional<std::string>& home);

} // namespace ostrel
