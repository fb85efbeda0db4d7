// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The file chooser of the Open, Save and Save As commands, with the
// toolkit's own open and save dialogs. Needs Qt Widgets.

#include "files/LogFileCommands.h"
#include "platform/Translation.h"

class QWidget;

namespace ostrel {

inline constexpr const char* CsvFileFilter = OSTREL_TR("Ostrel", "CSVファイル (*.csv)");
inline constexpr const char* CsvDefaultSuffix = "csv";

class TFileDialogChooser : public TFileChooser {
public:
    // The dialogs are modal to parent (which may be null).
    explicit TFileDialogChooser(QWidget* parent) : Parent(parent) {}

    // An existing file, preset with the last name chosen.
    std::optional<std::string> ChooseOpenFile(const std::string& preset) override;
    // A name to write to; an existing file is replaced only after the user
    // agrees; a name without an extension gets ".csv".
    std::optional<std::string> ChooseSaveFile(const std::string& preset) override;
    // A name to write to, with the filter shown when the user chose it; a
    // name without an extension gets the filter's.
    std::optional<TChosenFile> ChooseExportFile(const std::string& preset,
                                                const std::vector<std::string>& filters) override;

private:
    QWidget* Parent;
};

} // namespace ostrel
