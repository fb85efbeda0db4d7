// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a run leaves in the journal folder while it runs, so that the next
// run can take its log up again after a crash, a kill or a power cut: the
// journal of the log in use and whether a counter is logging. A run that
// ends in order removes it. One run at a time keeps it, the one that holds
// the folder's lock (the system lets it go when the process ends, however it
// ends); another run beside it keeps journals of its own but neither reads
// nor writes the marker.

#include "platform/FileLock.h"
#include "records/LogOutput.h"

#include <filesystem>
#include <mutex>
#include <optional>
#include <string>

namespace ostrel {

inline constexpr const char* ResumeMarkerName = "running";
inline constexpr const char* ResumeLockName = "running.lock";

class TResumeMarker {
public:
    // Takes the folder's lock when no other run holds it, and reads what the
    // last run left there.
    explicit TResumeMarker(std::filesystem::path folder);
    TResumeMarker(const TResumeMarker&) = delete;
    TResumeMarker& operator=(const TResumeMarker&) = delete;

    // Whether this run holds the lock, and so keeps the marker.
    bool Held() const;
    // What the last run left when it ended without removing its marker.
    const std::optional<TLeftLog>& Left() const { return LeftBehind; }

    // The log's journal from now on; empty while it has no file yet. Each
    // call writes the marker anew, flushed to the disk. Safe from any thread.
    void SetJournal(const std::filesystem::path& journal) noexcept;
    void SetLogging(bool logging) noexcept;
    // The run ends in order: no marker is left.
    void Remove() noexcept;

private:
    void Write(); // with Mutex held
    // The folder's lock, taken at the first attempt or never.
    bool TakeLock();

    std::filesystem::path Folder;
    TFileLock Lock;
    std::optional<TLeftLog> LeftBehind;
    std::mutex Mutex;
    std::filesystem::path Journal;
    bool Logging = false;
    bool Removed = false;
    bool TriedLock = false;
};

// The marker's text, and the log it names (the journal's name is taken in
// folder; a name with a folder of its own, or none, names no file).
std::string ResumeMarkerText(const std::filesystem::path& journalName, bool logging);
std::optional<TLeftLog> ReadResumeMarker(const std::string& text,
                                         const std::filesystem::path& folder);

} // namespace ostrel
