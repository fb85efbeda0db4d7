// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Counters running the Rad Pro firmware (FNIRSI GC-01 and GC-03, Bosean
// FS-600, FS-1000 and FS-5000, FS2011, GQ GMC-800): USB serial, ASCII
// requests and "OK ..." or "ERROR" answers, each ending in CR LF. The counter
// never reports on its own; the adapter asks for the tube's lifetime pulse
// count about once a second, and each difference is one reading, so that no
// pulse is lost or counted twice however the polls fall.

#include "adapters/AdapterConfig.h"
#include "adapters/Protocol.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ostrel::adapters {

inline constexpr std::string_view RadProIdCommand = "GET deviceId\r\n";
inline constexpr std::string_view RadProPulseCountCommand = "GET tubePulseCount\r\n";
inline constexpr std::string_view RadProSensitivityCommand = "GET tubeSensitivity\r\n";

// The value of an "OK value" answer line (without CR LF); nothing for
// "ERROR" or anything else.
std::optional<std::string_view> RadProValue(std::string_view line);

// "hardware;software;id" of a deviceId answer as "hardware (software)".
std::optional<std::string> RadProModel(std::string_view value);

// The coefficient (0.00001 uSv/h per CPM) of a tubeSensitivity value in CPM
// per uSv/h ("153.800"); nothing when it is no usable number.
std::optional<std::uint16_t> RadProCoefficient(std::string_view value);

// Asks for the pulse count once a second and turns the answers into counts.
class TRadProDecoder : public TCountDecoder {
public:
    std::string Request(std::int64_t steadyMilliseconds) override;
    std::vector<std::uint16_t> Take(std::string_view bytes,
                                    std::int64_t steadyMilliseconds) override;
    std::vector<std::uint16_t> Finish() override;

private:
    void Answer(std::string_view line, std::int64_t steadyMilliseconds,
                std::vector<std::uint16_t>& counts);

    std::string Line;
    std::optional<std::uint32_t> LastTotal;
    std::int64_t LastTotalTime = 0;
    std::optional<std::int64_t> AskedAt; // an answer is awaited
    std::optional<std::int64_t> LastAsked;
};

class TRadProProtocol : public TProtocol {
public:
    std::optional<std::string> Identify(TSerialPort& port) override;
    bool Start(TSerialPort& port) override;
    void Stop(TSerialPort& port) override;
    std::optional<std::uint16_t> Coefficient(TSerialPort& port, const std::string& model) override;
    std::unique_ptr<TCountDecoder> MakeDecoder(const std::string& model) const override;
};

// The Rad Pro adapter library: "OSTREL_RADPRO_", radpro.conf, /dev/ttyUSB0
// then /dev/ttyACM0 at 115200 baud, coefficient from the counter's tube
// sensitivity (before it answers: 0.0065 uSv/h per CPM, its J305 default).
TAdapterSetup RadProAdapterSetup();

} // namespace ostrel::adapters
