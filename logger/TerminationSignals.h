// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// SIGTERM, SIGINT and SIGHUP turned into an event of the event loop, so that
// a session ending or Ctrl+C in a terminal ends the program in order.

#include <functional>

class QObject;

namespace ostrel {

// From now on, each of those signals calls onSignal on the event loop of
// owner's thread; nothing on Windows, which sends none of them.
void WatchTerminationSignals(QObject* owner, std::function<void()> onSignal);

} // namespace ostrel
