// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's few options, the same for the window and for the logger
// without one.

#include <optional>
#include <string>
#include <vector>

namespace ostrel {

struct TCommandLine {
    bool Headless = false;
    bool Help = false;
    bool Version = false;
    std::optional<std::string> Unknown; // the first argument that is no option of ours
};

// args without the program's name.
TCommandLine ParseCommandLine(const std::vector<std::string>& args);

// What --help prints.
std::string UsageText();
// What --version prints: "Ostrel 1.4".
std::string VersionText();

} // namespace ostrel
