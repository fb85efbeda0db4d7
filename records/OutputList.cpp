// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/OutputList.h"

namespace ostrel {

void TOutputList::LogBegan() noexcept {
    Meaning.Began();
    Instants.Forget();
    Tell([](TLogOutput& output) { output.LogBegan(); });
}

void TOutputList::LogOpened(const TOpenedLog& log) noexcept {
    TOpenedLog told = log;
    told.Alarm = Meaning.Opened(log.Records, log.GraphCoefficient, log.GraphBackground);
    told.Dose = Meaning.Dose();
    // The live minutes go on after the opened ones; the newest is the
    // minute in progress, whose line the live loop writes. The instants are
    // followed from three hours of minutes back, from before an hour that
    // the clocks repeated just now, so that its second pass keeps its own.
    constexpr std::size_t InstantsBack = 180;
    Instants.Forget();
    const std::size_t count = log.Records.Count();
    for (std::size_t i = count > InstantsBack + 1 ? count - 1 - InstantsBack : 0; i + 1 < count;
         ++i) {
        Instants.Next(log.Records[i].StartTime);
    }
    Tell([&told](TLogOutput& output) { output.LogOpened(told); });
}

void TOutputList::DoseRatesChanged(const TOpenedLog& log) noexcept {
    TOpenedLog told = log;
    told.Alarm = Meaning.Rebuilt(log.Records, log.GraphCoefficient, log.GraphBackground);
    told.Dose = Meaning.Dose();
    Tell([&told](TLogOutput& output) { output.DoseRatesChanged(told); });
}

void TOutputList::CounterConnected(std::uint32_t deviceId) noexcept {
    Tell([deviceId](TLogOutput& output) { output.CounterConnected(deviceId); });
}

void TOutputList::CounterGone() noexcept {
    Tell([](TLogOutput& output) { output.CounterGone(); });
}

void TOutputList::MinuteFinished(const TFinishedMinute& minute) noexcept {
    TFinishedMinute told = minute;
    told.Alarm = Meaning.Finished(minute.DoseRate);
    told.Dose = Meaning.Dose();
    if (minute.Position < Records.Count()) {
        told.MeanCount = RecentMeanCount(Records, minute.Position);
    }
    told.Utc = Instants.Next(minute.Record.StartTime);
    Tell([&told](TLogOutput& output) { output.MinuteFinished(told); });
}

void TOutputList::TickEnded() noexcept {
    Tell([](TLogOutput& output) { output.TickEnded(); });
}

void TOutputList::ProgramEnding() noexcept {
    Tell([](TLogOutput& output) { output.ProgramEnding(); });
}

std::optional<TLeftLog> TOutputList::LeftLog() const noexcept {
    for (const auto& output : Outputs) {
        if (std::optional<TLeftLog> left = output->LeftLog()) {
            return left;
        }
    }
    return std::nullopt;
}

} // namespace ostrel
