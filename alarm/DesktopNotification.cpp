// SPDX-License-Identifier: GPL-3.0-or-later
#include "alarm/DesktopNotification.h"

#include "platform/TextServices.h"
#include "platform/Translation.h"

#ifdef OSTREL_DESKTOP_NOTIFICATIONS
#include <QDBusConnection>
#include <QDBusMessage>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#endif

namespace ostrel {

namespace {

std::string Rate(double value) {
    return FloatToStr(value, TFormatSettings{}) + " µSv/h";
}

#ifdef OSTREL_DESKTOP_NOTIFICATIONS

constexpr int NotifyWaitMs = 5000;
// The notification service's urgency levels: normal and critical.
constexpr unsigned char NormalUrgency = 1;
constexpr unsigned char CriticalUrgency = 2;

// Where libdbus would look, less its autolaunch, which would start a bus of
// its own on a machine that has none.
QString SessionBusAddress() {
    if (const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS")) {
        return QString::fromLocal8Bit(address);
    }
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR")) {
        const std::filesystem::path socket = std::filesystem::path(runtime) / "bus";
        std::error_code error;
        if (std::filesystem::exists(socket, error)) {
            return "unix:path=" + QString::fromStdString(socket.string());
        }
    }
    return {};
}

#endif

} // namespace

TNotification AlarmNotification(const TAlarmChange& change, const TAlarmSettings& settings,
                                const std::string& station) {
    const auto summary = [&station](const char* text) {
        return station.empty() ? Translate(text) : Translate(text) + " - " + station;
    };
    // The pattern in the user's language, "%s" the dose rate, then the threshold.
    const auto body = [&change](const char* pattern, double threshold) {
        std::string text = Translate(pattern);
        for (const std::string& value : {Rate(change.DoseRate), Rate(threshold)}) {
            if (const std::size_t at = text.find("%s"); at != std::string::npos) {
                text.replace(at, 2, value);
            }
        }
        return text;
    };
    if (change.On) {
        return {summary(OSTREL_TR("Ostrel", "線量率アラーム")),
                body(OSTREL_TR("Ostrel", "%s (警報値 %s 以上)"), settings.On), true};
    }
    return {summary(OSTREL_TR("Ostrel", "線量率アラーム解除")),
            body(OSTREL_TR("Ostrel", "%s (解除値 %s 未満)"), settings.Off), false};
}

bool ShowDesktopNotification(const TNotification& notification) {
#ifdef OSTREL_DESKTOP_NOTIFICATIONS
    const QString address = SessionBusAddress();
    if (address.isEmpty()) {
        return false;
    }
    // A connection of its own each time: alarms are rare, and a bus that
    // came or went since the last one is found as it is now.
    static std::atomic<unsigned> serial{0};
    const QString name = "ostrel-notification-" + QString::number(++serial);
    bool shown = false;
    {
        QDBusConnection bus = QDBusConnection::connectToBus(address, name);
        if (bus.isConnected()) {
            QDBusMessage call = QDBusMessage::createMethodCall(
                "org.freedesktop.Notifications", "/org/freedesktop/Notifications",
                "org.freedesktop.Notifications", "Notify");
            const QVariantMap hints{
                {"urgency", QVariant::fromValue<uchar>(notification.Urgent ? CriticalUrgency
                                                                           : NormalUrgency)}};
            call << QString("Ostrel") << 0u << QString("ostrel")
                 << QString::fromStdString(notification.Summary)
                 << QString::fromStdString(notification.Body) << QStringList() << hints << -1;
            shown = bus.call(call, QDBus::Block, NotifyWaitMs).type() == QDBusMessage::ReplyMessage;
        }
    }
    QDBusConnection::disconnectFromBus(name);
    return shown;
#else
    (void)notification;
    return false;
#endif
}

} // namespace ostrel
