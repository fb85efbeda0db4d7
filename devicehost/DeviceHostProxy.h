// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's side of the device host: entry points that forward each call
// over the pipe to a device library running in the host. One such library at
// a time, bound once for the program's life.
//
// While the host lives, each call gives what the library gave. Once the host
// has died or the pipe is broken, every call gives 0, except that the next
// GetData delivers the end of the connection (a reading with Time.Year 0)
// once, so that the counter is logged as gone.

#include "device/CounterDevice.h"
#include "devicehost/DeviceHostMessages.h"

#include <string>

namespace ostrel {

// Starts the device host (the program at hostFile) for the library at
// libraryFile and waits for its hello. Bound: entries hold the forwarding
// entry points, whose Clear ends the host and waits for it. Otherwise
// nothing is bound and no host is left running; a host that cannot be
// started, that answers nothing, or while another one runs gives NotOpened.
THostedLoad LoadHostedCounterLibrary(const std::string& hostFile, const std::string& libraryFile,
                                     TCounterEntryPoints& entries);

// The process id of the running device host; 0 when none runs.
long DeviceHostProcessId();

} // namespace ostrel
