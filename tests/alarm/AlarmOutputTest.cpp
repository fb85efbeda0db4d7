// SPDX-License-Identifier: GPL-3.0-or-later
// The alarm output against a notification service of the test's own on a
// private session bus (dbus-daemon), and a command that writes down what it
// was given.

#include "alarm/AlarmOutput.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusVirtualObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace ostrel {
namespace {

using namespace std::chrono_literals;

// Waits with the test's events going, so that the fake service answers.
bool Eventually(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// Each Notify call as "app|replaces|icon|summary|body|actions|hints|timeout".
class TFakeNotifications final : public QDBusVirtualObject {
public:
    std::vector<std::string> Calls;

    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.member() != "Notify") {
            return false;
        }
        std::string call;
        for (const QVariant& argument : message.arguments()) {
            QString text = argument.toString();
            if (argument.metaType() == QMetaType::fromType<QDBusArgument>()) {
                const QVariantMap hints = qdbus_cast<QVariantMap>(argument);
                for (auto hint = hints.begin(); hint != hints.end(); ++hint) {
                    text += hint.key() + "=" + QString::number(hint.value().toInt()) + "(" +
                            hint.value().metaType().name() + ")";
                }
            }
            call += (call.empty() ? "" : "|") + text.toStdString();
        }
        Calls.push_back(call);
        connection.send(message.createReply(QVariant::fromValue(uint(Calls.size()))));
        return true;
    }
};

class AlarmOutputTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "AlarmOutputTest";
        static char* argv[] = {name, nullptr};
        // Kept to the end of the process, as the D-Bus module wants it.
        static QCoreApplication application(argc, argv);
    }

    QTemporaryDir Dir;
    std::filesystem::path Folder = Dir.path().toStdString();
    QProcess Bus;
    TFakeNotifications Fake;
    std::vector<std::string> Reports;

    void SetUp() override {
        Bus.start("dbus-daemon", {"--session", "--nofork", "--print-address"});
        ASSERT_TRUE(Bus.waitForStarted(10'000));
        ASSERT_TRUE(Eventually([this] { return Bus.canReadLine(); }));
        const QString address = QString::fromUtf8(Bus.readLine()).trimmed();
        setenv("DBUS_SESSION_BUS_ADDRESS", address.toUtf8().constData(), 1);
        QDBusConnection service = QDBusConnection::connectToBus(address, "fake-notifications");
        ASSERT_TRUE(service.registerService("org.freedesktop.Notifications"));
        ASSERT_TRUE(service.registerVirtualObject("/org/freedesktop/Notifications", &Fake));
    }
    void TearDown() override {
        QDBusConnection::disconnectFromBus("fake-notifications");
        unsetenv("DBUS_SESSION_BUS_ADDRESS");
        Bus.terminate();
        Bus.waitForFinished(10'000);
    }

    // A program at a path with a blank that appends its arguments, each
    // followed by "|", as one line to the file "args" beside it.
    std::string Hook() {
        const std::filesystem::path hook = Folder / "hook script.sh";
        std::ofstream(hook) << "#!/bin/sh\nline=$(printf '%s|' \"$@\")\n"
                               "printf '%s\\n' \"$line\" >> \"$(dirname \"$0\")/args\"\n";
        std::filesystem::permissions(hook, std::filesystem::perms::owner_all);
        return hook.string();
    }
    std::vector<std::string> HookRuns() const {
        std::ifstream in(Folder / "args");
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line);
        }
        std::sort(lines.begin(), lines.end()); // the runs are not waited for
        return lines;
    }
    std::unique_ptr<TAlarmOutput> Make(const std::string& command) {
        return std::make_unique<TAlarmOutput>(
            TAlarmSettings{0.5, 0.4, SplitCommand(command)},
            [this](const std::string& text) { Reports.push_back(text); });
    }
};

void Minute(TAlarmOutput& output, std::optional<double> doseRate) {
    output.MinuteFinished({{0, 0}, doseRate, "", 0});
}

TEST_F(AlarmOutputTest, EachChangeIsShownAndRunsTheCommandWithStateAndDoseRate) {
    const auto output = Make("\"" + Hook() + "\" --room \"lab 2\"");
    // The service answers only while the test waits: until then the
    // minutes go on all the same.
    const auto before = std::chrono::steady_clock::now();
    for (const std::optional<double> rate :
         {std::optional<double>(), {0.3}, {0.5}, {0.45}, {0.39}}) {
        Minute(*output, rate);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - before, 100ms);
    EXPECT_FALSE(output->IsOn());
    ASSERT_TRUE(Eventually([this] { return Fake.Calls.size() == 2 && HookRuns().size() == 2; }))
        << Fake.Calls.size() << " " << HookRuns().size();
    EXPECT_EQ(Fake.Calls,
              (std::vector<std::string>{
                  "Ostrel|0|ostrel|線量率アラーム|0.5 µSv/h (警報値 0.5 µSv/h 以上)||"
                  "urgency=2(uchar)|-1",
                  "Ostrel|0|ostrel|線量率アラーム解除|0.39 µSv/h (解除値 0.4 µSv/h 未満)||"
                  "urgency=1(uchar)|-1",
              }));
    EXPECT_EQ(HookRuns(),
              (std::vector<std::string>{"--room|lab 2|OFF|0.39|", "--room|lab 2|ON|0.5|"}));

    // An opened log switches it at once, with its newest line's dose rate.
    TRecords records;
    for (const std::int32_t count : {300, 300, 300, 300, 300, 300, 300, 300, 300, 400, 0}) {
        records.Append({0, count});
    }
    output->LogOpened({records, 0.002, 0, TFormatSettings{}});
    EXPECT_TRUE(output->IsOn());
    ASSERT_TRUE(Eventually([this] { return HookRuns().size() == 3; }));
    EXPECT_EQ(HookRuns()[2], "--room|lab 2|ON|0.62|");
    EXPECT_EQ(Fake.Calls.size(), 3u);
    EXPECT_TRUE(Reports.empty());
}

TEST_F(AlarmOutputTest, WithoutASessionBusNothingIsShownAndAMissingProgramIsTold) {
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::string runtimeBefore = runtime != nullptr ? runtime : "";
    setenv("XDG_RUNTIME_DIR", Folder.c_str(), 1); // no "bus" in it
    testing::internal::CaptureStderr();
    {
        const auto output = Make((Folder / "missing").string() + " -v");
        Minute(*output, 0.7);
        Minute(*output, 0.1);
        ASSERT_TRUE(Eventually([this] { return Reports.size() == 2; }));
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(Reports, std::vector<std::string>(2, "cannot run " + (Folder / "missing").string()));
    EXPECT_TRUE(Fake.Calls.empty());
    if (runtime != nullptr) {
        setenv("XDG_RUNTIME_DIR", runtimeBefore.c_str(), 1);
    } else {
        unsetenv("XDG_RUNTIME_DIR");
    }
}

} // namespace
} // namespace ostrel
