// SPDX-License-Identifier: GPL-3.0-or-later
// The serial-line adapter against fake line counters on a pseudo-terminal:
// MightyOhm and GC10 style lines, garbage, the cable pulled mid-session.

#include "adapters/AdapterTestSupport.h"
#include "adapters/LineProtocol.h"
#include "adapters/PtyFakes.h"
#include "adapters/SerialCounter.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace ostrel::adapters {
namespace {

using Readings = std::vector<std::string>;

class SerialLinePtyTest : public ::testing::Test {
protected:
    test::TPty Pty;
    test::TRealPortWorld World;
    std::unique_ptr<TSerialCounter> Counter;
    std::size_t BytesSent = 0;

    void SetUp() override {
        World.Environment = {{"OSTREL_SERIALLINE_CONFIG", ""},
                             {"OSTREL_SERIALLINE_STATE", ""},
                             {"OSTREL_SERIALLINE_PORT", Pty.Path()}};
        Counter = std::make_unique<TSerialCounter>(SerialLineAdapterSetup(), World.Context());
        ASSERT_EQ(Counter->Find(), 1);
        ASSERT_EQ(Counter->Connect(PortId(Pty.Path())), 1);
    }

    // Sends the text in the given pieces, each after the last has reached
    // the adapter, and returns the readings that came of it all.
    Readings Send(const std::vector<std::string>& pieces) {
        Readings readings;
        for (const std::string& piece : pieces) {
            Pty.Write(piece);
            BytesSent += piece.size();
            const bool arrived = test::WaitUntil([&] {
                const Readings more = test::Drain(*Counter);
                readings.insert(readings.end(), more.begin(), more.end());
                return World.BytesRead.load() >= BytesSent;
            });
            EXPECT_TRUE(arrived) << World.BytesRead.load() << " of " << BytesSent << " bytes";
            World.Clock.Wall += 1000;
        }
        const Readings more = test::Drain(*Counter);
        readings.insert(readings.end(), more.begin(), more.end());
        return readings;
    }
};

TEST_F(SerialLinePtyTest, MightyOhmLinesGiveTheirCountsPerSecond) {
    EXPECT_EQ(Send({"CPS, 5, CPM, 30, uSv/hr, 0.17, SLOW\r\n", "CPS, 2, CPM, 3",
                    "1, uSv/hr, 0.17, SLOW\r\nCPS, 0, CPM, 31, uSv/hr, 0.17, SLOW\r\n"}),
              (Readings{"2024-05-01 09:40:58.000 w3 5", "2024-05-01 09:40:59.000 w3 2",
                        "2024-05-01 09:41:00.000 w3 0"}));
}

TEST_F(SerialLinePtyTest, VariantsWithFewerFieldsAndOverflowedSeconds) {
    // MightyOhm firmware 1.10 appends "*" to a second whose count overflowed.
    EXPECT_EQ(Send({"CPS, 9\r\n", "CPS, 300*, CPM, 15300*, uSv/hr, 87.21*, INST\r\n",
                    "CPS, 301*, CPM, 15601*, uSv/hr, 88.92*, INST\r\n"}),
              (Readings{"2024-05-01 09:40:58.000 w3 9", "2024-05-01 09:40:59.000 w3 300",
                        "2024-05-01 09:41:00.000 w3 301"}));
    EXPECT_EQ(World.Reports,
              std::vector<std::string>{"Serial line adapter: " + Pty.Path() +
                                       ": the counter marks a second's count with \"*\": its "
                                       "buffer overflowed, the count may be too low"});
}

// Counters that send only their CPM, once a second: one reading a minute,
// the last CPM of the minute, stamped in it.
TEST_F(SerialLinePtyTest, CpmOnlyCountersGiveOneReadingAMinute) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        // The GC10 UART interface: the CPM value and CR LF every second, 9600 8N1.
        {"20\r\n", "21\r\n"},
        // ESPGeiger's serial output with "show" on (docs/outputs/serial.md).
        {"CPM: 20\r\n", "CPM: 21\r\n"},
        // MightyOhm firmware 1.10 variant without a CPS field.
        {"CPM(SLOW): 20, uSv/hr, 0.11, SLOW\r\n", "CPM(SLOW): 21, uSv/hr, 0.11, SLOW\r\n"},
    };
    int minute = 40;
    for (const auto& [line, next] : cases) {
        World.Reports.clear();
        World.Clock.Wall = test::LocalMilliseconds(2024, 5, 1, 9, minute, 58);
        const std::string hour = "2024-05-01 09:";
        // :58 and :59, then :00 of the next minute ends the minute.
        EXPECT_EQ(Send({line, line, next}),
                  Readings{hour + std::to_string(minute) + ":59.000 w3 20"})
            << line;
        // Stopping hands out the unfinished minute.
        ASSERT_EQ(Counter->Disconnect(PortId(Pty.Path())), 1);
        EXPECT_EQ(test::Drain(*Counter),
                  (Readings{hour + std::to_string(minute + 1) + ":01.000 w3 21", "gone"}))
            << line;
        EXPECT_EQ(
            World.Reports,
            std::vector<std::string>{"Serial line adapter: " + Pty.Path() +
                                     ": the counter sends its CPM only: one reading a minute is "
                                     "logged, the last CPM of that minute"})
            << line;
        minute += 2;
        ASSERT_EQ(Counter->Find(), 1);
        ASSERT_EQ(Counter->Connect(PortId(Pty.Path())), 1);
    }
}

TEST_F(SerialLinePtyTest, GarbageLinesAreDropped) {
    EXPECT_EQ(Send({"CPS, 5, CPM, 3\x01\r\n", "CPM, 30, uSv/hr, 0.17, SLOW\r\n",
                    std::string("\xff\xfe\x00\r\n", 5), "CPS, 70000\r\n", "CPS, 12\r\n"}),
              Readings{"2024-05-01 09:41:02.000 w3 12"});
    EXPECT_EQ(World.Reports, std::vector<std::string>{
                                 "Serial line adapter: " + Pty.Path() +
                                 ": lines that are not counts are dropped (the wrong baud rate?), "
                                 "e.g. \"CPS, 5, CPM, 3?\""});
}

TEST_F(SerialLinePtyTest, PullingTheCableIsToldAndStopEndsLoggingWhileTheCounterIsAway) {
    EXPECT_EQ(Send({"CPS, 3\r\n", "CPS, 4"}), Readings{"2024-05-01 09:40:58.000 w3 3"});
    Pty.Close();
    // The unfinished "4" cannot be trusted.
    EXPECT_EQ(test::DrainUntilTold(*Counter, World.Reports, 2), Readings{});
    EXPECT_EQ(World.Reports,
              (std::vector<std::string>{"Serial line adapter: " + Pty.Path() +
                                            ": lines cut off or longer than 256 bytes are dropped",
                                        "Serial line adapter: the counter on " + Pty.Path() +
                                            " is gone (hung up); trying the port "
                                            "again every 2 s"}));
    EXPECT_EQ(Counter->Disconnect(PortId(Pty.Path())), 1);
    EXPECT_EQ(test::Drain(*Counter), Readings{"gone"});
    EXPECT_EQ(test::Drain(*Counter), Readings{});
}

} // namespace
} // namespace ostrel::adapters
