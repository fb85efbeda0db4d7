// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// An output that sends finished minutes to one radiation map from a thread
// of its own, so that logging never waits on the network: what the service
// does not take now is tried again after a pause that doubles, from 1 s to
// 5 minutes; an answer that no retry can mend stops the output. Each line it
// tells names the service and the cause, never a password or a key.

#include "maps/MapsReply.h"
#include "maps/MapsRequests.h"
#include "maps/MapsSettings.h"
#include "records/DeliveryCounters.h"
#include "records/LogOutput.h"
#include "records/OutputThread.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ostrel {

using TSteadyTime = std::chrono::steady_clock::time_point;

// A finished minute as the services need it.
struct TMapsMinute {
    TDateTime Start = 0; // local time, as the log line shows it
    std::int32_t Count = 0;
    std::optional<double> DoseRate;  // the line's
    std::optional<std::int64_t> Utc; // the minute's start, seconds since 1970 UTC
    double AverageCpm = 0;           // of the minutes the dose rate is the mean of
    TSteadyTime FinishedAt;
    std::uint32_t DeviceId = 0; // the counter's, as Start connected it; 0: not known
};

// The pause before the next try after a transient failure.
class TBackoff {
public:
    static constexpr std::chrono::seconds First{1};
    static constexpr std::chrono::seconds Last{300};

    // The pause to make now; the next one is twice as long, up to Last.
    std::chrono::seconds Next() {
        const std::chrono::seconds pause = Current;
        Current = std::min(Current * 2, Last);
        return pause;
    }
    void Reset() { Current = First; }

private:
    std::chrono::seconds Current = First;
};

// What one service makes of the minutes: which to send and when, what an
// answer means for them. Used on the output's thread only.
class TMapsService {
public:
    virtual ~TMapsService() = default;
    // Before the first request. Every call returns the lines to tell.
    virtual std::vector<std::string> Open() { return {}; }
    virtual std::vector<std::string> Take(const std::vector<TMapsMinute>& minutes) = 0;
    // The request to make now; none when nothing is due.
    virtual std::optional<TMapsRequest> Next(TSteadyTime now) = 0;
    // How the service answered Next's request.
    virtual std::vector<std::string> Answered(TReplyClass answer) = 0;
    // Minutes given and not accepted yet, nor given up.
    virtual std::size_t Waiting() const = 0;
    // What the output does while the service is down, and once it has
    // stopped: the end of the line that tells.
    virtual std::string WhileDown() const = 0;
    virtual std::string WhenStopped() const = 0;
};

// Who is told, and where the requests go.
struct TMapsTarget {
    TMapService Service = TMapService::Radmon;
    std::string Name;  // "radmon.org", as every line starts
    std::string Where; // the requests' address, without anything secret
    std::vector<std::string> Secrets;
    THttpTimeouts Timeouts;
    std::shared_ptr<TDeliveryCounter> Deliveries; // none: not counted
    // Set: what the replies mean, for a service that is no map.
    TVerdict (*Classify)(const THttpReply& reply) = nullptr;
};

// Prints "ostrel: <text>" as one line on the standard error stream.
void ReportMapsToStderr(const std::string& text);

class TMapsOutput final : public TLogOutput {
public:
    using TReport = std::function<void(const std::string& text)>;

    // Starts its thread at once; report gets each line, from that thread.
    TMapsOutput(TMapsTarget target, std::unique_ptr<TMapsService> service,
                TReport report = ReportMapsToStderr);
    // Abandons a request under way; waits a few seconds at most.
    ~TMapsOutput() override;
    TMapsOutput(const TMapsOutput&) = delete;
    TMapsOutput& operator=(const TMapsOutput&) = delete;

    void CounterConnected(std::uint32_t deviceId) noexcept override;
    void MinuteFinished(const TFinishedMinute& minute) noexcept override;

    // Minutes given and neither accepted nor given up yet.
    std::size_t Waiting() const;
    // An answer stopped it.
    bool Stopped() const;
    const std::string& Name() const;

    struct TShared;

private:
    std::shared_ptr<TShared> Shared;
    TOutputThread Worker;
};

} // namespace ostrel
