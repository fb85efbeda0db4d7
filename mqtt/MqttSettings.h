// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where and how finished minutes are published: the settings file's [MQTT]
// section once read, every default already applied.

#include <cstdint>
#include <string>

namespace ostrel {

inline constexpr std::uint16_t MqttPlainPort = 1883;
inline constexpr std::uint16_t MqttTlsPort = 8883;
inline constexpr const char* DefaultMqttTopic = "ostrel";
inline constexpr const char* DefaultMqttDiscovery = "homeassistant";
inline constexpr const char* MqttClientIdPrefix = "ostrel-";

struct TMqttSettings {
    std::string Host; // empty: publishing is off
    std::uint16_t Port = MqttPlainPort;
    std::string Topic = DefaultMqttTopic;
    std::string User; // empty: no user name is sent
    std::string Password;
    std::string ClientId;
    std::string CAFile;                           // set: TLS, the broker verified against it
    std::string Discovery = DefaultMqttDiscovery; // empty: no discovery messages

    bool Enabled() const { return !Host.empty(); }
};

} // namespace ostrel
