// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The minutes Safecast has not accepted yet, oldest first, kept on the disk
// so that an outage, a crash or a restart loses none and sends none twice.
// One file of lines, only ever appended to between rewrites: a minute
// "2026-12-09T06:23:00Z,30" when it comes, "sent" when the oldest is
// accepted, "dropped" when the oldest is given up. A line cut short by a
// crash is ignored. No lock of its own: one thread uses it.

#include "platform/FileLock.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <filesystem>
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
    // Thirty days of minutes.
    static constexpr std::size_t DefaultLimit = 43'200;
    static constexpr const char* FileName = "safecast.csv";
    static constexpr const char* LockName = "safecast.lock";

    // The queue's file in folder; an empty folder keeps the minutes in
    // memory only.
    explicit TSafecastQueue(std::filesystem::path folder, std::size_t limit = DefaultLimit);
    ~TSafecastQueue();
    TSafecastQueue(const TSafecastQueue&) = delete;
    TSafecastQueue& operator=(const TSafecastQueue&) = delete;

    // Takes the folder for this process and reads what earlier runs left.
    // Each call below returns the lines to tell: a file that cannot be used
    // (once until it can again), minutes dropped (once a run of drops).
    std::vector<std::string> Open();
    std::vector<std::string> Add(const std::vector<TQueuedMinute>& minutes);
    // The oldest minute; null when none waits.
    const TQueuedMinute* Front() const { return Minutes.empty() ? nullptr : &Minutes.front(); }
    // The oldest minute is accepted.
    std::vector<std::string> TakeFront();
    // While the oldest minute is on its way, the limit drops none: the
    // answer must find it first.
    std::vector<std::string> Hold(bool held);
    std::size_t Size() const { return Minutes.size(); }
    std::filesystem::path File() const;

private:
    bool Append(std::string_view lines, std::vector<std::string>& told);
    bool Rewrite(std::vector<std::string>& told);
    void Failed(const std::string& what, std::vector<std::string>& told);
    void Trim(std::vector<std::string>& told);
    void CloseFile();

    std::filesystem::path Folder;
    const std::size_t Limit;
    std::deque<TQueuedMinute> Minutes;
    bool OnDisk = false; // the folder is this process's
    bool InSync = true;  // the file holds what Minutes holds
    bool FailureTold = false;
    bool DroppingTold = false;
    bool Held = false;
    std::size_t Taken = 0; // "sent" and "dropped" lines since the last rewrite
    std::FILE* Out = nullptr;
    TFileLock Lock;
};

// The line of a queued minute, without its line end; the minute of such a
// line, when it is one.
std::string QueueLine(const TQueuedMinute& minute);
bool ReadQueueLine(std::string_view line, TQueuedMinute& minute);

} // namespace ostrel
