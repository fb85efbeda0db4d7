// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The radiation maps as outputs. radmon.org, gmcmap.com and sensor.community
// take a
// value without a time, as "now": only the newest minute goes, and only
// while it is new. Safecast takes each minute with its time: every one goes,
// once, in order, kept on the disk until it is accepted.

#include "maps/MapsOutput.h"
#include "maps/SafecastQueue.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

namespace ostrel {

// A value not sent within this long of its minute's end would show on the
// map as a later minute's count: it is dropped.
inline constexpr std::chrono::seconds NewestMinuteLife{60};

// The newest minute due, for a service that takes no time: a minute is due
// Interval minutes after the last one the service accepted.
class TNewestMinuteService final : public TMapsService {
public:
    using TMake = std::function<TMapsRequest(const TMapsMinute&)>;

    TNewestMinuteService(std::string name, int interval, TMake make);

    std::vector<std::string> Take(const std::vector<TMapsMinute>& minutes) override;
    std::optional<TMapsRequest> Next(TSteadyTime now) override;
    std::vector<std::string> Answered(TReplyClass answer) override;
    std::size_t Waiting() const override;
    std::string WhileDown() const override;
    std::string WhenStopped() const override;

private:
    bool Due(const TMapsMinute& minute) const;

    const std::string Name;
    const int Interval;
    const TMake Make;
    std::optional<TMapsMinute> Pending;
    std::optional<TMapsMinute> InFlight;
    std::optional<TDateTime> LastAccepted;
    bool Stopped = false;
};

// Every minute, in order, with its start in UTC; the minutes wait in a
// TSafecastQueue in folder (memory only when folder is empty).
class TSafecastService final : public TMapsService {
public:
    TSafecastService(TSafecastSettings settings, std::filesystem::path folder);

    std::vector<std::string> Open() override;
    std::vector<std::string> Take(const std::vector<TMapsMinute>& minutes) override;
    std::optional<TMapsRequest> Next(TSteadyTime now) override;
    std::vector<std::string> Answered(TReplyClass answer) override;
    std::size_t Waiting() const override { return Queue.Size(); }
    std::string WhileDown() const override;
    std::string WhenStopped() const override;

private:
    const TSafecastSettings Settings;
    TSafecastQueue Queue;
    bool OnTheWay = false;
};

// The outputs of the settings' sections, reporting to report and counting
// their deliveries on deliveries, if given.
std::unique_ptr<TMapsOutput> MakeRadmon(const TRadmonSettings& settings,
                                        TMapsOutput::TReport report = ReportMapsToStderr,
                                        std::shared_ptr<TDeliveryCounter> deliveries = {});
std::unique_ptr<TMapsOutput> MakeGmcmap(const TGmcmapSettings& settings,
                                        TMapsOutput::TReport report = ReportMapsToStderr,
                                        std::shared_ptr<TDeliveryCounter> deliveries = {});
// The queue's file goes into stateFolder/maps; none kept when stateFolder is
// empty.
std::unique_ptr<TMapsOutput> MakeSafecast(const TSafecastSettings& settings,
                                          const std::filesystem::path& stateFolder,
                                          TMapsOutput::TReport report = ReportMapsToStderr,
                                          std::shared_ptr<TDeliveryCounter> deliveries = {});

std::unique_ptr<TMapsOutput> MakeSensorCommunity(const TSensorCommunitySettings& settings,
                                                 TMapsOutput::TReport report = ReportMapsToStderr,
                                                 std::shared_ptr<TDeliveryCounter> deliveries = {});

// The factories of the outputs list: none when the section leaves the
// service off. What cannot be used there is told on the standard error
// stream.
std::unique_ptr<TLogOutput> MakeRadmonOutput(const TOutputContext& context);
std::unique_ptr<TLogOutput> MakeGmcmapOutput(const TOutputContext& context);
std::unique_ptr<TLogOutput> MakeSafecastOutput(const TOutputContext& context);
std::unique_ptr<TLogOutput> MakeSensorCommunityOutput(const TOutputContext& context);

} // namespace ostrel
