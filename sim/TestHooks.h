// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The simulated counter's two entry points for tests, beyond the eight: how
// they are called. On 32-bit Windows they are stdcall like the eight, so a
// caller through any other pointer type corrupts its own stack.

#include "device/CounterDevice.h"

#include <cstdint>

namespace ostrel::sim {

// The entry points called since the previous call, in order.
inline constexpr const char* CallLogName = "OstrelSimCallLog";
using TCallLogFn = const char*(PEXLAR_CALL*)();

// Moves the stopped clock (OSTREL_SIM_SPEED=0) on by the given time.
inline constexpr const char* AdvanceClockName = "OstrelSimAdvanceClock";
using TAdvanceClockFn = void(PEXLAR_CALL*)(std::int64_t milliseconds);

} // namespace ostrel::sim
