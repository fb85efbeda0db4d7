// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A radiation counter made of a clock and a random source: one reading per
// simulated second, Poisson-distributed counts, stamped with local time.

#include "device/CounterDevice.h"
#include "sim/SimConfig.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <random>

namespace ostrel::sim {

inline constexpr std::uint32_t SimulatedCounterId = 0x4F53544C; // "OSTL"
inline constexpr std::uint16_t DefaultCoefficient = 158;
inline constexpr std::uint16_t DefaultBackground = 0;
// Readings not fetched for longer than this are dropped, oldest first, as a
// counter's own buffer would overflow.
inline constexpr std::int64_t BacklogLimitSeconds = 3600;

class TSimulatedCounter {
public:
    std::int32_t Find() const { return 1; }
    std::int32_t GetInfo(TDeviceInfo* infos) const;
    // Starts a connection with the given settings; 0 for another counter's id.
    std::int32_t Connect(std::uint32_t id, TSimConfig config);
    // Ends the connection; the next GetData delivers the gone marker.
    std::int32_t Disconnect(std::uint32_t id);
    // 1 with one reading written, 0 when none is due.
    std::int32_t GetData(TCounterSample* sample);
    std::int32_t GetCoefficient(std::uint32_t id, std::uint16_t* coefficient,
                                std::uint16_t* background) const;
    std::int32_t SetCoefficient(std::uint32_t id, std::uint16_t coefficient,
                                std::uint16_t background);
    // Back to the state of a freshly loaded library.
    std::int32_t Clear();

    // Moves the simulated clock on, on top of its own running; with a speed
    // of 0 this is the only way it moves, which makes runs exact.
    void AdvanceClock(std::int64_t milliseconds);

private:
    std::int64_t SimulatedMilliseconds() const;
    std::int64_t TakeDueReadings();
    TCounterSample NextRandomReading();

    bool Connected = false;
    bool GonePending = false;
    TSimConfig Config;
    std::int64_t StartUnixMilliseconds = 0;
    std::chrono::steady_clock::time_point StartSteady{};
    std::int64_t AdvancedMilliseconds = 0;
    std::int64_t SecondsDone = 0; // readings delivered or dropped since Connect
    std::int64_t BatchLeft = 0;
    bool BatchEnded = false;
    std::size_t ScriptNext = 0;
    std::mt19937_64 Random;
    std::uint16_t Coefficient = DefaultCoefficient;
    std::uint16_t Background = DefaultBackground;
};

} // namespace ostrel::sim
