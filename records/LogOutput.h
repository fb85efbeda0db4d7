// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What consumes finished minutes besides the window's views: the journal,
// the MQTT publisher and whatever comes next. Each is an output with this
// one lifecycle, told by the logger core; an output overrides only what it
// needs, so the core never names one.

#include "platform/FormatSettings.h"
#include "records/DeliveryCounters.h"
#include "records/DoseAlarm.h"
#include "records/MinuteMeaning.h"
#include "records/MinuteRecords.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

// What the live loop tells about each minute it finishes, at the moment it
// writes that minute's log line, and what the minute means (the output list
// works that out once for all outputs).
struct TFinishedMinute {
    TMinuteRecord Record;           // the finished minute, with its final count
    std::optional<double> DoseRate; // the dose rate on its line, if the line has one
    std::string_view Line;          // the log line, exactly as the list shows it
    std::size_t Position = 0;       // the record's index in Records
    double MeanCount = 0; // of this minute and those before it that the dose rate is made of
    double Dose = 0;      // µSv of the log so far, this minute included
    TAlarmState Alarm{};  // the dose-rate alarm after this minute
    // The minute's start, seconds since 1970-01-01 UTC; none when its label
    // names no instant here (the hour skipped in spring).
    std::optional<std::int64_t> Utc{};
};

// A log read from a file, just rebuilt: its records and the pair the
// rebuild's dose rates were made with, and what the log means as a whole.
// Valid only during the call.
struct TOpenedLog {
    const TRecords& Records;
    double GraphCoefficient;
    std::int32_t GraphBackground;
    const TFormatSettings& FormatSettings;
    double Dose = 0;     // µSv of every line
    TAlarmState Alarm{}; // the dose-rate alarm at the newest line
};

// What a run that ended without Exit (a crash, a kill, a power cut) left:
// the file that holds its log's finished minutes (none when no minute was
// finished) and whether a counter was logging.
struct TLeftLog {
    std::filesystem::path File;
    bool Logging = false;
};

// No call may throw: an output that fails keeps its own error and reports it
// its own way (through TOutputContext::Report), and logging goes on.
class TLogOutput {
public:
    virtual ~TLogOutput() = default;
    // A log begins, empty: at start-up, on New, and on Open before the
    // file's records are read.
    virtual void LogBegan() noexcept {}
    // Open has read a file's records and rebuilt the display from them.
    virtual void LogOpened(const TOpenedLog& /*log*/) noexcept {}
    // The coefficient or the background was set and the display rebuilt:
    // the dose rate of every line may be another now.
    virtual void DoseRatesChanged(const TOpenedLog& /*log*/) noexcept {}
    // Start has connected a counter with this identifier.
    virtual void CounterConnected(std::uint32_t /*deviceId*/) noexcept {}
    // Logging has ended: the counter said it is gone (after Stop, or lost).
    virtual void CounterGone() noexcept {}
    // One call per finished minute, in the order the lines are written.
    virtual void MinuteFinished(const TFinishedMinute& /*minute*/) noexcept {}
    // Once at the end of every tick that finished at least one minute, after
    // its last MinuteFinished: the place for one flush per tick.
    virtual void TickEnded() noexcept {}
    // The program ends: what can still be delivered goes now. Called before
    // the settings are written; the output is destroyed after them.
    virtual void ProgramEnding() noexcept {}

    // Asked once at start-up: the log that the last run left, if this
    // output kept it and that run ended without Exit.
    virtual std::optional<TLeftLog> LeftLog() const noexcept { return std::nullopt; }
};

using TLogOutputs = std::vector<std::unique_ptr<TLogOutput>>;

// What an output is made from. Each reads its own section of the settings
// file and is left out when its settings turn it off.
struct TOutputContext {
    std::filesystem::path SettingsPath;
    // The program's folder for what it keeps for itself ($XDG_STATE_HOME/
    // ostrel); empty: nothing is kept on the disk.
    std::filesystem::path StateFolder;
    std::string HostName;
    // A failure the user should see, one line of text; called from any
    // thread. The driver shows it its own way (a box, the error stream).
    std::function<void(const std::string& text)> Report;
    // The dose-rate alarm's thresholds, which every minute's alarm state
    // follows; off unless the settings set one.
    TAlarmLevels Alarm{};
    // What the user calls this station ([Station] Name=, else the profile's
    // name): a name to show, never a key. Empty when neither gives one; the
    // host's name then stands for it where a name must be shown.
    std::string StationName{};
    // Which of several loggers on this computer this is: the profile's name,
    // or the state subfolder of a settings file given by path; empty for the
    // one run without either. A key: what must differ between two loggers
    // (a client's id at a broker, a default topic) follows it.
    std::string Instance{};
    // The counter's family ("gmc", "simulated counter"); empty: not known.
    std::string CounterModel{};
    // Where the outputs that send minutes away count their deliveries:
    // one board for every output of the set.
    std::shared_ptr<TDeliveryBoard> Deliveries = std::make_shared<TDeliveryBoard>();
};

} // namespace ostrel
