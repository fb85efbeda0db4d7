// SPDX-License-Identifier: GPL-3.0-or-later
// The GMC adapter against a fake GMC counter on a pseudo-terminal: the real
// serial port code, the real protocol, the cable pulled and plugged back in.

#include "adapters/AdapterTestSupport.h"
#include "adapters/GmcProtocol.h"
#include "adapters/PtyFakes.h"
#include "adapters/SerialCounter.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

namespace ostrel::adapters {
namespace {

using Commands = std::vector<std::string>;
using Readings = std::vector<std::string>;

class GmcPtyTest : public ::testing::Test {
protected:
    QTemporaryDir Folder;
    test::TRealPortWorld World;
    std::size_t BytesSent = 0;

    std::unique_ptr<TSerialCounter> Counter(const std::string& port) {
        World.Environment = {{"OSTREL_GMC_CONFIG", ""},
                             {"OSTREL_GMC_STATE", Folder.filePath("gmc.state").toStdString()},
                             {"OSTREL_GMC_PORT", port}};
        return std::make_unique<TSerialCounter>(GmcAdapterSetup(), World.Context());
    }

    // The readings that the bytes sent so far make, once they have reached
    // the adapter and a tick later.
    Readings ReadingsOfSentBytes(TSerialCounter& counter, test::TFakeGmc& fake,
                                 const std::vector<std::uint32_t>& counts, int frameBytes) {
        fake.SendCounts(counts);
        BytesSent += counts.size() * static_cast<std::size_t>(frameBytes);
        return ReadingsUpToHere(counter);
    }

    Readings ReadingsUpToHere(TSerialCounter& counter) {
        Readings readings;
        const bool arrived = test::WaitUntil([&] {
            const Readings more = test::Drain(counter);
            readings.insert(readings.end(), more.begin(), more.end());
            return World.BytesRead.load() >= BytesSent;
        });
        EXPECT_TRUE(arrived) << World.BytesRead.load() << " of " << BytesSent << " bytes";
        World.Clock.Steady += 100;
        const Readings more = test::Drain(counter);
        readings.insert(readings.end(), more.begin(), more.end());
        return readings;
    }

    std::uint32_t FindAndConnect(TSerialCounter& counter, test::TFakeGmc& fake) {
        EXPECT_EQ(counter.Find(), 1);
        TDeviceInfo info{};
        counter.GetInfo(&info);
        EXPECT_EQ(info.Id, PortId(World.Environment["OSTREL_GMC_PORT"]));
        EXPECT_EQ(counter.Connect(info.Id), 1);
        EXPECT_TRUE(fake.WaitForCommands(3));
        World.BytesRead = 0; // the version answer
        return info.Id;
    }
};

TEST_F(GmcPtyTest, AnRfc1201CounterIsFoundLoggedAndStopped) {
    test::TFakeGmc fake("GMC-320Re 5.2", 2);
    auto counter = Counter(fake.Path());
    const std::uint32_t id = FindAndConnect(*counter, fake);
    EXPECT_EQ(fake.Commands(), (Commands{"HEARTBEAT0", "GETVER", "HEARTBEAT1"}));
    EXPECT_TRUE(fake.Heartbeat());

    EXPECT_EQ(ReadingsOfSentBytes(*counter, fake, {5}, 2),
              Readings{"2024-05-01 09:40:58.000 w3 5"});
    World.Clock.Wall += 1000;
    EXPECT_EQ(ReadingsOfSentBytes(*counter, fake, {0xC007}, 2),
              Readings{"2024-05-01 09:40:59.000 w3 7"});

    EXPECT_EQ(counter->Disconnect(id), 1);
    EXPECT_TRUE(fake.WaitForCommands(4));
    EXPECT_EQ(fake.Commands().back(), "HEARTBEAT0");
    EXPECT_FALSE(fake.Heartbeat());
    EXPECT_EQ(test::Drain(*counter), Readings{"gone"});
    EXPECT_EQ(test::Drain(*counter), Readings{});
    EXPECT_TRUE(World.Reports.empty());
}

TEST_F(GmcPtyTest, AnRfc1801CounterSendsFourByteCountsAndImpossibleOnesAreDropped) {
    test::TFakeGmc fake("GMC-500+Re 2.42", 4);
    auto counter = Counter(fake.Path());
    FindAndConnect(*counter, fake);
    EXPECT_EQ(ReadingsOfSentBytes(*counter, fake, {300}, 4),
              Readings{"2024-05-01 09:40:58.000 w3 300"});
    EXPECT_EQ(ReadingsOfSentBytes(*counter, fake, {70000}, 4), Readings{});
    EXPECT_EQ(ReadingsOfSentBytes(*counter, fake, {2}, 4),
              Readings{"2024-05-01 09:40:58.000 w3 2"});
}

TEST_F(GmcPtyTest, GarbageFramesNeverReachTheReadings) {
    test::TFakeGmc fake("GMC-300Re 4.54", 2);
    auto counter = Counter(fake.Path());
    FindAndConnect(*counter, fake);
    fake.SendRaw(std::string("\x00\x05\x00", 3));
    BytesSent += 3;
    EXPECT_EQ(ReadingsUpToHere(*counter), Readings{});
    fake.SendRaw(std::string("\x01", 1));
    BytesSent += 1;
    EXPECT_EQ(ReadingsUpToHere(*counter), Readings{});
    EXPECT_EQ(ReadingsOfSentBytes(*counter, fake, {6, 7, 8}, 2),
              (Readings{"2024-05-01 09:40:56.000 w3 6", "2024-05-01 09:40:57.000 w3 7",
                        "2024-05-01 09:40:58.000 w3 8"}));
    EXPECT_EQ(World.Reports, Commands{"GMC adapter: " + fake.Path() +
                                      ": heartbeats that lost or gained a byte are dropped"});
}

// Firmware whose heartbeats are not as wide as its model number says.
TEST_F(GmcPtyTest, TheFrameWidthIsTakenFromTheStream) {
    struct TCase {
        std::string Version;
        int SentBytes;
        int ExpectedBytes;
        int Bursts;
        Readings Expected;
    };
    const std::vector<TCase> cases = {
        {"GMC-500Re 1.08", 2, 4, 1, {"2024-05-01 09:40:58.000 w3 12"}},
        {"GMC-600+Re 2.22", 2, 4, 1, {"2024-05-01 09:40:58.000 w3 12"}},
        // Held until the third burst shows 4-byte frames.
        {"GMC-320Re 5.2",
         4,
         2,
         3,
         {"2024-05-01 09:40:56.000 w3 12", "2024-05-01 09:40:57.000 w3 12",
          "2024-05-01 09:40:58.000 w3 12"}},
    };
    for (const TCase& c : cases) {
        World.Reports.clear();
        BytesSent = 0;
        test::TFakeGmc fake(c.Version, c.SentBytes);
        auto counter = Counter(fake.Path());
        FindAndConnect(*counter, fake);
        Readings readings;
        for (int burst = 0; burst < c.Bursts; ++burst) {
            const Readings more = ReadingsOfSentBytes(*counter, fake, {12}, c.SentBytes);
            readings.insert(readings.end(), more.begin(), more.end());
        }
        EXPECT_EQ(readings, c.Expected) << c.Version;
        EXPECT_EQ(World.Reports, Commands{"GMC adapter: " + fake.Path() + ": the heartbeats are " +
                                          std::to_string(c.SentBytes) + "-byte frames, not the " +
                                          std::to_string(c.ExpectedBytes) + " bytes that " +
                                          c.Version + " expects; they are read as sent"})
            << c.Version;
    }
}

TEST_F(GmcPtyTest, RatesWithoutATermiosConstantAndASilentCounterIsToldOnce) {
    test::TFakeGmc fake("GMC-320Re 5.2", 2);
    auto counter = Counter(fake.Path());
    World.Environment["OSTREL_GMC_BAUD"] = "28800";
    FindAndConnect(*counter, fake);
    EXPECT_EQ(ReadingsOfSentBytes(*counter, fake, {3}, 2),
              Readings{"2024-05-01 09:40:58.000 w3 3"});
    World.Clock.Steady += 10000;
    EXPECT_EQ(test::Drain(*counter), Readings{});
    World.Clock.Steady += 10000;
    EXPECT_EQ(test::Drain(*counter), Readings{});
    EXPECT_EQ(World.Reports, Commands{"GMC adapter: the counter on " + fake.Path() +
                                      " has sent nothing for 10 s"});
}

// The port is configured as a link, as /dev/serial/by-id/ names a counter:
// unplugged, the link goes; plugged back in, it names the new terminal.
TEST_F(GmcPtyTest, ACounterPluggedBackInUnderItsLinkGoesOnLogging) {
    const std::string link = Folder.filePath("gmc").toStdString();
    auto fake = std::make_unique<test::TFakeGmc>("GMC-320Re 5.2", 2);
    ASSERT_EQ(symlink(fake->Path().c_str(), link.c_str()), 0);
    auto counter = Counter(link);
    FindAndConnect(*counter, *fake);
    EXPECT_EQ(ReadingsOfSentBytes(*counter, *fake, {4}, 2),
              Readings{"2024-05-01 09:40:58.000 w3 4"});

    fake.reset();
    ASSERT_EQ(unlink(link.c_str()), 0);
    EXPECT_EQ(test::DrainUntilTold(*counter, World.Reports, 1), Readings{});
    World.Clock.Steady += 2000; // tried, not there
    EXPECT_EQ(test::Drain(*counter), Readings{});

    test::TFakeGmc replugged("GMC-320Re 5.2", 2);
    ASSERT_EQ(symlink(replugged.Path().c_str(), link.c_str()), 0);
    World.Clock.Steady += 2000;
    EXPECT_EQ(test::Drain(*counter), Readings{});
    EXPECT_TRUE(replugged.WaitForCommands(1));
    EXPECT_EQ(replugged.Commands(), Commands{"HEARTBEAT1"});
    World.Clock.Wall += 60000;
    EXPECT_EQ(ReadingsOfSentBytes(*counter, replugged, {7}, 2),
              Readings{"2024-05-01 09:41:58.000 w3 7"});
    EXPECT_EQ(World.Reports, (Commands{"GMC adapter: the counter on " + link +
                                           " is gone (hung up); trying the port again every 2 s",
                                       "GMC adapter: the counter on " + link + " is back"}));
}

TEST_F(GmcPtyTest, ADeviceThatDoesNotAnswerIsNoCounter) {
    test::TPty silent;
    auto counter = Counter(silent.Path());
    World.Environment["OSTREL_GMC_BAUD"] = "115200";
    EXPECT_EQ(counter->Find(), 0);
    EXPECT_EQ(silent.Read(0), "<HEARTBEAT0>><GETVER>><GETVER>>");
    EXPECT_EQ(World.Reports, Commands{"GMC adapter: no counter answers on " + silent.Path()});
}

TEST_F(GmcPtyTest, EachRateIsAskedTwiceBeforeTheNext) {
    test::TPty pty;
    auto counter = Counter(pty.Path());
    std::thread answerAtSecondAsk([&] {
        std::string seen;
        test::WaitUntil([&] {
            seen += pty.Read(5);
            return seen.find("<GETVER>><GETVER>><HEARTBEAT0>><GETVER>>") != std::string::npos;
        });
        pty.Write("GMC-300Re 3.20");
    });
    EXPECT_EQ(counter->Find(), 1);
    answerAtSecondAsk.join();
    EXPECT_TRUE(World.Reports.empty());
}

} // namespace
} // namespace ostrel::adapters
