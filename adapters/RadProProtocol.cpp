// SPDX-License-Identifier: GPL-3.0-or-later
#include "adapters/RadProProtocol.h"

#include "adapters/GmcProtocol.h"
#include "device/Text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace ostrel::adapters {

namespace {

constexpr std::string_view OkPrefix = "OK ";
constexpr std::int64_t PollMilliseconds = 1000;
// An answer comes within milliseconds; one not here by then was lost.
constexpr std::int64_t AnswerLostMilliseconds = 3000;
constexpr int Questions = 2;
constexpr int QuietMilliseconds = 100;
constexpr int AnswerWaitMilliseconds = 1000;
constexpr std::size_t AnswerMaxBytes = 256;
constexpr std::uint16_t J305Coefficient = 650;
constexpr double MicroSievertUnits = 100000.0;

std::string_view FirstLine(std::string_view answer) {
    const std::size_t end = answer.find_first_of("\r\n");
    return answer.substr(0, end);
}

std::optional<std::string> Ask(TSerialPort& port, std::string_view request) {
    port.DiscardInput();
    if (!port.Write(request)) {
        return std::nullopt;
    }
    return ReadAnswer(port, QuietMilliseconds, AnswerWaitMilliseconds, AnswerMaxBytes);
}

} // namespace

std::optional<std::string_view> RadProValue(std::string_view line) {
    if (line.substr(0, OkPrefix.size()) != OkPrefix) {
        return std::nullopt;
    }
    return Trimmed(line.substr(OkPrefix.size()));
}

std::optional<std::string> RadProModel(std::string_view value) {
    const std::size_t first = value.find(';');
    if (first == 0 || first == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view software =
        value.substr(first + 1, value.find(';', first + 1) - first - 1);
    return std::string(value.substr(0, first)) + " (" + std::string(software) + ")";
}

std::optional<std::uint16_t> RadProCoefficient(std::string_view value) {
    double sensitivity = 0;
    const auto result = std::from_chars(value.data(), value.data() + value.size(), sensitivity);
    if (result.ec != std::errc() || result.ptr != value.data() + value.size() ||
        !(sensitivity >= 2.0)) {
        return std::nullopt;
    }
    const double coefficient = std::round(MicroSievertUnits / sensitivity);
    if (coefficient < 1 || coefficient > std::numeric_limits<std::uint16_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(coefficient);
}

std::string TRadProDecoder::Request(std::int64_t steadyMilliseconds) {
    if (AskedAt) {
        if (steadyMilliseconds - *AskedAt < AnswerLostMilliseconds) {
            return {};
        }
        Note("lost", "a pulse count was asked for and not answered; asked again");
    } else if (LastAsked && steadyMilliseconds - *LastAsked < PollMilliseconds) {
        return {};
    }
    AskedAt = steadyMilliseconds;
    LastAsked = steadyMilliseconds;
    return std::string(RadProPulseCountCommand);
}

std::vector<std::uint16_t> TRadProDecoder::Take(std::string_view bytes,
                                                std::int64_t steadyMilliseconds) {
    std::vector<std::uint16_t> counts;
    for (const char c : bytes) {
        if (c == '\n') {
            std::string_view line = Line;
            if (!line.empty() && line.back() == '\r') {
                line.remove_suffix(1);
            }
            Answer(line, steadyMilliseconds, counts);
            Line.clear();
        } else if (Line.size() < AnswerMaxBytes) {
            Line += c;
        }
    }
    return counts;
}

std::vector<std::uint16_t> TRadProDecoder::Finish() {
    Line.clear();
    return {};
}

void TRadProDecoder::Answer(std::string_view line, std::int64_t steadyMilliseconds,
                            std::vector<std::uint16_t>& counts) {
    AskedAt.reset();
    const std::optional<std::string_view> value = RadProValue(line);
    std::uint32_t total = 0;
    if (!value || std::from_chars(value->data(), value->data() + value->size(), total).ptr !=
                      value->data() + value->size()) {
        Drop("answer",
             "answers that are no pulse count are dropped, e.g. \"" + ShownBytes(line) + "\"");
        return;
    }
    if (LastTotal) {
        // The count wraps at 2^32; unsigned arithmetic follows it.
        const std::uint32_t pulses = total - *LastTotal;
        const std::int64_t seconds = (steadyMilliseconds - LastTotalTime) / 1000 + 1;
        if (pulses >
            std::numeric_limits<std::uint16_t>::max() * static_cast<std::uint64_t>(seconds)) {
            Drop("reset", "the pulse count went back (was it set on the counter?): the "
                          "pulses in between are lost");
        } else {
            std::uint32_t rest = pulses;
            do {
                const std::uint32_t part =
                    std::min<std::uint32_t>(rest, std::numeric_limits<std::uint16_t>::max());
                counts.push_back(static_cast<std::uint16_t>(part));
                rest -= part;
            } while (rest > 0);
        }
    }
    LastTotal = total;
    LastTotalTime = steadyMilliseconds;
}

std::optional<std::string> TRadProProtocol::Identify(TSerialPort& port) {
    for (int question = 0; question < Questions; ++question) {
        const std::optional<std::string> answer = Ask(port, RadProIdCommand);
        if (!answer) {
            return std::nullopt;
        }
        if (answer->empty()) {
            continue;
        }
        const std::optional<std::string_view> value = RadProValue(FirstLine(*answer));
        std::optional<std::string> model = value ? RadProModel(*value) : std::nullopt;
        if (!model) {
            Note("unknown", "an answer that is not Rad Pro's: \"" + ShownBytes(*answer) + "\"");
        }
        return model;
    }
    return std::nullopt;
}

std::optional<std::uint16_t> TRadProProtocol::Coefficient(TSerialPort& port, const std::string&) {
    const std::optional<std::string> answer = Ask(port, RadProSensitivityCommand);
    const std::optional<std::string_view> value =
        answer ? RadProValue(FirstLine(*answer)) : std::nullopt;
    std::optional<std::uint16_t> coefficient = value ? RadProCoefficient(*value) : std::nullopt;
    if (!coefficient) {
        Note("sensitivity", "no tube sensitivity: the default coefficient is used");
    }
    return coefficient;
}

bool TRadProProtocol::Start(TSerialPort& port) {
    port.DiscardInput();
    return true;
}

void TRadProProtocol::Stop(TSerialPort&) {}

std::unique_ptr<TCountDecoder> TRadProProtocol::MakeDecoder(const std::string&) const {
    return std::make_unique<TRadProDecoder>();
}

TAdapterSetup RadProAdapterSetup() {
    TAdapterSetup setup;
    setup.Name = "Rad Pro adapter";
    setup.EnvironmentPrefix = "OSTREL_RADPRO_";
    setup.FileStem = "radpro";
    setup.DefaultPorts = {"/dev/ttyUSB0", "/dev/ttyACM0"};
    setup.DefaultBauds = {115200};
    setup.DefaultCoefficient = J305Coefficient;
    setup.DefaultBackground = 0;
    setup.MakeProtocol = [](const TAdapterConfig&) -> std::unique_ptr<TProtocol> {
        return std::make_unique<TRadProProtocol>();
    };
    return setup;
}

} // namespace ostrel::adapters
