// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The minutes the broker has not acknowledged yet, in the order of the
// lines. A message id means something only in the session that got it, so
// a new session sends everything left again, in order. No lock of its own:
// the publisher holds its lock around every call.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace ostrel {

class TMqttQueue {
public:
    struct TUnsent {
        std::uint64_t Seq; // names the minute to MarkSent
        std::string Payload;
        std::optional<bool> Alarm; // the alarm's state, when this minute switched it
    };

    // Keeps at most limit minutes; the oldest go first.
    explicit TMqttQueue(std::size_t limit);

    // A minute, and the alarm's new state when the minute switched it.
    // Returns the line to report when this drops the oldest minute and the
    // run of drops has not been told yet, else "".
    std::string Add(std::string payload, std::optional<bool> alarm = std::nullopt);
    // Not sent in this session yet, oldest first.
    std::vector<TUnsent> Unsent() const;
    // A minute dropped since Unsent is simply not found.
    void MarkSent(std::uint64_t seq, int mid);
    // Removes the minute sent as mid in this session.
    void Acknowledge(int mid);
    // Before connecting: the last session's ids no longer count.
    void StartSession();
    // The broker took the connection: the next drop is told again.
    void ConnectionAccepted();
    std::size_t Unacknowledged() const { return Pending.size(); }

private:
    struct TPending {
        std::uint64_t Seq;
        std::string Payload;
        std::optional<bool> Alarm;
        int Mid = 0; // of the session that sent it; 0: not sent in this session
    };

    const std::size_t Limit;
    std::deque<TPending> Pending; // in the order of the lines
    std::uint64_t NextSeq = 1;
    bool DroppingTold = false;
};

} // namespace ostrel
