// SPDX-License-Identifier: GPL-3.0-or-later
// What a Rad Pro counter answers, on any bytes: each line's value, model and
// sensitivity, and the whole stream as pulse-count answers, cut into reads a
// second apart at each LF.

#include "FuzzSupport.h"

#include "adapters/RadProProtocol.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace {

using namespace ostrel::adapters;
using ostrel::fuzz::Require;

void CheckLine(std::string_view line) {
    const std::optional<std::string_view> value = RadProValue(line);
    if (!value) {
        return;
    }
    Require(line.rfind("OK ", 0) == 0, "a value comes after OK");
    if (const std::optional<std::string> model = RadProModel(*value)) {
        Require(model->find(" (") != std::string::npos, "a model names its software");
    }
    if (const std::optional<std::uint16_t> coefficient = RadProCoefficient(*value)) {
        Require(*coefficient >= 1, "a coefficient is positive");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view stream(reinterpret_cast<const char*>(data), size);
    TRadProDecoder decoder;
    std::int64_t time = 0;
    std::uint64_t total = 0;
    std::size_t answers = 0;
    while (!stream.empty()) {
        const std::size_t end = std::min(stream.find('\n'), stream.size());
        const std::string_view line = stream.substr(0, end);
        CheckLine(line.substr(0, line.size() - (!line.empty() && line.back() == '\r')));
        decoder.Request(time);
        for (const std::uint16_t count : decoder.Take(stream.substr(0, end + 1), time)) {
            total += count;
        }
        ++answers;
        time += 1000;
        stream.remove_prefix(std::min(end + 1, stream.size()));
    }
    Require(total <= 2 * 65535ull * answers, "no more pulses than a second can hold");
    Require(decoder.Finish().empty(), "nothing is left at the end");
    decoder.TakeNotes();
    return 0;
}
