// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated counter's exported entry points: the eight that the program
// binds, plus two that only tests look for.

#include "device/EntryPoints.h"
#include "device/LibrarySide.h"
#include "sim/SimConfig.h"
#include "sim/SimulatedCounter.h"
#include "sim/TestHooks.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace {

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

ostrel::sim::TSimConfig ConfigFromEnvironment() {
    return ostrel::sim::ReadSimConfig(ostrel::EnvironmentValue);
}

// The simulated counter as the entry points see it: Connect takes its
// settings from the environment, and every call is logged for tests.
class TSimulatedLibrary : public ostrel::sim::TSimulatedCounter {
public:
    void Called(const char* name) { Calls.Record(name); }

    std::int32_t Connect(std::uint32_t id) {
        try {
            return TSimulatedCounter::Connect(id, ConfigFromEnvironment());
        } catch (const ostrel::sim::TSimConfigError& error) {
            // The program shows nothing of a failed Connect; this is the one
            // place a user of the simulator learns why no readings come.
            std::fprintf(stderr, "Simulated counter: %s\n", error.what());
            return 0;
        }
    }

    TCallLog Calls;
};

// Made on first use, so no order of static initialisation can matter.
TSimulatedLibrary& Library() {
    static TSimulatedLibrary library;
    return library;
}

} // namespace

PEXLAR_ENTRY_POINTS(Library)

// For tests: the entry points called since the previous call of this one, in
// order, separated by blanks ("Find GetInfo Connect GetData*3 Clear").
PEXLAR_EXPORT const char* PEXLAR_CALL OstrelSimCallLog() {
    try {
        return Library().Calls.Take();
    } catch (...) {
        return "";
    }
}

// For tests: moves the simulated clock on by the given time.
PEXLAR_EXPORT void PEXLAR_CALL OstrelSimAdvanceClock(std::int64_t milliseconds) {
    Library().AdvanceClock(milliseconds);
}

static_assert(std::is_same_v<decltype(&OstrelSimCallLog), ostrel::sim::TCallLogFn>);
static_assert(std::is_same_v<decltype(&OstrelSimAdvanceClock), ostrel::sim::TAdvanceClockFn>);
