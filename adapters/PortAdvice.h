// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Why a serial port would not open, in words a user can act on: the group
// to join, the program that holds the port, the braille service that takes
// CH340 adapters. Fed with what the system says, and a root folder under
// which proc/, sys/ and the udev rules are read, so that tests bring a tree
// of their own. Windows tells less: a port held by another program, or the
// COM ports there are instead of the one asked for.

#include <filesystem>
#include <string>
#include <vector>

namespace ostrel::adapters {

struct TPortFacts {
    int Error = 0;                          // errno of the open (EBUSY for a lock)
    std::string Device;                     // the port, links resolved: "/dev/ttyUSB0"
    std::string PortGroup;                  // the group owning the device; empty: unknown
    std::vector<std::string> ProcessGroups; // the groups this process has now
    std::string User;                       // empty: unknown
    std::vector<std::string> UserGroups;    // the user's groups at the next login
    std::filesystem::path Root = "/";       // where proc/, sys/, etc/ and usr/ are
};

struct TPortAdvice {
    std::string Reason; // follows "cannot open <port>: "
    std::string Advice; // a command to run, or empty
};

TPortAdvice AdviseOnOpenFailure(const TPortFacts& facts);

// What Windows said of a COM port that would not open. Plain values, so
// that the advice is tested on every system.
struct TComPortFacts {
    unsigned long Error = 0;               // GetLastError() of the open
    std::string SystemText;                // Windows' words for it: "Access is denied"
    std::vector<std::string> PresentPorts; // the COM ports there are, in order
};

TPortAdvice AdviseOnComPortFailure(const TComPortFacts& facts);

} // namespace ostrel::adapters
