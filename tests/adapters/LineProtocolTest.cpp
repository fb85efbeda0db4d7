// SPDX-License-Identifier: GPL-3.0-or-later
// Line counters: which lines carry the counts of a second, and how bytes
// become lines.

#include "adapters/LineProtocol.h"
#include "adapters/AdapterTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ostrel::adapters {
namespace {

TEST(ParseCountLineTest, TakesTheCountsOfTheSecondOnly) {
    struct TCase {
        std::string Line;
        TLineKind Kind;
        std::uint16_t Count;
        bool Overflowed = false;
    };
    const std::vector<TCase> cases = {
        {"CPS, 5, CPM, 30, uSv/hr, 0.17, SLOW", TLineKind::Count, 5},
        {"CPS, 12, CPM, 720, uSv/hr, 4.10, FAST", TLineKind::Count, 12},
        {"CPS, 0, CPM, 0, uSv/hr, 0.00, INST", TLineKind::Count, 0},
        {"CPS,7,CPM,30", TLineKind::Count, 7},
        {"CPS, 3", TLineKind::Count, 3},
        {"cps, 4, cpm, 31", TLineKind::Count, 4},
        {"CPM, 30, CPS, 6", TLineKind::Count, 6},
        {"  CPS ,\t9 , CPM , 40  ", TLineKind::Count, 9},
        {"CPS, 65535, CPM, 1", TLineKind::Count, 65535},
        // MightyOhm firmware 1.10 marks a second whose count overflowed.
        {"CPS, 300*, CPM, 15300*, uSv/hr, 87.21*, INST", TLineKind::Count, 300, true},
        // The GC10 UART interface: its CPM and CR LF every second.
        {"20", TLineKind::Cpm, 20},
        {"  0007 ", TLineKind::Cpm, 7},
        {"65535", TLineKind::Cpm, 65535},
        // ESPGeiger's serial output ("show": the CPM every second).
        {"CPM: 30", TLineKind::Cpm, 30},
        {"cpm:12 CPS: 0.20", TLineKind::Cpm, 12},
        // MightyOhm 1.10 variant without a CPS field.
        {"CPM(SLOW): 13, uSv/hr, 0.07", TLineKind::Cpm, 13},
        {"CPM(SLOW 13", TLineKind::Garbage, 0},
        {"CPM: ", TLineKind::Garbage, 0},
        {"CPS, *, CPM, 1", TLineKind::Garbage, 0},
        {"", TLineKind::Blank, 0},
        {" \t ", TLineKind::Blank, 0},
        // The device's own CPM is never taken for a count.
        {"CPM, 30, uSv/hr, 0.17, SLOW", TLineKind::Garbage, 0},
        {"CPS", TLineKind::Garbage, 0},
        {"CPS, , CPM, 30", TLineKind::Garbage, 0},
        {"CPS, -1, CPM, 30", TLineKind::Garbage, 0},
        {"CPS, 5.5, CPM, 30", TLineKind::Garbage, 0},
        {"CPS, 65536, CPM, 1", TLineKind::Garbage, 0},
        {"CPS, 5 5, CPM, 30", TLineKind::Garbage, 0},
        {"CPS, 5, CPM, 3\x07", TLineKind::Garbage, 0},
        {"CPS, 5, CPM, \xC3\xA9", TLineKind::Garbage, 0},
        {"65536", TLineKind::Garbage, 0},
        {"+5", TLineKind::Garbage, 0},
        {"2 0", TLineKind::Garbage, 0},
        {"0x10", TLineKind::Garbage, 0},
        {"mightyohm.com Geiger Counter 1.00", TLineKind::Garbage, 0},
        {std::string("1\0", 2), TLineKind::Garbage, 0},
    };
    for (const TCase& c : cases) {
        const TParsedLine parsed = ParseCountLine(c.Line);
        EXPECT_EQ(parsed.Kind, c.Kind) << c.Line;
        EXPECT_EQ(parsed.Count, c.Count) << c.Line;
        EXPECT_EQ(parsed.Overflowed, c.Overflowed) << c.Line;
    }
}

struct TLineCase {
    const char* Name;
    std::vector<std::pair<std::string, std::int64_t>> Chunks;
    std::vector<std::uint16_t> Counts;
    std::size_t Dropped;
};

TEST(LineDecoderTest, CutsLinesAndDropsTheBadOnes) {
    const std::vector<TLineCase> cases = {
        {"CR LF", {{"CPS, 20\r\n", 0}}, {20}, 0},
        {"LF alone", {{"CPS, 20\n", 0}}, {20}, 0},
        {"CPM lines give no counts", {{"20\r\nCPM: 30\r\n", 0}}, {}, 0},
        {"two lines in one read", {{"CPS, 1, CPM, 60\r\nCPS, 2, CPM, 61\r\n", 0}}, {1, 2}, 0},
        {"a line over three reads", {{"CPS, ", 0}, {"4, CP", 30}, {"M, 60\r\n", 60}}, {4}, 0},
        {"blank lines are no garbage", {{"\r\n\r\nCPS, 5\r\n", 0}}, {5}, 0},
        {"a garbage line between good ones", {{"CPS, 3\r\nx#3\r\nCPS, 4\r\n", 0}}, {3, 4}, 1},
        {"a bare CR is not a line end", {{"3\r4\r\n", 0}}, {}, 1},
        {"the start of a line seen late", {{"M, 30, uSv/hr, 0.17, SLOW\r\nCPS, 1\r\n", 0}}, {1}, 1},
        {"an unfinished line is dropped after a pause",
         {{"CPS, 1", 0}, {"", 500}, {"CPS, 7\r\n", 900}},
         {7},
         1},
        {"but kept while its bytes keep coming",
         {{"CPS, 1", 0}, {"", 499}, {"7\r\n", 900}},
         {17},
         0},
        {"an overlong line is dropped whole",
         {{std::string(300, '1') + "\r\nCPS, 8\r\n", 0}},
         {8},
         1},
    };
    for (const TLineCase& c : cases) {
        TLineDecoder decoder;
        std::vector<std::uint16_t> counts;
        for (const auto& [bytes, time] : c.Chunks) {
            const auto taken = decoder.Take(bytes, time);
            counts.insert(counts.end(), taken.begin(), taken.end());
        }
        EXPECT_EQ(counts, c.Counts) << c.Name;
        EXPECT_EQ(decoder.Dropped(), c.Dropped) << c.Name;
    }
}

TEST(LineDecoderTest, FinishDropsAnUnfinishedLine) {
    TLineDecoder decoder;
    EXPECT_EQ(decoder.Take("CPS, 5\r\n6", 0), std::vector<std::uint16_t>{5});
    EXPECT_TRUE(decoder.Finish().empty());
    EXPECT_EQ(decoder.Dropped(), 1u);
    EXPECT_TRUE(decoder.Finish().empty());
    EXPECT_EQ(decoder.Dropped(), 1u);
}

TEST(LineDecoderTest, KeepsTheLastCpmAndSaysOnceWhyLinesAreDropped) {
    TLineDecoder decoder;
    decoder.Take("20\r\n21\r\nCPS, 300*, CPM, 15300*\r\nCPS, 301*\r\n@@\r\n??\r\n", 0);
    EXPECT_EQ(decoder.TakeCpm(), 21);
    EXPECT_EQ(decoder.TakeCpm(), std::nullopt);
    EXPECT_EQ(decoder.TakeNotes(),
              (std::vector<std::string>{
                  "the counter sends its CPM only: one reading a minute is logged, the last CPM "
                  "of that minute",
                  "the counter marks a second's count with \"*\": its buffer overflowed, the count "
                  "may be too low",
                  "lines that are not counts are dropped (the wrong baud rate?), e.g. \"@@\""}));
    EXPECT_TRUE(decoder.TakeNotes().empty());
}

TEST(LineProtocolTest, NeverWritesToTheCounterAndForgetsWhatCameBeforeStart) {
    auto script = std::make_shared<test::TPortScript>();
    test::TScriptedPort port(script);
    TLineProtocol protocol;
    EXPECT_EQ(protocol.Identify(port), "serial line counter");
    EXPECT_TRUE(protocol.Start(port));
    protocol.Stop(port);
    EXPECT_EQ(script->Log, std::vector<std::string>{"discard"});
}

} // namespace
} // namespace ostrel::adapters
