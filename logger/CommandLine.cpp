// SPDX-License-Identifier: GPL-3.0-or-later
#include "logger/CommandLine.h"

#include "logger/Language.h"
#include "platform/DynamicLibrary.h"
#include "platform/Utf8Path.h"

#include <QByteArray>
#include <QtGlobal>

#include <array>
#include <ostream>
#include <string_view>

namespace ostrel {

namespace {

// The adapters' families, as their variables name them.
constexpr std::array<const char*, 3> AdapterFamilies = {"GMC", "SERIALLINE", "RADPRO"};

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
        std::optional<std::string>* value = name == "--device" ? &line.Device
                                            : name == "--port" ? &line.Port
                                            : name == "--baud" ? &line.Baud
                                            : name == "--lang" ? &line.Language
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
    for (const char* family : AdapterFamilies) {
        const std::string prefix = std::string("OSTREL_") + family;
        if (line.Port) {
            qputenv((prefix + "_PORT").c_str(), QByteArray::fromStdString(*line.Port));
        }
        if (line.Baud) {
            qputenv((prefix + "_BAUD").c_str(), QByteArray::fromStdString(*line.Baud));
        }
    }
}

std::string UsageText() {
    return "Usage: ostrel [--headless] [--device NAME] [--port PORT] [--baud RATE] [--lang ja|en]\n"
           "Logs a radiation counter, one record per clock minute.\n"
           "\n"
           "  --headless       log without a window: start the counter at once and\n"
           "                   write each finished minute's line to the standard\n"
           "                   output, until SIGTERM or SIGINT\n"
           "  --device NAME    the counter's device library: sim (the simulated\n"
           "                   counter), gmc, serial-line, radpro, or a library's path\n"
           "  --port PORT      the serial port the adapters look at\n"
           "  --baud RATE      the rate they use on it\n"
           "  --lang ja|en     the language of the window, whatever the desktop's\n"
           "  --help           show this text and end\n"
           "  --version        show the version and end\n";
}

std::string VersionText() {
    return std::string("Ostrel ") + OSTREL_VERSION + "\n";
}

} // namespace ostrel
