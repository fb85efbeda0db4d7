// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The minutes a service has not accepted yet, oldest first, kept on the disk
// so that an outage, a crash or a restart loses none and sends none twice.
// One file of lines, only ever appended to between rewrites: a minute as the
// service's format writes it when it comes, "sent" for each of the oldest
// accepted, "dropped" for each of the oldest given up. A line cut short by a
// crash is ignored. No lock of its own: one thread uses it.

#include "platform/FileLock.h"

#include <cstddef>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

// What one service's queue holds: its files' names and its minutes' lines.
struct TQueueFormat {
    const char* FileName;
    const char* LockName;
    // Whether a line of the file is a whole minute.
    bool (*IsMinute)(std::string_view line);
    // The minute's start, as the line that tells of dropping it names it.
    std::string (*Start)(std::string_view line);
};

class TMinuteQueue {
public:
    // Thirty days of minutes.
    static constexpr std::size_t DefaultLimit = 43'200;

    // The queue's file in folder; an empty folder keeps the minutes in
    // memory only.
    TMinuteQueue(const TQueueFormat& format, std::filesystem::path folder,
                 std::size_t limit = DefaultLimit);
    ~TMinuteQueue();
    TMinuteQueue(const TMinuteQueue&) = delete;
    TMinuteQueue& operator=(const TMinuteQueue&) = delete;

    // Takes the folder for this process and reads what earlier runs left.
    // Each call below returns the lines to tell: a file that cannot be used
    // (once until it can again), minutes dropped (once a run of drops).
    std::vector<std::string> Open();
    // Minutes' lines, each without its line end.
    std::vector<std::string> Add(const std::vector<std::string>& minutes);
    // Oldest first.
    const std::deque<std::string>& Minutes() const { return Waiting; }
    // The oldest count minutes are accepted.
    std::vector<std::string> TakeFront(std::size_t count = 1);
    // While the oldest minutes are on their way, the limit drops none: the
    // answer must find them first.
    std::vector<std::string> Hold(bool held);
    std::size_t Size() const { return Waiting.size(); }
    std::filesystem::path File() const;

private:
    bool Append(std::string_view lines, std::vector<std::string>& told);
    bool Rewrite(std::vector<std::string>& told);
    void Failed(const std::string& what, std::vector<std::string>& told);
    void Trim(std::vector<std::string>& told);
    void CloseFile();

    const TQueueFormat Format;
    std::filesystem::path Folder;
    const std::size_t Limit;
    std::deque<std::string> Waiting;
    bool OnDisk = false; // the folder is this process's
    bool InSync = true;  // the file holds what Waiting holds
    bool FailureTold = false;
    bool DroppingTold = false;
    bool Held = false;
    std::size_t Taken = 0; // "sent" and "dropped" lines since the last rewrite
    std::FILE* Out = nullptr;
    TFileLock Lock;
};

} // namespace ostrel
