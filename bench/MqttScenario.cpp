// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/MqttScenario.h"

#include "bench/BurstScenario.h"
#include "bench/Measure.h"
#include "mqtt/MqttPublisher.h"

#include <QProcess>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

namespace ostrel::bench {
namespace {

using namespace std::chrono_literals;

constexpr auto TickSpacing = 5ms;
constexpr auto BrokerWait = 10s;

sockaddr_in Loopback(std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

template <typename TDone> bool WaitUntil(TDone done) {
    const auto deadline = std::chrono::steady_clock::now() + BrokerWait;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

// mosquitto on 127.0.0.1 for the length of the scenario.
class TBroker {
public:
    TBroker() {
        std::ofstream(Folder.filePath("mosquitto.conf").toStdString())
            << "user root\nlistener " << Port << " 127.0.0.1\nallow_anonymous true\n";
        Process.setProcessChannelMode(QProcess::MergedChannels);
        Process.setStandardOutputFile(QProcess::nullDevice());
        Process.start("mosquitto", {"-c", Folder.filePath("mosquitto.conf")});
    }
    ~TBroker() {
        Process.terminate();
        if (!Process.waitForFinished(5000)) {
            Process.kill();
            Process.waitForFinished(5000);
        }
    }
    TBroker(const TBroker&) = delete;
    TBroker& operator=(const TBroker&) = delete;

    const std::uint16_t Port = FreeLoopbackPort();

private:
    QTemporaryDir Folder;
    QProcess Process;
};

// ticks ticks, each fed the one reading that starts the next minute.
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

std::uint16_t FreeLoopbackPort() {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = Loopback(0);
    socklen_t size = sizeof address;
    ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &size);
    ::close(s);
    return ntohs(address.sin_port);
}

bool AcceptsOnLoopback(std::uint16_t port) {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in address = Loopback(port);
    const bool ok = ::connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(s);
    return ok;
}

TMqttTicks MeasureMqttTicks(std::size_t ticks) {
    TMqttTicks result;
    TBroker broker;
    const std::vector<TCounterSample> readings =
        BurstReadings(2 * ticks + 3, TBurstKind::NewMinutes);
    TBurstDevice device({});
    TBurstRig rig(device, false);
    rig.Start();
    std::size_t next = 0;
    device.Feed({readings[next++]});
    rig.Tick();
    result.Off = TimeTicks(device, rig, readings, next, ticks);

    TMqttSettings settings;
    settings.Host = "127.0.0.1";
    settings.Port = broker.Port;
    settings.ClientId = "ostrel-bench";
    TLogOutputs outputs;
    outputs.push_back(std::make_unique<TMqttPublisher>(settings, [](const std::string&) {}));
    TMqttPublisher& publisher = static_cast<TMqttPublisher&>(*outputs.back());
    // The same counter, whose readings go on where the first rig left them.
    TBurstRig publishing(device, false, {}, std::move(outputs));
    publishing.Start();
    // Connected once the broker has taken a first minute: the second reading
    // finishes the first.
    for (int k = 0; k < 2; ++k) {
        device.Feed({readings[next++]});
        publishing.Tick();
    }
    if (!WaitUntil([&] { return publisher.Unacknowledged() == 0; })) {
        result.Problem = "no broker on 127.0.0.1:" + std::to_string(broker.Port);
        return result;
    }
    result.On = TimeTicks(device, publishing, readings, next, ticks);
    if (!WaitUntil([&] { return publisher.Unacknowledged() == 0; })) {
        result.Problem = std::to_string(publisher.Unacknowledged()) + " minutes unacknowledged";
    }
    return result;
}

} // namespace ostrel::bench
