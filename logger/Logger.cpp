// SPDX-License-Identifier: GPL-3.0-or-later
#include "logger/Logger.h"

#include "files/NewCommand.h"
#include "platform/ProfileFile.h"
#include "settings/SettingsFile.h"
#include "views/RebuildDisplay.h"

#include <exception>
#include <iostream>
#include <optional>
#include <ostream>
#include <utility>

namespace ostrel {

namespace {

// Without anyone to ask, no file is chosen.
class TNoFileChooser final : public TFileChooser {
public:
    std::optional<std::string> ChooseOpenFile(const std::string&) override { return {}; }
    std::optional<std::string> ChooseSaveFile(const std::string&) override { return {}; }
};

void RunTickReportingToStderr(const std::function<void()>& tick) {
    try {
        tick();
    } catch (const std::exception& error) {
        std::cerr << ("ostrel: " + std::string(error.what()) + "\n") << std::flush;
    } catch (...) {
        std::cerr << "ostrel: unknown error\n" << std::flush;
    }
}

} // namespace

TLogger::TLogger(TLoggerOptions options, TDisplayViews views)
    : Options(std::move(options)), ViewSet(views),
      OutputList(Records, std::move(Options.Outputs), Options.Alarm),
      CounterLibrary(Options.LibraryCandidates) {
    if (!Options.Chooser) {
        Options.Chooser = std::make_shared<TNoFileChooser>();
    }
    if (!Options.RunTick) {
        Options.RunTick = RunTickReportingToStderr;
    }
    AcquisitionTimer.setInterval(TimerInterval);
    QObject::connect(&AcquisitionTimer, &QTimer::timeout, &AcquisitionTimer,
                     [this] { Options.RunTick([this] { Tick(); }); });
    Acquisition = std::make_unique<TAcquisition>(
        EntryPoints(), TAcquisitionTargets{Records, ViewSet, GraphCoefficient, GraphBackground},
        Options.FormatSettings);
    Acquisition->OnTimerSwitched = [this](bool on) {
        if (on) {
            AcquisitionTimer.start();
        } else {
            AcquisitionTimer.stop();
        }
    };
    Acquisition->ReportTo(&OutputList);
    FileCommands = std::make_unique<TLogFileCommands>(TLogFileParts{
        *Options.Chooser, Records, [this]() -> const TLogView& { return ViewSet.Log; },
        [this] { New(); }, [this] { RebuildDisplay(); }, Options.FormatSettings});
}

TLogger::~TLogger() {
    AcquisitionTimer.stop();
}

const TCounterEntryPoints& TLogger::EntryPoints() const {
    return Options.Device != nullptr ? *Options.Device : CounterLibrary.EntryPoints();
}

bool TLogger::LoadCounterLibrary() {
    if (Options.Device != nullptr || CounterLibrary.LoadCounterLibrary()) {
        return true;
    }
    // The box says only that it failed; this says where it was looked for.
    const std::vector<std::string>& tried = CounterLibrary.Candidates();
    if (!tried.empty()) {
        std::string text = "ostrel: no device library could be loaded; tried";
        for (std::size_t i = 0; i < tried.size(); ++i) {
            text += (i == 0 ? " " : ", ") + tried[i];
        }
        std::cerr << (text + "\n") << std::flush;
    }
    return false;
}

void TLogger::ReadSettings() {
    const TGraphSettings graph = ReadGraphSettings(Options.SettingsPath, Options.FormatSettings);
    GraphCoefficient = graph.GraphCoefficient;
    GraphBackground = graph.GraphBackground;
    Acquisition->DeviceId = 0;
}

void TLogger::End() {
    if (Ended) {
        return;
    }
    Ended = true;
    AcquisitionTimer.stop();
    OutputList.ProgramEnding();
    // The library is released even when the settings cannot be written, so
    // its Clear always comes; the write error is still thrown. An output
    // that says goodbye (MQTT's "offline") does so after the settings,
    // whatever became of them.
    const auto close = [this] {
        OutputList.Close();
        CounterLibrary.UnloadCounterLibrary();
    };
    try {
        WriteGraphSettings(Options.SettingsPath, GraphCoefficient, GraphBackground,
                           Options.FormatSettings);
    } catch (...) {
        close();
        throw;
    }
    close();
}

void TLogger::New() {
    NewClick([this] { FileCommands->NewFileNames(); }, ViewSet, Records);
    OutputList.LogBegan();
}

bool TLogger::Open() {
    // Open runs New, which begins the opened log for the outputs.
    if (!FileCommands->OpenClick()) {
        return false;
    }
    OutputList.LogOpened({Records, GraphCoefficient, GraphBackground, Options.FormatSettings});
    return true;
}

void TLogger::ResumeLeftLog(std::ostream& report) {
    const std::optional<TLeftLog> left = OutputList.LeftLog();
    if (!left) {
        return;
    }
    std::string told = "ostrel: the last run ended unexpectedly";
    if (!left->File.empty()) {
        const std::string file = PathText(left->File);
        try {
            FileCommands->OpenWithoutName(file);
            OutputList.LogOpened(
                {Records, GraphCoefficient, GraphBackground, Options.FormatSettings});
            told += "; its " + std::to_string(Records.Count()) + " minutes are back from " + file;
        } catch (const std::exception& error) {
            told += "; its log cannot be read back: " + std::string(error.what());
        }
    }
    if (left->Logging) {
        told += "; logging again";
    }
    report << (told + "\n") << std::flush;
    if (left->Logging) {
        Start();
    }
}

void TLogger::Save() {
    FileCommands->SaveClick();
}

void TLogger::SaveAs() {
    FileCommands->SaveAsClick();
}

void TLogger::Start() {
    Acquisition->StartClick();
}

void TLogger::Stop() {
    Acquisition->StopClick();
}

void TLogger::Tick() {
    Acquisition->TimerTimer();
}

void TLogger::RebuildDisplay() {
    ostrel::RebuildDisplay(Records, GraphCoefficient, GraphBackground, ViewSet,
                           Options.FormatSettings);
}

void TLogger::DoseRateSettingsSet() {
    RebuildDisplay();
    OutputList.DoseRatesChanged(
        {Records, GraphCoefficient, GraphBackground, Options.FormatSettings});
}

} // namespace ostrel
