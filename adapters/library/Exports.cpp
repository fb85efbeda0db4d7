// SPDX-License-Identifier: GPL-3.0-or-later
// The exported entry points of an adapter library: the eight that the
// program binds, plus one that only tests use.

#include "adapters/SerialCounter.h"
#include "adapters/library/LibrarySetup.h"
#include "counter/CounterDevice.h"
#include "counter/DeviceLibrarySide.h"

#include <atomic>
#include <cstdint>

namespace {

using ostrel::TCounterSample;
using ostrel::TDeviceInfo;
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

// No exception may cross into the caller, which knows nothing of C++.
template <typename TAction> std::int32_t Guarded(TAction action) noexcept {
    try {
        return action(Counter());
    } catch (...) {
        return 0;
    }
}

} // namespace

PEXLAR_EXPORT std::int32_t PEXLAR_CALL Find() {
    return Guarded([](TSerialCounter& counter) { return counter.Find(); });
}

PEXLAR_EXPORT std::int32_t PEXLAR_CALL GetInfo(TDeviceInfo* infos) {
    return Guarded([infos](TSerialCounter& counter) { return counter.GetInfo(infos); });
}

PEXLAR_EXPORT std::int32_t PEXLAR_CALL Connect(std::uint32_t id) {
    return Guarded([id](TSerialCounter& counter) { return counter.Connect(id); });
}

PEXLAR_EXPORT std::int32_t PEXLAR_CALL Disconnect(std::uint32_t id) {
    return Guarded([id](TSerialCounter& counter) { return counter.Disconnect(id); });
}

PEXLAR_EXPORT std::int32_t PEXLAR_CALL GetData(TCounterSample* sample) {
    return Guarded([sample](TSerialCounter& counter) { return counter.GetData(sample); });
}

PEXLAR_EXPORT std::int32_t PEXLAR_CALL GetCoefficient(std::uint32_t id, std::uint16_t* coefficient,
                                                      std::uint16_t* background) {
    return Guarded([=](TSerialCounter& counter) {
        return counter.GetCoefficient(id, coefficient, background);
    });
}

PEXLAR_EXPORT std::int32_t PEXLAR_CALL SetCoefficient(std::uint32_t id, std::uint16_t coefficient,
                                                      std::uint16_t background) {
    return Guarded([=](TSerialCounter& counter) {
        return counter.SetCoefficient(id, coefficient, background);
    });
}

PEXLAR_EXPORT std::int32_t PEXLAR_CALL Clear() {
    return Guarded([](TSerialCounter& counter) { return counter.Clear(); });
}

// For tests: holds the wall clock that stamps readings at the given
// milliseconds since 1970-01-01 UTC; 0 lets it run again.
PEXLAR_EXPORT void PEXLAR_CALL OstrelAdapterHoldClock(std::int64_t unixMilliseconds) {
    HeldClock.store(unixMilliseconds);
}
