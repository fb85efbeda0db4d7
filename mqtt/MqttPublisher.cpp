// SPDX-License-Identifier: GPL-3.0-or-later
#include "mqtt/MqttPublisher.h"

#include "mqtt/MosquittoLibrary.h"
#include "mqtt/MqttMessages.h"
#include "mqtt/MqttQueue.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <iostream>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

namespace ostrel {

using TSteadyClock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

constexpr int KeepAliveSeconds = 60;
constexpr int LoopMilliseconds = 100;
constexpr int Qos = 1;
constexpr auto FirstRetry = 1s;
constexpr auto LastRetry = 60s;
// A broker that takes a connection but never answers it counts as down.
constexpr auto ConnAckWait = 30s;
// For "offline" to reach the broker at the end.
constexpr auto FarewellWait = 1s;
// The window's end waits no longer than this for the thread.
constexpr auto EndWait = 3s;

} // namespace

void ReportMqttToStderr(const std::string& text) {
    // One write, so that lines from the two threads never interleave.
    std::cerr << ("ostrel: MQTT: " + text + "\n") << std::flush;
}

struct TMqttPublisher::TShared : TThreadControl {
    TShared(TMqttSettings settings, TReport report, bool alarmUsed,
            std::shared_ptr<TDeliveryCounter> deliveries)
        : Settings(std::move(settings)), Report(std::move(report)), AlarmUsed(alarmUsed),
          Deliveries(std::move(deliveries)) {}

    const TMqttSettings Settings;
    const TReport Report;
    const bool AlarmUsed;
    const std::shared_ptr<TDeliveryCounter> Deliveries; // none: not counted

    TMqttQueue Queue{MaxUnsent};
    std::uint32_t DeviceId = 0;
    bool DiscoveryDue = false;
    bool AlarmOn = false;
    bool AlarmDue = false;
    // The newest minute, for a new connection to say again while Home
    // Assistant would still show it (a broker that lost its retained
    // messages); none once it is older than MqttExpireAfter.
    std::string LastState;
    TSteadyClock::time_point LastStateFinished;
    bool StateDue = false;

    std::string Where() const { return Settings.Host + ":" + std::to_string(Settings.Port) + ": "; }
    std::size_t Queued() const {
        std::lock_guard lock(Mutex);
        return Queue.Unacknowledged();
    }
    // Called with the lock held.
    void CountHeld() const {
        if (Deliveries) {
            Deliveries->Holding(Queue.Unacknowledged());
        }
    }
};

namespace {

using TShared = TMqttPublisher::TShared;

std::string ErrorText(int rc) {
    return rc == MOSQ_ERR_ERRNO ? std::strerror(errno)
                                : ProcessMosquitto().Functions()->Strerror(rc);
}

// One connection, from the first attempt to its loss: a fresh client each
// time, so what the broker has not acknowledged is sent again by this code,
// in order, and never also by the library.
class TSession {
public:
    explicit TSession(TShared& shared)
        : Shared(shared), Settings(shared.Settings), Mosquitto(ProcessMosquitto().Functions()) {
        if (Mosquitto == nullptr) {
            return;
        }
        const char* id = Settings.ClientId.empty() ? nullptr : Settings.ClientId.c_str();
        Client = Mosquitto->New(id, true, this);
    }
    ~TSession() {
        if (Client != nullptr) {
            Mosquitto->Destroy(Client);
        }
    }
    TSession(const TSession&) = delete;
    TSession& operator=(const TSession&) = delete;

    bool WasConnected() const { return EverConnected; }

    // Until the connection fails (its reason) or the end is asked for ("").
    std::string Run() {
        if (Mosquitto == nullptr) {
            return ProcessMosquitto().Failure();
        }
        if (Client == nullptr) {
            return "cannot make a client";
        }
        if (std::string problem = Configure(); !problem.empty()) {
            return problem;
        }
        ForgetSent();
        const int rc =
            Mosquitto->Connect(Client, Settings.Host.c_str(), Settings.Port, KeepAliveSeconds);
        if (rc != MOSQ_ERR_SUCCESS) {
            return "cannot connect: " + ErrorText(rc);
        }
        const auto deadline = TSteadyClock::now() + ConnAckWait;
        while (!Shared.Stopping()) {
            if (Connected) {
                HandOver();
            }
            const int loop = Mosquitto->Loop(Client, LoopMilliseconds, 1);
            if (!Refusal.empty()) {
                return Refusal;
            }
            if (loop != MOSQ_ERR_SUCCESS) {
                return (EverConnected ? "connection lost: " : "cannot connect: ") + ErrorText(loop);
            }
            if (!EverConnected && TSteadyClock::now() > deadline) {
                return "the broker does not answer";
            }
        }
        Farewell();
        return {};
    }

private:
    std::string Configure() {
        Mosquitto->ConnectCallbackSet(Client, [](mosquitto*, void* self, int rc) {
            static_cast<TSession*>(self)->OnConnect(rc);
        });
        Mosquitto->PublishCallbackSet(Client, [](mosquitto*, void* self, int mid) {
            static_cast<TSession*>(self)->OnPublish(mid);
        });
        const std::string status = StatusTopic(Settings);
        Mosquitto->WillSet(Client, status.c_str(), static_cast<int>(std::strlen(MqttOffline)),
                           MqttOffline, Qos, true);
        if (!Settings.User.empty()) {
            Mosquitto->UsernamePwSet(Client, Settings.User.c_str(),
                                     Settings.Password.empty() ? nullptr
                                                               : Settings.Password.c_str());
        }
        if (!Settings.CAFile.empty()) {
            const int rc = Mosquitto->TlsSet(Client, Settings.CAFile.c_str(), nullptr, nullptr,
                                             nullptr, nullptr);
            if (rc != MOSQ_ERR_SUCCESS) {
                return "cannot use the CA file " + Settings.CAFile + ": " + ErrorText(rc);
            }
        }
        return {};
    }

    void OnConnect(int rc) {
        if (rc != 0) {
            Refusal =
                std::string("the broker refused the connection: ") + Mosquitto->ConnackString(rc);
            return;
        }
        Connected = true;
        EverConnected = true;
        Publish(StatusTopic(Settings), MqttOnline, true);
        std::lock_guard lock(Shared.Mutex);
        Shared.DiscoveryDue = Shared.DeviceId != 0;
        // Each connection says the state as it is now, over whatever an
        // earlier run with other thresholds left retained.
        Shared.AlarmDue = Shared.AlarmUsed;
        Shared.StateDue = !Shared.LastState.empty() &&
                          TSteadyClock::now() - Shared.LastStateFinished < MqttExpireAfter;
        Shared.Queue.ConnectionAccepted();
    }

    void OnPublish(int mid) {
        if (mid == FarewellMid) {
            FarewellAcknowledged = true;
        }
        std::lock_guard lock(Shared.Mutex);
        const std::size_t held = Shared.Queue.Unacknowledged();
        Shared.Queue.Acknowledge(mid);
        if (Shared.Deliveries && Shared.Queue.Unacknowledged() < held) {
            Shared.Deliveries->Count(TDeliveryResult::Accepted);
            Shared.CountHeld();
        }
    }

    void ForgetSent() {
        std::lock_guard lock(Shared.Mutex);
        Shared.Queue.StartSession();
    }

    int Publish(const std::string& topic, std::string_view payload, bool retain) {
        int mid = 0;
        const int rc =
            Mosquitto->Publish(Client, &mid, topic.c_str(), static_cast<int>(payload.size()),
                               payload.data(), Qos, retain);
        return rc == MOSQ_ERR_SUCCESS ? mid : 0;
    }

    // Sends what is new since the last pass, outside the lock: the window
    // only ever waits for a queue operation.
    void HandOver() {
        std::vector<TMqttQueue::TUnsent> unsent;
        std::uint32_t discoveryFor = 0;
        std::optional<bool> alarmOn;
        std::string state;
        {
            std::lock_guard lock(Shared.Mutex);
            if (Shared.DiscoveryDue) {
                discoveryFor = Shared.DeviceId;
                Shared.DiscoveryDue = false;
            }
            if (Shared.AlarmDue) {
                alarmOn = Shared.AlarmOn;
                Shared.AlarmDue = false;
            }
            unsent = Shared.Queue.Unsent();
            if (Shared.StateDue && unsent.empty()) {
                state = Shared.LastState;
            }
            Shared.StateDue = false;
        }
        if (discoveryFor != 0) {
            for (const TMqttMessage& message :
                 DiscoveryMessages(Settings, discoveryFor, Shared.AlarmUsed)) {
                Publish(message.Topic, message.Payload, true);
            }
        }
        if (!state.empty()) {
            Publish(StateTopic(Settings), state, true);
        }
        SendMinutes(unsent);
        // After the minute that switched it.
        if (alarmOn) {
            Publish(AlarmTopic(Settings), *alarmOn ? AlarmOnText : AlarmOffText, true);
        }
    }

    void SendMinutes(const std::vector<TMqttQueue::TUnsent>& unsent) {
        if (unsent.empty()) {
            return;
        }
        std::vector<std::pair<std::uint64_t, int>> sent;
        const std::string minuteTopic = MinuteTopic(Settings);
        bool stateSent = false;
        for (const auto& [seq, payload, alarm] : unsent) {
            const int mid = Publish(minuteTopic, payload, false);
            if (mid == 0) {
                break; // the loop tells why
            }
            sent.emplace_back(seq, mid);
            // Every switch, after the minute that made it and the state it
            // left, also when one tick finished many minutes.
            stateSent = alarm.has_value();
            if (alarm) {
                Publish(StateTopic(Settings), payload, true);
                Publish(AlarmTopic(Settings), *alarm ? AlarmOnText : AlarmOffText, true);
            }
        }
        // The retained state is the newest minute; the ones before it are
        // history, which the minute topic carries.
        if (!sent.empty() && !stateSent) {
            Publish(StateTopic(Settings), unsent[sent.size() - 1].Payload, true);
        }
        MarkSent(sent);
    }

    void MarkSent(const std::vector<std::pair<std::uint64_t, int>>& sent) {
        std::lock_guard lock(Shared.Mutex);
        for (const auto& [seq, mid] : sent) {
            Shared.Queue.MarkSent(seq, mid);
        }
    }

    // The minutes of the last tick still go out, then "offline", each given
    // a moment to be acknowledged.
    void Farewell() {
        if (!Connected) {
            return;
        }
        HandOver();
        FarewellMid = Publish(StatusTopic(Settings), MqttOffline, true);
        const auto deadline = TSteadyClock::now() + FarewellWait;
        const auto done = [this] {
            std::lock_guard lock(Shared.Mutex);
            return FarewellAcknowledged && Shared.Queue.Unacknowledged() == 0;
        };
        while (FarewellMid != 0 && !done() && TSteadyClock::now() < deadline) {
            if (Mosquitto->Loop(Client, LoopMilliseconds, 1) != MOSQ_ERR_SUCCESS) {
                return;
            }
        }
        Mosquitto->Disconnect(Client);
        Mosquitto->Loop(Client, LoopMilliseconds, 1);
    }

    TShared& Shared;
    const TMqttSettings& Settings;
    const TMosquittoFunctions* const Mosquitto;
    mosquitto* Client = nullptr;
    bool Connected = false;
    bool EverConnected = false;
    std::string Refusal;
    int FarewellMid = 0;
    bool FarewellAcknowledged = false;
};

void RunLink(const std::shared_ptr<TShared>& shared) {
    auto retry = std::chrono::seconds(FirstRetry);
    bool outageTold = false;
    while (!shared->Stopping()) {
        TSession session(*shared);
        const std::string failure = session.Run();
        if (shared->Stopping()) {
            break;
        }
        if (shared->Deliveries && shared->Queued() > 0) {
            shared->Deliveries->Count(TDeliveryResult::Failed);
        }
        if (session.WasConnected()) {
            retry = FirstRetry;
            outageTold = false;
        }
        if (!outageTold) {
            shared->Report(shared->Where() + failure +
                           "; minutes are kept and sent once the broker answers");
            outageTold = true;
        }
        shared->Pause(retry);
        retry = std::min<std::chrono::seconds>(retry * 2, LastRetry);
    }
}

// Loads libmosquitto and sets it up, once per process; a session tells
// when it could not.
void InitLibrary() {
    ProcessMosquitto();
}

} // namespace

TMqttPublisher::TMqttPublisher(TMqttSettings settings, TReport report, const TAlarmLevels& alarm,
                               std::shared_ptr<TDeliveryCounter> deliveries)
    : Shared(std::make_shared<TShared>(std::move(settings), std::move(report), alarm.Enabled(),
                                       std::move(deliveries))) {
    InitLibrary();
    Worker.Start(Shared, RunLink);
}

TMqttPublisher::~TMqttPublisher() {
    // Stuck in a name look-up or a connect, it ends with the process.
    if (!Worker.Stop(EndWait)) {
        Shared->Report(Shared->Where() + "no orderly end in time");
    }
}

// Called with the lock held.
void TMqttPublisher::FollowAlarm(const TAlarmState& alarm) noexcept {
    if (Shared->AlarmUsed && alarm.Switched) {
        Shared->AlarmOn = alarm.On;
        Shared->AlarmDue = true;
    }
}

void TMqttPublisher::LogOpened(const TOpenedLog& log) noexcept {
    std::lock_guard lock(Shared->Mutex);
    FollowAlarm(log.Alarm);
}

void TMqttPublisher::DoseRatesChanged(const TOpenedLog& log) noexcept {
    std::lock_guard lock(Shared->Mutex);
    FollowAlarm(log.Alarm);
}

void TMqttPublisher::MinuteFinished(const TFinishedMinute& minute) noexcept {
    try {
        std::string payload = MinutePayload(minute, minute.Dose);
        std::optional<bool> alarm;
        if (Shared->AlarmUsed && minute.Alarm.Switched) {
            alarm = minute.Alarm.On;
        }
        std::lock_guard lock(Shared->Mutex);
        // What a new connection says first: the state now.
        if (alarm) {
            Shared->AlarmOn = *alarm;
        }
        Shared->LastState = payload;
        Shared->LastStateFinished = TSteadyClock::now();
        const std::string dropping = Shared->Queue.Add(std::move(payload), alarm);
        Shared->CountHeld();
        if (!dropping.empty()) {
            Shared->Report(Shared->Where() + dropping);
        }
    } catch (...) {
        // Out of memory: this minute is not published; the log has it.
    }
}

void TMqttPublisher::CounterConnected(std::uint32_t deviceId) noexcept {
    std::lock_guard lock(Shared->Mutex);
    if (deviceId != 0 && deviceId != Shared->DeviceId) {
        Shared->DeviceId = deviceId;
        Shared->DiscoveryDue = true;
    }
}

std::size_t TMqttPublisher::Unacknowledged() const {
    std::lock_guard lock(Shared->Mutex);
    return Shared->Queue.Unacknowledged();
}

std::unique_ptr<TLogOutput> MakeMqttOutput(const TOutputContext& context) {
    TMqttSettings settings =
        ReadMqttSettings(TSettingsSection(context.SettingsPath, std::string(MqttSection)),
                         context.HostName, std::cerr, {context.StationName, context.Instance});
    if (!settings.Enabled()) {
        return nullptr;
    }
    settings.Model = context.CounterModel;
    return std::make_unique<TMqttPublisher>(std::move(settings), ReportMqttToStderr, context.Alarm,
                                            context.Deliveries->Join("mqtt"));
}

} // namespace ostrel
