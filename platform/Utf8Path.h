// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// File paths from the UTF-8 text the program holds them in. A path made from
// a plain std::string is read in the ANSI code page on Windows, where a
// folder named in other letters would then name another file.

#include <filesystem>
#include <string>
#include <string_view>

namespace ostrel {

inline std::filesystem::path PathFromUtf8(std::string_view text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

} // namespace ostrel
