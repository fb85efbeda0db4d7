// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where the memory of an opened log goes: the steps of Open taken one at a
// time with the program's own functions, the C heap read between them.

#include <cstddef>
#include <string>

namespace ostrel::bench {

struct TOpenBreakdown {
    std::size_t Records = 0;
    // The file's text and the index of its lines: held only while Open runs.
    std::size_t FileText = 0;
    std::size_t Series = 0;   // both chart series, labels included
    std::size_t LogLines = 0; // the log list's lines
};

// Reads the log file at path as Open does, then rebuilds a chart alone and a
// log list alone from its records, each with the heap in use measured before
// and after. All zero where the C library does not tell.
TOpenBreakdown MeasureOpenBreakdown(const std::string& path);

} // namespace ostrel::bench
