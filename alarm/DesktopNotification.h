// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A desktop notification of the alarm, through the freedesktop notification
// service on the session bus (org.freedesktop.Notifications), which the
// desktops of Linux and the BSDs provide.

#include "alarm/AlarmSettings.h"

#include <string>

namespace ostrel {

struct TAlarmChange {
    bool On = false;
    double DoseRate = 0; // of the line that switched the alarm
};

struct TNotification {
    std::string Summary;
    std::string Body;
    bool Urgent = false; // stays until dismissed, where the desktop does that
};

// In the language of the program's windows, with the threshold that was
// crossed; the summary names the station when it has a name (one of several
// loggers on a computer).
TNotification AlarmNotification(const TAlarmChange& change, const TAlarmSettings& settings,
                                const std::string& station = {});

// Blocks for a few seconds at most. False, and nothing shown, when there is
// no session bus (a server, a service without a desktop: no bus is started
// for it) or no notification service on it, and on systems without one.
bool ShowDesktopNotification(const TNotification& notification);

} // namespace ostrel
