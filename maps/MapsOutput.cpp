// SPDX-License-Identifier: GPL-3.0-or-later
#include "maps/MapsOutput.h"

#include "maps/MapsHttp.h"

#include <iostream>
#include <mutex>
#include <utility>

namespace ostrel {

using namespace std::chrono_literals;

namespace {

// Nothing due: the thread looks again after this long, or when woken.
constexpr auto IdleWait = 60s;
// The end of the program waits no longer than this for the thread.
constexpr auto EndWait = 3s;

} // namespace

void ReportMapsToStderr(const std::string& text) {
    // One write, so that lines from several threads never interleave.
    std::cerr << ("ostrel: " + text + "\n") << std::flush;
}

struct TMapsOutput::TShared : TThreadControl {
    TShared(TMapsTarget target, std::unique_ptr<TMapsService> service, TReport report)
        : Target(std::move(target)), Service(std::move(service)), Report(std::move(report)) {}

    const TMapsTarget Target;
    const std::unique_ptr<TMapsService> Service; // the thread's alone
    const TReport Report;
    THttpClient Client;

    std::vector<TMapsMinute> Incoming;
    std::uint32_t DeviceId = 0;
    std::size_t InTransit = 0;      // taken from Incoming, not yet the service's
    std::size_t ServiceWaiting = 0; // as the service last said
    bool Stopped = false;

    void Tell(const std::vector<std::string>& lines) const {
        for (const std::string& line : lines) {
            Tell(line);
        }
    }
    void Tell(const std::string& text) const {
        std::string line = MaskSecrets(Target.Name + ": " + text, Target.Secrets);
        if (line.empty()) {
            line = MaskSecrets(Target.Name + ": a line that would show a password is left out",
                               Target.Secrets);
        }
        if (!line.empty()) {
            Report(line);
        }
    }

    // Hands the new minutes to the service; false once the end is asked for.
    bool TakeIncoming() {
        std::vector<TMapsMinute> minutes;
        {
            std::lock_guard lock(Mutex);
            if (StopRequested) {
                return false;
            }
            minutes.swap(Incoming);
            InTransit = minutes.size();
        }
        if (!minutes.empty()) {
            Tell(Service->Take(minutes));
        }
        Counted();
        return true;
    }
    void Counted() {
        const std::size_t waiting = Service->Waiting();
        std::lock_guard lock(Mutex);
        InTransit = 0;
        ServiceWaiting = waiting;
        if (Target.Deliveries) {
            Target.Deliveries->Holding(Incoming.size() + waiting);
        }
    }
    void CountDelivery(TReplyClass answer) const {
        if (!Target.Deliveries) {
            return;
        }
        switch (answer) {
        case TReplyClass::Accepted:
            Target.Deliveries->Count(TDeliveryResult::Accepted);
            break;
        case TReplyClass::Transient:
            Target.Deliveries->Count(TDeliveryResult::Failed);
            break;
        case TReplyClass::Permanent:
            Target.Deliveries->Count(TDeliveryResult::Refused);
            break;
        }
    }

    void Run() {
        Tell(Service->Open());
        TBackoff backoff;
        bool outageTold = false;
        TSteadyTime retryAt{};
        while (TakeIncoming()) {
            if (Stopped) {
                Client.Wait(IdleWait);
                continue;
            }
            const TSteadyTime now = std::chrono::steady_clock::now();
            if (now < retryAt) {
                Client.Wait(std::chrono::ceil<std::chrono::milliseconds>(retryAt - now));
                continue;
            }
            const std::optional<TMapsRequest> request = Service->Next(now);
            if (!request) {
                Counted();
                Client.Wait(IdleWait);
                continue;
            }
            const THttpReply reply =
                Client.Perform(*request, Target.Timeouts, [this] { return TakeIncoming(); });
            const TVerdict verdict = Target.Classify != nullptr
                                         ? Target.Classify(reply)
                                         : ClassifyReply(Target.Service, reply);
            Tell(Service->Answered(verdict.Class));
            Counted();
            if (reply.Failure == AbandonedText) {
                break;
            }
            CountDelivery(verdict.Class);
            switch (verdict.Class) {
            case TReplyClass::Accepted:
                backoff.Reset();
                outageTold = false;
                break;
            case TReplyClass::Transient:
                retryAt =
                    std::chrono::steady_clock::now() + std::max(backoff.Next(), verdict.AtLeast);
                if (!outageTold) {
                    Tell(Target.Where + ": " + verdict.Cause + "; " + Service->WhileDown());
                    outageTold = true;
                }
                break;
            case TReplyClass::Permanent: {
                Tell(Target.Where + ": " + verdict.Cause + "; " + Service->WhenStopped());
                std::lock_guard lock(Mutex);
                Stopped = true;
                break;
            }
            }
        }
    }
};

namespace {

void RunMapsOutput(const std::shared_ptr<TMapsOutput::TShared>& shared) {
    shared->Run();
}

} // namespace

TMapsOutput::TMapsOutput(TMapsTarget target, std::unique_ptr<TMapsService> service, TReport report)
    : Shared(std::make_shared<TShared>(std::move(target), std::move(service), std::move(report))) {
    Worker.Start(Shared, RunMapsOutput);
}

TMapsOutput::~TMapsOutput() {
    // Stuck where curl cannot be woken (a name look-up), it ends with the
    // process.
    if (!Worker.Stop(EndWait, [this] { Shared->Client.Wake(); })) {
        Shared->Tell("no orderly end in time");
    }
}

void TMapsOutput::CounterConnected(std::uint32_t deviceId) noexcept {
    std::lock_guard lock(Shared->Mutex);
    Shared->DeviceId = deviceId;
}

void TMapsOutput::MinuteFinished(const TFinishedMinute& minute) noexcept {
    try {
        TMapsMinute mapsMinute{minute.Record.StartTime, minute.Record.Count,
                               minute.DoseRate,         minute.Utc,
                               minute.MeanCount,        std::chrono::steady_clock::now()};
        std::lock_guard lock(Shared->Mutex);
        mapsMinute.DeviceId = Shared->DeviceId;
        Shared->Incoming.push_back(mapsMinute);
    } catch (...) {
        // Out of memory: this minute is not sent; the log has it.
        return;
    }
    Shared->Client.Wake();
}

std::size_t TMapsOutput::Waiting() const {
    std::lock_guard lock(Shared->Mutex);
    return Shared->Incoming.size() + Shared->InTransit + Shared->ServiceWaiting;
}

bool TMapsOutput::Stopped() const {
    std::lock_guard lock(Shared->Mutex);
    return Shared->Stopped;
}

const std::string& TMapsOutput::Name() const {
    return Shared->Target.Name;
}

} // namespace ostrel
