// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The time of a reading as the device library hands it over.

#include <cstdint>

namespace ostrel {

// The eight unsigned 16-bit fields of a SYSTEMTIME, in their order in memory.
struct TSystemTime {
    std::uint16_t Year;
    std::uint16_t Month;
    std::uint16_t DayOfWeek;
    std::uint16_t Day;
    std::uint16_t Hour;
    std::uint16_t Minute;
    std::uint16_t Second;
    std::uint16_t Milliseconds;
};
static_assert(sizeof(TSystemTime) == 16);

} // namespace ostrel
