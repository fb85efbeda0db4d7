// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The character steps that the text services share. Only their own .cpp
// files include this.

#include <array>
#include <charconv>

namespace ostrel::textchars {

inline bool IsBlank(char c) {
    return c == ' ';
}

inline bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

inline char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// TOut: std::string or anything with its append(first, last).
template <typename TOut, typename T> void AppendInteger(TOut& out, T value) {
    std::array<char, 24> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    out.append(buffer.data(), result.ptr);
}

} // namespace ostrel::textchars
