// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A main window made as main() makes it, headless, for opening logs: the
// simulated counter library beside the executable, the settings file in a
// folder of its own (none there: the default coefficient and background),
// the scenario's locale, and a file chooser that answers with one file.

#include "app/MainForm.h"

#include <QTemporaryDir>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace ostrel::bench {

class TOneFileChooser : public TFileChooser {
public:
    std::string Path;
    std::optional<std::string> ChooseOpenFile(const std::string&) override { return Path; }
    std::optional<std::string> ChooseSaveFile(const std::string&) override { return Path; }
};

class TOpenScenario {
public:
    // With a journal folder the window keeps its journals there.
    explicit TOpenScenario(const std::filesystem::path& journalFolder = {});
    ~TOpenScenario();
    TOpenScenario(const TOpenScenario&) = delete;
    TOpenScenario& operator=(const TOpenScenario&) = delete;

    TMainForm& Form() { return *MainForm; }
    TOneFileChooser& Chooser() { return *FileChooser; }
    // Messages the window would have shown ("DLLが読めません" when the
    // library is not beside the executable).
    const std::vector<std::pair<std::string, std::string>>& Messages() const { return Shown; }

    // Shows the window at its start-up size and lets it paint.
    void Show();
    // What the benchmark times: OpenClick on path, which reads the file and
    // rebuilds the display, then the chart's first replot.
    void Open(const std::string& path);
    // Handles every pending event, such as the list's layout after a rebuild.
    static void Settle();

    // The first difference from minutes 0 .. n-1 of the log scenario: in the
    // records, the log's lines, and every point and label of the chart.
    std::optional<std::string> Check(std::size_t n);
    // Only the numbers of records, points and lines.
    std::optional<std::string> CheckCounts(std::size_t n);

private:
    QTemporaryDir Folder;
    std::shared_ptr<TOneFileChooser> FileChooser = std::make_shared<TOneFileChooser>();
    std::vector<std::pair<std::string, std::string>> Shown;
    std::unique_ptr<TMainForm> MainForm;
};

} // namespace ostrel::bench
