// SPDX-License-Identifier: GPL-3.0-or-later
#include "maps/MapsServices.h"

#include "platform/FormatSettings.h"
#include "platform/TextServices.h"

#include <iostream>
#include <utility>

namespace ostrel {

namespace {

constexpr TDateTime MinuteDays = 1.0 / 1440;
// Minute keys are whole minutes; this much below one is rounding.
constexpr TDateTime KeyTolerance = 1.0 / 86400;

} // namespace

TNewestMinuteService::TNewestMinuteService(std::string name, int interval, TMake make)
    : Name(std::move(name)), Interval(interval), Make(std::move(make)) {}

bool TNewestMinuteService::Due(const TMapsMinute& minute) const {
    if (!LastAccepted) {
        return true;
    }
    // A clock set back starts again.
    return minute.Start < *LastAccepted ||
           minute.Start >= *LastAccepted + Interval * MinuteDays - KeyTolerance;
}

std::vector<std::string> TNewestMinuteService::Take(const std::vector<TMapsMinute>& minutes) {
    for (const TMapsMinute& minute : minutes) {
        if (!Stopped && Due(minute)) {
            Pending = minute;
        }
    }
    return {};
}

std::optional<TMapsRequest> TNewestMinuteService::Next(TSteadyTime now) {
    if (Pending && now - Pending->FinishedAt > NewestMinuteLife) {
        Pending.reset();
    }
    if (!Pending) {
        return std::nullopt;
    }
    InFlight = std::exchange(Pending, std::nullopt);
    return Make(*InFlight);
}

std::vector<std::string> TNewestMinuteService::Answered(TReplyClass answer) {
    switch (answer) {
    case TReplyClass::Accepted:
        LastAccepted = InFlight->Start;
        break;
    case TReplyClass::Transient:
        // Tried again unless a newer minute came meanwhile.
        if (!Pending) {
            Pending = InFlight;
        }
        break;
    case TReplyClass::Permanent:
        Pending.reset();
        Stopped = true;
        break;
    }
    InFlight.reset();
    return {};
}

std::size_t TNewestMinuteService::Waiting() const {
    return (Pending ? 1 : 0) + (InFlight ? 1 : 0);
}

std::string TNewestMinuteService::WhileDown() const {
    return "the newest minute goes once it answers";
}

std::string TNewestMinuteService::WhenStopped() const {
    return "nothing more goes to " + Name + " in this run";
}

TSafecastService::TSafecastService(TSafecastSettings settings, std::filesystem::path folder)
    : Settings(std::move(settings)), Queue(std::move(folder)) {}

std::vector<std::string> TSafecastService::Open() {
    return Queue.Open();
}

std::vector<std::string> TSafecastService::Take(const std::vector<TMapsMinute>& minutes) {
    std::vector<TQueuedMinute> queued;
    std::vector<std::string> told;
    for (const TMapsMinute& minute : minutes) {
        // From the minute's real instant: the labels of the hour that
        // repeats in autumn name two.
        if (std::optional<std::string> utc = minute.Utc ? UtcText(*minute.Utc) : std::nullopt) {
            queued.push_back({std::move(*utc), minute.Count});
        } else {
            told.push_back("the minute of " +
                           FormatDateTime("yyyy-mm-dd hh:nn", minute.Start, TFormatSettings{}) +
                           " has no time in UTC here; it is not sent");
        }
    }
    for (std::string& line : Queue.Add(queued)) {
        told.push_back(std::move(line));
    }
    return told;
}

std::optional<TMapsRequest> TSafecastService::Next(TSteadyTime /*now*/) {
    const TQueuedMinute* front = Queue.Front();
    if (front == nullptr) {
        return std::nullopt;
    }
    OnTheWay = true;
    Queue.Hold(true);
    return SafecastRequest(Settings, front->CapturedAt, front->Count);
}

std::vector<std::string> TSafecastService::Answered(TReplyClass answer) {
    std::vector<std::string> told;
    if (OnTheWay && answer == TReplyClass::Accepted) {
        told = Queue.TakeFront();
    }
    OnTheWay = false;
    for (std::string& line : Queue.Hold(false)) {
        told.push_back(std::move(line));
    }
    return told;
}

std::string TSafecastService::WhileDown() const {
    return "the minutes are kept and sent in order once it answers";
}

std::string TSafecastService::WhenStopped() const {
    if (Queue.File().empty()) {
        return "nothing more goes to Safecast in this run";
    }
    return "nothing more goes to Safecast in this run; the minutes wait in " +
           Queue.File().string() + " for the next";
}

std::unique_ptr<TMapsOutput> MakeRadmon(const TRadmonSettings& settings,
                                        TMapsOutput::TReport report,
                                        std::shared_ptr<TDeliveryCounter> deliveries) {
    TMapsTarget target{
        TMapService::Radmon, "radmon.org",      PrintableUrl(settings.Url + RadmonPath),
        {settings.Password}, settings.Timeouts, std::move(deliveries)};
    auto service = std::make_unique<TNewestMinuteService>(
        target.Name, settings.Interval,
        [settings](const TMapsMinute& minute) { return RadmonRequest(settings, minute.Count); });
    return std::make_unique<TMapsOutput>(std::move(target), std::move(service), std::move(report));
}

std::unique_ptr<TMapsOutput> MakeGmcmap(const TGmcmapSettings& settings,
                                        TMapsOutput::TReport report,
                                        std::shared_ptr<TDeliveryCounter> deliveries) {
    // The account ID names the account as a user name does: no password,
    // and a short number masked would garble every line.
    TMapsTarget target{
        TMapService::Gmcmap, "gmcmap.com",         PrintableUrl(settings.Url + GmcmapPath), {},
        settings.Timeouts,   std::move(deliveries)};
    auto service = std::make_unique<TNewestMinuteService>(
        target.Name, settings.Interval, [settings](const TMapsMinute& minute) {
            return GmcmapRequest(settings, minute.Count, minute.AverageCpm, minute.DoseRate);
        });
    return std::make_unique<TMapsOutput>(std::move(target), std::move(service), std::move(report));
}

std::unique_ptr<TMapsOutput> MakeSafecast(const TSafecastSettings& settings,
                                          const std::filesystem::path& stateFolder,
                                          TMapsOutput::TReport report,
                                          std::shared_ptr<TDeliveryCounter> deliveries) {
    TMapsTarget target{
        TMapService::Safecast, "Safecast",        PrintableUrl(settings.Url + SafecastPath),
        {settings.ApiKey},     settings.Timeouts, std::move(deliveries)};
    auto service = std::make_unique<TSafecastService>(
        settings, stateFolder.empty() ? std::filesystem::path() : stateFolder / "maps");
    return std::make_unique<TMapsOutput>(std::move(target), std::move(service), std::move(report));
}

std::unique_ptr<TMapsOutput> MakeSensorCommunity(const TSensorCommunitySettings& settings,
                                                 TMapsOutput::TReport report,
                                                 std::shared_ptr<TDeliveryCounter> deliveries) {
    // The sensor's name is on the network's public map: nothing secret.
    TMapsTarget target{TMapService::SensorCommunity,
                       "sensor.community",
                       PrintableUrl(settings.Url),
                       {},
                       settings.Timeouts,
                       std::move(deliveries)};
    auto service = std::make_unique<TNewestMinuteService>(
        target.Name, settings.Interval, [settings](const TMapsMinute& minute) {
            return SensorCommunityRequest(settings, minute.Count);
        });
    return std::make_unique<TMapsOutput>(std::move(target), std::move(service), std::move(report));
}

std::unique_ptr<TLogOutput> MakeRadmonOutput(const TOutputContext& context) {
    const auto settings = ReadRadmonSettings(
        TSettingsSection(context.SettingsPath, std::string(RadmonSection)), std::cerr);
    return settings ? MakeRadmon(*settings, ReportMapsToStderr, context.Deliveries->Join("radmon"))
                    : nullptr;
}

std::unique_ptr<TLogOutput> MakeGmcmapOutput(const TOutputContext& context) {
    const auto settings = ReadGmcmapSettings(
        TSettingsSection(context.SettingsPath, std::string(GmcmapSection)), std::cerr);
    return settings ? MakeGmcmap(*settings, ReportMapsToStderr, context.Deliveries->Join("gmcmap"))
                    : nullptr;
}

std::unique_ptr<TLogOutput> MakeSafecastOutput(const TOutputContext& context) {
    const auto settings = ReadSafecastSettings(
        TSettingsSection(context.SettingsPath, std::string(SafecastSection)), std::cerr);
    return settings ? MakeSafecast(*settings, context.StateFolder, ReportMapsToStderr,
                                   context.Deliveries->Join("safecast"))
                    : nullptr;
}

std::unique_ptr<TLogOutput> MakeSensorCommunityOutput(const TOutputContext& context) {
    const auto settings = ReadSensorCommunitySettings(
        TSettingsSection(context.SettingsPath, std::string(SensorCommunitySection)), std::cerr);
    return settings ? MakeSensorCommunity(*settings, ReportMapsToStderr,
                                          context.Deliveries->Join("sensorcommunity"))
                    : nullptr;
}

} // namespace ostrel
