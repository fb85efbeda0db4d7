// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Ticks of the acquisition loop that each finish one minute, without and with
// a publisher sending every minute to a mosquitto broker on 127.0.0.1.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ostrel::bench {

struct TMqttTicks {
    std::vector<double> Off;            // seconds of each tick, no publisher
    std::vector<double> On;             // with the publisher connected
    std::optional<std::string> Problem; // no broker, or minutes that did not arrive
};

// A port of 127.0.0.1 that nobody listens on now, from the system: where a
// broker started for a run (or a test) listens.
std::uint16_t FreeLoopbackPort();
// Whether something accepts connections on that port of 127.0.0.1.
bool AcceptsOnLoopback(std::uint16_t port);

// ticks ticks each way, a few milliseconds apart, as the window's timer
// spaces them, so that the publisher's thread sends between them.
TMqttTicks MeasureMqttTicks(std::size_t ticks);

} // namespace ostrel::bench
