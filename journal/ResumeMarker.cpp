// SPDX-License-Identifier: GPL-3.0-or-later
#include "journal/ResumeMarker.h"

#include "device/FileReplacement.h"

#include <fstream>
#include <sstream>
#include <system_error>

namespace ostrel {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view JournalKey = "journal=";
constexpr std::string_view LoggingKey = "logging=";

std::optional<std::string> ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

std::string ResumeMarkerText(const fs::path& journalName, bool logging) {
    const std::u8string name = journalName.u8string();
    return std::string(JournalKey) + std::string(name.begin(), name.end()) + "\n" +
           std::string(LoggingKey) + (logging ? "1" : "0") + "\n";
}

std::optional<TLeftLog> ReadResumeMarker(const std::string& text, const fs::path& folder) {
    std::optional<std::string> journal;
    std::optional<bool> logging;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with(JournalKey)) {
            journal = line.substr(JournalKey.size());
        } else if (line.starts_with(LoggingKey)) {
            logging = line.substr(LoggingKey.size()) == "1";
        }
    }
    // A marker cut short by the crash itself is no marker.
    if (!journal || !logging) {
        return std::nullopt;
    }
    TLeftLog left;
    left.Logging = *logging;
    const fs::path name = fs::path(std::u8string(journal->begin(), journal->end()));
    if (!name.empty() && name == name.filename()) {
        left.File = folder / name;
    }
    return left;
}

TResumeMarker::TResumeMarker(fs::path folder) : Folder(std::move(folder)) {
    // No folder yet: nothing was left, and nothing is made until there is
    // something to keep.
    std::error_code error;
    if (!fs::is_directory(Folder, error) || !TakeLock()) {
        return;
    }
    if (const std::optional<std::string> text = ReadAll(Folder / ResumeMarkerName)) {
        LeftBehind = ReadResumeMarker(*text, Folder);
    }
    // Until this run has a log, it leaves none.
    fs::remove(Folder / ResumeMarkerName, error);
}

bool TResumeMarker::TakeLock() {
    if (Lock.Held() || TriedLock) {
        return Lock.Held();
    }
    TriedLock = true;
    std::error_code error;
    fs::create_directories(Folder, error);
    return Lock.Take(Folder / ResumeLockName, error) == TFileLock::TResult::Taken;
}

bool TResumeMarker::Held() const {
    return Lock.Held();
}

void TResumeMarker::SetJournal(const fs::path& journal) noexcept {
    try {
        const std::lock_guard lock(Mutex);
        Journal = journal.filename();
        Write();
    } catch (...) {
    }
}

void TResumeMarker::SetLogging(bool logging) noexcept {
    try {
        const std::lock_guard lock(Mutex);
        Logging = logging;
        Write();
    } catch (...) {
    }
}

void TResumeMarker::Remove() noexcept {
    try {
        const std::lock_guard lock(Mutex);
        Removed = true;
        if (Held()) {
            std::error_code error;
            fs::remove(Folder / ResumeMarkerName, error);
        }
    } catch (...) {
    }
}

void TResumeMarker::Write() {
    if (Removed) {
        return;
    }
    std::error_code error;
    if (Journal.empty() && !Logging) {
        // Nothing to take up again: the same as no marker.
        if (Held()) {
            fs::remove(Folder / ResumeMarkerName, error);
        }
        return;
    }
    if (TakeLock()) {
        error = ReplaceFileContent(Folder / ResumeMarkerName, ResumeMarkerText(Journal, Logging));
    }
}

} // namespace ostrel
