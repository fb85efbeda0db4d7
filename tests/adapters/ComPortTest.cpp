// SPDX-License-Identifier: GPL-3.0-or-later
// Windows' COM ports as text: the name a port is opened by, the order of
// the ports present and what a user is told of one that would not open.
// Plain text, so run on every system, Windows (Wine) included.

#include "adapters/PortAdvice.h"
#include "adapters/SerialPort.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ostrel::adapters {
namespace {

using Ports = std::vector<std::string>;

TEST(ComPortTest, APortIsOpenedByItsDevicePath) {
    struct TCase {
        std::string Name;
        std::string Path;
    };
    const std::vector<TCase> cases = {
        {"COM3", R"(\\.\COM3)"},
        {"COM12", R"(\\.\COM12)"},
        {"com7", R"(\\.\com7)"},
        {"CNCA0", R"(\\.\CNCA0)"},
        {R"(\\.\COM12)", R"(\\.\COM12)"},
        {R"(\\?\USB#VID_1A86&PID_7523)", R"(\\?\USB#VID_1A86&PID_7523)"},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(ComDevicePath(c.Name), c.Path) << c.Name;
    }
}

TEST(ComPortTest, PortsAreInNumberOrderEachOnce) {
    struct TCase {
        Ports Listed;
        Ports Ordered;
    };
    const std::vector<TCase> cases = {
        {{"COM10", "COM2", "COM1"}, {"COM1", "COM2", "COM10"}},
        {{"COM12", "COM5", "COM5", "COM3"}, {"COM3", "COM5", "COM12"}},
        {{"com11", "COM9"}, {"COM9", "com11"}},
        // com0com's pairs and other names after the numbered ports.
        {{"CNCB0", "COM4", "CNCA0", "COMX", "COM"}, {"COM4", "CNCA0", "CNCB0", "COM", "COMX"}},
        {{"COM1234567890", "COM2"}, {"COM2", "COM1234567890"}},
        {{}, {}},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(ComPortsInOrder(c.Listed), c.Ordered) << testing::PrintToString(c.Listed);
    }
}

TEST(ComPortTest, AFailedOpenIsExplained) {
    struct TCase {
        unsigned long Error;
        std::string SystemText;
        Ports Present;
        std::string Reason;
    };
    // Windows' own words for 5 and 2; the others only need to be passed on.
    const std::vector<TCase> cases = {
        {5, "Access is denied", {"COM3"}, "Access is denied (held by another program)"},
        {32, "Sharing violation", {}, "Sharing violation (held by another program)"},
        {2,
         "The system cannot find the file specified",
         {"COM3", "COM12"},
         "The system cannot find the file specified (the COM ports present: COM3, COM12)"},
        {3, "No path", {"COM1"}, "No path (the COM ports present: COM1)"},
        {2, "File not found", {}, "File not found (no COM port is present)"},
        {123, "Bad name", {"COM4"}, "Bad name (the COM ports present: COM4)"},
        {31, "Not functioning", {"COM3"}, "Not functioning"},
    };
    for (const TCase& c : cases) {
        const TPortAdvice advice = AdviseOnComPortFailure({c.Error, c.SystemText, c.Present});
        EXPECT_EQ(advice.Reason, c.Reason) << c.Error;
        EXPECT_EQ(advice.Advice, "") << c.Error;
    }
}

// The same rates on every system, so that a configuration file carries over.
TEST(ComPortTest, TheRatesAreThoseOfLinux) {
    EXPECT_EQ(SupportedBauds(), (std::vector<int>{1200, 2400, 4800, 9600, 14400, 19200, 28800,
                                                  38400, 57600, 115200, 230400, 460800}));
    EXPECT_EQ(OpenSerialPort("COM3", 300).Error, "unsupported baud rate 300");
}

} // namespace
} // namespace ostrel::adapters
