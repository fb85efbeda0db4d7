// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/LogFileCommands.h"

#include "files/LogFileReader.h"
#include "files/LogFileWriter.h"
#include "files/TextFile.h"

#include <utility>

namespace ostrel {

TLogFileCommands::TLogFileCommands(TLogFileParts parts) : Parts(std::move(parts)) {}

bool TLogFileCommands::OpenClick() {
    std::optional<std::string> chosen = Parts.Chooser.ChooseOpenFile(OpenDialogFileName);
    if (!chosen) {
        return false;
    }
    // The dialog keeps what was chosen, also when the file then fails to read.
    OpenDialogFileName = *chosen;
    // Read before New, so that a file that cannot be read changes nothing.
    const std::string text = ReadTextFile(*chosen);
    const std::vector<std::string_view> lines = SplitLines(text);
    const std::string kept = std::move(*chosen);
    Parts.New();
    AppendLogRecords(lines, Parts.FormatSettings, Parts.Records);
    Parts.RebuildDisplay();
    SaveFileName = kept;
    return true;
}

void TLogFileCommands::SaveClick() {
    if (SaveFileName.empty()) {
        SaveAsClick();
        return;
    }
    WriteLogFile(SaveFileName, Parts.LogLines());
}

void TLogFileCommands::SaveAsClick() {
    std::optional<std::string> chosen = Parts.Chooser.ChooseSaveFile(SaveFileName);
    if (!chosen) {
        return;
    }
    SaveFileName = std::move(*chosen);
    WriteLogFile(SaveFileName, Parts.LogLines());
}

void TLogFileCommands::NewFileNames() {
    SaveFileName.clear();
    OpenDialogFileName.clear();
}

} // namespace ostrel
