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

namespace ostrel::bench {

struct TSizes {
    std::vector<std::size_t> Open;
    std::size_t Burst = 0;
    std::size_t ReplotSmall = 360;
    std::size_t ReplotLarge = 0;
    std::size_t Memory = 0;
    std::size_t MqttTicks = 0;
};

TSizes FullSizes();
TSizes QuickSizes();

class TBench {
public:
    TBench(TSizes sizes, std::string folder) : Sizes(std::move(sizes)), Folder(std::move(folder)) {}

    void OpenLogs();
    void Bursts();
    void Replots();
    void Memory();
    void Startup();
    void Mqtt();

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
    std::optional<std::int64_t> ChildPeakKilobytes(const QStringList& arguments);
    std::vector<double> ProbeRuns(const QString& probe, const QStringList& arguments,
                                  std::vector<double>& toMain);

    TSizes Sizes;
    std::string Folder;
    std::vector<TBenchRow> Table;
    std::vector<std::string> Failed;
};

} // namespace ostrel::bench
