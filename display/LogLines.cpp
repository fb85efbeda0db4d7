// SPDX-License-Identifier: GPL-3.0-or-later
#include "display/LogLines.h"

#include <algorithm>

namespace ostrel {

std::string_view TLogLines::At(int index) const {
    if (index < 0 || index >= Count()) {
        return {};
    }
    const std::size_t start = Start(index);
    return std::string_view(Text).substr(start, Ends[index] - start);
}

void TLogLines::Append(std::string_view line) {
    Text.append(line);
    Ends.push_back(Text.size());
}

void TLogLines::Reserve(std::size_t lines) {
    // A rebuilt line with a dose rate of full precision is some 40 bytes.
    constexpr std::size_t usualLineBytes = 48;
    Ends.reserve(lines);
    Text.reserve(lines * usualLineBytes);
}

void TLogLines::Delete(int index) {
    if (index < 0 || index >= Count()) {
        return;
    }
    const std::size_t start = Start(index);
    const std::size_t length = Ends[index] - start;
    Text.erase(start, length);
    const auto erased = Ends.erase(Ends.begin() + index);
    std::for_each(erased, Ends.end(), [length](std::size_t& end) { end -= length; });
}

void TLogLines::Clear() {
    std::string().swap(Text);
    std::vector<std::size_t>().swap(Ends);
}

std::vector<std::string_view> TLogLines::Views() const {
    std::vector<std::string_view> lines;
    lines.reserve(Ends.size());
    for (int i = 0; i < Count(); ++i) {
        lines.push_back(At(i));
    }
    return lines;
}

std::vector<std::string> TLogLines::All() const {
    const std::vector<std::string_view> views = Views();
    return {views.begin(), views.end()};
}

} // namespace ostrel
