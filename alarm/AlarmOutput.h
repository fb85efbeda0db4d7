// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Tells of every change of the dose-rate alarm: a desktop notification, and
// the command of the [Alarm] section run with the state and the dose rate.
// Both from a thread of its own, so that a slow notification service or
// program start never holds up logging.

#include "alarm/AlarmSettings.h"
#include "alarm/DesktopNotification.h"
#include "records/LogOutput.h"
#include "records/OutputThread.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ostrel {

// Prints "ostrel: alarm: <text>" as one line on the standard error stream.
void ReportAlarmToStderr(const std::string& text);

// The command's words followed by the state (ON or OFF) and the dose rate
// with "." as the decimal point, in the digits of the log line.
std::vector<std::string> AlarmCommandLine(const std::vector<std::string>& command,
                                          const TAlarmChange& change);

class TAlarmOutput final : public TLogOutput {
public:
    using TReport = std::function<void(const std::string& text)>;

    // settings must be enabled. report gets a line for a command that cannot
    // be started, from the output's thread.
    // station names the notifications' station (see AlarmNotification).
    explicit TAlarmOutput(TAlarmSettings settings, TReport report = ReportAlarmToStderr,
                          std::string station = {});
    // What is still to tell goes first; waits a few seconds at most.
    ~TAlarmOutput() override;
    TAlarmOutput(const TAlarmOutput&) = delete;
    TAlarmOutput& operator=(const TAlarmOutput&) = delete;

    // Every switch of the alarm is told, in the order of the minutes: by a
    // minute's line, by an opened log (or the one taken up after a crash),
    // whose newest line may switch it at once, and by a coefficient or
    // background set in the dialog. A new log keeps it until a line of its
    // own carries a dose rate.
    void LogOpened(const TOpenedLog& log) noexcept override;
    void DoseRatesChanged(const TOpenedLog& log) noexcept override;
    void MinuteFinished(const TFinishedMinute& minute) noexcept override;

    bool IsOn() const { return On; }

    struct TShared;

private:
    void Follow(const TAlarmState& alarm) noexcept;

    bool On = false;
    std::shared_ptr<TShared> Shared;
    TOutputThread Worker;
};

// The settings file's [Alarm] section. What cannot be used there is told on
// the standard error stream.
TAlarmSettings ReadAlarmSection(const std::filesystem::path& settingsPath);

// The alarm of those settings; none without a threshold.
std::unique_ptr<TLogOutput> MakeAlarmOutput(const TAlarmSettings& settings,
                                            const std::string& station = {});

} // namespace ostrel
