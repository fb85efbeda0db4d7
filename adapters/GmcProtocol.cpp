// SPDX-License-Identifier: GPL-3.0-or-later
#include "adapters/GmcProtocol.h"

#include <algorithm>
#include <charconv>
#include <utility>

namespace ostrel::adapters {

namespace {

constexpr std::string_view ModelPrefix = "GMC-";
constexpr std::uint32_t Rfc1201CountMask = 0x3FFF;
constexpr std::uint32_t MaxCount = 0xFFFF;
// GMC-500 and later speak RFC1801.
constexpr int FirstFourByteModel = 500;
constexpr int DrainQuietMilliseconds = 100;
constexpr std::size_t DrainMaxBytes = 8192;
constexpr std::size_t AnswerMaxBytes = 64;
// Some GMC-500+ firmware leaves the first question after power-up unanswered.
constexpr int VersionQuestions = 2;
// Bursts of 4 bytes in a row that make 4-byte frames sure.
constexpr int FourByteBurstsToSettle = 3;

// Tubes by model, in units of 0.00001 uSv/h per CPM. M4011 (GMC-300, -320,
// -500): 0.0065, the factor GQ gives for it. LND 7317 (GMC-600, -600+): 58
// cps per mR/h for Co-60 in LND's data sheet, about 348 CPM per uSv/h, so
// 1/348 = 0.00287.
struct TTube {
    std::string_view ModelPrefix;
    std::uint16_t Coefficient;
};
constexpr TTube Tubes[] = {{"GMC-600", 287}};
constexpr std::uint16_t M4011Coefficient = 650;

std::string Lower(std::string_view text) {
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(), [](char c) {
        return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return result;
}

} // namespace

std::optional<std::string> ReadAnswer(TSerialPort& port, int quietMilliseconds,
                                      int waitMilliseconds, std::size_t maxBytes) {
    std::string answer;
    int waited = 0;
    while (answer.size() < maxBytes) {
        const std::size_t before = answer.size();
        if (port.WaitForInput(quietMilliseconds) && port.Read(answer) == TReadStatus::Gone) {
            return std::nullopt;
        }
        if (answer.size() > before) {
            continue;
        }
        // A quiet spell: after an answer it is complete; before one it
        // counts against the longest wait.
        waited += quietMilliseconds;
        if (!answer.empty() || waited >= waitMilliseconds) {
            break;
        }
    }
    return answer;
}

std::optional<std::string> GmcModel(std::string_view answer) {
    const auto end =
        std::find_if(answer.begin(), answer.end(), [](char c) { return c < 0x20 || c > 0x7E; });
    std::string_view model = answer.substr(0, static_cast<std::size_t>(end - answer.begin()));
    while (!model.empty() && model.back() == ' ') {
        model.remove_suffix(1);
    }
    if (model.size() <= ModelPrefix.size() || model.substr(0, ModelPrefix.size()) != ModelPrefix) {
        return std::nullopt;
    }
    return std::string(model);
}

int GmcFrameBytes(std::string_view model) {
    if (model.substr(0, ModelPrefix.size()) == ModelPrefix) {
        model.remove_prefix(ModelPrefix.size());
    }
    int number = 0;
    const auto result = std::from_chars(model.data(), model.data() + model.size(), number);
    return (result.ec == std::errc() && number >= FirstFourByteModel) ? 4 : 2;
}

std::uint16_t GmcTubeCoefficient(std::string_view model) {
    for (const TTube& tube : Tubes) {
        if (model.substr(0, tube.ModelPrefix.size()) == tube.ModelPrefix) {
            return tube.Coefficient;
        }
    }
    return M4011Coefficient;
}

const std::vector<int>& GmcBauds() {
    static const std::vector<int> bauds = {115200, 57600, 38400, 28800, 19200,
                                           14400,  9600,  4800,  2400,  1200};
    return bauds;
}

std::optional<int> GmcForcedFrameBytes(const TAdapterConfig& config) {
    const auto setting = config.Extra.find(std::string(GmcProtocolKey));
    if (setting == config.Extra.end()) {
        return std::nullopt;
    }
    const std::string value = Lower(setting->second);
    if (value.empty() || value == "auto") {
        return std::nullopt;
    }
    if (value == "rfc1201") {
        return 2;
    }
    if (value == "rfc1801") {
        return 4;
    }
    throw TAdapterConfigError("protocol must be auto, RFC1201 or RFC1801, not \"" +
                              setting->second + "\"");
}

std::vector<std::uint16_t> TGmcHeartbeatDecoder::Take(std::string_view bytes,
                                                      std::int64_t steadyMilliseconds) {
    if (!bytes.empty()) {
        if (Burst.size() + bytes.size() > GmcMaxBurstBytes) {
            Drop("stuck", "a stream without pauses is not heartbeats and is dropped");
            Burst.clear();
        }
        Burst.append(bytes.substr(0, GmcMaxBurstBytes));
        LastByteTime = steadyMilliseconds;
        return {};
    }
    if (Burst.empty() || steadyMilliseconds - LastByteTime < GmcBurstPauseMilliseconds) {
        return {};
    }
    return DecodeBurst();
}

std::vector<std::uint16_t> TGmcHeartbeatDecoder::Finish() {
    // The last burst may be held too: nothing more will tell, so all that
    // is held is read at the width expected.
    std::vector<std::uint16_t> counts =
        Burst.empty() ? std::vector<std::uint16_t>{} : DecodeBurst();
    const std::vector<std::uint16_t> held = Decode(std::exchange(Held, {}));
    counts.insert(counts.end(), held.begin(), held.end());
    return counts;
}

std::optional<std::size_t> TGmcHeartbeatDecoder::WidthSeen(std::size_t burstBytes) {
    FourByteRun = burstBytes == 4 ? FourByteRun + 1 : 0;
    if (burstBytes % 4 != 0 && burstBytes % 2 == 0) {
        return 2;
    }
    if (FourByteRun >= FourByteBurstsToSettle) {
        return 4;
    }
    return std::nullopt;
}

std::vector<std::uint16_t> TGmcHeartbeatDecoder::DecodeBurst() {
    const std::string burst = std::exchange(Burst, {});
    const std::optional<std::size_t> seen = Settled ? std::nullopt : WidthSeen(burst.size());
    if (seen) {
        Settled = true;
        if (*seen != FrameBytes) {
            Note("width", "the heartbeats are " + std::to_string(*seen) + "-byte frames, not the " +
                              std::to_string(FrameBytes) + " bytes that " + ExpectedFrom +
                              " expects" + (Follow ? "; they are read as sent" : ""));
            if (Follow) {
                FrameBytes = *seen;
            }
        }
    }
    // 2-byte frames expected, 4 bytes come: wait for the next bursts to tell.
    if (Follow && !Settled && FrameBytes == 2 && burst.size() == 4) {
        Held += burst;
        return {};
    }
    std::vector<std::uint16_t> counts = Decode(std::exchange(Held, {}));
    const std::vector<std::uint16_t> last = Decode(burst);
    counts.insert(counts.end(), last.begin(), last.end());
    return counts;
}

std::vector<std::uint16_t> TGmcHeartbeatDecoder::Decode(std::string_view bytes) {
    std::vector<std::uint16_t> counts;
    if (bytes.size() % FrameBytes != 0) {
        // A byte was lost or added somewhere in it: no frame can be trusted.
        Drop("cut", "heartbeats that lost or gained a byte are dropped");
        return counts;
    }
    for (std::size_t start = 0; start < bytes.size(); start += FrameBytes) {
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < FrameBytes; ++i) {
            value = (value << 8) | static_cast<unsigned char>(bytes[start + i]);
        }
        if (FrameBytes == 2) {
            counts.push_back(static_cast<std::uint16_t>(value & Rfc1201CountMask));
        } else if (value > MaxCount) {
            // No counter counts that much in a second.
            Drop("impossible", "four-byte counts above 65535 are dropped");
        } else {
            counts.push_back(static_cast<std::uint16_t>(value));
        }
    }
    return counts;
}

std::optional<std::string> TGmcProtocol::Identify(TSerialPort& port) {
    // A counter left reporting by an earlier session would bury the answer.
    if (!port.Write(GmcHeartbeatOffCommand) ||
        !ReadAnswer(port, DrainQuietMilliseconds, DrainQuietMilliseconds, DrainMaxBytes)) {
        return std::nullopt;
    }
    port.DiscardInput();
    for (int question = 0; question < VersionQuestions; ++question) {
        if (!port.Write(GmcVersionCommand)) {
            return std::nullopt;
        }
        const std::optional<std::string> answer =
            ReadAnswer(port, GmcQuietMilliseconds, GmcAnswerWaitMilliseconds, AnswerMaxBytes);
        if (!answer) {
            return std::nullopt;
        }
        if (!answer->empty()) {
            std::optional<std::string> model = GmcModel(*answer);
            if (!model) {
                Note("unknown",
                     "an answer that names no GMC model: \"" + ShownBytes(*answer) + "\"");
            }
            return model;
        }
    }
    return std::nullopt;
}

std::optional<std::uint16_t> TGmcProtocol::Coefficient(TSerialPort&, const std::string& model) {
    return GmcTubeCoefficient(model);
}

bool TGmcProtocol::Start(TSerialPort& port) {
    port.DiscardInput();
    return port.Write(GmcHeartbeatOnCommand);
}

void TGmcProtocol::Stop(TSerialPort& port) {
    port.Write(GmcHeartbeatOffCommand);
}

std::unique_ptr<TCountDecoder> TGmcProtocol::MakeDecoder(const std::string& model) const {
    if (ForcedFrameBytes) {
        return std::make_unique<TGmcHeartbeatDecoder>(*ForcedFrameBytes);
    }
    return std::make_unique<TGmcHeartbeatDecoder>(GmcFrameBytes(model), true, model);
}

TAdapterSetup GmcAdapterSetup() {
    TAdapterSetup setup;
    setup.Name = "GMC adapter";
    setup.EnvironmentPrefix = "OSTREL_GMC_";
    setup.FileStem = "gmc";
    setup.DefaultPorts = {"/dev/ttyUSB0"};
    setup.DefaultBauds = GmcBauds();
    setup.ExtraKeys = {std::string(GmcProtocolKey)};
    setup.DefaultCoefficient = 650;
    setup.DefaultBackground = 0;
    setup.MakeProtocol = [](const TAdapterConfig& config) -> std::unique_ptr<TProtocol> {
        return std::make_unique<TGmcProtocol>(GmcForcedFrameBytes(config));
    };
    return setup;
}

} // namespace ostrel::adapters
