// SPDX-License-Identifier: GPL-3.0-or-later
// The GMC adapter library on a COM port under Wine. scripts/test-windows.sh
// plays a GMC-320 on a pseudo-terminal (ostrel-fake-gmc, a native program),
// makes that terminal a COM port of the Wine prefix and /dev/null another
// one of a higher number, registered first, and names them here:
//
//   OSTREL_TEST_GMC_PORT     the counter's port ("COM5")
//   OSTREL_TEST_IDLE_PORT    the port where no counter is ("COM12")
//   OSTREL_TEST_GMC_COUNT    the count the counter sends each second
//   OSTREL_TEST_UNPLUG_FILE  made by the last test to have the cable pulled
//
// The library is loaded and called as the program does, through its eight
// entry points. The cases run in the order written: the last one ends the
// counter.

#include "adapters/AdapterConfig.h"
#include "adapters/GmcProtocol.h"
#include "adapters/SerialCounter.h"
#include "adapters/SerialPort.h"
#include "counter/CounterLibrary.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace ostrel::adapters {
namespace {

using Ports = std::vector<std::string>;

const std::string GmcLibrary = std::string(OSTREL_BIN_DIR) + "/adapters/PexlarGmc.dll";

std::string Setting(const char* name) {
    return EnvironmentValue(name).value_or("");
}

void SetVariable(const std::string& name, const std::string& value) {
    SetEnvironmentVariableA(name.c_str(), value.c_str());
}

class GmcComPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(GmcPort.empty() || IdlePort.empty() || Count.empty() || UnplugFile.empty())
            << "scripts/test-windows.sh sets the ports up and runs this";
    }

    const std::string GmcPort = Setting("OSTREL_TEST_GMC_PORT");
    const std::string IdlePort = Setting("OSTREL_TEST_IDLE_PORT");
    const std::string Count = Setting("OSTREL_TEST_GMC_COUNT");
    const std::string UnplugFile = Setting("OSTREL_TEST_UNPLUG_FILE");
};

// Waits for what the counter brings about; the deadline only ends a broken run.
bool WaitUntil(const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

TEST_F(GmcComPortTest, TheDefaultPortsAreTheComPortsPresentInNumberOrder) {
    const Ports present = PresentComPorts();
    Ports ours;
    std::copy_if(present.begin(), present.end(), std::back_inserter(ours),
                 [&](const std::string& port) { return port == GmcPort || port == IdlePort; });
    EXPECT_EQ(ours, (Ports{GmcPort, IdlePort}));
    const TAdapterConfig config =
        ReadAdapterConfig(GmcAdapterSetup(), [](const char* name) -> std::optional<std::string> {
            return std::string(name) == "OSTREL_GMC_CONFIG" ? std::optional<std::string>("")
                                                            : std::nullopt;
        });
    EXPECT_EQ(config.Ports, present);
}

TEST_F(GmcComPortTest, WhatIsNoSerialPortIsRefused) {
    EXPECT_EQ(OpenSerialPort(IdlePort, 9600).Error, "not a serial port");
    std::string present;
    for (const std::string& port : PresentComPorts()) {
        present += (present.empty() ? "" : ", ") + port;
    }
    // Wine's words for ERROR_FILE_NOT_FOUND.
    EXPECT_EQ(OpenSerialPort("COM99", 9600).Error,
              "File not found (the COM ports present: " + present + ")");
}

TEST_F(GmcComPortTest, TheCounterIsFoundAndLoggedThroughTheEntryPoints) {
    SetVariable("OSTREL_GMC_PORT", GmcPort);
    SetVariable("OSTREL_GMC_CONFIG", "");
    SetVariable("OSTREL_GMC_STATE", "");
    TCounterLibrary library({GmcLibrary});
    ASSERT_TRUE(library.LoadCounterLibrary());
    const TCounterEntryPoints& device = library.EntryPoints();

    ASSERT_EQ(device.Find(), 1);
    TDeviceInfo info{};
    ASSERT_EQ(device.GetInfo(&info), 1);
    EXPECT_EQ(info.Id, PortId(GmcPort));
    std::uint16_t coefficient = 0;
    std::uint16_t background = 0;
    EXPECT_EQ(device.SetCoefficient(info.Id, 570, 12), 1);
    EXPECT_EQ(device.GetCoefficient(info.Id, &coefficient, &background), 1);
    EXPECT_EQ(coefficient, 570);
    EXPECT_EQ(background, 12);

    ASSERT_EQ(device.Connect(info.Id), 1);
    std::vector<std::uint16_t> counts;
    bool gone = false;
    EXPECT_TRUE(WaitUntil([&] {
        TCounterSample sample{};
        while (counts.size() < 3 && device.GetData(&sample) == 1) {
            gone = gone || sample.Time.Year == 0;
            counts.push_back(sample.Count);
        }
        return counts.size() >= 3;
    }));
    EXPECT_FALSE(gone);
    const auto count = static_cast<std::uint16_t>(std::stoi(Count));
    EXPECT_EQ(counts, (std::vector<std::uint16_t>{count, count, count}));

    EXPECT_EQ(device.Disconnect(info.Id), 1);
    TCounterSample sample{};
    while (device.GetData(&sample) == 1 && sample.Time.Year != 0) {
        EXPECT_EQ(sample.Count, count);
    }
    EXPECT_EQ(sample.Time.Year, 0) << "the gone marker after Disconnect";
}

TEST_F(GmcComPortTest, ThePortTellsWhenTheCounterIsUnplugged) {
    TOpenResult opened = OpenSerialPort(GmcPort, 115200);
    ASSERT_TRUE(opened.Port) << opened.Error;
    TSerialPort& port = *opened.Port;
    ASSERT_TRUE(port.Write("<GETVER>>"));
    std::string answer;
    EXPECT_TRUE(WaitUntil([&] {
        port.WaitForInput(100);
        EXPECT_EQ(port.Read(answer), TReadStatus::Open);
        return answer.size() >= 14;
    }));
    EXPECT_EQ(answer, "GMC-320Re 4.26");

    std::ofstream(UnplugFile) << "unplug\n";
    EXPECT_TRUE(WaitUntil([&] {
        port.WaitForInput(100);
        return port.Read(answer) == TReadStatus::Gone;
    }));
    // Wine's words for ERROR_NOT_READY, which ClearCommError answers once
    // the terminal has hung up (ReadFile still reads nothing without error).
    EXPECT_EQ(port.GoneReason(), "Not ready");
    EXPECT_EQ(answer, "GMC-320Re 4.26");
}

} // namespace
} // namespace ostrel::adapters
