// SPDX-License-Identifier: GPL-3.0-or-later
#include "logger/CommandLine.h"

#include <gtest/gtest.h>

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

} // namespace
} // namespace ostrel
