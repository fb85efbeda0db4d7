// SPDX-License-Identifier: GPL-3.0-or-later
#include "adapters/GmcProtocol.h"

#include <algorithm>
#include <charconv>

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
            Drop();
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
    return Burst.empty() ? std::vector<std::uint16_t>{} : DecodeBurst();
}

std::vector<std::uint16_t> TGmcHeartbeatDecoder::DecodeBurst() {
    std::vector<std::uint16_t> counts;
    if (Burst.size() % FrameBytes != 0) {
        // A byte was lost or added somewhere in it: no frame can be trusted.
        Drop();
        Burst.clear();
        return counts;
    }
    for (std::size_t start = 0; start < Burst.size(); start += FrameBytes) {
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < FrameBytes; ++i) {
            value = (value << 8) | static_cast<unsigned char>(Burst[start + i]);
        }
        if (FrameBytes == 2) {
            counts.push_back(static_cast<std::uint16_t>(value & Rfc1201CountMask));
        } else if (value > MaxCount) {
            Drop(); // no counter counts that much in a second
        } else {
            counts.push_back(static_cast<std::uint16_t>(value));
        }
    }
    Burst.clear();
    return counts;
}

std::optional<std::string> TGmcProtocol::Identify(TSerialPort& port) {
    // A counter left reporting by an earlier session would bury the answer.
    if (!port.Write(GmcHeartbeatOffCommand) ||
        !ReadAnswer(port, DrainQuietMilliseconds, DrainQuietMilliseconds, DrainMaxBytes)) {
        return std::nullopt;
    }
    port.DiscardInput();
    if (!port.Write(GmcVersionCommand)) {
        return std::nullopt;
    }
    const std::optional<std::string> answer =
        ReadAnswer(port, GmcQuietMilliseconds, GmcAnswerWaitMilliseconds, AnswerMaxBytes);
    return answer ? GmcModel(*answer) : std::nullopt;
}

bool TGmcProtocol::Start(TSerialPort& port) {
    port.DiscardInput();
    return port.Write(GmcHeartbeatOnCommand);
}

void TGmcProtocol::Stop(TSerialPort& port) {
    port.Write(GmcHeartbeatOffCommand);
}

std::unique_ptr<TCountDecoder> TGmcProtocol::MakeDecoder(const std::string& model) const {
    return std::make_unique<TGmcHeartbeatDecoder>(ForcedFrameBytes ? *ForcedFrameBytes
                                                                   : GmcFrameBytes(model));
}

TAdapterSetup GmcAdapterSetup() {
    TAdapterSetup setup;
    setup.Name = "GMC adapter";
    setup.EnvironmentPrefix = "OSTREL_GMC_";
    setup.FileStem = "gmc";
    setup.DefaultPorts = {"/dev/ttyUSB0"};
    setup.DefaultBauds = {115200, 57600};
    setup.ExtraKeys = {std::string(GmcProtocolKey)};
    setup.DefaultCoefficient = 650;
    setup.DefaultBackground = 0;
    setup.MakeProtocol = [](const TAdapterConfig& config) -> std::unique_ptr<TProtocol> {
        return std::make_unique<TGmcProtocol>(GmcForcedFrameBytes(config));
    };
    return setup;
}

} // namespace ostrel::adapters
