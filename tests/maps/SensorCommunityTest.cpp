// SPDX-License-Identifier: GPL-3.0-or-later
// The [SensorCommunity] section, and the output against a fake of the
// network on 127.0.0.1: which minutes go, their exact requests, and what
// each kind of reply does.

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
using test::Eventually;
using test::THttpAnswer;

constexpr const char* Sensor = "esp8266-12345678";

struct TSectionRow {
    const char* File;
    const char* Read; // "off" for none
    const char* Diagnostics;
};

TEST(SensorCommunityTest, TheSectionIsReadOrRefusedWithOneLine) {
    const TSectionRow rows[] = {
        {"[Radmon]\nUser=a\n", "off", ""},
        {"[SensorCommunity]\nSensor=esp8266-12345678\nTube=SBM-20\n",
         "esp8266-12345678|SBM-20|https://api.sensor.community/v1/push-sensor-data/|3", ""},
        {"[SensorCommunity]\nSensor=raspi-0a1b\nTube=Si22G\nURL=http://127.0.0.1:8080/push/\n"
         "Interval=5\n",
         "raspi-0a1b|Si22G|http://127.0.0.1:8080/push/|5", ""},
        {"[SensorCommunity]\nSensor=esp8266-12345678\nTube=J305\n", "off",
         "ostrel: [SensorCommunity] Tube=J305 is not usable; the network knows SBM-20, SBM-19 and "
         "Si22G; nothing is sent to sensor.community\n"},
        {"[SensorCommunity]\nSensor=esp8266 1\nTube=SBM-19\n", "off",
         "ostrel: [SensorCommunity] Sensor=esp8266 1 is not usable; nothing is sent to "
         "sensor.community\n"},
        {"[SensorCommunity]\nTube=SBM-19\n", "off",
         "ostrel: [SensorCommunity] Sensor= is missing; nothing is sent to sensor.community\n"},
    };
    const std::filesystem::path file =
        std::filesystem::path(::testing::TempDir()) / "ostrel-sensorcommunity.ini";
    for (const TSectionRow& row : rows) {
        std::ofstream(file, std::ios::binary) << row.File;
        std::ostringstream diagnostics;
        const auto read =
            ReadSensorCommunitySettings(TSettingsSection(file, "SensorCommunity"), diagnostics);
        const std::string printed = read ? read->Sensor + "|" + read->Tube + "|" + read->Url + "|" +
                                               std::to_string(read->Interval)
                                         : "off";
        EXPECT_EQ(printed, row.Read) << row.File;
        EXPECT_EQ(diagnostics.str(), row.Diagnostics) << row.File;
    }
}

struct TRow {
    const char* Name;
    std::vector<THttpAnswer> Forced; // before the documented replies
    std::vector<int> First, Then;    // minutes past 15:00 (count: minute + 8); Then after a line
    std::string Line;                // the one line told; * ends a prefix
    bool Stops;
    std::vector<int> Sent; // the minutes of the requests, in order
    bool Down = false;     // nobody listens until the output has told the outage
};

const std::string Stopped = "; nothing more goes to sensor.community in this run";
const std::string Down = "; the newest minute goes once it answers";

const TRow Rows[] = {
    {"EveryThirdMinute", {}, {23, 24, 25, 26, 27, 28, 29}, {}, "", false, {23, 26, 29}},
    {"PlainOkIsTaken", {{200, "application/json", ""}}, {23, 24, 25, 26}, {}, "", false, {23, 26}},
    {"Unauthorized",
     {{401, "application/json", ""}},
     {23},
     {24},
     "sensor.community: <url>: HTTP 401, the network knows no such sensor" + Stopped,
     true,
     {23}},
    {"BadRequest",
     {{400, "application/json", "{\"sensordatavalues\":[\"bad\"]}\n"}},
     {23},
     {24},
     "sensor.community: <url>: HTTP 400, the values are refused: "
     "\"{\"sensordatavalues\":[\"bad\"]}\"" +
         Stopped,
     true,
     {23}},
    {"ServerErrorThenTheNewest",
     {{503, "text/html", "<h1>Busy</h1>"}},
     {23},
     {24, 25},
     "sensor.community: <url>: HTTP 503, the service's own trouble" + Down,
     false,
     {23, 25}},
    {"NoAnswerThenTheNewest",
     {},
     {23},
     {24, 25},
     "sensor.community: <url>: no answer: Failed to connect to 127.0.0.1 port *",
     false,
     {25},
     true},
};

// The request as the network's stations make it (see FakeMapServices.h).
std::string Expected(int minute) {
    const std::string count = std::to_string(minute + 8);
    return std::string("POST /v1/push-sensor-data/ application/json 19 ") + Sensor +
           " {\"software_version\": \"" + SoftwareVersion +
           "\", \"tube_type\": \"Radiation SBM-20\", \"sensordatavalues\": ["
           "{\"value_type\": \"counts_per_minute\", \"value\": \"" +
           count + "\"}, {\"value_type\": \"hv_pulses\", \"value\": \"0\"}, " +
           "{\"value_type\": \"counts\", \"value\": \"" + count +
           "\"}, {\"value_type\": \"sample_time_ms\", \"value\": \"60000\"}]}";
}

TFinishedMinute Minute(int minute) {
    return {{EncodeDate(2026, 12, 9) + EncodeTime(15, minute, 0, 0), minute + 8},
            std::nullopt,
            "",
            0,
            static_cast<double>(minute + 8)};
}

void RunRow(const TRow& row) {
    SCOPED_TRACE(row.Name);
    std::mutex mutex;
    std::vector<std::string> lines;
    const auto told = [&] {
        std::lock_guard lock(mutex);
        return lines;
    };
    test::TFakeSensorCommunity fake(Sensor);
    const std::string url = fake.Server.Url() + "/v1/push-sensor-data/";
    auto output = MakeSensorCommunity({Sensor, "SBM-20", url, 3, {500ms, 800ms}},
                                      [&](const std::string& text) {
                                          std::lock_guard lock(mutex);
                                          lines.push_back(text);
                                      });
    fake.Force(row.Forced);
    if (row.Down) {
        fake.Server.Stop();
    }
    for (const int minute : row.First) {
        output->MinuteFinished(Minute(minute));
        ASSERT_TRUE(Eventually([&] { return output->Waiting() == 0 || !told().empty(); }));
    }
    if (!row.Then.empty()) {
        ASSERT_TRUE(Eventually([&] { return !told().empty(); }));
        if (row.Down) {
            fake.Server.Start();
        }
        for (const int minute : row.Then) {
            output->MinuteFinished(Minute(minute));
        }
    }
    if (row.Stops) {
        std::this_thread::sleep_for(300ms);
        EXPECT_TRUE(output->Stopped());
    } else {
        EXPECT_TRUE(Eventually([&] { return output->Waiting() == 0; }));
    }
    output.reset();
    std::vector<std::string> sent, expected;
    for (const test::THttpRequest& request : fake.Server.Requests()) {
        sent.push_back(request.Method + " " + request.Target + " " +
                       request.Header("Content-Type") + " " + request.Header("X-Pin") + " " +
                       request.Header("X-Sensor") + " " + request.Body);
    }
    for (const int minute : row.Sent) {
        expected.push_back(Expected(minute));
    }
    EXPECT_EQ(sent, expected);
    std::string line = row.Line;
    if (line.empty()) {
        EXPECT_EQ(told(), std::vector<std::string>{});
        return;
    }
    line.replace(line.find("<url>"), 5, url);
    const std::vector<std::string> all = told();
    ASSERT_EQ(all.size(), 1U);
    if (line.back() == '*') {
        EXPECT_EQ(all.front().rfind(line.substr(0, line.size() - 1), 0), 0U) << all.front();
    } else {
        EXPECT_EQ(all.front(), line);
    }
}

TEST(SensorCommunityTest, TheNewestValuesGoAndEachReplyDoesWhatItMeans) {
    setenv("no_proxy", "127.0.0.1", 1);
    for (const TRow& row : Rows) {
        RunRow(row);
    }
}

} // namespace
} // namespace ostrel
