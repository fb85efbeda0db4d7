// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/LogFileCommands.h"

#include "files/FileErrors.h"
#include "files/LogFileReader.h"
#include "files/LogFileWriter.h"
#include "files/TextFile.h"

#include "platform/Exceptions.h"

#include <algorithm>
#include <new>
#include <utility>

namespace ostrel {

namespace {

// What a line costs once opened, besides its text in the file: its place in
// the line index while Open runs, its record, its two chart points and its
// line in the log list, with room for containers that grow by doubling.
constexpr std::uint64_t BytesPerOpenedLine = 160;

// The file's text, when it and the records made of it fit in freeMemory:
// a file larger than that is refused before it is read, one with too many
// lines before they are indexed.
std::string ReadLogText(const std::string& path, std::uint64_t freeMemory) {
    std::string text = ReadTextFile(path, freeMemory);
    const std::uint64_t left = freeMemory - std::min<std::uint64_t>(text.size(), freeMemory);
    if (CountLines(text) > left / BytesPerOpenedLine) {
        throw EFileError(FileErrorText(CannotOpenFileText, path, FileTooLargeText));
    }
    return text;
}

} // namespace

TLogFileCommands::TLogFileCommands(TLogFileParts parts) : Parts(std::move(parts)) {}

bool TLogFileCommands::OpenClick() {
    std::optional<std::string> chosen = Parts.Chooser.ChooseOpenFile(OpenDialogFileName);
    if (!chosen) {
        return false;
    }
    // The dialog keeps what was chosen, also when the file then fails to read.
    OpenDialogFileName = *chosen;
    Load(*chosen);
    SaveFileName = std::move(*chosen);
    return true;
}

void TLogFileCommands::OpenWithoutName(const std::string& path) {
    Load(path);
}

void TLogFileCommands::Load(const std::string& path) {
    // Read before New, so that a file that cannot be read changes nothing.
    std::string text;
    try {
        text = ReadLogText(path, Parts.FreeMemory());
    } catch (const std::bad_alloc&) {
        throw EFileError(FileErrorText(CannotOpenFileText, path, OutOfMemoryText));
    }
    Parts.New();
    AppendLogRecords(text, Parts.FormatSettings, Parts.Records);
    // The text is not needed for the rebuild: freed now, it does not add to
    // the peak of memory that the chart and the list then reach.
    std::string().swap(text);
    Parts.RebuildDisplay();
}

void TLogFileCommands::WriteLog() const {
    const TLogView& log = Parts.Log();
    WriteLogFile(
        SaveFileName, static_cast<std::size_t>(log.Count()),
        [&log](std::string& out, std::size_t k) { log.AppendItem(out, static_cast<int>(k)); });
}

void TLogFileCommands::SaveClick() {
    if (SaveFileName.empty()) {
        SaveAsClick();
        return;
    }
    WriteLog();
}

void TLogFileCommands::SaveAsClick() {
    std::optional<std::string> chosen = Parts.Chooser.ChooseSaveFile(SaveFileName);
    if (!chosen) {
        return;
    }
    SaveFileName = std::move(*chosen);
    WriteLog();
}

void TLogFileCommands::NewFileNames() {
    SaveFileName.clear();
    OpenDialogFileName.clear();
}

} // namespace ostrel
