// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated counter's exported entry points: the eight that the program
// binds, plus two that only tests look for.

#include "counter/CounterDevice.h"
#include "counter/DeviceLibrarySide.h"
#include "sim/SimConfig.h"
#include "sim/SimulatedCounter.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

using ostrel::TCounterSample;
using ostrel::TDeviceInfo;

// The entry points called, runs of one name folded into "Name*count", so that
// hours of polling stay one entry.
class TCallLog {
public:
    void Record(const char* name) {
        if (!Runs.empty() && Runs.back().first == name) {
            ++Runs.back().second;
        } else {
            Runs.emplace_back(name, 1);
        }
    }

    // The calls since the last Take, then forgets them.
    const char* Take() {
        Text.clear();
        for (const auto& [name, count] : Runs) {
            Text += Text.empty() ? "" : " ";
            Text += name;
            if (count > 1) {
                Text += "*" + std::to_string(count);
            }
        }
        Runs.clear();
        return Text.c_str();
    }

private:
    std::vector<std::pair<std::string, long>> Runs;
    std::string Text;
};

struct TLibraryState {
    ostrel::sim::TSimulatedCounter Counter;
    TCallLog Calls;
};

// Made on first use, so no order of static initialisation can matter.
TLibraryState& State() {
    static TLibraryState state;
    return state;
}

// No exception may cross into the caller, which knows nothing of C++.
template <typename TAction> std::int32_t Guarded(const char* name, TAction action) noexcept {
    try {
        State().Calls.Record(name);
        return action(State().Counter);
    } catch (...) {
        return 0;
    }
}

ostrel::sim::TSimConfig ConfigFromEnvironment() {
    return ostrel::sim::ReadSimConfig(ostrel::EnvironmentValue);
}

} // namespace

PEXLAR_EXPORT std::int32_t PEXLAR_CALL Find() {
    return Guarded("Find", [](auto& counter) { return counter.Find(); });
}

PEXLAR_EXPORT std::int32_t PEXLAR_CALL GetInfo(TDeviceInfo* infos) {
    return Guarded("GetInfo", [infos](auto& counter) { return counter.GetInfo(infos); });
}

PEXLAR_EXPORT std::int32_t PEXLAR_CALL Connect(std::uint32_t id) {
    return Guarded("Connect", [id](auto& counter) {
        try {
            return counter.Connect(id, ConfigFromEnvironment());
        } catch (const ostrel::sim::TSimConfigError& error) {
            // The program shows nothing of a failed Connect; this is the one
            // place a user of the simulator learns why no readings come.
            std::fprintf(stderr, "Simulated counter: %s\n", error.what());
            return 0;
        }
    });
}

PEXLAR_EXPORT std::int32_t PEXLAR_CALL Disconnect(std::uint32_t id) {
    return Guarded("Disconnect", [id](auto& counter) { return counter.Disconnect(id); });
}

PEXLAR_EXPORT std::int32_t PEXLAR_CALL GetData(TCounterSample* sample) {
    return Guarded("GetData", [sample](auto& counter) { return counter.GetData(sample); });
}

PEXLAR_EXPORT std::int32_t PEXLAR_CALL GetCoefficient(std::uint32_t id, std::uint16_t* coefficient,
                                                      std::uint16_t* background) {
    return Guarded("GetCoefficient", [=](auto& counter) {
        return counter.GetCoefficient(id, coefficient, background);
    });
}

PEXLAR_EXPORT std::int32_t PEXLAR_CALL SetCoefficient(std::uint32_t id, std::uint16_t coefficient,
                                                      std::uint16_t background) {
    return Guarded("SetCoefficient", [=](auto& counter) {
        return counter.SetCoefficient(id, coefficient, background);
    });
}

PEXLAR_EXPORT std::int32_t PEXLAR_CALL Clear() {
    return Guarded("Clear", [](auto& counter) { return counter.Clear(); });
}

// For tests: the entry points called since the previous call of this one, in
// order, separated by blanks ("Find GetInfo Connect GetData*3 Clear").
PEXLAR_EXPORT const char* PEXLAR_CALL OstrelSimCallLog() {
    try {
        return State().Calls.Take();
    } catch (...) {
        return "";
    }
}

// For tests: moves the simulated clock on by the given time.
PEXLAR_EXPORT void PEXLAR_CALL OstrelSimAdvanceClock(std::int64_t milliseconds) {
    State().Counter.AdvanceClock(milliseconds);
}
