// SPDX-License-Identifier: GPL-3.0-or-later
#include "alarm/AlarmOutput.h"

#include "platform/TextServices.h"

#include <QProcess>
#include <QString>
#include <QStringList>

#include <chrono>
#include <condition_variable>
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

struct TAlarmOutput::TShared {
    TShared(TAlarmSettings settings, TReport report)
        : Settings(std::move(settings)), Report(std::move(report)) {}

    const TAlarmSettings Settings;
    const TReport Report;

    std::mutex Mutex;
    std::condition_variable Wake;
    std::deque<TAlarmChange> Changes;
    bool StopRequested = false;
    bool Ended = false;
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
        ShowDesktopNotification(AlarmNotification(change, shared->Settings));
        if (!shared->Settings.Command.empty()) {
            RunCommand(*shared, change);
        }
        lock.lock();
    }
    shared->Ended = true;
    shared->Wake.notify_all();
}

} // namespace

TAlarmOutput::TAlarmOutput(TAlarmSettings settings, TReport report)
    : Alarm(settings), Shared(std::make_shared<TShared>(std::move(settings), std::move(report))) {
    Worker = std::thread([shared = Shared] { RunWorker(shared); });
}

TAlarmOutput::~TAlarmOutput() {
    std::unique_lock lock(Shared->Mutex);
    Shared->StopRequested = true;
    Shared->Wake.notify_all();
    const bool ended = Shared->Wake.wait_for(lock, EndWait, [this] { return Shared->Ended; });
    lock.unlock();
    if (ended) {
        Worker.join();
    } else {
        // Waiting on a notification service that does not answer: the
        // thread holds its own share of the state and ends with the process.
        Worker.detach();
    }
}

void TAlarmOutput::Follow(std::optional<double> doseRate) noexcept {
    if (!Alarm.Follow(doseRate)) {
        return;
    }
    try {
        std::lock_guard lock(Shared->Mutex);
        Shared->Changes.push_back({Alarm.IsOn(), *doseRate});
        Shared->Wake.notify_all();
    } catch (...) {
        // Out of memory: this change is not told; the next one is.
    }
}

void TAlarmOutput::LogOpened(const TOpenedLog& log) noexcept {
    Follow(NewestDoseRate(log));
}

void TAlarmOutput::DoseRatesChanged(const TOpenedLog& log) noexcept {
    Follow(NewestDoseRate(log));
}

void TAlarmOutput::MinuteFinished(const TFinishedMinute& minute) noexcept {
    Follow(minute.DoseRate);
}

std::unique_ptr<TLogOutput> MakeAlarmOutput(const TOutputContext& context) {
    TAlarmSettings settings = ReadAlarmSettings(
        TSettingsSection(context.SettingsPath, std::string(AlarmSection)), std::cerr);
    if (!settings.Enabled()) {
        return nullptr;
    }
    return std::make_unique<TAlarmOutput>(std::move(settings));
}

} // namespace ostrel
