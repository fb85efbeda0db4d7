// SPDX-License-Identifier: GPL-3.0-or-later
// The alarm output against a notification service of the test's own on a
// private session bus, and a command that writes down its arguments.

#include "alarm/AlarmOutput.h"
#include "records/OutputList.h"
#include "support/Waits.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusVirtualObject>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

namespace ostrel {
namespace {

using namespace std::chrono_literals;

// Waits with the events going, so that the fake service answers.
bool Eventually(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + test::WaitLimit;
    while (!done() && std::chrono::steady_clock::now() < deadline) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return done();
}

// Each Notify call's arguments, joined by "|".
class TFakeNotifications final : public QDBusVirtualObject {
public:
    std::vector<std::string> Calls;

    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        QStringList texts;
        for (const QVariant& argument : message.arguments()) {
            texts << argument.toString();
        }
        const QVariant urgency = qdbus_cast<QVariantMap>(message.arguments().value(6))["urgency"];
        texts[6] = "urgency=" + QString::number(urgency.toInt()) + " " + urgency.metaType().name();
        Calls.push_back((message.member() + ":" + texts.join("|")).toStdString());
        return connection.send(message.createReply(uint(Calls.size())));
    }
};

TEST(AlarmOutputTest, EachChangeIsShownAndRunsTheCommandWithStateAndDoseRate) {
    static int argc = 1;
    static char name[] = "AlarmOutputTest";
    static char* argv[] = {name, nullptr};
    QCoreApplication application(argc, argv);
    QProcess bus;
    bus.start("dbus-daemon", {"--session", "--nofork", "--print-address"});
    ASSERT_TRUE(Eventually([&] { return bus.canReadLine(); }));
    const QString address = QString::fromUtf8(bus.readLine()).trimmed();
    setenv("DBUS_SESSION_BUS_ADDRESS", address.toUtf8().constData(), 1);
    TFakeNotifications fake;
    QDBusConnection service = QDBusConnection::connectToBus(address, "fake");
    ASSERT_TRUE(service.registerService("org.freedesktop.Notifications"));
    ASSERT_TRUE(service.registerVirtualObject("/org/freedesktop/Notifications", &fake));

    // At a path with a blank; appends its arguments as one line to "args".
    const QTemporaryDir dir;
    const std::filesystem::path hook = dir.filePath("hook script.sh").toStdString();
    std::ofstream(hook) << "#!/bin/sh\nIFS='|'\necho \"$*\" >> \"$(dirname \"$0\")/args\"\n";
    std::filesystem::permissions(hook, std::filesystem::perms::owner_all);
    const auto runs = [&] {
        QFile file(dir.filePath("args"));
        file.open(QIODevice::ReadOnly);
        QStringList lines = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
        lines.sort(); // started, not waited for
        return lines.join(" / ").toStdString();
    };
    const TAlarmSettings settings{{0.5, 0.4},
                                  SplitCommand("\"" + hook.string() + "\" --room \"lab 2\"")};
    TRecords records;
    TLogOutputs outputs;
    outputs.push_back(std::make_unique<TAlarmOutput>(settings));
    TOutputList told(records, std::move(outputs), settings);
    TAlarmOutput& output = *told.Find<TAlarmOutput>();

    // The service answers only while the test waits: the minutes do not.
    const auto before = std::chrono::steady_clock::now();
    for (const std::optional<double> rate : {std::optional<double>(), {0.5}, {0.45}, {0.39}}) {
        told.MinuteFinished({{0, 0}, rate, "", 0});
    }
    EXPECT_LT(std::chrono::steady_clock::now() - before, 100ms);
    ASSERT_TRUE(Eventually(
        [&] { return fake.Calls.size() == 2 && runs().find(" / ") != std::string::npos; }));
    EXPECT_EQ(fake.Calls[0], "Notify:Ostrel|0|ostrel|線量率アラーム|"
                             "0.5 µSv/h (警報値 0.5 µSv/h 以上)||urgency=2 uchar|-1");
    EXPECT_EQ(fake.Calls[1], "Notify:Ostrel|0|ostrel|線量率アラーム解除|"
                             "0.39 µSv/h (解除値 0.4 µSv/h 未満)||urgency=1 uchar|-1");
    EXPECT_EQ(runs(), "--room|lab 2|OFF|0.39 / --room|lab 2|ON|0.5");
    EXPECT_EQ(AlarmNotification({false, 0.39}, settings, "Attic").Summary,
              "線量率アラーム解除 - Attic");

    // An opened log switches it at once, by its newest line's dose rate.
    for (const std::int32_t count : {300, 300, 300, 300, 300, 300, 300, 300, 300, 400, 0}) {
        records.Append({0, count});
    }
    told.LogOpened({records, 0.002, 0, TFormatSettings{}});
    EXPECT_TRUE(output.IsOn());
    ASSERT_TRUE(Eventually([&] { return runs().ends_with("0.62"); }));
    EXPECT_EQ(runs(), "--room|lab 2|OFF|0.39 / --room|lab 2|ON|0.5 / --room|lab 2|ON|0.62");
    // A coefficient set in the dialog switches it at once too.
    told.DoseRatesChanged({records, 0.001, 0, TFormatSettings{}});
    EXPECT_FALSE(output.IsOn());
    ASSERT_TRUE(Eventually([&] { return runs().find("OFF|0.31") != std::string::npos; }));
    EXPECT_EQ(runs(), "--room|lab 2|OFF|0.31 / --room|lab 2|OFF|0.39 / --room|lab 2|ON|0.5 / "
                      "--room|lab 2|ON|0.62");
    QDBusConnection::disconnectFromBus("fake");
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
    bus.kill();
    bus.waitForFinished();
}

} // namespace
} // namespace ostrel
