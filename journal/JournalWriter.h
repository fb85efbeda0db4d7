// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Writes the journals on a thread of its own, so that neither a slow disk nor
// a flush to it ever holds up the window: the window hands over bytes, the
// writer appends them to the file of the journal they belong to and flushes
// that file to the disk, one write and one flush for all it was handed since
// its last pass. What cannot be written stays with the writer and goes out
// when the disk takes it again.

#include "journal/JournalFile.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace ostrel {

struct TJournalFailure {
    std::filesystem::path Path; // the journal that cannot be made or written
    std::string SystemText;     // the system's reason
};

class TJournalWriter {
public:
    using TFailureReport = std::function<void(const TJournalFailure&)>;
    // The file of the current journal, just made.
    using TMadeReport = std::function<void(const std::filesystem::path&)>;
    // While writing fails, a pass is tried this often even when nothing new
    // comes, so that a log that stopped growing catches up all the same.
    static constexpr std::chrono::seconds RetryInterval{2};

    // report is called on the writer's thread, once when writing begins to
    // fail; once writing works again, the next failure is reported again.
    // made, when given, is called on the writer's thread too.
    explicit TJournalWriter(TFailureReport report, TMadeReport made = {});
    // Makes a last attempt at what is left, then ends the thread.
    ~TJournalWriter();
    TJournalWriter(const TJournalWriter&) = delete;
    TJournalWriter& operator=(const TJournalWriter&) = delete;

    // Bytes appended from now on belong to a new journal, stem + ".csv" (or
    // stem + "_2.csv" and so on when that exists), made at its first write.
    // The journal before it is finished and closed once all its bytes are out.
    void Begin(std::filesystem::path stem);
    // Hands bytes over for the current journal and wakes the writer.
    void Append(std::string bytes);
    // Waits until all that was handed over before the call has had a pass;
    // true when everything is on the disk.
    bool Flush();
    // The current journal's file, once it has been made.
    std::optional<std::filesystem::path> CurrentPath() const;

private:
    struct TSegment {
        std::filesystem::path Stem;
        std::filesystem::path Path; // what was made, or what would be
        std::string Pending;        // handed over, not yet written
        bool Made = false;
        bool Unsynced = false; // written, not yet flushed
        bool Ended = false;    // no more bytes will come
        TJournalFile File;     // the writer's thread only
    };
    struct TOutcome {
        std::size_t Unwritten = 0; // of the bytes tried, from the end
        bool Synced = false;
        std::optional<std::filesystem::path> Made;
        std::optional<TJournalFailure> Failure;
    };

    void Run();
    void Pass(std::unique_lock<std::mutex>& lock);
    static TOutcome WriteOut(TJournalFile& file, const std::filesystem::path& stem,
                             std::filesystem::path path, const std::string& bytes);
    static TOutcome Create(TJournalFile& file, const std::filesystem::path& stem);

    TFailureReport Report;
    TMadeReport MadeReport;
    mutable std::mutex Mutex;
    std::condition_variable Wake;
    std::condition_variable Passed;
    std::deque<std::unique_ptr<TSegment>> Segments;
    std::uint64_t Requested = 0; // passes asked for
    std::uint64_t Served = 0;    // the requests the last finished pass began with
    bool Failing = false;
    bool Stopping = false;
    std::thread Thread; // last: starts once everything above is there
};

} // namespace ostrel
