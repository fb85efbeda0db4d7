// SPDX-License-Identifier: GPL-3.0-or-later
#include "logger/CommandLine.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace ostrel {
namespace {

// Every field as one text, for a table that reads as the command lines do.
std::string Fields(const TCommandLine& line) {
    const auto value = [](const std::optional<std::string>& v) { return v ? *v : "-"; };
    return std::string(line.Headless ? "headless " : "") + (line.Help ? "help " : "") +
           (line.Version ? "version " : "") + "device=" + value(line.Device) +
           " port=" + value(line.Port) + " baud=" + value(line.Baud) +
           " lang=" + value(line.Language) + " unknown=" + value(line.Unknown);
}

TEST(CommandLineTest, OptionsWithTheirValues) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{}, "device=- port=- baud=- lang=- unknown=-"},
        {{"--headless", "--device", "gmc"}, "headless device=gmc port=- baud=- lang=- unknown=-"},
        {{"--device=radpro", "--port=/dev/ttyACM0", "--baud", "115200", "--lang", "en"},
         "device=radpro port=/dev/ttyACM0 baud=115200 lang=en unknown=-"},
        {{"--help", "--version"}, "help version device=- port=- baud=- lang=- unknown=-"},
        // The toolkit's own options reach it; the first is told.
        {{"-platform", "offscreen"}, "device=- port=- baud=- lang=- unknown=-platform"},
        {{"--port"}, "device=- port=- baud=- lang=- unknown=--port"},
        {{"--device", "--headless"}, "headless device=- port=- baud=- lang=- unknown=--device"},
    };
    for (const auto& [args, expected] : cases) {
        EXPECT_EQ(Fields(ParseCommandLine(args)), expected);
    }
}

TEST(CommandLineTest, UsageOptionsWrapBelowEachOtherWithin76Columns) {
    const std::string a55(55, 'a');
    const std::string a56(56, 'a');
    const std::string indent(19, ' ');
    const std::pair<std::pair<const char*, std::string>, std::string> cases[] = {
        {{"--port PORT", "the serial port the adapters look at"},
         "  --port PORT      the serial port the adapters look at\n"},
        {{"--device NAME", "the counter's device library: sim (the simulated counter), gmc, "
                           "serial-line, radpro, or a library's path"},
         "  --device NAME    the counter's device library: sim (the simulated\n"
         "                   counter), gmc, serial-line, radpro, or a library's path\n"},
        {{"--x", a55 + " b"}, "  --x" + std::string(14, ' ') + a55 + " b\n"},
        {{"--x", a56 + " b"}, "  --x" + std::string(14, ' ') + a56 + "\n" + indent + "b\n"},
        {{"--a-very-long-option", "x"}, "  --a-very-long-option x\n"},
    };
    for (const auto& [args, expected] : cases) {
        EXPECT_EQ(UsageOptionLines(args.first, args.second), expected) << args.second;
    }
}

TEST(CommandLineTest, PortAndBaudReachEveryAdapter) {
    TCommandLine line;
    line.Port = "/dev/ttyUSB3";
    line.Baud = "57600";
    PassToAdapters(line);
    const std::pair<const char*, const char*> variables[] = {
        {"OSTREL_GMC_PORT", "/dev/ttyUSB3"},        {"OSTREL_GMC_BAUD", "57600"},
        {"OSTREL_SERIALLINE_PORT", "/dev/ttyUSB3"}, {"OSTREL_SERIALLINE_BAUD", "57600"},
        {"OSTREL_RADPRO_PORT", "/dev/ttyUSB3"},     {"OSTREL_RADPRO_BAUD", "57600"},
    };
    for (const auto& [name, value] : variables) {
        const char* got = std::getenv(name);
        EXPECT_STREQ(got != nullptr ? got : "(unset)", value) << name;
    }
}

} // namespace
} // namespace ostrel
