// SPDX-License-Identifier: GPL-3.0-or-later
#include "mqtt/MqttSettings.h"

#include <optional>
#include <ostream>

namespace ostrel {

namespace {

// Names that a publisher may use: MQTT keeps "+" and "#" for subscribers.
bool IsTopicName(const std::string& text) {
    return text.find_first_of(std::string_view("+#\0", 3)) == std::string::npos;
}

std::string ReadTopic(const TSettingsSection& section, std::string_view key,
                      const std::optional<std::string>& text, const std::string& fallback,
                      std::ostream& diagnostics) {
    if (!text) {
        return fallback;
    }
    if (!IsTopicName(*text)) {
        section.TellDefault(diagnostics, key, *text, fallback);
        return fallback;
    }
    return *text;
}

// A station's name as one level of a topic: ASCII letters (lower case),
// digits, '-' and '_', each run of other characters one '_'.
std::string TopicLevel(const std::string& name) {
    std::string level;
    for (const char c : name) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
        if (plain || c == '_') {
            level += c;
        } else if (c >= 'A' && c <= 'Z') {
            level += static_cast<char>(c - 'A' + 'a');
        } else if (level.empty() || level.back() != '_') {
            level += '_';
        }
    }
    const std::size_t first = level.find_first_not_of('_');
    return first == std::string::npos
               ? std::string()
               : level.substr(first, level.find_last_not_of('_') + 1 - first);
}

} // namespace

TMqttSettings ReadMqttSettings(const TSettingsSection& section, const std::string& hostName,
                               std::ostream& diagnostics, const TMqttStation& station) {
    TMqttSettings settings;
    settings.Host = section.Read(MqttHostKey);
    settings.CAFile = section.Read(MqttCAFileKey);
    settings.Port = section.ReadPort(
        MqttPortKey, settings.CAFile.empty() ? MqttPlainPort : MqttTlsPort, diagnostics);
    std::optional<std::string> topic = section.Find(MqttTopicKey);
    if (topic && topic->empty()) {
        topic.reset();
    }
    // Two loggers on one computer each keep to a topic of their own.
    std::string level = TopicLevel(station.Name);
    if (level.empty()) {
        level = TopicLevel(station.Instance);
    }
    const std::string defaultTopic =
        level.empty() ? std::string(DefaultMqttTopic) : std::string(DefaultMqttTopic) + "/" + level;
    settings.Topic = ReadTopic(section, MqttTopicKey, topic, defaultTopic, diagnostics);
    settings.User = section.Read(MqttUserKey);
    settings.Password = section.Read(MqttPasswordKey);
    settings.ClientId = section.Read(MqttClientIdKey);
    if (settings.ClientId.empty()) {
        settings.ClientId = MqttClientIdPrefix + hostName;
        if (!station.Instance.empty()) {
            settings.ClientId += "-" + station.Instance;
        }
    }
    settings.StationName = station.Name.empty() ? hostName : station.Name;
    settings.Discovery = ReadTopic(section, MqttDiscoveryKey, section.Find(MqttDiscoveryKey),
                                   DefaultMqttDiscovery, diagnostics);
    return settings;
}

} // namespace ostrel
