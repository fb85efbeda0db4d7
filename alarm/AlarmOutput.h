// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Tells of every change of the dose-rate alarm: a desktop notification, and
// the command of the [Alarm] section run with the state and the dose rate.
// Both from a thread of its own, so that a slow notification service or
// program start never holds up logging.

#include "alarm/AlarmSettings.h"
#include "alarm/DesktopNotification.h"
#include "alarm/DoseAlarm.h"
#include "records/LogOutput.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
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
    explicit TAlarmOutput(TAlarmSettings settings, TReport report = ReportAlarmToStderr);
    // What is still to tell goes first; waits a few seconds at most.
    ~TAlarmOutput() override;
    TAlarmOutput(const TAlarmOutput&) = delete;
    TAlarmOutput& operator=(const TAlarmOutput&) = delete;

    // The state follows the newest line's dose rate: an opened log (or the
    // one taken up after a crash) may switch the alarm at once. A new log
    // keeps it until a line of its own carries a dose rate.
    void LogOpened(const TOpenedLog& log) noexcept override;
    void DoseRatesChanged(const TOpenedLog& log) noexcept override;
    void MinuteFinished(const TFinishedMinute& minute) noexcept override;

    bool IsOn() const { return Alarm.IsOn(); }

    struct TShared;

private:
    void Follow(std::optional<double> doseRate) noexcept;

    TDoseAlarm Alarm;
    std::shared_ptr<TShared> Shared;
    std::thread Worker;
};

// The alarm of the settings file's [Alarm] section; none without a
// threshold. What cannot be used there is told on the standard error stream.
std::unique_ptr<TLogOutput> MakeAlarmOutput(const TOutputContext& context);

} // namespace ostrel
