// SPDX-License-Identifier: GPL-3.0-or-later
#include "mqtt/MqttSettings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using namespace ostrel;

namespace {

struct TMqttCase {
    const char* File;
    TMqttSettings Expected;
    const char* Diagnostics;
};

TMqttSettings Mqtt(std::string host, std::uint16_t port, std::string topic, std::string user,
                   std::string password, std::string clientId, std::string caFile,
                   std::string discovery) {
    return {std::move(host),     port,
            std::move(topic),    std::move(user),
            std::move(password), std::move(clientId),
            std::move(caFile),   std::move(discovery)};
}

} // namespace

TEST(MqttSettingsTest, SectionReadsWithDefaultsAndTellsWhatItCannotUse) {
    const std::filesystem::path file =
        std::filesystem::path(::testing::TempDir()) / "ostrel-mqtt-settings.ini";
    const TMqttCase cases[] = {
        {"", Mqtt("", 1883, "ostrel", "", "", "ostrel-box", "", "homeassistant"), ""},
        {"[mqtt]\n host = broker.lan \nPORT=1884\ntopic=home/geiger\nuser=u\npassword= p w \n"
         "clientid=desk\ndiscovery=\n",
         Mqtt("broker.lan", 1884, "home/geiger", "u", "p w", "desk", "", ""), ""},
        {"[MQTT]\nHost=b\nCAFile=/etc/ca.crt\nTopic=\nDiscovery=ha\n",
         Mqtt("b", 8883, "ostrel", "", "", "ostrel-box", "/etc/ca.crt", "ha"), ""},
        {"[MQTT]\nHost=b\nPort=abc\n",
         Mqtt("b", 1883, "ostrel", "", "", "ostrel-box", "", "homeassistant"),
         "ostrel: [MQTT] Port=abc is not usable; 1883 is used instead\n"},
        {"[MQTT]\nHost=b\nPort=65536\nCAFile=c\n",
         Mqtt("b", 8883, "ostrel", "", "", "ostrel-box", "c", "homeassistant"),
         "ostrel: [MQTT] Port=65536 is not usable; 8883 is used instead\n"},
        {"[MQTT]\nHost=b\nPort=$50\nTopic=a/+/b\nDiscovery=#\n",
         Mqtt("b", 80, "ostrel", "", "", "ostrel-box", "", "homeassistant"),
         "ostrel: [MQTT] Topic=a/+/b is not usable; ostrel is used instead\n"
         "ostrel: [MQTT] Discovery=# is not usable; homeassistant is used instead\n"},
    };
    for (const TMqttCase& c : cases) {
        std::ofstream(file, std::ios::binary) << c.File;
        std::ostringstream diagnostics;
        const TMqttSettings got =
            ReadMqttSettings(TSettingsSection(file, "MQTT"), "box", diagnostics);
        const TMqttSettings& e = c.Expected;
        EXPECT_EQ(std::vector<std::string>({got.Host, std::to_string(got.Port), got.Topic, got.User,
                                            got.Password, got.ClientId, got.CAFile, got.Discovery}),
                  std::vector<std::string>({e.Host, std::to_string(e.Port), e.Topic, e.User,
                                            e.Password, e.ClientId, e.CAFile, e.Discovery}))
            << c.File;
        EXPECT_EQ(diagnostics.str(), c.Diagnostics) << c.File;
        EXPECT_EQ(got.Enabled(), !e.Host.empty());
    }
    std::filesystem::remove(file);
}

// Two loggers on one computer get a client id and a topic each; a name the
// user gives shows, and what the section sets wins.
TEST(MqttSettingsTest, EachStationHasItsOwnClientTopicAndName) {
    const std::filesystem::path file =
        std::filesystem::path(::testing::TempDir()) / "ostrel-mqtt-station.ini";
    const struct {
        TMqttStation Station;
        const char* File;
        const char* Read; // ClientId|Topic|StationName
    } cases[] = {
        {{}, "", "ostrel-box|ostrel|box"},
        {{"", "attic"}, "", "ostrel-box-attic|ostrel/attic|box"},
        {{"Roof (North) 2", "roof"}, "", "ostrel-box-roof|ostrel/roof_north_2|Roof (North) 2"},
        {{"屋上", "home-1a2b3c4d"}, "", "ostrel-box-home-1a2b3c4d|ostrel/home-1a2b3c4d|屋上"},
        {{"Attic", "attic"}, "[MQTT]\nTopic=home/a\nClientId=c\n", "c|home/a|Attic"},
    };
    for (const auto& c : cases) {
        std::ofstream(file, std::ios::binary) << c.File;
        std::ostringstream diagnostics;
        const TMqttSettings got =
            ReadMqttSettings(TSettingsSection(file, "MQTT"), "box", diagnostics, c.Station);
        EXPECT_EQ(got.ClientId + "|" + got.Topic + "|" + got.StationName, c.Read) << c.File;
        EXPECT_EQ(diagnostics.str(), "");
    }
    std::filesystem::remove(file);
}
