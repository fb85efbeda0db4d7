// SPDX-License-Identifier: GPL-3.0-or-later
// The Rad Pro adapter: its answers decoded, and the adapter against a fake
// Rad Pro counter on a pseudo-terminal. Answers are those of the firmware's
// USB protocol document (Gissio/radpro, docs/comm.md).

#include "adapters/RadProProtocol.h"
#include "adapters/AdapterTestSupport.h"
#include "adapters/PtyFakes.h"
#include "adapters/SerialCounter.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ostrel::adapters {
namespace {

using Readings = std::vector<std::string>;
using Texts = std::vector<std::string>;

TEST(RadProAnswerTest, ValuesModelsAndCoefficients) {
    EXPECT_EQ(RadProValue("OK 1500"), "1500");
    EXPECT_EQ(RadProValue("ERROR"), std::nullopt);
    EXPECT_EQ(RadProValue("OK"), std::nullopt);
    const std::vector<std::pair<std::string, std::optional<std::string>>> models = {
        {"FS2011 (STM32F051C8);Rad Pro 2.0/en;b5706d937087f975b5812810",
         "FS2011 (STM32F051C8) (Rad Pro 2.0/en)"},
        {"GQ GMC-800;Rad Pro 2.1/en;0", "GQ GMC-800 (Rad Pro 2.1/en)"},
        {"Bosean FS-600", std::nullopt},
        {";Rad Pro 2.0/en;1", std::nullopt},
    };
    for (const auto& [value, model] : models) {
        EXPECT_EQ(RadProModel(value), model) << value;
    }
    const std::vector<std::pair<std::string, std::optional<std::uint16_t>>> sensitivities = {
        {"153.800", 650},        {"348.000", 287},         {"2.000", 50000},
        {"1.000", std::nullopt}, {"0.000", std::nullopt},  {"-153.8", std::nullopt},
        {"fast", std::nullopt},  {"153.8x", std::nullopt},
    };
    for (const auto& [value, coefficient] : sensitivities) {
        EXPECT_EQ(RadProCoefficient(value), coefficient) << value;
    }
}

// Steady times (ms) and what arrives then; the requests sent before each.
struct TPollCase {
    const char* Name;
    std::vector<std::pair<std::int64_t, std::string>> Steps;
    std::vector<std::uint16_t> Counts;
    std::size_t Requests;
    std::size_t Dropped;
};

TEST(RadProDecoderTest, DifferencesOfThePulseCountAreTheCounts) {
    const std::vector<TPollCase> cases = {
        {"the first answer is the base",
         {{0, "OK 1500\r\n"}, {1000, "OK 1520\r\n"}, {2000, "OK 1520\r\n"}},
         {20, 0},
         3,
         0},
        {"an answer over two reads",
         {{0, "OK 15"}, {10, "00\r\n"}, {1000, "OK 1505\r\n"}},
         {5},
         2,
         0},
        {"no second request before a second has passed",
         {{0, "OK 7\r\n"}, {500, ""}, {900, ""}, {1000, "OK 9\r\n"}},
         {2},
         2,
         0},
        {"the count wraps at 2^32", {{0, "OK 4294967290\r\n"}, {1000, "OK 4\r\n"}}, {10}, 2, 0},
        {"a long pause is split into readings a counter can hold",
         {{0, "OK 0\r\n"}, {3000, "OK 70000\r\n"}},
         {65535, 4465},
         2,
         0},
        {"a count set back loses the seconds between",
         {{0, "OK 900000\r\n"}, {1000, "OK 5\r\n"}, {2000, "OK 8\r\n"}},
         {3},
         3,
         1},
        {"ERROR and garbage are dropped",
         {{0, "OK 1\r\n"}, {1000, "ERROR\r\n"}, {2000, "OK x\r\n"}, {3000, "OK 4\r\n"}},
         {3},
         4,
         2},
        {"an answer lost is asked for again after 3 s",
         {{0, ""}, {1000, ""}, {2999, ""}, {3000, "OK 2\r\n"}, {4000, "OK 3\r\n"}},
         {1},
         3,
         0},
    };
    for (const TPollCase& c : cases) {
        TRadProDecoder decoder;
        std::vector<std::uint16_t> counts;
        std::size_t requests = 0;
        for (const auto& [time, bytes] : c.Steps) {
            if (decoder.Request(time) == "GET tubePulseCount\r\n") {
                ++requests;
            }
            const auto taken = decoder.Take(bytes, time);
            counts.insert(counts.end(), taken.begin(), taken.end());
        }
        EXPECT_EQ(counts, c.Counts) << c.Name;
        EXPECT_EQ(requests, c.Requests) << c.Name;
        EXPECT_EQ(decoder.Dropped(), c.Dropped) << c.Name;
    }
}

class RadProPtyTest : public ::testing::Test {
protected:
    test::TRealPortWorld World;

    std::unique_ptr<TSerialCounter> Counter(const std::string& port) {
        World.Environment = {{"OSTREL_RADPRO_CONFIG", ""},
                             {"OSTREL_RADPRO_STATE", ""},
                             {"OSTREL_RADPRO_PORT", port}};
        return std::make_unique<TSerialCounter>(RadProAdapterSetup(), World.Context());
    }

    // A second later: the adapter asks, the fake answers, the adapter reads.
    Readings NextSecond(TSerialCounter& counter, test::TFakeRadPro& fake) {
        World.Clock.Steady += 1000;
        const std::size_t answered = fake.BytesAnswered();
        Readings readings;
        EXPECT_TRUE(test::WaitUntil([&] {
            const Readings more = test::Drain(counter);
            readings.insert(readings.end(), more.begin(), more.end());
            return fake.BytesAnswered() > answered &&
                   World.BytesRead.load() >= fake.BytesAnswered();
        }));
        const Readings more = test::Drain(counter);
        readings.insert(readings.end(), more.begin(), more.end());
        World.Clock.Wall += 1000;
        return readings;
    }
};

TEST_F(RadProPtyTest, AFakeCounterIsFoundPolledAndUnplugged) {
    test::TFakeRadPro fake("Bosean FS-600;Rad Pro 2.0/en;0123", "348.000");
    auto counter = Counter(fake.Path());
    ASSERT_EQ(counter->Find(), 1);
    const std::uint32_t id = PortId(fake.Path());
    std::uint16_t coefficient = 0;
    std::uint16_t background = 9;
    EXPECT_EQ(counter->GetCoefficient(id, &coefficient, &background), 1);
    EXPECT_EQ(coefficient, 287); // 1 / 348 CPM per uSv/h
    EXPECT_EQ(background, 0);
    ASSERT_EQ(counter->Connect(id), 1);

    EXPECT_EQ(NextSecond(*counter, fake), Readings{});
    fake.AddPulses(4);
    EXPECT_EQ(NextSecond(*counter, fake), Readings{"2024-05-01 09:40:59.000 w3 4"});
    fake.AddPulses(0);
    EXPECT_EQ(NextSecond(*counter, fake), Readings{"2024-05-01 09:41:00.000 w3 0"});
    EXPECT_EQ(fake.Requests(), (Texts{"GET deviceId", "GET tubeSensitivity", "GET tubePulseCount",
                                      "GET tubePulseCount", "GET tubePulseCount"}));

    fake.Unplug();
    EXPECT_EQ(test::DrainUntilTold(*counter, World.Reports, 1), Readings{});
    EXPECT_EQ(World.Reports, Texts{"Rad Pro adapter: the counter on " + fake.Path() +
                                   " is gone (hung up); trying the port again every 2 s"});
    EXPECT_EQ(counter->Disconnect(id), 1);
    EXPECT_EQ(test::Drain(*counter), Readings{"gone"});
}

TEST_F(RadProPtyTest, AnotherDeviceIsNoRadProCounter) {
    test::TFakeRadPro fake("Bosean FS-600");
    auto counter = Counter(fake.Path());
    EXPECT_EQ(counter->Find(), 0);
    EXPECT_EQ(World.Reports,
              (Texts{"Rad Pro adapter: " + fake.Path() +
                         " at 115200 baud: an answer that is not Rad Pro's: \"OK Bosean FS-600??\"",
                     "Rad Pro adapter: no counter answers on " + fake.Path()}));
}

} // namespace
} // namespace ostrel::adapters
