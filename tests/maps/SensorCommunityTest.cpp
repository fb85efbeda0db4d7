// SPDX-License-Identifier: GPL-3.0-or-later
// The [SensorCommunity] section, and the output against a fake of the
// network (support/FakeMapServices.h): which minutes go, their exact
// requests, and what the replies do. Its 403 row is in MapsServerTest.cpp.

#include "maps/MapsServices.h"
#include "support/FakeMapServices.h"
#include "support/Waits.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace ostrel {
namespace {

using namespace std::chrono_literals;
using test::THttpAnswer;

TEST(SensorCommunityTest, TheSectionIsReadOrRefusedWithOneLine) {
    const std::vector<std::vector<std::string>> rows = {
        {"Sensor=esp8266-1\nTube=SBM-20\n",
         "esp8266-1 SBM-20 https://api.sensor.community/v1/push-sensor-data/ 3", ""},
        {"Sensor=raspi-0a\nTube=Si22G\nURL=http://127.0.0.1:8080/push/\nInterval=5\n",
         "raspi-0a Si22G http://127.0.0.1:8080/push/ 5", ""},
        {"Sensor=esp8266-1\nTube=J305\n", "off",
         "ostrel: [SensorCommunity] Tube=J305 is not usable; the network knows SBM-20, SBM-19 and "
         "Si22G; nothing is sent to sensor.community\n"},
    };
    const auto file = std::filesystem::path(::testing::TempDir()) / "ostrel-sensorcommunity.ini";
    for (const auto& row : rows) {
        std::ofstream(file, std::ios::binary) << "[SensorCommunity]\n" << row[0];
        std::ostringstream told;
        const auto s = ReadSensorCommunitySettings(TSettingsSection(file, "SensorCommunity"), told);
        EXPECT_EQ(s ? s->Sensor + " " + s->Tube + " " + s->Url + " " + std::to_string(s->Interval)
                    : "off",
                  row[1]);
        EXPECT_EQ(told.str(), row[2]);
    }
}

struct TRow {
    std::vector<THttpAnswer> Forced; // before the documented replies
    std::vector<int> First, Then;    // minutes past 15:00, counting minute + 8; Then after a line
    std::string Line;                // the one line told, after "sensor.community: <url>: "
    std::vector<int> Sent;           // the minutes of the requests, in order
};

const std::string Stops = "; nothing more goes to sensor.community in this run";

const TRow Rows[] = {
    {{}, {23, 24, 25, 26, 27, 28, 29}, {}, "", {23, 26, 29}},
    {{{200, "application/json", ""}}, {23, 24, 25, 26}, {}, "", {23, 26}},
    {{{401, "application/json", ""}},
     {23},
     {24},
     "HTTP 401, the network knows no such sensor" + Stops,
     {23}},
    {{{400, "application/json", "bad"}},
     {23},
     {24},
     "HTTP 400, the values are refused: \"bad\"" + Stops,
     {23}},
    {{{503, "text/html", "<h1>Busy</h1>"}},
     {23},
     {24, 25},
     "HTTP 503, the service's own trouble; the newest minute goes once it answers",
     {23, 25}},
};

// The request of ecocurious2/MultiGeiger, multigeiger/transmission.cpp.
std::string Expected(int minute) {
    const std::string count = "\"value\": \"" + std::to_string(minute + 8) + "\"}";
    return std::string("POST /v1/push-sensor-data/ application/json 19 esp8266-1 ") +
           "{\"software_version\": \"" + SoftwareVersion +
           "\", \"tube_type\": \"Radiation SBM-20\", \"sensordatavalues\": [{\"value_type\": "
           "\"counts_per_minute\", " +
           count +
           ", {\"value_type\": \"hv_pulses\", \"value\": \"0\"}, {\"value_type\": \"counts\", " +
           count + ", {\"value_type\": \"sample_time_ms\", \"value\": \"60000\"}]}";
}

TEST(SensorCommunityTest, TheNewestValuesGoAndEachReplyDoesWhatItMeans) {
    setenv("no_proxy", "127.0.0.1", 1);
    for (const TRow& row : Rows) {
        std::mutex mutex;
        std::vector<std::string> lines, sent, expected;
        test::TFakeSensorCommunity fake("esp8266-1");
        const std::string url = fake.Server.Url() + "/v1/push-sensor-data/";
        auto output = MakeSensorCommunity({"esp8266-1", "SBM-20", url, 3, {500ms, 800ms}},
                                          [&](const std::string& text) {
                                              std::lock_guard lock(mutex);
                                              lines.push_back(text);
                                          });
        const auto told = [&] {
            std::lock_guard lock(mutex);
            return lines;
        };
        fake.Force(row.Forced);
        const auto give = [&](int minute) {
            output->MinuteFinished(
                {{EncodeDate(2026, 12, 9) + EncodeTime(15, minute, 0, 0), minute + 8},
                 std::nullopt,
                 "",
                 0,
                 minute + 8.0});
        };
        for (const int minute : row.First) {
            give(minute);
            ASSERT_TRUE(
                test::Eventually([&] { return output->Waiting() == 0 || !told().empty(); }));
        }
        for (const int minute : row.Then) {
            give(minute);
        }
        std::this_thread::sleep_for(300ms);
        EXPECT_TRUE(test::Eventually([&] { return output->Waiting() == 0; }));
        output.reset();
        for (const test::THttpRequest& r : fake.Server.Requests()) {
            sent.push_back(r.Method + " " + r.Target + " " + r.Header("Content-Type") + " " +
                           r.Header("X-Pin") + " " + r.Header("X-Sensor") + " " + r.Body);
        }
        for (const int minute : row.Sent) {
            expected.push_back(Expected(minute));
        }
        EXPECT_EQ(sent, expected) << row.Line;
        EXPECT_EQ(told(), row.Line.empty() ? std::vector<std::string>{}
                                           : std::vector<std::string>{"sensor.community: " + url +
                                                                      ": " + row.Line});
    }
}

} // namespace
} // namespace ostrel
