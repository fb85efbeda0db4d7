// SPDX-License-Identifier: GPL-3.0-or-later
#include "influx/InfluxOutput.h"

#include "platform/FormatSettings.h"
#include "platform/TextServices.h"

#include <algorithm>
#include <iostream>
#include <utility>

namespace ostrel {

namespace {

constexpr TQueueFormat InfluxFormat{InfluxQueueFile, InfluxQueueLock, IsInfluxLine,
                                    InfluxLineStart};

TVerdict ClassifyV1(const THttpReply& reply) {
    return ClassifyInfluxReply(TInfluxApi::V1, reply);
}

TVerdict ClassifyV2(const THttpReply& reply) {
    return ClassifyInfluxReply(TInfluxApi::V2, reply);
}

} // namespace

TInfluxService::TInfluxService(TInfluxSettings settings, TInfluxTags tags,
                               std::filesystem::path folder)
    : Settings(std::move(settings)), Tags(std::move(tags)), Queue(InfluxFormat, std::move(folder)) {
}

std::vector<std::string> TInfluxService::Take(const std::vector<TMapsMinute>& minutes) {
    std::vector<std::string> lines;
    std::vector<std::string> told;
    for (const TMapsMinute& minute : minutes) {
        // From the minute's real instant: the labels of the hour that
        // repeats in autumn name two.
        if (!minute.Utc) {
            told.push_back("the minute of " +
                           FormatDateTime("yyyy-mm-dd hh:nn", minute.Start, TFormatSettings{}) +
                           " has no time in UTC here; it is not sent");
            continue;
        }
        TInfluxTags tags = Tags;
        if (tags.Counter.empty() && minute.DeviceId != 0) {
            tags.Counter = std::to_string(minute.DeviceId);
        }
        lines.push_back(InfluxLine(tags, *minute.Utc, minute.Count, minute.DoseRate));
    }
    for (std::string& line : Queue.Add(lines)) {
        told.push_back(std::move(line));
    }
    return told;
}

std::optional<TMapsRequest> TInfluxService::Next(TSteadyTime /*now*/) {
    const std::deque<std::string>& waiting = Queue.Minutes();
    if (waiting.empty()) {
        return std::nullopt;
    }
    OnTheWay = std::min(waiting.size(), InfluxBatch);
    std::string body;
    for (std::size_t k = 0; k < OnTheWay; ++k) {
        body += waiting[k] + "\n";
    }
    Queue.Hold(true);
    return InfluxWriteRequest(Settings, std::move(body));
}

std::vector<std::string> TInfluxService::Answered(TReplyClass answer) {
    std::vector<std::string> told;
    if (answer == TReplyClass::Accepted) {
        told = Queue.TakeFront(OnTheWay);
    }
    OnTheWay = 0;
    for (std::string& line : Queue.Hold(false)) {
        told.push_back(std::move(line));
    }
    return told;
}

std::string TInfluxService::WhileDown() const {
    return "the minutes are kept and sent in order once it answers";
}

std::string TInfluxService::WhenStopped() const {
    if (Queue.File().empty()) {
        return "nothing more goes to InfluxDB in this run";
    }
    return "nothing more goes to InfluxDB in this run; the minutes wait in " +
           Queue.File().string() + " for the next";
}

std::unique_ptr<TMapsOutput> MakeInflux(const TInfluxSettings& settings, const TInfluxTags& tags,
                                        const std::filesystem::path& stateFolder,
                                        TMapsOutput::TReport report,
                                        std::shared_ptr<TDeliveryCounter> deliveries) {
    const bool v1 = settings.Api == TInfluxApi::V1;
    TMapsTarget target{
        .Name = "InfluxDB",
        .Where = PrintableUrl(settings.Url + (v1 ? InfluxV1WritePath : InfluxV2WritePath)),
        .Secrets = InfluxSecrets(settings),
        .Timeouts = settings.Timeouts,
        .Deliveries = std::move(deliveries),
        .Classify = v1 ? ClassifyV1 : ClassifyV2,
    };
    auto service = std::make_unique<TInfluxService>(
        settings, tags, stateFolder.empty() ? std::filesystem::path() : stateFolder / "influxdb");
    return std::make_unique<TMapsOutput>(std::move(target), std::move(service), std::move(report));
}

std::unique_ptr<TLogOutput> MakeInfluxOutput(const TOutputContext& context) {
    const auto settings = ReadInfluxSettings(
        TSettingsSection(context.SettingsPath, std::string(InfluxSection)), std::cerr);
    if (!settings) {
        return nullptr;
    }
    const TInfluxTags tags{context.CounterModel,
                           context.StationName.empty() ? context.HostName : context.StationName};
    return MakeInflux(*settings, tags, context.StateFolder, ReportMapsToStderr,
                      context.Deliveries->Join("influxdb"));
}

} // namespace ostrel
