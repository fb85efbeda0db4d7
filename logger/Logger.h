// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A logging session without a window: the device library, the acquisition
// and its 100 ms timer, the records, the log file commands and the outputs.
// The main window and a logger without a window each drive one, and it
// tells what changed through the views they give it.

#include "counter/Acquisition.h"
#include "counter/CounterLibrary.h"
#include "device/CounterDevice.h"
#include "files/LogFileCommands.h"
#include "platform/FormatSettings.h"
#include "platform/Translation.h"
#include "records/DoseAlarm.h"
#include "records/LogOutput.h"
#include "records/MinuteRecords.h"
#include "records/OutputList.h"
#include "views/DisplayViews.h"

#include <QTimer>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

namespace ostrel {

inline constexpr int TimerInterval = 100; // ms
// What the user is told when the device library cannot be loaded.
inline constexpr const char* LibraryMissingText = OSTREL_TR("Ostrel", "DLLが読めません");
inline constexpr const char* LibraryMissingCaption = OSTREL_TR("Ostrel", "エラー");

struct TLoggerOptions {
    // Where the device library is looked for, in this order.
    std::vector<std::string> LibraryCandidates;
    // Set: these entry points instead of a library from the candidates, for
    // counters made up in-process (benchmarks). Not owned.
    const TCounterEntryPoints* Device = nullptr;
    std::filesystem::path SettingsPath;
    TFormatSettings FormatSettings;
    // Asked for names by Open and Save As; null: they find none.
    std::shared_ptr<TFileChooser> Chooser;
    TLogOutputs Outputs;
    // The dose-rate alarm's thresholds, which the outputs hear the state of
    // with every minute; off unless set.
    TAlarmLevels Alarm;
    // Runs one tick of the timer; an exception that escapes it is the
    // driver's to report. Unset: it goes to the standard error stream.
    std::function<void(const std::function<void()>& tick)> RunTick;
};

class TLogger {
public:
    // The views must outlive the logger.
    TLogger(TLoggerOptions options, TDisplayViews views);
    // Stops the timer; the end (End) is the driver's to run before.
    ~TLogger();
    TLogger(const TLogger&) = delete;
    TLogger& operator=(const TLogger&) = delete;

    // Start-up, a step at a time, so that a window can put its boxes between
    // the steps: the device library, then the settings.
    bool LoadCounterLibrary();
    // The chart's coefficient and background from the settings file; no
    // counter connected.
    void ReadSettings();
    // The end, once: the timer stops, the outputs deliver what they still
    // can, the chart's pair goes to the settings file, then the outputs are
    // closed and the device library is unloaded (its Clear called), also
    // when writing the settings failed, whose EFileError is then thrown.
    void End();

    // After a run that ended without Exit (a crash, a kill, a power cut):
    // its log shown again as Open would show it, but as a log without a
    // file, and the counter connected again when it was logging. One line
    // on report says so. Nothing without such a run.
    void ResumeLeftLog(std::ostream& report);

    // The commands.
    void New();
    // False when no file was chosen.
    bool Open();
    void Save();
    void SaveAs();
    void Start();
    void Stop();
    void Tick();
    // Draws every point and line again from the records, with the chart's
    // pair in force now (the menu's redraw, and Open).
    void RebuildDisplay();
    // The settings dialog set the chart's pair: the rebuild, and the outputs
    // hear that the dose rates changed.
    void DoseRateSettingsSet();

    // The session's state.
    TRecords Records;
    double GraphCoefficient = 0;
    std::int32_t GraphBackground = 0;
    std::uint16_t DeviceCoefficient = 0;
    std::uint16_t DeviceBackground = 0;
    // The connected counter's identifier, 0 while none is; a tick may reset it.
    const std::uint32_t& DeviceId() const { return Acquisition->DeviceId; }

    QTimer& Timer() { return AcquisitionTimer; }
    const TDisplayViews& Views() const { return ViewSet; }
    const TFormatSettings& FormatSettings() const { return Options.FormatSettings; }
    // The device library's entry points, all null while none is loaded.
    const TCounterEntryPoints& EntryPoints() const;
    const TCounterLibrary& Library() const { return CounterLibrary; }
    const TLogFileCommands& Files() const { return *FileCommands; }
    const std::filesystem::path& SettingsPath() const { return Options.SettingsPath; }
    // The output of that type, if one is in use.
    template <typename TOutput> TOutput* FindOutput() const { return OutputList.Find<TOutput>(); }

private:
    TLoggerOptions Options;
    TDisplayViews ViewSet;
    // The only caller of the outputs; the acquisition reports to it too.
    TOutputList OutputList;
    TCounterLibrary CounterLibrary;
    QTimer AcquisitionTimer;
    std::unique_ptr<TAcquisition> Acquisition;
    std::unique_ptr<TLogFileCommands> FileCommands;
    bool Ended = false;
};

} // namespace ostrel
