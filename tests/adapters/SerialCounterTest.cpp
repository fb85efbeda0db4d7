// SPDX-License-Identifier: GPL-3.0-or-later
// The eight entry points over scripted serial ports and a clock that moves
// only when told: what is found, what is stamped, and when the gone marker
// comes.

#include "adapters/SerialCounter.h"
#include "adapters/AdapterTestSupport.h"
#include "adapters/GmcProtocol.h"
#include "adapters/LineProtocol.h"
#include "adapters/RadProProtocol.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <fstream>
#include <iomanip>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace ostrel::adapters {
namespace {

using test::Drain;
using test::TPortScript;

std::shared_ptr<TPortScript> GmcPort(std::string model, int answeringBaud = 0) {
    auto script = std::make_shared<TPortScript>();
    script->Answer = [model = std::move(model), answeringBaud](std::string_view command, int baud) {
        const bool answers = answeringBaud == 0 || baud == answeringBaud;
        return command == "<GETVER>>" && answers ? model : std::string();
    };
    return script;
}

// A counter running the Rad Pro firmware: its identity as in Gissio/radpro's
// docs/comm.md, no tube sensitivity, and 10 pulses more at each question.
std::shared_ptr<TPortScript> RadProPort() {
    auto script = std::make_shared<TPortScript>();
    script->Answer = [total = 1500](std::string_view command, int) mutable -> std::string {
        if (command == RadProIdCommand) {
            return "OK FS2011 (STM32F051C8);Rad Pro 2.0/en;b5706d937087f975b5812810\r\n";
        }
        if (command == RadProPulseCountCommand) {
            return "OK " + std::to_string(total += 10) + "\r\n";
        }
        return "ERROR\r\n";
    };
    return script;
}

class SerialCounterTest : public ::testing::Test {
protected:
    QTemporaryDir Folder;
    test::TScriptedWorld World;
    std::string StatePath = Folder.filePath("gmc.state").toStdString();

    void SetUp() override {
        World.Environment["OSTREL_GMC_CONFIG"] = "";
        World.Environment["OSTREL_GMC_STATE"] = StatePath;
        World.Environment["OSTREL_GMC_PORT"] = "/dev/a";
    }

    std::unique_ptr<TSerialCounter> Gmc() {
        return std::make_unique<TSerialCounter>(GmcAdapterSetup(), World.Context());
    }

    // Connects the first counter found.
    std::uint32_t ConnectFirst(TSerialCounter& counter) {
        EXPECT_GE(counter.Find(), 1);
        TDeviceInfo infos[4]{};
        counter.GetInfo(infos);
        EXPECT_EQ(counter.Connect(infos[0].Id), 1);
        return infos[0].Id;
    }

    // What one 100 ms tick of the program brings, after bytes arrived.
    std::vector<std::string> Tick(TSerialCounter& counter) {
        std::vector<std::string> readings = Drain(counter);
        World.Clock.Steady += 100;
        const std::vector<std::string> more = Drain(counter);
        readings.insert(readings.end(), more.begin(), more.end());
        return readings;
    }
};

TEST_F(SerialCounterTest, FindAsksEachPortAtEachRateUntilACounterAnswers) {
    World.Environment["OSTREL_GMC_PORT"] = "/dev/a /dev/b /dev/c";
    World.Ports["/dev/a"] = GmcPort("GMC-300Re 3.20", 57600);
    World.Ports["/dev/c"] = GmcPort("GMC-500+Re 2.42");
    auto counter = Gmc();
    EXPECT_EQ(counter->Find(), 2);
    EXPECT_EQ(World.Opened, (std::vector<std::string>{"/dev/a 115200", "/dev/a 57600",
                                                      "/dev/b 115200", "/dev/c 115200"}));
    EXPECT_EQ(World.Reports, (std::vector<std::string>{
                                 "GMC adapter: cannot open /dev/b: No such file or directory"}));
    TDeviceInfo infos[2]{};
    infos[0].Reserved[0] = 0xAA;
    EXPECT_EQ(counter->GetInfo(infos), 2);
    EXPECT_EQ(infos[0].Id, PortId("/dev/a"));
    EXPECT_EQ(infos[1].Id, PortId("/dev/c"));
    EXPECT_EQ(infos[0].Reserved[0], 0xAA);                           // only Id is written
    EXPECT_EQ(World.Ports["/dev/a"]->Log.back(), "write <GETVER>>"); // kept open for Connect
}

TEST_F(SerialCounterTest, WhatToDoAboutAPortThatWouldNotOpenIsIndentedBelowIt) {
    TAdapterContext context = World.Context();
    context.OpenPort = [](const std::string&, int) {
        return TOpenResult{nullptr, "Permission denied (why)", "what to do"};
    };
    TSerialCounter counter(GmcAdapterSetup(), std::move(context));
    EXPECT_EQ(counter.Find(), 0);
    EXPECT_EQ(World.Reports,
              (std::vector<std::string>{"GMC adapter: cannot open /dev/a: Permission denied (why)",
                                        "  what to do"}));
}

TEST_F(SerialCounterTest, PortIdsAreStableHashesAndNeverZero) {
    const std::vector<std::pair<std::string, std::uint32_t>> cases = {
        {"", 2166136261u},
        {"/dev/ttyUSB0", PortId("/dev/ttyUSB0")},
    };
    for (const auto& [path, id] : cases) {
        EXPECT_EQ(PortId(path), id) << path;
        EXPECT_NE(PortId(path), 0u);
    }
    EXPECT_NE(PortId("/dev/ttyUSB0"), PortId("/dev/ttyUSB1"));
}

TEST_F(SerialCounterTest, NoCounterAnsweringIsSaidOnTheSide) {
    World.Ports["/dev/a"] = GmcPort("");
    auto counter = Gmc();
    EXPECT_EQ(counter->Find(), 0);
    EXPECT_EQ(World.Reports, std::vector<std::string>{"GMC adapter: no counter answers on /dev/a"});
    EXPECT_EQ(World.Ports["/dev/a"]->Log.back(), "closed");
}

TEST_F(SerialCounterTest, AnUnusableConfigurationFindsNothingAndSaysWhy) {
    const std::vector<std::pair<std::pair<std::string, std::string>, std::string>> cases = {
        {{"OSTREL_GMC_BAUD", "300"},
         "GMC adapter: OSTREL_GMC_BAUD: baud must be one of 1200, 2400, 4800, 9600, 14400, "
         "19200, 28800, 38400, 57600, 115200, 230400, 460800, not \"300\""},
        {{"OSTREL_GMC_PROTOCOL", "xmodem"},
         "GMC adapter: protocol must be auto, RFC1201 or RFC1801, not \"xmodem\""},
    };
    for (const auto& [variable, report] : cases) {
        World.Reports.clear();
        World.Opened.clear();
        World.Environment[variable.first] = variable.second;
        auto counter = Gmc();
        EXPECT_EQ(counter->Find(), 0);
        EXPECT_EQ(World.Reports, std::vector<std::string>{report});
        EXPECT_TRUE(World.Opened.empty());
        World.Environment.erase(variable.first);
    }
}

TEST_F(SerialCounterTest, ReadingsAreStampedWithLocalTimeABacklogOneSecondApart) {
    World.Ports["/dev/a"] = GmcPort("GMC-320Re 5.2");
    auto counter = Gmc();
    ConnectFirst(*counter);
    auto& port = *World.Ports["/dev/a"];
    EXPECT_EQ(port.Log,
              (std::vector<std::string>{"write <HEARTBEAT0>>", "discard", "write <GETVER>>",
                                        "discard", "write <HEARTBEAT1>>"}));

    port.Arrivals.push_back(std::string("\x00\x05", 2));
    EXPECT_EQ(Tick(*counter), std::vector<std::string>{"2024-05-01 09:40:58.000 w3 5"});

    World.Clock.Wall += 3500;
    port.Arrivals.push_back(std::string("\x00\x01\x00\x02\x00\x03", 6));
    EXPECT_EQ(Tick(*counter), (std::vector<std::string>{"2024-05-01 09:40:59.500 w3 1",
                                                        "2024-05-01 09:41:00.500 w3 2",
                                                        "2024-05-01 09:41:01.500 w3 3"}));

    // A backlog that would reach back before the last reading starts with it.
    World.Clock.Wall += 1000;
    port.Arrivals.push_back(std::string("\x00\x07\x00\x08\x00\x09", 6));
    EXPECT_EQ(Tick(*counter), (std::vector<std::string>{"2024-05-01 09:41:01.500 w3 7",
                                                        "2024-05-01 09:41:01.500 w3 8",
                                                        "2024-05-01 09:41:02.500 w3 9"}));

    // A clock set back stamps with the new time.
    World.Clock.Wall -= 60000;
    port.Arrivals.push_back(std::string("\x00\x04", 2));
    EXPECT_EQ(Tick(*counter), std::vector<std::string>{"2024-05-01 09:40:02.500 w3 4"});
}

// A session after Connect as one line of steps, each followed by a tick of
// the program (GetData until it answers 0): a number is a heartbeat counting
// that; "pull" makes the port's reads fail and its name vanish; "deaf" puts a
// port that takes no commands under the name, "plug" a counter; "+ms" moves
// the steady clock first; "stop" and "clear" are Disconnect and Clear. The
// trail: what happened, by milliseconds after Connect. A Rad Pro counter
// adds 10 pulses at each question.
TEST_F(SerialCounterTest, APortThatVanishesWhileLoggingIsOpenedAgainUntilStopped) {
    const std::string gmc = "told GMC adapter: the counter on /dev/a is ";
    const std::string radPro = "told Rad Pro adapter: the counter on /dev/a is ";
    const std::string gone = "gone (Input/output error); trying the port again every 2 s";
    struct TCase {
        const char* Script;
        std::vector<std::string> Trail;
        bool RadPro = false;
    };
    const std::vector<TCase> cases = {
        // What came first, then one line; no gone marker. Silent attempts
        // 2 s apart; one that opens but cannot start the heartbeat is closed.
        {"5 pull +1999 +1 +1999 deaf +1 plug +2000 6 +100 stop",
         {"0 " + gmc + gone, "0 closed", "0 count 5", "2000 open /dev/a 57600",
          "4000 open /dev/a 57600", "4000 discard", "4000 write <HEARTBEAT1>>", "4000 closed",
          "6000 open /dev/a 57600", "6000 discard", "6000 write <HEARTBEAT1>>",
          "6000 " + gmc + "back", "6100 count 6", "6100 write <HEARTBEAT0>>", "6100 closed",
          "6100 Disconnect 1", "6100 gone marker"}},
        // Each time the port goes, it is told again.
        {"pull plug +2000 pull",
         {"0 " + gmc + gone, "0 closed", "2000 open /dev/a 57600", "2000 discard",
          "2000 write <HEARTBEAT1>>", "2000 " + gmc + "back", "2000 " + gmc + gone, "2000 closed"}},
        // Stopped while away: the gone marker at once, no more attempts.
        {"pull +2000 stop plug +2000 +4000",
         {"0 " + gmc + gone, "0 closed", "2000 open /dev/a 57600", "2000 Disconnect 1",
          "2000 gone marker"}},
        {"pull clear plug +2000 +4000", {"0 " + gmc + gone, "0 closed", "0 Clear 1"}},
        // Asked at once on the new port; the gap gives no reading.
        {"+1000 pull plug +2000 +1000",
         {"1000 write GET tubePulseCount\r\n", "1000 " + radPro + gone, "1000 closed",
          "3000 open /dev/a 115200", "3000 discard", "3000 " + radPro + "back",
          "3000 write GET tubePulseCount\r\n", "4000 write GET tubePulseCount\r\n",
          "4000 count 10"},
         true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Script);
        test::TScriptedWorld world;
        const std::string prefix = c.RadPro ? "OSTREL_RADPRO_" : "OSTREL_GMC_";
        world.Environment = {
            {prefix + "CONFIG", ""}, {prefix + "STATE", ""}, {prefix + "PORT", "/dev/a"}};
        std::shared_ptr<TPortScript> port;
        const auto plug = [&] {
            port = c.RadPro ? RadProPort() : GmcPort("GMC-320Re 5.2", 57600);
            world.Ports["/dev/a"] = port;
        };
        plug();
        TSerialCounter counter(c.RadPro ? RadProAdapterSetup() : GmcAdapterSetup(),
                               world.Context());
        ASSERT_EQ(counter.Find(), 1);
        ASSERT_EQ(counter.Connect(PortId("/dev/a")), 1);
        world.Trail.clear();
        const std::int64_t connected = world.Clock.Steady;
        std::vector<std::string> trail;
        std::istringstream steps(c.Script);
        for (std::string step; steps >> step;) {
            if (step == "pull") {
                port->Gone = true;
                world.Ports.erase("/dev/a");
            } else if (step == "plug" || step == "deaf") {
                plug();
                port->RefuseWrites = step == "deaf";
            } else if (step[0] == '+') {
                world.Clock.Steady += std::stoi(step.substr(1));
            } else if (step == "stop") {
                world.Trail.push_back("Disconnect " +
                                      std::to_string(counter.Disconnect(PortId("/dev/a"))));
            } else if (step == "clear") {
                world.Trail.push_back("Clear " + std::to_string(counter.Clear()));
            } else {
                port->Arrivals.push_back({'\0', static_cast<char>(std::stoi(step))});
            }
            for (const std::string& reading : Drain(counter)) {
                world.Trail.push_back(reading == "gone"
                                          ? "gone marker"
                                          : "count " + reading.substr(reading.rfind(' ') + 1));
            }
            for (std::size_t i = trail.size(); i < world.Trail.size(); ++i) {
                trail.push_back(std::to_string(world.Clock.Steady - connected) + " " +
                                world.Trail[i]);
            }
        }
        EXPECT_EQ(trail, c.Trail);
    }
}

TEST_F(SerialCounterTest, DisconnectStopsTheCounterAndEndsWithTheGoneMarker) {
    World.Ports["/dev/a"] = GmcPort("GMC-320Re 5.2");
    auto counter = Gmc();
    const std::uint32_t id = ConnectFirst(*counter);
    auto& port = *World.Ports["/dev/a"];
    port.Arrivals.push_back(std::string("\x00\x02", 2));
    EXPECT_EQ(Drain(*counter), std::vector<std::string>{}); // read, burst not over yet

    EXPECT_EQ(counter->Disconnect(id + 1), 0);
    EXPECT_EQ(counter->Disconnect(id), 1);
    EXPECT_EQ(std::vector<std::string>(port.Log.end() - 2, port.Log.end()),
              (std::vector<std::string>{"write <HEARTBEAT0>>", "closed"}));
    EXPECT_EQ(Drain(*counter), (std::vector<std::string>{"2024-05-01 09:40:58.000 w3 2", "gone"}));
    EXPECT_EQ(Drain(*counter), std::vector<std::string>{});
    EXPECT_EQ(counter->Disconnect(id), 0);
    EXPECT_EQ(Drain(*counter), std::vector<std::string>{});
}

TEST_F(SerialCounterTest, AConnectThatFailsEndsWithTheGoneMarkerSoTheProgramCanTryAgain) {
    World.Ports["/dev/a"] = GmcPort("GMC-320Re 5.2");
    auto counter = Gmc();
    EXPECT_EQ(counter->Connect(PortId("/dev/a")), 0); // before any Find
    EXPECT_EQ(Drain(*counter), std::vector<std::string>{"gone"});

    EXPECT_EQ(counter->Find(), 1);
    EXPECT_EQ(counter->Connect(12345), 0);
    EXPECT_EQ(Drain(*counter), std::vector<std::string>{"gone"});

    World.Ports["/dev/a"]->RefuseWrites = true;
    EXPECT_EQ(counter->Find(), 0); // a refused <HEARTBEAT0>> is no counter
    World.Ports["/dev/a"]->RefuseWrites = false;
    EXPECT_EQ(counter->Find(), 1);
    World.Ports["/dev/a"]->RefuseWrites = true;
    EXPECT_EQ(counter->Connect(PortId("/dev/a")), 0);
    EXPECT_EQ(Drain(*counter), std::vector<std::string>{"gone"});
    EXPECT_EQ(World.Reports,
              (std::vector<std::string>{"GMC adapter: no counter 0x" +
                                            [] {
                                                std::ostringstream hex;
                                                hex << std::uppercase << std::hex << std::setw(8)
                                                    << std::setfill('0') << PortId("/dev/a");
                                                return hex.str();
                                            }() +
                                            " to connect; Find first",
                                        "GMC adapter: no counter 0x00003039 to connect; Find first",
                                        "GMC adapter: no counter answers on /dev/a",
                                        "GMC adapter: the counter on /dev/a cannot be started"}));
}

TEST_F(SerialCounterTest, GarbageNeverBecomesAReading) {
    World.Ports["/dev/a"] = GmcPort("GMC-320Re 5.2");
    auto counter = Gmc();
    ConnectFirst(*counter);
    auto& port = *World.Ports["/dev/a"];
    port.Arrivals.push_back(std::string("\x00\x05\x01", 3));
    EXPECT_EQ(Tick(*counter), std::vector<std::string>{});
    port.Arrivals.push_back(std::string("\x00\x06", 2));
    EXPECT_EQ(Tick(*counter), std::vector<std::string>{"2024-05-01 09:40:58.000 w3 6"});
}

TEST_F(SerialCounterTest, CoefficientsLiveInTheStateFileByPort) {
    World.Ports["/dev/a"] = GmcPort("GMC-320Re 5.2");
    auto counter = Gmc();
    const std::uint32_t id = ConnectFirst(*counter);
    std::uint16_t coefficient = 1;
    std::uint16_t background = 1;
    EXPECT_EQ(counter->GetCoefficient(id, &coefficient, &background), 1);
    EXPECT_EQ(coefficient, 650);
    EXPECT_EQ(background, 0);

    EXPECT_EQ(counter->SetCoefficient(id, 700, 12), 1);
    std::ifstream input(StatePath);
    std::ostringstream text;
    text << input.rdbuf();
    EXPECT_NE(text.str().find("\n/dev/a = 700 12\n"), std::string::npos) << text.str();

    // A fresh library (the next session) reads it back.
    auto next = Gmc();
    const std::uint32_t nextId = ConnectFirst(*next);
    EXPECT_EQ(next->GetCoefficient(nextId, &coefficient, &background), 1);
    EXPECT_EQ(coefficient, 700);
    EXPECT_EQ(background, 12);

    coefficient = background = 9;
    EXPECT_EQ(next->GetCoefficient(nextId + 1, &coefficient, &background), 0);
    EXPECT_EQ(next->SetCoefficient(nextId + 1, 1, 1), 0);
    EXPECT_EQ(coefficient, 9);
    EXPECT_EQ(next->GetCoefficient(nextId, nullptr, &background), 0);
}

// A gmc.conf saved with CRs: the port's pair reads back, in one line.
TEST_F(SerialCounterTest, APortNamedWithACrKeepsOneLineInTheStateFile) {
    const std::string config = Folder.filePath("gmc.conf").toStdString();
    std::ofstream(config, std::ios::binary) << "port = /dev/a\r, /dev/b\r\n";
    World.Environment["OSTREL_GMC_CONFIG"] = config;
    World.Environment.erase("OSTREL_GMC_PORT");
    World.Ports["/dev/a"] = GmcPort("GMC-320Re 5.2");
    auto counter = Gmc();
    const std::uint32_t id = ConnectFirst(*counter);
    EXPECT_EQ(id, PortId("/dev/a"));
    EXPECT_EQ(counter->SetCoefficient(id, 700, 12), 1);
    EXPECT_EQ(counter->SetCoefficient(id, 701, 13), 1);

    auto next = Gmc();
    const std::uint32_t nextId = ConnectFirst(*next);
    std::uint16_t coefficient = 0;
    std::uint16_t background = 0;
    EXPECT_EQ(next->GetCoefficient(nextId, &coefficient, &background), 1);
    EXPECT_EQ(coefficient, 701);
    EXPECT_EQ(background, 13);
    std::ifstream input(StatePath, std::ios::binary);
    std::ostringstream text;
    text << input.rdbuf();
    EXPECT_EQ(text.str().substr(text.str().find("\n/dev/")), "\n/dev/a = 701 13\n");
}

TEST_F(SerialCounterTest, CoefficientsThatCannotBeStoredAreKeptForTheSession) {
    const std::string blocker = Folder.filePath("file").toStdString();
    std::ofstream(blocker) << "x";
    World.Environment["OSTREL_GMC_STATE"] = blocker + "/gmc.state";
    World.Ports["/dev/a"] = GmcPort("GMC-320Re 5.2");
    auto counter = Gmc();
    const std::uint32_t id = ConnectFirst(*counter);
    EXPECT_EQ(counter->SetCoefficient(id, 800, 5), 0);
    ASSERT_EQ(World.Reports.size(), 1u);
    EXPECT_EQ(World.Reports[0].rfind("GMC adapter: the coefficient is kept only until the program "
                                     "ends: " +
                                         blocker + ": ",
                                     0),
              0u)
        << World.Reports[0];
    std::uint16_t coefficient = 0;
    std::uint16_t background = 0;
    EXPECT_EQ(counter->GetCoefficient(id, &coefficient, &background), 1);
    EXPECT_EQ(coefficient, 800);
    EXPECT_EQ(background, 5);
}

TEST_F(SerialCounterTest, ClearStopsTheCounterAndForgetsEverything) {
    World.Ports["/dev/a"] = GmcPort("GMC-320Re 5.2");
    auto counter = Gmc();
    const std::uint32_t id = ConnectFirst(*counter);
    counter->SetCoefficient(id, 700, 1);
    auto& port = *World.Ports["/dev/a"];
    port.Arrivals.push_back(std::string("\x00\x02", 2));
    Drain(*counter);
    EXPECT_EQ(counter->Clear(), 1);
    EXPECT_EQ(std::vector<std::string>(port.Log.end() - 2, port.Log.end()),
              (std::vector<std::string>{"write <HEARTBEAT0>>", "closed"}));
    World.Clock.Steady += 100;
    EXPECT_EQ(Drain(*counter), std::vector<std::string>{});
    TDeviceInfo info{};
    EXPECT_EQ(counter->GetInfo(&info), 0);
    std::uint16_t coefficient = 0;
    std::uint16_t background = 0;
    EXPECT_EQ(counter->GetCoefficient(id, &coefficient, &background), 0);
}

TEST_F(SerialCounterTest, ALineCounterIsTakenAsFoundAndItsLinesBecomeReadings) {
    World.Environment = {{"OSTREL_SERIALLINE_CONFIG", ""}, {"OSTREL_SERIALLINE_PORT", "/dev/a"}};
    auto script = std::make_shared<TPortScript>();
    World.Ports["/dev/a"] = script;
    TSerialCounter counter(SerialLineAdapterSetup(), World.Context());
    EXPECT_EQ(counter.Find(), 1);
    EXPECT_EQ(World.Opened, std::vector<std::string>{"/dev/a 9600"});
    EXPECT_EQ(counter.Connect(PortId("/dev/a")), 1);
    script->Arrivals.push_back("CPS, 3, CPM, 30, uSv/hr, 0.17, SLOW\r\nCPS, 4, CPM, 31, ");
    EXPECT_EQ(Drain(counter), (std::vector<std::string>{"2024-05-01 09:40:58.000 w3 3"}));
    script->Arrivals.push_back("uSv/hr, 0.18, SLOW\r\n");
    EXPECT_EQ(Drain(counter), (std::vector<std::string>{"2024-05-01 09:40:58.000 w3 4"}));
    EXPECT_EQ(counter.Disconnect(PortId("/dev/a")), 1);
    EXPECT_EQ(Drain(counter), std::vector<std::string>{"gone"});
    EXPECT_EQ(script->Log, (std::vector<std::string>{"discard", "closed"}));
    // No state file configured: the pair stays in memory.
    std::uint16_t coefficient = 0;
    std::uint16_t background = 0;
    EXPECT_EQ(counter.GetCoefficient(PortId("/dev/a"), &coefficient, &background), 1);
    EXPECT_EQ(coefficient, 570);
}

} // namespace
} // namespace ostrel::adapters
