// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The journal of the live log: every finished minute's line goes to a file
// of the log's own as it is written, flushed to the disk once per tick, so
// that a crash, a kill, a power cut or an Exit without Save keeps every
// minute but the one in progress. The file is a log file as Save writes it,
// and Open reads it back.
//
// A journal holds every record of its log but the newest, which is the
// minute in progress: readings of its minute may still add to it (also to
// the newest record of an opened file), and the live loop writes its line
// once the next minute begins. The line a rebuild wrote for it is replaced
// in the list but never reaches the journal, which so never holds a minute
// twice.

#include "journal/JournalWriter.h"
#include "journal/ResumeMarker.h"
#include "platform/Translation.h"
#include "records/LogOutput.h"
#include "records/MinuteRecords.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

namespace ostrel {

inline constexpr std::string_view CannotWriteJournalText =
    OSTREL_TR("Ostrel", "ジャーナル %s に書き込めません。 %s");

// "ジャーナル <full path> に書き込めません。 <the system's reason>".
std::string JournalFailureText(const TJournalFailure& failure);

class TJournal final : public TLogOutput {
public:
    using TClock = std::function<std::chrono::system_clock::time_point()>;

    // Journals go into folder, whose old journals are pruned first. report:
    // as the writer's, called on the writer's thread.
    TJournal(std::filesystem::path folder, TJournalWriter::TFailureReport report,
             TClock clock = std::chrono::system_clock::now);

    // A log begins (start-up, New, Open): a journal of its own, named by
    // the clock's local time now.
    void BeginLog();
    // Waits for the opened lines (see AddOpenedLines), then lets the writer
    // finish what it was given.
    ~TJournal() override;
    TJournal(const TJournal&) = delete;
    TJournal& operator=(const TJournal&) = delete;

    // After Open: every line of the rebuilt log but the newest, as the
    // rebuild with this coefficient and background makes them. They are
    // made from a copy of the records on a thread of their own, so that a
    // large log's lines cost the window only that copy; the lines of ticks
    // that end meanwhile follow them.
    void AddOpenedLines(const TRecords& records, double graphCoefficient,
                        std::int32_t graphBackground, const TFormatSettings& fs);

    void LogBegan() noexcept override;
    void LogOpened(const TOpenedLog& log) noexcept override;
    void CounterConnected(std::uint32_t deviceId) noexcept override;
    void CounterGone() noexcept override;
    void MinuteFinished(const TFinishedMinute& minute) noexcept override;
    void TickEnded() noexcept override;
    // Everything out, and no marker left: the next run starts empty.
    void ProgramEnding() noexcept override;
    std::optional<TLeftLog> LeftLog() const noexcept override { return Marker.Left(); }

    // Waits until what was handed over has had a pass; true when all is on
    // the disk.
    bool Flush() {
        FinishOpenedLines();
        return Writer.Flush();
    }
    const std::filesystem::path& Folder() const { return JournalFolder; }
    // The current log's journal, once it has been made.
    std::optional<std::filesystem::path> CurrentPath() const { return Writer.CurrentPath(); }

private:
    void FinishOpenedLines();
    void WriteOpenedLines(const TRecords& records, double graphCoefficient,
                          std::int32_t graphBackground, const TFormatSettings& fs) noexcept;
    void HandOver(std::string bytes);

    std::filesystem::path JournalFolder;
    TClock Clock;
    std::string TickBytes; // the lines of the tick under way
    TResumeMarker Marker;
    TJournalWriter Writer; // after the marker, which it tells of each journal made
    std::mutex HoldMutex;
    bool Holding = false; // the opened lines are being made
    std::string Held;     // lines of ticks that ended meanwhile
    std::thread OpenedLines;
};

// The journal in the state folder's "journal", its failures reported through
// the context; none without a state folder.
std::unique_ptr<TLogOutput> MakeJournalOutput(const TOutputContext& context);

} // namespace ostrel
