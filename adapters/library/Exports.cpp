// SPDX-License-Identifier: GPL-3.0-or-later
// The exported entry points of an adapter library: the eight that the
// program binds, plus one that only tests use.

#include "adapters/SerialCounter.h"
#include "adapters/library/LibrarySetup.h"
#include "device/EntryPoints.h"

#include <atomic>
#include <cstdint>

namespace {

using ostrel::adapters::TSerialCounter;

// Milliseconds since 1970 that the wall clock is held at; 0: the real time.
std::atomic<std::int64_t> HeldClock{0};

ostrel::adapters::TAdapterContext LibraryContext() {
    ostrel::adapters::TAdapterContext context = ostrel::adapters::SystemContext();
    context.Clock.WallMilliseconds = [real = context.Clock.WallMilliseconds] {
        const std::int64_t held = HeldClock.load();
        return held != 0 ? held : real();
    };
    return context;
}

// Made on first use, so no order of static initialisation can matter.
TSerialCounter& Counter() {
    static TSerialCounter counter(ostrel::adapters::LibrarySetup(), LibraryContext());
    return counter;
}

} // namespace

PEXLAR_ENTRY_POINTS(Counter)

// For tests: holds the wall clock that stamps readings at the given
// milliseconds since 1970-01-01 UTC; 0 lets it run again.
PEXLAR_EXPORT void PEXLAR_CALL OstrelAdapterHoldClock(std::int64_t unixMilliseconds) {
    HeldClock.store(unixMilliseconds);
}
