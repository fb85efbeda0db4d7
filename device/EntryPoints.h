// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The eight exported entry points of a device library built here, written
// once: a library names the function that gives its device, an object with
// the eight members of the same names, and PEXLAR_ENTRY_POINTS does the rest.

#include "device/CounterDevice.h"

#include <cstdint>

// An entry point under its plain name; with PEXLAR_CALL from CounterDevice.h.
#ifdef _WIN32
#define PEXLAR_EXPORT extern "C" __declspec(dllexport)
#else
#define PEXLAR_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace ostrel {

// Runs one entry point on the device. No exception may cross into the
// caller, which knows nothing of C++: one that escapes gives 0. A device
// with a member Called(name) hears of every call first, by name.
template <typename TDevice, typename TAction>
std::int32_t GuardedEntryPoint(TDevice& (*device)(), const char* name, TAction action) noexcept {
    try {
        TDevice& target = device();
        if constexpr (requires { target.Called(name); }) {
            target.Called(name);
        }
        return action(target);
    } catch (...) {
        return 0;
    }
}

} // namespace ostrel

// Defines the eight entry points on the device that `device()` returns (a
// function of the library, best one that makes it on first use, so that no
// order of static initialisation can matter).
#define PEXLAR_ENTRY_POINTS(device)                                                                \
    PEXLAR_EXPORT std::int32_t PEXLAR_CALL Find() {                                                \
        return ::ostrel::GuardedEntryPoint(device, "Find", [](auto& d) { return d.Find(); });      \
    }                                                                                              \
    PEXLAR_EXPORT std::int32_t PEXLAR_CALL GetInfo(::ostrel::TDeviceInfo* infos) {                 \
        return ::ostrel::GuardedEntryPoint(device, "GetInfo",                                      \
                                           [infos](auto& d) { return d.GetInfo(infos); });         \
    }                                                                                              \
    PEXLAR_EXPORT std::int32_t PEXLAR_CALL Connect(std::uint32_t id) {                             \
        return ::ostrel::GuardedEntryPoint(device, "Connect",                                      \
                                           [id](auto& d) { return d.Connect(id); });               \
    }                                                                                              \
    PEXLAR_EXPORT std::int32_t PEXLAR_CALL Disconnect(std::uint32_t id) {                          \
        return ::ostrel::GuardedEntryPoint(device, "Disconnect",                                   \
                                           [id](auto& d) { return d.Disconnect(id); });            \
    }                                                                                              \
    PEXLAR_EXPORT std::int32_t PEXLAR_CALL GetData(::ostrel::TCounterSample* sample) {             \
        return ::ostrel::GuardedEntryPoint(device, "GetData",                                      \
                                           [sample](auto& d) { return d.GetData(sample); });       \
    }                                                                                              \
    PEXLAR_EXPORT std::int32_t PEXLAR_CALL GetCoefficient(                                         \
        std::uint32_t id, std::uint16_t* coefficient, std::uint16_t* background) {                 \
        return ::ostrel::GuardedEntryPoint(device, "GetCoefficient", [=](auto& d) {                \
            return d.GetCoefficient(id, coefficient, background);                                  \
        });                                                                                        \
    }                                                                                              \
    PEXLAR_EXPORT std::int32_t PEXLAR_CALL SetCoefficient(                                         \
        std::uint32_t id, std::uint16_t coefficient, std::uint16_t background) {                   \
        return ::ostrel::GuardedEntryPoint(device, "SetCoefficient", [=](auto& d) {                \
            return d.SetCoefficient(id, coefficient, background);                                  \
        });                                                                                        \
    }                                                                                              \
    PEXLAR_EXPORT std::int32_t PEXLAR_CALL Clear() {                                               \
        return ::ostrel::GuardedEntryPoint(device, "Clear", [](auto& d) { return d.Clear(); });    \
    }
