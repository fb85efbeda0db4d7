// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The texts sent to the broker: topics, the JSON object of a finished minute
// and the Home Assistant discovery configuration of the two sensors.

#include "mqtt/MqttSettings.h"
#include "records/LogOutput.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

inline constexpr const char* MqttOnline = "online";
inline constexpr const char* MqttOffline = "offline";
// How long Home Assistant shows a sensor's state without a newer one before
// it shows it unavailable: a few missed minutes, not one late one.
inline constexpr std::chrono::seconds MqttExpireAfter{300};

struct TMqttMessage {
    std::string Topic;
    std::string Payload;
};

std::string StatusTopic(const TMqttSettings& settings);
std::string MinuteTopic(const TMqttSettings& settings);
std::string StateTopic(const TMqttSettings& settings);
// ON or OFF, retained: the dose-rate alarm, when the [Alarm] section sets one.
std::string AlarmTopic(const TMqttSettings& settings);

// {"start":"2026-12-09T15:23:00","cpm":30,"usvh":0.0474,"dose":0.0123}: the
// minute's start as the line shows it but with a four-digit year and
// seconds, its count, the dose rate in the digits of the line with "." as
// decimal point (left out when the line has none), and dose, the µSv of the
// log so far, this minute included.
std::string MinutePayload(const TFinishedMinute& minute, double dose);

// A JSON string literal of text, quotes included.
std::string JsonString(std::string_view text);

// Retained configuration messages for the counts, dose-rate and dose
// sensors, and with alarm for the alarm's binary sensor, one device for this
// program logging the counter deviceId. None when discovery is off.
std::vector<TMqttMessage> DiscoveryMessages(const TMqttSettings& settings, std::uint32_t deviceId,
                                            bool alarm = false);

} // namespace ostrel
