// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The log list's lines, kept compact enough for a million of them: one
// contiguous UTF-8 buffer and the end offset of each line, no object per line.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

class TLogLines {
public:
    int Count() const { return static_cast<int>(Ends.size()); }
    bool Empty() const { return Ends.empty(); }
    // The line at index; an empty view for an index that names no line.
    std::string_view At(int index) const;
    void Append(std::string_view line);
    // Room for lines lines in all, of a usual length: memory not yet written
    // costs address space only, and the text is never copied to grow.
    void Reserve(std::size_t lines);
    // Removing the last line costs nothing; any other index moves the text
    // after it. An index that names no line changes nothing.
    void Delete(int index);
    // Also gives the memory back: a cleared log may have held a million lines.
    void Clear();

    std::vector<std::string> All() const;
    std::vector<std::string_view> Views() const;

private:
    std::size_t Start(int index) const { return index == 0 ? 0 : Ends[index - 1]; }

    std::string Text;
    std::vector<std::size_t> Ends;
};

} // namespace ostrel
