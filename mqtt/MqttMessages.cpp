// SPDX-License-Identifier: GPL-3.0-or-later
#include "mqtt/MqttMessages.h"

#include "platform/FormatSettings.h"
#include "platform/TextServices.h"
#include "records/DoseAlarm.h"
#include "records/MinuteInstants.h"

#include <cmath>
#include <cstdio>

namespace ostrel {
namespace {

// ISO 8601 whatever the user's separators: the defaults are the ones ISO
// uses. The label as the log writes it, then, where the minute's instant is
// known, its offset from UTC: the two minutes of the hour repeated in autumn
// share a label but not an offset.
std::string IsoStart(const TFinishedMinute& minute) {
    std::string text =
        FormatDateTime("yyyy-mm-ddThh:nn:ss", minute.Record.StartTime, TFormatSettings{});
    const std::optional<std::int64_t> wall =
        minute.Utc ? WallSeconds(*minute.Utc) : std::optional<std::int64_t>{};
    if (wall) {
        const std::int64_t offset = *wall - *minute.Utc;
        const std::int64_t minutes = (offset < 0 ? -offset : offset) / 60;
        char zone[16];
        std::snprintf(zone, sizeof zone, "%c%02d:%02d", offset < 0 ? '-' : '+',
                      static_cast<int>(minutes / 60), static_cast<int>(minutes % 60));
        text += zone;
    }
    return text;
}

// Home Assistant takes only these characters in the parts of a discovery
// topic and in an identifier.
std::string IdentifierOf(std::string_view text) {
    std::string id;
    for (const char c : text) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '_' || c == '-';
        id += plain ? c : '_';
    }
    return id;
}

struct TSensor {
    const char* Key;
    const char* Name;
    const char* Unit;
    const char* Template;
    const char* StateClass;
};

constexpr TSensor Sensors[] = {
    {"cpm", "CPM", "CPM", "{{ value_json.cpm }}", "measurement"},
    // A minute without a dose rate leaves the sensor unknown rather than
    // wrong.
    {"usvh", "Dose rate", "µSv/h", "{{ value_json.usvh | default('None') }}", "measurement"},
    // Back to 0 with a new log, which Home Assistant takes for a meter reset.
    {"dose", "Dose", "µSv", "{{ value_json.dose }}", "total_increasing"},
};

// Where every entity of the device tells its availability, and the device.
std::string ConfigTail(const TMqttSettings& settings, const std::string& deviceKey,
                       std::uint32_t deviceId) {
    const std::string id = std::to_string(deviceId);
    const std::string name = settings.StationName.empty() ? "Ostrel " + id : settings.StationName;
    return ",\"availability_topic\":" + JsonString(StatusTopic(settings)) +
           ",\"payload_available\":" + JsonString(MqttOnline) +
           ",\"payload_not_available\":" + JsonString(MqttOffline) +
           ",\"device\":{\"identifiers\":[" + JsonString(deviceKey) +
           "],\"name\":" + JsonString(name) + ",\"manufacturer\":\"Ostrel\"" +
           ",\"model\":" + JsonString(settings.Model.empty() ? "counter " + id : settings.Model) +
           ",\"sw_version\":" + JsonString(OSTREL_VERSION) + "}}";
}

std::string SensorConfig(const TMqttSettings& settings, const TSensor& sensor,
                         const std::string& deviceKey, std::uint32_t deviceId) {
    return "{\"name\":" + JsonString(sensor.Name) +
           ",\"unique_id\":" + JsonString(deviceKey + "_" + sensor.Key) +
           ",\"state_topic\":" + JsonString(StateTopic(settings)) +
           ",\"value_template\":" + JsonString(sensor.Template) +
           ",\"unit_of_measurement\":" + JsonString(sensor.Unit) +
           ",\"state_class\":" + JsonString(sensor.StateClass) +
           ",\"expire_after\":" + std::to_string(MqttExpireAfter.count()) +
           ConfigTail(settings, deviceKey, deviceId);
}

// "safety": on means unsafe, as Home Assistant shows it.
std::string AlarmConfig(const TMqttSettings& settings, const std::string& deviceKey,
                        std::uint32_t deviceId) {
    return "{\"name\":\"Dose-rate alarm\",\"unique_id\":" + JsonString(deviceKey + "_alarm") +
           ",\"state_topic\":" + JsonString(AlarmTopic(settings)) +
           ",\"device_class\":\"safety\",\"payload_on\":" + JsonString(AlarmOnText) +
           ",\"payload_off\":" + JsonString(AlarmOffText) +
           ConfigTail(settings, deviceKey, deviceId);
}

} // namespace

std::string StatusTopic(const TMqttSettings& settings) {
    return settings.Topic + "/status";
}
std::string MinuteTopic(const TMqttSettings& settings) {
    return settings.Topic + "/minute";
}
std::string StateTopic(const TMqttSettings& settings) {
    return settings.Topic + "/state";
}
std::string AlarmTopic(const TMqttSettings& settings) {
    return settings.Topic + "/alarm";
}

std::string JsonString(std::string_view text) {
    std::string json = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            json += '\\';
            json += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
            json += escape;
        } else {
            json += c;
        }
    }
    return json + "\"";
}

std::string MinutePayload(const TFinishedMinute& minute, double dose) {
    std::string json =
        "{\"start\":\"" + IsoStart(minute) + "\",\"cpm\":" + FormatInt(minute.Record.Count);
    // JSON has no text for a non-finite number.
    if (minute.DoseRate && std::isfinite(*minute.DoseRate)) {
        json += ",\"usvh\":" + FloatToStr(*minute.DoseRate, TFormatSettings{});
    }
    if (std::isfinite(dose)) {
        json += ",\"dose\":" + FloatToStr(dose, TFormatSettings{});
    }
    return json + "}";
}

std::vector<TMqttMessage> DiscoveryMessages(const TMqttSettings& settings, std::uint32_t deviceId,
                                            bool alarm) {
    if (settings.Discovery.empty()) {
        return {};
    }
    const std::string deviceKey = IdentifierOf(settings.ClientId) + "_" + std::to_string(deviceId);
    std::vector<TMqttMessage> messages;
    for (const TSensor& sensor : Sensors) {
        messages.push_back(
            {settings.Discovery + "/sensor/" + deviceKey + "/" + sensor.Key + "/config",
             SensorConfig(settings, sensor, deviceKey, deviceId)});
    }
    if (alarm) {
        messages.push_back({settings.Discovery + "/binary_sensor/" + deviceKey + "/alarm/config",
                            AlarmConfig(settings, deviceKey, deviceId)});
    }
    return messages;
}

} // namespace ostrel
