// SPDX-License-Identifier: GPL-3.0-or-later
// The adapters' coefficient file, on any content: four bytes are the pair to
// write, the next line the port, the rest the file's text. A pair written
// reads back, and every other port keeps its line.

#include "FuzzSupport.h"

#include "adapters/CoefficientStore.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

using namespace ostrel::adapters;
using ostrel::fuzz::Require;

// A port name as the configuration gives one: no blanks, no control
// characters, no commas.
std::string PortName(std::string_view text) {
    std::string port;
    for (const char c : text) {
        if (c != ',' && static_cast<unsigned char>(c) > 0x20 && c != 0x7F) {
            port += c;
        }
    }
    return port.empty() ? "/dev/ttyUSB0" : port;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) {
        return 0;
    }
    const TCoefficientPair pair{static_cast<std::uint16_t>(data[0] << 8 | data[1]),
                                static_cast<std::uint16_t>(data[2] << 8 | data[3])};
    std::string_view rest(reinterpret_cast<const char*>(data) + 4, size - 4);
    const std::size_t lineEnd = std::min(rest.find('\n'), rest.size());
    const std::string port = PortName(rest.substr(0, lineEnd));
    const std::string other = port + "x";
    const std::string_view text = rest.substr(std::min(lineEnd + 1, rest.size()));

    const auto otherBefore = FindCoefficients(text, other);
    const std::string written = WithCoefficients(text, port, pair);
    Require(FindCoefficients(written, port) == pair, "a pair written reads back");
    Require(FindCoefficients(written, other) == otherBefore, "another port keeps its pair");
    Require(WithCoefficients(written, port, pair) == written,
            "writing the same pair again changes nothing");
    return 0;
}
