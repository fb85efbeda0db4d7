// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's arguments after its name, as UTF-8 text. On Windows argv is
// in the ANSI code page, which cannot hold every file name a user may give
// (`--config` with a folder in other letters), so they are read from the
// wide command line there.

#include <string>
#include <vector>

namespace ostrel {

std::vector<std::string> ProgramArguments(int argc, char** argv);

} // namespace ostrel
