// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The log list's lines, kept compact enough for ten million of them: the
// first lines may be made on demand by a source (a rebuild's lines are a
// function of the records), the rest are one contiguous UTF-8 buffer with the
// end offset of each line, no object per line.

#include "views/LogView.h"

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

class TLogLines {
public:
    int Count() const { return static_cast<int>(Made + Ends.size()); }
    bool Empty() const { return Count() == 0; }
    // Appends the line at index to out; nothing for an index that names no line.
    void AppendTo(std::string& out, int index) const;
    // The line at index; empty for an index that names no line.
    std::string Line(int index) const;
    void Append(std::string_view line);
    // The source's lines after the others. Into an empty log they stay the
    // source's and cost no text; after other lines they are copied in.
    void Append(std::shared_ptr<const TLineSource> source);
    // Removing the last line costs nothing; any other index moves the text
    // after it (a source's line copies the source's lines after it). An index
    // that names no line changes nothing.
    void Delete(int index);
    // Also gives the memory back: a cleared log may have held a million lines.
    void Clear();

    std::vector<std::string> All() const;

private:
    std::size_t Start(std::size_t stored) const { return stored == 0 ? 0 : Ends[stored - 1]; }
    void DeleteStored(std::size_t stored);
    void DeleteMade(std::size_t index);

    // Lines 0 .. Made-1 are the source's, the rest are stored.
    std::shared_ptr<const TLineSource> Source;
    std::size_t Made = 0;
    std::string Text;
    std::vector<std::size_t> Ends;
};

} // namespace ostrel
