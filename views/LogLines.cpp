// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/LogLines.h"

#include <algorithm>
#include <utility>

namespace ostrel {

void TLogLines::AppendTo(std::string& out, int index) const {
    if (index < 0 || index >= Count()) {
        return;
    }
    const auto k = static_cast<std::size_t>(index);
    if (k < Made) {
        Source->AppendLine(out, k);
        return;
    }
    const std::size_t stored = k - Made;
    const std::size_t start = Start(stored);
    out.append(Text, start, Ends[stored] - start);
}

std::string TLogLines::Line(int index) const {
    std::string line;
    AppendTo(line, index);
    return line;
}

void TLogLines::Append(std::string_view line) {
    Text.append(line);
    Ends.push_back(Text.size());
}

void TLogLines::Append(std::shared_ptr<const TLineSource> source) {
    const std::size_t n = source->Count();
    if (n == 0) {
        return;
    }
    if (Empty()) {
        Source = std::move(source);
        Made = n;
        return;
    }
    std::string line;
    for (std::size_t k = 0; k < n; ++k) {
        line.clear();
        source->AppendLine(line, k);
        Append(line);
    }
}

void TLogLines::Delete(int index) {
    if (index < 0 || index >= Count()) {
        return;
    }
    const auto k = static_cast<std::size_t>(index);
    if (k < Made) {
        DeleteMade(k);
    } else {
        DeleteStored(k - Made);
    }
}

void TLogLines::DeleteStored(std::size_t stored) {
    const std::size_t start = Start(stored);
    const std::size_t length = Ends[stored] - start;
    Text.erase(start, length);
    const auto erased = Ends.erase(Ends.begin() + static_cast<std::ptrdiff_t>(stored));
    std::for_each(erased, Ends.end(), [length](std::size_t& end) { end -= length; });
}

void TLogLines::DeleteMade(std::size_t index) {
    // The source's lines after index become stored lines ahead of the others.
    std::string text;
    std::vector<std::size_t> ends;
    ends.reserve(Made - index - 1 + Ends.size());
    for (std::size_t k = index + 1; k < Made; ++k) {
        Source->AppendLine(text, k);
        ends.push_back(text.size());
    }
    const std::size_t shift = text.size();
    text += Text;
    for (const std::size_t end : Ends) {
        ends.push_back(end + shift);
    }
    Text = std::move(text);
    Ends = std::move(ends);
    Made = index;
    if (Made == 0) {
        Source.reset();
    }
}

void TLogLines::Clear() {
    Source.reset();
    Made = 0;
    std::string().swap(Text);
    std::vector<std::size_t>().swap(Ends);
}

std::vector<std::string> TLogLines::All() const {
    std::vector<std::string> lines;
    lines.reserve(static_cast<std::size_t>(Count()));
    for (int i = 0; i < Count(); ++i) {
        lines.push_back(Line(i));
    }
    return lines;
}

} // namespace ostrel
