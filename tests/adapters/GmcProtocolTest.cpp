// SPDX-License-Identifier: GPL-3.0-or-later
// The GMC protocol on its own: what a <GETVER>> answer says, how heartbeat
// bytes become counts and which of them are dropped.

#include "adapters/GmcProtocol.h"
#include "adapters/AdapterTestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ostrel::adapters {
namespace {

using test::TPortScript;
using test::TScriptedPort;

TEST(GmcModelTest, TakesThePrintableGmcAnswerOnly) {
    struct TCase {
        std::string Answer;
        std::optional<std::string> Model;
    };
    const std::vector<TCase> cases = {
        {"GMC-300Re 4.54", "GMC-300Re 4.54"},
        {"GMC-500+Re 2.42", "GMC-500+Re 2.42"},
        {"GMC-320Re 5.2  ", "GMC-320Re 5.2"},
        {std::string("GMC-600+Re 1.14\0\xff", 17), "GMC-600+Re 1.14"},
        {"GMC-280Re 2.10\r\n", "GMC-280Re 2.10"},
        {"GMC-", std::nullopt},
        {"", std::nullopt},
        {"OK\r\n", std::nullopt},
        {"\x01\x02GMC-300Re 4.54", std::nullopt},
        {"gmc-300Re 4.54", std::nullopt},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(GmcModel(c.Answer), c.Model) << c.Answer;
    }
}

TEST(GmcModelTest, FrameSizeFollowsTheModelNumber) {
    const std::vector<std::pair<std::string, int>> cases = {
        {"GMC-280Re 2.10", 2}, {"GMC-300Re 4.54", 2},  {"GMC-320+V5", 2},
        {"GMC-499", 2},        {"GMC-500+Re 2.42", 4}, {"GMC-600+Re 1.14", 4},
        {"GMC-800Re1.08", 4},  {"GMC-SE", 2},          {"GMC-", 2},
    };
    for (const auto& [model, bytes] : cases) {
        EXPECT_EQ(GmcFrameBytes(model), bytes) << model;
    }
}

TEST(GmcModelTest, TheProtocolSettingForcesTheFrameSize) {
    const std::vector<std::pair<std::optional<std::string>, std::optional<int>>> cases = {
        {std::nullopt, std::nullopt}, {"", std::nullopt}, {"auto", std::nullopt},
        {"AUTO", std::nullopt},       {"RFC1201", 2},     {"rfc1801", 4},
    };
    for (const auto& [value, bytes] : cases) {
        TAdapterConfig config;
        if (value) {
            config.Extra["protocol"] = *value;
        }
        EXPECT_EQ(GmcForcedFrameBytes(config), bytes) << value.value_or("(unset)");
    }
    TAdapterConfig bad;
    bad.Extra["protocol"] = "RFC1202";
    try {
        GmcForcedFrameBytes(bad);
        FAIL() << "RFC1202 accepted";
    } catch (const TAdapterConfigError& error) {
        EXPECT_STREQ(error.what(), "protocol must be auto, RFC1201 or RFC1801, not \"RFC1202\"");
    }
}

// Chunks of bytes at steady times (ms); an empty chunk is a poll that found
// nothing.
struct TDecodeCase {
    const char* Name;
    int FrameBytes;
    std::vector<std::pair<std::string, std::int64_t>> Chunks;
    std::vector<std::uint16_t> Counts;
    std::size_t Dropped;
};

std::string Bytes(std::initializer_list<int> values) {
    std::string text;
    for (const int value : values) {
        text += static_cast<char>(value);
    }
    return text;
}

TEST(GmcHeartbeatDecoderTest, CutsBurstsAtPausesAndDropsWhatCannotBeTrusted) {
    const std::vector<TDecodeCase> cases = {
        {"one RFC1201 frame after the pause", 2, {{Bytes({0x00, 0x05}), 0}, {"", 50}}, {5}, 0},
        {"not before the pause", 2, {{Bytes({0x00, 0x05}), 0}, {"", 49}}, {}, 0},
        {"big-endian", 2, {{Bytes({0x01, 0x02}), 0}, {"", 100}}, {0x0102}, 0},
        {"RFC1201 keeps the low 14 bits",
         2,
         {{Bytes({0xC0, 0x07, 0x7F, 0xFF}), 0}, {"", 100}},
         {7, 0x3FFF},
         0},
        {"a frame split over two reads",
         2,
         {{Bytes({0x00}), 0}, {"", 10}, {Bytes({0x09}), 20}, {"", 60}, {"", 70}},
         {9},
         0},
        {"a backlog of three frames",
         2,
         {{Bytes({0x00, 0x01, 0x00, 0x02, 0x00, 0x03}), 0}, {"", 100}},
         {1, 2, 3},
         0},
        {"a lost byte spoils the burst", 2, {{Bytes({0x00, 0x05, 0x00}), 0}, {"", 100}}, {}, 1},
        {"a lone byte is dropped", 2, {{Bytes({0x07}), 0}, {"", 100}}, {}, 1},
        {"the next burst is clean again",
         2,
         {{Bytes({0x07}), 0}, {"", 100}, {Bytes({0x00, 0x04}), 1000}, {"", 1100}},
         {4},
         1},
        {"RFC1801 four bytes", 4, {{Bytes({0x00, 0x00, 0x01, 0x2C}), 0}, {"", 100}}, {300}, 0},
        {"RFC1801 the largest count",
         4,
         {{Bytes({0x00, 0x00, 0xFF, 0xFF}), 0}, {"", 100}},
         {65535},
         0},
        {"RFC1801 an impossible count",
         4,
         {{Bytes({0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02}), 0}, {"", 100}},
         {2},
         1},
        {"RFC1801 six bytes spoil the burst",
         4,
         {{Bytes({0x00, 0x00, 0x00, 0x02, 0x00, 0x00}), 0}, {"", 100}},
         {},
         1},
    };
    for (const TDecodeCase& c : cases) {
        TGmcHeartbeatDecoder decoder(c.FrameBytes);
        std::vector<std::uint16_t> counts;
        for (const auto& [bytes, time] : c.Chunks) {
            const auto taken = decoder.Take(bytes, time);
            counts.insert(counts.end(), taken.begin(), taken.end());
        }
        EXPECT_EQ(counts, c.Counts) << c.Name;
        EXPECT_EQ(decoder.Dropped(), c.Dropped) << c.Name;
    }
}

TEST(GmcHeartbeatDecoderTest, FinishDecodesWhatIsCompleteAndAnOverlongBurstIsDropped) {
    TGmcHeartbeatDecoder decoder(2);
    EXPECT_TRUE(decoder.Take(Bytes({0x00, 0x03}), 0).empty());
    EXPECT_EQ(decoder.Finish(), std::vector<std::uint16_t>{3});
    EXPECT_TRUE(decoder.Finish().empty());

    // A 4-byte burst held while the width is unsure is read when nothing
    // more will come, once.
    TGmcHeartbeatDecoder following(2, true, "GMC-320Re 5.2");
    EXPECT_TRUE(following.Take(Bytes({0x00, 0x00, 0x00, 0x09}), 0).empty());
    EXPECT_EQ(following.Finish(), (std::vector<std::uint16_t>{0, 9}));
    EXPECT_TRUE(following.Finish().empty());

    TGmcHeartbeatDecoder stuck(2);
    stuck.Take(std::string(GmcMaxBurstBytes, '\0'), 0);
    stuck.Take(Bytes({0x00, 0x01}), 10);
    EXPECT_EQ(stuck.Dropped(), 1u);
    EXPECT_EQ(stuck.Take("", 100), std::vector<std::uint16_t>{1});
}

TEST(GmcProtocolTest, IdentifyStopsHeartbeatsThenAsksForTheVersion) {
    auto script = std::make_shared<TPortScript>();
    script->Arrivals = {Bytes({0x00, 0x05})}; // an earlier session's heartbeat
    script->Answer = [](std::string_view command, int) {
        return command == "<GETVER>>" ? std::string("GMC-320Re 5.2") : std::string();
    };
    TScriptedPort port(script);
    TGmcProtocol protocol(std::nullopt);
    EXPECT_EQ(protocol.Identify(port), "GMC-320Re 5.2");
    EXPECT_EQ(script->Log,
              (std::vector<std::string>{"write <HEARTBEAT0>>", "discard", "write <GETVER>>"}));
}

TEST(GmcProtocolTest, NoAnswerAVanishedPortOrARefusedWriteIdentifiesNothing) {
    struct TCase {
        const char* Name;
        std::string Answer;
        bool Gone;
        bool RefuseWrites;
        std::vector<std::string> Log;
        std::vector<std::string> Notes;
    };
    const std::vector<TCase> cases = {
        // Asked twice: some GMC-500+ firmware leaves the first question unanswered.
        {"silence",
         "",
         false,
         false,
         {"write <HEARTBEAT0>>", "discard", "write <GETVER>>", "write <GETVER>>"},
         {}},
        {"another device",
         "ERROR\r\n",
         false,
         false,
         {"write <HEARTBEAT0>>", "discard", "write <GETVER>>"},
         {"an answer that names no GMC model: \"ERROR??\""}},
        {"gone", "", true, false, {"write <HEARTBEAT0>>"}, {}},
        {"refused", "", false, true, {"write <HEARTBEAT0>>"}, {}},
    };
    for (const TCase& c : cases) {
        auto script = std::make_shared<TPortScript>();
        script->Gone = c.Gone;
        script->RefuseWrites = c.RefuseWrites;
        script->Answer = [answer = c.Answer](std::string_view, int) { return answer; };
        TScriptedPort port(script);
        TGmcProtocol protocol(std::nullopt);
        EXPECT_EQ(protocol.Identify(port), std::nullopt) << c.Name;
        EXPECT_EQ(script->Log, c.Log) << c.Name;
        EXPECT_EQ(protocol.TakeNotes(), c.Notes) << c.Name;
    }
}

TEST(GmcProtocolTest, StartAndStopSendTheHeartbeatCommands) {
    auto script = std::make_shared<TPortScript>();
    TScriptedPort port(script);
    TGmcProtocol protocol(std::nullopt);
    EXPECT_TRUE(protocol.Start(port));
    protocol.Stop(port);
    EXPECT_EQ(script->Log,
              (std::vector<std::string>{"discard", "write <HEARTBEAT1>>", "write <HEARTBEAT0>>"}));
    script->RefuseWrites = true;
    EXPECT_FALSE(protocol.Start(port));
}

TEST(GmcProtocolTest, TheDecoderFollowsTheModelUnlessForced) {
    const std::vector<std::tuple<std::optional<int>, std::string, std::uint16_t>> cases = {
        // The same four bytes: two RFC1201 frames, or one RFC1801 frame;
        // by model, held until later bursts tell.
        {std::nullopt, "GMC-300Re 4.54", 0},
        {std::nullopt, "GMC-500+Re 2.42", 1},
        {4, "GMC-300Re 4.54", 1},
        {2, "GMC-600+Re 1.14", 2},
    };
    for (const auto& [forced, model, readings] : cases) {
        const auto decoder = TGmcProtocol(forced).MakeDecoder(model);
        decoder->Take(Bytes({0x00, 0x00, 0x00, 0x09}), 0);
        EXPECT_EQ(decoder->Take("", 100).size(), readings) << model;
    }
}

// One burst a second, as heartbeats come.
struct TWidthCase {
    const char* Name;
    int FrameBytes;
    bool Follow;
    std::vector<std::string> Bursts;
    std::vector<std::uint16_t> Counts;
    std::vector<std::string> Notes;
};

TEST(GmcHeartbeatDecoderTest, TheBurstsTellTheFrameWidth) {
    const std::string four = Bytes({0x00, 0x00, 0x00, 0x09});
    const std::vector<TWidthCase> cases = {
        {"early GMC-500/600 firmware sends 2 bytes",
         4,
         true,
         {Bytes({0x00, 0x0C}), Bytes({0x00, 0x0D})},
         {12, 13},
         {"the heartbeats are 2-byte frames, not the 4 bytes that GMC-500Re 1.08 expects; they "
          "are read as sent"}},
        {"a 2-byte model sending 4 bytes",
         2,
         true,
         {four, four, four, four},
         {9, 9, 9, 9},
         {"the heartbeats are 4-byte frames, not the 2 bytes that GMC-500Re 1.08 expects; they "
          "are read as sent"}},
        {"one backlog of two seconds is no 4-byte frame",
         2,
         true,
         {Bytes({0x00, 0x01, 0x00, 0x02}), Bytes({0x00, 0x03}), four},
         {1, 2, 3, 0, 9},
         {}},
        {"4-byte frames as expected", 4, true, {four, four, four}, {9, 9, 9}, {}},
        {"a forced width is kept, and the difference told",
         2,
         false,
         {four, four, four},
         {0, 9, 0, 9, 0, 9},
         {"the heartbeats are 4-byte frames, not the 2 bytes that the configuration expects"}},
    };
    for (const TWidthCase& c : cases) {
        TGmcHeartbeatDecoder decoder =
            c.Follow ? TGmcHeartbeatDecoder(c.FrameBytes, true, "GMC-500Re 1.08")
                     : TGmcHeartbeatDecoder(c.FrameBytes);
        std::vector<std::uint16_t> counts;
        std::int64_t time = 0;
        for (const std::string& burst : c.Bursts) {
            decoder.Take(burst, time);
            const auto taken = decoder.Take("", time + 100);
            counts.insert(counts.end(), taken.begin(), taken.end());
            time += 1000;
        }
        EXPECT_EQ(counts, c.Counts) << c.Name;
        EXPECT_EQ(decoder.TakeNotes(), c.Notes) << c.Name;
    }
}

TEST(GmcModelTest, TheCoefficientFollowsTheTube) {
    const std::vector<std::pair<std::string, std::uint16_t>> cases = {
        {"GMC-300Re 4.54", 650}, {"GMC-320Re 5.2", 650},   {"GMC-500+Re 2.42", 650},
        {"GMC-600Re 1.02", 287}, {"GMC-600+Re 2.22", 287},
    };
    for (const auto& [model, coefficient] : cases) {
        EXPECT_EQ(GmcTubeCoefficient(model), coefficient) << model;
    }
}

} // namespace
} // namespace ostrel::adapters
