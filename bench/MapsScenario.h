// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Ticks of the acquisition loop that each finish one minute, without outputs
// and with radmon.org, gmcmap.com, Safecast and MQTT all on: first with fake
// map services and a mosquitto broker on 127.0.0.1 answering, then with all
// of them gone.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace ostrel::bench {

struct TMapsTicks {
    std::vector<double> Off;            // seconds of each tick, no outputs
    std::vector<double> Up;             // the four outputs, every service answering
    std::vector<double> Down;           // the same, nobody answering
    std::optional<std::string> Problem; // minutes that did not arrive, or were not kept
};

// ticks ticks each way, a few milliseconds apart, as the window's timer
// spaces them, so that the outputs' threads send between them.
TMapsTicks MeasureMapsTicks(std::size_t ticks);

} // namespace ostrel::bench
