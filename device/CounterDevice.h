// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The counter's device library: its two records and its eight entry points,
// as the program binds them and as every device library built here exports
// them.

#include "device/SystemTime.h"

#include <cstddef>
#include <cstdint>

// The entry points are stdcall on 32-bit x86 Windows and plain C elsewhere.
#if defined(_WIN32) && (defined(_M_IX86) || defined(__i386__))
#define PEXLAR_CALL __stdcall
#else
#define PEXLAR_CALL
#endif

namespace ostrel {

// One attached counter; only Id is read.
struct TDeviceInfo {
    std::uint32_t Id;
    std::uint8_t Reserved[36];
};
static_assert(sizeof(TDeviceInfo) == 40);
static_assert(offsetof(TDeviceInfo, Id) == 0);

// One reading. A Time.Year of 0 marks the end of the connection.
struct TCounterSample {
    TSystemTime Time;
    std::uint8_t Reserved[14];
    std::uint16_t Count;
};
static_assert(sizeof(TCounterSample) == 32);
static_assert(offsetof(TCounterSample, Count) == 30);

using TFindFn = std::int32_t(PEXLAR_CALL*)();
using TGetInfoFn = std::int32_t(PEXLAR_CALL*)(TDeviceInfo* infos);
using TConnectFn = std::int32_t(PEXLAR_CALL*)(std::uint32_t id);
using TDisconnectFn = std::int32_t(PEXLAR_CALL*)(std::uint32_t id);
using TGetDataFn = std::int32_t(PEXLAR_CALL*)(TCounterSample* sample);
using TGetCoefficientFn = std::int32_t(PEXLAR_CALL*)(std::uint32_t id, std::uint16_t* coefficient,
                                                     std::uint16_t* background);
using TSetCoefficientFn = std::int32_t(PEXLAR_CALL*)(std::uint32_t id, std::uint16_t coefficient,
                                                     std::uint16_t background);
using TClearFn = std::int32_t(PEXLAR_CALL*)();

// The entry points by name; null where not (or no longer) bound.
struct TCounterEntryPoints {
    TFindFn Find = nullptr;
    TGetInfoFn GetInfo = nullptr;
    TConnectFn Connect = nullptr;
    TDisconnectFn Disconnect = nullptr;
    TGetDataFn GetData = nullptr;
    TGetCoefficientFn GetCoefficient = nullptr;
    TSetCoefficientFn SetCoefficient = nullptr;
    TClearFn Clear = nullptr;
};

} // namespace ostrel
