// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The two clocks of an adapter: the wall clock that stamps readings with
// local time, and a steady one that measures the pauses between bytes.

#include <cstdint>
#include <functional>

namespace ostrel::adapters {

struct TClock {
    std::function<std::int64_t()> WallMilliseconds;   // since 1970-01-01 UTC
    std::function<std::int64_t()> SteadyMilliseconds; // from any start
};

TClock SystemClock();

} // namespace ostrel::adapters
