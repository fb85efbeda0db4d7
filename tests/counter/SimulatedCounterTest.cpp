// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated counter, driven through the loader as the program drives it.
// OSTREL_SIM_SPEED=0 stops its clock, which the tests then move by hand.

#include "counter/CounterLibrary.h"
#include "sim/TestHooks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace ostrel {
namespace {

const std::string SimPath = std::string(OSTREL_BIN_DIR) + "/" + CounterLibraryFileName;
constexpr std::uint32_t SimId = 0x4F53544C;
const char* const Variables[] = {"OSTREL_SIM_CPM", "OSTREL_SIM_SPEED", "OSTREL_SIM_SCRIPT",
                                 "OSTREL_SIM_SEED"};

void SetEnv(const char* name, const std::string& value) {
#ifdef _WIN32
    _putenv_s(name, value.c_str());
#else
    setenv(name, value.c_str(), 1);
#endif
}

std::int64_t UnixSeconds(const TSystemTime& t) {
    using namespace std::chrono;
    const sys_days date{year{t.Year} / t.Month / t.Day};
    return date.time_since_epoch().count() * 86400 + t.Hour * 3600 + t.Minute * 60 + t.Second;
}

std::int64_t NowSeconds() {
    using namespace std::chrono;
    return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
}

std::string ScriptFile(const std::string& name, const std::string& text) {
    const std::string path = testing::TempDir() + name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

bool SameBytes(const TCounterSample& a, const TCounterSample& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

class SimulatedCounterTest : public testing::Test {
protected:
    void SetUp() override {
        SetEnv("TZ", "UTC0");
        for (const char* name : Variables) {
            SetEnv(name, "");
        }
        SetEnv("OSTREL_SIM_SPEED", "0");
        ASSERT_TRUE(Library.LoadCounterLibrary());
        Advance = reinterpret_cast<sim::TAdvanceClockFn>(Hooks.Symbol(sim::AdvanceClockName));
        ASSERT_NE(Advance, nullptr);
    }

    const TCounterEntryPoints& Sim() const { return Library.EntryPoints(); }

    std::vector<TCounterSample> Drain() const {
        std::vector<TCounterSample> samples;
        TCounterSample sample{};
        while (Sim().GetData(&sample) != 0) {
            samples.push_back(sample);
        }
        return samples;
    }

    // Counts of `seconds` readings, fetched an hour at a time, as the
    // backlog holds no more.
    std::vector<int> Counts(std::int64_t seconds) const {
        std::vector<int> counts;
        for (std::int64_t left = seconds; left > 0; left -= 3600) {
            Advance(std::min<std::int64_t>(left, 3600) * 1000);
            for (const TCounterSample& sample : Drain()) {
                counts.push_back(sample.Count);
            }
        }
        return counts;
    }

    TCounterLibrary Library{{SimPath}};
    TDynamicLibrary Hooks = TDynamicLibrary::Open(SimPath);
    sim::TAdvanceClockFn Advance = nullptr;
};

TEST_F(SimulatedCounterTest, FindsOneCounterAndDescribesIt) {
    EXPECT_EQ(Sim().Find(), 1);
    TDeviceInfo infos[2]{};
    Sim().GetInfo(infos);
    EXPECT_EQ(infos[0].Id, SimId);
    const TDeviceInfo zero{};
    EXPECT_EQ(std::memcmp(infos[0].Reserved, zero.Reserved, sizeof zero.Reserved), 0);
    EXPECT_EQ(std::memcmp(&infos[1], &zero, sizeof zero), 0); // writes one record only
}

TEST_F(SimulatedCounterTest, OneReadingPerSimulatedSecondWithABacklogOfAnHour) {
    struct TStep {
        std::int64_t AdvanceMs;
        std::size_t Readings;
        std::int64_t FirstOffset; // seconds after the first reading
    };
    const std::vector<TStep> steps{
        {0, 0, 0},   {999, 0, 0},          {1, 1, 0}, {4000, 4, 1}, {500, 0, 0},
        {500, 1, 5}, {7200000, 3600, 3606}}; // the oldest 3600 are dropped
    const std::int64_t before = NowSeconds();
    ASSERT_EQ(Sim().Connect(SimId), 1);
    const std::int64_t after = NowSeconds();
    TCounterSample first{};
    for (const TStep& step : steps) {
        Advance(step.AdvanceMs);
        const std::vector<TCounterSample> readings = Drain();
        ASSERT_EQ(readings.size(), step.Readings) << step.AdvanceMs;
        if (readings.empty()) {
            continue;
        }
        if (first.Time.Year == 0) {
            first = readings[0];
            EXPECT_GE(UnixSeconds(first.Time), before + 1);
            EXPECT_LE(UnixSeconds(first.Time), after + 1);
        }
        for (std::size_t i = 0; i < readings.size(); ++i) {
            const TSystemTime& time = readings[i].Time;
            EXPECT_EQ(UnixSeconds(time) - UnixSeconds(first.Time),
                      step.FirstOffset + static_cast<std::int64_t>(i));
            EXPECT_EQ(time.Milliseconds, first.Time.Milliseconds);
            const std::chrono::year_month_day date{std::chrono::year{time.Year} / time.Month /
                                                   time.Day};
            EXPECT_EQ(time.DayOfWeek,
                      std::chrono::weekday{std::chrono::sys_days{date}}.c_encoding());
        }
    }
}

TEST_F(SimulatedCounterTest, EachBatchEndsWithANoReadingAnswer) {
    ASSERT_EQ(Sim().Connect(SimId), 1);
    Advance(3000);
    TCounterSample sample{};
    EXPECT_EQ(Sim().GetData(&sample), 1);
    EXPECT_EQ(Sim().GetData(&sample), 1);
    Advance(5000);
    EXPECT_EQ(Sim().GetData(&sample), 1);
    EXPECT_EQ(Sim().GetData(&sample), 0); // although five more are due
    EXPECT_EQ(Drain().size(), 5u);
}

TEST_F(SimulatedCounterTest, RealClockRunsAtTheGivenSpeed) {
    SetEnv("OSTREL_SIM_SPEED", "600");
    ASSERT_EQ(Sim().Connect(SimId), 1);
    std::vector<TCounterSample> readings;
    for (int wait = 0; readings.size() < 130 && wait < 60000; ++wait) {
        const std::vector<TCounterSample> batch = Drain();
        readings.insert(readings.end(), batch.begin(), batch.end());
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_GE(readings.size(), 130u);
    for (std::size_t i = 1; i < readings.size(); ++i) {
        EXPECT_EQ(UnixSeconds(readings[i].Time) - UnixSeconds(readings[i - 1].Time), 1) << i;
    }
}

TEST_F(SimulatedCounterTest, MinuteSumsArePoissonAroundTheMean) {
    struct TCase {
        const char* Cpm;
        const char* Seed;
        double Mean;
    };
    const int minutes = 200;
    for (const TCase& c : {TCase{"30", "1", 30.0}, TCase{"600", "2", 600.0}, TCase{"7.5", "3", 7.5},
                           TCase{"0", "4", 0.0}}) {
        SetEnv("OSTREL_SIM_CPM", c.Cpm);
        SetEnv("OSTREL_SIM_SEED", c.Seed);
        ASSERT_EQ(Sim().Connect(SimId), 1);
        const std::vector<int> counts = Counts(minutes * 60);
        ASSERT_EQ(counts.size(), minutes * 60u);
        std::vector<double> sums(minutes, 0.0);
        for (std::size_t i = 0; i < counts.size(); ++i) {
            sums[i / 60] += counts[i];
        }
        double mean = 0.0;
        for (const double sum : sums) {
            mean += sum / minutes;
        }
        double variance = 0.0;
        for (const double sum : sums) {
            variance += (sum - mean) * (sum - mean) / (minutes - 1);
        }
        // Five standard errors; a Poisson variance equals its mean.
        EXPECT_NEAR(mean, c.Mean, 5.0 * std::sqrt(c.Mean / minutes) + 1e-9) << c.Cpm;
        EXPECT_NEAR(variance, c.Mean, 0.4 * c.Mean + 1e-9) << c.Cpm;
    }
}

TEST_F(SimulatedCounterTest, SameSeedRepeatsTheCounts) {
    const auto run = [this](const char* seed) {
        SetEnv("OSTREL_SIM_SEED", seed);
        Sim().Connect(SimId);
        return Counts(600);
    };
    const std::vector<int> first = run("42");
    EXPECT_EQ(run("42"), first);
    EXPECT_NE(run("43"), first);
}

TEST_F(SimulatedCounterTest, DisconnectDeliversTheGoneMarkerOnce) {
    EXPECT_EQ(Sim().Disconnect(SimId), 0); // nothing connected: no marker
    EXPECT_TRUE(Drain().empty());
    ASSERT_EQ(Sim().Connect(SimId), 1);
    Advance(3000);
    EXPECT_EQ(Sim().Disconnect(SimId + 1), 0);
    EXPECT_EQ(Sim().Disconnect(SimId), 1);
    TCounterSample sample{};
    sample.Count = 9;
    ASSERT_EQ(Sim().GetData(&sample), 1);
    EXPECT_TRUE(SameBytes(sample, TCounterSample{}));
    EXPECT_EQ(Sim().GetData(&sample), 0);
    Advance(5000);
    EXPECT_TRUE(Drain().empty());
}

TEST_F(SimulatedCounterTest, CoefficientPairIsKeptUntilClear) {
    const auto pair = [this](std::uint32_t id) {
        std::uint16_t coefficient = 1;
        std::uint16_t background = 2;
        Sim().GetCoefficient(id, &coefficient, &background);
        return std::vector<int>{coefficient, background};
    };
    EXPECT_EQ(pair(SimId), (std::vector<int>{158, 0}));
    Sim().SetCoefficient(SimId, 65535, 1234);
    EXPECT_EQ(pair(SimId), (std::vector<int>{65535, 1234}));
    Sim().SetCoefficient(SimId + 1, 7, 7);
    Sim().Connect(SimId);
    EXPECT_EQ(pair(SimId), (std::vector<int>{65535, 1234}));
    EXPECT_EQ(pair(SimId + 1), (std::vector<int>{1, 2})); // another counter's: untouched
    Sim().Clear();
    EXPECT_EQ(pair(SimId), (std::vector<int>{158, 0}));
}

TEST_F(SimulatedCounterTest, ScriptIsReplayedFieldByField) {
    SetEnv("OSTREL_SIM_SCRIPT", ScriptFile("replay.txt", "\xEF\xBB\xBF# readings\n"
                                                         "\n"
                                                         "2024-01-31 23:59:59.999 7\n"
                                                         "2024-13-01 00:00:00.000 3 # month 13\n"
                                                         "  0000-00-00 00:00:00 0\n"
                                                         "gone\n"
                                                         "2024-02-29 12:34:56.5 65535\r\n"
                                                         "65535-2-30 24:60:61.1000 1\n"));
    ASSERT_EQ(Sim().Connect(SimId), 1);
    const std::vector<TCounterSample> expected{{{2024, 1, 3, 31, 23, 59, 59, 999}, {}, 7},
                                               {{2024, 13, 0, 1, 0, 0, 0, 0}, {}, 3},
                                               {{0, 0, 0, 0, 0, 0, 0, 0}, {}, 0},
                                               {{0, 0, 0, 0, 0, 0, 0, 0}, {}, 0},
                                               {{2024, 2, 4, 29, 12, 34, 56, 5}, {}, 65535},
                                               {{65535, 2, 0, 30, 24, 60, 61, 1000}, {}, 1}};
    const std::vector<TCounterSample> replayed = Drain();
    ASSERT_EQ(replayed.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_TRUE(SameBytes(replayed[i], expected[i])) << "line " << i;
    }
    Advance(10000);
    EXPECT_TRUE(Drain().empty());
}

TEST_F(SimulatedCounterTest, BadSettingsRefuseTheConnection) {
    const std::vector<std::pair<const char*, std::string>> cases{
        {"OSTREL_SIM_CPM", "-1"},
        {"OSTREL_SIM_CPM", "abc"},
        {"OSTREL_SIM_CPM", "2000000"},
        {"OSTREL_SIM_SPEED", "fast"},
        {"OSTREL_SIM_SPEED", "-2"},
        {"OSTREL_SIM_SPEED", "inf"},
        {"OSTREL_SIM_SEED", "-1"},
        {"OSTREL_SIM_SEED", "12x"},
        {"OSTREL_SIM_SCRIPT", testing::TempDir() + "no-such-script.txt"},
        {"OSTREL_SIM_SCRIPT", ScriptFile("bad1.txt", "2024-01-01 10:00:00\n")},
        {"OSTREL_SIM_SCRIPT", ScriptFile("bad2.txt", "2024-01-01 10:00:00 65536\n")},
        {"OSTREL_SIM_SCRIPT", ScriptFile("bad3.txt", "2024-01-01T10:00:00 5\n")},
        {"OSTREL_SIM_SCRIPT", ScriptFile("bad4.txt", "2024-01-01 10:00 5\n")},
        {"OSTREL_SIM_SCRIPT", ScriptFile("bad5.txt", "gone\ngone now\n")},
        {"OSTREL_SIM_SCRIPT", ScriptFile("bad6.txt", "2024-01-01 10:00:00 5 6\n")}};
    for (const auto& [name, value] : cases) {
        SetEnv(name, value);
        EXPECT_EQ(Sim().Connect(SimId), 0) << name << "=" << value;
        Advance(5000);
        EXPECT_TRUE(Drain().empty()) << name << "=" << value;
        SetEnv(name, "");
    }
    EXPECT_EQ(Sim().Connect(SimId), 1);
}

TEST_F(SimulatedCounterTest, ForeignIdsNullPointersAndClearAreHandled) {
    EXPECT_EQ(Sim().Connect(SimId + 1), 0);
    Advance(3000);
    EXPECT_TRUE(Drain().empty());
    ASSERT_EQ(Sim().Connect(SimId), 1);
    Advance(3000);
    EXPECT_EQ(Sim().GetData(nullptr), 0);
    EXPECT_EQ(Sim().GetInfo(nullptr), 0);
    EXPECT_EQ(Sim().GetCoefficient(SimId, nullptr, nullptr), 0);
    EXPECT_EQ(Drain().size(), 3u);
    Advance(3000);
    Sim().Clear(); // drops the connection and what it had made
    Advance(3000);
    EXPECT_TRUE(Drain().empty());
    EXPECT_EQ(Sim().Disconnect(SimId), 0);
    EXPECT_TRUE(Drain().empty());
}

} // namespace
} // namespace ostrel
