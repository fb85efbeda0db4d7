// SPDX-License-Identifier: GPL-3.0-or-later
// The main window logging the simulated counter and publishing every finished
// minute to a real mosquitto broker on 127.0.0.1, watched by mosquitto_sub.

#include "app/MainForm.h"
#include "display/LogList.h"
#include "mqtt/MqttPublisher.h"
#include "platform/TextServices.h"
#include "support/MainFormFixture.h"
#include "support/MosquittoBroker.h"
#include "support/StderrFile.h"
#include "support/TimeZone.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

namespace ostrel {
namespace {

using test::Eventually;
using test::WaitLimit;

// What the subscriber must see for a log line "yy/mm/dd, hh:nn, count[, dose]"
// with dose adding up the log's dose-rate texts over 60. The test runs in
// Tokyo's time, +09:00 all year.
std::string ExpectedJson(const std::string& line, double& dose) {
    std::vector<std::string> f;
    std::size_t start = 0;
    for (std::size_t comma; (comma = line.find(", ", start)) != std::string::npos;
         start = comma + 2) {
        f.push_back(line.substr(start, comma - start));
    }
    f.push_back(line.substr(start));
    const std::string& d = f[0];
    std::string json = "{\"start\":\"20" + d.substr(0, 2) + "-" + d.substr(3, 2) + "-" +
                       d.substr(6, 2) + "T" + f[1] + ":00+09:00\",\"cpm\":" + f[2];
    if (f.size() == 4) {
        json += ",\"usvh\":" + f[3];
        dose += std::stod(f[3]) / 60;
    }
    return json + ",\"dose\":" + FloatToStr(dose, TFormatSettings{}) + "}";
}

std::size_t CountContaining(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++n;
    }
    return n;
}

class MqttPublishTest : public test::TMainFormFixture {
protected:
    std::unique_ptr<TMainForm> Form;
    std::optional<test::TTimeZone> Zone;

    void SetUp() override {
        TMainFormFixture::SetUp();
        Zone.emplace("Asia/Tokyo");
        setenv("OSTREL_SIM_SPEED", "0", 1); // the test moves the clock
        setenv("OSTREL_SIM_SEED", "11", 1);
        setenv("OSTREL_SIM_CPM", "30", 1);
        Stderr.emplace(Folder / "stderr.txt");
    }
    void TearDown() override {
        Form.reset();
        Stderr.reset();
        Zone.reset();
        for (const char* name : {"OSTREL_SIM_SPEED", "OSTREL_SIM_SEED", "OSTREL_SIM_CPM"}) {
            unsetenv(name);
        }
        TMainFormFixture::TearDown();
    }
    void Open(const test::TMosquittoBroker& broker, const std::string& more = "") {
        WriteIni("[MQTT]\nHost=127.0.0.1\nPort=" + std::to_string(broker.Port) +
                 "\nClientId=ostrel-test\n" + more);
        Form = Make();
        Form->StartClick();
    }
    // Minute by minute until the log holds lines more lines.
    void LogLines(std::size_t lines) {
        const std::size_t target = Form->Log().Lines().size() + lines;
        while (Form->Log().Lines().size() < target) {
            AdvanceClock(60'000);
            RunGuarded([this] { Form->TimerTimer(); });
        }
    }
    std::vector<std::string> ExpectedMinutes() const {
        std::vector<std::string> json;
        double dose = 0;
        for (const std::string& line : Form->Log().Lines()) {
            json.push_back(ExpectedJson(line, dose));
        }
        return json;
    }
    // stderr goes to a file while the test runs, which can be read at any
    // time: the publisher's thread writes there whenever it notices a change.
    std::string StderrText() const { return Stderr->Text(); }
    // Ends the window (orderly) and returns what it wrote on stderr.
    std::string EndAndTakeStderr() {
        Form.reset();
        return StderrText();
    }
    std::optional<test::TStderrFile> Stderr;
};

TEST_F(MqttPublishTest, EveryMinuteArrivesOnceInOrderBetweenStatusAndDiscoveryMessages) {
    test::TMosquittoBroker broker;
    test::TMqttSubscriber subscriber(broker);
    Open(broker);
    LogLines(14);
    const std::vector<std::string> expected = ExpectedMinutes();
    ASSERT_EQ(expected.size(), 14u);
    EXPECT_NE(expected.back().find("usvh"), std::string::npos)
        << "the last lines carry a dose rate";
    const std::string device =
        "homeassistant/sensor/ostrel-test_" + std::to_string(Form->Logger().DeviceId()) + "/";
    ASSERT_TRUE(
        Eventually([&] { return subscriber.Payloads("ostrel/minute").size() >= 14; }, WaitLimit));
    EXPECT_EQ(EndAndTakeStderr(), "");
    ASSERT_TRUE(Eventually(
        [&] {
            return !subscriber.Payloads("ostrel/status").empty() &&
                   subscriber.Payloads("ostrel/status").back() == "offline";
        },
        WaitLimit));
    EXPECT_EQ(subscriber.Payloads("ostrel/minute"), expected);
    EXPECT_EQ(subscriber.Payloads("ostrel/state").back(), expected.back());
    EXPECT_EQ(subscriber.Payloads("ostrel/status"),
              (std::vector<std::string>{"online", "offline"}));

    // Status first, then the device's three sensors, then the minutes; no
    // alarm without an [Alarm] section.
    std::vector<std::string> topics;
    for (const std::string& line : subscriber.Lines()) {
        const std::string topic = line.substr(0, line.find(' '));
        if (topic != "probe" && (topics.empty() || topics.back() != topic)) {
            topics.push_back(topic);
        }
    }
    ASSERT_GE(topics.size(), 6u);
    EXPECT_EQ(topics[0], "ostrel/status");
    EXPECT_EQ(topics[1], device + "cpm/config");
    EXPECT_EQ(topics[2], device + "usvh/config");
    EXPECT_EQ(topics[3], device + "dose/config");
    EXPECT_EQ(topics[4], "ostrel/minute");
    EXPECT_EQ(topics.back(), "ostrel/status");
    const std::vector<std::string> cpmConfig = subscriber.Payloads(topics[1]);
    ASSERT_EQ(cpmConfig.size(), 1u);
    EXPECT_NE(cpmConfig[0].find(R"("state_topic":"ostrel/state")"), std::string::npos);
    EXPECT_NE(cpmConfig[0].find(R"("availability_topic":"ostrel/status")"), std::string::npos);
    EXPECT_TRUE(subscriber.Payloads("ostrel/alarm").empty());
    if (std::getenv("OSTREL_SHOW_MQTT") != nullptr) {
        for (const std::string& line : subscriber.Lines()) {
            std::cout << line << "\n";
        }
    }
}

TEST_F(MqttPublishTest, TheAlarmIsRetainedOnItsTopicAndTheDoseRestartsWithANewLog) {
    constexpr auto npos = std::string::npos;
    test::TMosquittoBroker broker;
    test::TMqttSubscriber subscriber(broker);
    // No desktop to tell: the notification finds no bus.
    setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + (Folder / "no-bus").string()).c_str(), 1);
    Open(broker, "[Alarm]\nOn=0.01\n");
    // Off when connected, before any dose rate.
    ASSERT_TRUE(
        Eventually([&] { return !subscriber.Payloads("ostrel/alarm").empty(); }, WaitLimit));
    LogLines(11);
    ASSERT_TRUE(
        Eventually([&] { return subscriber.Payloads("ostrel/alarm").size() >= 2; }, WaitLimit));
    EXPECT_EQ(subscriber.Payloads("ostrel/alarm"), (std::vector<std::string>{"OFF", "ON"}));
    // Right after the minute that switched it and its state.
    const std::vector<std::string> lines = subscriber.Lines();
    EXPECT_EQ(std::find(lines.begin(), lines.end(), "ostrel/alarm ON")[-1],
              "ostrel/state " + ExpectedMinutes()[10]);
    const std::vector<std::string> config =
        subscriber.Payloads("homeassistant/binary_sensor/ostrel-test_" +
                            std::to_string(Form->Logger().DeviceId()) + "/alarm/config");
    ASSERT_EQ(config.size(), 1u);
    EXPECT_NE(config[0].find(R"("state_topic":"ostrel/alarm","device_class":"safety")"), npos);

    Form->NewClick();
    LogLines(1);
    ASSERT_TRUE(
        Eventually([&] { return subscriber.Payloads("ostrel/minute").size() >= 12; }, WaitLimit));
    EXPECT_EQ(subscriber.Payloads("ostrel/minute").back(), ExpectedMinutes().back());
    EXPECT_TRUE(subscriber.Payloads("ostrel/minute").back().ends_with(",\"dose\":0}"));
    EXPECT_EQ(EndAndTakeStderr(), "");
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
}

TEST_F(MqttPublishTest, MinutesLoggedWhileTheBrokerIsDownFollowInOrder) {
    test::TMosquittoBroker broker;
    test::TMqttSubscriber subscriber(broker);
    // The HTTP output's metrics tell what the publisher counts.
    const std::uint16_t http = bench::FreeLoopbackPort();
    Open(broker, "[HTTP]\nListen=127.0.0.1:" + std::to_string(http) + "\n");
    const auto metrics = [http] {
        const auto answer = httplib::Client("127.0.0.1", http).Get("/metrics");
        return answer ? answer->body : std::string();
    };
    LogLines(5);
    ASSERT_TRUE(Eventually(
        [&] {
            return Form->Logger().FindOutput<TMqttPublisher>()->Unacknowledged() == 0 &&
                   subscriber.Payloads("ostrel/minute").size() == 5;
        },
        WaitLimit));
    broker.Stop();
    LogLines(8);
    EXPECT_EQ(Form->Logger().FindOutput<TMqttPublisher>()->Unacknowledged(), 8u);
    EXPECT_NE(metrics().find("\nostrel_output_held_minutes{output=\"mqtt\"} 8\n"),
              std::string::npos);
    broker.Start();
    // QoS 1 is at least once on the broker's leg to the subscriber too: a
    // restarted broker may hand it again what it had delivered just before
    // it stopped. Those repeats are the broker's; every other payload is one
    // the publisher sent, and each must come once, in order.
    const auto fromPublisher = [&] {
        const std::vector<std::string> all = subscriber.Payloads("ostrel/minute");
        std::vector<std::string> sent(all.begin(),
                                      all.begin() + std::min<std::size_t>(5, all.size()));
        for (std::size_t i = sent.size(); i < all.size(); ++i) {
            if (std::find(sent.begin(), sent.begin() + 5, all[i]) == sent.begin() + 5) {
                sent.push_back(all[i]);
            }
        }
        return sent;
    };
    ASSERT_TRUE(Eventually([&] { return fromPublisher().size() >= 13; }, WaitLimit))
        << fromPublisher().size();
    EXPECT_EQ(fromPublisher(), ExpectedMinutes());
    EXPECT_TRUE(Errors.empty());
    // The broker's acknowledgements may come after the subscriber's copies.
    EXPECT_TRUE(Eventually([&] {
        return metrics().find("{output=\"mqtt\",result=\"accepted\"} 13\n") != std::string::npos;
    }));
    const std::string counted = metrics();
    EXPECT_NE(counted.find("\nostrel_output_held_minutes{output=\"mqtt\"} 0\n"), std::string::npos);
    // Gone at the end: the loss is told, and the window still ends.
    broker.Stop();
    EXPECT_TRUE(Eventually([&] { return CountContaining(StderrText(), "connection lost") >= 2; },
                           WaitLimit));
    const std::string stderrText = EndAndTakeStderr();
    EXPECT_EQ(CountContaining(stderrText, "ostrel: MQTT: 127.0.0.1:"), 2u) << stderrText;
    EXPECT_EQ(CountContaining(stderrText, "connection lost"), 2u) << stderrText;
}

TEST_F(MqttPublishTest, TlsBrokerVerifiedAgainstTheCAFile) {
    test::TMosquittoBroker broker({true, "", ""});
    test::TMqttSubscriber subscriber(broker);
    Open(broker, "CAFile=" + broker.CAFile + "\n");
    LogLines(3);
    ASSERT_TRUE(
        Eventually([&] { return subscriber.Payloads("ostrel/minute").size() >= 3; }, WaitLimit));
    EXPECT_EQ(subscriber.Payloads("ostrel/minute"), ExpectedMinutes());
    EXPECT_EQ(EndAndTakeStderr(), "");
}

TEST_F(MqttPublishTest, AWrongPasswordLeavesLoggingAloneAndSaysSoOnce) {
    test::TMosquittoBroker broker({false, "ostrel", "right"});
    test::TMqttSubscriber subscriber(broker);
    Open(broker, "User=ostrel\nPassword=wrong\n");
    LogLines(12);
    EXPECT_EQ(Form->Log().Lines().size(), 12u);
    EXPECT_TRUE(Errors.empty());
    EXPECT_TRUE(Messages.empty());
    // The first attempt and two retries, a second and two more apart, each
    // refused.
    ASSERT_TRUE(Eventually([&] { return CountContaining(broker.Log(), "not authorised") >= 3; },
                           WaitLimit));
    EXPECT_EQ(Form->Logger().FindOutput<TMqttPublisher>()->Unacknowledged(), 12u);
    const std::string stderrText = EndAndTakeStderr();
    EXPECT_EQ(CountContaining(stderrText, "\n"), 1u) << stderrText;
    EXPECT_NE(stderrText.find("ostrel: MQTT: 127.0.0.1:" + std::to_string(broker.Port) +
                              ": the broker refused the connection: "),
              std::string::npos)
        << stderrText;
    EXPECT_TRUE(subscriber.Payloads("ostrel/minute").empty());
}

} // namespace
} // namespace ostrel
