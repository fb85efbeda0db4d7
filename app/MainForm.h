// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main window: its menu, its widgets and its message boxes. The logging
// session behind them is the logger core's; the window hands it its views
// and passes the commands on.

#include "display/ChartTip.h"
#include "files/LogFileCommands.h"
#include "logger/Logger.h"
#include "logger/Places.h"
#include "platform/FormatSettings.h"
#include "views/DisplayViews.h"

#include <QMainWindow>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace ostrel {

class TChart;
class TClientArea;
class TLogList;
class TOKRightDlg;

inline constexpr const char* MainFormCaption = "Ostrel Ver.1.4";
// The window's title: the caption, then " - " and the profile's name when
// there is one.
inline std::string MainFormTitle(const std::string& profileName) {
    return profileName.empty() ? MainFormCaption
                               : std::string(MainFormCaption) + " - " + profileName;
}
inline constexpr int OutputReportRetry = 1000; // ms, while another error box is up

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
    // Where the outputs keep what they keep (the journals among them); empty:
    // nothing is kept.
    std::filesystem::path StateFolder;
    // --profile's name, which the title carries, and --config's file (see
    // TPlaces); empty without them.
    std::string ProfileName{};
    std::string ConfigPath{};
    // See TPlaces.
    std::string Instance{};
    std::string StationName{};
    std::string CounterModel{}; // see TPlaces
};

class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    // The device library device names (see DefaultPlaces), else the one
    // beside the executable; the settings file named after it, the user's
    // locale, real message boxes and file dialogs; the settings file and
    // state folder choice chose (see DefaultPlaces).
    static TMainFormOptions DefaultOptions(const std::optional<std::string>& device = {},
                                           const TSettingsChoice& choice = {});

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
    // The Analysis menu: the minutes the chart shows, or all of them.
    void SpanStatisticsClick();
    void SaveChartImageClick();
    void ExportCsvClick();
    void ExportAllCsvClick();

    void RebuildDisplay();

    // The logging session: records, the chart's pair, the counter, outputs.
    TLogger& Logger() { return *Session; }
    const TLogger& Logger() const { return *Session; }
    TChart& Chart() { return *ChartWidget; }
    TLogList& Log();
    // The chart's two series and the log list, as the commands fill them.
    TDisplayViews Views();
    TClientArea& ClientArea() { return *Client; }
    // The records of the minutes within the chart's horizontal axis, as the
    // user has panned or zoomed it.
    std::span<const TMinuteRecord> VisibleMinutes() const;

protected:
    // A minimized window draws nothing; shown again, it draws once.
    void changeEvent(QEvent* event) override;

private:
    void BuildMenu();
    void FormCreate();
    void FormDestroy();
    // Connects a menu item to a command; an escaping exception goes to the
    // error box.
    QAction* AddItem(QMenu* menu, const char* name, const char* caption,
                     void (TMainForm::*command)());
    // Shows an output's failure once, as soon as no other error box is up;
    // of reports that wait, only the newest.
    void ReportOutputFailure(std::string text);
    void ShowOutputReport();
    // The minute text of chart point index, for its tip.
    // The 95 % interval of the dose rate of the point at index.
    std::optional<TTipBounds> PointDoseRateInterval(int index) const;
    std::string PointTime(int index) const;
    // Records first .. end-1 to a CSV file that the user chooses.
    void ExportCsv(std::size_t first, std::size_t end);

    TMainFormOptions Options;
    TChart* ChartWidget = nullptr;
    TClientArea* Client = nullptr;
    std::unique_ptr<TLogger> Session;
    std::optional<std::string> WaitingOutputReport;
    TOKRightDlg* SettingsDialog = nullptr;
};

} // namespace ostrel
