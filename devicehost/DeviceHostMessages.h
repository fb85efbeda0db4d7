// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The messages between the program and the device host: a program of its
// own that runs one device library for it, one of the other word size (a
// 32-bit Pexlar.dll for the 64-bit program) or one that must not take the
// logger down when it crashes. Both sides are built from this header, each
// for its own word size, so every record has one fixed size and layout; they
// run on the same machine, so the bytes are in its order.
//
// The host, started with the library's path, first sends a hello (Call
// Hello) whose Result is a THostedLoad. After that each request gets one
// reply with the same Call; the reply to GetInfo is followed by InfoCount
// device records. The host ends after Clear, and at the end of its input
// (the program has gone) it calls Clear itself and ends.

#include "device/CounterDevice.h"

#include <cstdint>
#include <type_traits>

namespace ostrel {

// Opens every message; a new layout of the messages takes a new number.
inline constexpr std::uint32_t DeviceHostMagic = 0x3148734F; // "OsH1"

enum class TDeviceCall : std::uint32_t {
    Hello,
    Find,
    GetInfo,
    Connect,
    Disconnect,
    GetData,
    GetCoefficient,
    SetCoefficient,
    Clear,
};

// What the hello tells of the library.
enum class THostedLoad : std::int32_t {
    NotOpened,  // no such file, or no library the host can load
    Bound,      // opened, all eight entry points there
    Incomplete, // opened, but an entry point is missing: Clear was its only call
};

// The most device records a GetInfo hands on: as many as the program takes.
inline constexpr std::int32_t MaxHostedCounters = 65536;

struct TDeviceRequest {
    std::uint32_t Magic;
    TDeviceCall Call;
    std::uint32_t Id;          // Connect, Disconnect, GetCoefficient, SetCoefficient
    std::uint16_t Coefficient; // SetCoefficient's; GetCoefficient's before the call
    std::uint16_t Background;  // likewise
    TCounterSample Sample;     // GetData's before the call
};
static_assert(sizeof(TDeviceRequest) == 48);
static_assert(std::is_trivially_copyable_v<TDeviceRequest>);

struct TDeviceReply {
    std::uint32_t Magic;
    TDeviceCall Call;
    std::int32_t Result;       // the entry point's; the hello's THostedLoad
    std::uint32_t InfoCount;   // GetInfo: the device records that follow
    std::uint16_t Coefficient; // GetCoefficient's after the call
    std::uint16_t Background;  // likewise
    TCounterSample Sample;     // GetData's after the call
};
static_assert(sizeof(TDeviceReply) == 52);
static_assert(std::is_trivially_copyable_v<TDeviceReply>);

} // namespace ostrel
