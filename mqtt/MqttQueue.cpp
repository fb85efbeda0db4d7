// SPDX-License-Identifier: GPL-3.0-or-later
#include "mqtt/MqttQueue.h"

#include <algorithm>
#include <utility>

namespace ostrel {

TMqttQueue::TMqttQueue(std::size_t limit) : Limit(limit) {}

std::string TMqttQueue::Add(std::string payload, std::optional<bool> alarm) {
    Pending.push_back({NextSeq++, std::move(payload), alarm});
    std::string told;
    if (Pending.size() > Limit) {
        // One line per run of drops rather than one a minute; a connection
        // the broker takes starts a new run.
        if (!DroppingTold) {
            told = "more than " + std::to_string(Limit) +
                   " minutes unsent; dropping the oldest, from " + Pending.front().Payload;
            DroppingTold = true;
        }
        Pending.pop_front();
    }
    return told;
}

std::vector<TMqttQueue::TUnsent> TMqttQueue::Unsent() const {
    std::vector<TUnsent> unsent;
    for (const TPending& pending : Pending) {
        if (pending.Mid == 0) {
            unsent.push_back({pending.Seq, pending.Payload, pending.Alarm});
        }
    }
    return unsent;
}

void TMqttQueue::MarkSent(std::uint64_t seq, int mid) {
    const auto at = std::lower_bound(Pending.begin(), Pending.end(), seq,
                                     [](const TPending& p, std::uint64_t s) { return p.Seq < s; });
    if (at != Pending.end() && at->Seq == seq) {
        at->Mid = mid;
    }
}

void TMqttQueue::Acknowledge(int mid) {
    // 0 marks the unsent; the library never gives it to a message.
    if (mid == 0) {
        return;
    }
    const auto acknowledged = std::find_if(Pending.begin(), Pending.end(),
                                           [mid](const TPending& p) { return p.Mid == mid; });
    if (acknowledged != Pending.end()) {
        Pending.erase(acknowledged);
    }
}

void TMqttQueue::StartSession() {
    for (TPending& pending : Pending) {
        pending.Mid = 0;
    }
}

void TMqttQueue::ConnectionAccepted() {
    DroppingTold = false;
}

} // namespace ostrel
