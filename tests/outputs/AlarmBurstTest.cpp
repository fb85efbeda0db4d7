// SPDX-License-Identifier: GPL-3.0-or-later
// A tick that hands over many minutes at once (a library that held its
// readings while the computer slept): every switch of the dose-rate alarm
// is published to a real mosquitto broker right after the minute that made
// it, and runs the alarm's command, in the order of the minutes.

#include "logger/Logger.h"
#include "outputs/Outputs.h"
#include "support/FakeDevice.h"
#include "support/FakeViews.h"
#include "support/MosquittoBroker.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace ostrel {
namespace {

namespace fs = std::filesystem;
using test::Eventually;

std::vector<std::string> ReadLines(const fs::path& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// Runs of equal counts, one minute each: {10, 0} is ten minutes of 0.
std::vector<std::uint16_t> Minutes(const std::vector<std::pair<int, std::uint16_t>>& runs) {
    std::vector<std::uint16_t> counts;
    for (const auto& [minutes, count] : runs) {
        counts.insert(counts.end(), static_cast<std::size_t>(minutes), count);
    }
    return counts;
}

TEST(AlarmBurstTest, EverySwitchInOneTickIsPublishedAfterItsMinuteAndRunsTheCommand) {
    static int argc = 1;
    static char name[] = "AlarmBurstTest";
    static char* argv[] = {name, nullptr};
    const QCoreApplication application(argc, argv);
    const QTemporaryDir dir;
    const fs::path folder = dir.path().toStdString();
    // No desktop to tell: the notification finds no bus.
    setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + (folder / "no-bus").string()).c_str(), 1);
    const fs::path hook = folder / "hook.sh";
    std::ofstream(hook) << "#!/bin/sh\nIFS='|'\necho \"$*\" >> \"$(dirname \"$0\")/runs\"\n";
    fs::permissions(hook, fs::perms::owner_all);
    const test::TMosquittoBroker broker;
    const test::TMqttSubscriber subscriber(broker);

    // A coefficient of 0.01 makes a line's dose rate a tenth of the number
    // of its ten minutes that counted 100.
    const struct {
        const char* Topic;
        std::vector<std::pair<int, std::uint16_t>> Runs;
        std::vector<std::string> Published; // the alarm topic, from the connection on
        std::vector<std::string> Switched;  // the minutes that switched it
    } cases[] = {
        {"one", {{10, 0}, {15, 100}, {13, 0}}, {"OFF", "ON", "OFF"}, {"09:14", "09:31"}},
        {"two",
         {{10, 0}, {10, 100}, {10, 0}, {10, 100}, {10, 0}},
         {"OFF", "ON", "OFF", "ON", "OFF"},
         {"09:14", "09:26", "09:34", "09:46"}},
        {"none", {{10, 0}, {20, 40}}, {"OFF"}, {}},
    };
    std::vector<std::string> runs;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Topic);
        std::ofstream(folder / "ostrel.ini", std::ios::binary)
            << "[Graph]\nuSv=0.01\n[MQTT]\nHost=127.0.0.1\nPort=" << broker.Port
            << "\nTopic=" << c.Topic << "\nClientId=ostrel-" << c.Topic
            << "\n[Alarm]\nOn=0.45\nOff=0.35\nCommand=" << hook.string() << "\n";
        test::TFakeDevice device;
        const TCounterEntryPoints entries = device.EntryPoints();
        test::TFakeViews views;
        TOutputSet outputs = MakeOutputs({folder / "ostrel.ini", {}, "host", {}});
        TLoggerOptions options;
        options.Device = &entries;
        options.SettingsPath = folder / "ostrel.ini";
        options.Outputs = std::move(outputs.Outputs);
        options.Alarm = outputs.Alarm;
        TLogger logger(std::move(options), views.Views());
        logger.ReadSettings();
        logger.New();
        logger.Start();
        const std::string topic = std::string(c.Topic) + "/alarm";
        ASSERT_TRUE(Eventually([&] { return !subscriber.Payloads(topic).empty(); }));

        const std::vector<std::uint16_t> counts = Minutes(c.Runs);
        for (std::size_t m = 0; m <= counts.size(); ++m) {
            device.Queue(2011, 7, 16, static_cast<std::uint16_t>(9 + m / 60), m % 60, 0,
                         m < counts.size() ? counts[m] : 1);
        }
        logger.Tick();
        ASSERT_EQ(views.Log.Lines.size(), counts.size());
        ASSERT_TRUE(Eventually([&] {
            return subscriber.Payloads(std::string(c.Topic) + "/minute").size() == counts.size();
        }));
        ASSERT_TRUE(
            Eventually([&] { return subscriber.Payloads(topic).size() >= c.Published.size(); }));
        logger.End();
        EXPECT_EQ(subscriber.Payloads(topic), c.Published);
        // Each switch right after its minute and the state it left.
        std::vector<std::string> switched;
        const std::vector<std::string> lines = subscriber.Lines();
        const std::string minute = std::string(c.Topic) + "/minute ";
        const std::string state = std::string(c.Topic) + "/state ";
        for (std::size_t i = 2; i < lines.size(); ++i) {
            if (lines[i].starts_with(topic + " ") && lines[i - 2].starts_with(minute) &&
                lines[i - 1] == state + lines[i - 2].substr(minute.size())) {
                switched.push_back(lines[i - 1].substr(state.size() + 21, 5));
            }
        }
        EXPECT_EQ(switched, c.Switched);
        for (std::size_t k = 1; k < c.Published.size(); ++k) {
            runs.push_back(c.Published[k] + (c.Published[k] == "ON" ? "|0.5" : "|0.3"));
        }
    }
    // The commands are started, not waited for: the order of their lines is
    // theirs.
    std::sort(runs.begin(), runs.end());
    ASSERT_TRUE(Eventually([&] { return ReadLines(folder / "runs").size() >= runs.size(); }));
    std::vector<std::string> ran = ReadLines(folder / "runs");
    std::sort(ran.begin(), ran.end());
    EXPECT_EQ(ran, runs);
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
}

} // namespace
} // namespace ostrel
