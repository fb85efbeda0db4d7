// SPDX-License-Identifier: GPL-3.0-or-later
#include "journal/Journal.h"

#include "files/FileErrors.h"
#include "files/LogFileWriter.h"
#include "journal/JournalFolder.h"

#include <algorithm>
#include <memory>
#include <new>
#include <system_error>
#include <utility>

namespace ostrel {

namespace {

std::string Utf8(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

} // namespace

std::string JournalFailureText(const TJournalFailure& failure) {
    return FileErrorText(CannotWriteJournalText, Utf8(failure.Path), failure.SystemText);
}

TJournal::TJournal(std::filesystem::path folder, TJournalWriter::TFailureReport report,
                   TClock clock)
    : JournalFolder(std::move(folder)), Clock(std::move(clock)), Marker(JournalFolder),
      Writer(std::move(report),
             [this](const std::filesystem::path& made) { Marker.SetJournal(made); }) {
    PruneJournals(JournalFolder);
}

void TJournal::BeginLog() {
    // The opened lines belong to the log before.
    FinishOpenedLines();
    Writer.Begin(JournalFolder / JournalStem(Clock()));
}

TJournal::~TJournal() {
    FinishOpenedLines();
}

void TJournal::FinishOpenedLines() {
    if (OpenedLines.joinable()) {
        OpenedLines.join();
    }
}

void TJournal::AddOpenedLines(const TRecords& records, double graphCoefficient,
                              std::int32_t graphBackground, const TFormatSettings& fs) {
    FinishOpenedLines();
    if (records.Count() < 2) {
        return;
    }
    try {
        auto copy = std::make_shared<const TRecords>(records);
        {
            const std::lock_guard lock(HoldMutex);
            Holding = true;
        }
        try {
            OpenedLines = std::thread([this, copy, graphCoefficient, graphBackground, fs] {
                WriteOpenedLines(*copy, graphCoefficient, graphBackground, fs);
            });
        } catch (const std::system_error&) {
            // No thread to be had: the lines are made here.
            WriteOpenedLines(*copy, graphCoefficient, graphBackground, fs);
        }
    } catch (const std::bad_alloc&) {
        // No room for the copy: the opened lines stay in the opened file only.
    }
}

void TJournal::WriteOpenedLines(const TRecords& records, double graphCoefficient,
                                std::int32_t graphBackground, const TFormatSettings& fs) noexcept {
    // Handed over in parts, so that the lines in memory stay few whatever
    // the log's size.
    constexpr std::size_t linesPerPart = 1 << 16;
    try {
        const TLineWriter line = [&](std::string& out, std::size_t k) {
            AppendRebuiltLine(out, records, k, graphCoefficient, graphBackground, fs);
        };
        const std::size_t count = records.Count() - 1;
        for (std::size_t first = 0; first < count; first += linesPerPart) {
            Writer.Append(LogFileLines(line, first, std::min(count, first + linesPerPart)));
        }
    } catch (...) {
        // Out of memory: the opened lines stay in the opened file only.
    }
    const std::lock_guard lock(HoldMutex);
    try {
        Writer.Append(std::exchange(Held, std::string()));
    } catch (...) {
        Held.clear();
    }
    Holding = false;
}

void TJournal::HandOver(std::string bytes) {
    const std::lock_guard lock(HoldMutex);
    if (Holding) {
        Held += bytes;
    } else {
        Writer.Append(std::move(bytes));
    }
}

void TJournal::LogBegan() noexcept {
    try {
        BeginLog();
    } catch (...) {
        // Out of memory: the lines go on into the journal before.
        return;
    }
    // The new log has no file until its first line is written.
    Marker.SetJournal({});
}

void TJournal::CounterConnected(std::uint32_t /*deviceId*/) noexcept {
    Marker.SetLogging(true);
}

void TJournal::CounterGone() noexcept {
    Marker.SetLogging(false);
}

void TJournal::ProgramEnding() noexcept {
    Flush();
    Marker.Remove();
}

void TJournal::LogOpened(const TOpenedLog& log) noexcept {
    AddOpenedLines(log.Records, log.GraphCoefficient, log.GraphBackground, log.FormatSettings);
}

void TJournal::MinuteFinished(const TFinishedMinute& minute) noexcept {
    try {
        AppendLogFileLine(TickBytes, minute.Line);
    } catch (...) {
        // Out of memory: the window keeps the minute; the journal cannot.
    }
}

void TJournal::TickEnded() noexcept {
    try {
        HandOver(std::exchange(TickBytes, std::string()));
    } catch (...) {
        TickBytes.clear();
    }
}

std::unique_ptr<TLogOutput> MakeJournalOutput(const TOutputContext& context) {
    const std::filesystem::path folder = JournalFolderIn(context.StateFolder);
    if (folder.empty()) {
        return nullptr;
    }
    return std::make_unique<TJournal>(folder,
                                      [report = context.Report](const TJournalFailure& failure) {
                                          if (report) {
                                              report(JournalFailureText(failure));
                                          }
                                      });
}

} // namespace ostrel
