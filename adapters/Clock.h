#pragma once
// The two clocks of an adapter: the wall clock that stamps readings with
// local time, and a steady one that measures the pauses between bytes.

#include "platform/DateTime.h"

#include <cstdint>
#include <functional>

namespace ostrel::adapters {

struct TClock {
    std::function<std::int64_t()> WallMilliseconds;   // since 1970-01-01 UTC
    std::function<std::int64_t()> SteadyMilliseconds; // from any start
};

TClock SystemClock();

// The local time of a moment given in milliseconds since 1970-01-01 UTC,
// day of the week included (Sunday 0).
TSystemTime LocalSystemTime(std::int64_t unixMilliseconds);

} // namespace ostrel::adapters
