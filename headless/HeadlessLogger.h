// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The logger without a window: the logger core with views that draw
// nothing, every output the settings file turns on, and each finished
// minute's line on the standard output as it is logged.

#include "logger/Logger.h"
#include "logger/Places.h"
#include "platform/FormatSettings.h"
#include "views/PlainViews.h"

#include <functional>
#include <memory>
#include <ostream>
#include <string>

namespace ostrel {

struct THeadlessOptions {
    TPlaces Places;
    TFormatSettings FormatSettings;
    std::string HostName;
    std::ostream& Out; // the minutes' lines
    std::ostream& Err; // what goes wrong, and what was taken up again
    // Called once logging has ended by itself (the counter said it is gone).
    std::function<void()> Gone;
};

class THeadlessLogger {
public:
    explicit THeadlessLogger(THeadlessOptions options);

    // As the window starts: the device library, the settings, a new log (or
    // the one the last run left), and then the counter at once. False, with
    // the window's text on Err, when the library cannot be loaded or no
    // counter answers.
    bool Begin();
    // True while the counter logs; false once it has said it is gone.
    bool Logging() { return Session->Timer().isActive(); }
    // As the window ends: the finished minutes on the disk, the outputs
    // closed, the settings written. False, with the reason on Err, when the
    // settings could not be written.
    bool End();

    TLogger& Logger() { return *Session; }

private:
    THeadlessOptions Options;
    TPlainViews Views;
    std::unique_ptr<TLogger> Session;
};

} // namespace ostrel
