// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/MapsScenario.h"

#include "bench/BurstScenario.h"
#include "bench/Measure.h"
#include "bench/MqttScenario.h"
#include "maps/MapsServices.h"
#include "mqtt/MqttPublisher.h"
#include "support/FakeMapServices.h"

#include <QProcess>
#include <QTemporaryDir>

#include <chrono>
#include <fstream>
#include <thread>

namespace ostrel::bench {
namespace {

using namespace std::chrono_literals;

constexpr auto TickSpacing = 10ms;
constexpr auto DeliveryWait = 30s;

template <typename TDone> bool WaitUntil(TDone done, std::chrono::seconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

// mosquitto on 127.0.0.1, stopped on request or at the end.
class TBroker {
public:
    TBroker() {
        std::ofstream(Folder.filePath("mosquitto.conf").toStdString())
            << "user root\nlistener " << Port << " 127.0.0.1\nallow_anonymous true\n";
        Process.setProcessChannelMode(QProcess::MergedChannels);
        Process.setStandardOutputFile(QProcess::nullDevice());
        Process.start("mosquitto", {"-c", Folder.filePath("mosquitto.conf")});
    }
    ~TBroker() { Stop(); }
    TBroker(const TBroker&) = delete;
    TBroker& operator=(const TBroker&) = delete;

    void Stop() {
        if (Process.state() == QProcess::NotRunning) {
            return;
        }
        Process.terminate();
        if (!Process.waitForFinished(5000)) {
            Process.kill();
            Process.waitForFinished(5000);
        }
    }

    const std::uint16_t Port = FreeLoopbackPort();

private:
    QTemporaryDir Folder;
    QProcess Process;
};

std::vector<double> TimeTicks(TBurstDevice& device, TBurstRig& rig,
                              const std::vector<TCounterSample>& readings, std::size_t& next,
                              std::size_t ticks) {
    std::vector<double> seconds;
    for (std::size_t k = 0; k < ticks; ++k) {
        device.Feed({readings[next++]});
        const auto start = TClock::now();
        rig.Tick();
        seconds.push_back(SecondsBetween(start, TClock::now()));
        std::this_thread::sleep_for(TickSpacing);
    }
    return seconds;
}

} // namespace

TMapsTicks MeasureMapsTicks(std::size_t ticks) {
    TMapsTicks result;
    test::TFakeRadmon radmon("bench", "secret");
    test::TFakeGmcmap gmcmap("1", "2");
    test::TFakeSafecast safecast("key");
    TBroker broker;
    const QTemporaryDir state;
    const std::vector<TCounterSample> readings =
        BurstReadings(3 * ticks + 3, TBurstKind::NewMinutes);
    TBurstDevice device({});
    TBurstRig rig(device, false);
    rig.Start();
    std::size_t next = 0;
    device.Feed({readings[next++]});
    rig.Tick();
    result.Off = TimeTicks(device, rig, readings, next, ticks);

    const auto quiet = [](const std::string&) {};
    TMqttSettings mqtt;
    mqtt.Host = "127.0.0.1";
    mqtt.Port = broker.Port;
    mqtt.ClientId = "ostrel-bench";
    TLogOutputs outputs;
    outputs.push_back(std::make_unique<TMqttPublisher>(mqtt, quiet));
    auto& publisher = static_cast<TMqttPublisher&>(*outputs.back());
    outputs.push_back(MakeRadmon({"bench", "secret", radmon.Server.Url(), 1, {}}, quiet));
    auto& toRadmon = static_cast<TMapsOutput&>(*outputs.back());
    outputs.push_back(MakeGmcmap({"1", "2", gmcmap.Server.Url(), 1, {}}, quiet));
    auto& toGmcmap = static_cast<TMapsOutput&>(*outputs.back());
    outputs.push_back(MakeSafecast({"key", 35.6812, 139.7671, "", "", safecast.Server.Url(), {}},
                                   state.path().toStdString(), quiet));
    auto& toSafecast = static_cast<TMapsOutput&>(*outputs.back());
    const auto delivered = [&] {
        return publisher.Unacknowledged() == 0 && toRadmon.Waiting() == 0 &&
               toGmcmap.Waiting() == 0 && toSafecast.Waiting() == 0;
    };
    // The same counter, whose readings go on where the first rig left them.
    TBurstRig sending(device, false, {}, std::move(outputs));
    sending.Start();
    for (int k = 0; k < 2; ++k) {
        device.Feed({readings[next++]});
        sending.Tick();
    }
    if (!WaitUntil(delivered, DeliveryWait)) {
        result.Problem = "the first minute did not arrive everywhere";
        return result;
    }
    result.Up = TimeTicks(device, sending, readings, next, ticks);
    if (!WaitUntil(delivered, DeliveryWait)) {
        result.Problem = "minutes undelivered: MQTT " + std::to_string(publisher.Unacknowledged()) +
                         ", Safecast " + std::to_string(toSafecast.Waiting());
        return result;
    }
    if (safecast.Taken().size() != ticks + 1) {
        result.Problem = "Safecast took " + std::to_string(safecast.Taken().size()) + " of " +
                         std::to_string(ticks + 1) + " minutes";
        return result;
    }

    radmon.Server.Stop();
    gmcmap.Server.Stop();
    safecast.Server.Stop();
    broker.Stop();
    result.Down = TimeTicks(device, sending, readings, next, ticks);
    if (toSafecast.Waiting() != ticks || publisher.Unacknowledged() != ticks) {
        result.Problem = "minutes not kept while the services were down: MQTT " +
                         std::to_string(publisher.Unacknowledged()) + ", Safecast " +
                         std::to_string(toSafecast.Waiting()) + " of " + std::to_string(ticks);
    }
    return result;
}

} // namespace ostrel::bench
