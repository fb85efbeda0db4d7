// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Finished minutes to InfluxDB (1.x or 2.x) or a database that takes its
// line protocol: every minute, once, in order, kept on the disk until the
// server accepts it, several to a request. It goes out as the maps do (a
// thread of its own, pauses that double while the server is down, one line
// an outage, an answer no retry can mend stops it for the run).

#include "influx/InfluxLines.h"
#include "influx/InfluxSettings.h"
#include "maps/MapsOutput.h"
#include "maps/MinuteQueue.h"

#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ostrel {

// At most this many minutes to one request: a month's outage goes in a few
// dozen.
inline constexpr std::size_t InfluxBatch = 1000;

// The queue's lines are the minutes' lines as they are sent.
inline constexpr const char* InfluxQueueFile = "influxdb.txt";
inline constexpr const char* InfluxQueueLock = "influxdb.lock";

class TInfluxService final : public TMapsService {
public:
    // tags.Counter empty: each minute names its counter by the device id
    // it was logged with. The queue's file goes into folder (memory only
    // when it is empty).
    TInfluxService(TInfluxSettings settings, TInfluxTags tags, std::filesystem::path folder);

    std::vector<std::string> Open() override { return Queue.Open(); }
    std::vector<std::string> Take(const std::vector<TMapsMinute>& minutes) override;
    std::optional<TMapsRequest> Next(TSteadyTime now) override;
    std::vector<std::string> Answered(TReplyClass answer) override;
    std::size_t Waiting() const override { return Queue.Size(); }
    std::string WhileDown() const override;
    std::string WhenStopped() const override;

private:
    const TInfluxSettings Settings;
    const TInfluxTags Tags;
    TMinuteQueue Queue;
    std::size_t OnTheWay = 0;
};

// The output, reporting to report and counting its deliveries on
// deliveries, if given; the queue in stateFolder/influxdb (none kept when
// stateFolder is empty).
std::unique_ptr<TMapsOutput> MakeInflux(const TInfluxSettings& settings, const TInfluxTags& tags,
                                        const std::filesystem::path& stateFolder,
                                        TMapsOutput::TReport report = ReportMapsToStderr,
                                        std::shared_ptr<TDeliveryCounter> deliveries = {});

// The factory of the outputs list: none when [InfluxDB] leaves it off. The
// counter is named by its family when known, the station by its name, else
// the host's.
std::unique_ptr<TLogOutput> MakeInfluxOutput(const TOutputContext& context);

} // namespace ostrel
