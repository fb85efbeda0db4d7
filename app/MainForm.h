// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main window: its menu, its state, and the wiring of every command.
// The work itself is done by the layers below; this class connects them.

#include "counter/Acquisition.h"
#include "counter/CounterLibrary.h"
#include "files/LogFileCommands.h"
#include "journal/Journal.h"
#include "mqtt/MqttPublisher.h"
#include "platform/FormatSettings.h"
#include "records/MinuteRecords.h"
#include "views/DisplayViews.h"

#include <QMainWindow>
#include <QTimer>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ostrel {

class TChart;
class TClientArea;
class TLogList;
class TOKRightDlg;

inline constexpr const char* MainFormCaption = "Ostrel Ver.1.4";
inline constexpr const char* LibraryMissingText = "DLLが読めません";
inline constexpr const char* LibraryMissingCaption = "エラー";
inline constexpr int TimerInterval = 100;       // ms
inline constexpr int JournalReportRetry = 1000; // ms, while another error box is up

struct TMainFormOptions {
    std::vector<std::string> LibraryCandidates; // where the device library is looked for
    std::filesystem::path SettingsPath;
    TFormatSettings FormatSettings;
    // A plain message box (OK only, no icon); replaced in tests.
    std::function<void(const std::string& text, const std::string& caption)> ShowMessage;
    // "Not connected", a box with no owner; replaced in tests.
    std::function<void()> ShowNotConnected;
    // Asks for file names; null: the platform's file dialogs.
    std::shared_ptr<TFileChooser> Chooser;
    // Where the journals of the live log go; empty: no journal.
    std::filesystem::path JournalFolder;
};

class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    // The device library beside the executable, the settings file named after
    // it, the user's locale, real message boxes and file dialogs.
    static TMainFormOptions DefaultOptions();

    explicit TMainForm(TMainFormOptions options, QWidget* parent = nullptr);
    ~TMainForm() override;

    void SetSettingsDialog(TOKRightDlg* dialog) { SettingsDialog = dialog; }

    // Menu commands.
    void NewClick();
    void OpenClick();
    void SaveClick();
    void SaveAsClick();
    void ExitClick();
    void StartClick();
    void StopClick();
    void RedrawGraph();
    void HideClick();
    void ShowClick();
    void SetClick();
    void TimerTimer();

    void RebuildDisplay();

    // State of the window.
    TRecords Records;
    double GraphCoefficient = 0;
    std::int32_t GraphBackground = 0;
    std::uint16_t DeviceCoefficient = 0;
    std::uint16_t DeviceBackground = 0;
    std::uint32_t DeviceId() const { return Acquisition->DeviceId; }

    TChart& Chart() { return *ChartWidget; }
    TLogList& Log();
    // The chart's two series and the log list, as the commands fill them.
    TDisplayViews Views();
    TClientArea& ClientArea() { return *Client; }
    QTimer& Timer() { return AcquisitionTimer; }
    const TLogFileCommands& Files() const { return *FileCommands; }
    const TCounterLibrary& Library() const { return CounterLibrary; }
    // Null unless the settings file names a broker.
    const TMqttPublisher* Mqtt() const { return MqttPublisher.get(); }
    // Null without a journal folder.
    TJournal* Journal() { return LogJournal.get(); }

private:
    void BuildMenu();
    void FormCreate();
    void FormDestroy();
    // Connects a menu item to a command; an escaping exception goes to the
    // error box.
    QAction* AddItem(QMenu* menu, const char* name, const char* caption,
                     void (TMainForm::*command)());
    void StartJournal();
    // Shows a journal's failure once, as soon as no other error box is up;
    // of reports that wait, only the newest.
    void ReportJournalFailure(std::string text);
    void ShowJournalReport();

    TMainFormOptions Options;
    TCounterLibrary CounterLibrary;
    TChart* ChartWidget = nullptr;
    TClientArea* Client = nullptr;
    QTimer AcquisitionTimer;
    std::unique_ptr<TAcquisition> Acquisition;
    std::unique_ptr<TLogFileCommands> FileCommands;
    std::unique_ptr<TMqttPublisher> MqttPublisher;
    std::unique_ptr<TJournal> LogJournal;
    std::optional<std::string> WaitingJournalReport;
    TOKRightDlg* SettingsDialog = nullptr;
    bool Destroyed = false;
};

} // namespace ostrel
