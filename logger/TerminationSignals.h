// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// SIGTERM, SIGINT and SIGHUP (on Windows, the console's Ctrl+C, Ctrl+Break,
// close, sign-out and shutdown) turned into an event of the event loop, so
// that a session ending or Ctrl+C in a terminal ends the program in order.

#include <functional>

class QObject;

namespace ostrel {

// From now on, each of those signals calls onSignal on the event loop of
// owner's thread.
void WatchTerminationSignals(QObject* owner, std::function<void()> onSignal);

} // namespace ostrel
