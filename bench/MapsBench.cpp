// SPDX-License-Identifier: GPL-3.0-or-later
// What the radiation maps and MQTT together add to a tick that finishes a
// minute, with the services answering and with all of them gone.

#include "bench/BenchRun.h"
#include "bench/MapsScenario.h"
#include "bench/Measure.h"

#include <algorithm>

namespace ostrel::bench {
namespace {

constexpr double MapsAddedMedianLimit = 1e-3;
constexpr double MapsStallLimit = 0.05;

double Worst(const std::vector<double>& values) {
    return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
}

} // namespace

void TBench::Maps() {
    std::cerr << "maps\n";
    const TMapsTicks ticks = MeasureMapsTicks(Sizes.MqttTicks);
    Expect("maps", ticks.Problem);
    if (ticks.Up.empty()) {
        return;
    }
    const double off = Median(ticks.Off);
    const std::string runs = ", median of " + std::to_string(Sizes.MqttTicks);
    Row({"Tick finishing a minute, no outputs" + runs, FormatSeconds(off), "",
         "worst " + FormatSeconds(Worst(ticks.Off)), TVerdict::None});
    for (const bool down : {false, true}) {
        const std::vector<double>& with = down ? ticks.Down : ticks.Up;
        if (with.empty()) {
            continue;
        }
        const double median = Median(with);
        const std::string state = down ? "every service and the broker gone" : "all answering";
        Row({"Tick with radmon.org, gmcmap.com, Safecast and MQTT, " + state + runs,
             FormatSeconds(median), "<= " + FormatSeconds(off + MapsAddedMedianLimit) + " (+1 ms)",
             "added " + FormatSeconds(median - off),
             VerdictOf(median - off <= MapsAddedMedianLimit)});
        Row({"  worst tick", FormatSeconds(Worst(with)), "<= " + FormatSeconds(MapsStallLimit), "",
             VerdictOf(Worst(with) <= MapsStallLimit)});
    }
}

} // namespace ostrel::bench
