// SPDX-License-Identifier: GPL-3.0-or-later
#include "logger/CommandLine.h"

namespace ostrel {

TCommandLine ParseCommandLine(const std::vector<std::string>& args) {
    TCommandLine line;
    for (const std::string& arg : args) {
        if (arg == "--headless") {
            line.Headless = true;
        } else if (arg == "--help" || arg == "-h") {
            line.Help = true;
        } else if (arg == "--version") {
            line.Version = true;
        } else if (!line.Unknown) {
            line.Unknown = arg;
        }
    }
    return line;
}

std::string UsageText() {
    return "Usage: ostrel [--headless]\n"
           "Logs a radiation counter, one record per clock minute.\n"
           "\n"
           "  --headless  log without a window: start the counter at once and write\n"
           "              each finished minute's line to the standard output, until\n"
           "              SIGTERM or SIGINT\n"
           "  --help      show this text and end\n"
           "  --version   show the version and end\n";
}

std::string VersionText() {
    return std::string("Ostrel ") + OSTREL_VERSION + "\n";
}

} // namespace ostrel
