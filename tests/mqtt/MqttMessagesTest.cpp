// SPDX-License-Identifier: GPL-3.0-or-later
#include "mqtt/MqttMessages.h"

#include "platform/DateTime.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>

namespace ostrel {
namespace {

TEST(MqttMessagesTest, MinutePayloadCarriesStartCountAndTheLinesDoseRate) {
    struct TCase {
        int Year, Month, Day, Hour, Minute;
        std::int32_t Count;
        std::optional<double> Dose;
        const char* Json;
    };
    const TCase cases[] = {
        {2026, 12, 9, 15, 23, 30, 0.0474,
         R"({"start":"2026-12-09T15:23:00","cpm":30,"usvh":0.0474})"},
        {2026, 1, 2, 3, 4, 0, std::nullopt, R"({"start":"2026-01-02T03:04:00","cpm":0})"},
        {1999, 12, 31, 23, 59, -5, -0.00316,
         R"({"start":"1999-12-31T23:59:00","cpm":-5,"usvh":-0.00316})"},
        {2030, 6, 1, 0, 0, 2, 0.00005, R"({"start":"2030-06-01T00:00:00","cpm":2,"usvh":5E-5})"},
        {2030, 6, 1, 0, 0, 2, 1.0 / 3,
         R"({"start":"2030-06-01T00:00:00","cpm":2,"usvh":0.333333333333333})"},
        {2030, 6, 1, 0, 0, 2, std::nan(""), R"({"start":"2030-06-01T00:00:00","cpm":2})"},
    };
    for (const TCase& c : cases) {
        const TDateTime start =
            EncodeDate(c.Year, c.Month, c.Day) + EncodeTime(c.Hour, c.Minute, 0, 0);
        EXPECT_EQ(MinutePayload({{start, c.Count}, c.Dose, "", 0}), c.Json) << c.Json;
    }
}

TEST(MqttMessagesTest, JsonStringEscapesQuotesBackslashesAndControls) {
    EXPECT_EQ(JsonString("a\"b\\c\n\x01µ"), "\"a\\\"b\\\\c\\u000a\\u0001µ\"");
}

TEST(MqttMessagesTest, DiscoveryDescribesTwoSensorsOfOneDevice) {
    TMqttSettings settings;
    settings.Topic = "home/geiger";
    settings.ClientId = "ostrel-desk.lan";
    const auto messages = DiscoveryMessages(settings, 4660);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].Topic, "homeassistant/sensor/ostrel-desk_lan_4660/cpm/config");
    EXPECT_EQ(messages[1].Topic, "homeassistant/sensor/ostrel-desk_lan_4660/usvh/config");
    const std::string common = R"(,"state_topic":"home/geiger/state",)";
    const std::string tail =
        R"(,"state_class":"measurement","availability_topic":"home/geiger/status",)"
        R"("payload_available":"online","payload_not_available":"offline",)"
        R"("device":{"identifiers":["ostrel-desk_lan_4660"],"name":"Ostrel 4660","model":"counter 4660"}})";
    EXPECT_EQ(messages[0].Payload,
              R"({"name":"CPM","unique_id":"ostrel-desk_lan_4660_cpm")" + common +
                  R"("value_template":"{{ value_json.cpm }}","unit_of_measurement":"CPM")" + tail);
    EXPECT_EQ(messages[1].Payload,
              R"({"name":"Dose rate","unique_id":"ostrel-desk_lan_4660_usvh")" + common +
                  R"("value_template":"{{ value_json.usvh | default('None') }}",)"
                  R"("unit_of_measurement":"µSv/h")" +
                  tail);

    settings.Discovery.clear();
    EXPECT_TRUE(DiscoveryMessages(settings, 4660).empty());
}

} // namespace
} // namespace ostrel
