// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Text files read whole and split into lines, the way log files are read:
// a byte-order mark picks the encoding, anything else is 8-bit text in the
// system's code page. Text is UTF-8 inside the program.

#include "files/RegularFile.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

// The text that a file's bytes stand for, as UTF-8 without the mark: EF BB BF
// is UTF-8, FF FE UTF-16 little-endian, FE FF UTF-16 big-endian (tested in
// this order); otherwise the system's code page. Undecodable bytes become
// U+FFFD; everything from the first NUL on is dropped.
std::string DecodeText(std::string bytes);

// ReadFileBytes then DecodeText.
std::string ReadTextFile(const std::string& path,
                         std::uint64_t maxBytes = std::numeric_limits<std::uint64_t>::max());

// The lines of a text, as views into it: breaks are CR, LF and CR LF (LF CR
// is two breaks); a break at the very end adds no empty line; an empty text
// has no lines.
std::vector<std::string_view> SplitLines(std::string_view text);

// How many lines SplitLines makes of a text.
std::size_t CountLines(std::string_view text);

// Whether every byte is below 0x80 (such text reads the same in every
// ASCII-compatible code page).
bool IsAscii(std::string_view bytes);

} // namespace ostrel
