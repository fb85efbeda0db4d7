// SPDX-License-Identifier: GPL-3.0-or-later
// The device library run in the device host (OSTREL_DEVICE_HOST=always puts
// the simulated counter there), held against the same library loaded here:
// every call must give the same bytes through the pipe as in the process.

#include "counter/CounterLibrary.h"
#include "devicehost/DeviceHostProxy.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>

#include <cerrno>
#endif

namespace ostrel {
namespace {

const std::string SimPath = std::string(OSTREL_BIN_DIR) + "/" + CounterLibraryFileName;
constexpr std::uint32_t SimId = 0x4F53544C;

void SetEnv(const char* name, const std::string& value) {
#ifdef _WIN32
    _putenv_s(name, value.c_str());
#else
    setenv(name, value.c_str(), 1);
#endif
}

// A sample that the call did not write.
const std::string Untouched = [] {
    std::string text;
    for (int i = 0; i < 32; ++i) {
        text += "a5";
    }
    return text;
}();

template <typename T> std::string Hex(const T& value) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(&value);
    std::string text;
    for (std::size_t i = 0; i < sizeof value; ++i) {
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02x", bytes[i]);
        text += digits;
    }
    return text;
}

// Kills the process at once, as a crashing library would end it.
void Kill(long pid) {
#ifdef _WIN32
    const HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
    ASSERT_NE(process, nullptr);
    TerminateProcess(process, 3);
    WaitForSingleObject(process, 5000);
    CloseHandle(process);
#else
    ASSERT_EQ(::kill(static_cast<pid_t>(pid), SIGKILL), 0);
#endif
}

// Whether a process seen running before has ended and been collected.
class TProcessWatch {
public:
    explicit TProcessWatch(long pid) : Pid(pid) {
#ifdef _WIN32
        Process = OpenProcess(SYNCHRONIZE, FALSE, pid);
#endif
    }
#ifdef _WIN32
    ~TProcessWatch() {
        CloseHandle(Process);
    }
    bool Gone() const {
        return WaitForSingleObject(Process, 0) == WAIT_OBJECT_0;
    }
#else
    bool Gone() const {
        return ::kill(static_cast<pid_t>(Pid), 0) != 0 && errno == ESRCH;
    }
#endif

private:
    long Pid;
#ifdef _WIN32
    HANDLE Process = nullptr;
#endif
};

// One call and what it gave, as text: its result and the bytes it wrote.
using TStep = std::function<std::string(const TCounterEntryPoints&)>;

std::string GetCoefficient(const TCounterEntryPoints& e, std::uint32_t id) {
    std::uint16_t coefficient = 7, background = 9; // left alone by a failed call
    const std::int32_t result = e.GetCoefficient(id, &coefficient, &background);
    return std::to_string(result) + " " + std::to_string(coefficient) + " " +
           std::to_string(background);
}

std::string GetData(const TCounterEntryPoints& e) {
    TCounterSample sample;
    std::memset(&sample, 0xA5, sizeof sample); // as a failed call leaves it
    const std::int32_t result = e.GetData(&sample);
    return std::to_string(result) + " " + Hex(sample);
}

std::string GetInfo(const TCounterEntryPoints& e, std::int32_t found) {
    std::vector<TDeviceInfo> infos(static_cast<std::size_t>(found), TDeviceInfo{});
    std::string text = std::to_string(e.GetInfo(infos.data()));
    for (const TDeviceInfo& info : infos) {
        text += " " + Hex(info);
    }
    return text;
}

class HostedLibraryTest : public testing::Test {
protected:
    void SetUp() override {
        SetEnv("TZ", "UTC0");
        SetEnv("OSTREL_SIM_SPEED", "0");
        const std::string script = testing::TempDir() + "hosted-readings.txt";
        std::ofstream(script, std::ios::binary) << "2024-05-01 09:40:01.250 12\n"
                                                   "2024-13-31 24:59:59.999 65535\n"
                                                   "gone\n";
        SetEnv("OSTREL_SIM_SCRIPT", script);
        SetEnv("OSTREL_DEVICE_HOST", "always");
        ASSERT_TRUE(Hosted.LoadCounterLibrary());
        ASSERT_TRUE(Hosted.IsHosted());
        ASSERT_NE(DeviceHostProcessId(), 0);
    }
    void TearDown() override { SetEnv("OSTREL_DEVICE_HOST", ""); }

    TCounterLibrary Hosted{{SimPath}};
};

TEST_F(HostedLibraryTest, EveryCallGivesWhatTheLibraryGivesInTheProcess) {
    const TDynamicLibrary own = TDynamicLibrary::Open(SimPath);
    TCounterEntryPoints direct;
    ASSERT_TRUE(BindCounterEntryPoints([&](const char* name) { return own.Symbol(name); }, direct));
    direct.Clear();
    struct TCase {
        const char* Name;
        TStep Step;
        std::string Expected; // "" where only the library in the process tells
    };
    const TCase cases[] = {
        {"Find", [](const auto& e) { return std::to_string(e.Find()); }, "1"},
        {"GetInfo", [](const auto& e) { return GetInfo(e, 1); },
         "1 4c54534f" + std::string(72, '0')},
        {"GetCoefficient", [](const auto& e) { return GetCoefficient(e, SimId); }, "1 158 0"},
        {"SetCoefficient",
         [](const auto& e) { return std::to_string(e.SetCoefficient(SimId, 321, 65535)); }, "1"},
        {"GetCoefficient set", [](const auto& e) { return GetCoefficient(e, SimId); },
         "1 321 65535"},
        {"GetCoefficient other id", [](const auto& e) { return GetCoefficient(e, 5); }, "0 7 9"},
        {"SetCoefficient other id",
         [](const auto& e) { return std::to_string(e.SetCoefficient(6, 1, 2)); }, "0"},
        {"GetData unconnected", GetData, "0 " + Untouched},
        {"Connect other id", [](const auto& e) { return std::to_string(e.Connect(SimId + 1)); },
         "0"},
        {"Connect", [](const auto& e) { return std::to_string(e.Connect(SimId)); }, "1"},
        {"GetData 1", GetData, ""},
        {"GetData 2", GetData, ""},
        {"GetData gone", GetData, "1 " + std::string(64, '0')},
        {"GetData after the last", GetData, "0 " + Untouched},
        {"Disconnect other id", [](const auto& e) { return std::to_string(e.Disconnect(7)); }, "0"},
        {"Disconnect", [](const auto& e) { return std::to_string(e.Disconnect(SimId)); }, "1"},
        {"GetData after Disconnect", GetData, "1 " + std::string(64, '0')},
        {"Clear", [](const auto& e) { return std::to_string(e.Clear()); }, "1"},
    };
    for (const TCase& c : cases) {
        const std::string hosted = c.Step(Hosted.EntryPoints());
        EXPECT_EQ(hosted, c.Step(direct)) << c.Name;
        if (!c.Expected.empty()) {
            EXPECT_EQ(hosted, c.Expected) << c.Name;
        }
    }
    EXPECT_EQ(DeviceHostProcessId(), 0); // Clear ended the host
}

TEST_F(HostedLibraryTest, AKilledHostEndsTheConnectionAndFailsEveryCall) {
    const TCounterEntryPoints& e = Hosted.EntryPoints();
    ASSERT_EQ(e.Find(), 1);
    ASSERT_EQ(e.Connect(SimId), 1);
    ASSERT_EQ(GetData(e).substr(0, 2), "1 ");
    const long pid = DeviceHostProcessId();
    const TProcessWatch watch(pid);
    Kill(pid);
    const auto start = std::chrono::steady_clock::now();
    const std::pair<const char*, TStep> cases[] = {
        {"GetData gone", GetData},
        {"GetData after", GetData},
        {"Find", [](const auto& e) { return std::to_string(e.Find()); }},
        {"GetInfo", [](const auto& e) { return GetInfo(e, 1); }},
        {"Connect", [](const auto& e) { return std::to_string(e.Connect(SimId)); }},
        {"Disconnect", [](const auto& e) { return std::to_string(e.Disconnect(SimId)); }},
        {"GetCoefficient", [](const auto& e) { return GetCoefficient(e, SimId); }},
        {"SetCoefficient",
         [](const auto& e) { return std::to_string(e.SetCoefficient(SimId, 1, 2)); }},
        {"Clear", [](const auto& e) { return std::to_string(e.Clear()); }},
    };
    const std::string expected[] = {"1 " + std::string(64, '0'),
                                    "0 " + Untouched,
                                    "0",
                                    "0 " + std::string(80, '0'),
                                    "0",
                                    "0",
                                    "0 7 9",
                                    "0",
                                    "0"};
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(cases[i].second(e), expected[i]) << cases[i].first;
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    EXPECT_TRUE(watch.Gone());
    EXPECT_EQ(DeviceHostProcessId(), 0);
}

TEST_F(HostedLibraryTest, UnloadEndsTheHostAndALaterLoadStartsAnother) {
    const long first = DeviceHostProcessId();
    const TProcessWatch watch(first);
    EXPECT_FALSE(watch.Gone());
    Hosted.UnloadCounterLibrary();
    EXPECT_TRUE(watch.Gone());
    EXPECT_EQ(DeviceHostProcessId(), 0);
    EXPECT_FALSE(Hosted.IsLoaded());
    EXPECT_EQ(Hosted.EntryPoints().Find, nullptr);
    ASSERT_TRUE(Hosted.LoadCounterLibrary());
    EXPECT_NE(DeviceHostProcessId(), 0);
    EXPECT_EQ(Hosted.EntryPoints().Find(), 1);
}

TEST_F(HostedLibraryTest, LibrariesTheHostCannotServeAreNotLoaded) {
    Hosted.UnloadCounterLibrary();
#ifdef _WIN32
    const std::string incomplete =
        std::string(OSTREL_BIN_DIR) + "/testlibs/PexlarWithoutGetData.dll";
#else
    const std::string incomplete =
        std::string(OSTREL_BIN_DIR) + "/testlibs/libPexlarWithoutGetData.so";
#endif
    const TDeviceHostFiles hosts = DefaultDeviceHostFiles();
    struct TCase {
        std::vector<std::string> Candidates;
        TDeviceHostFiles Hosts;
        bool Loads;
    };
    const TCase cases[] = {
        {{"/no/such/libPexlar.so"}, hosts, false},
        {{incomplete, SimPath}, hosts, false}, // opened first: not passed over
        {{"/no/such/libPexlar.so", SimPath}, hosts, true},
        {{SimPath}, {"", hosts.OtherWordSize}, false},
        {{SimPath}, {SimPath + ".no-such-host", ""}, false},
        {{SimPath}, {__FILE__, ""}, false}, // a file that is no program
    };
    for (const TCase& c : cases) {
        TCounterLibrary library(c.Candidates, c.Hosts);
        EXPECT_EQ(library.LoadCounterLibrary(), c.Loads) << testing::PrintToString(c.Candidates);
        EXPECT_EQ(library.IsHosted(), c.Loads);
        EXPECT_EQ(DeviceHostProcessId() != 0, c.Loads);
        EXPECT_EQ(library.EntryPoints().Find == nullptr, !c.Loads);
    }
    EXPECT_EQ(DeviceHostProcessId(), 0);
}

#ifndef _WIN32
// A library of the other word size goes to the other host, a library of the
// program's own to neither. This system runs no 32-bit programs: a header of
// the other class stands for the library, and a script that says hello and
// notes its argument for the host.
TEST(HostedRoutingTest, OnlyALibraryOfTheOtherWordSizeGoesToTheOtherHost) {
    SetEnv("OSTREL_DEVICE_HOST", "");
    const std::string other = testing::TempDir() + "libPexlarOtherWordSize.so";
    unsigned char header[64] = {0x7F, 'E', 'L', 'F', ProgramWordSize == 64 ? 1 : 2, 1, 1};
    std::ofstream(other, std::ios::binary).write(reinterpret_cast<char*>(header), sizeof header);
    const std::string host = testing::TempDir() + "fake-device-host";
    const std::string noted = host + ".argument";
    std::ofstream(host) << "#!/bin/sh\necho \"$1\" >'" << noted
                        << "'\nprintf 'OsH1\\0\\0\\0\\0\\1\\0\\0\\0'\n"
                           "head -c 40 /dev/zero\ncat >/dev/null\n";
    std::filesystem::permissions(host, std::filesystem::perms::owner_all);
    struct TCase {
        std::string Candidate;
        TDeviceHostFiles Hosts;
        bool Loads, Hosted;
    };
    const TCase cases[] = {
        {other, {"", host}, true, true},
        {other, {host, ""}, false, false}, // the host of the program's own size
        {other, {"", host + ".no-such-host"}, false, false},
        {SimPath, {"", host}, true, false},
    };
    for (const TCase& c : cases) {
        std::filesystem::remove(noted);
        TCounterLibrary library({c.Candidate}, c.Hosts);
        EXPECT_EQ(library.LoadCounterLibrary(), c.Loads) << c.Candidate;
        EXPECT_EQ(library.IsHosted(), c.Hosted) << c.Candidate;
        library.UnloadCounterLibrary();
        std::string argument;
        std::getline(std::ifstream(noted), argument);
        EXPECT_EQ(argument, c.Hosted ? c.Candidate : "") << c.Candidate;
    }
}
#endif

} // namespace
} // namespace ostrel
