// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Text files read whole and split into lines, the way log files are read:
// a byte-order mark picks the encoding, anything else is 8-bit text in the
// system's code page. Text is UTF-8 inside the program.

#include "files/RegularFile.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
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

// Calls visit with each line of SplitLines(text) in turn, without the vector.
template <typename TVisit> void ForEachLine(std::string_view text, TVisit&& visit) {
    const char* start = text.data();
    const char* const end = start + text.size();
    // The next LF, then a CR before it: memchr runs far ahead of a loop
    // over the characters.
    const auto find = [](const char* from, const char* to, char c) {
        const void* found = std::memchr(from, c, static_cast<std::size_t>(to - from));
        return found != nullptr ? static_cast<const char*>(found) : to;
    };
    const char* lf = nullptr; // kept while it lies ahead: CR-only text stays linear
    while (start != end) {
        if (lf == nullptr || lf < start) {
            lf = find(start, end, '\n');
        }
        const char* const brk = find(start, lf, '\r');
        if (brk == end) {
            break;
        }
        visit(std::string_view(start, static_cast<std::size_t>(brk - start)));
        start = brk + ((*brk == '\r' && brk + 1 != end && brk[1] == '\n') ? 2 : 1);
    }
    if (start != end) {
        visit(std::string_view(start, static_cast<std::size_t>(end - start)));
    }
}

// Whether every byte is below 0x80 (such text reads the same in every
// ASCII-compatible code page).
bool IsAscii(std::string_view bytes);

} // namespace ostrel
