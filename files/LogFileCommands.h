// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The Open, Save and Save As commands of the File menu, apart from any
// widget: the main window gives them a file chooser, its records, its log
// lines, its New and its RebuildDisplay.

#include "platform/FormatSettings.h"
#include "platform/Memory.h"
#include "records/MinuteRecords.h"
#include "views/LogView.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace ostrel {

// A file to write and the filter it was chosen with.
struct TChosenFile {
    std::string Path;
    std::size_t Filter = 0; // index into the filters offered
};

// Asks the user for a file; no value when the user cancels.
class TFileChooser {
public:
    virtual ~TFileChooser() = default;
    virtual std::optional<std::string> ChooseOpenFile(const std::string& preset) = 0;
    virtual std::optional<std::string> ChooseSaveFile(const std::string& preset) = 0;
    // A file to export to, with one of filters ("PNG画像 (*.png)", in the
    // user's language). A chooser without filters of its own asks as
    // ChooseSaveFile does and answers the first filter.
    virtual std::optional<TChosenFile>
    ChooseExportFile(const std::string& preset, const std::vector<std::string>& /*filters*/) {
        std::optional<std::string> path = ChooseSaveFile(preset);
        if (!path) {
            return std::nullopt;
        }
        return TChosenFile{std::move(*path), 0};
    }
};

// What the commands work on; every part outlives the commands.
struct TLogFileParts {
    TFileChooser& Chooser;
    TRecords& Records;
    // The log list, whose lines Save writes.
    std::function<const TLogView&()> Log;
    std::function<void()> New; // NewClick, which calls NewFileNames
    std::function<void()> RebuildDisplay;
    const TFormatSettings& FormatSettings;
    // Bytes the process can still take, asked once per Open.
    std::function<std::uint64_t()> FreeMemory = AvailableMemory;
};

class TLogFileCommands {
public:
    explicit TLogFileCommands(TLogFileParts parts);

    // Reads the chosen file whole, then runs New, reads every line into a
    // record, rebuilds the display once and makes the file the current one.
    // A file that cannot be read, or whose records would not fit in the
    // memory left, throws EFileError before anything changed. False when the
    // user cancelled.
    bool OpenClick();
    // Reads a file as Open does, without asking for it and without making it
    // the current file: Save then asks for a name, as for a new log.
    void OpenWithoutName(const std::string& path);
    // Writes the log lines to the current file, or runs Save As without one.
    void SaveClick();
    // Asks for a name, makes it the current file name (even when writing
    // then fails) and writes the log lines to it.
    void SaveAsClick();
    // New's part: no current file, nothing proposed by the open dialog.
    void NewFileNames();

    // The save dialog's file name: the current file, empty for none.
    const std::string& FileName() const { return SaveFileName; }
    // The name the open dialog proposes next.
    const std::string& OpenFileName() const { return OpenDialogFileName; }

private:
    void Load(const std::string& path); // Open's work on a file
    void WriteLog() const;              // the log list's lines to SaveFileName

    TLogFileParts Parts;
    std::string SaveFileName;
    std::string OpenDialogFileName;
};

} // namespace ostrel
