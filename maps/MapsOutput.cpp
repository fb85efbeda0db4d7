// SPDX-License-Identifier: GPL-3.0-or-later
#include "maps/MapsOutput.h"

#include "maps/MapsHttp.h"

#include <condition_variable>
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

struct TMapsOutput::TShared {
    TShared(TMapsTarget target, std::unique_ptr<TMapsService> service, TReport report)
        : Target(std::move(target)), Service(std::move(service)), Report(std::move(report)) {}

    const TMapsTarget Target;
    const std::unique_ptr<TMapsService> Service; // the thread's alone
    const TReport Report;
    THttpClient Client;

    mutable std::mutex Mutex;
    std::condition_variable EndedSignal;
    std::vector<TMapsMinute> Incoming;
    std::size_t InTransit = 0;      // taken from Incoming, not yet the service's
    std::size_t ServiceWaiting = 0; // as the service last said
    bool StopRequested = false;
    bool Stopped = false;
    bool Ended = false;

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
            const TVerdict verdict = ClassifyReply(Target.Service, reply);
            Tell(Service->Answered(verdict.Class));
            Counted();
            if (reply.Failure == AbandonedText) {
                break;
            }
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
        std::lock_guard lock(Mutex);
        Ended = true;
        EndedSignal.notify_all();
    }
};

TMapsOutput::TMapsOutput(TMapsTarget target, std::unique_ptr<TMapsService> service, TReport report)
    : Shared(std::make_shared<TShared>(std::move(target), std::move(service), std::move(report))) {
    Worker = std::thread([shared = Shared] { shared->Run(); });
}

TMapsOutput::~TMapsOutput() {
    std::unique_lock lock(Shared->Mutex);
    Shared->StopRequested = true;
    Shared->Client.Wake();
    const bool ended =
        Shared->EndedSignal.wait_for(lock, EndWait, [this] { return Shared->Ended; });
    lock.unlock();
    if (ended) {
        Worker.join();
    } else {
        // Stuck where curl cannot be woken (a name look-up): the thread
        // holds its own share of the state and ends with the process.
        Shared->Tell("no orderly end in time");
        Worker.detach();
    }
}

void TMapsOutput::LogBegan() noexcept {
    Recent.clear();
}

void TMapsOutput::LogOpened(const TOpenedLog& log) noexcept {
    // The newest record is the minute in progress, which MinuteFinished
    // tells once it is over.
    Recent.clear();
    const std::size_t count = log.Records.Count();
    const std::size_t from = count > DoseRateWindow ? count - DoseRateWindow : 0;
    try {
        for (std::size_t k = from; k + 1 < count; ++k) {
            Recent.push_back(log.Records[k].Count);
        }
    } catch (...) {
        // Out of memory: the average starts from the minutes to come.
        Recent.clear();
    }
}

void TMapsOutput::MinuteFinished(const TFinishedMinute& minute) noexcept {
    try {
        Recent.push_back(minute.Record.Count);
        while (Recent.size() > DoseRateWindow) {
            Recent.pop_front();
        }
        double sum = 0;
        for (const std::int32_t count : Recent) {
            sum += count;
        }
        const TMapsMinute mapsMinute{minute.Record.StartTime, minute.Record.Count, minute.DoseRate,
                                     sum / static_cast<double>(Recent.size()),
                                     std::chrono::steady_clock::now()};
        std::lock_guard lock(Shared->Mutex);
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
