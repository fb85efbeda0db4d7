// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where and how finished minutes are published: the settings file's [MQTT]
// section once read, every default already applied. The program reads the
// section once at start-up and never writes it.

#include "settings/SettingsFile.h"

#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>

namespace ostrel {

inline constexpr std::string_view MqttSection = "MQTT";
inline constexpr std::string_view MqttHostKey = "Host";
inline constexpr std::string_view MqttPortKey = "Port";
inline constexpr std::string_view MqttTopicKey = "Topic";
inline constexpr std::string_view MqttUserKey = "User";
inline constexpr std::string_view MqttPasswordKey = "Password";
inline constexpr std::string_view MqttClientIdKey = "ClientId";
inline constexpr std::string_view MqttCAFileKey = "CAFile";
inline constexpr std::string_view MqttDiscoveryKey = "Discovery";
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
    // The Home Assistant device's name; empty: "Ostrel" and the counter's
    // number.
    std::string StationName{};
    // The device's model (the output context's); empty: "counter" and its
    // number.
    std::string Model{};

    bool Enabled() const { return !Host.empty(); }
};

// Which logger publishes: the station's name and the instance key of the
// output context (both empty for the one logger run without a profile).
struct TMqttStation {
    std::string Name;
    std::string Instance;
};

// The [MQTT] section: publishing is off without a host. Port defaults to
// 1883, or 8883 with a CA file; ClientId to "ostrel-" and hostName, then "-"
// and the instance's key; Topic to "ostrel", then "/" and the station's name
// (or else the instance's key) in plain characters; a missing Discovery to
// "homeassistant", an empty one turns discovery off. The device's name is
// the station's, else hostName. A value that does not parse gives its
// default and one line on diagnostics.
TMqttSettings ReadMqttSettings(const TSettingsSection& section, const std::string& hostName,
                               std::ostream& diagnostics, const TMqttStation& station = {});

} // namespace ostrel
