// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The minutes Safecast has not accepted yet, in a TMinuteQueue whose lines
// are "2026-12-09T06:23:00Z,30": the minute's start in UTC and its count.

#include "maps/MinuteQueue.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

struct TQueuedMinute {
    std::string CapturedAt; // UTC, as Safecast takes it
    std::int32_t Count = 0;

    bool operator==(const TQueuedMinute&) const = default;
};

class TSafecastQueue {
public:
    static constexpr std::size_t DefaultLimit = TMinuteQueue::DefaultLimit;
    static constexpr const char* FileName = "safecast.csv";
    static constexpr const char* LockName = "safecast.lock";

    // As TMinuteQueue's, which tells what each call does.
    explicit TSafecastQueue(std::filesystem::path folder, std::size_t limit = DefaultLimit);

    std::vector<std::string> Open() { return Refreshed(Queue.Open()); }
    std::vector<std::string> Add(const std::vector<TQueuedMinute>& minutes);
    // The oldest minute; null when none waits.
    const TQueuedMinute* Front() const { return Head ? &*Head : nullptr; }
    std::vector<std::string> TakeFront() { return Refreshed(Queue.TakeFront()); }
    std::vector<std::string> Hold(bool held) { return Refreshed(Queue.Hold(held)); }
    std::size_t Size() const { return Queue.Size(); }
    std::filesystem::path File() const { return Queue.File(); }

private:
    // Reads Head again from the queue's oldest line.
    std::vector<std::string> Refreshed(std::vector<std::string> told);

    TMinuteQueue Queue;
    std::optional<TQueuedMinute> Head;
};

// The line of a queued minute, without its line end; the minute of such a
// line, when it is one.
std::string QueueLine(const TQueuedMinute& minute);
bool ReadQueueLine(std::string_view line, TQueuedMinute& minute);

} // namespace ostrel
