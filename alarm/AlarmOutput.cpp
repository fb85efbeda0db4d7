// SPDX-License-Identifier: GPL-3.0-or-later
#include "alarm/AlarmOutput.h"

#include "platform/TextServices.h"

#include <QProcess>
#include <QString>
#include <QStringList>

#include <chrono>
#include <deque>
#include <iostream>
#include <mutex>
#include <utility>

namespace ostrel {

using namespace std::chrono_literals;

namespace {

// The end waits no longer than this for the thread.
constexpr auto EndWait = 3s;

} // namespace

void ReportAlarmToStderr(const std::string& text) {
    std::cerr << ("ostrel: alarm: " + text + "\n") << std::flush;
}

std::vector<std::string> AlarmCommandLine(const std::vector<std::string>& command,
                                          const TAlarmChange& change) {
    std::vector<std::string> words = command;
    words.emplace_back(change.On ? AlarmOnText : AlarmOffText);
    words.push_back(FloatToStr(change.DoseRate, TFormatSettings{}));
    return words;
}

struct TAlarmOutput::TShared : TThreadControl {
    TShared(TAlarmSettings settings, TReport report, std::string station)
        : Settings(std::move(settings)), Report(std::move(report)), Station(std::move(station)) {}

    const TAlarmSettings Settings;
    const TReport Report;
    const std::string Station;

    std::deque<TAlarmChange> Changes;
};

namespace {

using TShared = TAlarmOutput::TShared;

// Started detached, without a shell: the program is the first word, found
// on the PATH when it has no folder, and it outlives the logger if it must.
void RunCommand(const TShared& shared, const TAlarmChange& change) {
    const std::vector<std::string> words = AlarmCommandLine(shared.Settings.Command, change);
    QStringList arguments;
    for (std::size_t i = 1; i < words.size(); ++i) {
        arguments << QString::fromStdString(words[i]);
    }
    if (!QProcess::startDetached(QString::fromStdString(words[0]), arguments)) {
        shared.Report("cannot run " + words[0]);
    }
}

void RunWorker(const std::shared_ptr<TShared>& shared) {
    std::unique_lock lock(shared->Mutex);
    for (;;) {
        shared->Wake.wait(lock, [&] { return shared->StopRequested || !shared->Changes.empty(); });
        if (shared->Changes.empty()) {
            break;
        }
        const TAlarmChange change = shared->Changes.front();
        shared->Changes.pop_front();
        lock.unlock();
        ShowDesktopNotification(AlarmNotification(change, shared->Settings, shared->Station));
        if (!shared->Settings.Command.empty()) {
            RunCommand(*shared, change);
        }
        lock.lock();
    }
}

} // namespace

TAlarmOutput::TAlarmOutput(TAlarmSettings settings, TReport report, std::string station)
    : Shared(
          std::make_shared<TShared>(std::move(settings), std::move(report), std::move(station))) {
    Worker.Start(Shared, RunWorker);
}

TAlarmOutput::~TAlarmOutput() {
    Worker.Stop(EndWait);
}

void TAlarmOutput::Follow(const TAlarmState& alarm) noexcept {
    On = alarm.On;
    if (!alarm.Switched) {
        return;
    }
    try {
        std::lock_guard lock(Shared->Mutex);
        Shared->Changes.push_back({alarm.On, alarm.SwitchedAt});
        Shared->Wake.notify_all();
    } catch (...) {
        // Out of memory: this change is not told; the next one is.
    }
}

void TAlarmOutput::LogOpened(const TOpenedLog& log) noexcept {
    Follow(log.Alarm);
}

void TAlarmOutput::DoseRatesChanged(const TOpenedLog& log) noexcept {
    Follow(log.Alarm);
}

void TAlarmOutput::MinuteFinished(const TFinishedMinute& minute) noexcept {
    Follow(minute.Alarm);
}

TAlarmSettings ReadAlarmSection(const std::filesystem::path& settingsPath) {
    return ReadAlarmSettings(TSettingsSection(settingsPath, std::string(AlarmSection)), std::cerr);
}

std::unique_ptr<TLogOutput> MakeAlarmOutput(const TAlarmSettings& settings,
                                            const std::string& station) {
    if (!settings.Enabled()) {
        return nullptr;
    }
    return std::make_unique<TAlarmOutput>(settings, ReportAlarmToStderr, station);
}

} // namespace ostrel
