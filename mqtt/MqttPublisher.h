// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Publishes every finished minute to an MQTT broker from a thread of its own,
// so that the window never waits on the network. Minutes the broker has not
// acknowledged yet are kept, in order, and sent again after an outage. The
// dose of the log so far goes with each minute, and the dose-rate alarm's
// state on a topic of its own, each switch after the minute that made it.

#include "mqtt/MqttSettings.h"
#include "records/DeliveryCounters.h"
#include "records/DoseAlarm.h"
#include "records/LogOutput.h"
#include "records/OutputThread.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace ostrel {

// Prints "ostrel: MQTT: <text>" as one line on the standard error stream.
void ReportMqttToStderr(const std::string& text);

class TMqttPublisher final : public TLogOutput {
public:
    using TReport = std::function<void(const std::string& text)>;
    // A day of minutes; older ones are dropped beyond this.
    static constexpr std::size_t MaxUnsent = 1440;

    // Starts connecting at once; settings must have a host. report gets one
    // line per outage and per run of dropped minutes, from any thread. An
    // enabled alarm gets its topic and its binary sensor. deliveries, if
    // given, counts what the broker acknowledges and each lost connection
    // that held minutes.
    explicit TMqttPublisher(TMqttSettings settings, TReport report = ReportMqttToStderr,
                            const TAlarmLevels& alarm = {},
                            std::shared_ptr<TDeliveryCounter> deliveries = {});
    // Says "offline" and disconnects when connected; waits a few seconds at
    // most, also when the broker has gone.
    ~TMqttPublisher() override;
    TMqttPublisher(const TMqttPublisher&) = delete;
    TMqttPublisher& operator=(const TMqttPublisher&) = delete;

    // An opened log, or a coefficient set in the dialog, may switch the
    // alarm at once.
    void LogOpened(const TOpenedLog& log) noexcept override;
    void DoseRatesChanged(const TOpenedLog& log) noexcept override;
    void MinuteFinished(const TFinishedMinute& minute) noexcept override;
    // The counter whose minutes these are, for the discovery messages; 0
    // changes nothing (the last counter's stay).
    void CounterConnected(std::uint32_t deviceId) noexcept override;
    // Minutes not yet acknowledged by the broker.
    std::size_t Unacknowledged() const;

    struct TShared;

private:
    void FollowAlarm(const TAlarmState& alarm) noexcept;

    std::shared_ptr<TShared> Shared;
    TOutputThread Worker;
};

// The publisher of the settings file's [MQTT] section, with the alarm's
// topic when the context has an alarm; none when [MQTT] names no broker.
// What cannot be used in [MQTT] is told on the standard error stream.
std::unique_ptr<TLogOutput> MakeMqttOutput(const TOutputContext& context);

} // namespace ostrel
