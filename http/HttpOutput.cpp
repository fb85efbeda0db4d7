// SPDX-License-Identifier: GPL-3.0-or-later
#include "http/HttpOutput.h"

#include "http/HttpSettings.h"

#include <iostream>
#include <utility>

namespace ostrel {

void ReportHttpToStderr(const std::string& text) {
    std::cerr << ("ostrel: HTTP: " + text + "\n") << std::flush;
}

std::vector<THttpMinute> BoardMinutes(const TOpenedLog& log) {
    std::vector<THttpMinute> minutes;
    minutes.reserve(log.Records.Count());
    TMinuteInstants instants;
    std::int64_t key = 0;
    std::string line;
    for (std::size_t k = 0; k < log.Records.Count(); ++k) {
        line.clear();
        AppendRebuiltLine(line, log.Records, k, log.GraphCoefficient, log.GraphBackground,
                          log.FormatSettings);
        THttpMinute minute;
        minute.Utc = instants.Next(log.Records[k].StartTime);
        key = minute.Utc.value_or(key);
        minute.Key = key;
        minute.Label = LineLabel(line);
        minute.Count = log.Records[k].Count;
        if (k >= DoseRateWindow) {
            minute.DoseRate =
                DoseRateBefore(log.Records, k, log.GraphCoefficient, log.GraphBackground);
        }
        minutes.push_back(std::move(minute));
    }
    return minutes;
}

THttpOutput::THttpOutput(THttpServerSetup setup, std::shared_ptr<TDeliveryBoard> deliveries,
                         const std::function<void(const std::string&)>& report)
    : Server(std::move(setup), Board, std::move(deliveries)) {
    if (const std::string failure = Server.Start(); !failure.empty()) {
        report(failure);
    }
}

THttpOutput::~THttpOutput() {
    Server.Stop();
}

void THttpOutput::LogBegan() noexcept {
    Board->Replace({});
}

void THttpOutput::Rebuilt(const TOpenedLog& log) noexcept {
    try {
        Board->Replace(BoardMinutes(log));
    } catch (...) {
        // Out of memory: the pages show the minutes that come from now on.
        Board->Replace({});
    }
}

void THttpOutput::LogOpened(const TOpenedLog& log) noexcept {
    Rebuilt(log);
}

void THttpOutput::DoseRatesChanged(const TOpenedLog& log) noexcept {
    Rebuilt(log);
}

void THttpOutput::CounterConnected(std::uint32_t /*deviceId*/) noexcept {
    Board->Connected(true);
}

void THttpOutput::CounterGone() noexcept {
    Board->Connected(false);
}

void THttpOutput::MinuteFinished(const TFinishedMinute& minute) noexcept {
    try {
        THttpMinute item;
        item.Utc = minute.Utc;
        item.Key = minute.Utc.value_or(Board->LastKey());
        item.Label = LineLabel(minute.Line);
        item.Count = minute.Record.Count;
        item.DoseRate = minute.DoseRate;
        Board->Finished(std::move(item), minute.Dose, minute.Alarm);
    } catch (...) {
        // Out of memory: the pages miss this minute; the log has it.
    }
}

void THttpOutput::ProgramEnding() noexcept {
    Server.Stop();
}

std::unique_ptr<TLogOutput> MakeHttpOutput(const TOutputContext& context) {
    auto settings = ReadHttpSettings(
        TSettingsSection(context.SettingsPath, std::string(HttpSection)), std::cerr);
    if (!settings) {
        return nullptr;
    }
    const std::string& station =
        context.StationName.empty() ? context.HostName : context.StationName;
    THttpServerSetup setup{std::move(*settings), OSTREL_VERSION, station, {}};
    return std::make_unique<THttpOutput>(std::move(setup), context.Deliveries);
}

} // namespace ostrel
