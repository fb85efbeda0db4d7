// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Words in the text files and variables that a user writes for a device
// library by hand.

#include <string_view>

namespace ostrel {

// A space, and every control character: a file edited on Windows, or pasted
// from a terminal, carries CRs and the odd form feed around its words, and
// none of them belongs to a port name or a number.
constexpr bool IsBlankOrControl(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte <= 0x20 || byte == 0x7F;
}

// Only spaces and tabs: for text where another control character is itself
// a fault to notice (a counter's line on a serial port).
constexpr bool IsSpaceOrTab(char c) {
    return c == ' ' || c == '\t';
}

// The text without the blanks at either end.
constexpr std::string_view Trimmed(std::string_view text,
                                   bool (*isBlank)(char) = IsBlankOrControl) {
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

} // namespace ostrel
