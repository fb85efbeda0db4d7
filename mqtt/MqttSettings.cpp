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

} // namespace

TMqttSettings ReadMqttSettings(const TSettingsSection& section, const std::string& hostName,
                               std::ostream& diagnostics) {
    TMqttSettings settings;
    settings.Host = section.Read(MqttHostKey);
    settings.CAFile = section.Read(MqttCAFileKey);
    settings.Port = section.ReadPort(
        MqttPortKey, settings.CAFile.empty() ? MqttPlainPort : MqttTlsPort, diagnostics);
    std::optional<std::string> topic = section.Find(MqttTopicKey);
    if (topic && topic->empty()) {
        topic.reset();
    }
    settings.Topic = ReadTopic(section, MqttTopicKey, topic, DefaultMqttTopic, diagnostics);
    settings.User = section.Read(MqttUserKey);
    settings.Password = section.Read(MqttPasswordKey);
    settings.ClientId = section.Read(MqttClientIdKey);
    if (settings.ClientId.empty()) {
        settings.ClientId = MqttClientIdPrefix + hostName;
    }
    settings.Discovery = ReadTopic(section, MqttDiscoveryKey, section.Find(MqttDiscoveryKey),
                                   DefaultMqttDiscovery, diagnostics);
    return settings;
}

} // namespace ostrel
