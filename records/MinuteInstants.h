// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The real instant of each minute of a log, from its local label. A label
// names one instant on most days; in the hour that repeats when the clock is
// turned back in autumn it names two, and in the hour skipped in spring none.
// The log's minutes come in order, so a repeated label is the later of its
// two instants when the minute before it was already past the earlier one.

#include "platform/DateTime.h"

#include <cstdint>
#include <optional>

namespace ostrel {

class TMinuteInstants {
public:
    // Seconds since 1970-01-01 UTC of the minute labelled start in the
    // local time zone: the first of its instants after the previous
    // minute's, or its first instant when there is no minute before it or
    // none comes after. None where the label names no instant here.
    std::optional<std::int64_t> Next(TDateTime start);
    // A new log: the next minute has none before it.
    void Forget() noexcept { Previous.reset(); }

private:
    std::optional<std::int64_t> Previous;
    std::int64_t Offset = 0; // the previous minute's local time less UTC, seconds
};

// What the clock on the wall showed at an instant, as seconds counted from
// 1970-01-01 as if local time were UTC; none out of the system's range.
std::optional<std::int64_t> WallSeconds(std::int64_t utcSeconds);

} // namespace ostrel
