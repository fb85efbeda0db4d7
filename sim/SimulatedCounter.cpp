// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/SimulatedCounter.h"

#include "device/LibrarySide.h"

#include <algorithm>
#include <ctime>
#include <limits>

namespace ostrel::sim {

namespace {

std::uint64_t FreshSeed() {
    try {
        return std::random_device{}();
    } catch (...) {
        return static_cast<std::uint64_t>(
            std::chrono::steady_clock::now().time_since_epoch().count());
    }
}

std::int64_t UnixMillisecondsNow() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

} // namespace

std::int32_t TSimulatedCounter::GetInfo(TDeviceInfo* infos) const {
    if (infos == nullptr) {
        return 0;
    }
    *infos = TDeviceInfo{};
    infos->Id = SimulatedCounterId;
    return 1;
}

std::int32_t TSimulatedCounter::Connect(std::uint32_t id, TSimConfig config) {
    if (id != SimulatedCounterId) {
        return 0;
    }
    const std::uint16_t coefficient = Coefficient;
    const std::uint16_t background = Background;
    *this = TSimulatedCounter{};
    Coefficient = coefficient;
    Background = background;
    Config = std::move(config);
    Random.seed(Config.Seed ? *Config.Seed : FreshSeed());
    // The zone may have changed since the last connection.
#ifdef _WIN32
    _tzset();
#else
    tzset();
#endif
    StartUnixMilliseconds = UnixMillisecondsNow();
    StartSteady = std::chrono::steady_clock::now();
    Connected = true;
    return 1;
}

std::int32_t TSimulatedCounter::Disconnect(std::uint32_t id) {
    if (!Connected || id != SimulatedCounterId) {
        return 0;
    }
    Connected = false;
    GonePending = true;
    return 1;
}

std::int32_t TSimulatedCounter::GetData(TCounterSample* sample) {
    if (sample == nullptr) {
        return 0;
    }
    if (GonePending) {
        GonePending = false;
        *sample = TCounterSample{};
        return 1;
    }
    if (!Connected) {
        return 0;
    }
    if (Config.Script) {
        if (ScriptNext >= Config.Script->size()) {
            return 0;
        }
        *sample = (*Config.Script)[ScriptNext++];
        return 1;
    }
    // A caller drains until 0; ending each batch with a 0 keeps a fast
    // clock from holding it in the loop for ever.
    if (BatchLeft == 0) {
        if (BatchEnded) {
            BatchEnded = false;
            return 0;
        }
        BatchLeft = TakeDueReadings();
        if (BatchLeft == 0) {
            return 0;
        }
    }
    *sample = NextRandomReading();
    --BatchLeft;
    BatchEnded = BatchLeft == 0;
    return 1;
}

std::int32_t TSimulatedCounter::GetCoefficient(std::uint32_t id, std::uint16_t* coefficient,
                                               std::uint16_t* background) const {
    if (id != SimulatedCounterId || coefficient == nullptr || background == nullptr) {
        return 0;
    }
    *coefficient = Coefficient;
    *background = Background;
    return 1;
}

std::int32_t TSimulatedCounter::SetCoefficient(std::uint32_t id, std::uint16_t coefficient,
                                               std::uint16_t background) {
    if (id != SimulatedCounterId) {
        return 0;
    }
    Coefficient = coefficient;
    Background = background;
    return 1;
}

std::int32_t TSimulatedCounter::Clear() {
    *this = TSimulatedCounter{};
    return 1;
}

void TSimulatedCounter::AdvanceClock(std::int64_t milliseconds) {
    if (milliseconds > 0) {
        AdvancedMilliseconds +=
            std::min(milliseconds, std::numeric_limits<std::int64_t>::max() - AdvancedMilliseconds);
    }
}

std::int64_t TSimulatedCounter::SimulatedMilliseconds() const {
    // Far beyond any run, and safe to add to.
    constexpr std::int64_t limit = 1'000'000'000'000'000;
    const std::chrono::duration<double, std::milli> real =
        std::chrono::steady_clock::now() - StartSteady;
    const double running = std::min(real.count() * Config.Speed, static_cast<double>(limit));
    return static_cast<std::int64_t>(running) + std::min(AdvancedMilliseconds, limit);
}

std::int64_t TSimulatedCounter::TakeDueReadings() {
    const std::int64_t due = SimulatedMilliseconds() / 1000;
    if (due - SecondsDone > BacklogLimitSeconds) {
        SecondsDone = due - BacklogLimitSeconds;
    }
    return std::max<std::int64_t>(due - SecondsDone, 0);
}

TCounterSample TSimulatedCounter::NextRandomReading() {
    ++SecondsDone;
    TCounterSample sample{};
    sample.Time = LocalSystemTime(StartUnixMilliseconds + SecondsDone * 1000);
    const double mean = Config.Cpm / 60.0;
    if (mean > 0.0) {
        std::poisson_distribution<std::int64_t> counts(mean);
        sample.Count = static_cast<std::uint16_t>(std::min<std::int64_t>(counts(Random), 65535));
    }
    return sample;
}

} // namespace ostrel::sim
