// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's few options, the same for the window and for the logger
// without one.

#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

struct TCommandLine {
    bool Headless = false;
    bool Help = false;
    bool Version = false;
    std::optional<std::string> Device;   // --device NAME
    std::optional<std::string> Port;     // --port PORT
    std::optional<std::string> Baud;     // --baud RATE
    std::optional<std::string> Language; // --lang ja|en
    std::optional<std::string> Config;   // --config FILE
    std::optional<std::string> Profile;  // --profile NAME
    // The first argument that is no option of ours, or an option of ours
    // without its value.
    std::optional<std::string> Unknown;
};

// args without the program's name. "--device gmc" and "--device=gmc" alike.
TCommandLine ParseCommandLine(const std::vector<std::string>& args);

// What is wrong with the command line's values, as one line ending in a
// newline ("ostrel: ..."); empty when nothing is. A profile's name becomes a
// file name: letters, digits, '-', '_' and '.', but no '.' first.
std::string CommandLineError(const TCommandLine& line);

// Hands --port and --baud to the adapters, which read them from their
// environment at each connection, as if OSTREL_GMC_PORT and the like were
// set (the command line wins over those).
void PassToAdapters(const TCommandLine& line);

// What a command line asks for besides logging: --help and --version are
// answered on out; the status to end with then, none otherwise.
std::optional<int> Answer(const TCommandLine& line, std::ostream& out);

// The program's settings for this run taken from the command line: --port
// and --baud for the adapters (PassToAdapters), and the language of its
// texts, installed from the translations beside the executable.
void Apply(const TCommandLine& line);

// What --help prints.
std::string UsageText();
// One option of it: "  " and the option, then its description from the
// 20th column, the words wrapped there to stay within 76 columns.
std::string UsageOptionLines(std::string_view option, std::string_view description);
// What --version prints: "Ostrel 1.4".
std::string VersionText();

} // namespace ostrel
