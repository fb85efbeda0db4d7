// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// GQ GMC counters over their serial protocol: GQ-RFC1201 (GMC-280, -300,
// -320: two-byte heartbeat counts, of which the low 14 bits are valid) and
// GQ-RFC1801 (GMC-500, -600 and later: four-byte counts). Commands are ASCII
// "<NAME>>"; the heartbeat is one big-endian count of a second's pulses,
// every second, with no framing at all.

#include "adapters/AdapterConfig.h"
#include "adapters/Protocol.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ostrel::adapters {

inline constexpr std::string_view GmcVersionCommand = "<GETVER>>";
inline constexpr std::string_view GmcHeartbeatOnCommand = "<HEARTBEAT1>>";
inline constexpr std::string_view GmcHeartbeatOffCommand = "<HEARTBEAT0>>";
inline constexpr std::string_view GmcProtocolKey = "protocol";

// A heartbeat arrives in one burst; bytes that are still alone after this
// pause cannot be completed, and a burst that is not a whole number of
// frames has lost or gained a byte.
inline constexpr std::int64_t GmcBurstPauseMilliseconds = 50;
// More than an hour of backlog at four bytes a second: a stuck line, not a
// counter.
inline constexpr std::size_t GmcMaxBurstBytes = 16384;

// Waits for a <GETVER>> answer: it is over when the line has been quiet this
// long after some bytes, or when none came for the longest wait.
inline constexpr int GmcQuietMilliseconds = 150;
inline constexpr int GmcAnswerWaitMilliseconds = 1000;

// The model and firmware that answer <GETVER>> ("GMC-300Re 4.54"): printable
// ASCII up to the first control byte, trailing blanks removed; nothing when
// the answer is not from a GMC counter.
std::optional<std::string> GmcModel(std::string_view answer);

// Bytes of one heartbeat frame for a model: 4 for the GMC-500 and later
// (RFC1801), 2 for the rest (RFC1201).
int GmcFrameBytes(std::string_view model);

// The frame size a "protocol" setting asks for: "auto" (or nothing): by
// model; "RFC1201": 2; "RFC1801": 4 (letter case ignored). Throws
// TAdapterConfigError for any other text.
std::optional<int> GmcForcedFrameBytes(const TAdapterConfig& config);

// Heartbeat frames of frameBytes each, cut into bursts by pauses.
class TGmcHeartbeatDecoder : public TCountDecoder {
public:
    explicit TGmcHeartbeatDecoder(int frameBytes)
        : FrameBytes(static_cast<std::size_t>(frameBytes)) {}

    std::vector<std::uint16_t> Take(std::string_view bytes,
                                    std::int64_t steadyMilliseconds) override;
    std::vector<std::uint16_t> Finish() override;

private:
    std::vector<std::uint16_t> DecodeBurst();

    std::size_t FrameBytes;
    std::string Burst;
    std::int64_t LastByteTime = 0;
};

class TGmcProtocol : public TProtocol {
public:
    // A frame size forced by the configuration, or by model when none.
    explicit TGmcProtocol(std::optional<int> forcedFrameBytes)
        : ForcedFrameBytes(forcedFrameBytes) {}

    std::optional<std::string> Identify(TSerialPort& port) override;
    bool Start(TSerialPort& port) override;
    void Stop(TSerialPort& port) override;
    std::unique_ptr<TCountDecoder> MakeDecoder(const std::string& model) const override;

private:
    std::optional<int> ForcedFrameBytes;
};

// The GMC adapter library: "OSTREL_GMC_", gmc.conf, /dev/ttyUSB0 at 115200
// and then 57600 baud (GMC-300 before firmware 4), coefficient 0.0065 uSv/h
// per CPM (the M4011 tube's usual factor).
TAdapterSetup GmcAdapterSetup();

// Reads what a port sends until it has been quiet for quietMilliseconds
// after some bytes, nothing came for waitMilliseconds, maxBytes arrived or
// the port vanished (then nothing).
std::optional<std::string> ReadAnswer(TSerialPort& port, int quietMilliseconds,
                                      int waitMilliseconds, std::size_t maxBytes);

} // namespace ostrel::adapters
