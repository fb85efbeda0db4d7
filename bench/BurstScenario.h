// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A burst of readings waiting in the counter library, drained by one tick of
// the acquisition loop into a chart and a log list wired as the main window
// wires them.

#include "device/CounterDevice.h"
#include "journal/Journal.h"
#include "logger/Logger.h"
#include "platform/FormatSettings.h"
#include "records/LogOutput.h"
#include "records/MinuteRecords.h"

#include <cstddef>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace ostrel {
class TChart;
class TClientArea;
class TLogList;
} // namespace ostrel

namespace ostrel::bench {

enum class TBurstKind {
    OneMinute,  // every reading in minute 0 of the log scenario
    NewMinutes, // reading k in minute k
};

// n readings; the counts of reading k are ScenarioCount(k).
std::vector<TCounterSample> BurstReadings(std::size_t n, TBurstKind kind);

// A counter library that answers at once: Find one counter, GetData the next
// queued reading or 0 when none is left; with onePerTick, 0 after every
// reading, so that each tick takes one. Only one may exist at a time, since
// the entry points are plain functions.
class TBurstDevice {
public:
    explicit TBurstDevice(std::vector<TCounterSample> readings, bool onePerTick = false);
    ~TBurstDevice();
    TBurstDevice(const TBurstDevice&) = delete;
    TBurstDevice& operator=(const TBurstDevice&) = delete;

    const TCounterEntryPoints& EntryPoints() const { return Entries; }
    std::size_t Pending() const { return Readings.size() - Next; }
    std::size_t GetDataCalls() const { return Calls; }
    // Queues more readings behind those still pending.
    void Feed(const std::vector<TCounterSample>& readings) {
        Readings.insert(Readings.end(), readings.begin(), readings.end());
    }
    // GetData until it answers 0, with nothing done with the readings: the
    // floor under a tick. Returns the readings fetched.
    std::size_t DrainOnly();

private:
    static std::int32_t PEXLAR_CALL GetData(TCounterSample* sample);

    std::vector<TCounterSample> Readings;
    std::size_t Next = 0;
    std::size_t Calls = 0;
    bool OnePerTick = false;
    bool TickHadOne = false;
    TCounterEntryPoints Entries;
};

// The logger core with a chart and a log list, as the main window puts them
// together, with the default coefficient and background. The ticks are the
// benchmark's own to run: the core's timer stays off.
class TBurstRig {
public:
    // With logShown the list is shown and follows its newest line, as after
    // the menu's show-log command; otherwise hidden, as at start-up. With a
    // journal folder the finished minutes also go to a journal there; more
    // outputs follow it.
    TBurstRig(const TBurstDevice& device, bool logShown,
              const std::filesystem::path& journalFolder = {}, TLogOutputs more = {});
    ~TBurstRig();
    TBurstRig(const TBurstRig&) = delete;
    TBurstRig& operator=(const TBurstRig&) = delete;

    // StartClick: connects the counter.
    void Start();
    // One tick, TimerTimer.
    void Tick();

    // The counter Start connected.
    std::uint32_t DeviceId() const { return Session->DeviceId(); }
    // Null without a journal folder.
    TJournal* Journal() { return Session->FindOutput<TJournal>(); }
    // A failure the journal reported.
    std::optional<std::string> JournalFailure() const;
    const TRecords& Records() const { return Session->Records; }
    TChart& Chart() { return *ChartWidget; }
    TLogList& Log();

private:
    TFormatSettings Fs;
    TChart* ChartWidget = nullptr; // owned by Client
    std::unique_ptr<TClientArea> Client;
    mutable std::mutex FailureMutex;
    std::optional<std::string> Failure;
    std::unique_ptr<TLogger> Session; // last: its journal reports to the members above
};

// The first difference between what the rig shows after draining n readings
// of the given kind and what the live loop must show.
std::optional<std::string> CheckBurst(TBurstRig& rig, std::size_t n, TBurstKind kind);

} // namespace ostrel::bench
