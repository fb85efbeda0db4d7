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
#include <vector>

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
// (RFC1801), 2 for the rest (RFC1201). Only what to expect: the decoder
// follows the stream (early GMC-500 and -600 firmware sends 2 bytes).
int GmcFrameBytes(std::string_view model);

// The coefficient (0.00001 uSv/h per CPM) of the model's tube: 287 for the
// GMC-600 family's LND 7317, 650 (the M4011) for the rest.
std::uint16_t GmcTubeCoefficient(std::string_view model);

// Every rate the GMC-320 and the GMC-500/600 can be set to, in the order
// they are tried: the factory rate of the newer models first.
const std::vector<int>& GmcBauds();

// The frame size a "protocol" setting asks for: "auto" (or nothing): by
// model; "RFC1201": 2; "RFC1801": 4 (letter case ignored). Throws
// TAdapterConfigError for any other text.
std::optional<int> GmcForcedFrameBytes(const TAdapterConfig& config);

// Heartbeat frames, cut into bursts by pauses. A heartbeat comes once a
// second, so the bursts show the frame width: a 2-byte burst is a 2-byte
// frame; three 4-byte bursts in a row are 4-byte frames (one could be two
// 2-byte seconds at once). When following is on, the width expected is
// replaced by the one seen (4-byte bursts are held until that is sure);
// either way a difference is noted.
class TGmcHeartbeatDecoder : public TCountDecoder {
public:
    explicit TGmcHeartbeatDecoder(int frameBytes, bool follow = false,
                                  std::string expectedFrom = "the configuration")
        : FrameBytes(static_cast<std::size_t>(frameBytes)), Follow(follow),
          ExpectedFrom(std::move(expectedFrom)) {}

    std::vector<std::uint16_t> Take(std::string_view bytes,
                                    std::int64_t steadyMilliseconds) override;
    std::vector<std::uint16_t> Finish() override;

private:
    std::vector<std::uint16_t> DecodeBurst();
    std::vector<std::uint16_t> Decode(std::string_view bytes);
    std::optional<std::size_t> WidthSeen(std::size_t burstBytes);

    std::size_t FrameBytes;
    bool Follow;
    std::string ExpectedFrom;
    bool Settled = false;
    int FourByteRun = 0;
    std::string Held; // 4-byte bursts while the width is not sure
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
    std::optional<std::uint16_t> Coefficient(TSerialPort& port, const std::string& model) override;
    std::unique_ptr<TCountDecoder> MakeDecoder(const std::string& model) const override;

private:
    std::optional<int> ForcedFrameBytes;
};

// The GMC adapter library: "OSTREL_GMC_", gmc.conf, /dev/ttyUSB0 at every
// rate of GmcBauds, coefficient by the model's tube.
TAdapterSetup GmcAdapterSetup();

// Reads what a port sends until it has been quiet for quietMilliseconds
// after some bytes, nothing came for waitMilliseconds, maxBytes arrived or
// the port vanished (then nothing).
std::optional<std::string> ReadAnswer(TSerialPort& port, int quietMilliseconds,
                                      int waitMilliseconds, std::size_t maxBytes);

} // namespace ostrel::adapters
