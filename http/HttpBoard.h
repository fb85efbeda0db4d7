// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the logger hands to the HTTP server and the server reads: the log's
// minutes, the newest finished minute and what it means, whether a counter
// is connected, and the events of the pages' live streams. The logger's
// side only moves what it has made under the lock; the server's side
// copies out what it answers with.

#include "http/HttpMinutes.h"
#include "records/MinuteMeaning.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace ostrel {

// The newest minute finished in this run and what it means.
struct THttpReading {
    THttpMinute Minute;
    double Dose = 0; // µSv of the log so far, this minute included
    TAlarmState Alarm{};
};

struct THttpStatus {
    bool Connected = false;
    std::uint64_t CountsTotal = 0; // of every minute finished in this run
    std::optional<THttpReading> Newest;
};

// The live stream's events after the one a stream has sent last.
struct THttpEvents {
    std::uint64_t Last = 0; // the newest event's number
    std::vector<std::string> Texts;
    bool Ended = false; // the server is ending: the stream ends too
};

class THttpBoard {
public:
    // The most events kept for a stream that has fallen behind.
    static constexpr std::size_t KeptEvents = 64;

    // The minutes of a log begun, opened or rebuilt, in the log's order.
    void Replace(std::vector<THttpMinute> minutes);
    // A finished minute, appended.
    void Finished(THttpMinute minute, double dose, const TAlarmState& alarm);
    void Connected(bool connected);
    // Every stream's wait ends now, and every later one at once.
    void End();

    THttpStatus Status() const;
    // The minutes whose key is from or later and before to, in the log's
    // order (a log's keys ascend), at most most of them.
    std::vector<THttpMinute> Span(std::int64_t from, std::int64_t to, std::size_t most) const;
    // The last minute's key before a minute without an instant, for the
    // one that follows.
    std::int64_t LastKey() const;

    // {"connected":true,"alarm":false,"minute":{...}}: the log's newest
    // minute, null while the log has none; alarm null while none is set
    // or before a minute of this run has told it.
    std::string StateJson() const;
    // What a new stream begins with: the number of the newest event, and
    // an event that tells the state as it is now.
    std::pair<std::uint64_t, std::string> Subscribe() const;
    // The events after seen, waiting at most wait for one.
    THttpEvents WaitForEvents(std::uint64_t seen, std::chrono::milliseconds wait) const;

private:
    // Called with the lock held.
    std::string StateJsonLocked() const;
    std::string StateEventLocked(const char* name) const;
    void AddEventLocked(std::string text);

    mutable std::mutex Mutex;
    mutable std::condition_variable Changed;
    std::vector<THttpMinute> Minutes;
    THttpStatus Now;
    std::deque<std::string> Events; // the newest KeptEvents
    std::uint64_t EventCount = 0;
    bool Ending = false;
};

} // namespace ostrel
