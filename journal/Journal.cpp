// SPDX-License-Identifier: GPL-3.0-or-later
#include "journal/Journal.h"

#include "files/FileErrors.h"
#include "files/LogFileWriter.h"
#include "journal/JournalFolder.h"

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
    : JournalFolder(std::move(folder)), Clock(std::move(clock)), Writer(std::move(report)) {
    PruneJournals(JournalFolder);
}

void TJournal::BeginLog() {
    Writer.Begin(JournalFolder / JournalStem(Clock()));
}

void TJournal::AddOpenedLines(const TLogView& log) {
    std::string bytes;
    for (int k = 0; k + 1 < log.Count(); ++k) {
        AppendLogFileLine(bytes, log.Item(k));
    }
    Writer.Append(std::move(bytes));
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
        Writer.Append(std::exchange(TickBytes, std::string()));
    } catch (...) {
        TickBytes.clear();
    }
}

} // namespace ostrel
