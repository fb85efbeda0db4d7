// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The device host's side of the pipe: it runs the library's entry points for
// the program's requests (DeviceHostMessages.h).

#include "device/CounterDevice.h"
#include "devicehost/DeviceHostMessages.h"
#include "platform/ChildProcess.h"

#include <string>

namespace ostrel {

// Opens the library at path, binds its entry points as the program's own
// loader does and serves them until the program's Clear or the end of its
// input. The host's exit status: 0 after the program's Clear.
int ServeCounterLibrary(const std::string& path, TPipeChannel& pipe);

// Sends the hello for load and, for a bound library, serves entries.
int ServeEntryPoints(const TCounterEntryPoints& entries, THostedLoad load, TPipeChannel& pipe);

} // namespace ostrel
