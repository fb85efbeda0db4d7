// SPDX-License-Identifier: GPL-3.0-or-later
#include "logger/CommandLine.h"

#include "counter/CounterFamilies.h"
#include "logger/Language.h"
#include "platform/DynamicLibrary.h"
#include "platform/Utf8Path.h"

#include <QByteArray>
#include <QtGlobal>

#include <algorithm>
#include <ostream>
#include <string_view>

namespace ostrel {

namespace {

// The counter families' names: "gmc, serial-line, ...".
std::string FamilyNames() {
    std::string names;
    for (const TCounterFamily& family : CounterFamilies) {
        names += std::string(family.Name) + ", ";
    }
    return names;
}

} // namespace

TCommandLine ParseCommandLine(const std::vector<std::string>& args) {
    TCommandLine line;
    const auto unknown = [&line](const std::string& arg) {
        if (!line.Unknown) {
            line.Unknown = arg;
        }
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const std::size_t equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        std::optional<std::string>* value = name == "--device"    ? &line.Device
                                            : name == "--port"    ? &line.Port
                                            : name == "--baud"    ? &line.Baud
                                            : name == "--lang"    ? &line.Language
                                            : name == "--config"  ? &line.Config
                                            : name == "--profile" ? &line.Profile
                                                                  : nullptr;
        if (value != nullptr) {
            if (equals != std::string::npos) {
                *value = arg.substr(equals + 1);
            } else if (i + 1 < args.size() && !args[i + 1].starts_with("--")) {
                *value = args[++i];
            } else {
                unknown(arg);
            }
        } else if (arg == "--headless") {
            line.Headless = true;
        } else if (arg == "--help" || arg == "-h") {
            line.Help = true;
        } else if (arg == "--version") {
            line.Version = true;
        } else {
            unknown(arg);
        }
    }
    return line;
}

std::string CommandLineError(const TCommandLine& line) {
    if (line.Profile) {
        const std::string& name = *line.Profile;
        const bool safe =
            !name.empty() && name.front() != '.' && std::ranges::all_of(name, [](char c) {
                return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '-' || c == '_' || c == '.';
            });
        if (!safe) {
            return "ostrel: the profile name \"" + name +
                   "\" is not a file name of letters, digits, '-', '_' and '.' (not first)\n";
        }
        if (line.Config) {
            return "ostrel: --config and --profile cannot be used together\n";
        }
    }
    return {};
}

std::optional<int> Answer(const TCommandLine& line, std::ostream& out) {
    if (line.Help) {
        out << UsageText();
        return 0;
    }
    if (line.Version) {
        out << VersionText();
        return 0;
    }
    return std::nullopt;
}

void Apply(const TCommandLine& line) {
    PassToAdapters(line);
    InstallLanguage(ChooseLanguage(line.Language, ProcessVariable),
                    PathFromUtf8(ExecutableFilePath()).parent_path());
}

void PassToAdapters(const TCommandLine& line) {
    for (const TCounterFamily& family : CounterFamilies) {
        const std::string prefix = "OSTREL_" + std::string(family.VariablePrefix);
        if (line.Port) {
            qputenv((prefix + "_PORT").c_str(), QByteArray::fromStdString(*line.Port));
        }
        if (line.Baud) {
            qputenv((prefix + "_BAUD").c_str(), QByteArray::fromStdString(*line.Baud));
        }
    }
}

std::string UsageOptionLines(std::string_view option, std::string_view description) {
    constexpr std::size_t indent = 19;
    constexpr std::size_t width = 76;
    std::string lines = "  " + std::string(option);
    std::size_t lineStart = 0;
    std::size_t wordStart = 0;
    while (wordStart < description.size()) {
        const std::size_t wordEnd = std::min(description.find(' ', wordStart), description.size());
        const std::string_view word = description.substr(wordStart, wordEnd - wordStart);
        const std::size_t column = lines.size() - lineStart;
        if (column < indent) {
            lines.append(indent - column, ' ');
        } else if (column + 1 + word.size() > width) {
            lines += '\n';
            lineStart = lines.size();
            lines.append(indent, ' ');
        } else {
            lines += ' ';
        }
        lines += word;
        wordStart = wordEnd + 1;
    }
    return lines + '\n';
}

std::string UsageText() {
    const std::string device = "the counter's device library: sim (the simulated counter), " +
                               FamilyNames() + "or a library's path";
    return "Usage: ostrel [--headless] [--device NAME] [--port PORT] [--baud RATE] [--lang ja|en]\n"
           "              [--config FILE | --profile NAME]\n"
           "Logs a radiation counter, one record per clock minute.\n"
           "\n"
           "  --headless       log without a window: start the counter at once and\n"
           "                   write each finished minute's line to the standard\n"
           "                   output, until SIGTERM or SIGINT\n" +
           UsageOptionLines("--device NAME", device) +
           "  --port PORT      the serial port the adapters look at\n"
           "  --baud RATE      the rate they use on it\n"
           "  --lang ja|en     the language of the window, whatever the desktop's\n"
           "  --config FILE    the settings file to use, with a state folder of its own\n"
           "  --profile NAME   the settings file NAME.ini in the user's configuration\n"
           "                   folder, with a state folder of its own\n"
           "  --help           show this text and end\n"
           "  --version        show the version and end\n";
}

std::string VersionText() {
    return std::string("Ostrel ") + OSTREL_VERSION + "\n";
}

} // namespace ostrel
