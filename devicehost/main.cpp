// SPDX-License-Identifier: GPL-3.0-or-later
// ostrel-device-host: runs one device library for the program, which starts
// it with the library's path and talks to it over its standard input and
// output (DeviceHostMessages.h). Windows' 64-bit program starts the 32-bit
// build of it for a 32-bit Pexlar.dll.

#include "devicehost/DeviceHostServer.h"
#include "platform/ChildProcess.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    // Before the library is loaded, so that nothing it prints reaches the pipe.
    ostrel::TParentPipe pipe;
    const std::vector<std::string> arguments = ostrel::CommandLineArguments(argc, argv);
    if (arguments.size() != 2) {
        std::cerr << "usage: ostrel-device-host <device library>\n"
                     "Started by Ostrel, which talks to it over its standard input and output.\n";
        return 2;
    }
    return ostrel::ServeCounterLibrary(arguments[1], pipe);
}
