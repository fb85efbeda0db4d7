// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Publishes every finished minute to an MQTT broker from a thread of its own,
// so that the window never waits on the network. Minutes the broker has not
// acknowledged yet are kept, in order, and sent again after an outage.

#include "mqtt/MqttSettings.h"
#include "records/LogOutput.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace ostrel {

// Prints "ostrel: MQTT: <text>" as one line on the standard error stream.
void ReportMqttToStderr(const std::string& text);

class TMqttPublisher final : public TLogOutput {
public:
    using TReport = std::function<void(const std::string& text)>;
    // A day of minutes; older ones are dropped beyond this.
    static constexpr std::size_t MaxUnsent = 1440;

    // Starts connecting at once; settings must have a host. report gets one
    // line per outage and per run of dropped minutes, from any thread.
    explicit TMqttPublisher(TMqttSettings settings, TReport report = ReportMqttToStderr);
    // Says "offline" and disconnects when connected; waits a few seconds at
    // most, also when the broker has gone.
    ~TMqttPublisher() override;
    TMqttPublisher(const TMqttPublisher&) = delete;
    TMqttPublisher& operator=(const TMqttPublisher&) = delete;

    void MinuteFinished(const TFinishedMinute& minute) noexcept override;
    // The counter whose minutes these are, for the discovery messages; 0
    // changes nothing (the last counter's stay).
    void CounterConnected(std::uint32_t deviceId) noexcept override;
    // Minutes not yet acknowledged by the broker.
    std::size_t Unacknowledged() const;

    struct TShared;

private:
    std::shared_ptr<TShared> Shared;
    std::thread Worker;
};

// The publisher of the settings file's [MQTT] section; none when it names no
// broker. What cannot be used there is told on the standard error stream.
std::unique_ptr<TLogOutput> MakeMqttOutput(const TOutputContext& context);

} // namespace ostrel
