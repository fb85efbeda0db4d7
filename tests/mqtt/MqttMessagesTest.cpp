// SPDX-License-Identifier: GPL-3.0-or-later
#include "mqtt/MqttMessages.h"

#include "platform/DateTime.h"
#include "records/MinuteInstants.h"
#include "support/TimeZone.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>

namespace ostrel {
namespace {

TEST(MqttMessagesTest, MinutePayloadCarriesStartCountTheLinesDoseRateAndTheDose) {
    struct TCase {
        int Year, Month, Day, Hour, Minute;
        std::int32_t Count;
        std::optional<double> Dose;
        double Total;
        const char* Json;
    };
    const double nan = std::nan("");
    const TCase cases[] = {
        {2026, 12, 9, 15, 23, 30, 0.0474, 0.00079,
         R"({"start":"2026-12-09T15:23:00","cpm":30,"usvh":0.0474,"dose":0.00079})"},
        {2026, 1, 2, 3, 4, 0, std::nullopt, 0,
         R"({"start":"2026-01-02T03:04:00","cpm":0,"dose":0})"},
        {1999, 12, 31, 23, 59, -5, -0.00316, 12.5,
         R"({"start":"1999-12-31T23:59:00","cpm":-5,"usvh":-0.00316,"dose":12.5})"},
        {2030, 6, 1, 0, 0, 2, 0.00005, 0.00005,
         R"({"start":"2030-06-01T00:00:00","cpm":2,"usvh":5E-5,"dose":5E-5})"},
        {2030, 6, 1, 0, 0, 2, 1.0 / 3, 1.0 / 3,
         R"({"start":"2030-06-01T00:00:00","cpm":2,"usvh":0.333333333333333,"dose":0.333333333333333})"},
        {2030, 6, 1, 0, 0, 2, nan, nan, R"({"start":"2030-06-01T00:00:00","cpm":2})"},
    };
    for (const TCase& c : cases) {
        const TDateTime start =
            EncodeDate(c.Year, c.Month, c.Day) + EncodeTime(c.Hour, c.Minute, 0, 0);
        EXPECT_EQ(MinutePayload({{start, c.Count}, c.Dose, "", 0}, c.Total), c.Json) << c.Json;
    }
}

// The start as the log labels it, with the offset of the minute's real
// instant: the repeated autumn hour's labels come again with another offset.
TEST(MqttMessagesTest, AMinuteStartCarriesItsOffsetAcrossTheClockChanges) {
    test::TTimeZone zone("Europe/Berlin");
    const struct {
        int Month, Day, Hour, Minute;
        const char* Start;
    } log[] = {
        {3, 29, 1, 59, "2026-03-29T01:59:00+01:00"},  {3, 29, 3, 0, "2026-03-29T03:00:00+02:00"},
        {10, 25, 2, 59, "2026-10-25T02:59:00+02:00"}, {10, 25, 2, 0, "2026-10-25T02:00:00+01:00"},
        {10, 25, 3, 0, "2026-10-25T03:00:00+01:00"},
    };
    TMinuteInstants instants;
    for (const auto& m : log) {
        TFinishedMinute minute{
            {EncodeDate(2026, m.Month, m.Day) + EncodeTime(m.Hour, m.Minute, 0, 0), 7},
            std::nullopt,
            "",
            0};
        minute.Utc = instants.Next(minute.Record.StartTime);
        EXPECT_EQ(MinutePayload(minute, 0),
                  std::string(R"({"start":")") + m.Start + R"(","cpm":7,"dose":0})");
    }
}

TEST(MqttMessagesTest, DoseAddsEachLinesDoseRateOverSixty) {
    EXPECT_EQ(MinuteDose(std::nullopt) + MinuteDose(std::nan("")), 0);
    TRecords records;
    for (const std::int32_t count : {12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 132, 0}) {
        records.Append({0, count});
    }
    // The rebuilt lines 11 and 12 carry 2.5 and 5.5 µSv/h; a live line of
    // 6 µSv/h follows.
    const double dose = RebuiltDose(records, 0.25, 2) + MinuteDose(6.0);
    EXPECT_EQ(MinutePayload({{0, 0}, 6.0, "", 0}, dose),
              R"({"start":"1899-12-30T00:00:00","cpm":0,"usvh":6,"dose":0.233333333333333})");
}

TEST(MqttMessagesTest, JsonStringEscapesQuotesBackslashesAndControls) {
    EXPECT_EQ(JsonString("a\"b\\c\n\x01µ"), "\"a\\\"b\\\\c\\u000a\\u0001µ\"");
}

TEST(MqttMessagesTest, DiscoveryDescribesThreeSensorsAndTheAlarmOfOneDevice) {
    TMqttSettings settings;
    settings.Topic = "home/geiger";
    settings.ClientId = "ostrel-desk.lan";
    settings.StationName = "Attic \"north\"";
    settings.Model = "gmc";
    const auto messages = DiscoveryMessages(settings, 4660, true);
    ASSERT_EQ(messages.size(), 4u);
    EXPECT_EQ(messages[0].Topic, "homeassistant/sensor/ostrel-desk_lan_4660/cpm/config");
    EXPECT_EQ(messages[1].Topic, "homeassistant/sensor/ostrel-desk_lan_4660/usvh/config");
    EXPECT_EQ(messages[2].Topic, "homeassistant/sensor/ostrel-desk_lan_4660/dose/config");
    EXPECT_EQ(messages[3].Topic, "homeassistant/binary_sensor/ostrel-desk_lan_4660/alarm/config");
    const std::string common = R"(,"state_topic":"home/geiger/state",)";
    const std::string tail =
        R"(,"availability_topic":"home/geiger/status",)"
        R"("payload_available":"online","payload_not_available":"offline",)"
        R"("device":{"identifiers":["ostrel-desk_lan_4660"],"name":"Attic \"north\"",)"
        R"("manufacturer":"Ostrel","model":"gmc","sw_version":"1.4"}})";
    const std::string measurement = R"(,"state_class":"measurement","expire_after":300)";
    EXPECT_EQ(messages[0].Payload,
              R"({"name":"CPM","unique_id":"ostrel-desk_lan_4660_cpm")" + common +
                  R"("value_template":"{{ value_json.cpm }}","unit_of_measurement":"CPM")" +
                  measurement + tail);
    EXPECT_EQ(messages[1].Payload,
              R"({"name":"Dose rate","unique_id":"ostrel-desk_lan_4660_usvh")" + common +
                  R"("value_template":"{{ value_json.usvh | default('None') }}",)"
                  R"("unit_of_measurement":"µSv/h")" +
                  measurement + tail);
    EXPECT_EQ(messages[2].Payload,
              R"({"name":"Dose","unique_id":"ostrel-desk_lan_4660_dose")" + common +
                  R"("value_template":"{{ value_json.dose }}","unit_of_measurement":"µSv",)"
                  R"("state_class":"total_increasing","expire_after":300)" +
                  tail);
    EXPECT_EQ(messages[3].Payload,
              R"({"name":"Dose-rate alarm","unique_id":"ostrel-desk_lan_4660_alarm",)"
              R"("state_topic":"home/geiger/alarm","device_class":"safety",)"
              R"("payload_on":"ON","payload_off":"OFF")" +
                  tail);

    // Without a station's name, the counter's number; the ids stay.
    settings.StationName.clear();
    settings.Model.clear();
    const std::string unnamed = DiscoveryMessages(settings, 4660)[0].Payload;
    EXPECT_NE(unnamed.find(R"("unique_id":"ostrel-desk_lan_4660_cpm")"), std::string::npos);
    EXPECT_NE(
        unnamed.find(R"("name":"Ostrel 4660","manufacturer":"Ostrel","model":"counter 4660")"),
        std::string::npos);
    EXPECT_EQ(DiscoveryMessages(settings, 4660).size(), 3u);
    settings.Discovery.clear();
    EXPECT_TRUE(DiscoveryMessages(settings, 4660, true).empty());
}

} // namespace
} // namespace ostrel
