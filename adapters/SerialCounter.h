// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The eight entry points of a device library, for counters on serial ports:
// Find looks for counters on the configured ports, Connect starts one
// reporting, GetData hands out one reading per second of counting, stamped
// with local time, without ever waiting for the port. A counter that reports
// only its own CPM gives one reading a clock minute instead: the last CPM it
// sent in that minute, stamped in it, handed out once the minute is over (or
// the counter stopped). A port that vanishes while logging is opened again
// every few seconds under the same name, and logging goes on when it is back:
// only Disconnect ends it.

#include "adapters/AdapterConfig.h"
#include "adapters/Clock.h"
#include "adapters/CoefficientStore.h"
#include "adapters/Protocol.h"
#include "adapters/SerialPort.h"
#include "device/CounterDevice.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace ostrel::adapters {

using TPortOpener = std::function<TOpenResult(const std::string& path, int baud)>;

// What the adapter uses of the world, so that tests can replace each piece.
struct TAdapterContext {
    TPortOpener OpenPort;
    TEnvironment Environment;
    TClock Clock;
    // Says why nothing happens: the program shows nothing of a failed Find
    // or Connect, so this (the standard error stream) is where a user learns.
    std::function<void(const std::string& text)> Report;
};

// Real serial ports, getenv, the system clocks and the standard error stream.
TAdapterContext SystemContext();

// The identifier of the counter on a port: a hash of its path, never 0.
std::uint32_t PortId(const std::string& path);

class TSerialCounter {
public:
    TSerialCounter(TAdapterSetup setup, TAdapterContext context);
    ~TSerialCounter();
    TSerialCounter(const TSerialCounter&) = delete;
    TSerialCounter& operator=(const TSerialCounter&) = delete;

    // Reads the configuration again and asks each port in turn (each rate
    // in turn) whether a counter of this family answers; the number found.
    std::int32_t Find();
    // Writes the Id of each counter found, in order.
    std::int32_t GetInfo(TDeviceInfo* infos) const;
    // Starts the counter found with that Id reporting. When it cannot, the
    // next GetData delivers the gone marker, so that the caller is not left
    // waiting for readings that never come.
    std::int32_t Connect(std::uint32_t id);
    // Stops the connected counter; the readings still held come first, then
    // the gone marker once (also while its port is away).
    std::int32_t Disconnect(std::uint32_t id);
    // 1 with a reading (or the gone marker) written, 0 when none is due.
    // While the port is away, tries to open it again when the time has come.
    std::int32_t GetData(TCounterSample* sample);
    std::int32_t GetCoefficient(std::uint32_t id, std::uint16_t* coefficient,
                                std::uint16_t* background);
    std::int32_t SetCoefficient(std::uint32_t id, std::uint16_t coefficient,
                                std::uint16_t background);
    // Stops any counter and forgets everything, as a freshly loaded library.
    std::int32_t Clear();

private:
    struct TFound {
        std::uint32_t Id = 0;
        std::string Path;
        std::string Model;
        int Baud = 0;
        std::unique_ptr<TSerialPort> Port;
        std::optional<std::uint16_t> Coefficient; // what the counter says suits it
    };
    struct TLink {
        std::uint32_t Id = 0;
        std::string Path;
        std::string Model;
        int Baud = 0;
        std::unique_ptr<TSerialPort> Port; // null while the port is away
        std::int64_t ReopenAt = 0;         // steady milliseconds, while away
        std::unique_ptr<TCountDecoder> Decoder;
        std::int64_t LastBytes = 0; // steady milliseconds
        bool ToldSilent = false;
        std::optional<std::uint16_t> MinuteCpm; // the last CPM of the minute below
        std::int64_t CpmMinute = 0;             // minutes since 1970
    };

    void FindOn(const std::string& path, const std::vector<int>& bauds, TProtocol& protocol);
    void Poll();
    void LoseLink(std::int64_t steady);
    void Reopen(std::int64_t steady);
    void EndLink();
    void Queue(const std::vector<std::uint16_t>& counts);
    void TakeCpm(bool stopping);
    void QueueAt(std::int64_t stamp, std::uint16_t count);
    void Tell(TNotes& source, const std::string& path);
    const std::string* PathOf(std::uint32_t id) const;

    TAdapterSetup Setup;
    TAdapterContext Context;
    std::unique_ptr<TProtocol> Protocol;
    std::vector<TFound> Found;
    std::unique_ptr<TLink> Link;
    std::filesystem::path StatePath;
    std::deque<TCounterSample> Pending;
    bool GonePending = false;
    std::int64_t LastStamp = 0;
    std::map<std::string, TCoefficientPair> Coefficients; // when the file cannot hold them
};

} // namespace ostrel::adapters
