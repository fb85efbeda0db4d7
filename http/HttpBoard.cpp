// SPDX-License-Identifier: GPL-3.0-or-later
#include "http/HttpBoard.h"

#include <algorithm>
#include <utility>

namespace ostrel {

void THttpBoard::Replace(std::vector<THttpMinute> minutes) {
    std::lock_guard lock(Mutex);
    Minutes.swap(minutes);
    // The old minutes are freed on return, after the lock.
}

void THttpBoard::Finished(THttpMinute minute, double dose, const TAlarmState& alarm) {
    {
        std::lock_guard lock(Mutex);
        Now.CountsTotal += static_cast<std::uint64_t>(std::max(minute.Count, 0));
        Now.Newest = THttpReading{minute, dose, alarm};
        Minutes.push_back(std::move(minute));
        AddEventLocked(StateEventLocked("minute"));
    }
    Changed.notify_all();
}

void THttpBoard::Connected(bool connected) {
    {
        std::lock_guard lock(Mutex);
        if (Now.Connected == connected) {
            return;
        }
        Now.Connected = connected;
        AddEventLocked(StateEventLocked("state"));
    }
    Changed.notify_all();
}

void THttpBoard::End() {
    {
        std::lock_guard lock(Mutex);
        Ending = true;
    }
    Changed.notify_all();
}

THttpStatus THttpBoard::Status() const {
    std::lock_guard lock(Mutex);
    return Now;
}

std::vector<THttpMinute> THttpBoard::Span(std::int64_t from, std::int64_t to,
                                          std::size_t most) const {
    std::lock_guard lock(Mutex);
    const auto first = std::partition_point(Minutes.begin(), Minutes.end(),
                                            [from](const THttpMinute& m) { return m.Key < from; });
    std::vector<THttpMinute> span;
    for (auto at = first; at != Minutes.end() && at->Key < to && span.size() < most; ++at) {
        span.push_back(*at);
    }
    return span;
}

std::int64_t THttpBoard::LastKey() const {
    std::lock_guard lock(Mutex);
    return Minutes.empty() ? 0 : Minutes.back().Key;
}

std::pair<std::uint64_t, std::string> THttpBoard::Subscribe() const {
    std::lock_guard lock(Mutex);
    return {EventCount, StateEventLocked("state")};
}

THttpEvents THttpBoard::WaitForEvents(std::uint64_t seen, std::chrono::milliseconds wait) const {
    std::unique_lock lock(Mutex);
    Changed.wait_for(lock, wait, [&] { return Ending || EventCount > seen; });
    THttpEvents events{EventCount, {}, Ending};
    const std::uint64_t kept = Events.size();
    const std::uint64_t missed = EventCount - seen;
    for (std::uint64_t k = kept - std::min(kept, missed); k < kept; ++k) {
        events.Texts.push_back(Events[k]);
    }
    return events;
}

std::string THttpBoard::StateJson() const {
    std::lock_guard lock(Mutex);
    return StateJsonLocked();
}

std::string THttpBoard::StateEventLocked(const char* name) const {
    return std::string("event: ") + name + "\ndata: " + StateJsonLocked() + "\n\n";
}

std::string THttpBoard::StateJsonLocked() const {
    std::string data = "{\"connected\":";
    data += Now.Connected ? "true" : "false";
    data += ",\"alarm\":";
    if (!Now.Newest || !Now.Newest->Alarm.Used) {
        data += "null";
    } else {
        data += Now.Newest->Alarm.On ? "true" : "false";
    }
    data += ",\"minute\":";
    data += Minutes.empty() ? "null" : MinuteJson(Minutes.back());
    return data + "}";
}

void THttpBoard::AddEventLocked(std::string text) {
    Events.push_back(std::move(text));
    if (Events.size() > KeptEvents) {
        Events.pop_front();
    }
    ++EventCount;
}

} // namespace ostrel
