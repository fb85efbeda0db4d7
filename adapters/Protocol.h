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
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ostrel::adapters {

// Bytes a counter sent, as the user can read them in a message: the first
// few, anything unprintable as "?".
inline std::string ShownBytes(std::string_view bytes) {
    constexpr std::size_t shownBytes = 32;
    std::string shown;
    for (const char c : bytes.substr(0, shownBytes)) {
        shown += (c >= 0x20 && c <= 0x7E) ? c : '?';
    }
    return shown;
}

// Why input was dropped or a counter not taken, told once per cause: a
// counter that garbles every line must not flood the error stream.
class TNotes {
public:
    // The texts noted since the last call, oldest first.
    std::vector<std::string> TakeNotes() { return std::exchange(NewNotes, {}); }

    // Each cause may be told again (for the next port).
    void ForgetCauses() { Causes.clear(); }

protected:
    void Note(std::string_view cause, std::string text) {
        if (Causes.insert(std::string(cause)).second) {
            NewNotes.push_back(std::move(text));
        }
    }

private:
    std::set<std::string> Causes;
    std::vector<std::string> NewNotes;
};

// Turns the bytes of one counter into counts, one per second of counting,
// and drops what cannot be trusted.
class TCountDecoder : public TNotes {
public:
    virtual ~TCountDecoder() = default;

    // Takes the bytes that have just arrived (none is a valid answer too) at
    // the given time of a steady clock, in milliseconds; returns the counts
    // that are now complete, oldest first.
    virtual std::vector<std::uint16_t> Take(std::string_view bytes,
                                            std::int64_t steadyMilliseconds) = 0;

    // The counts still complete in what has arrived, once nothing more will.
    virtual std::vector<std::uint16_t> Finish() = 0;

    // Bytes to send the counter now, for counters that report only when
    // asked; none by default.
    virtual std::string Request(std::int64_t /*steadyMilliseconds*/) { return {}; }

    // The last CPM that a counter reporting only its own one-minute sum
    // sent since the previous call.
    std::optional<std::uint16_t> TakeCpm() { return std::exchange(LatestCpm, std::nullopt); }

    // Pieces of garbage dropped so far: corrupted frames or lines, impossible
    // counts.
    std::size_t Dropped() const { return DroppedCount; }

protected:
    // Counts a piece dropped and notes why, once per cause.
    void Drop(std::string_view cause, std::string why, std::size_t pieces = 1) {
        DroppedCount += pieces;
        Note(cause, std::move(why));
    }
    void ReportCpm(std::uint16_t cpm) { LatestCpm = cpm; }

private:
    std::size_t DroppedCount = 0;
    std::optional<std::uint16_t> LatestCpm;
};

class TProtocol : public TNotes {
public:
    virtual ~TProtocol() = default;

    // The counter that answers on a freshly opened port, by name; nothing
    // when none of this family does. May wait a moment for an answer.
    virtual std::optional<std::string> Identify(TSerialPort& port) = 0;

    // Asks the counter for one report a second; false if it cannot be asked.
    virtual bool Start(TSerialPort& port) = 0;

    // Asks it to stop reporting; the port is closed right after.
    virtual void Stop(TSerialPort& port) = 0;

    // The coefficient (0.00001 uSv/h per CPM) that suits the counter
    // Identify named, from what it says of its tube; nothing: the adapter's
    // default.
    virtual std::optional<std::uint16_t> Coefficient(TSerialPort& /*port*/,
                                                     const std::string& /*model*/) {
        return std::nullopt;
    }

    // A decoder for the counter that Identify named.
    virtual std::unique_ptr<TCountDecoder> MakeDecoder(const std::string& model) const = 0;
};

} // namespace ostrel::adapters
