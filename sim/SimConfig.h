// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The simulated counter's own settings, taken from environment variables when
// a program connects, and the replay scripts it can read.

#include "device/CounterDevice.h"
#include "device/LibrarySide.h"

#include <cstdint>
#include <istream>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace ostrel::sim {

inline constexpr const char* CpmVariable = "OSTREL_SIM_CPM";
inline constexpr const char* SpeedVariable = "OSTREL_SIM_SPEED";
inline constexpr const char* ScriptVariable = "OSTREL_SIM_SCRIPT";
inline constexpr const char* SeedVariable = "OSTREL_SIM_SEED";

inline constexpr double DefaultCpm = 30.0;
inline constexpr double DefaultSpeed = 1.0;
// Beyond these the simulation stops meaning anything (a 16-bit count per
// second, a clock that outruns any caller).
inline constexpr double MaxCpm = 1000000.0;
inline constexpr double MaxSpeed = 1000000.0;

// A setting or script that cannot be used; the text says which and why.
class TSimConfigError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct TSimConfig {
    double Cpm = DefaultCpm;     // mean counts per minute
    double Speed = DefaultSpeed; // simulated seconds per real second; 0 stops the clock
    std::optional<std::uint64_t> Seed;
    std::optional<std::vector<TCounterSample>> Script; // replayed instead of random readings
};

// Reads all four settings; unset or empty ones keep their defaults. Throws
// TSimConfigError for a value out of range or a script that cannot be read.
TSimConfig ReadSimConfig(const TEnvironment& environment);

// One reading per line: "YYYY-MM-DD hh:mm:ss.mmm count" (milliseconds
// optional, every field 0 to 65535, so impossible dates can be scripted) or
// "gone" for the end-of-connection marker. Blank lines and text after "#" are
// ignored. Throws TSimConfigError naming the first bad line.
std::vector<TCounterSample> ParseScript(std::istream& input);

} // namespace ostrel::sim
