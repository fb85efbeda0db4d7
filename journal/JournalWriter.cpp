// SPDX-License-Identifier: GPL-3.0-or-later
#include "journal/JournalWriter.h"

#include <algorithm>
#include <system_error>
#include <utility>

namespace ostrel {

namespace {

// Two logs begun in the same second get "_2", "_3", ...: they sort after the
// first, since "_" comes after ".".
constexpr int MaxNamesPerStem = 99;

std::filesystem::path NameFor(const std::filesystem::path& stem, int number) {
    std::filesystem::path name = stem;
    name += number == 1 ? ".csv" : "_" + std::to_string(number) + ".csv";
    return name;
}

// Where the last whole line of bytes[0, length) ends.
std::size_t LastLineEnd(const std::string& bytes, std::size_t length) {
    const std::size_t feed = length == 0 ? std::string::npos : bytes.rfind('\n', length - 1);
    return feed == std::string::npos ? 0 : feed + 1;
}

} // namespace

TJournalWriter::TJournalWriter(TFailureReport report, TMadeReport made)
    : Report(std::move(report)), MadeReport(std::move(made)), Thread([this] { Run(); }) {}

TJournalWriter::~TJournalWriter() {
    {
        const std::lock_guard lock(Mutex);
        Stopping = true;
    }
    Wake.notify_one();
    Thread.join();
}

void TJournalWriter::Begin(std::filesystem::path stem) {
    auto segment = std::make_unique<TSegment>();
    segment->Path = NameFor(stem, 1);
    segment->Stem = std::move(stem);
    const std::lock_guard lock(Mutex);
    if (!Segments.empty()) {
        Segments.back()->Ended = true;
    }
    Segments.push_back(std::move(segment));
}

void TJournalWriter::Append(std::string bytes) {
    if (bytes.empty()) {
        return;
    }
    {
        const std::lock_guard lock(Mutex);
        if (Segments.empty()) {
            return;
        }
        std::string& pending = Segments.back()->Pending;
        if (pending.empty()) {
            pending = std::move(bytes);
        } else {
            pending += bytes;
        }
        ++Requested;
    }
    Wake.notify_one();
}

bool TJournalWriter::Flush() {
    std::unique_lock lock(Mutex);
    const std::uint64_t wanted = ++Requested;
    Wake.notify_one();
    Passed.wait(lock, [&] { return Served >= wanted; });
    return !Failing && std::all_of(Segments.begin(), Segments.end(), [](const auto& segment) {
        return segment->Pending.empty() && !segment->Unsynced;
    });
}

std::optional<std::filesystem::path> TJournalWriter::CurrentPath() const {
    const std::lock_guard lock(Mutex);
    if (Segments.empty() || !Segments.back()->Made) {
        return std::nullopt;
    }
    return Segments.back()->Path;
}

void TJournalWriter::Run() {
    std::unique_lock lock(Mutex);
    for (;;) {
        const auto due = [this] { return Stopping || Requested > Served; };
        if (Failing) {
            Wake.wait_for(lock, RetryInterval, due);
        } else {
            Wake.wait(lock, due);
        }
        const std::uint64_t serving = Requested;
        const bool last = Stopping;
        Pass(lock);
        Served = serving;
        Passed.notify_all();
        if (last) {
            return;
        }
    }
}

// One attempt at every journal with something to write or flush. Called
// and left with the lock held; the disk is touched without it.
void TJournalWriter::Pass(std::unique_lock<std::mutex>& lock) {
    std::optional<TJournalFailure> failure;
    for (std::size_t k = 0; k < Segments.size(); ++k) {
        TSegment& segment = *Segments[k];
        if (segment.Pending.empty() && !segment.Unsynced) {
            continue;
        }
        const std::string bytes = std::exchange(segment.Pending, std::string());
        const std::filesystem::path path = segment.Made ? segment.Path : std::filesystem::path();
        lock.unlock();
        TOutcome outcome = WriteOut(segment.File, segment.Stem, path, bytes);
        lock.lock();
        // What came meanwhile goes after what is still to be written.
        segment.Pending.insert(0, bytes, bytes.size() - outcome.Unwritten);
        segment.Unsynced = !outcome.Synced && segment.File.IsOpen();
        if (outcome.Made) {
            segment.Made = true;
            segment.Path = *outcome.Made;
            if (MadeReport && k + 1 == Segments.size()) {
                MadeReport(segment.Path);
            }
        }
        if (outcome.Failure && !failure) {
            failure = std::move(outcome.Failure);
        }
    }
    std::erase_if(Segments, [](const auto& segment) {
        return segment->Ended && segment->Pending.empty() && !segment->Unsynced;
    });
    const bool streakBegins = failure && !Failing;
    Failing = failure.has_value();
    if (streakBegins && Report) {
        lock.unlock();
        Report(*failure);
        lock.lock();
    }
}

// Writes bytes to the journal's file, made first if path is empty, then
// flushes the file to the disk.
TJournalWriter::TOutcome TJournalWriter::WriteOut(TJournalFile& file,
                                                  const std::filesystem::path& stem,
                                                  std::filesystem::path path,
                                                  const std::string& bytes) {
    TOutcome outcome;
    if (path.empty()) {
        outcome = Create(file, stem);
        if (outcome.Failure) {
            outcome.Unwritten = bytes.size();
            return outcome;
        }
        path = *outcome.Made;
    }
    const std::size_t written = file.Write(bytes);
    if (written < bytes.size()) {
        outcome.Failure = TJournalFailure{path, file.Error()};
        // The journal ends with a whole line, so that opened after a crash it
        // holds no half record; the rest is written again later.
        const std::size_t lineEnd = LastLineEnd(bytes, written);
        const bool cut = file.Truncate(file.Size() - (written - lineEnd));
        outcome.Unwritten = bytes.size() - (cut ? lineEnd : written);
        return outcome;
    }
    if (!file.SyncData()) {
        outcome.Failure = TJournalFailure{path, file.Error()};
        return outcome;
    }
    outcome.Synced = true;
    return outcome;
}

TJournalWriter::TOutcome TJournalWriter::Create(TJournalFile& file,
                                                const std::filesystem::path& stem) {
    TOutcome outcome;
    const std::filesystem::path folder = stem.parent_path();
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        outcome.Failure = TJournalFailure{NameFor(stem, 1), error.message()};
        return outcome;
    }
    for (int number = 1; number <= MaxNamesPerStem; ++number) {
        const std::filesystem::path path = NameFor(stem, number);
        const TCreateResult result = file.CreateNew(path);
        if (result == TCreateResult::Created) {
            SyncFolder(folder);
            outcome.Made = path;
            return outcome;
        }
        if (result == TCreateResult::Failed) {
            outcome.Failure = TJournalFailure{path, file.Error()};
            return outcome;
        }
    }
    outcome.Failure =
        TJournalFailure{NameFor(stem, 1), std::make_error_code(std::errc::file_exists).message()};
    return outcome;
}

} // namespace ostrel
