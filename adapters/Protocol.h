// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What one family of counters adds to a serial port: how a counter is
// recognised, how its reports are switched on and off, and how its bytes
// become the counts of single seconds.

#include "adapters/SerialPort.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel::adapters {

// Turns the bytes of one counter into counts, one per second of counting,
// and drops what cannot be trusted.
class TCountDecoder {
public:
    virtual ~TCountDecoder() = default;

    // Takes the bytes that have just arrived (none is a valid answer too) at
    // the given time of a steady clock, in milliseconds; returns the counts
    // that are now complete, oldest first.
    virtual std::vector<std::uint16_t> Take(std::string_view bytes,
                                            std::int64_t steadyMilliseconds) = 0;

    // The counts still complete in what has arrived, once nothing more will.
    virtual std::vector<std::uint16_t> Finish() = 0;

    // Pieces of garbage dropped so far: corrupted frames or lines, impossible
    // counts.
    std::size_t Dropped() const { return DroppedCount; }

protected:
    void Drop(std::size_t pieces = 1) { DroppedCount += pieces; }

private:
    std::size_t DroppedCount = 0;
};

class TProtocol {
public:
    virtual ~TProtocol() = default;

    // The counter that answers on a freshly opened port, by name; nothing
    // when none of this family does. May wait a moment for an answer.
    virtual std::optional<std::string> Identify(TSerialPort& port) = 0;

    // Asks the counter for one report a second; false if it cannot be asked.
    virtual bool Start(TSerialPort& port) = 0;

    // Asks it to stop reporting; the port is closed right after.
    virtual void Stop(TSerialPort& port) = 0;

    // A decoder for the counter that Identify named.
    virtual std::unique_ptr<TCountDecoder> MakeDecoder(const std::string& model) const = 0;
};

} // namespace ostrel::adapters
