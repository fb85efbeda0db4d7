// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The timed parts of `make bench`: each section runs its scenarios, times
// them and adds its rows to one table; every result is checked after timing.

#include "bench/BurstScenario.h"
#include "bench/Measure.h"

#include <QStringList>

#include <cstdint>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

namespace ostrel {
class TLogList;
} // namespace ostrel

namespace ostrel::bench {

struct TSizes {
    std::vector<std::size_t> Open;
    std::size_t Burst = 0;
    std::size_t ReplotSmall = 360;
    std::size_t ReplotLarge = 0;
    std::size_t Memory = 0;
    std::size_t MqttTicks = 0;
    std::size_t JournalTicks = 0; // ticks of one finished minute each
    std::size_t Save = 0;
    std::size_t Large = 0; // opened once, in a child process of its own
    // Simulated days at which the soak reads its children, the last one
    // where it ends; and the real minutes of the runs at the counter's own
    // pace, none with 0.
    std::vector<int> SoakDays;
    int SoakRealMinutes = 0;
    // Real seconds for which the waiting programs are measured side by side.
    int IdleSeconds = 0;
    // The log whose Open is measured in CPU time, in child processes.
    std::size_t OpenCpu = 0;
};

TSizes FullSizes();
TSizes QuickSizes();

// Fewer runs where one run is long; always an odd number, for the median.
int RunsFor(std::size_t n);

class TBench {
public:
    TBench(TSizes sizes, std::string folder) : Sizes(std::move(sizes)), Folder(std::move(folder)) {}

    void OpenLogs();
    void Bursts();
    void Replots();
    void Memory();
    void Saves();
    void LargeLog();
    void Startup();
    void Mqtt();
    void Journal(); // in JournalBench.cpp
    void Maps();    // in MapsBench.cpp
    void Soak();    // in SoakBench.cpp
    void Idle();    // in SoakBench.cpp
    void Http();    // in HttpBench.cpp
    // What pages on the live stream cost a logger at x1; in SoakBench.cpp.
    void LivePages(std::size_t pages);
    void OpenCpu();

    const std::vector<TBenchRow>& Rows() const { return Table; }
    const std::vector<std::string>& Failures() const { return Failed; }

private:
    std::string LogPath(std::size_t n) const {
        return Folder + "/log-" + std::to_string(n) + ".csv";
    }
    void Row(TBenchRow row) {
        std::cerr << "  " << row.Name << ": " << row.Figure << "\n";
        Table.push_back(std::move(row));
    }
    void Expect(const std::string& scenario, const std::optional<std::string>& problem) {
        if (problem) {
            Failed.push_back(scenario + ": " + *problem);
        }
    }
    double OpenOnce(std::size_t n);
    void Burst(TBurstKind kind, bool logShown);
    std::optional<std::int64_t> ChildPeakKilobytes(const QStringList& arguments,
                                                   double* openSeconds = nullptr,
                                                   double* cpuSeconds = nullptr);
    std::optional<double> FloorReadCpu(const std::string& path);
    std::optional<double> OpenCpuBeyond(const std::string& path, const std::string& small,
                                        bool floor);
    // The probe's figures, one a run: to first paint, to main(), shared
    // libraries loaded (none where it cannot tell).
    struct TProbeRuns {
        std::vector<double> Painted;
        std::vector<double> ToMain;
        std::vector<double> Libraries;
    };
    // settings, when given, is the probe's settings file before each run.
    TProbeRuns ProbeRuns(const QString& probe, const QStringList& arguments,
                         const std::string& settings = {});
    std::string JournalFolder(const std::string& name) const { return Folder + "/" + name; }
    void CheckJournal(const std::string& scenario, TJournal* journal, const TLogList& log,
                      int lines);
    std::vector<double> MinuteTicks(bool journal, std::vector<double>& toDisk);
    double JournalBurst(bool journal, std::vector<double>& toDisk);
    double JournalOpen(bool journal, std::vector<double>& toDisk);
    void InTurns(std::size_t n, double (TBench::*run)(bool, std::vector<double>&),
                 std::vector<double>& without, std::vector<double>& with,
                 std::vector<double>& toDisk);
    void JournalRows(const std::string& what, const std::vector<double>& without,
                     const std::vector<double>& with, const std::vector<double>& toDisk,
                     bool burst);

    TSizes Sizes;
    std::string Folder;
    std::vector<TBenchRow> Table;
    std::vector<std::string> Failed;
};

} // namespace ostrel::bench
